// The upgrade manifest: which setup package to download.
#pragma once
#include <windows.h>
#include <string>
#include "framework/BoundedText.h"

// Checks a manifest document as the JSON parser receives it (code page 936
// bytes): comments allowed, the first complete value taken and anything
// after it ignored, bytes inside strings passed through unvalidated. The top
// level must be an object whose "code" is 100 (an integer within 32 bits, or
// a string starting with that number) and whose "result" object has
// "versionCode", "version" and a non-empty string "downloadUrl". On TRUE
// downloadUrl holds that string's bytes.
BOOL ReadUpgradeManifest(const char* document, size_t length, std::string* downloadUrl);

// From the decoded reply text to the package URL: the text goes through
// code page 936 to the checks above and the URL comes back from it into url.
// FALSE, with url untouched, when a check fails or the URL does not fit
// whole.
BOOL ExtractDownloadUrl(const wchar_t* replyText, wchar_t (&url)[URL_CHARS]);

// Asks the vendor server for the manifest of the OS major version and keeps
// its package URL in url. FALSE, with url untouched, when the request or a
// check fails.
BOOL QueryDownloadUrl(DWORD osMajorVersion, wchar_t (&url)[URL_CHARS]);
