// The text fetch, the manifest query and the download against the
// scriptable fault server (run by tests/servers/run_unit.py, which puts its
// address in VELMORA_FAULT_SERVER; without it these tests skip).
#include <gtest/gtest.h>
#include "install/Download.h"
#include "install/HttpText.h"
#include "app/InstallerDlg.h"
#include "install/InstallWorker.h"
#include "velmora_config.h"
#include "net_support.h"
#include <string>
#include <vector>

namespace {

// What WinInet under Wine puts on the wire for the installer's requests:
// the agent, then the fixed header block (Wine drops the blank before its
// first line end).
std::string Head(const std::string& target, int port, const std::string& extra = std::string()) {
    return "GET " + target + " HTTP/1.1\r\n" + extra + "Host: 127.0.0.1:" + std::to_string(port) +
           "\r\nUser-Agent: JQV\r\nAccept-Language: zh-cn\r\n"
           "Content-Type: application/x-www-form-urlencoded\r\n\r\n";
}

std::vector<int> Percents(int from, int to) {
    std::vector<int> out;
    for (int p = from; p <= to; ++p) out.push_back(p);
    return out;
}

class FaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!server.Available()) GTEST_SKIP() << "no fault server (VELMORA_FAULT_SERVER)";
        server.Reset();
    }
    CFaultServer server;
};

class FaultHttpGetText : public FaultTest {};

TEST_F(FaultHttpGetText, RequestBytesOnTheWire) {
    server.Script("/apis/x.json", "", "caf\xC3\xA9 \xE5\xAE\x89");
    server.Script("/", "", "root");
    wchar_t text[kHttpTextChars] = {};
    ASSERT_TRUE(HttpGetText(server.Url("/apis/x.json?versionCode=1&osVersion=6").c_str(), text));
    EXPECT_STREQ(L"caf\x00E9 \x5B89", text);
    ASSERT_TRUE(HttpGetText((L"HTTP://127.0.0.1:" + std::to_wstring(server.Port())).c_str(), nullptr));

    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ(Head("/apis/x.json?versionCode=1&osVersion=6", server.Port()), requests[0]);
    EXPECT_EQ(Head("/", server.Port()), requests[1]);  // no object: the root
}

TEST_F(FaultHttpGetText, ReplyShapes) {
    const std::string ascii511(511, 'a'), ascii512(512, 'a');
    std::string wide500;
    for (int i = 0; i < 500; ++i) wide500 += "\xE5\xAE\x89";  // 1500 bytes: several reads
    struct Case { const char* name; std::string options; std::string body; BOOL ok; std::wstring text; } cases[] = {
        {"404 with a body", "status=404", "not here", FALSE, L""},
        {"500 passes the status test", "status=500", "oops", TRUE, L"oops"},
        {"chunked, no Content-Length", "chunked=1", "chunky", FALSE, L""},
        {"closed by the server, no Content-Length", "length=none", "closing", FALSE, L""},
        {"Content-Length 0", "", "", TRUE, L""},
        {"body shorter than announced", "length=100", std::string(50, 's'), FALSE, L""},
        {"dropped mid-body", "drop_after=10", std::string(100, 'd'), FALSE, L""},
        {"slow body in small pieces", "throttle=7,0.005", "slowly but completely", TRUE, L"slowly but completely"},
        {"511 characters", "", ascii511, TRUE, std::wstring(511, L'a')},
        {"512 characters leave no room for the end", "", ascii512, FALSE, L""},
        {"1500 bytes of UTF-8", "", wide500, TRUE, std::wstring(500, L'\x5B89')},
        {"4097 bytes", "", std::string(4097, 'b'), FALSE, L""},
        {"header block over 256 bytes", "pad=400", "padded", TRUE, L"padded"},
    };
    for (const Case& c : cases) {
        server.Script("/t", c.options, c.body);
        wchar_t text[kHttpTextChars + 1];
        wmemset(text, L'#', kHttpTextChars + 1);
        EXPECT_EQ(c.ok, HttpGetText(server.Url("/t").c_str(), text)) << c.name;
        if (c.ok) {
            EXPECT_EQ(c.text, text) << c.name;
        } else {
            EXPECT_EQ(std::wstring(kHttpTextChars + 1, L'#'), std::wstring(text, kHttpTextChars + 1))
                << c.name << ": a failure leaves the text as it was";
        }
    }
}

