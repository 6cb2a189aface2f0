#include "install/StagingFolder.h"
#include "framework/afxfile.h"
#include "framework/afxshell.h"
#include "install/ProductNames.h"
#include <aclapi.h>
#include <sddl.h>
#include <cwchar>

namespace {

// SYSTEM and Administrators may do anything, nobody else anything at all;
// nothing is inherited from ProgramData, and what is made inside inherits
// the same.
const wchar_t kAdminOnlySddl[] = L"O:BAG:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// Rights that change a folder or what is in it.
const ACCESS_MASK kWriteRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                                 FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL |
                                 MAXIMUM_ALLOWED;

BOOL IsAdministratorsOrSystem(PSID sid) {
    return ::IsWellKnownSid(sid, WinBuiltinAdministratorsSid) || ::IsWellKnownSid(sid, WinLocalSystemSid);
}

BOOL IsWine() {
    const HMODULE hNtdll = ::GetModuleHandleW(L"ntdll.dll");
    return hNtdll && ::GetProcAddress(hNtdll, "wine_get_version");
}

enum FolderState { FOLDER_MISSING, FOLDER_SAFE, FOLDER_LINK, FOLDER_NOT_A_FOLDER, FOLDER_UNTRUSTED, FOLDER_UNKNOWN };

// Where the path leads once every link on the way is followed.
BOOL IsWhereItSays(HANDLE hFolder, const wchar_t* path) {
    typedef DWORD(WINAPI * GetFinalPathFn)(HANDLE, LPWSTR, DWORD, DWORD);
    const auto getFinalPath = reinterpret_cast<GetFinalPathFn>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW"));
    if (!getFinalPath) return TRUE;  // Windows XP: the reparse-point attribute is all there is
    wchar_t final[PATH_CHARS + 8], full[PATH_CHARS];
    const DWORD len = getFinalPath(hFolder, final, PATH_CHARS + 8, 0 /* normalized, DOS drive */);
    const DWORD fullLen = ::GetFullPathNameW(path, PATH_CHARS, full, nullptr);
    if (len == 0 || len >= PATH_CHARS + 8 || fullLen == 0 || fullLen >= PATH_CHARS) return FALSE;
    const wchar_t* resolved = wcsncmp(final, L"\\\\?\\", 4) == 0 ? final + 4 : final;
    return _wcsicmp(resolved, full) == 0;
}

FolderState InspectFolder(const wchar_t* path) {
    const DWORD attr = ::GetFileAttributesW(path);
    if (attr == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FOLDER_MISSING : FOLDER_UNKNOWN;
    }
    if (attr & FILE_ATTRIBUTE_REPARSE_POINT) return FOLDER_LINK;
    if (!(attr & FILE_ATTRIBUTE_DIRECTORY)) return FOLDER_NOT_A_FOLDER;
    CHandle folder(::CreateFileW(path, READ_CONTROL | FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder.IsValid()) return FOLDER_UNKNOWN;
    if (!IsWhereItSays(folder, path)) return FOLDER_LINK;
    if (IsWine()) return FOLDER_SAFE;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (::GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                          nullptr, nullptr, nullptr, &sd) != ERROR_SUCCESS)
        return FOLDER_UNKNOWN;
    const BOOL trusted = IsAdminOnlySecurity(sd);
    ::LocalFree(sd);
    return trusted ? FOLDER_SAFE : FOLDER_UNTRUSTED;
}

// Removes what is in folder without following a link: a link inside is
// removed itself, never what it points to.
void EmptyFolder(const wchar_t* folder) {
    wchar_t pattern[PATH_CHARS];
    if (!JoinPath(pattern, folder, L"\\*")) return;
    WIN32_FIND_DATAW fd;
    const HANDLE hFind = ::FindFirstFileW(pattern, &fd);
    if (hFind == INVALID_HANDLE_VALUE) return;
    do {
        if (!wcscmp(fd.cFileName, L".") || !wcscmp(fd.cFileName, L"..")) continue;
        wchar_t path[PATH_CHARS];
        if (!FormatWhole(path, L"%ls\\%ls", folder, fd.cFileName)) continue;
        ::SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ::DeleteFileW(path);
        } else {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) EmptyFolder(path);
            ::RemoveDirectoryW(path);
        }
    } while (::FindNextFileW(hFind, &fd));
    ::FindClose(hFind);
}

BOOL CreateAdminOnlyFolder(const wchar_t* path) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kAdminOnlySddl, SDDL_REVISION_1, &sd, nullptr))
        return FALSE;
    SECURITY_ATTRIBUTES sa = {sizeof(sa), sd, FALSE};
    const BOOL created = ::CreateDirectoryW(path, &sa);
    ::LocalFree(sd);
    return created;
}

}  // namespace

BOOL MakeStagingFolderPath(wchar_t (&folder)[PATH_CHARS]) {
    const size_t len = wcsnlen(folder, PATH_CHARS);
    if (len == 0 || len == PATH_CHARS) {  // empty, or not terminated: nothing sound to build on
        folder[0] = L'\0';
        return FALSE;
    }
    if (folder[len - 1] == L'\\') folder[len - 1] = L'\0';  // a drive root, or Wine's form
    return JoinPath(folder, folder, L"\\" VELMORA_DOWNLOAD_FOLDER L"\\");
}

BOOL GetStagingFolder(wchar_t (&folder)[PATH_CHARS]) {
    return AfxGetSpecialFolder(CSIDL_COMMON_APPDATA, folder) && MakeStagingFolderPath(folder);
}

BOOL IsAdminOnlySecurity(PSECURITY_DESCRIPTOR sd) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    PACL dacl = nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!sd || !::GetSecurityDescriptorOwner(sd, &owner, &defaulted) || !owner || !IsAdministratorsOrSystem(owner) ||
        !::GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted) || !present || !dacl ||
        !::GetSecurityDescriptorControl(sd, &control, &revision) || !(control & SE_DACL_PROTECTED))
        return FALSE;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* ace = nullptr;
        if (!::GetAce(dacl, i, reinterpret_cast<void**>(&ace))) return FALSE;
        if (ace->AceType == ACCESS_DENIED_ACE_TYPE) continue;
        if (ace->AceType != ACCESS_ALLOWED_ACE_TYPE) return FALSE;  // callback and object entries: not ours
        const auto* allowed = reinterpret_cast<ACCESS_ALLOWED_ACE*>(ace);
        if ((allowed->Mask & kWriteRights) && !IsAdministratorsOrSystem(const_cast<DWORD*>(&allowed->SidStart)))
            return FALSE;
    }
    return TRUE;
}

BOOL PrepareStagingFolder(const wchar_t* folder) {
    wchar_t path[PATH_CHARS];  // without the trailing backslash
    if (!CopyWhole(path, folder)) return FALSE;
    const size_t len = wcslen(path);
    if (len > 3 && path[len - 1] == L'\\') path[len - 1] = L'\0';
    // A few rounds: what is removed may be put back by someone racing us.
    for (int round = 0; round < 4; ++round) {
        switch (InspectFolder(path)) {
        case FOLDER_SAFE:
            return TRUE;
        case FOLDER_MISSING:
            CreateAdminOnlyFolder(path);
            break;
        case FOLDER_LINK:  // the link itself goes, never what it points to
            ::RemoveDirectoryW(path);
            break;
        case FOLDER_NOT_A_FOLDER:
            ::DeleteFileW(path);
            break;
        case FOLDER_UNTRUSTED:
            EmptyFolder(path);
            ::RemoveDirectoryW(path);
            break;
        case FOLDER_UNKNOWN:
            return FALSE;
        }
    }
    return FALSE;
}
