// The text fetch, the manifest query and the download against the
// scriptable fault server.
#include "net_test.h"
#include "install/InstallRun.h"
#include "install/HttpText.h"
#include "install/InstallWorker.h"
#include "install/UpgradeManifest.h"
#include "install/VendorServer.h"
#include <algorithm>

namespace {

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
    const std::string fits(kHttpTextChars - 1, 'a'), tooLong(kHttpTextChars, 'a');
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
        {"as many characters as fit", "", fits, TRUE, std::wstring(kHttpTextChars - 1, L'a')},
        {"one more leaves no room for the end", "", tooLong, FALSE, L""},
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
    const std::wstring ftp = L"ftp://127.0.0.1:" + std::to_wstring(server.Port()) + L"/t";
    EXPECT_FALSE(HttpGetText(ftp.c_str(), text));
    EXPECT_FALSE(HttpGetText(L"", text));
    EXPECT_TRUE(server.Requests().empty());
}

class FaultManifest : public FaultTest {};

const char kManifestPath[] = "/apis/client/v1.0/client-upgrade.json";

TEST_F(FaultManifest, QueryStoresThePackageUrlAndTheDownloadFetchesIt) {
    const std::string package = PackageBytes(300000, 7);
    server.Script("/packages/velmora_setup.exe", "etag=pkg-1", package);
    const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/packages/velmora_setup.exe";
    server.Script(kManifestPath, "",
                  R"({"code":100,"result":{"version":"3.2.1","versionCode":321,"downloadUrl":")" + url + "\"}}");

    wchar_t vendor[SERVER_CHARS];
    ASSERT_TRUE(GetVendorServer(vendor));
    ASSERT_EQ(L"127.0.0.1:" + std::to_wstring(server.Port()), std::wstring(vendor))
        << "the runner points the installer's vendor server (VELMORA_TEST_SERVER) at the fault server";
    CInstallRun run;
    ASSERT_TRUE(run.StartQuery()) << "as the window does once it shows";
    EXPECT_TRUE(run.QueryUpgradeInfo(run.m_szDownloadUrl));
    EXPECT_EQ(std::wstring(url.begin(), url.end()), run.m_szDownloadUrl);
    std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(Head(std::string(kManifestPath) + "?versionCode=1&osVersion=" + std::to_string(run.MajorVersion()),
                   server.Port()),
              requests[0]);

    CScratch scratch;
    EXPECT_TRUE(run.DownloadFile(run.m_szDownloadUrl, scratch.Dl(L"velmora.exe").c_str()));
    EXPECT_EQ(100, run.DownloadPercent());
    // Held under a name of this run's own until its setup has ended.
    const std::wstring held = run.PackagePath();
    EXPECT_EQ(scratch.Dl(L"velmora-"), held.substr(0, scratch.Dl(L"velmora-").size()));
    EXPECT_FALSE(FileExists(scratch.Dl(L"velmora.exe")));
    EXPECT_TRUE(ReadFileBytes(held) == package);
    EXPECT_EQ(INVALID_HANDLE_VALUE, CreateFileW(held.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_EXISTING, 0, nullptr))
        << "nobody may write it meanwhile";
    EXPECT_FALSE(MoveFileW(held.c_str(), scratch.Dl(L"other.exe").c_str())) << "nor rename it";
    run.ReleasePackage();
    EXPECT_FALSE(FileExists(held));
}

