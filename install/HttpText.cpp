#include "install/HttpText.h"
#include "install/HttpRequest.h"
#include <cwchar>

namespace {

// The reply body's limit; the manifest is a few hundred bytes.
const DWORD kBodyBytes = 4096;

BOOL FetchText(const wchar_t* url, wchar_t* text, CHttpOutcome* result) {
    CHttpRequest request;
    if (!request.Open(url)) return FALSE;  // not a URL the installer takes
    result->outcome = NET_TRANSIENT;
    if (!request.Send()) return FALSE;
    result->status = request.QueryStatus();
    result->retryAfterSeconds = request.QueryRetryAfter();
    if (result->status == 0) return FALSE;  // the server closed without a reply
    result->outcome = IsTransientStatus(result->status) ? NET_TRANSIENT : NET_PERMANENT;
    DWORD expected = 0;
    if (result->status == 404 || !request.QueryContentLength(&expected)) return FALSE;

    char body[kBodyBytes];
    char chunk[512];
    DWORD total = 0;
    for (;;) {
        DWORD read = 0;
        const BOOL ok = request.Read(chunk, sizeof(chunk), &read, TRUE);
        if (read > sizeof(body) - total) {  // larger than the body buffer
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

    if (text) {
        // Decoded apart first, so that a failure leaves text as it was and
        // the text always keeps its terminator.
        wchar_t decoded[kHttpTextChars];
        int chars = 0;
        if (total > 0) {
            chars = ::MultiByteToWideChar(CP_UTF8, 0, body, static_cast<int>(total), decoded, kHttpTextChars - 1);
            if (chars == 0) return FALSE;  // longer than the text buffer
        }
        wmemcpy(text, decoded, chars);
        text[chars] = L'\0';
    }
    if (!IsTransientStatus(result->status)) result->outcome = NET_DONE;
    return TRUE;
}

}  // namespace

BOOL HttpGetText(const wchar_t* url, wchar_t* text, CHttpOutcome* pOutcome) {
    CHttpOutcome result;
    const BOOL ok = FetchText(url, text, &result);
    if (pOutcome) *pOutcome = result;
    return ok;
}
