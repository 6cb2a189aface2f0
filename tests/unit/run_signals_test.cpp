// The run's signals: once the stop is requested nothing more reaches the
// sink, and a sink let go of is never called again, even by a report that
// was under way on another thread: the one who shows the run may be gone.
#include <gtest/gtest.h>
#include "install/RunSignals.h"

namespace {

// Counts reports; each takes ms to hand on, as a post to a busy window may.
class CSlowSink : public IInstallSink {
public:
    explicit CSlowSink(DWORD ms) : m_ms(ms) {}
    void OnInstallReport(WPARAM, LPARAM) override {
        ::InterlockedIncrement(&m_nStarted);
        ::Sleep(m_ms);
        ::InterlockedIncrement(&m_nEnded);
    }
    volatile LONG m_nStarted = 0, m_nEnded = 0;

private:
    DWORD m_ms;
};

struct CReporter {
    CRunSignals* pSignals;
    volatile LONG nDelivered;
    static DWORD WINAPI Run(LPVOID p) {
        auto* self = static_cast<CReporter*>(p);
        for (int i = 0; i < 50; ++i)
            if (self->pSignals->Report(INSTALL_NOTIFY_PROGRESS, i)) ::InterlockedIncrement(&self->nDelivered);
        return 0;
    }
};

}  // namespace

TEST(RunSignals, NothingReachesTheSinkAfterTheStopUntilItIsCleared) {
    CRunSignals signals;
    CSlowSink sink(0);
    EXPECT_FALSE(signals.Report(INSTALL_NOTIFY_PROGRESS, 1)) << "no sink yet";
    signals.SetSink(&sink);
    EXPECT_TRUE(signals.Report(INSTALL_NOTIFY_PROGRESS, 1));
    signals.RequestStop();
    EXPECT_TRUE(signals.IsStopping());
    EXPECT_FALSE(signals.Report(INSTALL_NOTIFY_FAILED, 0));
    EXPECT_FALSE(signals.Wait(5000)) << "a wait ends at once";
    signals.ClearStop();
    EXPECT_TRUE(signals.Wait(0));
    EXPECT_TRUE(signals.Report(INSTALL_NOTIFY_COMPLETE, 0));
    EXPECT_EQ(2, sink.m_nEnded);
}

TEST(RunSignals, ASinkLetGoOfIsDoneWithWhenSetSinkReturns) {
    CRunSignals signals;
    CSlowSink sink(20);
    signals.SetSink(&sink);
    CReporter reporter = {&signals, 0};
    HANDLE hThread = ::CreateThread(nullptr, 0, &CReporter::Run, &reporter, 0, nullptr);
    ASSERT_NE(nullptr, hThread);
    while (sink.m_nStarted == 0) ::Sleep(1);
    // As the window goes: from here on the sink must not be called, and a
    // report under way has ended.
    signals.SetSink(nullptr);
    signals.RequestStop();
    const LONG started = sink.m_nStarted;
    EXPECT_EQ(started, sink.m_nEnded);
    ::WaitForSingleObject(hThread, INFINITE);
    ::CloseHandle(hThread);
    EXPECT_EQ(started, sink.m_nStarted) << "called after it was let go of";
    EXPECT_EQ(started, reporter.nDelivered);
    EXPECT_LT(started, 50);
}
