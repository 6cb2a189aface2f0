#include "install/UpgradeManifest.h"
#include "framework/afxfile.h"
#include "install/DecimalText.h"
#include "install/HttpRequest.h"
#include "install/HttpText.h"
#include "install/InstallWorker.h"
#include "install/ManifestKey.h"
#include "install/SupportLog.h"
#include "framework/afxcrypt.h"
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
// a \\u escape, into out (cbOut bytes, terminated); FALSE when it does not
// fit. Manifests are written for a parser that takes such characters (a
// literal tab or line break in a string) and the JSON parser here does not;
// comments and escapes are followed so that only string contents change.
BOOL EscapeRawControls(const char* document, size_t length, char* out, size_t cbOut) {
    size_t n = 0;
    auto put = [&](const char* text, size_t len) {
        if (n + len >= cbOut) return false;
        memcpy(out + n, text, len);
        n += len;
        return true;
    };
    enum { TEXT, STRING, LINE_COMMENT, BLOCK_COMMENT } state = TEXT;
    for (size_t i = 0; i < length; ++i) {
        const char c = document[i];
        const char next = i + 1 < length ? document[i + 1] : '\0';
        BOOL ok = TRUE;
        switch (state) {
        case TEXT:
            if (c == '"') state = STRING;
            else if (c == '/' && next == '/') state = LINE_COMMENT;
            else if (c == '/' && next == '*') {
                ok = put("/*", 2);
                ++i;
                state = BLOCK_COMMENT;
                if (!ok) return FALSE;
                continue;
            }
            break;
        case STRING:
            if (static_cast<unsigned char>(c) < 0x20) {
                static const char kHex[] = "0123456789abcdef";
                const char escape[6] = {'\\', 'u', '0', '0', kHex[(c >> 4) & 0xF], kHex[c & 0xF]};
                if (!put(escape, 6)) return FALSE;
                continue;
            }
            if (c == '\\' && i + 1 < length) {
                if (!put(document + i, 2)) return FALSE;
                ++i;
                continue;
            }
            if (c == '"') state = TEXT;
            break;
        case LINE_COMMENT:
            if (c == '\n') state = TEXT;
            break;
        case BLOCK_COMMENT:
            if (c == '*' && next == '/') {
                if (!put("*/", 2)) return FALSE;
                ++i;
                state = TEXT;
                continue;
            }
            break;
        }
        if (!put(&c, 1)) return FALSE;
    }
    out[n] = '\0';
    return TRUE;
}

// A JSON number or a string of decimal digits as a count; FALSE otherwise.
BOOL ReadCount(const rapidjson::Value& value, ULONGLONG* count) {
    if (value.IsUint64()) {
        *count = value.GetUint64();
        return TRUE;
    }
    if (!value.IsString() || value.GetStringLength() == 0 || value.GetStringLength() > 19) return FALSE;
    ULONGLONG n = 0;
    for (const char* p = value.GetString(); *p; ++p) {
        if (*p < '0' || *p > '9') return FALSE;
        n = n * 10 + static_cast<ULONGLONG>(*p - '0');
    }
    *count = n;
    return TRUE;
}

// An optional count member: absent is fine, present must be well formed.
BOOL ReadOptionalCount(const rapidjson::Value& object, const char* name, BOOL* present, ULONGLONG* count) {
    const rapidjson::Value* value = FindMember(object, name);
    *present = value != nullptr;
    return !value || ReadCount(*value, count);
}

// The bytes of a manifest reply and, in a build with a key, of its
// signature; each with the retry rule. FALSE when either cannot be had,
// with the reason: no reply at all, or the server's error.
BOOL FetchWithRetries(const wchar_t* url, BYTE (&body)[kHttpBodyBytes], DWORD* pcb, CInstallFailure* pFailure) {
    const CNetTimings timings = GetNetTimings();
    for (int retry = 0;; ++retry) {
        CHttpOutcome outcome;
        const BOOL fetched = HttpGetBytes(url, body, pcb, &outcome);
        // Only a 200 carries the manifest: an error page is no manifest,
        // however it reads.
        if (outcome.outcome != NET_TRANSIENT || retry == MANIFEST_RETRIES) {
            if (fetched && outcome.status == 200) return TRUE;
            SupportLog(L"manifest: %ls: status %d", url, outcome.status);
            // No reply, or one cut short, is the network's fault; an error
            // status or a reply without its length the server's.
            const BOOL bNetwork = outcome.status == 0 || (outcome.outcome == NET_TRANSIENT && outcome.status < 300);
            SetInstallFailure(pFailure, bNetwork ? FAILURE_NETWORK : FAILURE_SERVER);
            return FALSE;
        }
        if (!WaitBeforeRetry(RetryDelayMs(timings, retry, outcome.retryAfterSeconds, RetryJitter()))) {
            SetInstallFailure(pFailure, FAILURE_OTHER);
            return FALSE;
        }
    }
}

