// The earlier-installation probe on the prefix's real registry, and the
// folder the dialog proposes once a setup has registered one.
#include "prefix_test.h"
#include "install/InstallRun.h"
#include "install/InstalledPath.h"
#include "install/SilentSetup.h"

class InstalledPathOnPrefix : public PrefixTest {
protected:
    void Prepare() override { DeleteKeyTree(kUninstallKey); }
    void Clean() override { DeleteKeyTree(kUninstallKey); }
};

// kUninstallKey is the 32-bit view's entry, where the 32-bit setup writes
// it, as this process names it.
TEST_F(InstalledPathOnPrefix, TakesTheRegisteredFolderOnlyWhenItFits) {
    const std::wstring icon = L"C:\\velmora-probe-icon.exe";
    WriteFileBytes(icon, "MZ");
    const std::wstring long259 = L"D:\\" + std::wstring(256, L'v');
    const std::wstring long300 = L"D:\\" + std::wstring(297, L'v');
    struct Case {
        const char* what;
        bool key;
        const wchar_t* appPath;  // null: no value
        const wchar_t* displayIcon;
        const wchar_t* folder;
        BOOL result;
    } cases[] = {
        {"no key", false, nullptr, nullptr, L"C:\\velmora", FALSE},
        {"key without values", true, nullptr, nullptr, L"C:\\velmora", FALSE},
        {"folder, icon present", true, L"D:\\Games\\Velmora", icon.c_str(), L"D:\\Games\\Velmora", TRUE},
        {"folder, icon gone", true, L"D:\\Games\\Velmora", L"C:\\gone\\vlLauncher.exe", L"D:\\Games\\Velmora", FALSE},
        {"icon, no folder", true, nullptr, icon.c_str(), L"C:\\velmora", TRUE},
        {"259 characters", true, long259.c_str(), nullptr, long259.c_str(), FALSE},
        {"300 characters", true, long300.c_str(), icon.c_str(), L"C:\\velmora", TRUE},
    };
    for (const Case& c : cases) {
        DeleteKeyTree(kUninstallKey);
        if (c.key) CreateKey(kUninstallKey);
        if (c.appPath) SetString(kUninstallKey, L"Inno Setup: App Path", c.appPath);
        if (c.displayIcon) SetString(kUninstallKey, L"DisplayIcon", c.displayIcon);

        wchar_t folder[260];
        wcscpy(folder, L"C:\\velmora");
        EXPECT_EQ(c.result, FindInstalledFolder(folder)) << c.what;
        EXPECT_EQ(std::wstring(c.folder), folder) << c.what;
        EXPECT_EQ(c.result, FindInstalledFolder(nullptr)) << c.what << ", no folder buffer";
    }
    ::DeleteFileW(icon.c_str());
}

TEST_F(InstalledPathOnPrefix, ConstructionProposesTheFolderTheSetupRegistered) {
    const std::wstring log = L"C:\\standin-probe.log";
    ConfigureStandin(log);
    const std::wstring folder = L"C:\\Games\\Velmora Probe";
    CNotifySink sink;
    ASSERT_TRUE(RunSetupPackage(StandinSetup().c_str(), folder.c_str(), SystemMajorVersion(), sink.Signals()));
    ASSERT_EQ(L"0", StandinRecord(log, L"done"));

    CInstallRun next;
    EXPECT_EQ(folder, next.InstallDir());
    EXPECT_TRUE(FindInstalledFolder(nullptr)) << "the registered icon file exists";
}