TEST_F(FaultHttpGetText, OtherSchemesNeverReachTheNetwork) {
    server.Script("/t", "", "x");
    wchar_t text[kHttpTextChars] = {};
    const std::wstring https = L"https://127.0.0.1:" + std::to_wstring(server.Port()) + L"/t";
    EXPECT_FALSE(HttpGetText(https.c_str(), text));
    EXPECT_FALSE(HttpGetText(L"", text));
    EXPECT_TRUE(server.Requests().empty());
}

class FaultManifest : public FaultTest {};

const char kManifestPath[] = "/apis/client/v1.0/client-upgrade.json";

TEST_F(FaultManifest, ConstructorStoresThePackageUrlAndTheDownloadFetchesIt) {
    const std::string package = PackageBytes(300000, 7);
    server.Script("/packages/velmora_setup.exe", "etag=pkg-1", package);
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/packages/velmora_setup.exe";
    server.Script(kManifestPath, "",
                  R"({"code":100,"result":{"version":"3.2.1","versionCode":321,"downloadUrl":")" + url + "\"}}");

    ASSERT_EQ(L"127.0.0.1:" + std::to_wstring(server.Port()), std::wstring(VELMORA_SERVER))
        << "the runner starts the fault server on the compiled-in vendor server port";
    CInstallerDlg dlg;
    EXPECT_EQ(std::wstring(url.begin(), url.end()), dlg.m_szDownloadUrl);
    std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(Head(std::string(kManifestPath) + "?versionCode=1&osVersion=" +
                       std::to_string(dlg.m_osvi.dwMajorVersion),
                   server.Port()),
              requests[0]);

    CScratch scratch;
    EXPECT_TRUE(dlg.DownloadFile(dlg.m_szDownloadUrl, scratch.Dl(L"velmora.exe").c_str()));
    EXPECT_EQ(100, dlg.m_nDownloadPercent);
    EXPECT_TRUE(ReadFileBytes(scratch.Dl(L"velmora.exe")) == package);
}

