// The URL rules and the reply header fields of the HTTP exchanges, apart
// from WinInet: text in, parts or numbers out.
#include "install/HttpRequest.h"
#include "install/AsciiText.h"
#include "install/DecimalText.h"
#include <cwchar>

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

DWORD ReadRetryAfter(const wchar_t* value) {
    for (const wchar_t* p = value; *p; ++p)
        if (*p < L'0' || *p > L'9') return 0;  // an HTTP date: the own back-off instead
    const int seconds = ReadLeadingInt(value);
    return seconds > 0 ? static_cast<DWORD>(seconds) : 0;
}

BOOL IsHtmlContentType(const wchar_t* value) {
    while (*value == L' ' || *value == L'\t') ++value;
    size_t len = wcscspn(value, L";");
    while (len > 0 && (value[len - 1] == L' ' || value[len - 1] == L'\t')) --len;
    return EqualsAsciiNoCase(value, len, L"text/html");
}

BOOL IsHtmlBody(const BYTE* body, DWORD cb) {
    DWORD i = cb >= 3 && body[0] == 0xEF && body[1] == 0xBB && body[2] == 0xBF ? 3 : 0;
    while (i < cb && (body[i] == ' ' || body[i] == '\t' || body[i] == '\r' || body[i] == '\n')) ++i;
    return i < cb && body[i] == '<';
}
