// Both post-install options on the prefix's real registry and files.
#include "prefix_test.h"
#include "install/InstalledPath.h"
#include "install/PostInstall.h"
#include "install/SilentSetup.h"
#include <shlobj.h>

namespace {

const wchar_t kVerbKey[] = L"SOFTWARE\\Classes\\lnkfile\\shell\\TaskbarUnpin";
const wchar_t kVerbLog[] = L"C:\\verbs\\vlLauncher.log";

// Serves the verb "TaskbarUnpin" on shortcuts with the launcher stand-in,
// which records the shortcut it was given: Wine has no taskbar to unpin from.
void RegisterUnpinRecorder() {
    MakeFolders(L"C:\\verbs");
    ASSERT_TRUE(::CopyFileW(StandinLauncher().c_str(), L"C:\\verbs\\vlLauncher.exe", FALSE));
    ::DeleteFileW(kVerbLog);
    SetString((std::wstring(kVerbKey) + L"\\command").c_str(), nullptr, L"\"C:\\verbs\\vlLauncher.exe\" \"%1\"");
}

// The shortcuts the recorder was started with, waiting up to ms for count.
std::vector<std::wstring> UnpinnedShortcuts(size_t count, DWORD ms) {
    std::vector<std::wstring> out;
    const DWORD start = ::GetTickCount();
    for (;;) {
        out.clear();
        std::wstring text = ReadUtf8(kVerbLog);
        const std::wstring prefix = L"started \"C:\\verbs\\vlLauncher.exe\" \"";
        for (size_t pos = 0; (pos = text.find(prefix, pos)) != std::wstring::npos;) {
            pos += prefix.size();
            out.push_back(text.substr(pos, text.find(L'"', pos) - pos));
        }
        if (out.size() >= count || ::GetTickCount() - start >= ms) return out;
        ::Sleep(50);
    }
}

}  // namespace

class PostInstallOnPrefix : public PrefixTest {
protected:
    void Prepare() override {
        ResetRunKeys();
        MakeFolders(folder + L"\\config");
        ResetClientConfig();
        desktopLink = ShellFolder(CSIDL_DESKTOPDIRECTORY) + L"\\Velmora.lnk";
        const std::wstring quick = ShellFolder(CSIDL_APPDATA) + L"\\Microsoft\\Internet Explorer\\Quick Launch";
        MakeFolders(quick);
        quickLaunchLink = quick + L"\\Velmora.lnk";
    }
    void Clean() override {
        ResetRunKeys();
        CreateKey(kRunKey);
        DeleteKeyTree(kVerbKey);
        DeleteKeyTree(kUninstallKey);
        ::DeleteFileW(desktopLink.c_str());
        ::DeleteFileW(quickLaunchLink.c_str());
    }
    // The client's setting file as an earlier run of the client left it.
    void ResetClientConfig() { WriteFileBytes(Ini(), "[AppSetting]\r\nAutoRun=0\r\n"); }
    std::wstring Ini() const { return folder + L"\\config\\config.ini"; }
    // The options as the dialog hands them over: a box is ticked when its
    // check state is 1.
    BOOL ApplyTaskbar(DWORD major, int box) { return ApplyTaskbarChoice(box == 1, major); }
    BOOL ApplyAutoRun(int box) { return ApplyAutoRunChoice(box == 1, folder.c_str()); }

    const std::wstring folder = L"C:\\Program Files\\Velmora Opt";
    std::wstring desktopLink, quickLaunchLink;
};

TEST_F(PostInstallOnPrefix, TaskbarOptionRemovesTheShortcutOnlyWhenCleared) {
    RegisterUnpinRecorder();
    struct Case { DWORD major; int box; bool quickLaunchDeleted; } cases[] = {
        {5, 1, false}, {6, 1, false}, {5, 0, true}, {6, 0, false}, {5, 2, true}};
    for (const Case& c : cases) {
        WriteFileBytes(desktopLink, "link");
        WriteFileBytes(quickLaunchLink, "link");
        EXPECT_TRUE(ApplyTaskbar(c.major, c.box));
        EXPECT_TRUE(FileExists(desktopLink)) << c.major << "/" << c.box;
        EXPECT_EQ(!c.quickLaunchDeleted, FileExists(quickLaunchLink)) << c.major << "/" << c.box;
    }
    // Only version 6 with the box clear unpins, and it names the desktop's
    // shortcut, not one in the taskbar's own folder. The shell started
    // every recorder before ApplyTaskbar returned: once none runs, all have
    // written their line.
    for (const DWORD start = ::GetTickCount(); ProcessRuns(L"vlLauncher.exe") && ::GetTickCount() - start < 10000;)
        ::Sleep(50);
    ASSERT_FALSE(ProcessRuns(L"vlLauncher.exe"));
    EXPECT_EQ(std::vector<std::wstring>{desktopLink}, UnpinnedShortcuts(1, 0));

    ::DeleteFileW(quickLaunchLink.c_str());
    EXPECT_TRUE(ApplyTaskbar(5, 0)) << "a missing shortcut changes nothing";
}

