// The install worker: download, silent setup and post-install options on
// one thread, reported to the dialog only by posted WM_INSTALL_NOTIFY
// messages; its lifetime and the stop signal.
//
// The dialog can end while the worker still runs; from then on the worker's
// steps stop waiting (a download ends as if the connection dropped, keeping
// its partial file; the wait for a running setup ends, leaving the setup
// running) and the worker posts nothing more. Only the part of the run that
// follows a successful setup (the options, the package delete) always
// completes: the user chose those options before closing.
//
// The run starts its worker with CWorkerThread::Start; the application ends
// it with CWorkerThread::End once the dialog has ended and before it
// destroys the run, which the worker reads.
#pragma once
#include <windows.h>
#include "framework/afxfile.h"

// Posted to the dialog window; the low word of wParam is one of the codes
// below. lParam is the new percentage for INSTALL_NOTIFY_PROGRESS; for
// INSTALL_NOTIFY_FAILED the high word of wParam is the InstallFailure and
// lParam its detail (the figures of a FAILURE_DISK, too wide for it, stay
// in the run's m_failure, written before the post); 0 otherwise.
#define WM_INSTALL_NOTIFY (WM_USER + 1)

enum {
    INSTALL_NOTIFY_PROGRESS = 1,       // m_nDownloadPercent holds the new value
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

// The stop signal: a manual-reset event, set by RequestInstallStop once the
// dialog has ended; waitable together with other handles. One per process,
// made on first use by whichever thread comes first (two threads may ask
// at once; both get the same event).
HANDLE GetInstallStopEvent();
void RequestInstallStop();
BOOL IsInstallStopping();

// Posts WM_INSTALL_NOTIFY with code to the dialog window unless a stop was
// requested: the window is gone by then and its handle may already name
// another window.
BOOL PostInstallNotify(HWND hWnd, WPARAM code, LPARAM lParam);

// The worker's thread and where it is, as far as ending it goes.
class CWorkerThread {
public:
    // Starts proc(param) on a new thread. One worker at a time: FALSE when
    // one was started and not ended yet, or the thread could not be created.
    BOOL Start(LPTHREAD_START_ROUTINE proc, void* param);
    // Called by the worker when its setup has succeeded: the rest of the run
    // must complete even after a stop. FALSE when the application has
    // already given up on the worker and is ending the process.
    BOOL EnterFinishing();
    // Requests the stop and waits for the worker. A worker in a stoppable
    // step gets dwGraceMs to end; one that has entered its finishing part is
    // waited for without limit. TRUE when no worker runs any more (the stop
    // is then cleared again); FALSE when the worker did not end in time, in
    // which case the caller must end the process at once, without destroying
    // what the worker still reads.
    BOOL End(DWORD dwGraceMs);

private:
    enum : LONG { STOPPABLE, FINISHING, ABANDONED };
    CHandle m_thread;
    volatile LONG m_nState = STOPPABLE;
};

// The grace the application gives a stopping worker (and the manifest
// query). A download notices the stop between two reads and a wait before a
// retry at once, so this only matters for one stuck in the network; the
// process then ends within about this time.
enum { INSTALL_STOP_GRACE_MS = 1500 };

// One install run over the steps of pRun: the run object (CInstallRun),
// whose members hand their fields to the steps, or in tests an object with
// scripted steps. The worker never touches a window object: it reads the
// run's frozen choices and posts to the window captured at the start.
// Exactly one of COMPLETE and FAILED is posted, as the last post, unless the
// dialog ended first (then nothing is posted); FAILED carries the cause a
// failing step left in pRun->m_failure. The package is deleted in every
// outcome (a setup left running after a stop holds its package open, and
// the delete then fails without harm).
template <class TRun>
DWORD RunInstallWorker(TRun* pRun) {
    const HWND hWnd = pRun->GetSafeHwnd();
    pRun->m_failure = CInstallFailure();
    // The manifest query started with the dialog may still run: the package
    // URL comes from it.
    if (!pRun->QueryUpgradeInfo(pRun->m_szDownloadUrl) ||
        !pRun->DownloadFile(pRun->m_szDownloadUrl, pRun->m_szDownloadFile) || IsInstallStopping() ||
        !pRun->RunSetup()) {
        PostInstallNotify(hWnd, MAKEWPARAM(INSTALL_NOTIFY_FAILED, pRun->m_failure.cause), pRun->m_failure.detail);
    } else if (pRun->EnterFinishing()) {
        PostInstallNotify(hWnd, INSTALL_NOTIFY_COMPLETE, 0);
        pRun->ApplyTaskbarOption();
        pRun->ApplyAutoRunOption();
    }

    ::DeleteFileW(pRun->m_szDownloadFile);
    return 0;
}
