#include "install/Download.h"
#include "framework/afxcrypt.h"
#include "framework/afxfile.h"
#include "install/DiskSpace.h"
#include "install/FileNames.h"
#include "install/HttpRequest.h"
#include "install/NetPolicy.h"
#include "install/PackageFile.h"
#include "install/SupportLog.h"
#include <cwchar>

namespace {

// A read returns only once its buffer (PACKAGE_CHUNK_BYTES) is full, so on
// a slow link the reads take what has arrived instead: then a trickle cannot
// hold one read for minutes and the stall check between reads sees it.
const DWORD kFastBytesPerSecond = 4 * 1024 * 1024;
const DWORD kSpeedWindowMs = 10;
const DWORD kSlowReadMs = 250;

// Looking at the stop signal is a round trip to the Wine server, dearer than
// a fast read; once in this many milliseconds keeps the stop prompt.
const DWORD kStopCheckMs = 15;

// One package download over its attempts.
struct CDownload {
    const wchar_t* url;
    const wchar_t* path;
    const CRunSignals* signals;
    int* pnPercent;
    const CDownloadExtras* extras;
    wchar_t szHashTag[kETagChars];   // the package's hash naming the partial file ("": a server's tag names it)
    wchar_t szETag[kETagChars];      // tag of the partial file ("": the download goes straight to path)
    wchar_t szPartial[PATH_CHARS];   // that file
    DWORD dwLength;                  // the package's length, once a reply named it
    DWORD dwRetryAfter;              // what the last reply asked for, in seconds
    BOOL bRetrying;                  // a retry was announced and no byte has come since
    BOOL bRoomChecked;               // the disks were found to have room
    // The last attempt, for the support log, and why it failed.
    BOOL bAsked;                     // a request went out
    int status;
    LONGLONG offset, received;
    CInstallFailure failure;
    CPackageFile file;               // open from the first byte on, over every attempt
};

NetOutcome Failed(CDownload& d, NetOutcome outcome, InstallFailure cause, DWORD detail = 0) {
    SetInstallFailure(&d.failure, cause, detail);
    return outcome;
}

// A request that brought no reply: only the network's faults may go by
// themselves; no safe connection, a proxy that wants a password or
// redirects not followed would meet the next attempt too.
NetOutcome SendFailed(CDownload& d, const CHttpRequest& request) {
    switch (request.Fault()) {
    case HTTP_FAULT_TLS:
        return Failed(d, NET_PERMANENT, FAILURE_TLS);
    case HTTP_FAULT_SERVER:
        return Failed(d, NET_PERMANENT, FAILURE_SERVER);
    case HTTP_FAULT_PROXY_AUTH:
        return Failed(d, NET_PERMANENT, FAILURE_PROXY);
    default:
        return Failed(d, NET_TRANSIENT, FAILURE_NETWORK);
    }
}

// The disks must have room for the rest of the package and the
// installation before a byte of it is downloaded.
BOOL HasRoom(CDownload& d, ULONGLONG length, LONGLONG offset) {
    if (d.bRoomChecked || !length) return TRUE;
    const size_t folder = wcsrchr(d.path, L'\\') ? static_cast<size_t>(wcsrchr(d.path, L'\\') - d.path) + 1 : 0;
    wchar_t staging[PATH_CHARS];
    if (!folder || !CopyWhole(staging, d.path, folder)) return TRUE;
    const ULONGLONG rest = length > static_cast<ULONGLONG>(offset) ? length - offset : 0;
    const ULONGLONG installBytes = d.extras->nInstalledSize ? d.extras->nInstalledSize : length;
    d.bRoomChecked = CheckDiskSpace(staging, rest, d.extras->pszInstallFolder, installBytes, &d.failure);
    return d.bRoomChecked;
}

void Count(const CDownload& d, LONGLONG total) {
    if (!d.extras->pCounters) return;
    ::InterlockedExchange(&d.extras->pCounters->nTotalKiB, static_cast<LONG>(d.dwLength / 1024));
    ::InterlockedExchange(&d.extras->pCounters->nReceivedKiB, static_cast<LONG>(total / 1024));
}

// The package's SHA-256 as the name of its partial file: 64 hex digits.
void MakeHashTag(const BYTE* sha256, wchar_t (&tag)[kETagChars]) {
    static const wchar_t kHex[] = L"0123456789abcdef";
    for (DWORD i = 0; i < SHA256_BYTES; ++i) {
        tag[2 * i] = kHex[sha256[i] >> 4];
        tag[2 * i + 1] = kHex[sha256[i] & 15];
    }
    tag[2 * SHA256_BYTES] = L'\0';
}

// The partial file an earlier run (or attempt at another server) left
// beside the package: the one named by the package's hash when the
// download has one; otherwise the newest "*.partial" that is not empty,
// whose name gives the tag it belongs to. On a start-over each is deleted.
void FindPartialFile(CDownload& d) {
    wchar_t pattern[PATH_CHARS];
    const size_t folder = FolderLength(d.path);
    if (d.szHashTag[0] && !d.extras->bStartOver) {
        wchar_t partial[PATH_CHARS];
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (MakePartialPath(d.path, d.szHashTag, partial) &&
            ::GetFileAttributesExW(partial, GetFileExInfoStandard, &data) &&
            !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && (data.nFileSizeHigh || data.nFileSizeLow)) {
            CopyWhole(d.szETag, d.szHashTag);
            CopyWhole(d.szPartial, partial);
        }
        return;
    }
    if (!folder || !FormatWhole(pattern, L"%.*ls\\*.partial", static_cast<int>(folder), d.path)) return;
    WIN32_FIND_DATAW fd;
    const HANDLE hFind = ::FindFirstFileW(pattern, &fd);
    if (hFind == INVALID_HANDLE_VALUE) return;
    FILETIME newest = {};
    do {
        wchar_t etag[kETagChars], partial[PATH_CHARS];
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !PartialFileTag(fd.cFileName, etag, kETagChars) ||
            !MakePartialPath(d.path, etag, partial))
            continue;
        if (d.extras->bStartOver) {
            ::DeleteFileW(partial);
            continue;
        }
        if ((fd.nFileSizeHigh || fd.nFileSizeLow) && ::CompareFileTime(&fd.ftLastWriteTime, &newest) > 0) {
            CopyWhole(d.szETag, etag);
            CopyWhole(d.szPartial, partial);
            newest = fd.ftLastWriteTime;
        }
    } while (::FindNextFileW(hFind, &fd));
    ::FindClose(hFind);
}

