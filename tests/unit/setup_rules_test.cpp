// The silent setup's rules: the exit code and the parameters.
#include <gtest/gtest.h>
#include "install/SilentSetup.h"
#include <string>

TEST(SetupExitCode, OnlyZeroSucceeds) {
    struct Case { DWORD code; BOOL ok; } cases[] = {
        {0, TRUE}, {1, FALSE}, {2, FALSE}, {3, FALSE}, {4, FALSE}, {5, FALSE}, {6, FALSE}, {7, FALSE},
        {8, FALSE}, {9, FALSE}, {255, FALSE}, {SETUP_EXIT_UNKNOWN, FALSE}, {0xC0000005, FALSE}, {0xFFFFFFFF, FALSE},
    };
    for (const Case& c : cases) EXPECT_EQ(c.ok, IsSetupExitSuccess(c.code)) << c.code;
}

TEST(SetupParameters, QuoteTheFolderWithATrailingBackslash) {
    wchar_t params[512];
    ASSERT_TRUE(FormatSetupParameters(L"C:\\Program Files\\Velmora", params));
    EXPECT_STREQ(L"/DIR=\"C:\\Program Files\\Velmora\\\" /verysilent /norestart", params);

    const std::wstring longest = L"C:\\" + std::wstring(256, L'd');  // the longest folder there can be
    EXPECT_TRUE(FormatSetupParameters(longest.c_str(), params));
    EXPECT_EQ(L"/DIR=\"" + longest + L"\\\" /verysilent /norestart", params);

    const std::wstring tooLong = L"C:\\" + std::wstring(500, L'd');  // 537 characters with the switches
    EXPECT_FALSE(FormatSetupParameters(tooLong.c_str(), params));
    EXPECT_STREQ(L"", params);

    // A quote would close the folder and add switches of its own.
    EXPECT_FALSE(FormatSetupParameters(L"C:\\x\" /LOG=\"C:\\y", params));
    EXPECT_STREQ(L"", params);
}
