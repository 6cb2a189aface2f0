// The download against nginx as a real static server, with its own ETag and
// Range handling (run by tests/servers/run_unit.py, which sets
// VELMORA_NGINX_SERVER, VELMORA_NGINX_PACKAGE, VELMORA_NGINX_ETAG and
// VELMORA_NGINX_LOG, nginx's access log of "$status $bytes_sent "$request""
// lines). The package is served at /velmora.exe and, without an ETag, at
// /noetag/velmora.exe.
#include <gtest/gtest.h>
#include "install/Download.h"
#include "test_support.h"
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

struct CLogLine {
    int status;
    unsigned long long sent;  // $bytes_sent: header and body as nginx handed them to the socket
    std::string request;
};

std::vector<CLogLine> ReadAccessLog(const std::wstring& path) {
    std::vector<CLogLine> lines;
    std::istringstream in(ReadFileBytes(path));
    for (std::string line; std::getline(in, line);) {
        CLogLine entry = {};
        char request[512] = {};
        if (sscanf(line.c_str(), "%d %llu \"%511[^\"]\"", &entry.status, &entry.sent, request) == 3) {
            entry.request = request;
            lines.push_back(entry);
        }
    }
    return lines;
}

// Files over minBytes anywhere under folder, reparse points not followed.
void FindLargeFiles(const std::wstring& folder, ULONGLONG minBytes, std::vector<std::wstring>* found) {
    WIN32_FIND_DATAW fd;
    const HANDLE h = ::FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            FindLargeFiles(path, minBytes, found);
        } else if (((static_cast<ULONGLONG>(fd.nFileSizeHigh) << 32) | fd.nFileSizeLow) > minBytes) {
            found->push_back(path);
        }
    } while (::FindNextFileW(h, &fd));
    ::FindClose(h);
}

std::string Narrow(const std::wstring& w) {
    std::string s;
    for (wchar_t c : w) s += c < 0x80 ? static_cast<char>(c) : '?';
    return s;
}

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

class NginxTraffic : public NginxDownload {
protected:
    void SetUp() override {
        NginxDownload::SetUp();
        log = Wide(EnvVar("VELMORA_NGINX_LOG"));
        ASSERT_FALSE(log.empty()) << "no access log (VELMORA_NGINX_LOG): run by tests/servers/run_unit.py";
    }

    // The log lines of the requests a download made: those after the first
    // skip, once nginx has logged a request for object (it logs a request
    // when it has handed over the last byte, which may be a moment after
    // the client has it).
    std::vector<CLogLine> LoggedSince(size_t skip, const std::string& object) {
        std::vector<CLogLine> lines;
        for (int waited = 0; waited <= 5000; waited += 50) {
            lines = ReadAccessLog(log);
            for (size_t i = skip; i < lines.size(); ++i)
                if (lines[i].request == "GET " + object + " HTTP/1.1")
                    return std::vector<CLogLine>(lines.begin() + static_cast<std::ptrdiff_t>(skip), lines.end());
            ::Sleep(50);
        }
        return {};
    }

    std::wstring log;
};

// What crosses the wire: the package once, or only the part a partial file
// lacks; at most 64 KiB more for the reply headers of the requests. A
// request whose body is thrown away, or a resume that starts again from 0,
// goes over.
TEST_F(NginxTraffic, BytesSentPerDownloadStayWithinWhatIsMissing) {
    const unsigned long long kSlack = 64 * 1024;
    const size_t kHalf = package.size() / 2;
    struct Case {
        const char* name;
        const char* object;
        size_t partial;
    } cases[] = {
        {"first download, resumable", "/velmora.exe", 0},
        {"first download without an ETag", "/noetag/velmora.exe", 0},
        {"resume from 50 %", "/velmora.exe", kHalf},
    };
    for (const Case& c : cases) {
        CScratch scratch;
        CNotifySink sink;
        int percent = 0;
        if (c.partial) WriteFileBytes(scratch.Dl(etag + L".partial"), package.substr(0, c.partial));
        const size_t before = ReadAccessLog(log).size();

        const std::wstring url = L"http://" + Wide(server) + Wide(c.object);
        ASSERT_TRUE(DownloadAndLetGo(url.c_str(), scratch.Dl(L"velmora.exe").c_str(), sink.Signals(), &percent))
            << c.name;
        EXPECT_TRUE(ReadFileBytes(scratch.Dl(L"velmora.exe")) == package) << c.name;

        const std::vector<CLogLine> lines = LoggedSince(before, c.object);
        ASSERT_FALSE(lines.empty()) << c.name << ": nginx logged no request for " << c.object;
        unsigned long long sent = 0;
        std::string listing;
        for (const CLogLine& line : lines) {
            sent += line.sent;
            listing += "\n  " + std::to_string(line.status) + " " + std::to_string(line.sent) + " " + line.request;
        }
        EXPECT_LE(sent, package.size() - c.partial + kSlack) << c.name << ":" << listing;
    }
}

// WinInet keeps what it receives in the user's Internet cache unless told
// not to: a second, hidden copy of the whole package in the profile. After
// downloads of both shapes no file over 1 MB is in the profile but the
// package in the scratch download folder.
TEST_F(NginxDownload, NoCopyInTheInternetCache) {
    CScratch scratch;
    CNotifySink sink;
    for (const char* object : {"/velmora.exe", "/noetag/velmora.exe"}) {
        int percent = 0;
        const std::wstring url = L"http://" + Wide(server) + Wide(object);
        ASSERT_TRUE(DownloadAndLetGo(url.c_str(), scratch.Dl(L"velmora.exe").c_str(), sink.Signals(), &percent))
            << object;
    }
    wchar_t profile[MAX_PATH] = {};
    const DWORD cch = ::GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    ASSERT_TRUE(cch > 0 && cch < MAX_PATH);
    std::vector<std::wstring> large;
    FindLargeFiles(profile, 1000000, &large);
    const std::wstring dl = scratch.Dl();
    std::string elsewhere;
    for (const std::wstring& path : large)  // the support log, a text of our own, may be large too
        if (_wcsnicmp(path.c_str(), dl.c_str(), dl.size()) != 0 && path.find(L"VelmoraInstaller") == std::wstring::npos)
            elsewhere += "\n  " + Narrow(path);
    EXPECT_TRUE(elsewhere.empty()) << "large files in the profile " << Narrow(profile) << ":" << elsewhere;
    EXPECT_EQ(std::vector<std::wstring>{L"velmora.exe"}, ListFolder(dl));
}

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
        ASSERT_TRUE(DownloadAndLetGo(url.c_str(), scratch.Dl(L"velmora.exe").c_str(), sink.Signals(), &percent))
            << c.name;
        EXPECT_TRUE(ReadFileBytes(scratch.Dl(L"velmora.exe")) == package) << c.name;
        EXPECT_EQ(std::vector<std::wstring>{L"velmora.exe"}, ListFolder(scratch.Dl())) << c.name;
        EXPECT_TRUE(IsProgress(sink.TakeProgress(), c.progress)) << c.name;
    }
}

}  // namespace
