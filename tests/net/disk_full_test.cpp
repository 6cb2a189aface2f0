// The download with a full disk: run by tests/servers/run_unit.py, which
// limits the size of files this process may write (VELMORA_FSIZE_LIMIT
// bytes) and starts the fault server.
#include "net_test.h"
#include <cstdlib>

namespace {

// Run by a runner that limits the size of files this process may write
// (VELMORA_FSIZE_LIMIT bytes), as a full disk would.
class DiskFullDownload : public FaultDownload {
protected:
    void SetUp() override {
        limit = static_cast<size_t>(atoll(EnvVar("VELMORA_FSIZE_LIMIT").c_str()));
        ASSERT_NE(0u, limit) << "no file size limit (VELMORA_FSIZE_LIMIT): run by tests/servers/run_unit.py";
        FaultDownload::SetUp();
    }
    size_t limit = 0;
};

TEST_F(DiskFullDownload, FailedWritesFailTheDownloadAndKeepOnlyWrittenBytes) {
    ASSERT_LT(limit, kPackageSize);
    server.Script("/pkg", "etag=v1", package);
    EXPECT_FALSE(Download());
    EXPECT_EQ(FAILURE_DISK, failure.cause);
    const std::string partial = ReadFileBytes(scratch.Dl(L"v1.partial"));
    EXPECT_EQ(limit, partial.size());
    EXPECT_TRUE(partial == package.substr(0, partial.size()));
    EXPECT_FALSE(FileExists(scratch.Dl(L"velmora.exe")));

    EXPECT_EQ(1u, server.Requests().size()) << "a full disk stays full: no retry";

    server.Script("/pkg", "", package);
    EXPECT_FALSE(Download());
    EXPECT_EQ(limit, ReadFileBytes(scratch.Dl(L"velmora.exe")).size());
}

}  // namespace
