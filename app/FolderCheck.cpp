#include "FolderCheck.h"
#include <cstdlib>
#include <cwchar>

namespace {

wchar_t AsciiLower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + (L'a' - L'A')) : c; }

BOOL StartsWithNoCase(const wchar_t* text, const wchar_t* prefix) {
    for (; *prefix; ++text, ++prefix)
        if (!*text || AsciiLower(*text) != AsciiLower(*prefix)) return FALSE;
    return TRUE;
}

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
        onDrive = StartsWithNoCase(text, root);
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

BOOL MakeBrowsedInstallFolder(const wchar_t* chosen, wchar_t* out, size_t cchOut) {
    static const wchar_t kSubfolder[] = L"\\velmora";
    size_t len = wcslen(chosen);
    if (len > 0 && chosen[len - 1] == L'\\') --len;  // a drive root such as D:\ ...
    if (len + _countof(kSubfolder) > cchOut) return FALSE;
    wmemcpy(out, chosen, len);
    wmemcpy(out + len, kSubfolder, _countof(kSubfolder));
    return TRUE;
}
