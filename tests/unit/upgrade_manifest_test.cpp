// Which manifest documents name a package, and what a signed one must say.
#include <gtest/gtest.h>
#include "install/UpgradeManifest.h"
#include <string>

namespace {

const char kGood[] = R"({"code":100,"result":{"version":"3.2.1","versionCode":321,"downloadUrl":"http://cdn.example/v.exe"}})";

std::string WithCode(const std::string& code) {
    return R"({"code":)" + code + R"(,"result":{"version":"1","versionCode":1,"downloadUrl":"http://d/p.exe"}})";
}

std::string WithResult(const std::string& result) { return R"({"code":100,"result":)" + result + "}"; }

}  // namespace

TEST(UpgradeManifest, AcceptedAndRejectedDocuments) {
    struct Case { std::string doc; bool ok; } cases[] = {
        {kGood, true},
        // "code": an integer within 32 bits, or a string read as a leading decimal number.
        {WithCode("100"), true},
        {WithCode("\"100\""), true},
        {WithCode("\" 100\""), true},
        {WithCode("\"100abc\""), true},
        {WithCode("\"+100\""), true},
        {WithCode("100.0"), false},
        {WithCode("1e2"), false},
        {WithCode("true"), false},
        {WithCode("null"), false},
        {WithCode("\"0x64\""), false},
        {WithCode("\"abc\""), false},
        {WithCode("\"\""), false},
        {WithCode("\"4294967396\""), false},   // out of range counts as 0, not as 100 modulo 2^32
        {WithCode("4294967396"), false},
        {WithCode("101"), false},
        {WithCode("[100]"), false},
        {WithCode("{\"v\":100}"), false},
        {R"({"result":{"version":"1","versionCode":1,"downloadUrl":"http://d/p.exe"}})", false},
        // "result": an object with version, versionCode and a non-empty string downloadUrl.
        {R"({"code":100})", false},
        {WithResult("null"), false},
        {WithResult("[]"), false},
        {WithResult("\"http://d/p.exe\""), false},
        {WithResult(R"({"versionCode":1,"downloadUrl":"http://d/p.exe"})"), false},
        {WithResult(R"({"version":"1","downloadUrl":"http://d/p.exe"})"), false},
        {WithResult(R"({"version":null,"versionCode":null,"downloadUrl":"http://d/p.exe"})"), true},
        {WithResult(R"({"version":"1","versionCode":1})"), false},
        {WithResult(R"({"version":"1","versionCode":1,"downloadUrl":""})"), false},
        {WithResult(R"({"version":"1","versionCode":1,"downloadUrl":7})"), false},
        {WithResult(R"({"version":"1","versionCode":1,"downloadUrl":null})"), false},
        // A NUL ends the URL as it ends a C string: one first leaves it empty.
        {WithResult(R"({"version":"1","versionCode":1,"downloadUrl":"\u0000http://d/p.exe"})"), false},
        {WithResult(std::string(R"({"version":"1","versionCode":1,"downloadUrl":")") + '\0' + R"(http://d/p.exe"})"),
         false},
        {WithResult(R"({"version":"1","versionCode":1,"downloadUrl":"http://d/p.exe\u0000tail"})"), true},
        // Parser settings: comments, first value only, no UTF-8 validation, object at the top.
        {"// manifest\n/* v2 */ " + std::string(kGood) + " // end", true},
        {std::string(kGood) + " trailing garbage {", true},
        {std::string(kGood) + std::string(kGood), true},
        {"\xB0\xB2\xD7\xB0" + std::string(kGood), false},
        {"{\"code\":100,\"note\":\"\xB0\xB2\xD7\xB0\xFF\",\"result\":" + std::string(R"({"version":"1","versionCode":1,"downloadUrl":"http://d/p.exe"}})"), true},
        {"[" + std::string(kGood) + "]", false},
        {"\"" + std::string("http://d/p.exe") + "\"", false},
        {"100", false},
        {"", false},
        {"{\"code\":100,", false},
        {R"({"code":100,"code":101,"result":{"version":"1","versionCode":1,"downloadUrl":"http://d/p.exe"}})", false},
        {R"({"code":101,"code":100,"result":{"version":"1","versionCode":1,"downloadUrl":"http://d/p.exe"}})", true},
        // A repeated result counts as a whole, the last one.
        {R"({"code":100,"result":{"version":"1","versionCode":1,"downloadUrl":"http://d/p.exe"},"result":{"version":"1"}})",
         false},
        {R"({"code":100,"result":{"version":"1"},"result":{"version":"1","versionCode":1,"downloadUrl":"http://d/p.exe"}})",
         true},
        {R"({"code":100,"other":{"code":101},"result":{"version":"1","versionCode":1,"downloadUrl":"http://d/p.exe"}})",
         true},
        // Raw control characters inside strings, as the manifests' own parser takes them.
        {"{\"code\":100,\"msg\":\"line one\nline\ttwo\r\",\"result\":" +
             std::string(R"({"version":"1","versionCode":1,"downloadUrl":"http://d/p.exe"}})"), true},
        {"{\"code\":100, /* \"quoted\n */ \"result\":" +
             std::string(R"({"version":"1","versionCode":1,"downloadUrl":"http://d/p.exe"}})"), true},
        {"{\"code\":100,\n\t\"result\":\t{\"version\":\"1\x01\",\"versionCode\":1,\"downloadUrl\":\"http://d/p.exe\"}}",
         true},
        {"{\"code\":\n100\n}", false},  // still no result
    };
    for (const Case& c : cases) {
        CManifestFields fields;
        strcpy(fields.szUrl, "untouched");
        EXPECT_EQ(c.ok, !!ReadUpgradeManifest(c.doc.data(), c.doc.size(), &fields)) << c.doc;
        if (!c.ok) {
            EXPECT_STREQ("untouched", fields.szUrl) << c.doc;
        }
    }
    CManifestFields fields;
    ASSERT_TRUE(ReadUpgradeManifest(kGood, strlen(kGood), &fields));
    EXPECT_STREQ("http://cdn.example/v.exe", fields.szUrl);
    EXPECT_FALSE(fields.package.bSize || fields.package.bSha256 || fields.bExpires || fields.bInstalledSize)
        << "none given";
}

TEST(UpgradeManifest, WhatItSaysOfThePackage) {
    const std::string sha = "00112233445566778899aabbccddeeff00112233445566778899AABBCCDDEEFF";
    auto doc = [](const std::string& members) {
        return R"({"code":100,"result":{"version":"1","versionCode":1,"downloadUrl":"http://d/p.exe")" + members +
               "}}";
    };
    struct Case { std::string members; bool ok; } cases[] = {
        {R"(,"size":1929839,"sha256":")" + sha + R"(","installedSize":"52428800","expires":1893456000)", true},
        {R"(,"size":"1929839")", true},
        {R"(,"size":-1)", false},
        {R"(,"size":1.5)", false},
        {R"(,"size":"12a")", false},
        {R"(,"size":"")", false},
        {R"(,"sha256":")" + sha.substr(1) + "\"", false},    // 63 digits
        {R"(,"sha256":")" + sha + "0\"", false},             // 65
        {R"(,"sha256":")" + sha.substr(2) + "zz\"", false},  // not hex
        {R"(,"sha256":42)", false},
        {R"(,"expires":"soon")", false},
        // As the parser reads numbers: "-0" is 0, up to 2^64 - 1 counts, beyond is no count.
        {R"(,"size":-0)", true},
        {R"(,"size":18446744073709551615)", true},
        {R"(,"size":18446744073709551616)", false},
        {R"(,"size":1e3)", false},
        {R"(,"size":true)", false},
        {R"(,"size":{"bytes":5})", false},
        // A repeated member counts with its last value; members of nested objects not at all.
        {R"(,"size":"abc","size":5)", true},
        {R"(,"size":5,"size":"abc")", false},
        {R"(,"extra":{"size":"abc","sha256":1})", true},
    };
    for (const Case& c : cases) {
        CManifestFields fields;
        EXPECT_EQ(c.ok, !!ReadUpgradeManifest(doc(c.members).data(), doc(c.members).size(), &fields)) << c.members;
    }
    CManifestFields fields;
    ASSERT_TRUE(ReadUpgradeManifest(doc(cases[0].members).data(), doc(cases[0].members).size(), &fields));
    EXPECT_TRUE(fields.package.bSize);
    EXPECT_EQ(1929839u, fields.package.nSize);
    ASSERT_TRUE(fields.package.bSha256);
    EXPECT_EQ(0x00, fields.package.sha256[0]);
    EXPECT_EQ(0x11, fields.package.sha256[1]);
    EXPECT_EQ(0xFF, fields.package.sha256[31]);
    EXPECT_TRUE(fields.bInstalledSize);
    EXPECT_EQ(52428800u, fields.nInstalledSize);
    EXPECT_TRUE(fields.bExpires);
    EXPECT_EQ(1893456000, fields.nExpires);
}

TEST(UpgradeManifest, MirrorsAreUpToFourFurtherUrlsInTheirOrder) {
    auto doc = [](const std::string& members) {
        return R"({"code":100,"result":{"version":"1","versionCode":1,"downloadUrl":"http://d/p.exe")" + members +
               "}}";
    };
    struct Case { std::string members; int mirrors; } cases[] = {  // -1: the manifest is refused
        {"", 0},
        {R"(,"mirrors":[])", 0},
        {R"(,"mirrors":["http://m1/p.exe"])", 1},
        {R"(,"mirrors":["http://m1/p.exe","http://m2/p.exe","http://m3/p.exe","http://m4/p.exe"])", 4},
        {R"(,"mirrors":["http://m1/p.exe","http://m2/p.exe","http://m3/p.exe","http://m4/p.exe","http://m5/p.exe"])",
         -1},
        {R"(,"mirrors":"http://m1/p.exe")", -1},
        {R"(,"mirrors":null)", -1},
        {R"(,"mirrors":{"url":"http://m1/p.exe"})", -1},
        {R"(,"mirrors":["http://m1/p.exe",""])", -1},
        {R"(,"mirrors":["http://m1/p.exe",7])", -1},
        {R"(,"mirrors":[null])", -1},
        {R"(,"mirrors":[["http://m1/p.exe"]])", -1},
        {R"(,"mirrors":[{"url":"http://m1/p.exe"}])", -1},
        {R"(,"mirrors":[")" + std::string(2 * URL_CHARS, 'a') + R"("])", -1},
        // A repeated member counts with its last value; one in a nested object not at all.
        {R"(,"mirrors":[1],"mirrors":["http://m2/p.exe"])", 1},
        {R"(,"mirrors":["http://m1/p.exe"],"mirrors":[1])", -1},
        {R"(,"extra":{"mirrors":[1,2,3,4,5,6]})", 0},
        {R"(,"extra":[["a"],"b"],"mirrors":["http://m1/p.exe"])", 1},
    };
    for (const Case& c : cases) {
        CManifestFields fields;
        EXPECT_EQ(c.mirrors >= 0, !!ReadUpgradeManifest(doc(c.members).data(), doc(c.members).size(), &fields))
            << c.members;
        if (c.mirrors >= 0) {
            EXPECT_EQ(c.mirrors, fields.nMirrors) << c.members;
        }
    }
    CManifestFields fields;
    ASSERT_TRUE(ReadUpgradeManifest(doc(cases[3].members).data(), doc(cases[3].members).size(), &fields));
    EXPECT_STREQ("http://d/p.exe", fields.szUrl);
    EXPECT_STREQ("http://m1/p.exe", fields.szMirrors[0]);
    EXPECT_STREQ("http://m4/p.exe", fields.szMirrors[3]);
}

TEST(UpgradeManifest, ASignedManifestNamesThePackageAndHasNotExpired) {
    CUpgradeInfo info;
    info.package.bSize = info.package.bSha256 = TRUE;
    EXPECT_TRUE(IsSignedManifestComplete(info, 1000));
    info.bExpires = TRUE;
    info.nExpires = 1001;
    EXPECT_TRUE(IsSignedManifestComplete(info, 1000));
    EXPECT_FALSE(IsSignedManifestComplete(info, 1001)) << "expired";
    info.bExpires = FALSE;
    info.package.bSha256 = FALSE;
    EXPECT_FALSE(IsSignedManifestComplete(info, 1000)) << "no sha256";
    info.package.bSha256 = TRUE;
    info.package.bSize = FALSE;
    EXPECT_FALSE(IsSignedManifestComplete(info, 1000)) << "no size";
}
