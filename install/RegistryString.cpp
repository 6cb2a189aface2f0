#include "RegistryString.h"
#include <cwchar>

BOOL AcceptRegistryString(LONG lResult, DWORD dwType, const wchar_t* data, DWORD cbData,
                          wchar_t* out, size_t cchOut) {
    if (lResult != ERROR_SUCCESS || (dwType != REG_SZ && dwType != REG_EXPAND_SZ) || cchOut == 0)
        return FALSE;
    // The stored data need not end in a terminator; the text ends at the
    // first one or at the end of the data.
    const size_t len = wcsnlen(data, cbData / sizeof(wchar_t));
    if (len >= cchOut) return FALSE;
    wmemcpy(out, data, len);
    out[len] = L'\0';
    return TRUE;
}

BOOL ReadRegistryString(HKEY hKey, const wchar_t* name, wchar_t* out, size_t cchOut) {
    wchar_t data[MAX_REGISTRY_STRING];
    if (cchOut > MAX_REGISTRY_STRING) cchOut = MAX_REGISTRY_STRING;
    DWORD dwType = 0;
    DWORD cbData = static_cast<DWORD>(cchOut * sizeof(wchar_t));
    LONG lResult = ::RegQueryValueExW(hKey, name, nullptr, &dwType, reinterpret_cast<BYTE*>(data), &cbData);
    return AcceptRegistryString(lResult, dwType, data, cbData, out, cchOut);
}
