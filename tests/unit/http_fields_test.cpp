// The pure parts of the HTTP exchanges: URL split, number reading, range
// replies, strong entity tags, Retry-After, and the retry rule.
#include <gtest/gtest.h>
#include <cstring>
#include "install/DecimalText.h"
#include "install/HttpRequest.h"
#include "install/NetPolicy.h"
#include <string>

TEST(HttpUrl, SchemeHostObjectAndPort) {
    struct Case { const wchar_t* url; BOOL ok; const wchar_t* host; const wchar_t* object; int port; } cases[] = {
        {L"http://update.example/apis/x.json?versionCode=1&osVersion=6", TRUE, L"update.example",
         L"apis/x.json?versionCode=1&osVersion=6", 80},
        {L"HTTP://Host.Example/a", TRUE, L"Host.Example", L"a", 80},
        {L"hTtP://h", TRUE, L"h", L"", 80},                      // no "/": empty object
        {L"http://h/", TRUE, L"h", L"", 80},
        {L"http://h:8080/a/b?c=d:e/f", TRUE, L"h", L"a/b?c=d:e/f", 8080},
        {L"http://h:1/", TRUE, L"h", L"", 1},
        {L"http://h:65535", TRUE, L"h", L"", 65535},
        {L"http://h?q=1", TRUE, L"h", L"?q=1", 80},                // the query alone
        {L"http://h/a/b#frag", TRUE, L"h", L"a/b", 80},            // the fragment is dropped
        {L"http://h#frag/x", TRUE, L"h", L"", 80},
        {L"http://h:81#x", TRUE, L"h", L"", 81},
        // Strictly: a port of 1 to 65535 in digits alone, no user information,
        // nothing outside printable ASCII.
        {L"http://h: +81/", FALSE, nullptr, nullptr, 0},
        {L"http://h:81x/", FALSE, nullptr, nullptr, 0},
        {L"http://h:80abc/", FALSE, nullptr, nullptr, 0},
        {L"http://h:/", FALSE, nullptr, nullptr, 0},
        {L"http://h:0/", FALSE, nullptr, nullptr, 0},
        {L"http://h:65616/", FALSE, nullptr, nullptr, 0},
        {L"http://h:99999999999/", FALSE, nullptr, nullptr, 0},
        {L"http://user:pass@h/a", FALSE, nullptr, nullptr, 0},
        {L"http://h@evil.example/a", FALSE, nullptr, nullptr, 0},
        {L"http://h/a b", FALSE, nullptr, nullptr, 0},
        {L"http://h/a\r\nX-Injected: 1", FALSE, nullptr, nullptr, 0},
        {L"http://h/a\tb", FALSE, nullptr, nullptr, 0},
        {L"http://h/\x5B89.exe", FALSE, nullptr, nullptr, 0},
        {L"http://h/a@b", TRUE, L"h", L"a@b", 80},                 // "@" in the path is no user information
        {L"https://h/a", TRUE, L"h", L"a", 443},
        {L"HTTPS://cdn.example:8443/p.exe?sig=x", TRUE, L"cdn.example", L"p.exe?sig=x", 8443},
        {L"https://user@h/a", FALSE, nullptr, nullptr, 0},
        {L"https:/h/a", FALSE, nullptr, nullptr, 0},
        {L"httpss://h/a", FALSE, nullptr, nullptr, 0},
        {L"http:/h/a", FALSE, nullptr, nullptr, 0},
        {L"http:", FALSE, nullptr, nullptr, 0},
        {L"", FALSE, nullptr, nullptr, 0},
        {L"ftp://h/a", FALSE, nullptr, nullptr, 0},
        {L"http:///a", FALSE, nullptr, nullptr, 0},                                   // empty host
        {L"http://:80/a", FALSE, nullptr, nullptr, 0},
    };
    for (const Case& c : cases) {
        CUrlParts parts;
        const BOOL ok = SplitUrl(c.url, &parts);
        EXPECT_EQ(c.ok, ok) << c.url;
        if (!c.ok || !ok) continue;
        EXPECT_STREQ(c.host, parts.szHost) << c.url;
        EXPECT_STREQ(c.object, parts.szObject) << c.url;
        EXPECT_EQ(c.port, parts.nPort) << c.url;
        EXPECT_EQ(_wcsnicmp(c.url, L"https://", 8) == 0, !!parts.bSecure) << c.url;
    }
}