void PostProgress(CDownload& d, LONGLONG total) {
    const int percent = static_cast<int>(total * 100 / static_cast<LONGLONG>(d.dwLength));
    if (percent == *d.pnPercent) return;
    *d.pnPercent = percent;
    d.signals->Report(INSTALL_NOTIFY_PROGRESS, percent);
}

// A 206 continues the partial file only when it is the rest of the same
// package from the file's size: the range starts there, the tag is the
// file's (or, named by the hash, the length is the manifest's) and the
// length is the package's. Anything else would put foreign bytes into it.
BOOL IsRestOfPartial(CHttpRequest& request, CDownload& d, LONGLONG offset) {
    ULONGLONG first = 0, total = 0;
    wchar_t etag[kETagChars];
    if (!request.QueryContentRange(&first, &total) || first != static_cast<ULONGLONG>(offset) ||
        total > MAXDWORD || (d.dwLength && total != d.dwLength))
        return FALSE;
    if (d.szHashTag[0] ? total != d.extras->nExpectedSize : !request.QueryStrongETag(etag) || wcscmp(etag, d.szETag) != 0)
        return FALSE;
    d.dwLength = static_cast<DWORD>(total);
    return TRUE;
}

// A 416 that names the partial file's size as the whole length: the file is
// the complete package already.
BOOL IsPartialComplete(CHttpRequest& request, LONGLONG offset) {
    ULONGLONG first = 0, total = 0;
    return request.QueryContentRange(&first, &total) && total == static_cast<ULONGLONG>(offset);
}

