// The rules for the names a download gives files: which names a server's
// text may become, and the partial file's name. Pure: no file is touched.
#pragma once
#include <windows.h>
#include "framework/BoundedText.h"

// TRUE when name can be a file of its own inside a folder: not empty, under
// PATH_CHARS characters, no separator, drive colon, wildcard or control
// character, not "." or "..", no trailing dot or blank, no device name
// (CON, NUL, COM1, ...).
BOOL IsPlainFileName(const wchar_t* name);

// The partial file of a download whose replies carry the strong entity tag
// etag: beside path, named "<etag>.partial". FALSE when path has no folder,
// etag is empty, the name is not a plain file name, or the result does not
// fit.
BOOL MakePartialPath(const wchar_t* path, const wchar_t* etag, wchar_t (&partial)[PATH_CHARS]);

// The tag a partial file's name holds: TRUE with the tag in etag (etagChars
// wide) when name is "<tag>.partial" and MakePartialPath would give it that
// name; FALSE otherwise.
BOOL PartialFileTag(const wchar_t* name, wchar_t* etag, size_t etagChars);

// Length of path's folder part, before its last separator; 0 without one.
size_t FolderLength(const wchar_t* path);
