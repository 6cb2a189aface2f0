#include "install/NetPolicy.h"
#include "install/InstallWorker.h"
#include <cwchar>

namespace {

DWORD Scaled(DWORD ms, DWORD percent) { return static_cast<DWORD>(static_cast<ULONGLONG>(ms) * percent / 100); }

DWORD TimeScalePercent() {
#ifdef VELMORA_TEST_SEAMS
    wchar_t text[8] = {};
    if (::GetEnvironmentVariableW(L"VELMORA_TIME_SCALE", text, 8) > 0) {
        const DWORD percent = static_cast<DWORD>(_wtoi(text));
        if (percent >= 1 && percent <= 100) return percent;
    }
#endif
    return 100;
}

}  // namespace

CNetTimings GetNetTimings() {
    const DWORD p = TimeScalePercent();
    return {Scaled(15000, p), Scaled(30000, p), Scaled(30000, p), Scaled(30000, p), Scaled(1000, p), Scaled(60000, p)};
}

BOOL IsTransientStatus(int status) {
    return status == 408 || status == 429 || status == 500 || status == 502 || status == 503 || status == 504;
}

DWORD RetryDelayMs(const CNetTimings& timings, int n, DWORD retryAfterSeconds, DWORD jitter) {
    if (retryAfterSeconds) {
        const ULONGLONG ms = static_cast<ULONGLONG>(retryAfterSeconds) * 1000 * timings.dwFirstRetryMs / 1000;
        return ms > timings.dwRetryAfterCapMs ? timings.dwRetryAfterCapMs : static_cast<DWORD>(ms);
    }
    const ULONGLONG base = static_cast<ULONGLONG>(timings.dwFirstRetryMs) << (n < 16 ? n : 16);
    // 0.75 to 1.25 times the base, in 1024 steps.
    return static_cast<DWORD>(base * (768 + (jitter & 1023) / 2) / 1024);
}

BOOL WaitBeforeRetry(DWORD ms) { return ::WaitForSingleObject(GetInstallStopEvent(), ms) == WAIT_TIMEOUT; }

DWORD RetryJitter() {
    // A multiplicative hash of a counter and what differs between processes
    // and moments: enough to keep many installers from retrying in step.
    // The counter starts at a constant, so that no thread has to make it
    // (the manifest query and the worker may ask at the same time).
    static volatile LONG s_counter = 0;
    const DWORD seed = (::GetCurrentProcessId() << 16) ^ ::GetTickCount();
    const DWORD x = (static_cast<DWORD>(::InterlockedIncrement(&s_counter)) + seed) * 2654435761u;
    return (x >> 16) & 1023;
}
