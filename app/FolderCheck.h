// The folder rules of the options page, apart from the window calls.
#pragma once
#include <windows.h>
#include "framework/BoundedText.h"

// The folder check run on every change of the folder text: "X:\" on a
// present drive (driveList: root strings such as "C:\", each ended by a
// NUL, the list ended by an empty string; compared ignoring ASCII case),
// and after the drive part, once trailing "\", "/" and blanks are dropped,
// none of : * ? " < > |.
BOOL IsInstallFolderAccepted(const wchar_t* text, const wchar_t* driveList);

// Install's cleaning of the typed folder, in place: trailing "\", "/" and
// blanks removed, every "/" turned into "\".
void CleanInstallFolder(wchar_t* text);

// The folder proposed after browsing to chosen: chosen (a drive root loses
// its "\") followed by "\velmora". FALSE, with out untouched, when that does
// not fit: a cut-off folder would name another place.
BOOL MakeBrowsedInstallFolder(const wchar_t* chosen, wchar_t (&out)[PATH_CHARS]);