// Opens where a whole package from a 200 reply goes: the partial file of
// its strong tag, or the package path itself; the file already open there
// is emptied. A partial file of another tag is of no use any more and goes.
BOOL OpenFreshTarget(CHttpRequest& request, CDownload& d) {
    wchar_t etag[kETagChars];
    wchar_t partial[PATH_CHARS] = {};
    if (d.szHashTag[0])
        CopyWhole(etag, d.szHashTag);
    else if (!request.QueryStrongETag(etag))
        etag[0] = L'\0';
    if (!etag[0] || !MakePartialPath(d.path, etag, partial)) etag[0] = partial[0] = L'\0';
    const wchar_t* target = partial[0] ? partial : d.path;
    if (d.file.IsOpenOn(target)) return d.file.Empty();
    d.file.Close();
    if (d.szPartial[0] && wcscmp(partial, d.szPartial) != 0) ::DeleteFileW(d.szPartial);
    CopyWhole(d.szETag, etag);
    CopyWhole(d.szPartial, partial);
    return d.file.Create(target);
}

// A write failed: the disk is full (or gone). The person is told how much
// is still needed and how much is free.
NetOutcome WriteFailed(CDownload& d, LONGLONG total) {
    ULONGLONG free = 0;
    const ULONGLONG rest = d.dwLength > total ? d.dwLength - total : 0;
    if (!GetFreeBytes(d.path, &free)) free = 0;
    SetDiskFailure(&d.failure, rest + kStagingReserveBytes, free);
    return NET_PERMANENT;
}

// A body that is no package (a network's login page, a server's error page
// sent as a success): none of its bytes are kept, and this server has
// failed; bPage tells a web page.
NetOutcome NotThePackage(CDownload& d, BOOL bPage) {
    d.file.Empty();
    d.file.Close();
    ::DeleteFileW(d.szPartial[0] ? d.szPartial : d.path);
    d.szETag[0] = d.szPartial[0] = L'\0';
    SupportLog(L"download: %ls is not the package (%ls)", d.url, bPage ? L"a web page" : L"no Windows program");
    return Failed(d, NET_PERMANENT, bPage ? FAILURE_PORTAL : FAILURE_SERVER);
}

// Copies the reply's body into file from offset, posting each new whole
// percent. A body from byte 0 must start as a Windows program does ("MZ"):
// it is looked at before more than its first read is written.
// NET_DONE when the whole package arrived; NET_TRANSIENT when the
// connection dropped, timed out or stalled (the bytes stay for another
// attempt); NET_PERMANENT when a write failed, the body is not the package
// or the stop signal came.
NetOutcome CopyBody(CHttpRequest& request, CDownload& d, LONGLONG offset) {
    CPackageWriter writer(d.file);
    if (!writer.Start()) return Failed(d, NET_PERMANENT, FAILURE_OTHER);
    const CNetTimings timings = GetNetTimings();
    LONGLONG total = offset;
    BOOL bWhatHasArrived = TRUE;  // until the link shows it is fast
    DWORD now = ::GetTickCount();
    DWORD lastStopCheck = now - kStopCheckMs, stallSince = now, windowSince = now;
    LONGLONG stallMark = total, windowMark = total;
    char head[2];
    DWORD nHead = offset > 0 ? 2 : 0;  // a continued body's start was looked at by its first reply
    for (;;) {
        DWORD read = 0;
        const DWORD before = ::GetTickCount();
        const BOOL ok = request.Read(writer.Buffer(), PACKAGE_CHUNK_BYTES, &read, bWhatHasArrived);
        if (nHead < 2 && read) {
            const BYTE* bytes = writer.Buffer();
            for (DWORD i = 0; nHead < 2 && i < read; ++i) head[nHead++] = static_cast<char>(bytes[i]);
            if (head[0] != 'M' || (nHead == 2 && head[1] != 'Z')) {
                writer.Finish();
                return NotThePackage(d, IsHtmlBody(bytes, read));
            }
        }
        if (read && !writer.Submit(read, !bWhatHasArrived)) return WriteFailed(d, total);  // a full disk stays full
        total += read;
        d.received = total - d.offset;
        Count(d, total);
        now = ::GetTickCount();
        if (read && d.bRetrying) {
            d.bRetrying = FALSE;
            d.signals->Report(INSTALL_NOTIFY_DOWNLOADING);
        }
        PostProgress(d, total);
        if (!ok || read == 0) break;
        if (now - lastStopCheck >= kStopCheckMs) {
            lastStopCheck = now;
            if (d.signals->IsStopping()) return Failed(d, NET_PERMANENT, FAILURE_OTHER);  // the dialog is closing: keep what came
        }
        if (total - stallMark >= STALL_BYTES) {
            stallMark = total;
            stallSince = now;
        } else if (now - stallSince >= timings.dwStallMs) {
            return Failed(d, NET_TRANSIENT, FAILURE_NETWORK);  // silent or trickling
        }
        if (bWhatHasArrived && now - windowSince >= kSpeedWindowMs) {
            bWhatHasArrived = (total - windowMark) * 1000 / (now - windowSince) < kFastBytesPerSecond;
            windowSince = now;
            windowMark = total;
        } else if (!bWhatHasArrived && now - before >= kSlowReadMs) {
            bWhatHasArrived = TRUE;
            windowSince = now;
            windowMark = total;
        }
    }
    if (!writer.Finish()) return WriteFailed(d, total);
    if (total >= static_cast<LONGLONG>(d.dwLength)) return NET_DONE;
    return Failed(d, NET_TRANSIENT, FAILURE_NETWORK);  // dropped or timed out
}

