#include "WorkerStop.h"

HANDLE GetInstallStopEvent() {
    // Created on first use; lives as long as the process.
    static HANDLE s_hStop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return s_hStop;
}

void RequestInstallStop() { ::SetEvent(GetInstallStopEvent()); }

BOOL IsInstallStopping() { return ::WaitForSingleObject(GetInstallStopEvent(), 0) == WAIT_OBJECT_0; }
