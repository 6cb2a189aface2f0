#include "install/AsciiText.h"

namespace {

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c; }

}  // namespace

BOOL StartsWithAsciiNoCase(const wchar_t* text, const wchar_t* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (!*text || AsciiLower(*text) != AsciiLower(*prefix)) return FALSE;
    return TRUE;
}

BOOL EqualsAsciiNoCase(const wchar_t* text, size_t len, const wchar_t* other) {
    for (size_t i = 0; i < len; ++i)
        if (!other[i] || AsciiLower(text[i]) != AsciiLower(other[i])) return FALSE;
    return other[len] == L'\0';
}
