#include "install/UpgradeManifest.h"
#include "framework/afxfile.h"
#include "install/DecimalText.h"
#include "install/HttpRequest.h"
#include "install/HttpText.h"
#include "install/InstallWorker.h"
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

// The document with every raw control character inside a string written as
// a \u escape. Manifests are written for a parser that takes such
// characters (a literal tab or line break in a string) and the JSON parser
// here does not; comments and escapes are followed so that only string
// contents change.
std::string EscapeRawControls(const char* document, size_t length) {
    std::string out;
    out.reserve(length);
    enum { TEXT, STRING, LINE_COMMENT, BLOCK_COMMENT } state = TEXT;
    for (size_t i = 0; i < length; ++i) {
        const char c = document[i];
        const char next = i + 1 < length ? document[i + 1] : '\0';
        switch (state) {
        case TEXT:
            if (c == '"') state = STRING;
            else if (c == '/' && next == '/') state = LINE_COMMENT;
            else if (c == '/' && next == '*') {
                out += "/*";
                ++i;
                state = BLOCK_COMMENT;
                continue;
            }
            break;
        case STRING:
            if (static_cast<unsigned char>(c) < 0x20) {
                static const char kHex[] = "0123456789abcdef";
                out += "\\u00";
                out += kHex[(c >> 4) & 0xF];
                out += kHex[c & 0xF];
                continue;
            }
            if (c == '\\' && i + 1 < length) {
                out += c;
                out += document[++i];
                continue;
            }
            if (c == '"') state = TEXT;
            break;
        case LINE_COMMENT:
            if (c == '\n') state = TEXT;
            break;
        case BLOCK_COMMENT:
            if (c == '*' && next == '/') {
                out += "*/";
                ++i;
                state = TEXT;
                continue;
            }
            break;
        }
        out += c;
    }
    return out;
}

// The manifest query started with the dialog, on its own thread.
struct CUpgradeQuery {
    CHandle thread;
    DWORD dwMajorVersion = 0;
    wchar_t szUrl[URL_CHARS] = {};
    BOOL bFound = FALSE;
};
CUpgradeQuery s_query;

DWORD WINAPI UpgradeQueryThread(LPVOID) {
    s_query.bFound = QueryDownloadUrl(s_query.dwMajorVersion, s_query.szUrl);
    return 0;
}

BOOL IsThreadRunning(HANDLE hThread) {
    return hThread && ::WaitForSingleObject(hThread, 0) == WAIT_TIMEOUT;
}

}  // namespace

BOOL ReadUpgradeManifest(const char* document, size_t length, std::string* downloadUrl) {
    try {
        const std::string escaped = EscapeRawControls(document, length);
        rapidjson::Document root;
        root.Parse<rapidjson::kParseCommentsFlag | rapidjson::kParseStopWhenDoneFlag>(escaped.data(), escaped.size());
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
        // that a URL too long for url leaves it untouched. It must name an
        // HTTP server strictly; its fragment is not kept.
        wchar_t text[URL_CHARS];
        const int cch = ::MultiByteToWideChar(kManifestCodePage, 0, bytes.c_str(), -1, text, URL_CHARS);
        if (cch <= 1) return FALSE;  // empty, or would be cut off
        wchar_t host[kHostChars], object[COMMAND_CHARS];
        INTERNET_PORT port = 0;
        if (!IsHttpUrl(text) || !SplitHttpUrl(text + 7, host, object, &port)) return FALSE;
        return CopyWhole(url, text, wcscspn(text, L"#"));
    } catch (...) {
        return FALSE;
    }
}

BOOL QueryDownloadUrl(DWORD osMajorVersion, wchar_t (&url)[URL_CHARS]) {
    wchar_t request[URL_CHARS];
    if (!GetManifestUrl(osMajorVersion, request)) return FALSE;
    const CNetTimings timings = GetNetTimings();
    for (int retry = 0;; ++retry) {
        wchar_t reply[kHttpTextChars] = {};
        CHttpOutcome outcome;
        const BOOL fetched = HttpGetText(request, reply, &outcome);
        // Only a 200 carries the manifest: an error page is no manifest,
        // however it reads.
        if (outcome.outcome != NET_TRANSIENT || retry == MANIFEST_RETRIES)
            return fetched && outcome.status == 200 && ExtractDownloadUrl(reply, url);
        if (!WaitBeforeRetry(RetryDelayMs(timings, retry, outcome.retryAfterSeconds, RetryJitter()))) return FALSE;
    }
}

BOOL StartUpgradeQuery(DWORD osMajorVersion) {
    if (IsThreadRunning(s_query.thread)) return FALSE;
    s_query.dwMajorVersion = osMajorVersion;
    s_query.szUrl[0] = L'\0';
    s_query.bFound = FALSE;
    s_query.thread.Attach(::CreateThread(nullptr, 0, &UpgradeQueryThread, nullptr, 0, nullptr));
    return s_query.thread.IsValid();
}

BOOL AwaitUpgradeQuery(wchar_t (&url)[URL_CHARS]) {
    if (s_query.thread.IsValid()) {
        HANDLE handles[2] = {s_query.thread, GetInstallStopEvent()};
        if (::WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0) return FALSE;
    }
    return s_query.bFound && CopyWhole(url, s_query.szUrl);
}

BOOL EndUpgradeQuery(DWORD dwGraceMs) {
    if (!IsThreadRunning(s_query.thread)) return TRUE;
    RequestInstallStop();
    return ::WaitForSingleObject(s_query.thread, dwGraceMs) == WAIT_OBJECT_0;
}