LONGLONG UnixNow() {
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    const ULONGLONG ticks = (static_cast<ULONGLONG>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<LONGLONG>((ticks - 116444736000000000ULL) / 10000000ULL);
}

// The manifest query started with the dialog, on its own thread.
struct CUpgradeQuery {
    CHandle thread;
    DWORD dwMajorVersion = 0;
    CUpgradeInfo info;
    BOOL bFound = FALSE;
    CInstallFailure failure;
};
CUpgradeQuery s_query;

DWORD WINAPI UpgradeQueryThread(LPVOID) {
    s_query.bFound = QueryUpgrade(s_query.dwMajorVersion, &s_query.info, &s_query.failure);
    return 0;
}

BOOL IsThreadRunning(HANDLE hThread) {
    return hThread && ::WaitForSingleObject(hThread, 0) == WAIT_TIMEOUT;
}

}  // namespace

BOOL ReadUpgradeManifest(const char* document, size_t length, CManifestFields* fields) {
    char escaped[6 * kHttpBodyBytes];
    if (!EscapeRawControls(document, length, escaped, sizeof(escaped))) return FALSE;
    rapidjson::Document root;
    root.Parse<rapidjson::kParseCommentsFlag | rapidjson::kParseStopWhenDoneFlag>(escaped);
    if (root.HasParseError() || !root.IsObject()) return FALSE;

    const rapidjson::Value* code = FindMember(root, "code");
    if (!code || !IsCode100(*code)) return FALSE;

    const rapidjson::Value* result = FindMember(root, "result");
    if (!result || !result->IsObject()) return FALSE;
    if (!FindMember(*result, "versionCode") || !FindMember(*result, "version")) return FALSE;
    const rapidjson::Value* url = FindMember(*result, "downloadUrl");
    if (!url || !url->IsString() || url->GetStringLength() == 0) return FALSE;

    CManifestFields read;
    const rapidjson::Value* sha256 = FindMember(*result, "sha256");
    ULONGLONG expires = 0;
    read.package.bSha256 = sha256 != nullptr;
    if (url->GetStringLength() >= sizeof(read.szUrl) ||
        !ReadOptionalCount(*result, "size", &read.package.bSize, &read.package.nSize) ||
        !ReadOptionalCount(*result, "installedSize", &read.bInstalledSize, &read.nInstalledSize) ||
        !ReadOptionalCount(*result, "expires", &read.bExpires, &expires) ||
        (sha256 && (!sha256->IsString() || !ParseSha256Hex(sha256->GetString(), read.package.sha256))))
        return FALSE;
    memcpy(read.szUrl, url->GetString(), url->GetStringLength());  // a NUL inside ends it, as a C string
    read.nExpires = static_cast<LONGLONG>(expires);
    *fields = read;
    return TRUE;
}

BOOL ExtractUpgradeInfo(const wchar_t* replyText, CUpgradeInfo* info) {
    char document[2 * kHttpTextChars + 1];
    const int cb = ::WideCharToMultiByte(kManifestCodePage, 0, replyText, -1, document, sizeof(document), nullptr,
                                         nullptr);
    CManifestFields fields;
    if (cb <= 0 || !ReadUpgradeManifest(document, strlen(document), &fields)) return FALSE;

    // Converted apart, so that a URL too long for the buffer leaves info
    // untouched. It must name an HTTP server strictly; its fragment is not
    // kept.
    wchar_t text[URL_CHARS];
    const int cch = ::MultiByteToWideChar(kManifestCodePage, 0, fields.szUrl, -1, text, URL_CHARS);
    if (cch <= 1) return FALSE;  // empty, or would be cut off
    wchar_t host[kHostChars], object[COMMAND_CHARS];
    INTERNET_PORT port = 0;
    CUpgradeInfo read;
    if (!IsHttpUrl(text) || !SplitHttpUrl(text + 7, host, object, &port) ||
        !CopyWhole(read.szUrl, text, wcscspn(text, L"#")))
        return FALSE;
    read.package = fields.package;
    read.bInstalledSize = fields.bInstalledSize;
    read.nInstalledSize = fields.nInstalledSize;
    read.bExpires = fields.bExpires;
    read.nExpires = fields.nExpires;
    *info = read;
    return TRUE;
}

