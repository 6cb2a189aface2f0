#include "framework/BoundedText.h"
#include <cstdio>

namespace {

BOOL Nothing(wchar_t* dst, size_t cchDst) {
    if (cchDst) dst[0] = L'\0';
    return FALSE;
}

}  // namespace

BOOL CopyTextWhole(wchar_t* dst, size_t cchDst, const wchar_t* src, size_t len) {
    if (len >= cchDst) return Nothing(dst, cchDst);
    wmemmove(dst, src, len);
    dst[len] = L'\0';
    return TRUE;
}

BOOL JoinTextWhole(wchar_t* dst, size_t cchDst, const wchar_t* first, const wchar_t* second) {
    const size_t nFirst = wcslen(first), nSecond = wcslen(second);
    if (nFirst + nSecond >= cchDst) return Nothing(dst, cchDst);
    wmemmove(dst, first, nFirst);
    wmemcpy(dst + nFirst, second, nSecond + 1);
    return TRUE;
}

BOOL FormatTextWhole(wchar_t* dst, size_t cchDst, const wchar_t* format, va_list args) {
    if (cchDst == 0) return FALSE;
    if (_vsnwprintf_s(dst, cchDst, _TRUNCATE, format, args) < 0) return Nothing(dst, cchDst);
    return TRUE;
}
