#include "install/NetPolicy.h"
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
    return {Scaled(15000, p), Scaled(30000, p), Scaled(30000, p), Scaled(30000, p), Scaled(1000, p), Scaled(60000, p),
            Scaled(270000, p)};
}

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
