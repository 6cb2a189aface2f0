// The WinInet request sequence both HTTP exchanges share, the manifest text
// fetch and the package download: plain HTTP or HTTPS, redirects followed by
// the installer itself, every cache on the way asked to revalidate.
#pragma once
#include <windows.h>
#include <wininet.h>
#include "framework/BoundedText.h"

// Sent with every request; the server side has always received exactly
// these 74 characters.
extern const wchar_t kRequestHeaderBlock[];
const DWORD kRequestHeaderBlockLength = 74;

// The host part of a URL, port included, terminator included.
const size_t kHostChars = 260;

// The longest URL a request follows, terminator included: the manifest's
// own are shorter (URL_CHARS), but a redirect may name a signed mirror URL,
// which runs long.
const size_t kUrlChars = 2048;

// Longest entity tag kept, terminator included; a longer one counts as none.
const size_t kETagChars = 128;

// The length of url's scheme: 7 for "http://", 8 for "https://" (letters
// in any case; *pbSecure tells which), 0 for any other.
size_t UrlSchemeLength(const wchar_t* url, BOOL* pbSecure);

// Splits what follows the scheme into the host name, the object (path and
// query without the leading "/") and the port, strictly: only printable
// ASCII (0x21 to 0x7E), no user information ("user:pass@"), a port of 1 to
// 65535 in digits alone (defaultPort without a colon), a host that is not
// empty; a fragment ("#...") is dropped. FALSE otherwise, or when a part
// does not fit its buffer: a cut-off name would address another resource,
// and a blank, CR or LF would reach the request as it stands.
BOOL SplitHttpUrl(const wchar_t* rest, wchar_t (&host)[kHostChars], wchar_t (&object)[kUrlChars],
                  INTERNET_PORT* port, INTERNET_PORT defaultPort = INTERNET_DEFAULT_HTTP_PORT);

// A URL the installer takes, split: "http://" (port 80 by default) or
// "https://" (443), then SplitHttpUrl's rules.
struct CUrlParts {
    BOOL bSecure = FALSE;
    wchar_t szHost[kHostChars] = {};
    wchar_t szObject[kUrlChars] = {};
    INTERNET_PORT nPort = 0;
};
BOOL SplitUrl(const wchar_t* url, CUrlParts* parts);

// The URL a redirect's Location names, from base, the URL it answered: an
// http(s) URL as it is; "//host..." with base's scheme; "/path" on base's
// server; any other text relative to base's path (after its last "/"). The
// result still has to pass SplitUrl. FALSE when it does not fit.
BOOL ResolveLocation(const wchar_t* base, const wchar_t* location, wchar_t (&url)[kUrlChars]);

// Statuses that send the request on to another URL: 301, 302, 303, 307, 308.
BOOL IsRedirectStatus(int status);

// The most redirects one request follows; one more is a server fault.
const int kMaxRedirects = 5;

// WinInet's errors of a TLS connection that could not be made safely: a
// certificate it does not trust (unknown issuer, wrong name, expired,
// revoked) or a handshake the system cannot make.
BOOL IsTlsError(DWORD error);

// The first byte and the total length of a Content-Range value: "bytes
// FIRST-LAST/TOTAL", or "bytes */TOTAL" of a 416 reply, which gives
// *first = TOTAL (no byte of the range exists).
BOOL ReadContentRange(const wchar_t* value, ULONGLONG* first, ULONGLONG* total);

// The text between the quotes of a strong entity tag ("x"); FALSE, with
// etag empty, for a weak one (W/"x"), an empty or unquoted one, or one that
// does not fit.
BOOL ParseStrongETag(const wchar_t* value, wchar_t (&etag)[kETagChars]);

// A Retry-After value in seconds: decimal digits alone, 1 to 2^31 - 1; 0
// for anything else (an HTTP date, which the own back-off replaces, an
// empty value, 0, or a number out of range).
DWORD ReadRetryAfter(const wchar_t* value);

// A Content-Type value whose media type (before any ";", blanks around it
// dropped, any case) is "text/html": a web page, never the installer's data.
BOOL IsHtmlContentType(const wchar_t* value);

// A body that reads as a web page: its first byte that is not a blank (or
// a UTF-8 byte-order mark) is "<". Neither the manifest (JSON) nor the
// package (a Windows program) starts so.
BOOL IsHtmlBody(const BYTE* body, DWORD cb);

