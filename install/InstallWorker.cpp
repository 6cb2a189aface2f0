#include "install/InstallWorker.h"

namespace {

HANDLE s_hWorker = nullptr;

// Where the worker is, as far as ending it goes.
enum : LONG { WORKER_STOPPABLE, WORKER_FINISHING, WORKER_ABANDONED };
volatile LONG s_nWorkerState = WORKER_STOPPABLE;

}  // namespace

HANDLE GetInstallStopEvent() {
    // Created on first use; lives as long as the process.
    static HANDLE s_hStop = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return s_hStop;
}

void RequestInstallStop() { ::SetEvent(GetInstallStopEvent()); }

BOOL IsInstallStopping() { return ::WaitForSingleObject(GetInstallStopEvent(), 0) == WAIT_OBJECT_0; }

BOOL PostInstallNotify(HWND hWnd, WPARAM code, LPARAM lParam) {
    return !IsInstallStopping() && ::PostMessageW(hWnd, WM_INSTALL_NOTIFY, code, lParam);
}

BOOL StartInstallWorker(LPTHREAD_START_ROUTINE proc, void* param) {
    if (s_hWorker) return FALSE;
    GetInstallStopEvent();  // exists before the worker can ask for it
    s_nWorkerState = WORKER_STOPPABLE;
    s_hWorker = ::CreateThread(nullptr, 0, proc, param, 0, nullptr);
    return s_hWorker != nullptr;
}

BOOL EnterInstallFinishing() {
    return ::InterlockedCompareExchange(&s_nWorkerState, WORKER_FINISHING, WORKER_STOPPABLE) == WORKER_STOPPABLE;
}

BOOL EndInstallWorker(DWORD dwGraceMs) {
    RequestInstallStop();
    if (s_hWorker) {
        if (::WaitForSingleObject(s_hWorker, dwGraceMs) == WAIT_TIMEOUT) {
            // Still running: give up on it unless it is finishing, which is
            // short and must not be cut off.
            if (::InterlockedCompareExchange(&s_nWorkerState, WORKER_ABANDONED, WORKER_STOPPABLE) !=
                WORKER_FINISHING)
                return FALSE;
            ::WaitForSingleObject(s_hWorker, INFINITE);
        }
        ::CloseHandle(s_hWorker);
        s_hWorker = nullptr;
    }
    ::ResetEvent(GetInstallStopEvent());
    return TRUE;
}
