// CString: a UTF-16 string with the small part of MFC's interface this
// program uses.
#pragma once
#include <windows.h>
#include <string>

class CString {
public:
    CString() = default;
    CString(const wchar_t* psz) : m_str(psz ? psz : L"") {}
    CString(const wchar_t* pch, int nLength) : m_str(pch ? std::wstring(pch, nLength) : std::wstring()) {}

    int GetLength() const { return static_cast<int>(m_str.size()); }
    BOOL IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }
    operator const wchar_t*() const { return m_str.c_str(); }
    const wchar_t* GetString() const { return m_str.c_str(); }
    wchar_t GetAt(int i) const { return m_str[static_cast<size_t>(i)]; }
    wchar_t operator[](int i) const { return GetAt(i); }

    CString& operator=(const wchar_t* psz) { m_str = psz ? psz : L""; return *this; }
    CString& operator+=(const wchar_t* psz) { if (psz) m_str += psz; return *this; }
    CString& operator+=(wchar_t ch) { m_str += ch; return *this; }
    bool operator==(const wchar_t* psz) const { return m_str == (psz ? psz : L""); }
    bool operator!=(const wchar_t* psz) const { return !(*this == psz); }

    CString Left(int n) const { return CString(m_str.substr(0, Clamp(n)).c_str()); }
    CString Mid(int first) const { return CString(m_str.substr(Clamp(first)).c_str()); }
    CString Mid(int first, int n) const { return CString(m_str.substr(Clamp(first), Clamp(n)).c_str()); }
    // Keeps the first n characters.
    void Truncate(int n) { if (Clamp(n) < m_str.size()) m_str.resize(Clamp(n)); }

private:
    size_t Clamp(int n) const { return n < 0 ? 0 : (static_cast<size_t>(n) > m_str.size() ? m_str.size() : static_cast<size_t>(n)); }
    std::wstring m_str;
};