TEST_F(FaultManifest, FailedQueriesLeaveTheUrlUntouched) {
    const std::string good = R"({"code":100,"result":{"version":"1","versionCode":1,"downloadUrl":"http://d/p.exe"}})";
    const std::string longUrl = "http://d/" + std::string(247, 'a');  // 256 characters
    // The cause is what the person is told: the network's or the server's.
    struct Case { const char* name; std::string options; std::string body; InstallFailure cause; } cases[] = {
        {"404", "status=404", good, FAILURE_SERVER},
        {"403 whose body reads as a manifest", "status=403", good, FAILURE_SERVER},
        {"503 for good, whose body reads as a manifest", "status=503", good, FAILURE_SERVER},
        {"no Content-Length", "chunked=1", good, FAILURE_SERVER},
        {"dropped", "drop_after=20", good, FAILURE_NETWORK},
        {"code 101", "", R"({"code":101,"result":{"version":"1","versionCode":1,"downloadUrl":"http://d/p.exe"}})",
         FAILURE_SERVER},
        {"no versionCode", "", R"({"code":100,"result":{"version":"1","downloadUrl":"http://d/p.exe"}})",
         FAILURE_SERVER},
        {"URL of 256 characters", "", R"({"code":"100","result":{"version":"1","versionCode":1,"downloadUrl":")" +
                                          longUrl + "\"}}", FAILURE_SERVER},
    };
    const CRunSignals signals;
    for (const Case& c : cases) {
        server.Script(kManifestPath, c.options, c.body);
        CUpgradeInfo info;
        CInstallFailure failure;
        EXPECT_FALSE(QueryUpgrade(6, signals, &info, &failure)) << c.name;
        EXPECT_STREQ(L"", info.szUrl) << c.name;
        EXPECT_EQ(c.cause, failure.cause) << c.name;
    }
    server.Script(kManifestPath, "", good);
    CUpgradeInfo info;
    EXPECT_TRUE(QueryUpgrade(6, signals, &info));
    EXPECT_STREQ(L"http://d/p.exe", info.szUrl);
    // A build without a key asks for no signature.
    for (const std::string& request : server.Requests()) EXPECT_EQ(std::string::npos, request.find(".sig"));
}

// One call each, from a stale package of an earlier run and maybe a partial
// file: the package stands whole at its path, nothing else is left, and the
// progress and the requests are those of the reply's shape.
TEST_F(FaultDownload, OneCallPerReplyShape) {
    const size_t kNoPartial = 0;
    const std::string resume = "Range: bytes=4000000-\r\nIf-Range: \"v1\"\r\n";
    struct Case {
        const char* name;
        std::string options;
        size_t partial;  // bytes of the package already in the partial file of "v1"
        CProgress progress;
        std::vector<std::string> extra;  // per request: the header lines beside the fixed ones
    } cases[] = {
        {"fresh without an ETag", "", kNoPartial, CProgress{1, false}, {""}},
        // The first reply's body is the download: no second request.
        {"a strong tag keys a partial file", "etag=v1", kNoPartial, CProgress{1, true}, {""}},
        {"resumes a partial file and posts from its percent", "etag=v1", 4000000, CProgress{40, true}, {resume}},
        {"a complete partial file is moved without transfer", "etag=v1", kPackageSize, CProgress{},
         {"Range: bytes=10000000-\r\nIf-Range: \"v1\"\r\n"}},
        {"a tag in a 1500-byte header block, named in lower case", "etag=v1&etag_header=etag&pad=1500", 4000000,
         CProgress{40, true}, {resume}},
        {"a weak tag keys nothing", "etag_raw=" + CFaultServer::Enc("W/\"v1\""), kNoPartial, CProgress{1, false}, {""}},
        {"a Content-Encoding keys nothing", "etag=v1&header=" + CFaultServer::Enc("Content-Encoding: identity"),
         kNoPartial, CProgress{1, false}, {""}},
        // Replies without Range carry junk: only the rest may reach the file.
        {"the ranged reply continues the file", "etag=v1&unranged_fill=J", 4000000, CProgress{40, true}, {resume}},
        {"the package changed: the whole new one", "etag=v2", 4000000, CProgress{1, true}, {resume}},
        {"a server that ignores Range sends the whole", "etag=v1&ranges=0", 4000000, CProgress{1, true},
         {resume}},
    };
    for (const Case& c : cases) {
        server.Reset();
        server.Script("/pkg", c.options, package);
        for (const std::wstring& name : ListFolder(scratch.Dl())) DeleteFileW(scratch.Dl(name).c_str());
        WriteFileBytes(scratch.Dl(L"velmora.exe"), "stale package of an earlier run");
        if (c.partial) WriteFileBytes(scratch.Dl(L"v1.partial"), package.substr(0, c.partial));
        percent = 0;

        ASSERT_TRUE(Download()) << c.name;
        EXPECT_TRUE(Package() == package) << c.name;
        EXPECT_EQ(std::vector<std::wstring>{L"velmora.exe"}, ListFolder(scratch.Dl())) << c.name;
        EXPECT_TRUE(IsProgress(sink.TakeProgress(), c.progress)) << c.name;
        EXPECT_EQ(c.progress.from < 0 ? 0 : 100, percent) << c.name;
        std::vector<std::string> expected;
        for (const std::string& extra : c.extra) expected.push_back(Head("/pkg", server.Port(), extra));
        EXPECT_EQ(expected, server.Requests()) << c.name;
    }
}

