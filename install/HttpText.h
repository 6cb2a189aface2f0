// Fetching a small resource (the upgrade manifest and its signature) over
// HTTP or HTTPS.
#pragma once
#include <windows.h>
#include "install/HttpRequest.h"
#include "install/NetPolicy.h"

// Size of the text buffer HttpGetText fills, terminator included.
// A manifest naming five URLs needs more than 512.
const int kHttpTextChars = 2048;
// The largest body fetched.
const DWORD kHttpBodyBytes = 4096;

// How an exchange went, for the caller's retry decision.
struct CHttpOutcome {
    NetOutcome outcome = NET_PERMANENT;
    int status = 0;              // the reply's status, 0 without a reply
    DWORD retryAfterSeconds = 0;
    HttpFault fault = HTTP_FAULT_NONE;  // why there was no reply
    BOOL bHtml = FALSE;          // the reply was a web page (HttpGetBytes)
};

// GETs url ("http(s)://host[:port]/object", redirects followed) into body
// (*pcb bytes). TRUE when
// the reply had a status other than 404, a Content-Length, and its whole
// body of at most kHttpBodyBytes bytes. *pOutcome (when given) tells whether
// another attempt may fare better: no reply, a drop, a time-out or a busy
// server's status are transient. pSignals: as CHttpRequest::Open takes them.
// A success that is a web page sets pOutcome->bHtml: by its type, and for a
// bText body (JSON, never binary bytes that may start with anything) by its
// first byte too.
BOOL HttpGetBytes(const wchar_t* url, BYTE (&body)[kHttpBodyBytes], DWORD* pcb, CHttpOutcome* pOutcome = nullptr,
                  const CRunSignals* pSignals = nullptr, BOOL bText = FALSE);

// The same, with the UTF-8 body decoded into text (kHttpTextChars wide
// characters, may be null): at most kHttpTextChars - 1 characters. On FALSE
// text is left untouched.
BOOL HttpGetText(const wchar_t* url, wchar_t* text, CHttpOutcome* pOutcome = nullptr);

// The UTF-8 bytes body as text (kHttpTextChars wide characters); FALSE,
// leaving text untouched, when they do not fit with the terminator.
BOOL DecodeHttpText(const BYTE* body, DWORD cb, wchar_t* text);