BOOL IsSignedManifestComplete(const CUpgradeInfo& info, LONGLONG nowUnix) {
    return info.package.bSize && info.package.bSha256 && (!info.bExpires || info.nExpires > nowUnix);
}

BOOL QueryUpgrade(DWORD osMajorVersion, CUpgradeInfo* info, CInstallFailure* pFailure) {
    wchar_t request[URL_CHARS];
    BYTE manifest[kHttpBodyBytes];
    DWORD cbManifest = 0;
    SetInstallFailure(pFailure, FAILURE_OTHER);
    if (!GetManifestUrl(osMajorVersion, request) || !FetchWithRetries(request, manifest, &cbManifest, pFailure))
        return FALSE;

    const BOOL bSigned = kManifestKeyBytes != 0;
    if (bSigned) {
        // The same request for "<manifest path>.sig": the signature of the
        // exact bytes just received.
        const size_t path = wcscspn(request, L"?");
        wchar_t sigRequest[URL_CHARS];
        BYTE signature[kHttpBodyBytes];
        DWORD cbSignature = 0;
        if (!FormatWhole(sigRequest, L"%.*ls.sig%ls", static_cast<int>(path), request, request + path)) return FALSE;
        CInstallFailure sigFailure;
        const BOOL fetched = FetchWithRetries(sigRequest, signature, &cbSignature, &sigFailure);
        if (!fetched && sigFailure.cause == FAILURE_NETWORK) {
            SetInstallFailure(pFailure, FAILURE_NETWORK);
            return FALSE;
        }
        if (!fetched ||
            !AfxVerifyRsaSha256(kManifestKey, kManifestKeyBytes, manifest, cbManifest, signature, cbSignature)) {
            SupportLog(L"manifest: the signature is %ls", fetched ? L"wrong" : L"missing");
            SetInstallFailure(pFailure, FAILURE_VERIFY);
            return FALSE;
        }
    }
    wchar_t reply[kHttpTextChars] = {};
    CUpgradeInfo read;
    if (!DecodeHttpText(manifest, cbManifest, reply) || !ExtractUpgradeInfo(reply, &read) ||
        (bSigned && !IsSignedManifestComplete(read, UnixNow()))) {
        SupportLog(L"manifest: refused (%lu bytes)", cbManifest);
        SetInstallFailure(pFailure, FAILURE_SERVER);
        return FALSE;
    }
    SupportLog(L"manifest: %ls, size %llu, sha256 %ls, %ls", read.szUrl, read.package.nSize,
               read.package.bSha256 ? L"given" : L"not given", bSigned ? L"signature valid" : L"unsigned build");
    *info = read;
    return TRUE;
}

BOOL StartUpgradeQuery(DWORD osMajorVersion) {
    if (IsThreadRunning(s_query.thread)) return FALSE;
    s_query.dwMajorVersion = osMajorVersion;
    s_query.info = CUpgradeInfo();
    s_query.bFound = FALSE;
    s_query.failure = CInstallFailure();
    s_query.thread.Attach(::CreateThread(nullptr, 0, &UpgradeQueryThread, nullptr, 0, nullptr));
    return s_query.thread.IsValid();
}

BOOL AwaitUpgradeQuery(CUpgradeInfo* info, CInstallFailure* pFailure) {
    if (s_query.thread.IsValid()) {
        HANDLE handles[2] = {s_query.thread, GetInstallStopEvent()};
        if (::WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0) {
            SetInstallFailure(pFailure, FAILURE_OTHER);
            return FALSE;
        }
    }
    if (!s_query.bFound) {
        if (pFailure) *pFailure = s_query.failure;
        return FALSE;
    }
    *info = s_query.info;
    return TRUE;
}

BOOL HasUpgradeQueryFailed() { return s_query.thread.IsValid() && !IsThreadRunning(s_query.thread) && !s_query.bFound; }

BOOL EndUpgradeQuery(DWORD dwGraceMs) {
    if (!IsThreadRunning(s_query.thread)) return TRUE;
    RequestInstallStop();
    return ::WaitForSingleObject(s_query.thread, dwGraceMs) == WAIT_OBJECT_0;
}
