// The staging folder's path and which security keeps it to administrators.
#include <gtest/gtest.h>
#include "install/StagingFolder.h"
#include <sddl.h>
#include <string>

TEST(StagingFolder, AppendsOneSeparatorOrEmptiesWhenItDoesNotFit) {
    const std::wstring longBase = L"C:\\" + std::wstring(259 - 3 - 16, L'd');  // exactly fits with the subfolder
    struct Case { std::wstring base; const wchar_t* expected; BOOL ok; } cases[] = {
        {L"C:\\ProgramData", L"C:\\ProgramData\\CorvaneVelmora\\", TRUE},
        {L"C:\\ProgramData\\", L"C:\\ProgramData\\CorvaneVelmora\\", TRUE},
        {L"D:\\", L"D:\\CorvaneVelmora\\", TRUE},
        {L"", L"", FALSE},
        {longBase, nullptr, TRUE},
        {longBase + L"x", L"", FALSE},
    };
    for (const Case& c : cases) {
        wchar_t buf[260] = {};
        wcsncpy_s(buf, 260, c.base.c_str(), _TRUNCATE);
        EXPECT_EQ(c.ok, MakeStagingFolderPath(buf)) << c.base.size();
        const std::wstring expected = c.expected ? c.expected : c.base + L"\\CorvaneVelmora\\";
        EXPECT_EQ(expected, buf);
    }
}

TEST(StagingFolder, OnlyAdministratorsMayChangeIt) {
    struct Case { const wchar_t* sddl; bool trusted; } cases[] = {
        {L"O:BAG:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", true},  // as the installer makes it
        {L"O:SYD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FR;;;BU)", true},  // users may read
        {L"O:BAD:P(A;OICI;FA;;;BA)(D;OICI;FA;;;WD)", true},
        {L"O:BUD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", false},  // owned by a user: the owner may change the DACL
        {L"O:BAD:(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", false},   // not protected: ProgramData's entries flow in
        {L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;0x100116;;;BU)", false},  // users may create and write files
        {L"O:BAD:P(A;OICI;FA;;;BA)(A;;GA;;;WD)", false},
        {L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;SD;;;AU)", false},      // delete
        {L"O:BAD:P(A;OICI;FA;;;BA)(A;OICI;WD;;;CO)", false},      // write the DACL
        {L"O:BA", false},                                          // no DACL: anyone may do anything
        {L"O:BAD:NO_ACCESS_CONTROL", false},
    };
    for (const Case& c : cases) {
        PSECURITY_DESCRIPTOR sd = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(c.sddl, SDDL_REVISION_1, &sd, nullptr))
            << c.sddl;
        EXPECT_EQ(c.trusted, !!IsAdminOnlySecurity(sd)) << c.sddl;
        LocalFree(sd);
    }
    EXPECT_FALSE(IsAdminOnlySecurity(nullptr));
}
