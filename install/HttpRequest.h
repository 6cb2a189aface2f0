// The WinInet request sequence both HTTP exchanges share: the manifest text
// fetch and the package download.
#pragma once
#include <windows.h>
#include <wininet.h>
#include "framework/BoundedText.h"

// The host part of a URL, port included, terminator included.
const size_t kHostChars = 260;

// Sent with every request; the server side has always received exactly
// these 74 characters.
extern const wchar_t kRequestHeaderBlock[];
const DWORD kRequestHeaderBlockLength = 74;

// TRUE when url begins with "http://", letters in any case.
BOOL IsHttpUrl(const wchar_t* url);

// Splits what follows "http://" into the host name, the object (path and
// query without the leading "/") and the port (80 without a colon; the
// number after the colon kept to its low 16 bits). FALSE when the host is
// empty or a part does not fit its buffer: a cut-off name would address
// another resource.
BOOL SplitHttpUrl(const wchar_t* rest, wchar_t (&host)[kHostChars], wchar_t (&object)[COMMAND_CHARS],
                  INTERNET_PORT* port);

// The resume offset of a Content-Range value "bytes FIRST-LAST/TOTAL".
BOOL ReadContentRangeStart(const wchar_t* value, ULONGLONG* first);

// One GET with the installer's agent and header block. The handles are
// closed in the order request, connection, Internet handle when the object
// ends or Close is called.
class CHttpRequest {
public:
    CHttpRequest() = default;
    ~CHttpRequest() { Close(); }
    CHttpRequest(const CHttpRequest&) = delete;
    CHttpRequest& operator=(const CHttpRequest&) = delete;

    // Scheme check, URL split, open, connect, request, send; then the
    // status (404 fails, every other status passes) and the Content-Length
    // as a 32-bit number. FALSE at the first step that fails.
    BOOL Send(const wchar_t* url, DWORD* pcbLength);
    // Drops the current request unread and sends the same GET again on the
    // same connection with one more header line ("Name: value\r\n").
    BOOL Resend(const wchar_t* headerLine);

    BOOL QueryStatus(int* status);
    // The reply's header block as 8-bit text; left empty when it does not
    // fit in cb bytes with its terminator.
    BOOL QueryRawHeaders(char* buffer, DWORD cb);
    // The first byte of the range a 206 reply carries (its Content-Range).
    BOOL QueryRangeStart(ULONGLONG* first);

    // One read; FALSE when the read itself fails.
    BOOL Read(void* buffer, DWORD cb, DWORD* pcbRead);
    // After a read of cbRead bytes that brought the total to total: moves
    // the read position to total and tells whether the loop goes on (not
    // when the positioning reports 0 or the read returned nothing).
    BOOL Continue(ULONGLONG total, DWORD cbRead);

    void Close();

private:
    BOOL OpenAndSend(const wchar_t* headerLine);

    HINTERNET m_hInternet = nullptr;
    HINTERNET m_hConnect = nullptr;
    HINTERNET m_hRequest = nullptr;
    wchar_t m_szObject[COMMAND_CHARS] = {};
};
