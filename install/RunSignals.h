// The signals of one install run, handed to each of its steps: the stop
// that ends their waits, and the sink their reports go to.
#pragma once
#include <windows.h>
#include "framework/afxfile.h"
#include "framework/afxmt.h"
#include "install/InstallReport.h"
#include "install/ProxyLogin.h"

// Where a run's reports go: implemented by whoever shows the run. Called on
// the step's own thread, so it must only hand the report on (post it), never
// wait for the one who shows it.
class IInstallSink {
public:
    virtual void OnInstallReport(WPARAM code, LPARAM lParam) = 0;

protected:
    ~IInstallSink() = default;
};

class CRunSignals {
public:
    CRunSignals();
    CRunSignals(const CRunSignals&) = delete;
    CRunSignals& operator=(const CRunSignals&) = delete;

    // The stop: a manual-reset event, waitable together with other handles.
    // From RequestStop's return on, no report reaches the sink until
    // ClearStop: the one who shows the run may be gone.
    HANDLE StopEvent() const { return m_stop; }
    BOOL IsStopping() const { return ::WaitForSingleObject(m_stop, 0) == WAIT_OBJECT_0; }
    void RequestStop();
    void ClearStop();
    // Waits ms; FALSE at once when the stop comes first.
    BOOL Wait(DWORD ms) const { return ::WaitForSingleObject(m_stop, ms) == WAIT_TIMEOUT; }

    // Where reports go from now on (null: nowhere); returns once a report
    // being delivered to the earlier sink has been.
    void SetSink(IInstallSink* pSink);
    // Hands the report to the sink unless a stop was requested; FALSE when
    // it did not.
    BOOL Report(WPARAM code, LPARAM lParam = 0) const;

    // The login a proxy asks for, shared by the run's requests. They hold
    // the signals as const, as every step does; the login is theirs to fill.
    CProxyLogin& ProxyLogin() const { return m_login; }

private:
    CHandle m_stop;
    mutable CCriticalSection m_lock;  // the stop and the sink against a report
    IInstallSink* m_pSink = nullptr;
    mutable CProxyLogin m_login;
};
