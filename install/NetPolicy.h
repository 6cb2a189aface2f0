// How the installer treats the network: its time-outs, which faults are
// worth another attempt, and how long to wait before one.
#pragma once
#include <windows.h>

// The time-outs and waits, in milliseconds.
struct CNetTimings {
    DWORD dwConnectMs;       // to connect
    DWORD dwSendMs;          // to send a request
    DWORD dwReceiveMs;       // for the reply to start, and between two arrivals of bytes
    DWORD dwStallMs;         // an attempt whose body moved less than kStallBytes in this long is given up
    DWORD dwFirstRetryMs;    // the first wait before another attempt; each further one doubles it
    DWORD dwRetryAfterCapMs; // the longest wait a server's Retry-After can ask for
    DWORD dwAllUrlsMs;       // after this long failing over the package's URLs, none is tried further;
                             // with the attempt under way (its time-outs) the failure shows within 6 minutes
};

// The figures the installer works with. A test build may shorten them all
// by one factor (VELMORA_TIME_SCALE, in percent), so that tests need not
// wait real minutes.
CNetTimings GetNetTimings();

enum {
    DOWNLOAD_RETRIES = 5,  // further attempts of the package download
    MANIFEST_RETRIES = 2,  // further attempts of the manifest request
    STALL_BYTES = 4096,
};

// What an exchange or an attempt ended with.
enum NetOutcome {
    NET_DONE,       // it succeeded
    NET_TRANSIENT,  // a fault another attempt may not meet: no connection, a drop, a time-out, a busy server
    NET_PERMANENT,  // a fault another attempt would meet again, or the stop signal
};

// Statuses a server gives while it is busy or briefly unwell: 408, 429,
// 500, 502, 503, 504.
BOOL IsTransientStatus(int status);

// The wait before further attempt n (0 for the first): the server's
// Retry-After seconds when it gave them (up to the cap), otherwise the
// first wait doubled n times, give or take a quarter (jitter: 0 to 1023,
// 512 for none).
DWORD RetryDelayMs(const CNetTimings& timings, int n, DWORD retryAfterSeconds, DWORD jitter);

// A random jitter for RetryDelayMs.
DWORD RetryJitter();
