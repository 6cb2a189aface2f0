// The upgrade manifest: which setup package to download.
#pragma once
#include <windows.h>
#include <string>
#include "framework/BoundedText.h"

// Checks a manifest document as the JSON parser receives it (code page 936
// bytes): comments allowed, the first complete value taken and anything
// after it ignored, bytes inside strings passed through unvalidated, raw
// control characters inside strings taken as they are. The top
// level must be an object whose "code" is 100 (an integer within 32 bits, or
// a string starting with that number) and whose "result" object has
// "versionCode", "version" and a non-empty string "downloadUrl". On TRUE
// downloadUrl holds that string's bytes.
BOOL ReadUpgradeManifest(const char* document, size_t length, std::string* downloadUrl);

// From the decoded reply text to the package URL: the text goes through
// code page 936 to the checks above and the URL comes back from it into url,
// without its fragment. FALSE, with url untouched, when a check fails, the
// URL does not fit whole, or it is not a strict http:// URL (SplitHttpUrl).
BOOL ExtractDownloadUrl(const wchar_t* replyText, wchar_t (&url)[URL_CHARS]);

// Asks the vendor server for the manifest of the OS major version and keeps
// its package URL in url; a transient fault gets up to MANIFEST_RETRIES
// further attempts. FALSE, with url untouched, when the request or a check
// fails, or the install stop signal ends a wait.
BOOL QueryDownloadUrl(DWORD osMajorVersion, wchar_t (&url)[URL_CHARS]);

// The same query on a thread of its own, so that the window never waits for
// the server. One at a time: FALSE while an earlier one still runs.
BOOL StartUpgradeQuery(DWORD osMajorVersion);
// Waits for the started query to end (not at all when none was started)
// and gives its URL; FALSE when it found none or the stop signal came first.
BOOL AwaitUpgradeQuery(wchar_t (&url)[URL_CHARS]);
// Requests the stop and waits up to dwGraceMs for a running query; FALSE
// when it still runs, in which case the caller ends the process at once.
BOOL EndUpgradeQuery(DWORD dwGraceMs);
