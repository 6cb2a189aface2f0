// Which faults get another attempt and how long to wait before it, apart
// from the clock and the stop signal.
#include "install/NetPolicy.h"

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
