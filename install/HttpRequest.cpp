#include "install/HttpRequest.h"
#include "framework/afxdll.h"
#include "install/AsciiText.h"
#include "install/DecimalText.h"
#include "install/NetPolicy.h"
#include "install/ProductNames.h"
#include "install/SupportLog.h"
#include <cwchar>

const wchar_t kRequestHeaderBlock[] =
    L"Accept-Language: zh-cn \r\nContent-Type: application/x-www-form-urlencoded\r\n";
static_assert(sizeof(kRequestHeaderBlock) / sizeof(wchar_t) == kRequestHeaderBlockLength + 1,
              "the header block is 74 characters");

namespace {

// Every request: not from WinInet's cache, and no copy of what it sends in
// the user's Internet cache (a second copy of the whole package); every
// cache on the way (a proxy's) asked to check with the origin; redirects
// followed here, by the same rules on every system (Windows' WinInet
// refuses HTTP to HTTPS on its own, Wine's follows all but 308); no
// dialog of WinInet's, whatever the certificate.
const DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                            INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS |
                            INTERNET_FLAG_NO_UI;

// HTTP/1.1 caches take the first line, HTTP/1.0 ones the second. A proxy
// may still answer from its copy once the origin has confirmed it, never
// from a stale one.
const wchar_t kRevalidateHeaders[] = L"Cache-Control: no-cache\r\nPragma: no-cache\r\n";

// WinInet is no KnownDLL: it is loaded from the system folder, not imported.
#define VELMORA_WININET_PROCS(X)                                                                          \
    X(InternetOpenW) X(InternetConnectW) X(InternetSetOptionW) X(InternetCloseHandle) X(HttpOpenRequestW) \
    X(HttpAddRequestHeadersW) X(HttpSendRequestW) X(HttpQueryInfoW) X(InternetQueryDataAvailable)         \
    X(InternetReadFile)

struct CWinInetApi {
    VELMORA_WININET_PROCS(AFX_DLL_PROC_MEMBER)
};

CSystemDll s_wininet(L"wininet.dll");
CWinInetApi s_wininetApi;

const CWinInetApi* WinInet() {
    static const char* const kNames[] = {VELMORA_WININET_PROCS(AFX_DLL_PROC_NAME)};
    static_assert(sizeof(CWinInetApi) == sizeof(kNames) / sizeof(kNames[0]) * sizeof(FARPROC), "one per name");
    return s_wininet.Load(kNames, reinterpret_cast<FARPROC*>(&s_wininetApi), sizeof(kNames) / sizeof(kNames[0]))
               ? &s_wininetApi
               : nullptr;
}

void SetTimeout(HINTERNET h, DWORD option, DWORD ms) { WinInet()->InternetSetOptionW(h, option, &ms, sizeof(ms)); }

}  // namespace

size_t UrlSchemeLength(const wchar_t* url, BOOL* pbSecure) {
    *pbSecure = FALSE;
    if (!url) return 0;
    if (StartsWithAsciiNoCase(url, L"http://")) return 7;
    if (!StartsWithAsciiNoCase(url, L"https://")) return 0;
    *pbSecure = TRUE;
    return 8;
}

BOOL SplitHttpUrl(const wchar_t* rest, wchar_t (&host)[kHostChars], wchar_t (&object)[kUrlChars],
                  INTERNET_PORT* port, INTERNET_PORT defaultPort) {
    const size_t len = wcscspn(rest, L"#");  // the fragment never goes to the server
    for (size_t i = 0; i < len; ++i)
        if (rest[i] < 0x21 || rest[i] > 0x7E) return FALSE;
    const size_t authorityLen = wcscspn(rest, L"/?#");
    const wchar_t* colon = wcschr(rest, L':');
    if (colon && static_cast<size_t>(colon - rest) >= authorityLen) colon = nullptr;
    if (wmemchr(rest, L'@', authorityLen)) return FALSE;

    const size_t hostLen = colon ? static_cast<size_t>(colon - rest) : authorityLen;
    if (hostLen == 0) return FALSE;
    *port = defaultPort;
    if (colon) {
        const wchar_t* digits = colon + 1;
        const size_t digitsLen = authorityLen - hostLen - 1;
        DWORD value = 0;
        if (digitsLen == 0 || digitsLen > 5) return FALSE;
        for (size_t i = 0; i < digitsLen; ++i) {
            if (digits[i] < L'0' || digits[i] > L'9') return FALSE;
            value = value * 10 + static_cast<DWORD>(digits[i] - L'0');
        }
        if (value < 1 || value > 65535) return FALSE;
        *port = static_cast<INTERNET_PORT>(value);
    }
    const wchar_t* objectText = rest + authorityLen;
    if (*objectText == L'/') ++objectText;
    return CopyWhole(host, rest, hostLen) &&
           CopyWhole(object, objectText, static_cast<size_t>(rest + len - objectText));
}

