// The download against nginx as a real static server, with its own ETag and
// Range handling (run by tests/servers/run_unit.py, which sets
// VELMORA_NGINX_SERVER, VELMORA_NGINX_PACKAGE and VELMORA_NGINX_ETAG;
// without them these tests skip). The package is served at /velmora.exe
// and, without an ETag, at /noetag/velmora.exe.
#include <gtest/gtest.h>
#include "install/Download.h"
#include "net_support.h"
#include <string>
#include <vector>

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class NginxDownload : public ::testing::Test {
protected:
    void SetUp() override {
        server = EnvVar("VELMORA_NGINX_SERVER");
        if (server.empty()) GTEST_SKIP() << "no nginx (VELMORA_NGINX_SERVER)";
        package = ReadFileBytes(Wide(EnvVar("VELMORA_NGINX_PACKAGE")));
        etag = Wide(EnvVar("VELMORA_NGINX_ETAG"));
        ASSERT_EQ(10000000u, package.size());
        ASSERT_FALSE(etag.empty());
    }
    BOOL Download(const char* object) {
        const std::wstring url = L"http://" + Wide(server) + Wide(object);
        return DownloadPackage(url.c_str(), scratch.Dl(L"velmora.exe").c_str(), sink.Hwnd(), &percent);
    }
    bool PackageArrived() {
        return ReadFileBytes(scratch.Dl(L"velmora.exe")) == package &&
               CScratch::List(scratch.Dl()) == std::vector<std::wstring>{L"velmora.exe"};
    }
    static std::vector<int> Percents(int from, int to, bool moved) {
        std::vector<int> out;
        for (int p = from; p <= to; ++p) out.push_back(p);
        if (moved) out.push_back(to);
        return out;
    }

    std::string server, package;
    std::wstring etag;
    CScratch scratch;
    CNotifySink sink;
    int percent = 0;
};

TEST_F(NginxDownload, FreshWithoutETag) {
    ASSERT_TRUE(Download("/noetag/velmora.exe"));
    EXPECT_TRUE(PackageArrived());
    EXPECT_EQ(Percents(1, 100, false), sink.TakeProgress());
}

TEST_F(NginxDownload, ResumableThroughThePartialFileNamedByTheETag) {
    ASSERT_TRUE(Download("/velmora.exe"));
    EXPECT_TRUE(PackageArrived());
    EXPECT_EQ(Percents(1, 100, true), sink.TakeProgress());
}

TEST_F(NginxDownload, ResumesAPartialFileFromItsSize) {
    WriteFileBytes(scratch.Dl(etag), package.substr(0, 4000000));
    ASSERT_TRUE(Download("/velmora.exe"));
    EXPECT_TRUE(PackageArrived());
    EXPECT_EQ(Percents(40, 100, true), sink.TakeProgress());
}

TEST_F(NginxDownload, CompletePartialFileIsMovedWithoutProgress) {
    WriteFileBytes(scratch.Dl(etag), package);
    ASSERT_TRUE(Download("/velmora.exe"));
    EXPECT_TRUE(PackageArrived());
    EXPECT_TRUE(sink.TakeProgress().empty());
}

TEST_F(NginxDownload, PartialFileLongerThanThePackageStartsAgain) {
    WriteFileBytes(scratch.Dl(etag), std::string(package.size() + 1000, 'J'));
    ASSERT_TRUE(Download("/velmora.exe"));
    EXPECT_TRUE(PackageArrived());
    EXPECT_EQ(Percents(1, 100, true), sink.TakeProgress());
}

}  // namespace
