#include "app/InstallerPaths.h"
#include "install/ProductNames.h"
#include <cwchar>

BOOL MakeDownloadFolder(wchar_t (&folder)[PATH_CHARS]) {
    const size_t len = wcsnlen(folder, PATH_CHARS);
    if (len == 0 || len == PATH_CHARS) {  // empty, or not terminated: nothing sound to build on
        folder[0] = L'\0';
        return FALSE;
    }
    if (folder[len - 1] == L'\\') folder[len - 1] = L'\0';  // Wine's Documents path ends in one
    return JoinPath(folder, folder, L"\\" VELMORA_DOWNLOAD_FOLDER L"\\");
}