// Faults the next attempt may not meet, within one call: the call retries
// and ends with the whole package; a resumable download continues from its
// partial file, a fresh one starts again from nothing.
TEST_F(FaultDownload, TransientFaultsAreRetriedWithinTheCall) {
    const int scale = TimeScale();
    const std::string kAnyRange = "<a Range and If-Range of any start>";
    const std::string retryAfter = "&header=" + CFaultServer::Enc("Retry-After: 3");
    const std::string rest3333333 = "Range: bytes=3333333-\r\nIf-Range: \"v1\"\r\n";
    struct Case {
        const char* name;
        std::vector<std::string> first;  // one-shot replies, in order, before the standing one
        std::string standing;
        size_t partial;
        std::vector<std::string> extra;  // per request: the header lines beside the fixed ones
        double minGap;                   // seconds between the first two requests, at least
    } cases[] = {
        {"dropped at a third", {"etag=v1&drop_after=3333333"}, "etag=v1", 0, {"", rest3333333}, 0},
        {"silent after 5 MB", {"etag=v1&stall_after=5000000"}, "etag=v1", 0,
         {"", "Range: bytes=5000000-\r\nIf-Range: \"v1\"\r\n"}, 0},
        {"trickling from the start", {"etag=v1&throttle=100,1"}, "etag=v1", 0, {"", kAnyRange}, 0},
        {"the first byte after 2/3 of the receive time-out", {}, "etag=v1&delay=" + std::to_string(20 * scale / 100.0), 0,
         {""}, 0},
        {"503 with Retry-After", {"status=503" + retryAfter}, "etag=v1", 0, {"", ""}, 3 * scale / 100.0},
        {"busy statuses", {"status=500", "status=502", "status=504", "status=408", "status=429"}, "etag=v1", 0,
         {"", "", "", "", "", ""}, 0},
        {"a weak tag starts again from nothing", {"etag_raw=" + CFaultServer::Enc("W/\"v1\"") + "&drop_after=3333333"},
         "etag_raw=" + CFaultServer::Enc("W/\"v1\""), 0, {"", ""}, 0},
        {"416 on resume: again from nothing", {"etag=v1&range_status=416"}, "etag=v1", 4000000,
         {"Range: bytes=4000000-\r\nIf-Range: \"v1\"\r\n", ""}, 0},
    };
    for (const Case& c : cases) {
        server.Reset();
        // Error pages are small; a package-sized one would only cost time to drain.
        for (const std::string& once : c.first)
            server.Script("/pkg", once + "&once=1", once.compare(0, 7, "status=") == 0 ? "busy" : package);
        server.Script("/pkg", c.standing, package);
        for (const std::wstring& name : ListFolder(scratch.Dl())) DeleteFileW(scratch.Dl(name).c_str());
        if (c.partial) WriteFileBytes(scratch.Dl(L"v1.partial"), package.substr(0, c.partial));

        ASSERT_TRUE(Download()) << c.name;
        EXPECT_TRUE(Package() == package) << c.name;
        EXPECT_EQ(std::vector<std::wstring>{L"velmora.exe"}, ListFolder(scratch.Dl())) << c.name;
        const std::vector<std::string> requests = server.Requests();
        ASSERT_EQ(c.extra.size(), requests.size()) << c.name;
        for (size_t i = 0; i < requests.size(); ++i) {
            if (c.extra[i] == kAnyRange) {
                EXPECT_EQ(0u, requests[i].find("GET /pkg HTTP/1.1\r\nRange: bytes=")) << c.name;
                EXPECT_NE(std::string::npos, requests[i].find("-\r\nIf-Range: \"v1\"\r\n")) << c.name;
            } else {
                EXPECT_EQ(Head("/pkg", server.Port(), c.extra[i]), requests[i]) << c.name << ", request " << i;
            }
        }
        if (c.minGap > 0) {
            const std::vector<double> times = server.Times();
            ASSERT_EQ(requests.size(), times.size());
            EXPECT_GE(times[1] - times[0], c.minGap) << c.name;
        }
        if (requests.size() > 1 && c.partial == 0) {  // the 416 case asks again at once, on the same connection
            sink.Pump(0);
            const std::vector<WPARAM> codes = sink.Codes();
            EXPECT_NE(codes.end(), std::find(codes.begin(), codes.end(), WPARAM(INSTALL_NOTIFY_RETRYING))) << c.name;
        }
        sink.Clear();
    }
}

