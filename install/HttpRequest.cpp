#include "install/HttpRequest.h"
#include "framework/afxdll.h"
#include "install/AsciiText.h"
#include "install/DecimalText.h"
#include "install/NetPolicy.h"
#include "install/ProductNames.h"
#include <cwchar>

const wchar_t kRequestHeaderBlock[] =
    L"Accept-Language: zh-cn \r\nContent-Type: application/x-www-form-urlencoded\r\n";
static_assert(sizeof(kRequestHeaderBlock) / sizeof(wchar_t) == kRequestHeaderBlockLength + 1,
              "the header block is 74 characters");

namespace {

// Every request: straight from the server, and no copy of what it sends in
// the user's Internet cache (a second copy of the whole package).
const DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

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

BOOL IsHttpUrl(const wchar_t* url) { return url && StartsWithAsciiNoCase(url, L"http://"); }

BOOL SplitHttpUrl(const wchar_t* rest, wchar_t (&host)[kHostChars], wchar_t (&object)[COMMAND_CHARS],
                  INTERNET_PORT* port) {
    const size_t len = wcscspn(rest, L"#");  // the fragment never goes to the server
    for (size_t i = 0; i < len; ++i)
        if (rest[i] < 0x21 || rest[i] > 0x7E) return FALSE;
    const size_t authorityLen = wcscspn(rest, L"/?#");
    const wchar_t* colon = wcschr(rest, L':');
    if (colon && static_cast<size_t>(colon - rest) >= authorityLen) colon = nullptr;
    if (wmemchr(rest, L'@', authorityLen)) return FALSE;

    const size_t hostLen = colon ? static_cast<size_t>(colon - rest) : authorityLen;
    if (hostLen == 0) return FALSE;
    *port = INTERNET_DEFAULT_HTTP_PORT;
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

BOOL CHttpRequest::Open(const wchar_t* url) {
    Close();
    wchar_t host[kHostChars];
    INTERNET_PORT port = 0;
    if (!IsHttpUrl(url) || !SplitHttpUrl(url + 7, host, m_szObject, &port) || !WinInet()) return FALSE;

    m_hInternet = WinInet()->InternetOpenW(VELMORA_HTTP_AGENT, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!m_hInternet) return FALSE;
    // WinInet's own receive time-out is up to an hour on some systems. Wine
    // takes the receive time-out only from the connection or request handle.
    const CNetTimings timings = GetNetTimings();
    SetTimeout(m_hInternet, INTERNET_OPTION_CONNECT_TIMEOUT, timings.dwConnectMs);
    SetTimeout(m_hInternet, INTERNET_OPTION_SEND_TIMEOUT, timings.dwSendMs);
    SetTimeout(m_hInternet, INTERNET_OPTION_RECEIVE_TIMEOUT, timings.dwReceiveMs);
    m_hConnect = WinInet()->InternetConnectW(m_hInternet, host, port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!m_hConnect) return FALSE;
    SetTimeout(m_hConnect, INTERNET_OPTION_RECEIVE_TIMEOUT, timings.dwReceiveMs);
    return TRUE;
}

BOOL CHttpRequest::Send(const wchar_t* headerLines) {
    if (!m_hConnect) return FALSE;
    if (m_hRequest) {
        WinInet()->InternetCloseHandle(m_hRequest);
        m_hRequest = nullptr;
    }
    m_hRequest = WinInet()->HttpOpenRequestW(m_hConnect, L"GET", m_szObject, L"HTTP/1.1", nullptr, nullptr, kRequestFlags, 0);
    if (!m_hRequest) return FALSE;
    if (headerLines && !WinInet()->HttpAddRequestHeadersW(m_hRequest, headerLines, static_cast<DWORD>(wcslen(headerLines)),
                                                 HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE))
        return FALSE;
    return WinInet()->HttpSendRequestW(m_hRequest, kRequestHeaderBlock, kRequestHeaderBlockLength, nullptr, 0);
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
}
