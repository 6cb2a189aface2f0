#include "framework/afxreg.h"
#include <cwchar>

namespace {

// The longest string value read, terminator included.
const size_t kMaxRegistryString = COMMAND_CHARS;

}  // namespace

BOOL AcceptRegistryString(LONG lResult, DWORD dwType, const wchar_t* data, DWORD cbData,
                          wchar_t* out, size_t cchOut) {
    if (lResult != ERROR_SUCCESS || (dwType != REG_SZ && dwType != REG_EXPAND_SZ)) return FALSE;
    // The stored data need not end in a terminator; the text ends at the
    // first one or at the end of the data.
    const size_t len = wcsnlen(data, cbData / sizeof(wchar_t));
    if (len >= cchOut) return FALSE;  // the caller's text stays as it was
    return CopyTextWhole(out, cchOut, data, len);
}

LONG CRegKey::Open(HKEY hKeyParent, const wchar_t* lpszKeyName, REGSAM samDesired) {
    Close();
    return ::RegOpenKeyExW(hKeyParent, lpszKeyName, 0, samDesired, &m_hKey);
}

void CRegKey::Close() {
    if (m_hKey) ::RegCloseKey(m_hKey);
    m_hKey = nullptr;
}

BOOL CRegKey::QueryString(const wchar_t* lpszName, wchar_t* out, size_t cchOut) {
    wchar_t data[kMaxRegistryString];
    if (cchOut > kMaxRegistryString) cchOut = kMaxRegistryString;
    DWORD dwType = 0;
    DWORD cbData = static_cast<DWORD>(cchOut * sizeof(wchar_t));
    const LONG lResult = ::RegQueryValueExW(m_hKey, lpszName, nullptr, &dwType, reinterpret_cast<BYTE*>(data), &cbData);
    return AcceptRegistryString(lResult, dwType, data, cbData, out, cchOut);
}

BOOL CRegKey::QueryDWORDValue(const wchar_t* lpszName, DWORD* pdwValue) {
    DWORD dwValue = 0, cb = sizeof(dwValue);
    if (::RegQueryValueExW(m_hKey, lpszName, nullptr, nullptr, reinterpret_cast<BYTE*>(&dwValue), &cb) !=
        ERROR_SUCCESS)
        return FALSE;
    *pdwValue = dwValue;
    return TRUE;
}

LONG CRegKey::SetStringValue(const wchar_t* lpszName, const wchar_t* lpszValue) {
    return ::RegSetValueExW(m_hKey, lpszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(lpszValue),
                            RegistryStringSize(lpszValue));
}

LONG CRegKey::DeleteValue(const wchar_t* lpszName) { return ::RegDeleteValueW(m_hKey, lpszName); }

DWORD RegistryStringSize(const wchar_t* text) { return static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)); }
