// A registry key that closes itself, with the string rules of the program.
#pragma once
#include <windows.h>
#include "framework/BoundedText.h"

// Accepts a string value as RegQueryValueExW returned it (result, type,
// data and its size in bytes): TRUE when the query succeeded, the value is
// a string (REG_SZ or REG_EXPAND_SZ) and it fits cchOut characters with its
// terminator; then out holds it. Otherwise FALSE and out is not touched, so
// a caller's default survives a missing, foreign or over-long value.
BOOL AcceptRegistryString(LONG lResult, DWORD dwType, const wchar_t* data, DWORD cbData,
                          wchar_t* out, size_t cchOut);

class CRegKey {
public:
    CRegKey() = default;
    ~CRegKey() { Close(); }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    operator HKEY() const { return m_hKey; }
    LONG Open(HKEY hKeyParent, const wchar_t* lpszKeyName, REGSAM samDesired);
    void Close();

    // The string value lpszName under the rules of AcceptRegistryString.
    template <size_t N>
    BOOL QueryStringValue(const wchar_t* lpszName, wchar_t (&out)[N]) {
        return QueryString(lpszName, out, N);
    }
    // TRUE with *pdwValue when the value's data fits 32 bits (its type is
    // not looked at).
    BOOL QueryDWORDValue(const wchar_t* lpszName, DWORD* pdwValue);
    // Writes REG_SZ with its terminator.
    LONG SetStringValue(const wchar_t* lpszName, const wchar_t* lpszValue);
    LONG DeleteValue(const wchar_t* lpszName);

    HKEY m_hKey = nullptr;

private:
    BOOL QueryString(const wchar_t* lpszName, wchar_t* out, size_t cchOut);
};

// Size in bytes of a REG_SZ value holding text, terminator included.
DWORD RegistryStringSize(const wchar_t* text);
