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
        DeleteKeyTree(L"SOFTWARE\\Wow6432Node");
        DeleteValue(kRunKey, L"Velmora");
        MakeFolders(folder + L"\\config");
        ResetClientConfig();
        desktopLink = ShellFolder(CSIDL_DESKTOPDIRECTORY) + L"\\Velmora.lnk";
        const std::wstring quick = ShellFolder(CSIDL_APPDATA) + L"\\Microsoft\\Internet Explorer\\Quick Launch";
        MakeFolders(quick);
        quickLaunchLink = quick + L"\\Velmora.lnk";
    }
    void Clean() override {
        DeleteKeyTree(L"SOFTWARE\\Wow6432Node");
        DeleteValue(kRunKey, L"Velmora");
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
    BOOL ApplyAutoRun(BOOL bWow64, int box) { return ApplyAutoRunChoice(box == 1, folder.c_str(), bWow64); }

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
    // shortcut, not one in the taskbar's own folder.
    ::Sleep(500);
    EXPECT_EQ(std::vector<std::wstring>{desktopLink}, UnpinnedShortcuts(1, 5000));

    ::DeleteFileW(quickLaunchLink.c_str());
    EXPECT_TRUE(ApplyTaskbar(5, 0)) << "a missing shortcut changes nothing";
}

TEST_F(PostInstallOnPrefix, AutoRunWritesTheRunValueAndSettingOrDeletesAValueRead) {
    // In quotes: the folder holds blanks.
    const std::wstring launcher = L"\"" + folder + L"\\vlLauncher.exe\"";
    enum Prior { kAbsent, kOther, kEmpty };
    struct Case { BOOL wow64; int box; Prior prior; } cases[] = {
        {FALSE, 1, kAbsent}, {TRUE, 1, kOther}, {FALSE, 0, kOther}, {TRUE, 0, kOther}, {TRUE, 0, kAbsent},
        {FALSE, 0, kEmpty}, {TRUE, 2, kOther},
    };
    for (const Case& c : cases) {
        const wchar_t* key = c.wow64 ? kWowRunKey : kRunKey;
        const wchar_t* otherKey = c.wow64 ? kRunKey : kWowRunKey;
        DeleteKeyTree(L"SOFTWARE\\Wow6432Node");
        CreateKey(kWowRunKey);
        DeleteValue(kRunKey, L"Velmora");
        if (c.prior == kOther) SetString(key, L"Velmora", L"D:\\Old Place\\vlLauncher.exe");
        if (c.prior == kEmpty) SetString(key, L"Velmora", L"");
        ResetClientConfig();

        EXPECT_TRUE(ApplyAutoRun(c.wow64, c.box));

        const RegValue v = GetValue(key, L"Velmora");
        const std::string what = std::to_string(c.wow64) + "/" + std::to_string(c.box) + "/" + std::to_string(c.prior);
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
        EXPECT_FALSE(GetValue(otherKey, L"Velmora").present) << what << ": the other Run key stays untouched";
    }
}

TEST_F(PostInstallOnPrefix, MissingWow6432RunKeyWritesNothingOnA64BitSystem) {
    for (int box : {1, 0}) {
        SetString(kRunKey, L"Velmora", L"D:\\Old\\vlLauncher.exe");
        EXPECT_FALSE(ApplyAutoRun(TRUE, box)) << box;
        EXPECT_EQ(L"D:\\Old\\vlLauncher.exe", GetValue(kRunKey, L"Velmora").text) << box;
        EXPECT_EQ(L"0", IniValue(Ini(), L"AppSetting", L"AutoRun")) << box;
        EXPECT_FALSE(GetValue(kWowRunKey, L"Velmora").present) << box;
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

    ASSERT_FALSE(RunsUnderWow64()) << "the test prefix is 32-bit";
    RegisterUnpinRecorder();
    ConfigureStandin(L"C:\\standin-family.log");
    ::DeleteFileW(quickLaunchLink.c_str());
    ASSERT_TRUE(RunSetupPackage(StandinSetup().c_str(), folder.c_str(), major, sink.Hwnd()));
    ASSERT_TRUE(FileExists(desktopLink));
    ASSERT_EQ(major <= 5, FileExists(quickLaunchLink)) << "the package's Quick Launch shortcut";

    EXPECT_TRUE(ApplyTaskbar(major, 0));
    EXPECT_TRUE(ApplyAutoRun(RunsUnderWow64(), 1));

    EXPECT_FALSE(FileExists(quickLaunchLink));
    EXPECT_TRUE(FileExists(desktopLink));
    EXPECT_EQ(major > 5 ? std::vector<std::wstring>{desktopLink} : std::vector<std::wstring>{},
              UnpinnedShortcuts(1, major > 5 ? 5000 : 500));
    // On a 32-bit system of any version, the plain Run key (quoted: blanks).
    EXPECT_EQ(L"\"" + folder + L"\\vlLauncher.exe\"", GetValue(kRunKey, L"Velmora").text);
    EXPECT_FALSE(GetValue(kWowRunKey, L"Velmora").present);
    EXPECT_EQ(L"1", IniValue(Ini(), L"AppSetting", L"AutoRun"));
    EXPECT_EQ(L"zh-CN", IniValue(Ini(), L"AppSetting", L"Language")) << "the package's own setting stays";
}
