#include <gtest/gtest.h>
#include "app/StatusText.h"
#include "install/DiskSpace.h"

TEST(StatusText, SpeedAndTimeLeft) {
    struct SpeedCase { ULONGLONG bytesPerSecond; const wchar_t* text; } speeds[] = {
        {0, L"0 KB/s"},
        {1023, L"0 KB/s"},
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
    struct Case { InstallFailure cause; DWORD detail; const wchar_t* text; } cases[] = {
        {FAILURE_NETWORK, 0, L"无法连接到服务器，请检查网络连接后重试。\n\n错误代码：E-NET\nC:\\t\\VelmoraInstaller.log"},
        {FAILURE_SERVER, 0, L"服务器暂时无法提供安装包，请稍后重试。\n\n错误代码：E-SRV\nC:\\t\\VelmoraInstaller.log"},
        {FAILURE_VERIFY, 0,
         L"安装包校验失败，可能已损坏或被篡改，请重试。\n\n错误代码：E-VERIFY\nC:\\t\\VelmoraInstaller.log"},
        {FAILURE_DISK, MAKELONG(120, 3),
         L"磁盘空间不足：需要 120 MB，可用 3 MB。请清理磁盘后重试。\n\n错误代码：E-DISK\nC:\\t\\VelmoraInstaller.log"},
        {FAILURE_UAC, 0,
         L"需要管理员权限才能完成安装，请在系统提示时选择\"是\"。\n\n错误代码：E-UAC\nC:\\t\\VelmoraInstaller.log"},
        {FAILURE_SETUP, 4, L"安装程序未能完成（退出代码 4），请重试。\n\n错误代码：E-SETUP-4\nC:\\t\\VelmoraInstaller.log"},
        {FAILURE_SETUP, 0xC0000005,
         L"安装程序未能完成（退出代码 0xC0000005），请重试。\n\n错误代码：E-SETUP-0xC0000005\nC:\\t\\VelmoraInstaller.log"},
        {FAILURE_OTHER, 0, L"安装过程遇到错误，请重试。\n\n错误代码：E-OTHER\nC:\\t\\VelmoraInstaller.log"},
        {static_cast<InstallFailure>(99), 0, L"安装过程遇到错误，请重试。\n\n错误代码：E-OTHER\nC:\\t\\VelmoraInstaller.log"},
    };
    for (const Case& c : cases) {
        wchar_t text[COMMAND_CHARS];
        ASSERT_TRUE(FormatFailureText(c.cause, c.detail, L"C:\\t\\VelmoraInstaller.log", text));
        EXPECT_STREQ(c.text, text);
    }
}

TEST(DiskSpace, ShortfallInWholeMegabytes) {
    const ULONGLONG MB = 1024 * 1024;
    struct Case { ULONGLONG needed, free; WORD neededMb, freeMb; } cases[] = {
        {1, 0, 1, 0},
        {MB, MB - 1, 1, 0},               // needed rounds up, free rounds down
        {MB + 1, 2 * MB - 1, 2, 1},
        {100000 * MB, 70000 * MB, 0xFFFF, 0xFFFF},  // beyond what a word holds: capped
    };
    for (const Case& c : cases) {
        const DWORD detail = DiskShortfall(c.needed, c.free);
        EXPECT_EQ(c.neededMb, LOWORD(detail)) << c.needed;
        EXPECT_EQ(c.freeMb, HIWORD(detail)) << c.free;
    }
}

TEST(DiskSpace, CheckNamesTheVolumeShortOfRoom) {
    // The system volume has room for a little, not for everything.
    CInstallFailure failure;
    EXPECT_TRUE(CheckDiskSpace(L"C:\\windows", 1024, L"C:\\no such folder\\below", 1024, &failure));
    EXPECT_FALSE(CheckDiskSpace(L"C:\\windows", 1ULL << 60, nullptr, 0, &failure));
    EXPECT_EQ(FAILURE_DISK, failure.cause);
    EXPECT_EQ(0xFFFF, LOWORD(failure.detail));
    failure = CInstallFailure();
    EXPECT_FALSE(CheckDiskSpace(L"C:\\windows", 0, L"C:\\new\\folder", 1ULL << 60, &failure));
    EXPECT_EQ(FAILURE_DISK, failure.cause);
    // A volume that cannot be asked counts as having room.
    EXPECT_TRUE(CheckDiskSpace(L"Q:\\", 1ULL << 60, L"", 1ULL << 60, &failure));
}
