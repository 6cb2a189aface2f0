// Which entity tags may name a partial file and where it goes, and the
// vendor server's addresses.
#include <gtest/gtest.h>
#include "install/Download.h"
#include "install/VendorServer.h"
#include "velmora_config.h"
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
    for (const wchar_t* unsafe : {L"../x", L"a\\b", L"CON", L"x:y", L"a*"})
        EXPECT_FALSE(MakePartialPath(L"C:\\d\\velmora.exe", unsafe, partial)) << unsafe;
    const std::wstring deep = L"C:\\" + std::wstring(240, L'd') + L"\\velmora.exe";
    EXPECT_FALSE(MakePartialPath(deep.c_str(), L"0123456789", partial));
}

TEST(VendorServer, AddressesFromTheBuildSettingUnlessATestPointsElsewhere) {
    // Test builds honour VELMORA_TEST_SERVER so that tests can run side by
    // side; whatever the runner set is put back afterwards.
    wchar_t saved[SERVER_CHARS] = {};
    const BOOL wasSet = ::GetEnvironmentVariableW(L"VELMORA_TEST_SERVER", saved, SERVER_CHARS) > 0;
    const struct {
        const wchar_t* env;
        std::wstring server;
    } cases[] = {{nullptr, L"http://" VELMORA_SERVER},
                 {L"127.0.0.1:9", L"http://127.0.0.1:9"},
                 {L"https://127.0.0.1:9", L"https://127.0.0.1:9"}};
    for (const auto& c : cases) {
        ::SetEnvironmentVariableW(L"VELMORA_TEST_SERVER", c.env);
        wchar_t url[URL_CHARS];
        ASSERT_TRUE(GetManifestUrl(6, url));
        EXPECT_EQ(c.server + L"/apis/client/v1.0/client-upgrade.json?versionCode=1&osVersion=6", url);
        ASSERT_TRUE(GetLicenseUrl(url));
        EXPECT_EQ(c.server + L"/agreement.html", url);
    }
    ::SetEnvironmentVariableW(L"VELMORA_TEST_SERVER", wasSet ? saved : nullptr);
}

