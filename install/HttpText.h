// Fetching a small text resource (the upgrade manifest) over plain HTTP.
#pragma once
#include <windows.h>
#include "install/NetPolicy.h"

// Size of the text buffer HttpGetText fills, terminator included.
const int kHttpTextChars = 512;

// How an exchange went, for the caller's retry decision.
struct CHttpOutcome {
    NetOutcome outcome = NET_PERMANENT;
    int status = 0;              // the reply's status, 0 without a reply
    DWORD retryAfterSeconds = 0;
};

// GETs url ("http://host[:port]/object") and decodes the UTF-8 body into
// text (kHttpTextChars wide characters, may be null). TRUE when the reply
// had a status other than 404, a Content-Length, and its whole body: at
// most 4096 bytes and, once decoded, at most kHttpTextChars - 1 characters.
// On FALSE text is left untouched. *pOutcome (when given) tells whether
// another attempt may fare better: no reply, a drop, a time-out or a busy
// server's status are transient.
BOOL HttpGetText(const wchar_t* url, wchar_t* text, CHttpOutcome* pOutcome = nullptr);
