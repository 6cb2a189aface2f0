// Runs of the stand-in setup package on the prefix: the folder and switches
// it receives, the exit codes, a package that cannot start, and the
// elevation verb from the real policy value.
#include "prefix_test.h"
#include "install/InstallWorker.h"
#include "install/SilentSetup.h"

namespace {

// Dismisses the error boxes this process shows while it lives, as a user
// would, and tells whether one showed: without SEE_MASK_FLAG_NO_UI the
// shell reports a program it cannot start in a message box.
class ErrorBoxDismisser {
public:
    ErrorBoxDismisser() { m_hThread = ::CreateThread(nullptr, 0, &Run, this, 0, nullptr); }
    ~ErrorBoxDismisser() {
        m_bStop = true;
        ::WaitForSingleObject(m_hThread, INFINITE);
        ::CloseHandle(m_hThread);
    }
    // Until a whole look at the windows has begun and ended after the call:
    // a box shown by then has been seen.
    void AwaitFullPass() {
        const LONG start = m_nPasses;
        while (m_nPasses < start + 2) ::Sleep(10);
    }
    volatile bool m_bSawBox = false;

private:
    static DWORD WINAPI Run(LPVOID p) {
        auto* self = static_cast<ErrorBoxDismisser*>(p);
        while (!self->m_bStop) {
            ::EnumWindows(&Visit, reinterpret_cast<LPARAM>(self));
            ::InterlockedIncrement(&self->m_nPasses);
            ::Sleep(50);
        }
        return 0;
    }
    static BOOL CALLBACK Visit(HWND h, LPARAM p) {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(h, &pid);
        wchar_t cls[32] = {};
        ::GetClassNameW(h, cls, 32);
        if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(h) && wcscmp(cls, L"#32770") == 0) {
            reinterpret_cast<ErrorBoxDismisser*>(p)->m_bSawBox = true;
            ::PostMessageW(h, WM_COMMAND, IDOK, 0);
        }
        return TRUE;
    }
    HANDLE m_hThread = nullptr;
    volatile bool m_bStop = false;
    volatile LONG m_nPasses = 0;
};

// Waits until no process holds the file open; FALSE at the deadline.
BOOL AwaitUnheld(const wchar_t* path, DWORD ms) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        HANDLE h = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            ::CloseHandle(h);
            return TRUE;
        }
        const DWORD error = ::GetLastError();  // a mapped image is refused either way
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || ::GetTickCount() - start > ms)
            return FALSE;
        ::Sleep(50);
    }
}

}  // namespace

class SilentSetupOnPrefix : public PrefixTest {
protected:
    void Prepare() override {
        MakeFolders(L"C:\\pkg");
        ASSERT_TRUE(::CopyFileW(StandinSetup().c_str(), kPackage, FALSE)) << ::GetLastError();
        ConfigureStandin(kLog);
    }
    void Clean() override {
        SetDword(kPolicyKey, L"EnableLUA", 0);
        DeleteKeyTree(kUninstallKey);
    }
    // The setup step as the worker runs it, posting to the sink.
    BOOL RunSetup(const std::wstring& folder, const wchar_t* package = kPackage, DWORD major = SystemMajorVersion()) {
        return RunSetupPackage(package, folder.c_str(), major, sink.Signals());
    }
    static constexpr const wchar_t* kPackage = L"C:\\pkg\\velmora.exe";
    static constexpr const wchar_t* kLog = L"C:\\standin-setup.log";
    CNotifySink sink;
};

TEST_F(SilentSetupOnPrefix, PackageReceivesExactlyTheFolderAndSwitches) {
    const std::wstring folder = L"C:\\Program Files\\Velmora \u6e38\u620f Test";
    ASSERT_TRUE(RunSetup(folder));
    sink.Pump(0);

    EXPECT_EQ(std::vector<WPARAM>{INSTALL_NOTIFY_SETUP_STARTED}, sink.Codes());
    EXPECT_EQ(L"/DIR=\"" + folder + L"\\\" /verysilent /norestart", StandinRecord(kLog, L"args"));
    EXPECT_EQ(folder + L"\\", StandinRecord(kLog, L"dir")) << "as the package reads its switches";
    EXPECT_EQ(L"verysilent=1 norestart=1", StandinRecord(kLog, L"switches"));
    EXPECT_TRUE(FileExists(folder + L"\\vlLauncher.exe"));
    EXPECT_TRUE(FileExists(kPackage)) << "the worker deletes the package, not the setup step";
}