// Replies that are not the package: nothing is written at the package path
// (nor run later); a transient one is asked for again up to the limit.
TEST_F(FaultDownload, ErrorRepliesAreNeverThePackage) {
    struct Case { const char* name; std::string options; size_t requests; } cases[] = {
        {"404", "status=404&etag=v1", 1},
        {"403 page", "status=403", 1},
        {"500 page for good", "status=500", 1 + DOWNLOAD_RETRIES},
        {"503 page for good", "status=503&etag=v1", 1 + DOWNLOAD_RETRIES},
        {"Content-Length 0", "", 1},
        {"Content-Length 0 with an ETag", "etag=v1", 1},
        {"no Content-Length", "chunked=1", 1},
    };  // each the server's fault
    for (const Case& c : cases) {
        server.Reset();
        server.Script("/pkg", c.options, c.options.empty() || c.options == "etag=v1" ? "" : "<html>error page</html>");
        EXPECT_FALSE(Download()) << c.name;
        EXPECT_TRUE(ListFolder(scratch.Dl()).empty()) << c.name;
        EXPECT_EQ(c.requests, server.Requests().size()) << c.name;
        EXPECT_EQ(FAILURE_SERVER, failure.cause) << c.name;
    }
    EXPECT_FALSE(Download(L"ftp://127.0.0.1:" + std::to_wstring(server.Port()) + L"/pkg"));
    EXPECT_FALSE(Download(L""));
    EXPECT_TRUE(sink.TakeProgress().empty());
}

// A run whose attempts all fail keeps its partial file, and the next run
// continues it, also behind a header block of 1500 bytes whose tag header
// is spelt in lower case.
TEST_F(FaultDownload, AnInterruptedRunIsResumedByTheNextRun) {
    const std::string tag = "etag=v1&etag_header=etag&pad=1500";
    server.Script("/pkg", tag + "&drop_after=3333333&once=1", package);
    server.Script("/pkg", "status=404");  // then the server loses the package for good
    EXPECT_FALSE(Download());
    const std::string partial = ReadFileBytes(scratch.Dl(L"v1.partial"));
    EXPECT_EQ(3333333u, partial.size());
    EXPECT_TRUE(partial == package.substr(0, partial.size()));
    EXPECT_FALSE(FileExists(scratch.Dl(L"velmora.exe")));

    server.Reset();
    server.Script("/pkg", tag, package);
    sink.TakeProgress();
    percent = 0;  // as in a new run
    ASSERT_TRUE(Download());
    EXPECT_TRUE(Package() == package);
    EXPECT_EQ(std::vector<std::wstring>{L"velmora.exe"}, ListFolder(scratch.Dl()));
    EXPECT_TRUE(IsProgress(sink.TakeProgress(), CProgress{33, true}));
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(Head("/pkg", server.Port(), "Range: bytes=3333333-\r\nIf-Range: \"v1\"\r\n"), requests[0]);
}

