#include "InstalledPath.h"
#include "InstallerDlg.h"
#include "RegistryString.h"
#include <cwchar>

void FormatUninstallKey(BOOL bWow64, wchar_t* key, size_t cchKey) {
    swprintf(key, cchKey,
             L"SOFTWARE\\%lsMicrosoft\\Windows\\CurrentVersion\\Uninstall\\"
             L"{8C3E51A2-7F04-4B9D-A6E1-2D57C90B3F48}_is1",
             bWow64 ? L"Wow6432Node\\" : L"");
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

BOOL CInstallerDlg::DetectInstalledPath(wchar_t* folder) {
    wchar_t key[260];
    FormatUninstallKey(RunsUnderWow64(), key, _countof(key));
    HKEY hKey = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &hKey) != ERROR_SUCCESS) return FALSE;

    // A missing, non-string or over-long App Path leaves the folder as it
    // was (the default).
    if (folder) ReadRegistryString(hKey, L"Inno Setup: App Path", folder, 260);

    // The result only tells whether the installation's icon file is still
    // there; the folder above is taken either way.
    BOOL bIconFound = FALSE;
    wchar_t icon[256];
    if (ReadRegistryString(hKey, L"DisplayIcon", icon, _countof(icon))) {
        HANDLE hFile = ::CreateFileW(icon, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (hFile != INVALID_HANDLE_VALUE) {
            ::CloseHandle(hFile);
            bIconFound = TRUE;
        }
    }
    ::RegCloseKey(hKey);
    return bIconFound;
}
