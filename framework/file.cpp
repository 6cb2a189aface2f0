#include "framework/afxfile.h"
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

BOOL IsDirectory(const wchar_t* path) {
    const DWORD attr = ::GetFileAttributesW(path);
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

// Looked up at run time: Windows XP has neither.
template <class Fn>
Fn KernelProc(const char* name) {
    return reinterpret_cast<Fn>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name));
}

}  // namespace

BOOL AfxRenameOpenFile(HANDLE hFile, const wchar_t* newPath, BOOL bReplace) {
    typedef BOOL(WINAPI * SetFileInformationByHandleFn)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID, DWORD);
    const auto setInformation = KernelProc<SetFileInformationByHandleFn>("SetFileInformationByHandle");
    if (!setInformation) {
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    const size_t cbName = wcslen(newPath) * sizeof(wchar_t);
    const size_t cbInfo = sizeof(FILE_RENAME_INFO) + cbName;
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[cbInfo]());
    if (!buffer) return FALSE;
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.get());
    info->ReplaceIfExists = bReplace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(cbName);
    memcpy(info->FileName, newPath, cbName);
    return setInformation(hFile, FileRenameInfo, info, static_cast<DWORD>(cbInfo));
}

HANDLE AfxReOpenFile(HANDLE hFile, DWORD dwAccess, DWORD dwShare, DWORD dwFlags) {
    typedef HANDLE(WINAPI * ReOpenFileFn)(HANDLE, DWORD, DWORD, DWORD);
    const auto reopen = KernelProc<ReOpenFileFn>("ReOpenFile");
    if (!reopen) {
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return INVALID_HANDLE_VALUE;
    }
    return reopen(hFile, dwAccess, dwShare, dwFlags);
}
