// The pure parts of the HTTP exchanges: URL split, number reading, range
// replies, and which entity tags may name a partial file.
#include <gtest/gtest.h>
#include "install/DecimalText.h"
#include "install/Download.h"
#include "install/HttpRequest.h"
#include "install/VendorServer.h"
#include "velmora_config.h"
#include <string>

TEST(HttpUrl, SchemeHostObjectAndPort) {
    struct Case { const wchar_t* url; BOOL ok; const wchar_t* host; const wchar_t* object; int port; } cases[] = {
        {L"http://update.example/apis/x.json?versionCode=1&osVersion=6", TRUE, L"update.example",
         L"apis/x.json?versionCode=1&osVersion=6", 80},
        {L"HTTP://Host.Example/a", TRUE, L"Host.Example", L"a", 80},
        {L"hTtP://h", TRUE, L"h", L"", 80},                      // no "/": empty object
        {L"http://h/", TRUE, L"h", L"", 80},
        {L"http://h:8080/a/b?c=d:e/f", TRUE, L"h", L"a/b?c=d:e/f", 8080},
        {L"http://h: +81/", TRUE, L"h", L"", 81},                // blanks and sign before the digits
        {L"http://h:81x/", TRUE, L"h", L"", 81},
        {L"http://h:/", TRUE, L"h", L"", 0},                     // no digits
        {L"http://h:65617/", TRUE, L"h", L"", 81},               // low 16 bits
        {L"http://h:99999999999/", TRUE, L"h", L"", 0},          // out of range
        {L"https://h/a", FALSE, nullptr, nullptr, 0},
        {L"http:/h/a", FALSE, nullptr, nullptr, 0},
        {L"http:", FALSE, nullptr, nullptr, 0},
        {L"", FALSE, nullptr, nullptr, 0},
        {L"ftp://h/a", FALSE, nullptr, nullptr, 0},
        {L"http:///a", FALSE, nullptr, nullptr, 0},                                   // empty host
        {L"http://:80/a", FALSE, nullptr, nullptr, 0},
    };
    for (const Case& c : cases) {
        wchar_t host[260] = L"?", object[512] = L"?";
        INTERNET_PORT port = 1;
        const BOOL ok = IsHttpUrl(c.url) && SplitHttpUrl(c.url + 7, host, object, &port);
        EXPECT_EQ(c.ok, ok) << c.url;
        if (!c.ok || !ok) continue;
        EXPECT_STREQ(c.host, host) << c.url;
        EXPECT_STREQ(c.object, object) << c.url;
        EXPECT_EQ(c.port, port) << c.url;
    }
}

TEST(HttpUrl, PartsThatDoNotFitFail) {
    wchar_t host[260], object[512];
    INTERNET_PORT port;
    const std::wstring host259(259, L'h'), object511(511, L'o');
    EXPECT_TRUE(SplitHttpUrl((host259 + L"/" + object511).c_str(), host, object, &port));
    EXPECT_EQ(host259, host);
    EXPECT_EQ(object511, object);
    EXPECT_FALSE(SplitHttpUrl((host259 + L"h/a").c_str(), host, object, &port));
    EXPECT_FALSE(SplitHttpUrl((L"h/" + object511 + L"o").c_str(), host, object, &port));
    // The port counts as part of the host text.
    EXPECT_FALSE(SplitHttpUrl((std::wstring(255, L'h') + L":8080/a").c_str(), host, object, &port));
}

TEST(ReadLeadingInt, BlanksSignDigitsRestIgnored) {
    struct Case { const char* text; int value; } cases[] = {
        {"100", 100}, {" 100", 100}, {"\t\r\n100", 100}, {"100abc", 100}, {"+100", 100}, {"-100", -100},
        {"0x64", 0}, {"abc", 0}, {"", 0}, {"- 1", 0}, {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1},
        {"2147483648", 0}, {"-2147483649", 0}, {"00000000000000000000100", 100}, {"99999999999999999999999", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.value, ReadLeadingInt(c.text)) << c.text;
        const std::wstring wide(c.text, c.text + strlen(c.text));
        EXPECT_EQ(c.value, ReadLeadingInt(wide.c_str())) << c.text;
    }
}

