// The install worker on a real thread: the notifications a message-only
// window receives for each outcome, the package deleted afterwards, and the
// worker's end when the dialog ends first (closed during the download or the
// setup, or Finish while the options are applied), through the calls the
// application makes.
//
// The worker runs the steps of a scripted run in place of the dialog: the
// download is scripted, the setup run is the real one with the stand-in
// package, and the options are the real ones.
#include "prefix_test.h"
#include "framework/BoundedText.h"
#include "install/InstallWorker.h"
#include "install/InstalledPath.h"
#include "install/PostInstall.h"
#include "install/ProductNames.h"
#include "install/SilentSetup.h"
#include <shlobj.h>
#include <memory>

namespace {

DWORD Since(DWORD start) { return ::GetTickCount() - start; }

// The install state and steps the worker reads from the run, with the
// download step scripted: the real download is another unit and talks to
// the network.
class ScriptedRun {
public:
    enum Download {
        kDeliver,        // progress 50, 100; copies packageSource to the package path
        kFail,           // FALSE at once, no progress
        kNoPackage,      // progress 50, 100; TRUE but writes nothing
        kUntilStop,      // grows partialFile until the stop is requested, then FALSE
        kDeafToStop,     // grows partialFile for deafMs whatever happens, then FALSE
        kDeliverAtStop,  // as kUntilStop, but completes as the stop comes: kDeliver
    };

    explicit ScriptedRun(CRunSignals& signals) : worker(signals), m_signals(signals) {}
    const CRunSignals& Signals() const { return m_signals; }
    BOOL EnterFinishing() { return worker.EnterFinishing(); }

    BOOL QueryUpgradeInfo(wchar_t (&)[URL_CHARS]) { return TRUE; }

    BOOL DownloadFile(const wchar_t* url, const wchar_t* path) {
        if (download == kFail) return FALSE;
        if (download == kUntilStop || download == kDeafToStop || download == kDeliverAtStop) {
            const DWORD start = ::GetTickCount();
            for (int i = 1;; ++i) {
                AppendChunk();
                Progress(i < 100 ? i : 99);
                if (download == kDeafToStop ? Since(start) >= deafMs : !!m_signals.IsStopping()) break;
                ::Sleep(20);
            }
            if (download != kDeliverAtStop) return FALSE;
        }
        Progress(50);
        Progress(100);
        if (download != kNoPackage) return ::CopyFileW(packageSource.c_str(), path, FALSE);
        return TRUE;
    }
    BOOL RunSetup() { return RunSetupPackage(m_szDownloadFile, m_szInstallDir, major, m_signals, &m_failure); }
    // Can hold the worker in its options until the stop comes (at most
    // 10 s), as when Finish is pressed meanwhile.
    BOOL ApplyTaskbarOption() {
        for (DWORD start = ::GetTickCount(); holdOptionsUntilStop && !m_signals.IsStopping() && Since(start) < 10000;)
            ::Sleep(10);
        return ApplyTaskbarChoice(bKeepTaskbar, major);
    }
    BOOL ApplyAutoRunOption() { return ApplyAutoRunChoice(bAutoRun, m_szInstallDir); }

    CWorkerThread worker;
    wchar_t m_szInstallDir[PATH_CHARS] = {};
    wchar_t m_szDownloadUrl[URL_CHARS] = {};
    wchar_t m_szDownloadFile[PATH_CHARS] = {};
    CInstallFailure m_failure;
    DWORD major = SystemMajorVersion();
    BOOL bKeepTaskbar = FALSE;
    BOOL bAutoRun = TRUE;
    Download download = kDeliver;
    bool holdOptionsUntilStop = false;
    std::wstring packageSource = StandinSetup();
    std::wstring partialFile;
    DWORD deafMs = 0;

private:
    void Progress(int percent) { m_signals.Report(INSTALL_NOTIFY_PROGRESS, percent); }
    void AppendChunk() {
        HANDLE h = ::CreateFileW(partialFile.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return;
        DWORD n = 0;
        ::WriteFile(h, "0123456789abcdef", 16, &n, nullptr);
        ::CloseHandle(h);
    }
    CRunSignals& m_signals;
};

DWORD WINAPI ScriptedWorker(LPVOID p) { return RunInstallWorker(static_cast<ScriptedRun*>(p)); }

}  // namespace

class InstallWorkerOnPrefix : public PrefixTest {
protected:
    void Prepare() override {
        ConfigureStandin(kLog);
        ResetRunKeys();
        run.reset(new ScriptedRun(sink.Signals()));
        // The state as Install leaves it: the package in the download folder.
        CopyWhole(run->m_szInstallDir, L"C:\\Program Files\\Velmora Run");
        const std::wstring folder = ShellFolder(CSIDL_COMMON_APPDATA) + L"\\" VELMORA_DOWNLOAD_FOLDER;
        MakeFolders(folder);
        package = folder + L"\\" VELMORA_PACKAGE_NAME;
        CopyWhole(run->m_szDownloadFile, package.c_str());
        run->partialFile = package + L".0123.part";
        ::DeleteFileW(run->partialFile.c_str());
        ::DeleteFileW(Ini().c_str());
    }
    void Clean() override {
        EXPECT_TRUE(run->worker.End(INFINITE));
        ::DeleteFileW(package.c_str());
        ::DeleteFileW(run->partialFile.c_str());
        ResetRunKeys();
        DeleteKeyTree(kUninstallKey);
    }

