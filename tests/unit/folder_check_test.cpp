#include <gtest/gtest.h>
#include "app/FolderCheck.h"
#include <string>

namespace {
// C: and D: present, as GetLogicalDriveStringsW lists them.
const wchar_t kDrives[] = L"C:\\\0D:\\\0";
}

TEST(InstallFolderCheck, AcceptsFoldersOnPresentDrivesWithoutRejectedCharacters) {
    struct Case { const wchar_t* text; BOOL accepted; } cases[] = {
        {L"C:\\velmora", TRUE},
        {L"c:\\games", TRUE},          // drive letters compare without case
        {L"D:\\Games\\Velmora", TRUE},
        {L"C:\\", TRUE},               // the drive root itself
        {L"C:\\a/b/", TRUE},           // "/" passes the check
        {L"C:\\a\\  ", TRUE},          // trailing blanks are not looked at
        {L"C:\\a:b\\", FALSE},
        {L"C:\\a*b", FALSE},
        {L"C:\\a?b", FALSE},
        {L"C:\\a\"b", FALSE},
        {L"C:\\a<b", FALSE},
        {L"C:\\a>b", FALSE},
        {L"C:\\a|b", FALSE},
        {L"E:\\velmora", FALSE},       // no such drive
        {L"C:", FALSE},
        {L"C:games", FALSE},
        {L"", FALSE},
        {L"\\\\server\\share", FALSE},
        {L"velmora", FALSE},
    };
    for (const Case& c : cases) EXPECT_EQ(c.accepted, IsInstallFolderAccepted(c.text, kDrives)) << c.text;
}

TEST(InstallFolderCheck, InstallCleansTrailingSeparatorsAndSlashes) {
    struct Case { const wchar_t* typed; const wchar_t* stored; } cases[] = {
        {L"C:\\velmora", L"C:\\velmora"},
        {L"C:\\", L"C:"},
        {L"C:\\a/b/", L"C:\\a\\b"},
        {L"D:\\Games\\ \\/ ", L"D:\\Games"},
        {L"", L""},
        {L"\\/ ", L""},
    };
    for (const Case& c : cases) {
        wchar_t buf[260];
        wcscpy_s(buf, 260, c.typed);
        CleanInstallFolder(buf);
        EXPECT_STREQ(c.stored, buf) << c.typed;
    }
}

TEST(InstallFolderCheck, BrowsedFolderGetsVelmoraAndNeverATruncatedPath) {
    wchar_t out[260] = L"unchanged";
    EXPECT_TRUE(MakeBrowsedInstallFolder(L"D:\\Games", out));
    EXPECT_STREQ(L"D:\\Games\\velmora", out);
    EXPECT_TRUE(MakeBrowsedInstallFolder(L"D:\\", out));
    EXPECT_STREQ(L"D:\\velmora", out);

    const std::wstring fits = L"C:\\" + std::wstring(259 - 3 - 8, L'x');
    EXPECT_TRUE(MakeBrowsedInstallFolder(fits.c_str(), out));
    EXPECT_EQ(fits + L"\\velmora", out);
    wcscpy_s(out, 260, L"unchanged");
    EXPECT_FALSE(MakeBrowsedInstallFolder((fits + L"x").c_str(), out));
    EXPECT_STREQ(L"unchanged", out);
}
