// The resumable download of the setup package.
#pragma once
#include <windows.h>
#include "install/InstallReport.h"
#include "install/PackageFile.h"
#include "install/RunSignals.h"

// Downloads url for path, retrying transient faults (no connection, a drop,
// a time-out, a stall, a busy server) up to DOWNLOAD_RETRIES times.
//
// A reply with a strong entity tag and no Content-Encoding goes to the
// partial file named after the tag beside path; a later attempt or run
// continues it with Range and If-Range. Any other reply goes straight to
// path, afresh on every attempt. The file is opened once for the whole
// download and never closed in between, so that nobody else may change it
// between two attempts; complete, it is renamed to path through its handle
// and handed over in *pResult, still open (the caller holds it from there).
// Each new whole percent is stored in *pnPercent and then reported through
// signals as INSTALL_NOTIFY_PROGRESS; INSTALL_NOTIFY_RETRYING is reported
// before a wait for another attempt and INSTALL_NOTIFY_DOWNLOADING when
// bytes flow again. Ends early, keeping what came, once the stop of signals
// is set. TRUE when the whole package is in *pResult.
//
// extras (all optional): counters the download keeps current for the
// dialog's speed and time left; the manifest's size and installed size
// and the installation folder, so that the disks are checked for room
// before a byte is downloaded (with the size from the first reply when the
// manifest names none); and where to say why it failed.
//
// With the package's SHA-256 (and its size) the partial file is named by
// the hash instead of a server's tag: any server's bytes of that package
// continue it (Range without If-Range; a 206's total and a 200's length
// must be the size), as the hash decides in the end. bStartOver: an
// earlier partial file is not continued but deleted (another server of a
// package without a hash). A budget (dwBudgetMs from dwBudgetStartTick; 0:
// none) stops further attempts and waits once spent; an attempt under way
// goes on while bytes flow.
//
// A reply that is a web page (text/html), or whose first bytes are not a
// Windows program's ("MZ") where the body starts at byte 0, is given up at
// once without keeping its bytes: FAILURE_PORTAL for a web page, otherwise
// FAILURE_SERVER.
struct CDownloadCounters {
    volatile LONG nReceivedKiB = 0;  // of the package, partial file included
    volatile LONG nTotalKiB = 0;     // 0 until a reply named the length
};
struct CDownloadExtras {
    CDownloadCounters* pCounters = nullptr;
    ULONGLONG nExpectedSize = 0;
    ULONGLONG nInstalledSize = 0;
    const wchar_t* pszInstallFolder = nullptr;
    CInstallFailure* pFailure = nullptr;
    const BYTE* pSha256 = nullptr;  // SHA256_BYTES; only with nExpectedSize
    BOOL bStartOver = FALSE;
    DWORD dwBudgetStartTick = 0;
    DWORD dwBudgetMs = 0;
};
BOOL DownloadPackage(const wchar_t* url, const wchar_t* path, const CRunSignals& signals, int* pnPercent,
                     CDownloadedFile* pResult, const CDownloadExtras& extras = CDownloadExtras());

// What is left of the extras' budget, in milliseconds; MAXDWORD without one.
DWORD DownloadBudgetLeftMs(const CDownloadExtras& extras);
