#include "install/PostInstall.h"
#include "install/SupportLog.h"
#include "framework/afxreg.h"
#include "framework/afxshell.h"
#include "install/ProductNames.h"
#include <shellapi.h>
#include <cwchar>

CShortcutRow ShortcutRowFor(DWORD dwMajorVersion) {
    if (dwMajorVersion > 5) return {CSIDL_DESKTOP, L"\\" VELMORA_SHORTCUT, TRUE};
    return {CSIDL_APPDATA, L"\\Microsoft\\Internet Explorer\\Quick Launch\\" VELMORA_SHORTCUT, FALSE};
}

BOOL FormatLauncherPath(const wchar_t* folder, wchar_t (&path)[PATH_CHARS]) {
    return JoinPath(path, folder, L"\\" VELMORA_LAUNCHER);
}

BOOL FormatRunCommand(const wchar_t* folder, wchar_t (&command)[PATH_CHARS]) {
    wchar_t launcher[PATH_CHARS];
    if (!FormatLauncherPath(folder, launcher)) return FALSE;
    return wcschr(launcher, L' ') ? FormatWhole(command, L"\"%ls\"", launcher) : CopyWhole(command, launcher);
}

BOOL FormatClientConfigPath(const wchar_t* folder, wchar_t (&path)[PATH_CHARS]) {
    return JoinPath(path, folder, L"\\" VELMORA_CONFIG_FILE);
}

BOOL ApplyTaskbarChoice(BOOL bKeep, DWORD dwMajorVersion) {
    if (bKeep) {
        SupportLog(L"taskbar: the shortcut stays");
        return TRUE;
    }

    // Without the folder the shortcut's path would be relative to the
    // current drive: act on nothing rather than on some other file.
    const CShortcutRow row = ShortcutRowFor(dwMajorVersion);
    wchar_t path[PATH_CHARS];
    if (!AfxGetSpecialFolder(row.nCsidl, path) || !path[0] || !JoinPath(path, path, row.szTail)) return TRUE;

    if (row.bUnpin) {
        // The verb is served by a shell extension, which needs COM on this
        // thread; only for the call, as the worker does not pump messages.
        CComSession com;
        ::ShellExecuteW(nullptr, L"TaskbarUnpin", path, nullptr, nullptr, SW_SHOW);
        SupportLog(L"taskbar: unpinned %ls", path);
    } else {
        SupportLog(L"taskbar: %ls %ls", path, ::DeleteFileW(path) ? L"deleted" : L"not there");
    }
    return TRUE;
}

BOOL ApplyAutoRunChoice(BOOL bAutoRun, const wchar_t* folder) {
    CRegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, VELMORA_RUN_KEY, KEY_QUERY_VALUE | KEY_SET_VALUE | VELMORA_REGISTRY_VIEW) !=
        ERROR_SUCCESS) {
        SupportLog(L"start at logon: the Run key cannot be opened");
        return FALSE;
    }

    wchar_t value[PATH_CHARS] = {};
    const BOOL bHadValue = key.QueryStringValue(VELMORA_RUN_VALUE, value) && value[0];

    if (bAutoRun) {
        // A path that does not fit is not written: it would name another file.
        wchar_t data[PATH_CHARS];
        const BOOL bSet = FormatRunCommand(folder, data) && key.SetStringValue(VELMORA_RUN_VALUE, data) == ERROR_SUCCESS;
        wchar_t ini[PATH_CHARS];
        const BOOL bConfig = FormatClientConfigPath(folder, ini) &&
                             ::WritePrivateProfileStringW(VELMORA_CONFIG_SECTION, VELMORA_CONFIG_AUTORUN, L"1", ini);
        SupportLog(L"start at logon: Run value %ls, client setting %ls", bSet ? data : L"not written",
                   bConfig ? L"on" : L"not written");
    } else if (bHadValue) {
        key.DeleteValue(VELMORA_RUN_VALUE);
        SupportLog(L"start at logon: Run value deleted");
    } else {
        SupportLog(L"start at logon: off");
    }
    return TRUE;
}
