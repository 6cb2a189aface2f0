#include <gtest/gtest.h>
#include "app/InstallerPaths.h"
#include <string>

TEST(MakeDownloadFolder, AppendsOneSeparatorOrEmptiesWhenItDoesNotFit) {
    const std::wstring longDocs = L"C:\\" + std::wstring(259 - 3 - 16, L'd');  // exactly fits with the subfolder
    struct Case { std::wstring documents; const wchar_t* expected; BOOL ok; } cases[] = {
        {L"C:\\users\\me\\Documents", L"C:\\users\\me\\Documents\\CorvaneVelmora\\", TRUE},
        {L"C:\\users\\me\\Documents\\", L"C:\\users\\me\\Documents\\CorvaneVelmora\\", TRUE},  // Wine's form
        {L"D:\\", L"D:\\CorvaneVelmora\\", TRUE},
        {L"", L"", FALSE},
        {longDocs, nullptr, TRUE},
        {longDocs + L"x", L"", FALSE},
    };
    for (const Case& c : cases) {
        wchar_t buf[260] = {};
        wcsncpy_s(buf, 260, c.documents.c_str(), _TRUNCATE);
        EXPECT_EQ(c.ok, MakeDownloadFolder(buf)) << c.documents.size();
        const std::wstring expected = c.expected ? c.expected : c.documents + L"\\CorvaneVelmora\\";
        EXPECT_EQ(expected, buf);
    }
}
