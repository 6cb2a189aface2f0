#include "install/HttpText.h"
#include "install/HttpRequest.h"
#include <cstring>
#include <cwchar>

namespace {

BOOL Fetch(const wchar_t* url, BYTE (&body)[kHttpBodyBytes], DWORD* pcb, CHttpOutcome* result,
           const CRunSignals* pSignals, BOOL bText) {
    CHttpRequest request;
    if (!request.Open(url, pSignals)) {  // not a URL the installer takes, or no WinInet
        result->fault = request.Fault();
        return FALSE;
    }
    if (!request.Send()) {
        // Only a network's fault may go by itself.
        result->fault = request.Fault();
        result->outcome = result->fault == HTTP_FAULT_NETWORK ? NET_TRANSIENT : NET_PERMANENT;
        return FALSE;
    }
    result->outcome = NET_TRANSIENT;
    result->status = request.QueryStatus();
    result->retryAfterSeconds = request.QueryRetryAfter();
    if (result->status == 0) return FALSE;  // the server closed without a reply
    result->outcome = IsTransientStatus(result->status) ? NET_TRANSIENT : NET_PERMANENT;
    // A network's login page comes as a success: an error page is the
    // server's own.
    result->bHtml = result->status == 200 && request.IsHtmlReply();
    DWORD expected = 0;
    if (result->status == 404 || !request.QueryContentLength(&expected)) return FALSE;

    char chunk[512];
    DWORD total = 0;
    for (;;) {
        DWORD read = 0;
        const BOOL ok = request.Read(chunk, sizeof(chunk), &read, TRUE);
        if (bText && total == 0 && result->status == 200 && IsHtmlBody(reinterpret_cast<const BYTE*>(chunk), read))
            result->bHtml = TRUE;
        if (read > kHttpBodyBytes - total) {  // larger than the body buffer
            result->outcome = NET_PERMANENT;
            return FALSE;
        }
        memcpy(body + total, chunk, read);
        total += read;
        if (!ok || read == 0) break;
    }
    if (total < expected) {  // dropped or timed out before its end
        result->outcome = NET_TRANSIENT;
        return FALSE;
    }
    *pcb = total;
    if (!IsTransientStatus(result->status)) result->outcome = NET_DONE;
    return TRUE;
}

}  // namespace

BOOL HttpGetBytes(const wchar_t* url, BYTE (&body)[kHttpBodyBytes], DWORD* pcb, CHttpOutcome* pOutcome,
                  const CRunSignals* pSignals, BOOL bText) {
    CHttpOutcome result;
    const BOOL ok = Fetch(url, body, pcb, &result, pSignals, bText);
    if (pOutcome) *pOutcome = result;
    return ok;
}

BOOL DecodeHttpText(const BYTE* body, DWORD cb, wchar_t* text) {
    // Decoded apart first, so that a failure leaves text as it was and the
    // text always keeps its terminator.
    wchar_t decoded[kHttpTextChars];
    int chars = 0;
    if (cb > 0) {
        chars = ::MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(body), static_cast<int>(cb), decoded,
                                      kHttpTextChars - 1);
        if (chars == 0) return FALSE;  // longer than the text buffer
    }
    wmemcpy(text, decoded, chars);
    text[chars] = L'\0';
    return TRUE;
}

BOOL HttpGetText(const wchar_t* url, wchar_t* text, CHttpOutcome* pOutcome) {
    BYTE body[kHttpBodyBytes];
    DWORD cb = 0;
    if (!HttpGetBytes(url, body, &cb, pOutcome)) return FALSE;
    return !text || DecodeHttpText(body, cb, text);
}
