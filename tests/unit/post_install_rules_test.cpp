// The post-install options' rules: the shortcut rows chosen by OS version
// and the paths they build.
#include <gtest/gtest.h>
#include "framework/afxreg.h"
#include "install/PostInstall.h"
#include <shlobj.h>
#include <string>

TEST(PostInstallRows, TheShortcutFollowsTheVersion) {
    for (DWORD major : {0u, 4u, 5u}) {
        const CShortcutRow row = ShortcutRowFor(major);
        EXPECT_EQ(CSIDL_APPDATA, row.nCsidl);
        EXPECT_STREQ(L"\\Microsoft\\Internet Explorer\\Quick Launch\\Velmora.lnk", row.szTail);
        EXPECT_FALSE(row.bUnpin);
    }
    for (DWORD major : {6u, 10u}) {
        const CShortcutRow row = ShortcutRowFor(major);
        EXPECT_EQ(CSIDL_DESKTOP, row.nCsidl);
        EXPECT_STREQ(L"\\Velmora.lnk", row.szTail);
        EXPECT_TRUE(row.bUnpin);
    }
}

TEST(PostInstallPaths, AreWrittenWholeOrNotAtAll) {
    wchar_t path[260];
    ASSERT_TRUE(FormatLauncherPath(L"C:\\Program Files\\Velmora", path));
    EXPECT_STREQ(L"C:\\Program Files\\Velmora\\vlLauncher.exe", path);
    EXPECT_EQ(2u * (wcslen(path) + 1), RegistryStringSize(path));
    ASSERT_TRUE(FormatClientConfigPath(L"D:\\v", path));
    EXPECT_STREQ(L"D:\\v\\config\\config.ini", path);

    // The launcher's tail is 15 characters: a folder of 244 still fits 260.
    const std::wstring fits = L"C:\\" + std::wstring(241, L'f');
    EXPECT_TRUE(FormatLauncherPath(fits.c_str(), path));
    EXPECT_EQ(259u, wcslen(path));
    const std::wstring tooLong = fits + L"g";
    EXPECT_FALSE(FormatLauncherPath(tooLong.c_str(), path));
    EXPECT_STREQ(L"", path);
    EXPECT_FALSE(FormatClientConfigPath(fits.c_str(), path));
    EXPECT_STREQ(L"", path);
}

TEST(PostInstallPaths, TheRunCommandIsQuotedWhenItHoldsABlank) {
    wchar_t command[260];
    ASSERT_TRUE(FormatRunCommand(L"C:\\My Games\\Velmora", command));
    EXPECT_STREQ(L"\"C:\\My Games\\Velmora\\vlLauncher.exe\"", command);
    ASSERT_TRUE(FormatRunCommand(L"D:\\Velmora", command));
    EXPECT_STREQ(L"D:\\Velmora\\vlLauncher.exe", command);
    // The quotes count: a launcher path of 258 characters with a blank does not fit.
    const std::wstring blank = L"C:\\a b" + std::wstring(237, L'f');  // a folder of 243
    EXPECT_TRUE(FormatLauncherPath(blank.c_str(), command));
    EXPECT_FALSE(FormatRunCommand(blank.c_str(), command));
    EXPECT_STREQ(L"", command);
}
