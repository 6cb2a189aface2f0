#include "install/HttpRequest.h"
#include "framework/afxdll.h"
#include "install/DecimalText.h"
#include "install/NetPolicy.h"
#include "install/ProductNames.h"
#include "install/RunSignals.h"
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
// dialog of WinInet's, whatever the certificate. Without
// INTERNET_FLAG_NO_AUTH WinInet answers a proxy's NTLM or Negotiate
// challenge itself, with the logged-on user's credentials: only a 407 it
// could not answer reaches the prompt.
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
    X(InternetReadFile) X(InternetQueryOptionW)

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

BOOL CHttpRequest::Fail(HttpFault fault) {
    m_fault = fault;
    return FALSE;
}

BOOL CHttpRequest::Open(const wchar_t* url, const CRunSignals* pSignals) {
    Close();
    m_pSignals = pSignals;
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
    ApplyProxyLogin();
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

void CHttpRequest::ApplyProxyLogin() {
    m_dwLoginSent = 0;
    if (!m_pSignals) return;
    CProxyLoginText login;
    m_dwLoginSent = m_pSignals->ProxyLogin().CopyLogin(&login);
    if (m_dwLoginSent) {
        WinInet()->InternetSetOptionW(m_hRequest, INTERNET_OPTION_PROXY_USERNAME, login.szUser,
                                      static_cast<DWORD>(wcslen(login.szUser) + 1));
        WinInet()->InternetSetOptionW(m_hRequest, INTERNET_OPTION_PROXY_PASSWORD, login.szPassword,
                                      static_cast<DWORD>(wcslen(login.szPassword) + 1));
    }
    ::SecureZeroMemory(&login, sizeof(login));
}

BOOL CHttpRequest::LogInToProxy() {
    if (!m_pSignals) return FALSE;  // only a run's request can ask the person
    CProxyLogin& login = m_pSignals->ProxyLogin();
    const ProxyLoginStep step = login.Next(m_dwLoginSent, m_pSignals->StopEvent());
    if (step != PROXY_LOGIN_PROMPT) return step == PROXY_LOGIN_SEND;
    ProxyPromptAnswer answer = login.Prompt(m_hRequest, m_pSignals->StopEvent());
    // What the person typed is WinInet's now, in this request: read back to
    // go with every later request of the run.
    CProxyLoginText given = {};
    DWORD cbUser = sizeof(given.szUser) - sizeof(wchar_t), cbPassword = cbUser;
    if (answer == PROXY_PROMPT_GIVEN &&
        (!WinInet()->InternetQueryOptionW(m_hRequest, INTERNET_OPTION_PROXY_USERNAME, given.szUser, &cbUser) ||
         !WinInet()->InternetQueryOptionW(m_hRequest, INTERNET_OPTION_PROXY_PASSWORD, given.szPassword, &cbPassword))) {
        SupportLog(L"proxy: login unreadable (%lu)", ::GetLastError());
        answer = PROXY_PROMPT_CANCELLED;
    }
    login.EndPrompt(answer, given);
    ::SecureZeroMemory(&given, sizeof(given));
    return answer == PROXY_PROMPT_GIVEN;
}

BOOL CHttpRequest::SendLoggedIn(const wchar_t* headerLines) {
    while (SendOnce(headerLines)) {
        if (QueryStatus() != HTTP_STATUS_PROXY_AUTH_REQ) return TRUE;
        if (!LogInToProxy()) return Fail(HTTP_FAULT_PROXY_AUTH);
    }
    return FALSE;
}

BOOL CHttpRequest::Send(const wchar_t* headerLines) {
    m_fault = HTTP_FAULT_NONE;
    for (int hop = 0;; ++hop) {
        if (!SendLoggedIn(headerLines)) return FALSE;
        const int status = QueryStatus();
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

BOOL CHttpRequest::IsHtmlReply() {
    wchar_t type[128] = {};
    DWORD cb = sizeof(type) - sizeof(wchar_t);
    return WinInet()->HttpQueryInfoW(m_hRequest, HTTP_QUERY_CONTENT_TYPE, type, &cb, nullptr) && IsHtmlContentType(type);
}

DWORD CHttpRequest::QueryRetryAfter() {
    wchar_t text[64] = {};
    DWORD cb = sizeof(text) - sizeof(wchar_t);
    if (!WinInet()->HttpQueryInfoW(m_hRequest, HTTP_QUERY_RETRY_AFTER, text, &cb, nullptr)) return 0;
    return ReadRetryAfter(text);
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