TEST(ContentRange, StartOfTheRange) {
    ULONGLONG first = 7;
    EXPECT_TRUE(ReadContentRangeStart(L"bytes 4000000-9999999/10000000", &first));
    EXPECT_EQ(4000000u, first);
    EXPECT_TRUE(ReadContentRangeStart(L"bytes 0-0/1", &first));
    EXPECT_EQ(0u, first);
    EXPECT_FALSE(ReadContentRangeStart(L"bytes */100", &first));
    EXPECT_FALSE(ReadContentRangeStart(L"items 0-1/2", &first));
    EXPECT_FALSE(ReadContentRangeStart(L"bytes 99999999999999999999-1/2", &first));
}

TEST(ETagName, OnlyPlainFileNamesBecomePartialFiles) {
    const std::string long127(127, 'e'), long128(128, 'e');
    struct Case { std::string headers; const wchar_t* etag; } cases[] = {
        {"HTTP/1.1 200 OK\r\nETag: \"5f3a-989680\"\r\n\r\n", L"5f3a-989680"},
        {"HTTP/1.1 200 OK\r\nETag: W/\"weak\"\r\n\r\n", L"weak"},
        {"HTTP/1.1 200 OK\r\nETag: \"" + long127 + "\"\r\n\r\n", nullptr},  // filled in below
        {"HTTP/1.1 200 OK\r\nETag: \"" + long128 + "\"\r\n\r\n", L""},
        {"HTTP/1.1 200 OK\r\nETag: \"" + long128 + long128 + "\"\r\n\r\n", L""},
        {"HTTP/1.1 200 OK\r\netag: \"lower\"\r\n\r\n", L""},                 // the search is case-sensitive
        {"HTTP/1.1 200 OK\r\nETag: \"open\r\n\r\n", L""},
        {"HTTP/1.1 200 OK\r\nETag: none\r\n\r\n", L""},
        {"HTTP/1.1 200 OK\r\nETag: \"\"\r\n\r\n", L""},
        {"", L""},
    };
    for (const Case& c : cases) {
        wchar_t etag[kETagChars] = L"?";
        const std::wstring expected = c.etag ? c.etag : std::wstring(long127.begin(), long127.end());
        EXPECT_EQ(!expected.empty(), !!ExtractETag(c.headers.c_str(), etag)) << c.headers;
        EXPECT_EQ(expected, etag) << c.headers;
    }

    const wchar_t* unsafe[] = {
        L"../x", L"..\\x", L"a\\b", L"a/b", L"C:x", L"x.", L"..", L".", L"x ", L"a*b", L"a?b", L"a<b", L"a|b",
        L"tab\there", L"CON", L"con", L"NUL", L"nul.txt", L"CON .gz", L"PRN", L"AUX", L"COM1", L"lpt9",
        L"CONIN$", L"COM\x00B9", L"",
    };
    for (const wchar_t* name : unsafe) EXPECT_FALSE(IsPlainFileName(name)) << name;
    const wchar_t* safe[] = {L"5f3a-989680", L"x.y", L".hidden", L"COM10", L"CONSOLE", L"LPT", L"a b", L"\x4e2d"};
    for (const wchar_t* name : safe) EXPECT_TRUE(IsPlainFileName(name)) << name;
}

TEST(PartialPath, BesideThePackage) {
    wchar_t partial[260] = L"?";
    EXPECT_TRUE(MakePartialPath(L"C:\\d\\CorvaneVelmora\\velmora.exe", L"tag", partial));
    EXPECT_STREQ(L"C:\\d\\CorvaneVelmora\\tag", partial);
    EXPECT_TRUE(MakePartialPath(L"C:/d/velmora.exe", L"tag", partial));
    EXPECT_STREQ(L"C:/d\\tag", partial);
    EXPECT_FALSE(MakePartialPath(L"velmora.exe", L"tag", partial));
    const std::wstring deep = L"C:\\" + std::wstring(250, L'd') + L"\\velmora.exe";
    EXPECT_FALSE(MakePartialPath(deep.c_str(), L"0123456789", partial));
}

TEST(VendorServer, AddressesFromTheBuildSetting) {
    wchar_t url[URL_CHARS];
    ASSERT_TRUE(GetManifestUrl(6, url));
    EXPECT_EQ(std::wstring(L"http://") + VELMORA_SERVER +
                  L"/apis/client/v1.0/client-upgrade.json?versionCode=1&osVersion=6", url);
    ASSERT_TRUE(GetLicenseUrl(url));
    EXPECT_EQ(std::wstring(L"http://") + VELMORA_SERVER + L"/agreement.html", url);
}
