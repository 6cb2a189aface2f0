#include "install/RunSignals.h"

CRunSignals::CRunSignals() : m_stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

void CRunSignals::RequestStop() {
    CSingleLock lock(m_lock);
    ::SetEvent(m_stop);
}

void CRunSignals::ClearStop() {
    CSingleLock lock(m_lock);
    ::ResetEvent(m_stop);
}

void CRunSignals::SetSink(IInstallSink* pSink) {
    CSingleLock lock(m_lock);
    m_pSink = pSink;
}

BOOL CRunSignals::Report(WPARAM code, LPARAM lParam) const {
    CSingleLock lock(m_lock);
    if (!m_pSink || IsStopping()) return FALSE;
    m_pSink->OnInstallReport(code, lParam);
    return TRUE;
}