TEST_F(FaultManifest, FailedQueriesLeaveTheUrlUntouched) {
    const std::string good = R"({"code":100,"result":{"version":"1","versionCode":1,"downloadUrl":"http://d/p.exe"}})";
    const std::string longUrl = "http://d/" + std::string(247, 'a');  // 256 characters
    struct Case { const char* name; std::string options; std::string body; } cases[] = {
        {"404", "status=404", good},
        {"no Content-Length", "chunked=1", good},
        {"dropped", "drop_after=20", good},
        {"code 101", "", R"({"code":101,"result":{"version":"1","versionCode":1,"downloadUrl":"http://d/p.exe"}})"},
        {"no versionCode", "", R"({"code":100,"result":{"version":"1","downloadUrl":"http://d/p.exe"}})"},
        {"URL of 256 characters", "", R"({"code":"100","result":{"version":"1","versionCode":1,"downloadUrl":")" +
                                          longUrl + "\"}}"},
    };
    CInstallerDlg dlg;
    for (const Case& c : cases) {
        server.Script(kManifestPath, c.options, c.body);
        wchar_t url[256] = {};
        EXPECT_FALSE(dlg.QueryUpgradeInfo(url)) << c.name;
        EXPECT_STREQ(L"", url) << c.name;
    }
    server.Script(kManifestPath, "", good);
    wchar_t url[256] = {};
    EXPECT_TRUE(dlg.QueryUpgradeInfo(url));
    EXPECT_STREQ(L"http://d/p.exe", url);
}

// Package downloads. 10,000,000 bytes make one percent 100,000 bytes, more
// than one read, so that every whole percent is posted exactly once.
const size_t kPackageSize = 10000000;

class FaultDownload : public FaultTest {
protected:
    void SetUp() override {
        FaultTest::SetUp();
        if (IsSkipped()) return;
        package = PackageBytes(kPackageSize, 11);
    }
    BOOL Download(const std::wstring& url) {
        return DownloadPackage(url.c_str(), scratch.Dl(L"velmora.exe").c_str(), sink.Hwnd(), &percent);
    }
    BOOL Download() { return Download(server.Url("/pkg")); }
    std::string Package() const { return ReadFileBytes(scratch.Dl(L"velmora.exe")); }

    std::string package;
    CScratch scratch;
    CNotifySink sink;
    int percent = 0;
};

TEST_F(FaultDownload, FreshWithoutETag) {
    server.Script("/pkg", "", package);
    ASSERT_TRUE(Download());
    EXPECT_TRUE(Package() == package);
    EXPECT_EQ(std::vector<std::wstring>{L"velmora.exe"}, CScratch::List(scratch.Dl()));
    EXPECT_EQ(Percents(1, 100), sink.TakeProgress());
    EXPECT_EQ(100, percent);
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(Head("/pkg", server.Port()), requests[0]);
}

TEST_F(FaultDownload, ResumableFromNothingReadsOnlyTheRangedReply) {
    // Replies without Range carry junk: only the ranged body may reach the file.
    server.Script("/pkg", "etag=v1&unranged_fill=J", package);
    ASSERT_TRUE(Download());
    EXPECT_TRUE(Package() == package);
    EXPECT_EQ(std::vector<std::wstring>{L"velmora.exe"}, CScratch::List(scratch.Dl()));
    std::vector<int> expected = Percents(1, 100);
    expected.push_back(100);  // once more after the move
    EXPECT_EQ(expected, sink.TakeProgress());
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ(Head("/pkg", server.Port()), requests[0]);
    EXPECT_EQ(Head("/pkg", server.Port(), "Range: bytes=0-\r\n"), requests[1]);
}

TEST_F(FaultDownload, ResumesAPartialFileAndPostsFromItsPercent) {
    server.Script("/pkg", "etag=v1", package);
    WriteFileBytes(scratch.Dl(L"v1"), package.substr(0, 4000000));
    ASSERT_TRUE(Download());
    EXPECT_TRUE(Package() == package);
    EXPECT_FALSE(FileExists(scratch.Dl(L"v1")));
    std::vector<int> expected = Percents(40, 100);
    expected.push_back(100);
    EXPECT_EQ(expected, sink.TakeProgress());
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ(Head("/pkg", server.Port(), "Range: bytes=4000000-\r\n"), requests[1]);
}

TEST_F(FaultDownload, CompletePartialFileIsMovedWithoutTransfer) {
    server.Script("/pkg", "etag=v1", package);
    WriteFileBytes(scratch.Dl(L"v1"), package);
    WriteFileBytes(scratch.Dl(L"velmora.exe"), "stale package of an earlier run");
    ASSERT_TRUE(Download());
    EXPECT_TRUE(Package() == package);
    EXPECT_EQ(std::vector<std::wstring>{L"velmora.exe"}, CScratch::List(scratch.Dl()));
    EXPECT_TRUE(sink.TakeProgress().empty());
    EXPECT_EQ(1u, server.Requests().size());
}

TEST_F(FaultDownload, DroppedConnectionIsResumedByTheNextCall) {
    server.Script("/pkg", "etag=v1&drop_after=3000001", package);
    EXPECT_FALSE(Download());
    const std::string partial = ReadFileBytes(scratch.Dl(L"v1"));
    EXPECT_EQ(3000001u, partial.size());
    EXPECT_TRUE(partial == package.substr(0, partial.size()));
    EXPECT_FALSE(FileExists(scratch.Dl(L"velmora.exe")));
    sink.TakeProgress();

    server.Reset();
    server.Script("/pkg", "etag=v1", package);
    ASSERT_TRUE(Download());
    EXPECT_TRUE(Package() == package);
    EXPECT_FALSE(FileExists(scratch.Dl(L"v1")));
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ(Head("/pkg", server.Port(), "Range: bytes=3000001-\r\n"), requests[1]);
}

TEST_F(FaultDownload, PartialFilesThatCannotContinueStartAgainFromNothing) {
    struct Case { const char* name; std::string options; std::string partial; const char* range; } cases[] = {
        {"partial longer than the package", "etag=v1", std::string(kPackageSize + 1000, 'J'), "bytes=0-"},
        {"server ignores Range", "etag=v1&ranges=0", std::string(4000000, 'J'), "bytes=4000000-"},
    };
    for (const Case& c : cases) {
        server.Reset();
        server.Script("/pkg", c.options, package);
        WriteFileBytes(scratch.Dl(L"v1"), c.partial);
        EXPECT_TRUE(Download()) << c.name;
        EXPECT_TRUE(Package() == package) << c.name;
        EXPECT_EQ(std::vector<std::wstring>{L"velmora.exe"}, CScratch::List(scratch.Dl())) << c.name;
        const std::vector<std::string> requests = server.Requests();
        ASSERT_EQ(2u, requests.size()) << c.name;
        EXPECT_EQ(Head("/pkg", server.Port(), std::string("Range: ") + c.range + "\r\n"), requests[1]) << c.name;
        DeleteFileW(scratch.Dl(L"velmora.exe").c_str());
    }
}

TEST_F(FaultDownload, ErrorReplyToTheRangedRequestKeepsThePartialFile) {
    server.Script("/pkg", "etag=v1&range_status=500", package);
    const std::string partial = package.substr(0, 4000000);
    WriteFileBytes(scratch.Dl(L"v1"), partial);
    EXPECT_FALSE(Download());
    EXPECT_TRUE(ReadFileBytes(scratch.Dl(L"v1")) == partial);
    EXPECT_EQ(std::vector<std::wstring>{L"v1"}, CScratch::List(scratch.Dl()));
}

TEST_F(FaultDownload, UnsafeETagsDownloadStraightToThePackagePath) {
    const std::string etags[] = {"../x", "..\\x", "a\\b", "a/b", "CON", "nul", "x.", "C:x", std::string(128, 'e')};
    for (const std::string& etag : etags) {
        server.Reset();
        server.Script("/pkg", "etag=" + CFaultServer::Enc(etag), package);
        EXPECT_TRUE(Download()) << etag;
        EXPECT_TRUE(Package() == package) << etag;
        EXPECT_EQ(std::vector<std::wstring>{L"dl"}, CScratch::List(scratch.Root())) << etag;
        EXPECT_EQ(std::vector<std::wstring>{L"velmora.exe"}, CScratch::List(scratch.Dl())) << etag;
        EXPECT_EQ(1u, server.Requests().size()) << etag;
    }
}

TEST_F(FaultDownload, HeaderBlockOver256BytesMeansNoETag) {
    server.Script("/pkg", "etag=v1&pad=200", package);
    ASSERT_TRUE(Download());
    EXPECT_TRUE(Package() == package);
    EXPECT_EQ(std::vector<std::wstring>{L"velmora.exe"}, CScratch::List(scratch.Dl()));
    EXPECT_EQ(1u, server.Requests().size());
}

TEST_F(FaultDownload, RepliesThatFailBeforeAnyFileIsWritten) {
    struct Case { const char* name; std::string options; std::string body; } cases[] = {
        {"Content-Length 0", "", ""},
        {"Content-Length 0 with an ETag", "etag=v1", ""},
        {"no Content-Length", "chunked=1", package.substr(0, 100000)},
        {"404", "status=404&etag=v1", package.substr(0, 100000)},
    };
    for (const Case& c : cases) {
        server.Script("/pkg", c.options, c.body);
        EXPECT_FALSE(Download()) << c.name;
        EXPECT_TRUE(CScratch::List(scratch.Dl()).empty()) << c.name;
    }
    EXPECT_FALSE(Download(L"https://127.0.0.1:" + std::to_wstring(server.Port()) + L"/pkg"));
    EXPECT_FALSE(Download(L""));
    EXPECT_TRUE(sink.TakeProgress().empty());
}

struct StopRun {
    const wchar_t* url;
    const wchar_t* path;
    HWND hWnd;
    int* percent;
    BOOL result;
};

DWORD WINAPI StopRunThread(LPVOID p) {
    StopRun* run = static_cast<StopRun*>(p);
    run->result = DownloadPackage(run->url, run->path, run->hWnd, run->percent);
    return 0;
}

TEST_F(FaultDownload, StopSignalEndsTheDownloadKeepingThePartialFile) {
    // About three seconds of package at this pace; the stop comes after the first percent.
    server.Script("/pkg", "etag=v1&throttle=32768,0.01", package);
    const std::wstring url = server.Url("/pkg"), path = scratch.Dl(L"velmora.exe");
    StopRun run = {url.c_str(), path.c_str(), sink.Hwnd(), &percent, TRUE};
    HANDLE thread = CreateThread(nullptr, 0, StopRunThread, &run, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    bool stopped = false;
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, 60000, QS_POSTMESSAGE) == WAIT_OBJECT_0 + 1) {
        if (!sink.TakeProgress().empty() && !stopped) {
            RequestInstallStop();
            stopped = true;
        }
    }
    CloseHandle(thread);
    ResetEvent(GetInstallStopEvent());
    ASSERT_TRUE(stopped);
    EXPECT_FALSE(run.result);
    const std::string partial = ReadFileBytes(scratch.Dl(L"v1"));
    EXPECT_GT(partial.size(), 0u);
    EXPECT_LT(partial.size(), package.size());
    EXPECT_TRUE(partial == package.substr(0, partial.size()));
    EXPECT_FALSE(FileExists(path));
}

