// Path arithmetic of the installer's state, apart from the shell calls.
#pragma once
#include <windows.h>
#include "framework/BoundedText.h"

// Turns the Documents path in folder into the download folder,
// Documents\CorvaneVelmora\ with one separator however the path ends. When
// the result does not fit, folder becomes empty and the result is FALSE: a
// cut-off path would name a different folder.
BOOL MakeDownloadFolder(wchar_t (&folder)[PATH_CHARS]);
