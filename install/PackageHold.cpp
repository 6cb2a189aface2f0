#include "install/PackageHold.h"
#include "install/FileNames.h"
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

namespace {

const wchar_t kRunNamePattern[] = L"velmora-*.exe";

}  // namespace

namespace {

// The size and SHA-256 of what file holds, read from its start.
BOOL DigestFile(HANDLE file, HCRYPTPROV hProv, ULONGLONG* pnSize, BYTE (&digest)[SHA256_BYTES]) {
    const DWORD kChunk = 256 * 1024;
    std::unique_ptr<BYTE[]> chunk(new (std::nothrow) BYTE[kChunk]);
    CCryptHash hash;
    LARGE_INTEGER start = {};
    BOOL ok = chunk && hash.CreateSha256(hProv) && ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
    *pnSize = 0;
    for (DWORD read = 0; ok && ::ReadFile(file, chunk.get(), kChunk, &read, nullptr) && read;) {
        ok = hash.Add(chunk.get(), read);
        *pnSize += read;
    }
    return ok && hash.GetValue(digest);
}

// TRUE when path, not followed if it is a link, names the file open as file.
BOOL NamesFile(const wchar_t* path, HANDLE file) {
    CHandle named(::CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                nullptr));
    BY_HANDLE_FILE_INFORMATION a = {}, b = {};
    return named.IsValid() && ::GetFileInformationByHandle(named, &a) && ::GetFileInformationByHandle(file, &b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace

BOOL CHeldPackage::Hold(CDownloadedFile& download, const CPackageFacts& facts, BOOL* pbChanged) {
    Release();
    *pbChanged = FALSE;
    CHandle written(download.file.Detach());
    const size_t folderLen = FolderLength(download.szPath);
    CCryptContext context;
    BYTE random[8];
    wchar_t folder[PATH_CHARS], held[PATH_CHARS];
    if (!written.IsValid() || !folderLen || !context.Acquire() ||
        !::CryptGenRandom(context, sizeof(random), random) || !CopyWhole(folder, download.szPath, folderLen) ||
        !FormatWhole(held, L"%ls\\velmora-%02x%02x%02x%02x%02x%02x%02x%02x.exe", folder, random[0], random[1],
                     random[2], random[3], random[4], random[5], random[6], random[7]))
        return FALSE;

    // Held without delete sharing, the folder cannot be renamed away and
    // another put in its place.
    m_folder.Attach(::CreateFileW(folder, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    const DWORD kAnyShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    BOOL bDigestBefore = FALSE;
    ULONGLONG nSizeBefore = 0;
    BYTE before[SHA256_BYTES] = {};
    if (AfxRenameOpenFile(written, held, FALSE)) {
        // The second handle has to share writing with the first, which still
        // exists as it is made; the third, made once the first is gone, shares
        // nothing but reading. Only between the two may anyone else write.
        CopyWhole(m_szPath, held);
        bDigestBefore = !facts.bSha256;
        if (bDigestBefore && !DigestFile(written, context, &nSizeBefore, before)) {
            written.Close();
            Release();
            return FALSE;
        }
        CHandle bridge(AfxReOpenFile(written, GENERIC_READ, kAnyShare, 0));
        written.Close();
        const HANDLE hHeld = bridge.IsValid()
                                 ? AfxReOpenFile(bridge, GENERIC_READ, FILE_SHARE_READ, FILE_FLAG_SEQUENTIAL_SCAN)
                                 : INVALID_HANDLE_VALUE;
        // Another program that opened it for writing in between keeps it from
        // being held: a change as good as made.
        if (hHeld == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_SHARING_VIOLATION) *pbChanged = TRUE;
        m_file.Attach(hHeld);
        if (m_file.IsValid() && !NamesFile(held, m_file)) *pbChanged = TRUE;  // renamed away and replaced meanwhile
    } else {
        // Windows XP: by name, as the system allows.
        const DWORD error = ::GetLastError();
        written.Close();
        if (error != ERROR_CALL_NOT_IMPLEMENTED || !::MoveFileExW(download.szPath, held, MOVEFILE_WRITE_THROUGH)) {
            Release();  // the folder, held above
            return FALSE;
        }
        CopyWhole(m_szPath, held);
        m_file.Attach(::CreateFileW(held, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    }
    if (!*pbChanged && m_folder.IsValid() && m_file.IsValid() && DigestFile(m_file, context, &m_nSize, m_sha256)) {
        if (!bDigestBefore || (nSizeBefore == m_nSize && memcmp(before, m_sha256, SHA256_BYTES) == 0)) return TRUE;
        *pbChanged = TRUE;
    }
    Release();
    return FALSE;
}

BOOL CHeldPackage::Matches(const CPackageFacts& facts) const {
    return m_file.IsValid() && (!facts.bSize || facts.nSize == m_nSize) &&
           (!facts.bSha256 || memcmp(facts.sha256, m_sha256, SHA256_BYTES) == 0);
}

void CHeldPackage::Release() {
    m_file.Close();
    m_folder.Close();
    if (m_szPath[0]) ::DeleteFileW(m_szPath);
    m_szPath[0] = L'\0';
}

void DeleteLeftoverPackages(const wchar_t* folder) {
    wchar_t pattern[PATH_CHARS];
    if (!JoinPath(pattern, folder, kRunNamePattern)) return;
    WIN32_FIND_DATAW fd;
    const HANDLE hFind = ::FindFirstFileW(pattern, &fd);
    if (hFind == INVALID_HANDLE_VALUE) return;
    do {
        wchar_t path[PATH_CHARS];
        // One a setup still runs cannot be deleted: it stays for a later run.
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && JoinPath(path, folder, fd.cFileName))
            ::DeleteFileW(path);
    } while (::FindNextFileW(hFind, &fd));
    ::FindClose(hFind);
}
