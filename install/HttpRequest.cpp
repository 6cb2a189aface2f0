#include "install/HttpRequest.h"
#include "install/AsciiText.h"
#include "install/DecimalText.h"
#include "install/ProductNames.h"
#include <cwchar>

const wchar_t kRequestHeaderBlock[] =
    L"Accept-Language: zh-cn \r\nContent-Type: application/x-www-form-urlencoded\r\n";
static_assert(sizeof(kRequestHeaderBlock) / sizeof(wchar_t) == kRequestHeaderBlockLength + 1,
              "the header block is 74 characters");

BOOL IsHttpUrl(const wchar_t* url) { return url && StartsWithAsciiNoCase(url, L"http://"); }

BOOL SplitHttpUrl(const wchar_t* rest, wchar_t (&host)[kHostChars], wchar_t (&object)[COMMAND_CHARS],
                  INTERNET_PORT* port) {
    const wchar_t* slash = wcschr(rest, L'/');
    const size_t hostLen = slash ? static_cast<size_t>(slash - rest) : wcslen(rest);
    if (!CopyWhole(host, rest, hostLen) || !CopyWhole(object, slash ? slash + 1 : L"")) return FALSE;

    *port = INTERNET_DEFAULT_HTTP_PORT;
    if (wchar_t* colon = wcschr(host, L':')) {
        *colon = L'\0';
        *port = static_cast<INTERNET_PORT>(ReadLeadingInt(colon + 1) & 0xFFFF);
    }
    return host[0] != L'\0';
}

BOOL ReadContentRangeStart(const wchar_t* value, ULONGLONG* first) {
    if (wcsncmp(value, L"bytes ", 6) != 0) return FALSE;
    const wchar_t* p = value + 6;
    ULONGLONG n = 0;
    const wchar_t* digits = p;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        if (n > (~0ULL - 9) / 10) return FALSE;
        n = n * 10 + static_cast<ULONGLONG>(*p - L'0');
    }
    if (p == digits || *p != L'-') return FALSE;
    *first = n;
    return TRUE;
}

BOOL CHttpRequest::Send(const wchar_t* url, DWORD* pcbLength) {
    Close();
    if (!IsHttpUrl(url)) return FALSE;
    wchar_t host[kHostChars];
    INTERNET_PORT port = 0;
    if (!SplitHttpUrl(url + 7, host, m_szObject, &port)) return FALSE;

    m_hInternet = ::InternetOpenW(VELMORA_HTTP_AGENT, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!m_hInternet) return FALSE;
    m_hConnect = ::InternetConnectW(m_hInternet, host, port, nullptr, nullptr,
                                    INTERNET_SERVICE_HTTP, 0, 0);
    if (!m_hConnect) return FALSE;
    if (!OpenAndSend(nullptr)) return FALSE;

    int status = 0;
    if (!QueryStatus(&status) || status == 404) return FALSE;

    // Wine accepts only the exact size of the number here.
    DWORD length = 0, cb = sizeof(length);
    if (!::HttpQueryInfoW(m_hRequest, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER,
                          &length, &cb, nullptr) || cb != 4)
        return FALSE;
    *pcbLength = length;
    return TRUE;
}

BOOL CHttpRequest::Resend(const wchar_t* headerLine) {
    if (!m_hConnect) return FALSE;
    return OpenAndSend(headerLine);
}

BOOL CHttpRequest::OpenAndSend(const wchar_t* headerLine) {
    if (m_hRequest) {
        ::InternetCloseHandle(m_hRequest);
        m_hRequest = nullptr;
    }
    m_hRequest = ::HttpOpenRequestW(m_hConnect, L"GET", m_szObject, L"HTTP/1.1", nullptr, nullptr,
                                    INTERNET_FLAG_RELOAD, 0);
    if (!m_hRequest) return FALSE;
    if (headerLine && !::HttpAddRequestHeadersW(m_hRequest, headerLine,
                                                static_cast<DWORD>(wcslen(headerLine)),
                                                HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE))
        return FALSE;
    return ::HttpSendRequestW(m_hRequest, kRequestHeaderBlock, kRequestHeaderBlockLength, nullptr, 0);
}

BOOL CHttpRequest::QueryStatus(int* status) {
    wchar_t text[16] = {};
    DWORD cb = sizeof(text);
    if (!::HttpQueryInfoW(m_hRequest, HTTP_QUERY_STATUS_CODE, text, &cb, nullptr)) return FALSE;
    *status = ReadLeadingInt(text);
    return TRUE;
}

BOOL CHttpRequest::QueryRawHeaders(char* buffer, DWORD cb) {
    DWORD len = cb;
    if (::HttpQueryInfoA(m_hRequest, HTTP_QUERY_RAW_HEADERS_CRLF, buffer, &len, nullptr)) return TRUE;
    buffer[0] = '\0';
    return FALSE;
}

BOOL CHttpRequest::QueryRangeStart(ULONGLONG* first) {
    wchar_t range[128] = {};
    DWORD cb = sizeof(range) - sizeof(wchar_t);
    return ::HttpQueryInfoW(m_hRequest, HTTP_QUERY_CONTENT_RANGE, range, &cb, nullptr) &&
           ReadContentRangeStart(range, first);
}

BOOL CHttpRequest::Read(void* buffer, DWORD cb, DWORD* pcbRead) {
    *pcbRead = 0;
    return ::InternetReadFile(m_hRequest, buffer, cb, pcbRead);
}

BOOL CHttpRequest::Continue(ULONGLONG total, DWORD cbRead) {
    if (::InternetSetFilePointer(m_hRequest, static_cast<LONG>(static_cast<DWORD>(total)), nullptr,
                                 FILE_BEGIN, 0) == 0)
        return FALSE;
    return cbRead != 0;
}

void CHttpRequest::Close() {
    if (m_hRequest) ::InternetCloseHandle(m_hRequest);
    if (m_hConnect) ::InternetCloseHandle(m_hConnect);
    if (m_hInternet) ::InternetCloseHandle(m_hInternet);
    m_hRequest = m_hConnect = m_hInternet = nullptr;
}
