// Text in fixed arrays is written whole or not at all.
#include <gtest/gtest.h>
#include "framework/BoundedText.h"
#include <string>

TEST(BoundedText, WholeOrEmptyNeverCutShort) {
    wchar_t dst[8];
    EXPECT_TRUE(CopyWhole(dst, L"1234567"));  // seven characters and the terminator
    EXPECT_STREQ(L"1234567", dst);
    EXPECT_FALSE(CopyWhole(dst, L"12345678"));
    EXPECT_STREQ(L"", dst);
    EXPECT_TRUE(CopyWhole(dst, L"abcdef", 3));
    EXPECT_STREQ(L"abc", dst);

    EXPECT_TRUE(FormatWhole(dst, L"%ls=%d", L"ab", 1234));
    EXPECT_STREQ(L"ab=1234", dst);
    EXPECT_FALSE(FormatWhole(dst, L"%ls=%d", L"ab", 12345));
    EXPECT_STREQ(L"", dst);
    EXPECT_TRUE(FormatWhole(dst, L"%.*ls|", 2, L"xyz"));
    EXPECT_STREQ(L"xy|", dst);
}

TEST(BoundedText, JoinPathMayBuildOnItsOwnFolder) {
    wchar_t path[12] = L"C:\\a";
    EXPECT_TRUE(JoinPath(path, path, L"\\bcdefg"));  // eleven characters
    EXPECT_STREQ(L"C:\\a\\bcdefg", path);
    EXPECT_FALSE(JoinPath(path, path, L"h"));
    EXPECT_STREQ(L"", path) << "a path that does not fit names no file at all";
    EXPECT_TRUE(JoinPath(path, L"", L""));
    EXPECT_STREQ(L"", path);
}
