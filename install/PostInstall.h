// The two options applied after the setup: the taskbar shortcut and start
// at logon.
#pragma once
#include <windows.h>
#include "framework/BoundedText.h"

// The client's shortcut that a declined taskbar option acts on.
struct CShortcutRow {
    int nCsidl;            // folder it lies in
    const wchar_t* szTail; // appended to that folder
    BOOL bUnpin;           // TRUE: unpin it from the taskbar; FALSE: delete it
};
CShortcutRow ShortcutRowFor(DWORD dwMajorVersion);

// The client launcher in the installation folder, "<folder>\vlLauncher.exe".
BOOL FormatLauncherPath(const wchar_t* folder, wchar_t (&path)[PATH_CHARS]);

// The start-at-logon command: the launcher's path, in double quotes when it
// holds a blank (otherwise Windows would try "C:\My.exe" for
// "C:\My Games\..."), as it is when it holds none.
BOOL FormatRunCommand(const wchar_t* folder, wchar_t (&command)[PATH_CHARS]);

// The client's setting file, "<folder>\config\config.ini".
BOOL FormatClientConfigPath(const wchar_t* folder, wchar_t (&path)[PATH_CHARS]);

// With bKeep nothing happens; otherwise the client's shortcut of the OS
// family is unpinned or deleted (ShortcutRowFor). Always TRUE.
BOOL ApplyTaskbarChoice(BOOL bKeep, DWORD dwMajorVersion);

// With bAutoRun the Run value (VELMORA_RUN_KEY, in the 32-bit view) starts
// the launcher in folder and the client's AutoRun setting is switched on;
// without, a Run value that is there is deleted. FALSE when the Run key
// cannot be opened.
BOOL ApplyAutoRunChoice(BOOL bAutoRun, const wchar_t* folder);
