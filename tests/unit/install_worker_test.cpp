// The install worker on a real thread: the notifications a message-only
// window receives for each outcome, the package deleted afterwards, and the
// worker's end when the dialog ends first (closed during the download or the
// setup, or Finish while the options are applied), through the calls the
// application makes.
//
// The download step is scripted (ScriptedDlg); the setup run is the real
// one with the stand-in package, and the options are the real ones.
#include "install_system_support.h"
#include "install/InstallWorker.h"
#include "install/PostInstall.h"
#include <memory>

using namespace sys_test;

namespace {

DWORD WINAPI ScriptedWorker(LPVOID p) { return RunInstallWorker(static_cast<ScriptedDlg*>(p)); }

DWORD Since(DWORD start) { return ::GetTickCount() - start; }

}  // namespace

class InstallWorkerOnPrefix : public PrefixTest {
protected:
    void Prepare() override {
        ConfigureStandin(kLog);
        DeleteKeyTree(L"SOFTWARE\\Wow6432Node");
        DeleteValue(kRunKey, L"Velmora");
        dlg.reset(new ScriptedDlg(sink.hWnd));
        // The state as Install leaves it.
        wcscpy(dlg->m_szInstallDir, L"C:\\Program Files\\Velmora Run");
        package = std::wstring(dlg->m_szDownloadFile) + L"velmora.exe";
        wcscpy(dlg->m_szDownloadFile, package.c_str());
        dlg->partialFile = package + L".0123.part";
        ::DeleteFileW(dlg->partialFile.c_str());
        ::DeleteFileW(Ini().c_str());
        dlg->m_chkAutoRun.SetCheck(1);
        dlg->m_chkTaskbar.SetCheck(0);
        if (dlg->m_osvi.dwMajorVersion >= 6) CreateKey(kWowRunKey);
    }
    void Clean() override {
        EXPECT_TRUE(EndInstallWorker(INFINITE));
        ::DeleteFileW(package.c_str());
        ::DeleteFileW(dlg->partialFile.c_str());
        DeleteKeyTree(L"SOFTWARE\\Wow6432Node");
        DeleteValue(kRunKey, L"Velmora");
        DeleteKeyTree(kUninstallKey);
    }

    void Start() { ASSERT_TRUE(StartInstallWorker(&ScriptedWorker, dlg.get())); }
    // Pumps until code arrives; fails the test after 30 s.
    void Await(WPARAM code) { ASSERT_TRUE(sink.WaitFor(code, 30000)) << "no code " << code; }
    // Runs the worker until its last post, then ends it as the application
    // does once the dialog has ended on that post.
    void RunToEnd() {
        Start();
        const DWORD start = ::GetTickCount();
        while (!sink.Has(INSTALL_NOTIFY_COMPLETE) && !sink.Has(INSTALL_NOTIFY_FAILED) && Since(start) < 30000)
            sink.Pump(20);
        EXPECT_TRUE(EndInstallWorker(INFINITE));
        sink.Pump(0);
    }
    RegValue RunValue() const { return GetValue(AutoRunKeyFor(dlg->m_osvi.dwMajorVersion), L"Velmora"); }
    std::wstring Ini() const { return std::wstring(dlg->m_szInstallDir) + L"\\config\\config.ini"; }
    std::wstring Launcher() const { return std::wstring(dlg->m_szInstallDir) + L"\\vlLauncher.exe"; }

    static constexpr const wchar_t* kLog = L"C:\\standin-worker.log";
    NotifySink sink;
    std::unique_ptr<ScriptedDlg> dlg;
    std::wstring package;
};

TEST_F(InstallWorkerOnPrefix, PostsOneSequencePerOutcomeAndAlwaysDeletesThePackage) {
    using Codes = std::vector<WPARAM>;
    struct Case {
        const char* what;
        ScriptedDlg::Download download;
        DWORD setupExit;
        Codes codes;
        bool setupRan, optionsApplied;
    } cases[] = {
        {"success", ScriptedDlg::kDeliver, 0, Codes{1, 2, 3}, true, true},
        {"download failed", ScriptedDlg::kFail, 0, Codes{4}, false, false},
        {"package missing", ScriptedDlg::kNoPackage, 0, Codes{1, 4}, false, false},
        {"setup exit 1", ScriptedDlg::kDeliver, 1, Codes{1, 2, 4}, true, false},
        {"setup exit 8", ScriptedDlg::kDeliver, 8, Codes{1, 2, 4}, true, false},
    };
    for (const Case& c : cases) {
        Prepare();
        // A package left from an earlier run goes too.
        if (c.download == ScriptedDlg::kFail) WriteBytes(package, "stale");
        ConfigureStandin(kLog, c.setupExit);
        dlg->download = c.download;
        RunToEnd();

        EXPECT_EQ(c.codes, sink.Folded()) << c.what;
        EXPECT_FALSE(FileExists(package)) << c.what;
        EXPECT_EQ(c.setupRan ? std::to_wstring(c.setupExit) : L"<none>", StandinRecord(kLog, L"done")) << c.what;
        EXPECT_EQ(c.optionsApplied, RunValue().present) << c.what;
        EXPECT_EQ(c.optionsApplied ? L"1" : L"<none>", IniValue(Ini(), L"AppSetting", L"AutoRun")) << c.what;
        Clean();
        sink.codes.clear();
    }
}

