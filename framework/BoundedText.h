// Text in fixed arrays. A result that does not fit its array is never cut
// short: a cut-off path names another file, a cut-off URL another server or
// package, a cut-off command line other switches. Each operation writes the
// whole result or nothing (FALSE, and the destination holds empty text).
//
// The templates take the destination array itself, so its size cannot be
// passed wrong; the pointer-and-size forms behind them hold the rule once.
#pragma once
#include <windows.h>
#include <cstdarg>
#include <cwchar>

// Named sizes of the installer's text arrays, terminator included.
enum : size_t {
    PATH_CHARS = MAX_PATH,  // a file or folder path
    URL_CHARS = 256,        // the package URL from the manifest
    COMMAND_CHARS = 512,    // a command line, a URL's object part, received text
};

BOOL CopyTextWhole(wchar_t* dst, size_t cchDst, const wchar_t* src, size_t len);
// first may be dst itself.
BOOL JoinTextWhole(wchar_t* dst, size_t cchDst, const wchar_t* first, const wchar_t* second);
BOOL FormatTextWhole(wchar_t* dst, size_t cchDst, const wchar_t* format, va_list args);

// dst becomes src (its first len characters).
template <size_t N>
BOOL CopyWhole(wchar_t (&dst)[N], const wchar_t* src, size_t len) {
    return CopyTextWhole(dst, N, src, len);
}
template <size_t N>
BOOL CopyWhole(wchar_t (&dst)[N], const wchar_t* src) {
    return CopyTextWhole(dst, N, src, wcslen(src));
}

// dst becomes folder followed by tail; folder may be dst itself.
template <size_t N>
BOOL JoinPath(wchar_t (&dst)[N], const wchar_t* folder, const wchar_t* tail) {
    return JoinTextWhole(dst, N, folder, tail);
}

// dst becomes the printf-style result (%ls for wide strings).
template <size_t N>
BOOL FormatWhole(wchar_t (&dst)[N], const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const BOOL ok = FormatTextWhole(dst, N, format, args);
    va_end(args);
    return ok;
}
