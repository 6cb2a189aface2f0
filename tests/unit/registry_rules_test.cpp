// Which registry strings the earlier-installation probe takes.
#include <gtest/gtest.h>
#include "framework/afxreg.h"
#include <string>
#include <vector>

TEST(RegistryString, TakesOnlyStringsThatFitWithTheirTerminator) {
    const std::wstring fits259(259, L'a'), exactly260(260, L'b');
    struct Case {
        const char* what;
        LONG result;
        DWORD type;
        std::wstring data;
        DWORD cb;  // bytes reported
        bool ok;
    } cases[] = {
        {"terminated string", ERROR_SUCCESS, REG_SZ, L"D:\\Games", 18, true},
        {"expandable string", ERROR_SUCCESS, REG_EXPAND_SZ, L"D:\\x", 10, true},
        {"no terminator stored", ERROR_SUCCESS, REG_SZ, L"D:\\Gam", 12, true},
        {"empty", ERROR_SUCCESS, REG_SZ, L"", 2, true},
        {"259 characters", ERROR_SUCCESS, REG_SZ, fits259, 520, true},
        {"260 characters, no room for the terminator", ERROR_SUCCESS, REG_SZ, exactly260, 520, false},
        {"more data than the buffer", ERROR_MORE_DATA, REG_SZ, fits259, 600, false},
        {"number", ERROR_SUCCESS, REG_DWORD, L"\x0001", 4, false},
        {"missing", ERROR_FILE_NOT_FOUND, REG_NONE, L"", 0, false},
    };
    for (const Case& c : cases) {
        // Stored bytes past the reported size are never zero here: the
        // text must end where the data says.
        std::vector<wchar_t> data(c.data.begin(), c.data.end());
        if (c.cb / 2 > c.data.size()) data.push_back(L'\0');
        data.resize(300, L'x');
        wchar_t out[260];
        wcscpy(out, L"C:\\velmora");
        EXPECT_EQ(c.ok, !!AcceptRegistryString(c.result, c.type, data.data(), c.cb, out, 260)) << c.what;
        const std::wstring expected = !c.ok ? L"C:\\velmora" : c.data.substr(0, c.cb / 2);
        EXPECT_EQ(expected.c_str(), std::wstring(out)) << c.what;
    }
}
