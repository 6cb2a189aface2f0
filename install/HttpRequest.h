// The WinInet request sequence both HTTP exchanges share: the manifest text
// fetch and the package download.
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

// Longest entity tag kept, terminator included; a longer one counts as none.
const size_t kETagChars = 128;

// TRUE when url begins with "http://", letters in any case.
BOOL IsHttpUrl(const wchar_t* url);

// Splits what follows "http://" into the host name, the object (path and
// query without the leading "/") and the port, strictly: only printable
// ASCII (0x21 to 0x7E), no user information ("user:pass@"), a port of 1 to
// 65535 in digits alone (80 without a colon), a host that is not empty; a
// fragment ("#...") is dropped. FALSE otherwise, or when a part does not fit
// its buffer: a cut-off name would address another resource, and a blank,
// CR or LF would reach the request as it stands.
BOOL SplitHttpUrl(const wchar_t* rest, wchar_t (&host)[kHostChars], wchar_t (&object)[COMMAND_CHARS],
                  INTERNET_PORT* port);

// The first byte and the total length of a Content-Range value: "bytes
// FIRST-LAST/TOTAL", or "bytes */TOTAL" of a 416 reply, which gives
// *first = TOTAL (no byte of the range exists).
BOOL ReadContentRange(const wchar_t* value, ULONGLONG* first, ULONGLONG* total);

// The text between the quotes of a strong entity tag ("x"); FALSE, with
// etag empty, for a weak one (W/"x"), an empty or unquoted one, or one that
// does not fit.
BOOL ParseStrongETag(const wchar_t* value, wchar_t (&etag)[kETagChars]);

// One GET with the installer's agent and header block, on a session with
// the installer's time-outs. The handles are closed in the order request,
// connection, Internet handle when the object ends or Close is called.
class CHttpRequest {
public:
    CHttpRequest() = default;
    ~CHttpRequest() { Close(); }
    CHttpRequest(const CHttpRequest&) = delete;
    CHttpRequest& operator=(const CHttpRequest&) = delete;

    // Scheme check, strict URL split, session and connection. FALSE when the
    // URL is not one the installer takes, or WinInet cannot start.
    BOOL Open(const wchar_t* url);
    // Sends the GET, with more header lines ("Name: value\r\n...") when
    // given, on the connection of the earlier ones. FALSE when no reply
    // header came back (refused, dropped, timed out).
    BOOL Send(const wchar_t* headerLines = nullptr);

    // The reply's status; 0 when it has none (the server closed first).
    int QueryStatus();
    // The Content-Length as a 32-bit number.
    BOOL QueryContentLength(DWORD* pcbLength);
    // The reply's strong entity tag (ParseStrongETag), whatever the case of
    // the header's name and the size of the header block. FALSE also when
    // the body has a Content-Encoding: its bytes are then not the file's.
    BOOL QueryStrongETag(wchar_t (&etag)[kETagChars]);
    BOOL QueryContentRange(ULONGLONG* first, ULONGLONG* total);
    // Retry-After in seconds; 0 when there is none or it is a date.
    DWORD QueryRetryAfter();

    // One read into buffer. A read returns once buffer is full or the body
    // has ended; with bWhatHasArrived it waits only for the first byte and
    // takes what has arrived by then, so that a trickle cannot hold it.
    // *pcbRead counts what was read, also when the read fails (a time-out
    // or a reset); a read of 0 bytes that succeeds means the body ended.
    BOOL Read(void* buffer, DWORD cb, DWORD* pcbRead, BOOL bWhatHasArrived);

    void Close();

private:
    HINTERNET m_hInternet = nullptr;
    HINTERNET m_hConnect = nullptr;
    HINTERNET m_hRequest = nullptr;
    wchar_t m_szObject[COMMAND_CHARS] = {};
};