// Why a request did not bring a reply.
enum HttpFault {
    HTTP_FAULT_NONE,
    HTTP_FAULT_NETWORK,     // no connection, a drop, a time-out
    HTTP_FAULT_PROXY_AUTH,  // a proxy on the way wants a login (407) and got none (ProxyLogin.h)
    HTTP_FAULT_TLS,         // no safe connection (IsTlsError), or a redirect from HTTPS to plain HTTP
    HTTP_FAULT_SERVER,      // a URL the installer does not take, or redirects it does not follow
};

class CRunSignals;

// One GET with the installer's agent and header block, on a session with
// the installer's time-outs. The handles are closed in the order request,
// connection, Internet handle when the object ends or Close is called.
class CHttpRequest {
public:
    CHttpRequest() = default;
    ~CHttpRequest() { Close(); }
    CHttpRequest(const CHttpRequest&) = delete;
    CHttpRequest& operator=(const CHttpRequest&) = delete;

    // Scheme check, strict URL split (SplitUrl), session and connection.
    // FALSE when the URL is not one the installer takes (HTTP_FAULT_SERVER),
    // or WinInet cannot start (HTTP_FAULT_NETWORK). pSignals (may be null):
    // the run's, whose proxy login the requests send and a 407 asks for.
    BOOL Open(const wchar_t* url, const CRunSignals* pSignals = nullptr);
    // Sends the GET, with more header lines ("Name: value\r\n...") when
    // given, on the connection of the earlier ones, and follows redirects
    // (up to kMaxRedirects, each hop sent the same lines, never from HTTPS
    // to HTTP, each logged): the reply is the last one. A proxy's 407 is
    // answered with the run's login, asked for once. FALSE, with Fault()
    // telling why, when no reply header came back (refused, dropped, timed
    // out, no safe connection), the proxy got no login, or a redirect was
    // not followed.
    BOOL Send(const wchar_t* headerLines = nullptr);
    HttpFault Fault() const { return m_fault; }
    // The URL the reply came from, after the redirects.
    const wchar_t* Url() const { return m_szUrl; }

    // The reply's status; 0 when it has none (the server closed first).
    int QueryStatus();
    // The Content-Length as a 32-bit number.
    BOOL QueryContentLength(DWORD* pcbLength);
    // The reply's strong entity tag (ParseStrongETag), whatever the case of
    // the header's name and the size of the header block. FALSE also when
    // the body has a Content-Encoding: its bytes are then not the file's.
    BOOL QueryStrongETag(wchar_t (&etag)[kETagChars]);
    BOOL QueryContentRange(ULONGLONG* first, ULONGLONG* total);
    // Retry-After in seconds (ReadRetryAfter); 0 when there is none.
    DWORD QueryRetryAfter();
    // TRUE when the reply says it is a web page (IsHtmlContentType).
    BOOL IsHtmlReply();

    // One read into buffer. A read returns once buffer is full or the body
    // has ended; with bWhatHasArrived it waits only for the first byte and
    // takes what has arrived by then, so that a trickle cannot hold it.
    // *pcbRead counts what was read, also when the read fails (a time-out
    // or a reset); a read of 0 bytes that succeeds means the body ended.
    BOOL Read(void* buffer, DWORD cb, DWORD* pcbRead, BOOL bWhatHasArrived);

    void Close();

private:
    // A connection to parts' server, on the session.
    BOOL Connect(const CUrlParts& parts);
    // One GET on the connection: its reply's header has come.
    BOOL SendOnce(const wchar_t* headerLines);
    // SendOnce, sent again with the run's proxy login while the proxy asks
    // for one and gets it.
    BOOL SendLoggedIn(const wchar_t* headerLines);
    // The run's login, when one is kept, set on the request; m_dwLoginSent
    // says which.
    void ApplyProxyLogin();
    // After a 407: TRUE when the request should go again, with a login the
    // run kept meanwhile or the person gave at the prompt now.
    BOOL LogInToProxy();
    BOOL Fail(HttpFault fault);

    HINTERNET m_hInternet = nullptr;
    HINTERNET m_hConnect = nullptr;
    HINTERNET m_hRequest = nullptr;
    wchar_t m_szUrl[kUrlChars] = {};
    CUrlParts m_parts;
    HttpFault m_fault = HTTP_FAULT_NONE;
    const CRunSignals* m_pSignals = nullptr;
    DWORD m_dwLoginSent = 0;  // the number of the login the request carries (0: none)
};
