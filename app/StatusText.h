// The texts the dialog shows about a run: the download's speed and time
// left, and the failure box's explanation, apart from the window calls.
#pragma once
#include <windows.h>
#include "framework/BoundedText.h"
#include "install/InstallReport.h"

// "850 KB/s" below 1 MB/s, "12.3 MB/s" from there, "0.6 KB/s" below 1 KB/s
// (1 KB = 1024 bytes, 1 MB = 1024 KB, one decimal, rounded down).
BOOL FormatSpeed(ULONGLONG bytesPerSecond, wchar_t (&text)[64]);

// "剩余 45 秒", "剩余 12 分 05 秒" or "剩余 1 小时 05 分".
BOOL FormatTimeLeft(ULONGLONG seconds, wchar_t (&text)[64]);

// The status line while downloading: "正在下载Velmora游戏平台...", then,
// when rate is known (not 0), two blanks, the speed and, when the package's
// size is known (not 0), two blanks and the time left.
BOOL FormatDownloadStatus(ULONGLONG bytesPerSecond, ULONGLONG bytesLeft, BOOL bSizeKnown,
                          wchar_t (&text)[COMMAND_CHARS]);

// The download's speed over the last few seconds, from (time, bytes so far)
// samples taken about once a second.
class CSpeedMeter {
public:
    void Reset() { m_nSamples = 0; }
    void Add(DWORD tickMs, ULONGLONG bytes);
    // Bytes per second over the samples of the last kWindowMs; FALSE until
    // the first sample is kQuietMs old (the first seconds say little) or
    // when no time has passed.
    BOOL Rate(ULONGLONG* pBytesPerSecond) const;

    static const DWORD kWindowMs = 5000;
    static const DWORD kQuietMs = 2000;

private:
    static const int kMaxSamples = 8;
    struct Sample { DWORD tick; ULONGLONG bytes; };
    Sample m_samples[kMaxSamples] = {};
    int m_nSamples = 0;
    DWORD m_firstTick = 0;
};

// The failure's code alone: "E-NET", "E-SETUP-3", ...
BOOL FormatFailureCode(const CInstallFailure& failure, wchar_t (&code)[64]);

// The failure box's text: the cause in words (a disk's figures in whole
// megabytes, the need rounded up and the room down: no room is promised
// that is not there), an empty line, the code ("错误代码：E-NET"), and the
// support log's path.
BOOL FormatFailureText(const CInstallFailure& failure, const wchar_t* logPath, wchar_t (&text)[COMMAND_CHARS]);
