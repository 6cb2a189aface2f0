// The native test build's stand-in for <windows.h>: the Windows types, the
// few constants and C runtime names the pure units use, and declarations
// (never definitions) of the Windows functions their headers name. A unit
// that calls one of those does not link here, which keeps platform calls out
// of the native set.
//
// wchar_t stays the host's 32-bit type. Compiling with -fshort-wchar instead
// would leave the C library's wide functions (wcslen, wcschr, vswprintf...)
// reading 32-bit units out of 16-bit strings. The pure units treat text as
// code units under ASCII and UTF-8 rules, so the only differences are that a
// character beyond U+FFFF is one unit here and two on Windows, and that a
// unit here is a signed 32-bit number; no rule and no test case depends on
// either, and the fuzzers give only units of 0 to 0xFFFF, as Windows holds
// them (fuzz/fuzz_input.h).
//
// The integer types keep Windows' widths (LLP64: LONG and DWORD are 32-bit),
// so that wrap-around and overflow behave as in the shipped program.
#pragma once
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef unsigned int DWORD;
typedef int LONG;
typedef unsigned int UINT;
typedef long long LONGLONG;
typedef unsigned long long ULONGLONG;
typedef uintptr_t ULONG_PTR, UINT_PTR, WPARAM;
typedef intptr_t LONG_PTR, LPARAM, LRESULT;
typedef void* HANDLE;
typedef void* LPVOID;
typedef struct HWND__* HWND;
typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID);
typedef int (*FARPROC)();

#define TRUE 1
#define FALSE 0
#define WINAPI
#define MAX_PATH 260
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)))
#define WM_USER 0x0400
#define MAKELONG(a, b) ((LONG)(((WORD)((ULONG_PTR)(a) & 0xffff)) | ((DWORD)((WORD)((ULONG_PTR)(b) & 0xffff))) << 16))
#define MAKEWPARAM(l, h) ((WPARAM)(DWORD)MAKELONG(l, h))
#define ARRAYSIZE(a) (sizeof(a) / sizeof((a)[0]))

// Hit-test codes (winuser.h).
#define HTCAPTION 2
#define HTLEFT 10
#define HTRIGHT 11
#define HTTOP 12
#define HTTOPLEFT 13
#define HTTOPRIGHT 14
#define HTBOTTOM 15
#define HTBOTTOMLEFT 16
#define HTBOTTOMRIGHT 17

struct POINT { LONG x, y; };
struct RECT { LONG left, top, right, bottom; };

// A comparison of two rectangles, which the geometry tests use as user32
// offers it.
inline BOOL EqualRect(const RECT* a, const RECT* b) {
    return a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

// Named by the headers of the native set, defined nowhere here.
BOOL CloseHandle(HANDLE h);
BOOL DeleteFileW(const wchar_t* path);

// The Microsoft C runtime's names.
#define _TRUNCATE (static_cast<size_t>(-1))
inline int _wcsnicmp(const wchar_t* a, const wchar_t* b, size_t n) { return wcsncasecmp(a, b, n); }
inline int wcscpy_s(wchar_t* dst, size_t cchDst, const wchar_t* src) {
    const size_t len = wcslen(src);
    if (len >= cchDst) {
        if (cchDst) dst[0] = L'\0';
        return 34;  // ERANGE
    }
    wmemcpy(dst, src, len + 1);
    return 0;
}

// _vsnwprintf_s with _TRUNCATE: the formatted text when it fits, otherwise
// -1 (with the text cut). The Windows runtime reads "l" before an integer
// conversion as a 32-bit long; the host's long is 64-bit, so the format is
// rewritten without it before the host's vswprintf reads the arguments.
inline int _vsnwprintf_s(wchar_t* dst, size_t cchDst, size_t, const wchar_t* format, va_list args) {
    wchar_t host[1024];
    size_t n = 0;
    for (const wchar_t* p = format; *p; ++p) {
        if (n + 2 >= sizeof(host) / sizeof(host[0])) return -1;
        host[n++] = *p;
        if (*p != L'%') continue;
        if (p[1] == L'%') {
            host[n++] = *++p;
            continue;
        }
        // Flags, width and precision pass as they are; a lone "l" before
        // d, i, u, x, X or o goes.
        while (p[1] && wcschr(L"-+ #0123456789.*", p[1])) {
            if (n + 2 >= sizeof(host) / sizeof(host[0])) return -1;
            host[n++] = *++p;
        }
        if (p[1] == L'l' && p[2] && wcschr(L"diuxXo", p[2])) ++p;
    }
    host[n] = L'\0';
    const int written = vswprintf(dst, cchDst, host, args);
    if (written < 0 && cchDst) dst[cchDst - 1] = L'\0';
    return written;
}
