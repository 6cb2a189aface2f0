// CString: a UTF-16 string with the small part of MFC's interface this
// program uses, on a buffer of its own. When memory runs out a string keeps
// the text it had (appending) or becomes empty (assigning): never a throw.
#pragma once
#include <windows.h>
#include <cwchar>
#include <new>

class CString {
public:
    CString() = default;
    CString(const wchar_t* psz) { Assign(psz, psz ? Length(psz) : 0); }
    CString(const wchar_t* pch, int nLength) { Assign(pch, pch && nLength > 0 ? nLength : 0); }
    CString(const CString& other) { Assign(other.m_pch, other.m_nLength); }
    CString(CString&& other) noexcept { Swap(other); }
    ~CString() { delete[] m_pch; }
    CString& operator=(const CString& other) {
        if (this != &other) Assign(other.m_pch, other.m_nLength);
        return *this;
    }
    CString& operator=(CString&& other) noexcept {
        Swap(other);
        return *this;
    }
    CString& operator=(const wchar_t* psz) {
        CString copy(psz);  // psz may point into this string
        Swap(copy);
        return *this;
    }

    int GetLength() const { return m_nLength; }
    BOOL IsEmpty() const { return m_nLength == 0; }
    void Empty() { Truncate(0); }
    operator const wchar_t*() const { return GetString(); }
    const wchar_t* GetString() const { return m_pch ? m_pch : L""; }
    wchar_t GetAt(int i) const { return m_pch[i]; }
    wchar_t operator[](int i) const { return GetAt(i); }

    CString& operator+=(const wchar_t* psz) {
        if (psz) Append(psz, Length(psz));
        return *this;
    }
    CString& operator+=(wchar_t ch) {
        Append(&ch, 1);
        return *this;
    }
    bool operator==(const wchar_t* psz) const { return wcscmp(GetString(), psz ? psz : L"") == 0; }
    bool operator!=(const wchar_t* psz) const { return !(*this == psz); }

    CString Left(int n) const { return CString(GetString(), Clamp(n)); }
    CString Mid(int first) const { return Mid(first, m_nLength); }
    CString Mid(int first, int n) const {
        const int start = Clamp(first);
        return CString(GetString() + start, n < 0 ? 0 : (n > m_nLength - start ? m_nLength - start : n));
    }
    // Keeps the first n characters.
    void Truncate(int n) {
        if (m_pch && Clamp(n) < m_nLength) m_pch[m_nLength = Clamp(n)] = L'\0';
    }

private:
    static int Length(const wchar_t* psz) { return static_cast<int>(wcslen(psz)); }
    int Clamp(int n) const { return n < 0 ? 0 : (n > m_nLength ? m_nLength : n); }
    void Swap(CString& other) {
        wchar_t* pch = m_pch;
        const int nLength = m_nLength, nCapacity = m_nCapacity;
        m_pch = other.m_pch, m_nLength = other.m_nLength, m_nCapacity = other.m_nCapacity;
        other.m_pch = pch, other.m_nLength = nLength, other.m_nCapacity = nCapacity;
    }
    void Assign(const wchar_t* pch, int nLength) {
        Truncate(0);
        Append(pch, nLength);
    }
    // Adds nLength characters from pch (which may lie in this string), or
    // nothing when there is no memory for them.
    void Append(const wchar_t* pch, int nLength) {
        if (nLength <= 0) return;
        if (m_nLength + nLength < m_nCapacity) {
            wmemmove(m_pch + m_nLength, pch, nLength);
        } else {
            const int nCapacity = (m_nLength + nLength + 1) * 3 / 2;
            wchar_t* pNew = new (std::nothrow) wchar_t[nCapacity];
            if (!pNew) return;
            if (m_pch) wmemcpy(pNew, m_pch, m_nLength);
            wmemcpy(pNew + m_nLength, pch, nLength);  // before the old buffer goes
            delete[] m_pch;
            m_pch = pNew;
            m_nCapacity = nCapacity;
        }
        m_nLength += nLength;
        m_pch[m_nLength] = L'\0';
    }

    wchar_t* m_pch = nullptr;
    int m_nLength = 0;
    int m_nCapacity = 0;
};
