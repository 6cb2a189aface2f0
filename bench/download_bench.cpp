// Download throughput under Wine: DownloadPackage (the installer's own
// download) against a bare WinInet loop that throws the bytes away, on the
// same URL in the same run. The loop asks as the installer does (straight
// from the server, no copy in the Internet cache) and reads as much per
// call (256 KiB), so that the difference is the installer's own work.
//
//   download_bench URL PATH [RUNS]
//
// Prints one line per run and the medians, in MB/s (10^6 bytes per second),
// and the median of the runs' ratios DownloadFile / bare loop.
#include <windows.h>
#include <wininet.h>
#include <algorithm>
#include <cstdio>
#include <vector>
#include "install/Download.h"
#include "install/HttpRequest.h"

namespace {

double Now() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) / static_cast<double>(f.QuadPart);
}

// Bytes read by a plain GET of url, or -1; also the size of the raw header block.
long long BareLoop(const wchar_t* url, DWORD* headerBytes) {
    static CUrlParts parts;
    if (!SplitUrl(url, &parts)) return -1;
    HINTERNET hInternet = InternetOpenW(L"JQV", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET hConnect =
        InternetConnectW(hInternet, parts.szHost, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    HINTERNET hRequest =
        HttpOpenRequestW(hConnect, L"GET", parts.szObject, L"HTTP/1.1", nullptr, nullptr,
                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | (parts.bSecure ? INTERNET_FLAG_SECURE : 0),
                         0);
    long long total = -1;
    if (hRequest && HttpSendRequestW(hRequest, nullptr, 0, nullptr, 0)) {
        char raw[4096];
        *headerBytes = sizeof(raw);
        if (!HttpQueryInfoA(hRequest, HTTP_QUERY_RAW_HEADERS_CRLF, raw, headerBytes, nullptr)) *headerBytes = 0;
        static BYTE chunk[256 * 1024];
        DWORD read = 0;
        total = 0;
        while (InternetReadFile(hRequest, chunk, sizeof(chunk), &read) && read) total += read;
    }
    if (hRequest) InternetCloseHandle(hRequest);
    if (hConnect) InternetCloseHandle(hConnect);
    if (hInternet) InternetCloseHandle(hInternet);
    return total;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Counts the reports, as the dialog would receive them.
class CCountingSink : public IInstallSink {
public:
    void OnInstallReport(WPARAM, LPARAM) override { ++m_nReports; }
    int m_nReports = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: download_bench URL PATH [RUNS]\n");
        return 2;
    }
    const wchar_t* url = argv[1];
    const wchar_t* path = argv[2];
    const int runs = argc > 3 ? _wtoi(argv[3]) : 3;
    CCountingSink sink;
    CRunSignals signals;
    signals.SetSink(&sink);

    std::vector<double> download, bare, ratio;
    for (int i = 0; i < runs; ++i) {
        DeleteFileW(path);
        int percent = 0;
        double t0 = Now();
        CDownloadedFile downloaded;
        sink.m_nReports = 0;
        const BOOL ok = DownloadPackage(url, path, signals, &percent, &downloaded);
        downloaded.file.Close();
        const double seconds = Now() - t0;
        WIN32_FILE_ATTRIBUTE_DATA fa = {};
        GetFileAttributesExW(path, GetFileExInfoStandard, &fa);
        const double bytes = static_cast<double>((static_cast<ULONGLONG>(fa.nFileSizeHigh) << 32) | fa.nFileSizeLow);
        const int posts = sink.m_nReports;
        if (!ok) {
            fprintf(stderr, "DownloadFile failed\n");
            return 1;
        }
        download.push_back(bytes / seconds / 1e6);
        printf("run %d  DownloadFile      %8.1f MB/s  (%.0f bytes in %.3f s, %d progress posts)\n", i + 1,
               download.back(), bytes, seconds, posts);

        DWORD headerBytes = 0;
        t0 = Now();
        const long long read = BareLoop(url, &headerBytes);
        const double bareSeconds = Now() - t0;
        if (read <= 0) {
            fprintf(stderr, "bare WinInet loop failed\n");
            return 1;
        }
        bare.push_back(static_cast<double>(read) / bareSeconds / 1e6);
        ratio.push_back(download.back() / bare.back());
        printf("run %d  bare WinInet loop %8.1f MB/s  (%lld bytes in %.3f s; reply header block %lu bytes)\n", i + 1,
               bare.back(), read, bareSeconds, headerBytes);
    }
    DeleteFileW(path);
    printf("median DownloadFile %.1f MB/s\n", Median(download));
    printf("median bare loop %.1f MB/s\n", Median(bare));
    printf("median ratio of the runs %.2f\n", Median(ratio));
    fflush(stdout);
    return 0;
}
