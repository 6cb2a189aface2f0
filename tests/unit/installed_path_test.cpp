// The earlier-installation probe: the Uninstall key's name, the rules for
// taking a registry string, and the probe on the prefix's real registry.
#include "install_system_support.h"
#include "install/InstalledPath.h"
#include "framework/afxreg.h"

using namespace sys_test;

TEST(UninstallKey, HasTheWow6432NodeBranchOnlyUnderWow64) {
    wchar_t key[260];
    FormatUninstallKey(TRUE, key);
    EXPECT_STREQ(L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                 L"{8C3E51A2-7F04-4B9D-A6E1-2D57C90B3F48}_is1",
                 key);
    FormatUninstallKey(FALSE, key);
    EXPECT_STREQ(kUninstallKey, key);
}

TEST(RegistryString, TakesOnlyStringsThatFitWithTheirTerminator) {
    const std::wstring fits259(259, L'a'), exactly260(260, L'b');
    struct Case {
        const char* what;
        LONG result;
        DWORD type;
        std::wstring data;
        DWORD cb;  // bytes reported
        bool ok;
    } cases[] = {
        {"terminated string", ERROR_SUCCESS, REG_SZ, L"D:\\Games", 18, true},
        {"expandable string", ERROR_SUCCESS, REG_EXPAND_SZ, L"D:\\x", 10, true},
        {"no terminator stored", ERROR_SUCCESS, REG_SZ, L"D:\\Gam", 12, true},
        {"empty", ERROR_SUCCESS, REG_SZ, L"", 2, true},
        {"259 characters", ERROR_SUCCESS, REG_SZ, fits259, 520, true},
        {"260 characters, no room for the terminator", ERROR_SUCCESS, REG_SZ, exactly260, 520, false},
        {"more data than the buffer", ERROR_MORE_DATA, REG_SZ, fits259, 600, false},
        {"number", ERROR_SUCCESS, REG_DWORD, L"\x0001", 4, false},
        {"missing", ERROR_FILE_NOT_FOUND, REG_NONE, L"", 0, false},
    };
    for (const Case& c : cases) {
        // Stored bytes past the reported size are never zero here: the
        // text must end where the data says.
        std::vector<wchar_t> data(c.data.begin(), c.data.end());
        if (c.cb / 2 > c.data.size()) data.push_back(L'\0');
        data.resize(300, L'x');
        wchar_t out[260];
        wcscpy(out, L"C:\\velmora");
        EXPECT_EQ(c.ok, !!AcceptRegistryString(c.result, c.type, data.data(), c.cb, out, 260)) << c.what;
        const std::wstring expected = !c.ok ? L"C:\\velmora" : c.data.substr(0, c.cb / 2);
        EXPECT_EQ(expected.c_str(), std::wstring(out)) << c.what;
    }
}

class InstalledPathOnPrefix : public PrefixTest {
protected:
    void Prepare() override { DeleteKeyTree(kUninstallKey); }
    void Clean() override { DeleteKeyTree(kUninstallKey); }
};

TEST_F(InstalledPathOnPrefix, TakesTheRegisteredFolderOnlyWhenItFits) {
    ASSERT_FALSE(RunsUnderWow64()) << "the test prefix is 32-bit";
    const std::wstring icon = L"C:\\velmora-probe-icon.exe";
    WriteBytes(icon, "MZ");
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
        ScriptedDlg dlg(nullptr);
        EXPECT_EQ(c.result, dlg.DetectInstalledPath(folder)) << c.what;
        EXPECT_EQ(std::wstring(c.folder), folder) << c.what;
        EXPECT_EQ(c.result, dlg.DetectInstalledPath(nullptr)) << c.what << ", no folder buffer";
    }
    ::DeleteFileW(icon.c_str());
}

TEST_F(InstalledPathOnPrefix, ConstructionProposesTheFolderTheSetupRegistered) {
    const std::wstring log = L"C:\\standin-probe.log";
    ConfigureStandin(log);
    const std::wstring folder = L"C:\\Games\\Velmora Probe";
    NotifySink sink;
    ScriptedDlg installer(sink.hWnd);
    wcscpy(installer.m_szInstallDir, folder.c_str());
    wcscpy(installer.m_szDownloadFile, StandinSetup().c_str());
    ASSERT_TRUE(installer.RunSetup());
    ASSERT_EQ(L"0", StandinRecord(log, L"done"));

    ScriptedDlg next(nullptr);
    EXPECT_EQ(folder, next.m_szInstallDir);
    EXPECT_TRUE(next.DetectInstalledPath(nullptr)) << "the registered icon file exists";
}