TEST_F(SilentSetupOnPrefix, OnlyExitCodeZeroSucceeds) {
    // Elevated where UAC is on; Wine starts "runas" like "open".
    SetDword(kPolicyKey, L"EnableLUA", 1);
    struct Case { const wchar_t* exit; BOOL ok; const wchar_t* done; } cases[] = {
        {L"0", TRUE, L"0"}, {L"1", FALSE, L"1"}, {L"8", FALSE, L"8"}, {L"9", FALSE, L"9"}, {L"255", FALSE, L"255"},
        {L"crash", FALSE, L"crash"},  // a real access violation: 0xC0000005
    };
    for (const Case& c : cases) {
        ConfigureStandin(kLog);
        ::SetEnvironmentVariableW(L"VELMORA_STANDIN_EXIT", c.exit);
        sink.Clear();
        EXPECT_EQ(c.ok, RunSetup(L"C:\\velmora", kPackage, 6)) << c.exit;
        sink.Pump(0);
        EXPECT_EQ(std::vector<WPARAM>{INSTALL_NOTIFY_SETUP_STARTED}, sink.Codes()) << c.exit;
        EXPECT_EQ(c.done, StandinRecord(kLog, L"done")) << "the package ran to its end";
    }
    // After the crash Wine's debugger reads the package's image for its
    // backtrace and may hold it past the package's exit (seconds when
    // emulated); the next test writes over it.
    EXPECT_TRUE(AwaitUnheld(kPackage, 60000));
}

TEST_F(SilentSetupOnPrefix, PackageThatCannotStartFailsAfterSetupStarted) {
    WriteFileBytes(kPackage, "");
    {
        ErrorBoxDismisser dismisser;
        EXPECT_FALSE(RunSetup(L"C:\\velmora"));
        dismisser.AwaitFullPass();
        EXPECT_FALSE(dismisser.m_bSawBox) << "the shell shows no error box of its own";
    }
    sink.Pump(0);
    EXPECT_EQ(std::vector<WPARAM>{INSTALL_NOTIFY_SETUP_STARTED}, sink.Codes());
}

TEST_F(SilentSetupOnPrefix, MissingPackageOrFolderFailsBeforeSetupStarted) {
    MakeFolders(L"C:\\pkg\\folder.exe");
    for (const wchar_t* package : {L"C:\\pkg\\folder.exe", L"C:\\pkg\\missing.exe"}) {
        EXPECT_FALSE(RunSetup(L"C:\\velmora", package)) << testing::PrintToString(std::wstring(package));
    }
    sink.Pump(0);
    EXPECT_TRUE(sink.Codes().empty());
    EXPECT_EQ(L"<none>", StandinRecord(kLog, L"start"));
}

TEST_F(SilentSetupOnPrefix, ElevatesOnlyAboveVersion5WithEnableLuaExactlyOne) {
    struct Case { const char* what; bool present; DWORD value; } cases[] = {
        {"missing", false, 0}, {"0", true, 0}, {"1", true, 1}, {"2", true, 2}};
    for (const Case& c : cases) {
        if (c.present) SetDword(kPolicyKey, L"EnableLUA", c.value);
        else DeleteValue(kPolicyKey, L"EnableLUA");
        const bool on = c.present && c.value == 1;
        EXPECT_EQ(on, !!IsUacEnabled()) << c.what;
        EXPECT_STREQ(on ? L"runas" : L"open", ElevationVerb(6)) << c.what;
        EXPECT_STREQ(L"open", ElevationVerb(5)) << c.what;
        EXPECT_STREQ(L"open", ElevationVerb(0)) << c.what << ", version unknown";

        SHELLEXECUTEINFOW sei;
        PrepareShellExecute(&sei, 6, L"C:\\p.exe", L"/x");
        EXPECT_STREQ(on ? L"runas" : L"open", sei.lpVerb);
        EXPECT_EQ(sizeof(sei), sei.cbSize);
        EXPECT_EQ(static_cast<ULONG>(SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI), sei.fMask);
        EXPECT_EQ(SW_HIDE, sei.nShow);
        EXPECT_EQ(nullptr, sei.hwnd);
        EXPECT_EQ(nullptr, sei.lpDirectory);
    }
}