TEST_F(FaultDownload, TransientFaultsForGoodKeepThePartialFile) {
    const std::string partial = package.substr(0, 4000000);
    // The person is told whose fault it was: the server's error, or the network's drops.
    struct Case { const char* name; std::string options; std::string body; InstallFailure cause; } cases[] = {
        {"500 for good", "status=500", "busy", FAILURE_SERVER},
        {"dropped for good", "etag=v1&drop_after=100", package, FAILURE_NETWORK},
    };
    for (const Case& c : cases) {
        server.Reset();
        WriteFileBytes(scratch.Dl(L"v1.partial"), partial);
        server.Script("/pkg", c.options, c.body);
        EXPECT_FALSE(Download()) << c.name;
        EXPECT_EQ(c.cause, failure.cause) << c.name;
        EXPECT_TRUE(ReadFileBytes(scratch.Dl(L"v1.partial")).compare(0, partial.size(), partial) == 0) << c.name;
        EXPECT_EQ(std::vector<std::wstring>{L"v1.partial"}, ListFolder(scratch.Dl())) << c.name;
        EXPECT_EQ(1u + DOWNLOAD_RETRIES, server.Requests().size()) << c.name;
    }
}

TEST_F(FaultDownload, UnsafeETagsDownloadStraightToThePackagePath) {
    const std::string etags[] = {"../x", "..\\x", "a\\b", "a/b", "CON", "nul", "x.", "C:x", std::string(128, 'e')};
    for (const std::string& etag : etags) {
        server.Reset();
        server.Script("/pkg", "etag=" + CFaultServer::Enc(etag), package);
        EXPECT_TRUE(Download()) << etag;
        EXPECT_TRUE(Package() == package) << etag;
        EXPECT_EQ(std::vector<std::wstring>{L"dl"}, ListFolder(scratch.Root())) << etag;
        EXPECT_EQ(std::vector<std::wstring>{L"velmora.exe"}, ListFolder(scratch.Dl())) << etag;
        EXPECT_EQ(1u, server.Requests().size()) << etag;
    }
}

struct StopRun {
    const wchar_t* url;
    const wchar_t* path;
    const CRunSignals& signals;
    int* percent;
    BOOL result;
};

DWORD WINAPI StopRunThread(LPVOID p) {
    StopRun* run = static_cast<StopRun*>(p);
    run->result = DownloadAndLetGo(run->url, run->path, run->signals, run->percent);
    return 0;
}

TEST_F(FaultDownload, StopSignalEndsTheDownloadKeepingThePartialFile) {
    // About three seconds of package at this pace; the stop comes after the first percent.
    server.Script("/pkg", "etag=v1&throttle=32768,0.01", package);
    const std::wstring url = server.Url("/pkg"), path = scratch.Dl(L"velmora.exe");
    StopRun run = {url.c_str(), path.c_str(), sink.Signals(), &percent, TRUE};
    HANDLE thread = CreateThread(nullptr, 0, StopRunThread, &run, 0, nullptr);
    ASSERT_NE(nullptr, thread);
    bool stopped = false;
    for (const DWORD start = GetTickCount(); WaitForSingleObject(thread, 10) == WAIT_TIMEOUT && GetTickCount() - start < 60000;) {
        if (!stopped && !sink.TakeProgress().empty()) {
            sink.Signals().RequestStop();
            stopped = true;
        }
    }
    CloseHandle(thread);
    sink.Signals().ClearStop();
    ASSERT_TRUE(stopped);
    EXPECT_FALSE(run.result);
    const std::string partial = ReadFileBytes(scratch.Dl(L"v1.partial"));
    EXPECT_GT(partial.size(), 0u);
    EXPECT_LT(partial.size(), package.size());
    EXPECT_TRUE(partial == package.substr(0, partial.size()));
    EXPECT_FALSE(FileExists(path));
}

}  // namespace
