#include "InstallerPaths.h"
#include <cwchar>

BOOL JoinFolderPath(wchar_t* path, size_t cchPath, const wchar_t* folder, const wchar_t* tail) {
    if (cchPath == 0) return FALSE;
    const size_t nFolder = wcslen(folder), nTail = wcslen(tail);
    if (nFolder + nTail >= cchPath) {
        path[0] = L'\0';
        return FALSE;
    }
    wmemmove(path, folder, nFolder);  // folder may be path itself
    wmemcpy(path + nFolder, tail, nTail + 1);
    return TRUE;
}

BOOL IsDirectory(const wchar_t* path) {
    const DWORD attr = ::GetFileAttributesW(path);
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

BOOL MakeDownloadFolder(wchar_t* folder, size_t cchFolder) {
    size_t len = wcsnlen(folder, cchFolder);
    if (len == 0 || len == cchFolder) {  // empty, or not terminated: nothing sound to build on
        if (cchFolder) folder[0] = L'\0';
        return FALSE;
    }
    if (folder[len - 1] == L'\\') folder[len - 1] = L'\0';  // Wine's Documents path ends in one
    return JoinFolderPath(folder, cchFolder, folder, L"\\CorvaneVelmora\\");
}
