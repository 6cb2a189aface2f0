#include "install/UpgradeManifest.h"
#include "framework/afxfile.h"
#include "install/HttpRequest.h"
#include "install/HttpText.h"
#include "install/ManifestKey.h"
#include "install/RunSignals.h"
#include "install/SupportLog.h"
#include "framework/afxcrypt.h"
#include "install/VendorServer.h"
#include <cstring>

namespace {

// Code page the manifest's JSON is read in.
const UINT kManifestCodePage = 936;

// Why a manifest exchange that ended without the manifest failed: no safe
// connection; a proxy's login cancelled or refused; no reply or one cut
// short, the network's fault; an error status, a reply without its length
// or redirects not followed, the server's; a web page in its place, the
// network's own (a captive portal's login page).
InstallFailure ManifestFailure(const CHttpOutcome& outcome) {
    if (outcome.bHtml) return FAILURE_PORTAL;
    if (outcome.fault == HTTP_FAULT_TLS) return FAILURE_TLS;
    if (outcome.fault == HTTP_FAULT_SERVER) return FAILURE_SERVER;
    if (outcome.fault == HTTP_FAULT_PROXY_AUTH) return FAILURE_PROXY;
    const BOOL bNetwork = outcome.status == 0 || (outcome.outcome == NET_TRANSIENT && outcome.status < 300);
    return bNetwork ? FAILURE_NETWORK : FAILURE_SERVER;
}

// The bytes of a manifest reply and, in a build with a key, of its
// signature; each with the retry rule. FALSE when either cannot be had,
// with the reason (ManifestFailure).
BOOL FetchWithRetries(const wchar_t* url, const CRunSignals& signals, BYTE (&body)[kHttpBodyBytes], DWORD* pcb,
                      CInstallFailure* pFailure, BOOL bText) {
    const CNetTimings timings = GetNetTimings();
    for (int retry = 0;; ++retry) {
        CHttpOutcome outcome;
        const BOOL fetched = HttpGetBytes(url, body, pcb, &outcome, &signals, bText);
        // Only a 200 carries the manifest: an error page is no manifest,
        // however it reads.
        if (outcome.outcome != NET_TRANSIENT || retry == MANIFEST_RETRIES || outcome.bHtml) {
            if (fetched && outcome.status == 200 && !outcome.bHtml) return TRUE;
            SupportLog(L"manifest: %ls: status %d%ls", url, outcome.status,
                       outcome.bHtml ? L", a web page in its place (a network that wants a login?)" : L"");
            SetInstallFailure(pFailure, ManifestFailure(outcome));
            return FALSE;
        }
        if (!signals.Wait(RetryDelayMs(timings, retry, outcome.retryAfterSeconds, RetryJitter()))) {
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

// A manifest's URL as the installer takes it. Converted apart, so that a
// URL too long for the buffer leaves url untouched. It must name an HTTP
// server strictly; its fragment is not kept.
BOOL ConvertUrl(const char* manifestUrl, wchar_t (&url)[URL_CHARS]) {
    wchar_t text[URL_CHARS];
    const int cch = ::MultiByteToWideChar(kManifestCodePage, 0, manifestUrl, -1, text, URL_CHARS);
    if (cch <= 1) return FALSE;  // empty, or would be cut off
    CUrlParts parts;
    return SplitUrl(text, &parts) && CopyWhole(url, text, wcscspn(text, L"#"));
}

}  // namespace

BOOL ExtractUpgradeInfo(const wchar_t* replyText, CUpgradeInfo* info) {
    char document[2 * kHttpTextChars + 1];
    const int cb = ::WideCharToMultiByte(kManifestCodePage, 0, replyText, -1, document, sizeof(document), nullptr,
                                         nullptr);
    CManifestFields fields;
    if (cb <= 0 || !ReadUpgradeManifest(document, strlen(document), &fields)) return FALSE;

    CUpgradeInfo read;
    if (!ConvertUrl(fields.szUrl, read.szUrl)) return FALSE;
    for (int i = 0; i < fields.nMirrors; ++i)
        if (!ConvertUrl(fields.szMirrors[i], read.szMirrors[i])) return FALSE;
    read.nMirrors = fields.nMirrors;
    read.package = fields.package;
    read.bInstalledSize = fields.bInstalledSize;
    read.nInstalledSize = fields.nInstalledSize;
    read.bExpires = fields.bExpires;
    read.nExpires = fields.nExpires;
    *info = read;
    return TRUE;
}

BOOL QueryUpgrade(DWORD osMajorVersion, const CRunSignals& signals, CUpgradeInfo* info, CInstallFailure* pFailure) {
    wchar_t request[URL_CHARS];
    BYTE manifest[kHttpBodyBytes];
    DWORD cbManifest = 0;
    SetInstallFailure(pFailure, FAILURE_OTHER);
    if (!GetManifestUrl(osMajorVersion, request) || !FetchWithRetries(request, signals, manifest, &cbManifest, pFailure, TRUE))
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
        const BOOL fetched = FetchWithRetries(sigRequest, signals, signature, &cbSignature, &sigFailure, FALSE);
        if (!fetched && (sigFailure.cause == FAILURE_NETWORK || sigFailure.cause == FAILURE_TLS ||
                         sigFailure.cause == FAILURE_PORTAL || sigFailure.cause == FAILURE_PROXY)) {
            SetInstallFailure(pFailure, sigFailure.cause);
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