// One request and its body. With a partial file the request asks for the
// rest of it, on the condition that the package is still the one of its
// tag (If-Range); a server whose package changed sends the whole new one.
// A partial file named by the hash is asked for without the condition: the
// hash decides at the end.
NetOutcome Attempt(CDownload& d) {
    d.bAsked = FALSE;
    d.status = 0;
    d.received = 0;
    CHttpRequest request;
    if (!request.Open(d.url, d.signals))  // the manifest named no usable URL, or WinInet cannot start
        return Failed(d, NET_PERMANENT, request.Fault() == HTTP_FAULT_SERVER ? FAILURE_SERVER : FAILURE_NETWORK);
    LONGLONG offset = d.szPartial[0] && d.file.IsOpenOn(d.szPartial) ? d.file.Size() : 0;
    if (offset < 0) offset = 0;
    d.offset = offset;
    if (!HasRoom(d, d.dwLength ? d.dwLength : d.extras->nExpectedSize, offset)) return NET_PERMANENT;
    wchar_t range[COMMAND_CHARS];
    if (offset > 0 && !(d.szHashTag[0] ? FormatWhole(range, L"Range: bytes=%lld-\r\n", offset)
                                  : FormatWhole(range, L"Range: bytes=%lld-\r\nIf-Range: \"%ls\"\r\n", offset,
                                                d.szETag)))
        return Failed(d, NET_PERMANENT, FAILURE_OTHER);
    d.bAsked = TRUE;
    if (!request.Send(offset > 0 ? range : nullptr)) return SendFailed(d, request);
    int status = request.QueryStatus();
    if (offset > 0 && (status == 416 || (status == 206 && !IsRestOfPartial(request, d, offset)))) {
        d.status = status;
        if (status == 416 && IsPartialComplete(request, offset)) return NET_DONE;  // from an earlier run, whole
        // The partial file cannot be continued: the whole package, on the same connection.
        if (!d.file.Empty()) return Failed(d, NET_PERMANENT, FAILURE_OTHER);
        offset = d.offset = 0;
        if (!request.Send()) return SendFailed(d, request);
        status = request.QueryStatus();
    }
    d.status = status;
    d.dwRetryAfter = request.QueryRetryAfter();
    if (status == 0) return Failed(d, NET_TRANSIENT, FAILURE_NETWORK);  // closed without a reply
    if (IsTransientStatus(status)) return Failed(d, NET_TRANSIENT, FAILURE_SERVER);
    if ((status == 200 || status == 206) && request.IsHtmlReply()) {
        // A network's login page in the package's place: not a byte of it is written.
        SupportLog(L"download: %ls answers with a web page", d.url);
        return Failed(d, NET_PERMANENT, FAILURE_PORTAL);
    }

    if (status == 206 && offset > 0) {
        if (!HasRoom(d, d.dwLength, offset)) return NET_PERMANENT;
        if (!d.file.SeekEnd(offset)) return Failed(d, NET_PERMANENT, FAILURE_OTHER);
    } else if (status == 200) {
        DWORD length = 0;
        if (!request.QueryContentLength(&length) || length == 0)  // no package
            return Failed(d, NET_PERMANENT, FAILURE_SERVER);
        if (d.szHashTag[0] && length != d.extras->nExpectedSize) {
            SupportLog(L"download: %ls has %lu bytes, the package %llu", d.url, length, d.extras->nExpectedSize);
            return Failed(d, NET_PERMANENT, FAILURE_VERIFY);
        }
        d.dwLength = length;
        offset = d.offset = 0;
        if (!HasRoom(d, length, 0)) return NET_PERMANENT;
        if (!OpenFreshTarget(request, d)) return Failed(d, NET_PERMANENT, FAILURE_OTHER);
    } else {
        // 404 and the rest: not a package, and asking again changes nothing.
        return Failed(d, NET_PERMANENT, FAILURE_SERVER);
    }

    const NetOutcome copied = CopyBody(request, d, offset);
    if (copied == NET_DONE && d.szPartial[0]) d.signals->Report(INSTALL_NOTIFY_PROGRESS, *d.pnPercent);
    return copied;
}

