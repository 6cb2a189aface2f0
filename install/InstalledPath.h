// Finding the folder of an earlier installation from the setup's Uninstall
// entry. CInstallerDlg::DetectInstalledPath is defined in InstalledPath.cpp.
#pragma once
#include <windows.h>

// The Uninstall key the client's setup registers, under HKEY_LOCAL_MACHINE.
// A 32-bit setup on a 64-bit system lands in the Wow6432Node branch.
void FormatUninstallKey(BOOL bWow64, wchar_t* key, size_t cchKey);

// TRUE when this 32-bit process runs on a 64-bit system; FALSE also when
// the system cannot tell (no IsWow64Process, or the call fails).
BOOL RunsUnderWow64();
