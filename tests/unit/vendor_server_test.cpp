// The vendor server's addresses.
#include <gtest/gtest.h>
#include "install/VendorServer.h"
#include "velmora_config.h"
#include <string>

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