const wchar_t* OutcomeText(NetOutcome outcome) {
    return outcome == NET_DONE ? L"done" : outcome == NET_TRANSIENT ? L"transient fault" : L"failed";
}

}  // namespace

DWORD DownloadBudgetLeftMs(const CDownloadExtras& extras) {
    if (!extras.dwBudgetMs) return MAXDWORD;
    const DWORD spent = ::GetTickCount() - extras.dwBudgetStartTick;
    return spent < extras.dwBudgetMs ? extras.dwBudgetMs - spent : 0;
}

BOOL DownloadPackage(const wchar_t* url, const wchar_t* path, const CRunSignals& signals, int* pnPercent,
                     CDownloadedFile* pResult, const CDownloadExtras& extras) {
    CDownload d = {url, path, &signals, pnPercent, &extras, {}, {}, {}, 0, 0, FALSE, FALSE, FALSE, 0, 0, 0, {}, {}};
    if (extras.pSha256 && extras.nExpectedSize) MakeHashTag(extras.pSha256, d.szHashTag);
    FindPartialFile(d);
    // An earlier run's bytes are held from here on, as new ones would be.
    if (d.szPartial[0] && !d.file.OpenExisting(d.szPartial)) d.szETag[0] = d.szPartial[0] = L'\0';
    const CNetTimings timings = GetNetTimings();
    for (int retry = 0;; ++retry) {
        const DWORD start = ::GetTickCount();
        const NetOutcome outcome = Attempt(d);
        const DWORD ms = ::GetTickCount() - start;
        if (d.bAsked)
            SupportLog(L"download attempt %d: status %d, from byte %lld, %lld bytes in %lu ms (%llu KB/s): %ls",
                       retry + 1, d.status, d.offset, d.received, ms,
                       ms ? static_cast<ULONGLONG>(d.received) * 1000 / ms / 1024 : 0, OutcomeText(outcome));
        else
            SupportLog(L"download: no request made");
        // The complete package takes the package's name.
        if (outcome == NET_DONE && (d.file.IsOpenOn(path) || d.file.MoveTo(path))) {
            d.file.HandOver(pResult);
            return TRUE;
        }
        if (outcome == NET_DONE) {
            SupportLog(L"download: the package cannot take its name");
            if (extras.pFailure) *extras.pFailure = {FAILURE_OTHER, 0};
            return FALSE;
        }
        const DWORD budgetLeft = DownloadBudgetLeftMs(extras);
        if (outcome == NET_PERMANENT || retry == DOWNLOAD_RETRIES || signals.IsStopping() || !budgetLeft) {
            if (extras.pFailure) *extras.pFailure = d.failure;
            return FALSE;
        }
        signals.Report(INSTALL_NOTIFY_RETRYING);
        d.bRetrying = TRUE;
        const DWORD delay = RetryDelayMs(timings, retry, d.dwRetryAfter, RetryJitter());
        if (!signals.Wait(delay < budgetLeft ? delay : budgetLeft)) {
            if (extras.pFailure) *extras.pFailure = {FAILURE_OTHER, 0};
            return FALSE;
        }
        if (!DownloadBudgetLeftMs(extras)) {  // spent while waiting
            if (extras.pFailure) *extras.pFailure = d.failure;
            return FALSE;
        }
    }
}