BOOL SplitUrl(const wchar_t* url, CUrlParts* parts) {
    BOOL bSecure = FALSE;
    const size_t scheme = UrlSchemeLength(url, &bSecure);
    if (!scheme || !SplitHttpUrl(url + scheme, parts->szHost, parts->szObject, &parts->nPort,
                                 bSecure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT))
        return FALSE;
    parts->bSecure = bSecure;
    return TRUE;
}

BOOL ResolveLocation(const wchar_t* base, const wchar_t* location, wchar_t (&url)[kUrlChars]) {
    BOOL bSecure = FALSE;
    if (UrlSchemeLength(location, &bSecure)) return CopyWhole(url, location);
    const size_t scheme = UrlSchemeLength(base, &bSecure);
    if (!scheme || !location[0]) return FALSE;
    // "//host/...": base's scheme.
    if (location[0] == L'/' && location[1] == L'/')
        return FormatWhole(url, L"%.*ls%ls", static_cast<int>(scheme - 2), base, location);
    // "/path": base's scheme and server; otherwise the last "/" of base's
    // path, before its query, is where the text goes on.
    const wchar_t* server = base + scheme;
    const size_t serverLen = wcscspn(server, L"/?#");
    size_t keep = scheme + serverLen;
    if (location[0] != L'/') {
        const size_t pathLen = wcscspn(server + serverLen, L"?#");
        const wchar_t* slash = nullptr;
        for (const wchar_t* p = server + serverLen; p < server + serverLen + pathLen; ++p)
            if (*p == L'/') slash = p;
        keep = slash ? static_cast<size_t>(slash - base) + 1 : keep;
        if (!slash) return FormatWhole(url, L"%.*ls/%ls", static_cast<int>(keep), base, location);
    }
    return FormatWhole(url, L"%.*ls%ls", static_cast<int>(keep), base, location);
}

BOOL IsRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

BOOL IsTlsError(DWORD error) {
    switch (error) {
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
    case ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED:
        return TRUE;
    default:
        return FALSE;
    }
}

namespace {

// The decimal number at *p, which must be followed by after; *p moves past it.
BOOL ReadRangeNumber(const wchar_t*& p, wchar_t after, ULONGLONG* value) {
    const wchar_t* digits = p;
    ULONGLONG n = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        if (n > (~0ULL - 9) / 10) return FALSE;
        n = n * 10 + static_cast<ULONGLONG>(*p - L'0');
    }
    if (p == digits || *p != after) return FALSE;
    ++p;
    *value = n;
    return TRUE;
}

}  // namespace

BOOL ReadContentRange(const wchar_t* value, ULONGLONG* first, ULONGLONG* total) {
    if (wcsncmp(value, L"bytes ", 6) != 0) return FALSE;
    const wchar_t* p = value + 6;
    if (wcsncmp(p, L"*/", 2) == 0) {
        p += 2;
        if (!ReadRangeNumber(p, L'\0', total)) return FALSE;
        *first = *total;
        return TRUE;
    }
    ULONGLONG a = 0, b = 0, n = 0;
    if (!ReadRangeNumber(p, L'-', &a) || !ReadRangeNumber(p, L'/', &b) || !ReadRangeNumber(p, L'\0', &n) || b < a ||
        n <= b)
        return FALSE;
    *first = a;
    *total = n;
    return TRUE;
}

BOOL ParseStrongETag(const wchar_t* value, wchar_t (&etag)[kETagChars]) {
    etag[0] = L'\0';
    const size_t len = wcslen(value);
    if (len < 3 || value[0] != L'"' || value[len - 1] != L'"') return FALSE;  // weak tags start with W/
    if (wmemchr(value + 1, L'"', len - 2)) return FALSE;
    return CopyWhole(etag, value + 1, len - 2);
}

BOOL CHttpRequest::Fail(HttpFault fault) {
    m_fault = fault;
    return FALSE;
}

