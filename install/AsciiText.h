// Text comparisons that ignore the case of the ASCII letters A to Z only, as
// drive letters, the URL scheme and device names are compared.
#pragma once
#include <windows.h>

// TRUE when text begins with prefix.
BOOL StartsWithAsciiNoCase(const wchar_t* text, const wchar_t* prefix);

// TRUE when the first len characters of text are exactly other.
BOOL EqualsAsciiNoCase(const wchar_t* text, size_t len, const wchar_t* other);
