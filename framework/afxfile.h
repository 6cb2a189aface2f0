// Kernel handles that close themselves, and file-system questions.
#pragma once
#include <windows.h>

// Owns one kernel handle (file, process, thread, event); closes it on
// destruction. Both null and INVALID_HANDLE_VALUE count as no handle.
class CHandle {
public:
    CHandle() = default;
    explicit CHandle(HANDLE h) : m_h(h) {}
    ~CHandle() { Close(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;

    operator HANDLE() const { return m_h; }
    BOOL IsValid() const { return m_h != nullptr && m_h != INVALID_HANDLE_VALUE; }
    void Attach(HANDLE h) { Close(); m_h = h; }
    HANDLE Detach() { HANDLE h = m_h; m_h = nullptr; return h; }
    void Close() {
        if (IsValid()) ::CloseHandle(m_h);
        m_h = nullptr;
    }

private:
    HANDLE m_h = nullptr;
};

// TRUE when path names an existing directory.
BOOL IsDirectory(const wchar_t* path);

// Files reached through a handle rather than their name, so that nobody can
// put another file in the name's place in between. Windows XP has neither
// call: both then fail with ERROR_CALL_NOT_IMPLEMENTED.
//
// Renames the file open as hFile (which needs delete access) to newPath, a
// full path.
BOOL AfxRenameOpenFile(HANDLE hFile, const wchar_t* newPath, BOOL bReplace);
// Another handle to the file open as hFile, with the given access, sharing
// and flags; INVALID_HANDLE_VALUE when it cannot be had.
HANDLE AfxReOpenFile(HANDLE hFile, DWORD dwAccess, DWORD dwShare, DWORD dwFlags);
