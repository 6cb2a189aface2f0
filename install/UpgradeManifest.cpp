#include "install/UpgradeManifest.h"
#include "install/DecimalText.h"
#include "install/HttpText.h"
#include "install/VendorServer.h"
// RapidJSON's iterators derive from std::iterator, deprecated in C++17.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <rapidjson/document.h>
#pragma GCC diagnostic pop
#include <cstring>

namespace {

// Code page the manifest's JSON is read in.
const UINT kManifestCodePage = 936;

// A repeated key counts with its last value.
const rapidjson::Value* FindMember(const rapidjson::Value& object, const char* name) {
    const rapidjson::Value* found = nullptr;
    const size_t len = strlen(name);
    for (auto it = object.MemberBegin(); it != object.MemberEnd(); ++it) {
        if (it->name.GetStringLength() == len && memcmp(it->name.GetString(), name, len) == 0)
            found = &it->value;
    }
    return found;
}

BOOL IsCode100(const rapidjson::Value& code) {
    if (code.IsInt()) return code.GetInt() == 100;
    if (code.IsString()) return ReadLeadingInt(code.GetString()) == 100;
    return FALSE;
}

}  // namespace

BOOL ReadUpgradeManifest(const char* document, size_t length, std::string* downloadUrl) {
    try {
        rapidjson::Document root;
        root.Parse<rapidjson::kParseCommentsFlag | rapidjson::kParseStopWhenDoneFlag>(document, length);
        if (root.HasParseError() || !root.IsObject()) return FALSE;

        const rapidjson::Value* code = FindMember(root, "code");
        if (!code || !IsCode100(*code)) return FALSE;

        const rapidjson::Value* result = FindMember(root, "result");
        if (!result || !result->IsObject()) return FALSE;
        if (!FindMember(*result, "versionCode") || !FindMember(*result, "version")) return FALSE;
        const rapidjson::Value* url = FindMember(*result, "downloadUrl");
        if (!url || !url->IsString() || url->GetStringLength() == 0) return FALSE;

        downloadUrl->assign(url->GetString(), url->GetStringLength());
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

BOOL ExtractDownloadUrl(const wchar_t* replyText, wchar_t (&url)[URL_CHARS]) {
    try {
        const int cb = ::WideCharToMultiByte(kManifestCodePage, 0, replyText, -1, nullptr, 0, nullptr, nullptr);
        if (cb <= 0) return FALSE;
        std::string document(static_cast<size_t>(cb), '\0');
        ::WideCharToMultiByte(kManifestCodePage, 0, replyText, -1, &document[0], cb, nullptr, nullptr);
        document.resize(strlen(document.c_str()));

        std::string bytes;
        if (!ReadUpgradeManifest(document.data(), document.size(), &bytes)) return FALSE;

        // The URL as a C string: a NUL inside it ends it. Converted apart, so
        // that a URL too long for url leaves it untouched.
        wchar_t text[URL_CHARS];
        const int cch = ::MultiByteToWideChar(kManifestCodePage, 0, bytes.c_str(), -1, text, URL_CHARS);
        if (cch <= 1) return FALSE;  // empty, or would be cut off
        return CopyWhole(url, text);
    } catch (...) {
        return FALSE;
    }
}

BOOL QueryDownloadUrl(DWORD osMajorVersion, wchar_t (&url)[URL_CHARS]) {
    wchar_t request[URL_CHARS];
    if (!GetManifestUrl(osMajorVersion, request)) return FALSE;
    wchar_t reply[kHttpTextChars] = {};
    if (!HttpGetText(request, reply)) return FALSE;
    return ExtractDownloadUrl(reply, url);
}
