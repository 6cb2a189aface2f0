// What the fuzzers share: the input as Windows text, and the check that
// stops a fuzzer on a broken rule.
#pragma once
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <string>

// The input as 16-bit units, little-endian, as a Windows wide string holds
// them (an odd last byte is dropped), up to the first 0 unit. *pRest (when
// given) receives what follows that unit.
inline std::wstring WideText(const BYTE* data, size_t cb, std::wstring* pRest = nullptr) {
    std::wstring text;
    size_t i = 0;
    for (; i + 1 < cb; i += 2) {
        const wchar_t unit = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
        if (unit == 0) break;
        text += unit;
    }
    if (pRest) *pRest = i + 2 < cb ? WideText(data + i + 2, cb - i - 2) : std::wstring();
    return text;
}

// A rule of the reader that the input broke: the fuzzer stops and keeps the
// input.
#define FUZZ_CHECK(condition)                                                            \
    do {                                                                                 \
        if (!(condition)) {                                                              \
            fprintf(stderr, "%s:%d: broken: %s\n", __FILE__, __LINE__, #condition);      \
            abort();                                                                     \
        }                                                                                \
    } while (0)

inline bool IsPrintableAscii(const wchar_t* text) {
    for (; *text; ++text)
        if (*text < 0x21 || *text > 0x7E) return false;
    return true;
}
