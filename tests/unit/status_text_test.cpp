#include <gtest/gtest.h>
#include "app/StatusText.h"

TEST(StatusText, SpeedAndTimeLeft) {
    struct SpeedCase { ULONGLONG bytesPerSecond; const wchar_t* text; } speeds[] = {
        {0, L"0.0 KB/s"},
        {640, L"0.6 KB/s"},  // a trickle is not shown as nothing
        {1023, L"0.9 KB/s"},
        {1024, L"1 KB/s"},
        {850 * 1024, L"850 KB/s"},
        {1024 * 1024 - 1, L"1023 KB/s"},   // just under 1 MB/s stays in KB/s
        {1024 * 1024, L"1.0 MB/s"},
        {12 * 1024 * 1024 + 3 * 1024 * 1024 / 10 + 1, L"12.3 MB/s"},
        {1024ULL * 1024 * 1024, L"1024.0 MB/s"},
    };
    for (const SpeedCase& c : speeds) {
        wchar_t text[64];
        ASSERT_TRUE(FormatSpeed(c.bytesPerSecond, text));
        EXPECT_STREQ(c.text, text) << c.bytesPerSecond;
    }
    struct TimeCase { ULONGLONG seconds; const wchar_t* text; } times[] = {
        {0, L"剩余 0 秒"},
        {45, L"剩余 45 秒"},
        {59, L"剩余 59 秒"},
        {60, L"剩余 1 分 00 秒"},
        {12 * 60 + 5, L"剩余 12 分 05 秒"},
        {3599, L"剩余 59 分 59 秒"},
        {3600 + 5 * 60 + 59, L"剩余 1 小时 05 分"},
        {100 * 3600, L"剩余 100 小时 00 分"},
    };
    for (const TimeCase& c : times) {
        wchar_t text[64];
        ASSERT_TRUE(FormatTimeLeft(c.seconds, text));
        EXPECT_STREQ(c.text, text) << c.seconds;
    }
}

TEST(StatusText, DownloadStatusLine) {
    struct Case { ULONGLONG rate, left; BOOL sizeKnown; const wchar_t* text; } cases[] = {
        {0, 1000, TRUE, L"正在下载Velmora游戏平台..."},  // no rate yet: nothing after the dots
        {1024 * 1024, 0, FALSE, L"正在下载Velmora游戏平台...  1.0 MB/s"},
        {12 * 1024 * 1024 + 400 * 1024, 125ULL * (12 * 1024 * 1024 + 400 * 1024), TRUE,
         L"正在下载Velmora游戏平台...  12.3 MB/s  剩余 2 分 05 秒"},
        {850 * 1024, 1, TRUE, L"正在下载Velmora游戏平台...  850 KB/s  剩余 1 秒"},  // rounded up, never "0 秒" early
    };
    for (const Case& c : cases) {
        wchar_t text[COMMAND_CHARS];
        ASSERT_TRUE(FormatDownloadStatus(c.rate, c.left, c.sizeKnown, text));
        EXPECT_STREQ(c.text, text);
    }
}

TEST(StatusText, SpeedMeterUsesTheLastFiveSecondsAfterTwo) {
    CSpeedMeter meter;
    ULONGLONG rate = 0;
    EXPECT_FALSE(meter.Rate(&rate));
    // 100 KB/s for 10 s, then 1 MB/s: one sample a second.
    ULONGLONG bytes = 0;
    DWORD tick = 0xFFFFF000;  // GetTickCount wraps on the way
    meter.Add(tick, bytes);
    for (int second = 1; second <= 16; ++second) {
        bytes += second <= 10 ? 100 * 1024 : 1024 * 1024;
        tick += 1000;
        meter.Add(tick, bytes);
        const BOOL known = meter.Rate(&rate);
        if (second < 2) {
            EXPECT_FALSE(known) << second;  // the first seconds say little
        } else if (second <= 10) {
            ASSERT_TRUE(known);
            EXPECT_EQ(100u * 1024, rate) << second;
        } else if (second >= 15) {
            ASSERT_TRUE(known);
            EXPECT_EQ(1024u * 1024, rate) << second;  // the slow start has left the window
        }
    }
    meter.Reset();
    EXPECT_FALSE(meter.Rate(&rate));
}

TEST(StatusText, FailureTextNamesCauseCodeAndLog) {
    const ULONGLONG MB = 1024 * 1024;
    const wchar_t* const kLog = L"\n\n错误代码：%ls\nC:\\t\\VelmoraInstaller.log";
    struct Case { CInstallFailure failure; const wchar_t* reason; const wchar_t* code; } cases[] = {
        {{FAILURE_NETWORK}, L"无法连接到服务器，请检查网络连接后重试。", L"E-NET"},
        {{FAILURE_SERVER}, L"服务器暂时无法提供安装包，请稍后重试。", L"E-SRV"},
        {{FAILURE_VERIFY}, L"安装包校验失败，可能已损坏或被篡改，请重试。", L"E-VERIFY"},
        // Needed rounds up and free down: no room is promised that is not there.
        {{FAILURE_DISK, 0, 119 * MB + 1, 4 * MB - 1}, L"磁盘空间不足：需要 120 MB，可用 3 MB。请清理磁盘后重试。", L"E-DISK"},
        // Figures far beyond 64 GB stay whole.
        {{FAILURE_DISK, 0, 1000000000000000ULL, 100000 * MB},
         L"磁盘空间不足：需要 953674317 MB，可用 100000 MB。请清理磁盘后重试。", L"E-DISK"},
        {{FAILURE_PROXY}, L"代理服务器需要登录，请检查用户名和密码", L"E-PROXY"},
        {{FAILURE_PORTAL}, L"当前网络需要登录，请在浏览器中登录后重试", L"E-PORTAL"},
        {{FAILURE_UAC}, L"需要管理员权限才能完成安装，请在系统提示时选择\"是\"。", L"E-UAC"},
        {{FAILURE_SETUP, 4}, L"安装程序未能完成（退出代码 4），请重试。", L"E-SETUP-4"},
        {{FAILURE_SETUP, 0xC0000005}, L"安装程序未能完成（退出代码 0xC0000005），请重试。", L"E-SETUP-0xC0000005"},
        {{FAILURE_OTHER}, L"安装过程遇到错误，请重试。", L"E-OTHER"},
        {{static_cast<InstallFailure>(99)}, L"安装过程遇到错误，请重试。", L"E-OTHER"},
    };
    for (const Case& c : cases) {
        wchar_t text[COMMAND_CHARS], expected[COMMAND_CHARS], code[64];
        ASSERT_TRUE(FormatFailureText(c.failure, L"C:\\t\\VelmoraInstaller.log", text));
        ASSERT_TRUE(FormatWhole(expected, L"%ls", c.reason));
        wchar_t tail[COMMAND_CHARS];
        ASSERT_TRUE(FormatWhole(tail, kLog, c.code));
        ASSERT_TRUE(JoinPath(expected, expected, tail));
        EXPECT_STREQ(expected, text);
        ASSERT_TRUE(FormatFailureCode(c.failure, code));
        EXPECT_STREQ(c.code, code);
    }
}