TEST(HttpUrl, PartsThatDoNotFitFail) {
    wchar_t host[kHostChars], object[kUrlChars];
    INTERNET_PORT port;
    const std::wstring host259(259, L'h'), object2047(2047, L'o');
    EXPECT_TRUE(SplitHttpUrl((host259 + L"/" + object2047).c_str(), host, object, &port));
    EXPECT_EQ(host259, host);
    EXPECT_EQ(object2047, object);
    EXPECT_FALSE(SplitHttpUrl((host259 + L"h/a").c_str(), host, object, &port));
    EXPECT_FALSE(SplitHttpUrl((L"h/" + object2047 + L"o").c_str(), host, object, &port));
    // The port is not part of the host text.
    EXPECT_TRUE(SplitHttpUrl((host259 + L":8080/a").c_str(), host, object, &port));
    EXPECT_EQ(host259, host);
    EXPECT_EQ(8080, port);
}

TEST(HttpUrl, RedirectLocationsResolveAgainstTheUrlTheyAnswered) {
    const wchar_t base[] = L"http://vendor.example:8080/download/setup.exe?x=1";
    struct Case { const wchar_t* location; const wchar_t* url; } cases[] = {
        {L"https://cdn.example/p/setup.exe?sig=abc", L"https://cdn.example/p/setup.exe?sig=abc"},
        {L"HTTP://Other.example/a", L"HTTP://Other.example/a"},
        {L"//mirror.example/a", L"http://mirror.example/a"},   // base's scheme
        {L"/mirror/setup.exe", L"http://vendor.example:8080/mirror/setup.exe"},
        {L"setup2.exe", L"http://vendor.example:8080/download/setup2.exe"},
        {L"?x=2", L"http://vendor.example:8080/download/?x=2"},
        {L"", nullptr},
        {L"ftp://files.example/a", L"http://vendor.example:8080/download/ftp://files.example/a"},  // SplitUrl refuses
    };
    for (const Case& c : cases) {
        wchar_t url[kUrlChars] = L"?";
        EXPECT_EQ(c.url != nullptr, !!ResolveLocation(base, c.location, url)) << c.location;
        if (c.url) {
            EXPECT_STREQ(c.url, url) << c.location;
        }
    }
    wchar_t url[kUrlChars];
    ASSERT_TRUE(ResolveLocation(L"https://h", L"a.exe", url));
    EXPECT_STREQ(L"https://h/a.exe", url) << "a base without a path";
    ASSERT_TRUE(ResolveLocation(L"https://h?q", L"/a.exe", url));
    EXPECT_STREQ(L"https://h/a.exe", url);
    // A signed mirror URL runs long, but not without end.
    const std::wstring longUrl = L"https://m.example/" + std::wstring(kUrlChars - 19, L's');
    EXPECT_TRUE(ResolveLocation(base, longUrl.c_str(), url));
    EXPECT_FALSE(ResolveLocation(base, (longUrl + L"s").c_str(), url));
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

TEST(ContentRange, FirstByteAndTotal) {
    struct Case { const wchar_t* value; BOOL ok; ULONGLONG first, total; } cases[] = {
        {L"bytes 4000000-9999999/10000000", TRUE, 4000000, 10000000},
        {L"bytes 0-0/1", TRUE, 0, 1},
        {L"bytes */100", TRUE, 100, 100},  // a 416's: no byte of the range exists
        {L"bytes 5-4/100", FALSE, 0, 0},
        {L"bytes 0-100/100", FALSE, 0, 0},
        {L"bytes 0-9/*", FALSE, 0, 0},
        {L"bytes 0-9", FALSE, 0, 0},
        {L"items 0-1/2", FALSE, 0, 0},
        {L"bytes 99999999999999999999-1/2", FALSE, 0, 0},
    };
    for (const Case& c : cases) {
        ULONGLONG first = 7, total = 7;
        EXPECT_EQ(c.ok, ReadContentRange(c.value, &first, &total)) << c.value;
        if (!c.ok) continue;
        EXPECT_EQ(c.first, first) << c.value;
        EXPECT_EQ(c.total, total) << c.value;
    }
}

TEST(ETagName, OnlyStrongTagsKeyAPartialFile) {
    const std::wstring long127(127, L'e'), long128(128, L'e');
    struct Case { std::wstring value; const wchar_t* etag; } cases[] = {
        {L"\"5f3a-989680\"", L"5f3a-989680"},
        {L"W/\"weak\"", L""},                  // a weak tag does not promise the same bytes
        {L"w/\"weak\"", L""},
        {L"\"" + long127 + L"\"", nullptr},    // filled in below
        {L"\"" + long128 + L"\"", L""},
        {L"\"open", L""},
        {L"none", L""},
        {L"\"\"", L""},
        {L"\"a\"b\"", L""},
        {L"", L""},
    };
    for (const Case& c : cases) {
        wchar_t etag[kETagChars] = L"?";
        const std::wstring expected = c.etag ? c.etag : long127;
        EXPECT_EQ(!expected.empty(), !!ParseStrongETag(c.value.c_str(), etag)) << c.value;
        EXPECT_EQ(expected, etag) << c.value;
    }
}

TEST(RetryAfter, SecondsInDigitsAloneOtherwiseTheOwnBackOff) {
    struct Case { const wchar_t* value; DWORD seconds; } cases[] = {
        {L"120", 120},
        {L"1", 1},
        {L"0", 0},
        {L"007", 7},
        {L"2147483647", 2147483647},
        {L"2147483648", 0},                    // beyond the 32-bit range: none
        {L"99999999999999999999999999", 0},
        {L"Wed, 21 Oct 2015 07:28:00 GMT", 0},  // a date
        {L" 120", 0},
        {L"120 ", 0},
        {L"+120", 0},
        {L"-1", 0},
        {L"12.5", 0},
        {L"", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(c.seconds, ReadRetryAfter(c.value)) << c.value;
}

TEST(HtmlReply, WebPagesByTypeOrFirstByte) {
    for (const wchar_t* type : {L"text/html", L"TEXT/HTML", L" text/html ; charset=utf-8", L"text/html;q"})
        EXPECT_TRUE(IsHtmlContentType(type)) << type;
    for (const wchar_t* type : {L"", L"application/json", L"text/htmlx", L"text/plain; x=text/html",
                                L"application/octet-stream", L"application/xhtml"})
        EXPECT_FALSE(IsHtmlContentType(type)) << type;
    struct Case { const char* body; bool html; } cases[] = {
        {"<html>", true}, {" \r\n\t<!DOCTYPE html>", true}, {"\xEF\xBB\xBF<p>", true},
        {"{\"code\":100}", false}, {"MZ\x90", false}, {"", false}, {"   ", false}, {"\xEF\xBB", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.html, !!IsHtmlBody(reinterpret_cast<const BYTE*>(c.body), static_cast<DWORD>(strlen(c.body))))
            << c.body;
}

TEST(RetryRule, BusyStatusesAndWaits) {
    for (int status : {408, 429, 500, 502, 503, 504}) EXPECT_TRUE(IsTransientStatus(status)) << status;
    for (int status : {0, 200, 206, 301, 400, 403, 404, 416, 501, 505}) EXPECT_FALSE(IsTransientStatus(status)) << status;

    const CNetTimings real = {15000, 30000, 30000, 30000, 1000, 60000};
    const DWORD none = 512;
    for (int n = 0; n < 5; ++n) {
        const DWORD base = 1000u << n;  // 1, 2, 4, 8, 16 s
        EXPECT_EQ(base, RetryDelayMs(real, n, 0, none)) << n;
        EXPECT_EQ(base * 3 / 4, RetryDelayMs(real, n, 0, 0)) << n;
        EXPECT_NEAR(base * 5 / 4, RetryDelayMs(real, n, 0, 1023), base / 256 + 1) << n;
    }
    EXPECT_EQ(3000u, RetryDelayMs(real, 4, 3, 0)) << "Retry-After wins, without jitter";
    EXPECT_EQ(60000u, RetryDelayMs(real, 0, 3600, none)) << "capped at a minute";
    const CNetTimings fast = {750, 1500, 1500, 1500, 50, 3000};  // at 5 %
    EXPECT_EQ(150u, RetryDelayMs(fast, 0, 3, none));
    EXPECT_EQ(800u, RetryDelayMs(fast, 4, 0, none));
}
