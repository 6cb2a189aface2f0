// The install run with nothing listening on the vendor server port (run by
// tests/servers/run_unit.py, which checks the port and sets
// VELMORA_NO_SERVER=1).
#include <gtest/gtest.h>
#include "install/InstallRun.h"
#include "test_support.h"

TEST(NoServerInstallRun, AQueryRefusedLeavesNoUrlAndTheDownloadFails) {
    ASSERT_EQ("1", EnvVar("VELMORA_NO_SERVER")) << "the vendor server port may be in use: run by run_unit.py";
    CInstallRun run;
    ASSERT_TRUE(run.StartQuery());
    EXPECT_FALSE(run.QueryUpgradeInfo(run.m_szDownloadUrl));
    EXPECT_EQ(FAILURE_NETWORK, run.m_failure.cause);
    EXPECT_TRUE(run.HasQueryFailed()) << "Retry asks again";
    EXPECT_STREQ(L"", run.m_szDownloadUrl);
    CScratch scratch;
    EXPECT_FALSE(run.DownloadFile(run.m_szDownloadUrl, scratch.Dl(L"velmora.exe").c_str()));
    EXPECT_TRUE(ListFolder(scratch.Dl()).empty());
}
