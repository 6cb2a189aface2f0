// Path arithmetic of the installer's state, apart from the shell calls.
#pragma once
#include <windows.h>

// Turns the Documents path in folder (a buffer of cchFolder characters) into
// the download folder, Documents\CorvaneVelmora\ with one separator however
// the path ends. When the result does not fit, folder becomes empty and the
// result is FALSE: a cut-off path would name a different folder.
BOOL MakeDownloadFolder(wchar_t* folder, size_t cchFolder);

// path (cchPath characters) becomes folder followed by tail. FALSE, with
// path empty, when that does not fit: a cut-off path names another file.
BOOL JoinFolderPath(wchar_t* path, size_t cchPath, const wchar_t* folder, const wchar_t* tail);

// TRUE when path names an existing directory.
BOOL IsDirectory(const wchar_t* path);
