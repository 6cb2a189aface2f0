// The install worker: download, silent setup and post-install options on
// one thread, reported only through the run's signals; its lifetime and
// its stop.
//
// The one who shows the run can go while the worker still runs; it
// requests the stop first, and from then on the worker's steps stop
// waiting (a download ends as if the connection dropped, keeping its
// partial file; the wait for a running setup ends, leaving the setup
// running) and nothing more is reported. Only the part of the run that
// follows a successful setup (the options, the package delete) always
// completes: the user chose those options before closing.
//
// The run starts its worker with CWorkerThread::Start; the application ends
// it with CWorkerThread::End once the dialog has ended and before it
// destroys the run, which the worker reads.
#pragma once
#include <windows.h>
#include "framework/afxfile.h"
#include "install/InstallReport.h"
#include "install/RunSignals.h"

// The worker's thread and where it is, as far as ending it goes.
class CWorkerThread {
public:
    // signals: the run's, whose stop End requests.
    explicit CWorkerThread(CRunSignals& signals) : m_signals(signals) {}
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
    CRunSignals& m_signals;
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
// scripted steps. The worker never touches a window: it reads the run's
// frozen choices and reports through the run's signals (Signals()).
// Exactly one of COMPLETE and FAILED is reported, as the last report, unless
// the stop came first (then nothing is); FAILED carries the cause a failing
// step left in pRun->m_failure. The package is deleted in every outcome (a
// setup left running after a stop holds its package open, and the delete
// then fails without harm).
template <class TRun>
DWORD RunInstallWorker(TRun* pRun) {
    const CRunSignals& signals = pRun->Signals();
    pRun->m_failure = CInstallFailure();
    // The manifest query started with the dialog may still run: the package
    // URL comes from it.
    if (!pRun->QueryUpgradeInfo(pRun->m_szDownloadUrl) ||
        !pRun->DownloadFile(pRun->m_szDownloadUrl, pRun->m_szDownloadFile) || signals.IsStopping() ||
        !pRun->RunSetup()) {
        signals.Report(MAKEWPARAM(INSTALL_NOTIFY_FAILED, pRun->m_failure.cause), pRun->m_failure.detail);
    } else if (pRun->EnterFinishing()) {
        signals.Report(INSTALL_NOTIFY_COMPLETE);
        pRun->ApplyTaskbarOption();
        pRun->ApplyAutoRunOption();
    }

    ::DeleteFileW(pRun->m_szDownloadFile);
    return 0;
}
