// The hold of the downloaded package: what it holds while it holds, and
// that a hold that fails holds nothing (the staging folder included).
#include <gtest/gtest.h>
#include "install/PackageHold.h"
#include "test_support.h"
#include <string>

namespace {

// The download's hand-over of path, opened with access.
void HandOver(CDownloadedFile& download, const std::wstring& path, DWORD access) {
    download.file.Attach(::CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    CopyWhole(download.szPath, path.c_str());
}

// TRUE when folder can be renamed away and back, as another program would
// to put its own in its place.
bool FolderMovable(const std::wstring& folder) {
    const std::wstring away = folder + L"-away";
    if (!::MoveFileW(folder.c_str(), away.c_str())) return false;
    EXPECT_TRUE(::MoveFileW(away.c_str(), folder.c_str()));
    return true;
}

}  // namespace

TEST(PackageHold, HoldsTheFileAndItsFolderUntilReleased) {
    CScratch scratch;
    const std::wstring folder = scratch.Dl().substr(0, scratch.Dl().size() - 1);
    const std::string bytes = PackageBytes(70000, 3);
    WriteFileBytes(scratch.Dl(L"velmora.exe"), bytes);
    CDownloadedFile download;
    HandOver(download, scratch.Dl(L"velmora.exe"), GENERIC_READ | GENERIC_WRITE | DELETE);

    CHeldPackage held;
    BOOL bChanged = TRUE;
    ASSERT_TRUE(held.Hold(download, CPackageFacts(), &bChanged));
    EXPECT_FALSE(bChanged);
    const std::wstring path = held.Path();
    EXPECT_EQ(0u, path.rfind(folder + L"\\velmora-", 0)) << path;
    EXPECT_FALSE(FileExists(scratch.Dl(L"velmora.exe"))) << "renamed, not copied";
    CPackageFacts facts;
    facts.bSize = TRUE;
    facts.nSize = bytes.size();
    EXPECT_TRUE(held.Matches(facts));
    EXPECT_FALSE(FolderMovable(folder)) << "nobody may put another folder in its place";
    EXPECT_FALSE(::DeleteFileW(path.c_str()));

    held.Release();
    EXPECT_FALSE(FileExists(path));
    EXPECT_STREQ(L"", held.Path());
    EXPECT_TRUE(FolderMovable(folder));
}

TEST(PackageHold, AHoldThatFailsHoldsNothing) {
    CScratch scratch;
    WriteFileBytes(scratch.Dl(L"velmora.exe"), PackageBytes(1000, 4));
    // The rename fails after the folder was taken: what the path names as
    // the folder is a file, and no name inside it can be made.
    const std::wstring notFolder = scratch.Root() + L"\\blocker";
    WriteFileBytes(notFolder, "x");
    CDownloadedFile download;
    HandOver(download, scratch.Dl(L"velmora.exe"), GENERIC_READ | GENERIC_WRITE | DELETE);
    CopyWhole(download.szPath, (notFolder + L"\\velmora.exe").c_str());

    CHeldPackage held;
    BOOL bChanged = TRUE;
    EXPECT_FALSE(held.Hold(download, CPackageFacts(), &bChanged));
    EXPECT_FALSE(bChanged);
    EXPECT_STREQ(L"", held.Path());
    EXPECT_TRUE(::DeleteFileW(notFolder.c_str())) << "what was taken as the folder was let go of too";
    EXPECT_TRUE(FileExists(scratch.Dl(L"velmora.exe"))) << "a package not taken over stays where it was";
}