BOOL CHttpRequest::Open(const wchar_t* url) {
    Close();
    if (!SplitUrl(url, &m_parts) || !CopyWhole(m_szUrl, url)) return Fail(HTTP_FAULT_SERVER);
    if (!WinInet()) return Fail(HTTP_FAULT_NETWORK);
    m_hInternet = WinInet()->InternetOpenW(VELMORA_HTTP_AGENT, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!m_hInternet) return Fail(HTTP_FAULT_NETWORK);
    // WinInet's own receive time-out is up to an hour on some systems. Wine
    // takes the receive time-out only from the connection or request handle.
    const CNetTimings timings = GetNetTimings();
    SetTimeout(m_hInternet, INTERNET_OPTION_CONNECT_TIMEOUT, timings.dwConnectMs);
    SetTimeout(m_hInternet, INTERNET_OPTION_SEND_TIMEOUT, timings.dwSendMs);
    SetTimeout(m_hInternet, INTERNET_OPTION_RECEIVE_TIMEOUT, timings.dwReceiveMs);
    return Connect(m_parts);
}

BOOL CHttpRequest::Connect(const CUrlParts& parts) {
    if (m_hRequest) WinInet()->InternetCloseHandle(m_hRequest);
    if (m_hConnect) WinInet()->InternetCloseHandle(m_hConnect);
    m_hRequest = nullptr;
    m_hConnect = WinInet()->InternetConnectW(m_hInternet, parts.szHost, parts.nPort, nullptr, nullptr,
                                             INTERNET_SERVICE_HTTP, 0, 0);
    if (!m_hConnect) return Fail(HTTP_FAULT_NETWORK);
    SetTimeout(m_hConnect, INTERNET_OPTION_RECEIVE_TIMEOUT, GetNetTimings().dwReceiveMs);
    return TRUE;
}

BOOL CHttpRequest::SendOnce(const wchar_t* headerLines) {
    if (!m_hConnect) return Fail(HTTP_FAULT_NETWORK);
    if (m_hRequest) {
        WinInet()->InternetCloseHandle(m_hRequest);
        m_hRequest = nullptr;
    }
    // Certificates are checked in full: no flag ever lets a doubtful one pass.
    const DWORD flags = kRequestFlags | (m_parts.bSecure ? INTERNET_FLAG_SECURE : 0);
    m_hRequest = WinInet()->HttpOpenRequestW(m_hConnect, L"GET", m_parts.szObject, L"HTTP/1.1", nullptr, nullptr,
                                             flags, 0);
    if (!m_hRequest) return Fail(HTTP_FAULT_NETWORK);
    const DWORD add = HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE;
    if ((headerLines && !WinInet()->HttpAddRequestHeadersW(m_hRequest, headerLines,
                                                          static_cast<DWORD>(wcslen(headerLines)), add)) ||
        !WinInet()->HttpAddRequestHeadersW(m_hRequest, kRevalidateHeaders, ARRAYSIZE(kRevalidateHeaders) - 1, add))
        return Fail(HTTP_FAULT_NETWORK);
    if (WinInet()->HttpSendRequestW(m_hRequest, kRequestHeaderBlock, kRequestHeaderBlockLength, nullptr, 0))
        return TRUE;
    const DWORD error = ::GetLastError();
    if (!IsTlsError(error)) return Fail(HTTP_FAULT_NETWORK);
    SupportLog(L"tls: no safe connection to %ls (WinInet error %lu)", m_parts.szHost, error);
    return Fail(HTTP_FAULT_TLS);
}

BOOL CHttpRequest::Send(const wchar_t* headerLines) {
    m_fault = HTTP_FAULT_NONE;
    for (int hop = 0;; ++hop) {
        if (!SendOnce(headerLines)) return FALSE;
        const int status = QueryStatus();
        if (status == HTTP_STATUS_PROXY_AUTH_REQ) {
            SupportLog(L"proxy: it asks for a password (407); the installer has none to give");
            return Fail(HTTP_FAULT_PROXY_AUTH);
        }
        if (!IsRedirectStatus(status)) return TRUE;
        wchar_t location[kUrlChars] = {}, next[kUrlChars];
        DWORD cb = sizeof(location) - sizeof(wchar_t);
        CUrlParts parts;
        if (hop == kMaxRedirects) {
            SupportLog(L"redirect: more than %d from %ls", kMaxRedirects, m_szUrl);
            return Fail(HTTP_FAULT_SERVER);
        }
        if (!WinInet()->HttpQueryInfoW(m_hRequest, HTTP_QUERY_LOCATION, location, &cb, nullptr) ||
            !ResolveLocation(m_szUrl, location, next) || !SplitUrl(next, &parts)) {
            SupportLog(L"redirect %d: status %d with a location the installer does not take", hop + 1, status);
            return Fail(HTTP_FAULT_SERVER);
        }
        // The vendor chose a safe connection; a plain one would strip it.
        if (m_parts.bSecure && !parts.bSecure) {
            SupportLog(L"redirect %d: status %d from HTTPS to plain HTTP, refused: %ls", hop + 1, status, next);
            return Fail(HTTP_FAULT_TLS);
        }
        SupportLog(L"redirect %d: status %d to %ls", hop + 1, status, next);
        CopyWhole(m_szUrl, next);
        m_parts = parts;
        if (!Connect(m_parts)) return FALSE;
    }
}

