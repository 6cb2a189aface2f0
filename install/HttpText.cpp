#include "install/HttpText.h"
#include "install/HttpRequest.h"
#include <cwchar>

BOOL HttpGetText(const wchar_t* url, wchar_t* text) {
    CHttpRequest request;
    DWORD expected = 0;
    if (!request.Send(url, &expected)) return FALSE;

    char body[4096];
    char chunk[512];
    DWORD total = 0;
    for (;;) {
        DWORD read = 0;
        if (!request.Read(chunk, sizeof(chunk), &read)) break;
        if (read > sizeof(body) - total) return FALSE;  // larger than the body buffer
        memcpy(body + total, chunk, read);
        total += read;
        if (!request.Continue(total, read)) break;
    }
    if (total < expected) return FALSE;

    if (!text) return TRUE;

    // Decoded apart first, so that a failure leaves text as it was and the
    // text always keeps its terminator.
    wchar_t decoded[kHttpTextChars];
    int chars = 0;
    if (total > 0) {
        chars = ::MultiByteToWideChar(CP_UTF8, 0, body, static_cast<int>(total), decoded, kHttpTextChars - 1);
        if (chars == 0) return FALSE;  // longer than the text buffer
    }
    wmemcpy(text, decoded, chars);
    text[chars] = L'\0';
    return TRUE;
}