    void Start() { ASSERT_TRUE(run->worker.Start(&ScriptedWorker, run.get())); }
    // Pumps until code arrives; fails the test after 30 s.
    void Await(WPARAM code) { ASSERT_TRUE(sink.WaitFor(code, 30000)) << "no code " << code; }
    // Runs the worker until its last post, then ends it as the application
    // does once the dialog has ended on that post.
    void RunToEnd() {
        Start();
        const DWORD start = ::GetTickCount();
        while (!sink.Has(INSTALL_NOTIFY_COMPLETE) && !sink.Has(INSTALL_NOTIFY_FAILED) && Since(start) < 30000)
            sink.Pump(20);
        EXPECT_TRUE(run->worker.End(INFINITE));
        sink.Pump(0);
    }
    RegValue RunValue() const { return GetValue(kRunKey, L"Velmora"); }
    std::wstring Ini() const { return std::wstring(run->m_szInstallDir) + L"\\config\\config.ini"; }
    std::wstring Launcher() const { return std::wstring(run->m_szInstallDir) + L"\\vlLauncher.exe"; }

    static constexpr const wchar_t* kLog = L"C:\\standin-worker.log";
    CNotifySink sink;
    std::unique_ptr<ScriptedRun> run;
    std::wstring package;
};

TEST_F(InstallWorkerOnPrefix, PostsOneSequencePerOutcomeAndAlwaysDeletesThePackage) {
    using Codes = std::vector<WPARAM>;
    struct Case {
        const char* what;
        ScriptedRun::Download download;
        DWORD setupExit;
        Codes codes;
        bool setupRan, optionsApplied;
    } cases[] = {
        {"success", ScriptedRun::kDeliver, 0, Codes{1, 2, 3}, true, true},
        {"download failed", ScriptedRun::kFail, 0, Codes{4}, false, false},
        {"package missing", ScriptedRun::kNoPackage, 0, Codes{1, 4}, false, false},
        {"setup exit 1", ScriptedRun::kDeliver, 1, Codes{1, 2, 4}, true, false},
        {"setup exit 8", ScriptedRun::kDeliver, 8, Codes{1, 2, 4}, true, false},
    };
    for (const Case& c : cases) {
        Prepare();
        // A package left from an earlier run goes too.
        if (c.download == ScriptedRun::kFail) WriteFileBytes(package, "stale");
        ConfigureStandin(kLog, c.setupExit);
        run->download = c.download;
        RunToEnd();

        EXPECT_EQ(c.codes, sink.Folded()) << c.what;
        EXPECT_FALSE(FileExists(package)) << c.what;
        EXPECT_EQ(c.setupRan ? std::to_wstring(c.setupExit) : L"<none>", StandinRecord(kLog, L"done")) << c.what;
        EXPECT_EQ(c.optionsApplied, RunValue().present) << c.what;
        EXPECT_EQ(c.optionsApplied ? L"1" : L"<none>", IniValue(Ini(), L"AppSetting", L"AutoRun")) << c.what;
        Clean();
        sink.Clear();
    }
}

TEST_F(InstallWorkerOnPrefix, ClosedDuringDownloadEndsPromptlyKeepingThePartialFile) {
    run->download = ScriptedRun::kUntilStop;
    Start();
    Await(INSTALL_NOTIFY_PROGRESS);

    // The download runs until stopped: the worker ended within the grace.
    EXPECT_TRUE(run->worker.End(INSTALL_STOP_GRACE_MS));

    sink.Pump(200);
    EXPECT_EQ(std::vector<WPARAM>{INSTALL_NOTIFY_PROGRESS}, sink.Folded()) << "nothing posted after the stop";
    EXPECT_TRUE(FileExists(run->partialFile)) << "kept for the next run";
    EXPECT_FALSE(FileExists(package));
    EXPECT_EQ(L"<none>", StandinRecord(kLog, L"start")) << "no setup after the window closed";
}

TEST_F(InstallWorkerOnPrefix, ClosedAsTheDownloadCompletesStartsNoSetup) {
    run->download = ScriptedRun::kDeliverAtStop;
    Start();
    Await(INSTALL_NOTIFY_PROGRESS);
    EXPECT_TRUE(run->worker.End(INSTALL_STOP_GRACE_MS));

    // A setup started by mistake would have been started before the worker
    // ended, and would still run.
    EXPECT_FALSE(ProcessRuns(VELMORA_PACKAGE_NAME));
    sink.Pump(0);
    EXPECT_EQ(std::vector<WPARAM>{INSTALL_NOTIFY_PROGRESS}, sink.Folded());
    EXPECT_EQ(L"<none>", StandinRecord(kLog, L"start"));
    EXPECT_FALSE(FileExists(package));
}

TEST_F(InstallWorkerOnPrefix, DownloadDeafToTheStopIsGivenUpAfterTheGrace) {
    run->download = ScriptedRun::kDeafToStop;
    run->deafMs = 1200;
    Start();
    Await(INSTALL_NOTIFY_PROGRESS);

    EXPECT_FALSE(run->worker.End(300)) << "the application ends the process now";
    // This test must not end its process: wait the download out.
    EXPECT_TRUE(run->worker.End(INFINITE));
    sink.Pump(0);
    EXPECT_FALSE(sink.Has(INSTALL_NOTIFY_FAILED));
}

TEST_F(InstallWorkerOnPrefix, ClosedDuringSetupLeavesTheSetupRunningToItsEnd) {
    ConfigureStandin(kLog, 0, 2500);
    Start();
    Await(INSTALL_NOTIFY_SETUP_STARTED);
    // The setup has been started once its record begins.
    for (DWORD start = ::GetTickCount(); StandinRecord(kLog, L"start") == L"<none>" && Since(start) < 10000;)
        ::Sleep(20);

    // The setup runs 2.5 s: a worker still waiting for it would outlast the grace.
    EXPECT_TRUE(run->worker.End(1000));
    EXPECT_EQ(L"<none>", StandinRecord(kLog, L"done")) << "the setup is still running";
    EXPECT_TRUE(ProcessRuns(VELMORA_PACKAGE_NAME)) << "the setup is still running";

    for (DWORD wait = ::GetTickCount(); StandinRecord(kLog, L"done") == L"<none>" && Since(wait) < 20000;)
        ::Sleep(100);
    EXPECT_EQ(L"0", StandinRecord(kLog, L"done"));
    EXPECT_TRUE(FileExists(Launcher()));
    sink.Pump(100);
    EXPECT_EQ((std::vector<WPARAM>{INSTALL_NOTIFY_PROGRESS, INSTALL_NOTIFY_SETUP_STARTED}), sink.Folded());
    EXPECT_FALSE(RunValue().present) << "the options follow only a setup seen to succeed";
}

TEST_F(InstallWorkerOnPrefix, FinishDuringTheOptionsStillAppliesThem) {
    run->holdOptionsUntilStop = true;
    Start();
    Await(INSTALL_NOTIFY_COMPLETE);
    EXPECT_FALSE(RunValue().present) << "the options are still being applied";
    // Finish ends the dialog meanwhile: the options complete however short
    // the grace.
    EXPECT_TRUE(run->worker.End(0));

    EXPECT_EQ(L"\"" + Launcher() + L"\"", RunValue().text) << "quoted: the folder holds blanks";
    EXPECT_EQ(L"1", IniValue(Ini(), L"AppSetting", L"AutoRun"));
    EXPECT_FALSE(FileExists(package));
}
