// The folder the package is downloaded to and run from:
// %ProgramData%\CorvaneVelmora\. The installer runs as administrator while
// any user may create folders in ProgramData, so before use the folder is
// made one that only administrators can write and that is no link to
// somewhere else; otherwise another user's program could swap the package
// before it runs, or make the installer write where it should not.
#pragma once
#include <windows.h>
#include "framework/BoundedText.h"

// Turns the ProgramData path in folder into the staging folder,
// ProgramData\CorvaneVelmora\ with one separator however the path ends.
// When the result does not fit, folder becomes empty and the result is
// FALSE: a cut-off path would name a different folder.
BOOL MakeStagingFolderPath(wchar_t (&folder)[PATH_CHARS]);

// The staging folder's path, with a trailing backslash.
BOOL GetStagingFolder(wchar_t (&folder)[PATH_CHARS]);

// TRUE when sd keeps a folder to administrators: owned by Administrators or
// SYSTEM, its DACL protected (nothing inherited from ProgramData) and no
// entry allowing anyone else to write, delete or change it.
BOOL IsAdminOnlySecurity(PSECURITY_DESCRIPTOR sd);

// Makes folder (with its trailing backslash) safe to use: created with an
// administrators-only DACL when missing; a link (a reparse point, or a path
// that resolves elsewhere) or a file in its place is removed, and a folder
// with another owner or a DACL that lets others write is emptied and
// removed, before it is created anew. FALSE when it cannot be made safe;
// nothing is then written through it.
//
// Wine keeps no security descriptors (it makes one up from the file's Unix
// mode), so there the DACL is set but cannot be checked; links are checked
// all the same.
BOOL PrepareStagingFolder(const wchar_t* folder);
