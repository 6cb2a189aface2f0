#include "install/PackageFile.h"
#include <cwchar>
#include <new>

BOOL CPackageFile::Create(const wchar_t* path) { return Open(path, CREATE_ALWAYS); }

BOOL CPackageFile::OpenExisting(const wchar_t* path) { return Open(path, OPEN_EXISTING); }

BOOL CPackageFile::IsOpenOn(const wchar_t* path) const { return m_file.IsValid() && wcscmp(path, m_szPath) == 0; }

LONGLONG CPackageFile::Size() const {
    LARGE_INTEGER size = {};
    return ::GetFileSizeEx(m_file, &size) ? size.QuadPart : -1;
}

BOOL CPackageFile::SeekEnd(LONGLONG offset) {
    LARGE_INTEGER end = {};
    return ::SetFilePointerEx(m_file, end, &end, FILE_END) && end.QuadPart == offset;
}

BOOL CPackageFile::Empty() {
    LARGE_INTEGER start = {};
    return ::SetFilePointerEx(m_file, start, nullptr, FILE_BEGIN) && ::SetEndOfFile(m_file);
}

BOOL CPackageFile::Write(const void* data, DWORD cb) {
    DWORD written = 0;
    if (::WriteFile(m_file, data, cb, &written, nullptr) && written == cb) return TRUE;
    ::SetEndOfFile(m_file);
    return FALSE;
}

void CPackageFile::Close() {
    m_file.Close();
    m_szPath[0] = L'\0';
}

BOOL CPackageFile::MoveTo(const wchar_t* path) {
    if (AfxRenameOpenFile(m_file, path, TRUE)) return CopyWhole(m_szPath, path);
    if (::GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) return FALSE;
    wchar_t from[PATH_CHARS];
    CopyWhole(from, m_szPath);
    Close();
    return ::MoveFileExW(from, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) && OpenExisting(path);
}

void CPackageFile::HandOver(CDownloadedFile* pResult) {
    pResult->file.Attach(m_file.Detach());
    CopyWhole(pResult->szPath, m_szPath);
    m_szPath[0] = L'\0';
}

// Reading for the hash that follows, deleting for the rename.
BOOL CPackageFile::Open(const wchar_t* path, DWORD disposition) {
    Close();
    if (!CopyWhole(m_szPath, path)) return FALSE;
    m_file.Attach(::CreateFileW(path, GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (m_file.IsValid()) return TRUE;
    m_szPath[0] = L'\0';
    return FALSE;
}

BOOL CPackageWriter::Start() {
    for (auto& buffer : m_buffers) buffer.reset(new (std::nothrow) BYTE[kBufferBytes]);
    m_hWork.Attach(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    m_hIdle.Attach(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!m_buffers[0] || !m_buffers[1] || !m_hWork.IsValid() || !m_hIdle.IsValid()) return FALSE;
    m_hThread.Attach(::CreateThread(nullptr, 0, &CPackageWriter::Run, this, 0, nullptr));
    return m_hThread.IsValid();
}

BOOL CPackageWriter::Submit(DWORD cb, BOOL bBatch) {
    m_cbFilled += cb;
    if (bBatch && m_cbFilled + PACKAGE_CHUNK_BYTES <= kBufferBytes) return !m_bFailed;
    return HandOver();
}

BOOL CPackageWriter::Finish() {
    if (m_hThread.IsValid()) {
        HandOver();
        WaitIdle();
        m_bQuit = TRUE;
        ::SetEvent(m_hWork);
        ::WaitForSingleObject(m_hThread, INFINITE);
        m_hThread.Close();
    }
    return !m_bFailed;
}

BOOL CPackageWriter::HandOver() {
    WaitIdle();
    if (m_bFailed) return FALSE;
    if (!m_cbFilled) return TRUE;
    m_pending = m_next;
    m_cbPending = m_cbFilled;
    m_next ^= 1;
    m_cbFilled = 0;
    m_bInFlight = TRUE;
    ::SetEvent(m_hWork);
    return TRUE;
}

void CPackageWriter::WaitIdle() {
    if (m_bInFlight) ::WaitForSingleObject(m_hIdle, INFINITE);
    m_bInFlight = FALSE;
}

DWORD WINAPI CPackageWriter::Run(LPVOID p) {
    auto* self = static_cast<CPackageWriter*>(p);
    for (;;) {
        ::WaitForSingleObject(self->m_hWork, INFINITE);
        if (self->m_bQuit) return 0;
        if (!self->m_file.Write(self->m_buffers[self->m_pending].get(), self->m_cbPending)) self->m_bFailed = TRUE;
        ::SetEvent(self->m_hIdle);
    }
}
