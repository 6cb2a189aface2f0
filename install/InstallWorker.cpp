#include "install/InstallWorker.h"

HANDLE GetInstallStopEvent() {
    // Made by whichever thread asks first; a thread that loses the race
    // closes its own and takes the winner's, so every waiter sees one event.
    // It lives as long as the process.
    static HANDLE volatile s_hStop = nullptr;
    if (HANDLE hStop = s_hStop) return hStop;
    const HANDLE hMade = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    const HANDLE hFirst = ::InterlockedCompareExchangePointer(const_cast<PVOID volatile*>(&s_hStop), hMade, nullptr);
    if (!hFirst) return hMade;
    if (hMade) ::CloseHandle(hMade);
    return hFirst;
}

void RequestInstallStop() { ::SetEvent(GetInstallStopEvent()); }

BOOL IsInstallStopping() { return ::WaitForSingleObject(GetInstallStopEvent(), 0) == WAIT_OBJECT_0; }

BOOL PostInstallNotify(HWND hWnd, WPARAM code, LPARAM lParam) {
    return !IsInstallStopping() && ::PostMessageW(hWnd, WM_INSTALL_NOTIFY, code, lParam);
}

BOOL CWorkerThread::Start(LPTHREAD_START_ROUTINE proc, void* param) {
    if (m_thread.IsValid()) return FALSE;
    GetInstallStopEvent();  // exists before the worker can ask for it
    m_nState = STOPPABLE;
    m_thread.Attach(::CreateThread(nullptr, 0, proc, param, 0, nullptr));
    return m_thread.IsValid();
}

BOOL CWorkerThread::EnterFinishing() {
    return ::InterlockedCompareExchange(&m_nState, FINISHING, STOPPABLE) == STOPPABLE;
}

BOOL CWorkerThread::End(DWORD dwGraceMs) {
    RequestInstallStop();
    if (m_thread.IsValid()) {
        if (::WaitForSingleObject(m_thread, dwGraceMs) == WAIT_TIMEOUT) {
            // Still running: give up on it unless it is finishing, which is
            // short and must not be cut off.
            if (::InterlockedCompareExchange(&m_nState, ABANDONED, STOPPABLE) != FINISHING) return FALSE;
            ::WaitForSingleObject(m_thread, INFINITE);
        }
        m_thread.Close();
    }
    ::ResetEvent(GetInstallStopEvent());
    return TRUE;
}
