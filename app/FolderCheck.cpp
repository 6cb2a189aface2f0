#include "app/FolderCheck.h"
#include "install/AsciiText.h"
#include "install/ProductNames.h"
#include <cwchar>

namespace {

bool IsTrailingJunk(wchar_t c) { return c == L'\\' || c == L'/' || c == L' '; }

size_t TrimmedLength(const wchar_t* text) {
    size_t len = wcslen(text);
    while (len > 0 && IsTrailingJunk(text[len - 1])) --len;
    return len;
}

}  // namespace

BOOL IsInstallFolderAccepted(const wchar_t* text, const wchar_t* driveList) {
    if (wcslen(text) < 3 || text[1] != L':' || text[2] != L'\\') return FALSE;
    BOOL onDrive = FALSE;
    for (const wchar_t* root = driveList; root && *root && !onDrive; root += wcslen(root) + 1)
        onDrive = StartsWithAsciiNoCase(text, root);
    if (!onDrive) return FALSE;
    const size_t len = TrimmedLength(text);
    for (size_t i = 3; i < len; ++i)
        if (wcschr(L":*?\"<>|", text[i])) return FALSE;
    return TRUE;
}

void CleanInstallFolder(wchar_t* text) {
    text[TrimmedLength(text)] = L'\0';
    for (wchar_t* p = text; *p; ++p)
        if (*p == L'/') *p = L'\\';
}

BOOL MakeBrowsedInstallFolder(const wchar_t* chosen, wchar_t (&out)[PATH_CHARS]) {
    wchar_t folder[PATH_CHARS];
    if (!CopyWhole(folder, chosen)) return FALSE;
    const size_t len = wcslen(folder);
    if (len > 0 && folder[len - 1] == L'\\') folder[len - 1] = L'\0';  // a drive root such as D:\ ...
    if (!JoinPath(folder, folder, L"\\" VELMORA_FOLDER_NAME)) return FALSE;
    return CopyWhole(out, folder);
}
