// Which entity tags may name a partial file, where it goes, and which file
// names are partial files of which tag.
#include <gtest/gtest.h>
#include "install/FileNames.h"
#include <string>

TEST(ETagName, OnlyPlainFileNamesKeyAPartialFile) {
    const wchar_t* unsafe[] = {
        L"../x", L"..\\x", L"a\\b", L"a/b", L"C:x", L"x.", L"..", L".", L"x ", L"a*b", L"a?b", L"a<b", L"a|b",
        L"tab\there", L"CON", L"con", L"NUL", L"nul.txt", L"CON .gz", L"PRN", L"AUX", L"COM1", L"lpt9",
        L"CONIN$", L"COM\x00B9", L"",
    };
    for (const wchar_t* name : unsafe) EXPECT_FALSE(IsPlainFileName(name)) << name;
    const wchar_t* safe[] = {L"5f3a-989680", L"x.y", L".hidden", L"COM10", L"CONSOLE", L"LPT", L"a b", L"\x4e2d"};
    for (const wchar_t* name : safe) EXPECT_TRUE(IsPlainFileName(name)) << name;
}

TEST(PartialPath, BesideThePackageNamedByTheTag) {
    wchar_t partial[260] = L"?";
    EXPECT_TRUE(MakePartialPath(L"C:\\d\\CorvaneVelmora\\velmora.exe", L"tag", partial));
    EXPECT_STREQ(L"C:\\d\\CorvaneVelmora\\tag.partial", partial);
    EXPECT_TRUE(MakePartialPath(L"C:/d/velmora.exe", L"tag", partial));
    EXPECT_STREQ(L"C:/d\\tag.partial", partial);
    EXPECT_FALSE(MakePartialPath(L"velmora.exe", L"tag", partial));
    for (const wchar_t* unsafe : {L"../x", L"a\\b", L"CON", L"x:y", L"a*", L""})
        EXPECT_FALSE(MakePartialPath(L"C:\\d\\velmora.exe", unsafe, partial)) << unsafe;
    const std::wstring deep = L"C:\\" + std::wstring(240, L'd') + L"\\velmora.exe";
    EXPECT_FALSE(MakePartialPath(deep.c_str(), L"0123456789", partial));
}

TEST(PartialFileTag, OnlyTheNamesMakePartialPathGives) {
    struct Case {
        const wchar_t* name;
        const wchar_t* tag;  // nullptr: not a partial file
    } cases[] = {
        {L"5f3a-989680.partial", L"5f3a-989680"}, {L"x.y.partial", L"x.y"}, {L".partial", nullptr},
        {L"tag.partial ", nullptr},               {L"tag.PARTIAL", nullptr}, {L"tag.partial.old", nullptr},
        {L"CON.partial", nullptr},                {L"a\\b.partial", nullptr}, {L"velmora.exe", nullptr},
        {L"", nullptr},
    };
    for (const Case& c : cases) {
        wchar_t tag[16] = L"?";
        EXPECT_EQ(c.tag != nullptr, !!PartialFileTag(c.name, tag, 16)) << c.name;
        EXPECT_STREQ(c.tag ? c.tag : L"", tag) << c.name;
    }
    // A tag that does not fit is no tag at all, never a cut-off one.
    const std::wstring longName = std::wstring(16, L't') + L".partial";
    wchar_t tag[16] = L"?";
    EXPECT_FALSE(PartialFileTag(longName.c_str(), tag, 16));
    EXPECT_STREQ(L"", tag);
}
