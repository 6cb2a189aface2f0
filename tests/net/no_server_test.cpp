// The dialog with nothing listening on the compiled-in vendor server port
// (run by tests/servers/run_unit.py, which checks the port and sets
// VELMORA_NO_SERVER=1).
#include <gtest/gtest.h>
#include "app/InstallerDlg.h"
#include "test_support.h"

TEST(NoServerInstallerDlg, ConstructionFinishesWithAnEmptyUrl) {
    ASSERT_EQ("1", EnvVar("VELMORA_NO_SERVER")) << "the vendor server port may be in use: run by run_unit.py";
    CInstallerDlg dlg;
    EXPECT_STREQ(L"", dlg.m_szDownloadUrl);
    CScratch scratch;
    EXPECT_FALSE(dlg.DownloadFile(dlg.m_szDownloadUrl, scratch.Dl(L"velmora.exe").c_str()));
    EXPECT_TRUE(ListFolder(scratch.Dl()).empty());
}
