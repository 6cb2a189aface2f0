#include "InstallerPaths.h"
#include <cwchar>

BOOL MakeDownloadFolder(wchar_t* folder, size_t cchFolder) {
    static const wchar_t kSubfolder[] = L"\\CorvaneVelmora\\";
    size_t len = wcsnlen(folder, cchFolder);
    if (len == cchFolder) {  // not terminated: nothing sound to build on
        folder[0] = L'\0';
        return FALSE;
    }
    if (len > 0 && folder[len - 1] == L'\\') --len;
    const size_t need = len + (sizeof(kSubfolder) / sizeof(wchar_t));  // includes the NUL
    if (len == 0 || need > cchFolder) {
        folder[0] = L'\0';
        return FALSE;
    }
    wmemcpy(folder + len, kSubfolder, sizeof(kSubfolder) / sizeof(wchar_t));
    return TRUE;
}
