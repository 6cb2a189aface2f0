// Finding the folder of an earlier installation from the setup's Uninstall
// entry.
#pragma once
#include <windows.h>
#include "framework/BoundedText.h"

// The Uninstall key the client's setup registers, under HKEY_LOCAL_MACHINE.
// A 32-bit setup on a 64-bit system lands in the Wow6432Node branch.
BOOL FormatUninstallKey(BOOL bWow64, wchar_t (&key)[PATH_CHARS]);

// TRUE when this 32-bit process runs on a 64-bit system; FALSE also when
// the system cannot tell (no IsWow64Process, or the call fails).
BOOL RunsUnderWow64();

// Reads the earlier installation's folder into folder (PATH_CHARS
// characters, or null to only ask); a missing, non-string or over-long
// value leaves folder as it was. TRUE only when the installation's icon
// file (DisplayIcon) is still there.
BOOL FindInstalledFolder(wchar_t* folder);