int CHttpRequest::QueryStatus() {
    wchar_t text[16] = {};
    DWORD cb = sizeof(text);
    if (!m_hRequest || !WinInet()->HttpQueryInfoW(m_hRequest, HTTP_QUERY_STATUS_CODE, text, &cb, nullptr)) return 0;
    return ReadLeadingInt(text);
}

BOOL CHttpRequest::QueryContentLength(DWORD* pcbLength) {
    // Wine accepts only the exact size of the number here.
    DWORD length = 0, cb = sizeof(length);
    if (!WinInet()->HttpQueryInfoW(m_hRequest, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &cb, nullptr) ||
        cb != 4)
        return FALSE;
    *pcbLength = length;
    return TRUE;
}

BOOL CHttpRequest::QueryStrongETag(wchar_t (&etag)[kETagChars]) {
    etag[0] = L'\0';
    wchar_t value[kETagChars + 8] = {};
    DWORD cb = sizeof(value) - sizeof(wchar_t);
    if (!WinInet()->HttpQueryInfoW(m_hRequest, HTTP_QUERY_ETAG, value, &cb, nullptr)) return FALSE;
    wchar_t encoding[32] = {};
    DWORD cbEncoding = sizeof(encoding) - sizeof(wchar_t);
    if (WinInet()->HttpQueryInfoW(m_hRequest, HTTP_QUERY_CONTENT_ENCODING, encoding, &cbEncoding, nullptr) ||
        ::GetLastError() == ERROR_INSUFFICIENT_BUFFER)
        return FALSE;
    return ParseStrongETag(value, etag);
}

BOOL CHttpRequest::QueryContentRange(ULONGLONG* first, ULONGLONG* total) {
    wchar_t range[128] = {};
    DWORD cb = sizeof(range) - sizeof(wchar_t);
    return WinInet()->HttpQueryInfoW(m_hRequest, HTTP_QUERY_CONTENT_RANGE, range, &cb, nullptr) &&
           ReadContentRange(range, first, total);
}

DWORD CHttpRequest::QueryRetryAfter() {
    wchar_t text[64] = {};
    DWORD cb = sizeof(text) - sizeof(wchar_t);
    if (!WinInet()->HttpQueryInfoW(m_hRequest, HTTP_QUERY_RETRY_AFTER, text, &cb, nullptr)) return 0;
    for (const wchar_t* p = text; *p; ++p)
        if (*p < L'0' || *p > L'9') return 0;  // an HTTP date: the own back-off instead
    const int seconds = ReadLeadingInt(text);
    return seconds > 0 ? static_cast<DWORD>(seconds) : 0;
}

BOOL CHttpRequest::Read(void* buffer, DWORD cb, DWORD* pcbRead, BOOL bWhatHasArrived) {
    *pcbRead = 0;
    if (bWhatHasArrived) {
        DWORD available = 0;
        if (!WinInet()->InternetQueryDataAvailable(m_hRequest, &available, 0, 0)) return FALSE;
        if (available == 0) return TRUE;  // the body has ended
        if (available < cb) cb = available;
    }
    return WinInet()->InternetReadFile(m_hRequest, buffer, cb, pcbRead);
}

void CHttpRequest::Close() {
    if (m_hRequest) WinInet()->InternetCloseHandle(m_hRequest);
    if (m_hConnect) WinInet()->InternetCloseHandle(m_hConnect);
    if (m_hInternet) WinInet()->InternetCloseHandle(m_hInternet);
    m_hRequest = m_hConnect = m_hInternet = nullptr;
    m_fault = HTTP_FAULT_NONE;
}
