#include "app/StatusText.h"

BOOL FormatSpeed(ULONGLONG bytesPerSecond, wchar_t (&text)[64]) {
    const ULONGLONG kb = bytesPerSecond / 1024;
    // A trickle reads "0.6 KB/s" rather than a stalled-looking "0 KB/s".
    if (kb == 0) return FormatWhole(text, L"0.%llu KB/s", bytesPerSecond * 10 / 1024);
    if (kb < 1024) return FormatWhole(text, L"%llu KB/s", kb);
    const ULONGLONG tenths = bytesPerSecond * 10 / (1024 * 1024);
    return FormatWhole(text, L"%llu.%llu MB/s", tenths / 10, tenths % 10);
}

BOOL FormatTimeLeft(ULONGLONG seconds, wchar_t (&text)[64]) {
    if (seconds < 60) return FormatWhole(text, L"剩余 %llu 秒", seconds);
    if (seconds < 3600) return FormatWhole(text, L"剩余 %llu 分 %02llu 秒", seconds / 60, seconds % 60);
    return FormatWhole(text, L"剩余 %llu 小时 %02llu 分", seconds / 3600, seconds / 60 % 60);
}

BOOL FormatDownloadStatus(ULONGLONG bytesPerSecond, ULONGLONG bytesLeft, BOOL bSizeKnown,
                          wchar_t (&text)[COMMAND_CHARS]) {
    const wchar_t* const kDownloading = L"正在下载Velmora游戏平台...";
    wchar_t speed[64], left[64];
    if (!bytesPerSecond || !FormatSpeed(bytesPerSecond, speed)) return CopyWhole(text, kDownloading);
    // Rounded up: "0 秒" while bytes are still missing would be a promise broken.
    if (!bSizeKnown || !FormatTimeLeft((bytesLeft + bytesPerSecond - 1) / bytesPerSecond, left))
        return FormatWhole(text, L"%ls  %ls", kDownloading, speed);
    return FormatWhole(text, L"%ls  %ls  %ls", kDownloading, speed, left);
}

void CSpeedMeter::Add(DWORD tickMs, ULONGLONG bytes) {
    if (m_nSamples == 0) m_firstTick = tickMs;
    if (m_nSamples == kMaxSamples) {
        for (int i = 1; i < kMaxSamples; ++i) m_samples[i - 1] = m_samples[i];
        --m_nSamples;
    }
    m_samples[m_nSamples++] = {tickMs, bytes};
}

BOOL CSpeedMeter::Rate(ULONGLONG* pBytesPerSecond) const {
    if (m_nSamples < 2) return FALSE;
    const Sample& last = m_samples[m_nSamples - 1];
    if (last.tick - m_firstTick < kQuietMs) return FALSE;
    int first = 0;
    while (first < m_nSamples - 2 && last.tick - m_samples[first].tick > kWindowMs) ++first;
    const DWORD ms = last.tick - m_samples[first].tick;
    if (ms == 0) return FALSE;
    const ULONGLONG bytes = last.bytes > m_samples[first].bytes ? last.bytes - m_samples[first].bytes : 0;
    *pBytesPerSecond = bytes * 1000 / ms;
    return TRUE;
}

namespace {

// The cause in words and its code.
BOOL DescribeFailure(const CInstallFailure& failure, wchar_t (&reason)[COMMAND_CHARS], wchar_t (&code)[64]) {
    const ULONGLONG kMB = 1024 * 1024;
    const DWORD detail = failure.detail;
    BOOL ok = TRUE;
    switch (failure.cause) {
    case FAILURE_NETWORK:
        ok = CopyWhole(reason, L"无法连接到服务器，请检查网络连接后重试。") && CopyWhole(code, L"E-NET");
        break;
    case FAILURE_SERVER:
        ok = CopyWhole(reason, L"服务器暂时无法提供安装包，请稍后重试。") && CopyWhole(code, L"E-SRV");
        break;
    case FAILURE_TLS:
        ok = CopyWhole(reason, L"无法建立安全连接。") && CopyWhole(code, L"E-TLS");
        break;
    case FAILURE_PROXY:
        ok = CopyWhole(reason, L"代理服务器需要登录，请检查用户名和密码") && CopyWhole(code, L"E-PROXY");
        break;
    case FAILURE_PORTAL:
        ok = CopyWhole(reason, L"当前网络需要登录，请在浏览器中登录后重试") && CopyWhole(code, L"E-PORTAL");
        break;
    case FAILURE_VERIFY:
        ok = CopyWhole(reason, L"安装包校验失败，可能已损坏或被篡改，请重试。") && CopyWhole(code, L"E-VERIFY");
        break;
    case FAILURE_DISK:
        ok = FormatWhole(reason, L"磁盘空间不足：需要 %llu MB，可用 %llu MB。请清理磁盘后重试。",
                         (failure.nNeededBytes + kMB - 1) / kMB, failure.nFreeBytes / kMB) &&
             CopyWhole(code, L"E-DISK");
        break;
    case FAILURE_UAC:
        ok = CopyWhole(reason, L"需要管理员权限才能完成安装，请在系统提示时选择\"是\"。") && CopyWhole(code, L"E-UAC");
        break;
    case FAILURE_SETUP: {
        // Crash codes read better in hexadecimal (0xC0000005), small ones as they are.
        wchar_t exitCode[32];
        ok = (detail < 0x10000 ? FormatWhole(exitCode, L"%lu", detail) : FormatWhole(exitCode, L"0x%08lX", detail)) &&
             FormatWhole(reason, L"安装程序未能完成（退出代码 %ls），请重试。", exitCode) &&
             FormatWhole(code, L"E-SETUP-%ls", exitCode);
        break;
    }
    case FAILURE_OTHER:
    default:
        ok = CopyWhole(reason, L"安装过程遇到错误，请重试。") && CopyWhole(code, L"E-OTHER");
        break;
    }
    return ok;
}

}  // namespace

BOOL FormatFailureCode(const CInstallFailure& failure, wchar_t (&code)[64]) {
    wchar_t reason[COMMAND_CHARS];
    return DescribeFailure(failure, reason, code);
}

BOOL FormatFailureText(const CInstallFailure& failure, const wchar_t* logPath, wchar_t (&text)[COMMAND_CHARS]) {
    wchar_t reason[COMMAND_CHARS], code[64];
    return DescribeFailure(failure, reason, code) &&
           FormatWhole(text, L"%ls\n\n错误代码：%ls\n%ls", reason, code, logPath);
}
