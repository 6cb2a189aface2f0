// The install worker's lifetime and its stop signal. The dialog can end
// while the worker still runs; from then on the worker's steps stop waiting
// (a download ends as if the connection dropped, keeping its partial file;
// the wait for a running setup ends, leaving the setup running) and the
// worker posts nothing more. Only the part of the run that follows a
// successful setup (the options, the package delete) always completes: the
// user chose those options before closing.
//
// The dialog starts the worker with StartInstallWorker; the application
// calls EndInstallWorker once the dialog has ended and before it destroys
// the dialog object, which the worker reads.
#pragma once
#include <windows.h>

// Manual-reset event, set by RequestInstallStop; waitable together with
// other handles.
HANDLE GetInstallStopEvent();
void RequestInstallStop();
BOOL IsInstallStopping();

// Posts WM_INSTALL_NOTIFY with code to the dialog window unless a stop was
// requested: the window is gone by then and its handle may already name
// another window.
BOOL PostInstallNotify(HWND hWnd, WPARAM code, LPARAM lParam);

// Starts the worker: proc(param) on a new thread. One worker at a time:
// FALSE when one was started and not ended yet, or the thread could not be
// created.
BOOL StartInstallWorker(LPTHREAD_START_ROUTINE proc, void* param);

// Called by the worker when its setup has succeeded: the rest of the run
// must complete even after a stop. FALSE when the application has already
// given up on the worker and is ending the process.
BOOL EnterInstallFinishing();

// Requests the stop and waits for the worker. A worker in a stoppable step
// gets dwGraceMs to end; one that has entered its finishing part is waited
// for without limit. TRUE when no worker runs any more (the stop is then
// cleared again); FALSE when the worker did not end in time, in which case
// the caller must end the process at once, without destroying what the
// worker still reads.
BOOL EndInstallWorker(DWORD dwGraceMs);

// The grace the application gives a stopping worker. A download notices the
// stop between two reads, so this only matters for one stuck in the network.
enum { INSTALL_STOP_GRACE_MS = 3000 };