// Run by a runner that limits the size of files this process may write
// (VELMORA_FSIZE_LIMIT bytes), as a full disk would.
class DiskFullDownload : public FaultDownload {
protected:
    void SetUp() override {
        limit = static_cast<size_t>(atoll(EnvVar("VELMORA_FSIZE_LIMIT").c_str()));
        if (!limit) GTEST_SKIP() << "no file size limit (VELMORA_FSIZE_LIMIT)";
        FaultDownload::SetUp();
    }
    size_t limit = 0;
};

TEST_F(DiskFullDownload, FailedWritesFailTheDownloadAndKeepOnlyWrittenBytes) {
    ASSERT_LT(limit, kPackageSize);
    server.Script("/pkg", "etag=v1", package);
    EXPECT_FALSE(Download());
    const std::string partial = ReadFileBytes(scratch.Dl(L"v1"));
    EXPECT_EQ(limit, partial.size());
    EXPECT_TRUE(partial == package.substr(0, partial.size()));
    EXPECT_FALSE(FileExists(scratch.Dl(L"velmora.exe")));

    server.Script("/pkg", "", package);
    EXPECT_FALSE(Download());
    EXPECT_EQ(limit, ReadFileBytes(scratch.Dl(L"velmora.exe")).size());
}

}  // namespace

namespace {

// Run with nothing listening on the compiled-in vendor server port
// (VELMORA_NO_SERVER=1).
TEST(NoServerInstallerDlg, ConstructionFinishesWithAnEmptyUrl) {
    if (EnvVar("VELMORA_NO_SERVER") != "1") GTEST_SKIP() << "the vendor server port may be in use";
    CInstallerDlg dlg;
    EXPECT_STREQ(L"", dlg.m_szDownloadUrl);
    CScratch scratch;
    EXPECT_FALSE(dlg.DownloadFile(dlg.m_szDownloadUrl, scratch.Dl(L"velmora.exe").c_str()));
    EXPECT_TRUE(CScratch::List(scratch.Dl()).empty());
}

}  // namespace