// The value lands in the 32-bit view's Run key whatever the width of the
// build (kRunKey names it as this process sees it); the other Run key, a
// 64-bit system's own or a decoy branch on a 32-bit one, is never touched.
TEST_F(PostInstallOnPrefix, AutoRunWritesTheRunValueAndSettingOrDeletesAValueRead) {
    // In quotes: the folder holds blanks.
    const std::wstring launcher = L"\"" + folder + L"\\vlLauncher.exe\"";
    const std::wstring other = L"D:\\Other View\\vlLauncher.exe";
    enum Prior { kAbsent, kOther, kEmpty };
    struct Case { int box; Prior prior; } cases[] = {
        {1, kAbsent}, {1, kOther}, {0, kOther}, {0, kAbsent}, {0, kEmpty}, {2, kOther},
    };
    for (const Case& c : cases) {
        ResetRunKeys();
        CreateKey(kOtherRunKey);
        SetString(kOtherRunKey, L"Velmora", other);
        if (c.prior == kOther) SetString(kRunKey, L"Velmora", L"D:\\Old Place\\vlLauncher.exe");
        if (c.prior == kEmpty) SetString(kRunKey, L"Velmora", L"");
        ResetClientConfig();

        EXPECT_TRUE(ApplyAutoRun(c.box));

        const RegValue v = GetValue(kRunKey, L"Velmora");
        const std::string what = std::to_string(c.box) + "/" + std::to_string(c.prior);
        if (c.box == 1) {
            ASSERT_TRUE(v.present) << what;
            EXPECT_EQ(static_cast<DWORD>(REG_SZ), v.type) << what;
            EXPECT_EQ(launcher, v.text) << what;
            EXPECT_EQ((launcher.size() + 1) * 2, v.size) << what;
            EXPECT_EQ(L"1", IniValue(Ini(), L"AppSetting", L"AutoRun")) << what;
        } else {
            // Deleted only when a value was read; the setting keeps what it held.
            EXPECT_EQ(c.prior == kEmpty, v.present) << what;
            EXPECT_EQ(L"0", IniValue(Ini(), L"AppSetting", L"AutoRun")) << what;
        }
        EXPECT_EQ(other, GetValue(kOtherRunKey, L"Velmora").text) << what << ": the other Run key stays untouched";
    }
}

TEST_F(PostInstallOnPrefix, MissingRunKeyWritesNothing) {
    CreateKey(kOtherRunKey);
    for (int box : {1, 0}) {
        DeleteKeyTree(kRunKey);
        SetString(kOtherRunKey, L"Velmora", L"D:\\Old\\vlLauncher.exe");
        EXPECT_FALSE(ApplyAutoRun(box)) << box;
        EXPECT_EQ(L"D:\\Old\\vlLauncher.exe", GetValue(kOtherRunKey, L"Velmora").text) << box;
        EXPECT_EQ(L"0", IniValue(Ini(), L"AppSetting", L"AutoRun")) << box;
        EXPECT_FALSE(GetValue(kRunKey, L"Velmora").present) << box;
    }
}

// Against the system's own version (a separate run switches the prefix to
// Windows XP): the stand-in setup creates the shortcuts a real package
// would for that version, then both options are applied.
TEST_F(PostInstallOnPrefix, FollowTheSystemsOwnVersion) {
    wchar_t winver[16] = {};
    ::GetEnvironmentVariableW(L"VELMORA_WINVER", winver, 16);
    CNotifySink sink;
    const DWORD major = SystemMajorVersion();
    if (wcscmp(winver, L"winxp") == 0) ASSERT_EQ(5u, major);
    else ASSERT_GE(major, 6u);

    RegisterUnpinRecorder();
    ConfigureStandin(L"C:\\standin-family.log");
    ::DeleteFileW(quickLaunchLink.c_str());
    ASSERT_TRUE(RunSetupPackage(StandinSetup().c_str(), folder.c_str(), major, sink.Signals()));
    ASSERT_TRUE(FileExists(desktopLink));
    ASSERT_EQ(major <= 5, FileExists(quickLaunchLink)) << "the package's Quick Launch shortcut";

    EXPECT_TRUE(ApplyTaskbar(major, 0));
    EXPECT_TRUE(ApplyAutoRun(1));

    EXPECT_FALSE(FileExists(quickLaunchLink));
    EXPECT_TRUE(FileExists(desktopLink));
    EXPECT_EQ(major > 5 ? std::vector<std::wstring>{desktopLink} : std::vector<std::wstring>{},
              UnpinnedShortcuts(1, major > 5 ? 5000 : 500));
    // In the 32-bit view on any version (quoted: blanks).
    EXPECT_EQ(L"\"" + folder + L"\\vlLauncher.exe\"", GetValue(kRunKey, L"Velmora").text);
    EXPECT_FALSE(GetValue(kOtherRunKey, L"Velmora").present);
    EXPECT_EQ(L"1", IniValue(Ini(), L"AppSetting", L"AutoRun"));
    EXPECT_EQ(L"zh-CN", IniValue(Ini(), L"AppSetting", L"Language")) << "the package's own setting stays";
}
