// The two options applied after the setup: the taskbar shortcut and start
// at logon. CInstallerDlg::ApplyTaskbarOption and ApplyAutoRunOption are
// defined in PostInstall.cpp.
#pragma once
#include <windows.h>
#include "InstallerPaths.h"

// The Run key of the start-at-logon value, chosen by the OS major version
// alone: the Wow6432Node one from version 6 on.
const wchar_t* AutoRunKeyFor(DWORD dwMajorVersion);

// The client's shortcut that a declined taskbar option acts on.
struct CShortcutRow {
    int nCsidl;            // folder it lies in
    const wchar_t* szTail; // appended to that folder
    BOOL bUnpin;           // TRUE: unpin it from the taskbar; FALSE: delete it
};
CShortcutRow ShortcutRowFor(DWORD dwMajorVersion);


// The client launcher in the installation folder, "<folder>\vlLauncher.exe".
BOOL FormatLauncherPath(const wchar_t* folder, wchar_t* path, size_t cchPath);

// The client's setting file, "<folder>\config\config.ini".
BOOL FormatClientConfigPath(const wchar_t* folder, wchar_t* path, size_t cchPath);

// Size in bytes of a REG_SZ value holding text, terminator included.
DWORD RegistryStringSize(const wchar_t* text);
