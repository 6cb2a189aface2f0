#include "install/FileNames.h"
#include "install/AsciiText.h"
#include <cwchar>

namespace {

const wchar_t kPartialSuffix[] = L".partial";
const size_t kPartialSuffixChars = sizeof(kPartialSuffix) / sizeof(wchar_t) - 1;

BOOL IsDeviceName(const wchar_t* name) {
    // Windows reads the part before the first dot, trailing blanks dropped.
    size_t len = wcscspn(name, L".");
    while (len > 0 && name[len - 1] == L' ') --len;
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* device : kDevices)
        if (EqualsAsciiNoCase(name, len, device)) return TRUE;
    if (len == 4 && (EqualsAsciiNoCase(name, 3, L"COM") || EqualsAsciiNoCase(name, 3, L"LPT"))) {
        const wchar_t n = name[3];
        return (n >= L'1' && n <= L'9') || n == 0x00B9 || n == 0x00B2 || n == 0x00B3;
    }
    return FALSE;
}

}  // namespace

BOOL IsPlainFileName(const wchar_t* name) {
    const size_t len = wcsnlen(name, PATH_CHARS);
    if (len == 0 || len >= PATH_CHARS) return FALSE;
    for (size_t i = 0; i < len; ++i)
        if (name[i] < 0x20 || wcschr(L"\\/:*?\"<>|", name[i])) return FALSE;
    if (name[len - 1] == L'.' || name[len - 1] == L' ') return FALSE;  // also "." and ".."
    return !IsDeviceName(name);
}

size_t FolderLength(const wchar_t* path) {
    const wchar_t* sep = wcsrchr(path, L'\\');
    if (!sep) sep = wcsrchr(path, L'/');
    return sep ? static_cast<size_t>(sep - path) : 0;
}

BOOL MakePartialPath(const wchar_t* path, const wchar_t* etag, wchar_t (&partial)[PATH_CHARS]) {
    const size_t folder = FolderLength(path);
    wchar_t name[PATH_CHARS];
    return folder && etag[0] && JoinPath(name, etag, kPartialSuffix) && IsPlainFileName(name) &&
           FormatWhole(partial, L"%.*ls\\%ls", static_cast<int>(folder), path, name);
}

BOOL PartialFileTag(const wchar_t* name, wchar_t* etag, size_t etagChars) {
    const size_t len = wcsnlen(name, PATH_CHARS);
    if (IsPlainFileName(name) && len > kPartialSuffixChars &&
        wcscmp(name + len - kPartialSuffixChars, kPartialSuffix) == 0)
        return CopyTextWhole(etag, etagChars, name, len - kPartialSuffixChars);
    CopyTextWhole(etag, etagChars, L"", 0);
    return FALSE;
}
