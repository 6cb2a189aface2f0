#include "PostInstall.h"
#include "InstallerDlg.h"
#include "RegistryString.h"
#include <shlobj.h>
#include <shellapi.h>
#include <objbase.h>
#include <cwchar>

const wchar_t* AutoRunKeyFor(DWORD dwMajorVersion) {
    return dwMajorVersion >= 6 ? L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run"
                               : L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
}

CShortcutRow ShortcutRowFor(DWORD dwMajorVersion) {
    if (dwMajorVersion > 5) return {CSIDL_DESKTOP, L"\\Velmora.lnk", TRUE};
    return {CSIDL_APPDATA, L"\\Microsoft\\Internet Explorer\\Quick Launch\\Velmora.lnk", FALSE};
}

BOOL FormatLauncherPath(const wchar_t* folder, wchar_t* path, size_t cchPath) {
    return JoinFolderPath(path, cchPath, folder, L"\\vlLauncher.exe");
}

BOOL FormatClientConfigPath(const wchar_t* folder, wchar_t* path, size_t cchPath) {
    return JoinFolderPath(path, cchPath, folder, L"\\config\\config.ini");
}

DWORD RegistryStringSize(const wchar_t* text) { return static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)); }

BOOL CInstallerDlg::ApplyTaskbarOption() {
    if (m_chkTaskbar.GetCheck() == 1) return TRUE;

    const CShortcutRow row = ShortcutRowFor(m_osvi.dwMajorVersion);
    LPITEMIDLIST pidl = nullptr;
    if (FAILED(::SHGetFolderLocation(nullptr, row.nCsidl, nullptr, 0, &pidl)) || !pidl) return TRUE;
    wchar_t path[260] = {};
    BOOL bPath = ::SHGetPathFromIDListW(pidl, path);
    ::CoTaskMemFree(pidl);
    // Without the folder the shortcut's path would be relative to the
    // current drive: act on nothing rather than on some other file.
    if (!bPath || !path[0] || !JoinFolderPath(path, _countof(path), path, row.szTail)) return TRUE;

    if (row.bUnpin) {
        // The verb is served by a shell extension, which needs COM on this
        // thread; only for the call, as the worker does not pump messages.
        const HRESULT hrCom = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        ::ShellExecuteW(nullptr, L"TaskbarUnpin", path, nullptr, nullptr, SW_SHOW);
        if (SUCCEEDED(hrCom)) ::CoUninitialize();
    } else {
        ::DeleteFileW(path);
    }
    return TRUE;
}

BOOL CInstallerDlg::ApplyAutoRunOption() {
    HKEY hKey = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, AutoRunKeyFor(m_osvi.dwMajorVersion), 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                        &hKey) != ERROR_SUCCESS)
        return FALSE;

    wchar_t value[260] = {};
    const BOOL bHadValue = ReadRegistryString(hKey, L"Velmora", value, _countof(value)) && value[0];

    if (m_chkAutoRun.GetCheck() == 1) {
        // A path that does not fit is not written: it would name another file.
        wchar_t data[260];
        if (FormatLauncherPath(m_szInstallDir, data, _countof(data)))
            ::RegSetValueExW(hKey, L"Velmora", 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                             RegistryStringSize(data));
        wchar_t ini[260];
        if (FormatClientConfigPath(m_szInstallDir, ini, _countof(ini)))
            ::WritePrivateProfileStringW(L"AppSetting", L"AutoRun", L"1", ini);
    } else if (bHadValue) {
        ::RegDeleteValueW(hKey, L"Velmora");
    }
    ::RegCloseKey(hKey);
    return TRUE;
}
