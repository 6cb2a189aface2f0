#include "install/PackageHold.h"
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

namespace {

const wchar_t kRunNamePattern[] = L"velmora-*.exe";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Length of path's folder part, before its last backslash; 0 without one.
size_t FolderLength(const wchar_t* path) {
    const wchar_t* sep = wcsrchr(path, L'\\');
    return sep ? static_cast<size_t>(sep - path) : 0;
}

}  // namespace

BOOL ParseSha256Hex(const char* hex, BYTE (&digest)[SHA256_BYTES]) {
    if (strlen(hex) != 2 * SHA256_BYTES) return FALSE;
    BYTE out[SHA256_BYTES];
    for (DWORD i = 0; i < SHA256_BYTES; ++i) {
        const int hi = HexDigit(hex[2 * i]), lo = HexDigit(hex[2 * i + 1]);
        if (hi < 0 || lo < 0) return FALSE;
        out[i] = static_cast<BYTE>(hi << 4 | lo);
    }
    memcpy(digest, out, SHA256_BYTES);
    return TRUE;
}

BOOL CHeldPackage::Hold(const wchar_t* path) {
    Release();
    const size_t folderLen = FolderLength(path);
    CCryptContext context;
    BYTE random[8];
    wchar_t folder[PATH_CHARS], held[PATH_CHARS];
    if (!folderLen || !context.Acquire() || !::CryptGenRandom(context, sizeof(random), random) ||
        !CopyWhole(folder, path, folderLen) ||
        !FormatWhole(held, L"%ls\\velmora-%02x%02x%02x%02x%02x%02x%02x%02x.exe", folder, random[0], random[1],
                     random[2], random[3], random[4], random[5], random[6], random[7]) ||
        !::MoveFileExW(path, held, MOVEFILE_WRITE_THROUGH))
        return FALSE;

    // Held without delete sharing, the folder cannot be renamed away and
    // another put in its place.
    m_folder.Attach(::CreateFileW(folder, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    m_file.Attach(::CreateFileW(held, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    CopyWhole(m_szPath, held);
    CCryptHash hash;
    const DWORD kChunk = 256 * 1024;
    std::unique_ptr<BYTE[]> chunk(new (std::nothrow) BYTE[kChunk]);
    BOOL ok = chunk && m_folder.IsValid() && m_file.IsValid() && hash.CreateSha256(context);
    m_nSize = 0;
    for (DWORD read = 0; ok && ::ReadFile(m_file, chunk.get(), kChunk, &read, nullptr) && read;) {
        ok = hash.Add(chunk.get(), read);
        m_nSize += read;
    }
    if (ok && hash.GetValue(m_sha256)) return TRUE;
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
