// Finding the folder of an earlier installation from the setup's Uninstall
// entry.
#pragma once
#include <windows.h>
#include "framework/BoundedText.h"

// Reads the earlier installation's folder from the Uninstall entry its
// setup registered (VELMORA_UNINSTALL_KEY, in the 32-bit view) into folder
// (PATH_CHARS characters, or null to only ask); a missing, non-string or
// over-long value leaves folder as it was. TRUE only when the installation's icon
// file (DisplayIcon) is still there.
BOOL FindInstalledFolder(wchar_t* folder);
