// The download against nginx as a real static server, with its own ETag and
// Range handling (run by tests/servers/run_unit.py, which sets
// VELMORA_NGINX_SERVER, VELMORA_NGINX_PACKAGE and VELMORA_NGINX_ETAG). The
// package is served at /velmora.exe and, without an ETag, at
// /noetag/velmora.exe.
#include <gtest/gtest.h>
#include "install/Download.h"
#include "test_support.h"
#include <string>
#include <vector>

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class NginxDownload : public ::testing::Test {
protected:
    void SetUp() override {
        server = EnvVar("VELMORA_NGINX_SERVER");
        ASSERT_FALSE(server.empty()) << "no nginx (VELMORA_NGINX_SERVER): run by tests/servers/run_unit.py";
        package = ReadFileBytes(Wide(EnvVar("VELMORA_NGINX_PACKAGE")));
        etag = Wide(EnvVar("VELMORA_NGINX_ETAG"));
        ASSERT_EQ(10000000u, package.size());
        ASSERT_FALSE(etag.empty());
    }

    std::string server, package;
    std::wstring etag;
};

// One call each into a fresh folder, maybe with a partial file named by the
// ETag: the package stands whole at its path and nothing else is left.
TEST_F(NginxDownload, OneCallPerObjectAndPartialFile) {
    const size_t kNoPartial = 0;
    const size_t kLonger = package.size() + 1000;  // of junk: starts again
    struct Case {
        const char* name;
        const char* object;
        size_t partial;
        CProgress progress;
    } cases[] = {
        {"fresh without an ETag", "/noetag/velmora.exe", kNoPartial, CProgress{1, false}},
        {"resumable through the partial file named by the ETag", "/velmora.exe", kNoPartial, CProgress{1, true}},
        {"resumes a partial file from its size", "/velmora.exe", 4000000, CProgress{40, true}},
        {"a complete partial file is moved without progress", "/velmora.exe", package.size(), CProgress{}},
        {"a partial file longer than the package starts again", "/velmora.exe", kLonger, CProgress{1, true}},
    };
    for (const Case& c : cases) {
        CScratch scratch;
        CNotifySink sink;
        int percent = 0;
        const std::wstring partial = scratch.Dl(etag + L".partial");
        if (c.partial == kLonger) WriteFileBytes(partial, std::string(kLonger, 'J'));
        else if (c.partial) WriteFileBytes(partial, package.substr(0, c.partial));

        const std::wstring url = L"http://" + Wide(server) + Wide(c.object);
        ASSERT_TRUE(DownloadPackage(url.c_str(), scratch.Dl(L"velmora.exe").c_str(), sink.Hwnd(), &percent))
            << c.name;
        EXPECT_TRUE(ReadFileBytes(scratch.Dl(L"velmora.exe")) == package) << c.name;
        EXPECT_EQ(std::vector<std::wstring>{L"velmora.exe"}, ListFolder(scratch.Dl())) << c.name;
        EXPECT_TRUE(IsProgress(sink.TakeProgress(), c.progress)) << c.name;
    }
}

}  // namespace
