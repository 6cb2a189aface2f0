// Shell item lists, special folders and COM on a thread, each released by
// its owner's destructor.
#pragma once
#include <windows.h>
#include <shlobj.h>
#include "framework/BoundedText.h"

// Owns one item identifier list the shell allocated.
class CItemIdList {
public:
    CItemIdList() = default;
    explicit CItemIdList(LPITEMIDLIST pidl) : m_pidl(pidl) {}
    ~CItemIdList() { ::CoTaskMemFree(m_pidl); }
    CItemIdList(const CItemIdList&) = delete;
    CItemIdList& operator=(const CItemIdList&) = delete;

    LPITEMIDLIST* operator&() { return &m_pidl; }  // for the shell's out-parameters
    operator LPITEMIDLIST() const { return m_pidl; }
    // The file-system path of the list; FALSE (path empty) when it has none.
    template <size_t N>
    BOOL GetPath(wchar_t (&path)[N]) const {
        static_assert(N >= MAX_PATH, "the shell writes up to MAX_PATH characters");
        if (m_pidl && ::SHGetPathFromIDListW(m_pidl, path)) return TRUE;
        path[0] = L'\0';
        return FALSE;
    }

private:
    LPITEMIDLIST m_pidl = nullptr;
};

// The path of a special folder (CSIDL_PERSONAL, CSIDL_DESKTOP, ...); FALSE,
// with path empty, when the system names no folder for it.
template <size_t N>
BOOL AfxGetSpecialFolder(int nCsidl, wchar_t (&path)[N]) {
    CItemIdList pidl;
    path[0] = L'\0';
    return SUCCEEDED(::SHGetFolderLocation(nullptr, nCsidl, nullptr, 0, &pidl)) && pidl.GetPath(path);
}

// COM on the calling thread for the scope's lifetime (shell verbs served by
// extensions need it).
class CComSession {
public:
    CComSession() : m_hr(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~CComSession() { if (SUCCEEDED(m_hr)) ::CoUninitialize(); }
    CComSession(const CComSession&) = delete;
    CComSession& operator=(const CComSession&) = delete;
private:
    HRESULT m_hr;
};
