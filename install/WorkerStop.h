// The stop signal for the install worker. The dialog can end while the
// worker still runs; from then on the worker's steps stop waiting (a
// download ends as if the connection dropped, keeping its partial file; the
// wait for a running setup ends, leaving the setup running) and the worker
// no longer touches the dialog.
#pragma once
#include <windows.h>

// Manual-reset event, set once by RequestInstallStop; waitable together
// with other handles.
HANDLE GetInstallStopEvent();
void RequestInstallStop();
BOOL IsInstallStopping();
