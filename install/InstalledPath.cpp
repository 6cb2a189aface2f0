#include "install/InstalledPath.h"
#include "framework/afxfile.h"
#include "framework/afxreg.h"
#include "install/ProductNames.h"
#include <cwchar>

BOOL FormatUninstallKey(BOOL bWow64, wchar_t (&key)[PATH_CHARS]) {
    return FormatWhole(key, L"SOFTWARE\\%ls" VELMORA_UNINSTALL_KEY, bWow64 ? L"Wow6432Node\\" : L"");
}

BOOL RunsUnderWow64() {
    // Looked up at run time: older systems have no such function.
    typedef BOOL(WINAPI * IsWow64ProcessFn)(HANDLE, PBOOL);
    HMODULE hKernel = ::GetModuleHandleW(L"kernel32");
    IsWow64ProcessFn pfn =
        hKernel ? reinterpret_cast<IsWow64ProcessFn>(::GetProcAddress(hKernel, "IsWow64Process")) : nullptr;
    BOOL bWow64 = FALSE;
    return pfn && pfn(::GetCurrentProcess(), &bWow64) && bWow64;
}

namespace {

// The icon value is read into a buffer of this many characters.
const size_t kIconChars = 256;

}  // namespace

BOOL FindInstalledFolder(wchar_t* folder) {
    wchar_t keyName[PATH_CHARS];
    CRegKey key;
    if (!FormatUninstallKey(RunsUnderWow64(), keyName) ||
        key.Open(HKEY_LOCAL_MACHINE, keyName, KEY_READ) != ERROR_SUCCESS)
        return FALSE;

    wchar_t found[PATH_CHARS];
    if (folder && key.QueryStringValue(L"Inno Setup: App Path", found))
        CopyTextWhole(folder, PATH_CHARS, found, wcslen(found));

    // The result only tells whether the installation's icon file is still
    // there; the folder above is taken either way.
    wchar_t icon[kIconChars];
    if (!key.QueryStringValue(L"DisplayIcon", icon)) return FALSE;
    CHandle file(::CreateFileW(icon, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.IsValid();
}
