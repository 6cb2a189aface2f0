#include "install/InstallWorker.h"

BOOL CWorkerThread::Start(LPTHREAD_START_ROUTINE proc, void* param) {
    if (m_thread.IsValid()) return FALSE;
    m_nState = STOPPABLE;
    m_thread.Attach(::CreateThread(nullptr, 0, proc, param, 0, nullptr));
    return m_thread.IsValid();
}

BOOL CWorkerThread::EnterFinishing() {
    return ::InterlockedCompareExchange(&m_nState, FINISHING, STOPPABLE) == STOPPABLE;
}

BOOL CWorkerThread::End(DWORD dwGraceMs) {
    m_signals.RequestStop();
    if (m_thread.IsValid()) {
        if (::WaitForSingleObject(m_thread, dwGraceMs) == WAIT_TIMEOUT) {
            // Still running: give up on it unless it is finishing, which is
            // short and must not be cut off.
            if (::InterlockedCompareExchange(&m_nState, ABANDONED, STOPPABLE) != FINISHING) return FALSE;
            ::WaitForSingleObject(m_thread, INFINITE);
        }
        m_thread.Close();
    }
    m_signals.ClearStop();
    return TRUE;
}