TEST_F(InstallWorkerOnPrefix, ClosedDuringDownloadEndsPromptlyKeepingThePartialFile) {
    dlg->download = ScriptedDlg::kUntilStop;
    Start();
    Await(INSTALL_NOTIFY_PROGRESS);

    // The download runs until stopped: the worker ended within the grace.
    EXPECT_TRUE(EndInstallWorker(INSTALL_STOP_GRACE_MS));

    sink.Pump(200);
    EXPECT_EQ(std::vector<WPARAM>{INSTALL_NOTIFY_PROGRESS}, sink.Folded()) << "nothing posted after the stop";
    EXPECT_TRUE(FileExists(dlg->partialFile)) << "kept for the next run";
    EXPECT_FALSE(FileExists(package));
    EXPECT_EQ(L"<none>", StandinRecord(kLog, L"start")) << "no setup after the window closed";
}

TEST_F(InstallWorkerOnPrefix, ClosedAsTheDownloadCompletesStartsNoSetup) {
    dlg->download = ScriptedDlg::kDeliverAtStop;
    Start();
    Await(INSTALL_NOTIFY_PROGRESS);
    EXPECT_TRUE(EndInstallWorker(INSTALL_STOP_GRACE_MS));

    // A setup started by mistake would record its start within a few seconds.
    sink.Pump(3000);
    EXPECT_EQ(std::vector<WPARAM>{INSTALL_NOTIFY_PROGRESS}, sink.Folded());
    EXPECT_EQ(L"<none>", StandinRecord(kLog, L"start"));
    EXPECT_FALSE(FileExists(package));
}

TEST_F(InstallWorkerOnPrefix, DownloadDeafToTheStopIsGivenUpAfterTheGrace) {
    dlg->download = ScriptedDlg::kDeafToStop;
    dlg->deafMs = 3000;
    Start();
    Await(INSTALL_NOTIFY_PROGRESS);

    EXPECT_FALSE(EndInstallWorker(300)) << "the application ends the process now";
    // This test must not end its process: wait the download out.
    EXPECT_TRUE(EndInstallWorker(INFINITE));
    sink.Pump(0);
    EXPECT_FALSE(sink.Has(INSTALL_NOTIFY_FAILED));
}

TEST_F(InstallWorkerOnPrefix, ClosedDuringSetupLeavesTheSetupRunningToItsEnd) {
    ConfigureStandin(kLog, 0, 5000);
    Start();
    Await(INSTALL_NOTIFY_SETUP_STARTED);
    // The setup has been started once its record begins.
    for (DWORD start = ::GetTickCount(); StandinRecord(kLog, L"start") == L"<none>" && Since(start) < 10000;)
        ::Sleep(20);

    // The setup runs 5 s: a worker still waiting for it would outlast the grace.
    EXPECT_TRUE(EndInstallWorker(1000));
    EXPECT_EQ(L"<none>", StandinRecord(kLog, L"done")) << "the setup is still running";

    for (DWORD wait = ::GetTickCount(); StandinRecord(kLog, L"done") == L"<none>" && Since(wait) < 20000;)
        ::Sleep(100);
    EXPECT_EQ(L"0", StandinRecord(kLog, L"done"));
    EXPECT_TRUE(FileExists(Launcher()));
    sink.Pump(100);
    EXPECT_EQ((std::vector<WPARAM>{INSTALL_NOTIFY_PROGRESS, INSTALL_NOTIFY_SETUP_STARTED}), sink.Folded());
    EXPECT_FALSE(RunValue().present) << "the options follow only a setup seen to succeed";
}

TEST_F(InstallWorkerOnPrefix, FinishDuringTheOptionsStillAppliesThem) {
    dlg->holdOptionsUntilStop = true;
    Start();
    Await(INSTALL_NOTIFY_COMPLETE);
    EXPECT_FALSE(RunValue().present) << "the options are still being applied";
    // Finish ends the dialog meanwhile: the options complete however short
    // the grace.
    EXPECT_TRUE(EndInstallWorker(0));

    EXPECT_EQ(Launcher(), RunValue().text);
    EXPECT_EQ(L"1", IniValue(Ini(), L"AppSetting", L"AutoRun"));
    EXPECT_FALSE(FileExists(package));
}
