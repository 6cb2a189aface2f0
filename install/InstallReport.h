// What an install run reports while it works and why it failed: data only,
// shared by the steps, the run and whoever shows the run.
#pragma once
#include <windows.h>

// A report's code; for INSTALL_NOTIFY_FAILED its high word is the
// InstallFailure. The lParam beside it is the new percentage for
// INSTALL_NOTIFY_PROGRESS, the failure's detail for INSTALL_NOTIFY_FAILED
// (the figures of a FAILURE_DISK, too wide for it, stay in the run's
// failure, written before the report), 0 otherwise.
enum {
    INSTALL_NOTIFY_PROGRESS = 1,       // the download's new whole percent
    INSTALL_NOTIFY_SETUP_STARTED = 2,  // the setup package is about to run
    INSTALL_NOTIFY_COMPLETE = 3,       // setup finished; options follow
    INSTALL_NOTIFY_FAILED = 4,         // the manifest, download or setup failed
    INSTALL_NOTIFY_RETRYING = 5,       // the download waits to try again
    INSTALL_NOTIFY_DOWNLOADING = 6,    // bytes flow again after a retry
};

// Why an install run failed, as the person is told.
enum InstallFailure : WORD {
    FAILURE_OTHER = 0,
    FAILURE_NETWORK = 1,  // no connection, time-outs, retries used up
    FAILURE_SERVER = 2,   // an error status, a bad or refused manifest
    FAILURE_VERIFY = 3,   // the package's size or hash, or the manifest's signature, is wrong
    FAILURE_DISK = 4,     // too little space, or a write failed: the bytes needed and free
    FAILURE_UAC = 5,      // the elevation prompt was refused
    FAILURE_SETUP = 6,    // the setup ended with a failure; detail: its exit code
    FAILURE_TLS = 7,      // no safe connection: a certificate not trusted, or HTTPS redirected to HTTP
    FAILURE_PROXY = 8,    // the proxy wants a login: the prompt was cancelled, or refused three times
    FAILURE_PORTAL = 9,   // the network answers with a web page of its own (a login page), not the data
};

struct CInstallFailure {
    InstallFailure cause = FAILURE_OTHER;
    DWORD detail = 0;
    ULONGLONG nNeededBytes = 0;  // FAILURE_DISK: what the volume short of room needs
    ULONGLONG nFreeBytes = 0;    // and what it has
};

// A step's failure, kept in *pFailure when the caller asked for it.
inline void SetInstallFailure(CInstallFailure* pFailure, InstallFailure cause, DWORD detail = 0) {
    if (pFailure) *pFailure = {cause, detail, 0, 0};
}

inline void SetDiskFailure(CInstallFailure* pFailure, ULONGLONG nNeededBytes, ULONGLONG nFreeBytes) {
    if (pFailure) *pFailure = {FAILURE_DISK, 0, nNeededBytes, nFreeBytes};
}
