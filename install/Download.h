// The resumable download of the setup package.
#pragma once
#include <windows.h>
#include "framework/BoundedText.h"

// Longest ETag kept, terminator included; a longer one counts as none.
const size_t kETagChars = 128;

// TRUE when name can be a file of its own inside a folder: not empty, under
// kETagChars characters, no separator, drive colon, wildcard or control
// character, not "." or "..", no trailing dot or blank, no device name
// (CON, NUL, COM1, ...).
BOOL IsPlainFileName(const wchar_t* name);

// The entity tag of a raw header block ("ETag:", then the text between the
// next two double quotes, in the ANSI code page). TRUE only for a tag that
// is a plain file name; otherwise etag is empty and the download goes
// straight to the package path.
BOOL ExtractETag(const char* rawHeaders, wchar_t (&etag)[kETagChars]);

// The partial file beside path: path's folder, "\", etag. FALSE when path
// has no folder or the result does not fit.
BOOL MakePartialPath(const wchar_t* path, const wchar_t* etag, wchar_t (&partial)[PATH_CHARS]);

// Downloads url to path. With an ETag the bytes go to a partial file named
// after it, continued with a Range request on a later call and moved onto
// path once complete. Each new whole percent is stored in *pnPercent and
// then posted to hWndNotify as WM_INSTALL_NOTIFY / INSTALL_NOTIFY_PROGRESS.
// Ends early, as a dropped connection would, once the install stop signal
// is set. TRUE when the whole package stands at path.
BOOL DownloadPackage(const wchar_t* url, const wchar_t* path, HWND hWndNotify, int* pnPercent);
