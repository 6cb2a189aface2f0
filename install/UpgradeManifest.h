// The upgrade manifest: which setup package to download, and what it must
// be.
#pragma once
#include <windows.h>
#include "framework/BoundedText.h"
#include "install/InstallReport.h"
#include "install/PackageHold.h"

// The most further package URLs a manifest names ("mirrors").
enum { MAX_MIRRORS = 4 };

// What a manifest document holds, as the JSON parser read it.
struct CManifestFields {
    char szUrl[2 * URL_CHARS] = {};  // "downloadUrl", code page 936 bytes
    char szMirrors[MAX_MIRRORS][2 * URL_CHARS] = {};  // "mirrors", in their order
    int nMirrors = 0;
    CPackageFacts package;           // "size" (bytes) and "sha256" (64 hex digits)
    BOOL bInstalledSize = FALSE;     // "installedSize" (bytes the installation takes)
    ULONGLONG nInstalledSize = 0;
    BOOL bExpires = FALSE;           // "expires" (Unix seconds, UTC)
    LONGLONG nExpires = 0;
};

// Checks a manifest document as the JSON parser receives it (code page 936
// bytes): comments allowed, the first complete value taken and anything
// after it ignored, bytes inside strings passed through unvalidated, raw
// control characters inside strings taken as they are. The top level must
// be an object whose "code" is 100 (an integer within 32 bits, or a string
// starting with that number) and whose "result" object has "versionCode",
// "version" and a non-empty string "downloadUrl". "size", "sha256",
// "installedSize" and "expires" in "result" are optional, but when there
// they must be well formed (a number or a string of digits; 64 hex digits).
// "mirrors", optional too, is an array of up to MAX_MIRRORS non-empty
// strings, further URLs of the same package in the order to try them.
// On TRUE fields holds what was read; otherwise it is untouched.
BOOL ReadUpgradeManifest(const char* document, size_t length, CManifestFields* fields);

// The manifest as the installer uses it.
struct CUpgradeInfo {
    wchar_t szUrl[URL_CHARS] = {};
    // Further URLs of the same package, tried in order when the one before
    // fails in a way another server can mend.
    wchar_t szMirrors[MAX_MIRRORS][URL_CHARS] = {};
    int nMirrors = 0;
    CPackageFacts package;
    BOOL bInstalledSize = FALSE;
    ULONGLONG nInstalledSize = 0;
    BOOL bExpires = FALSE;
    LONGLONG nExpires = 0;
};

// From the decoded reply text to the upgrade information: the text goes
// through code page 936 to the checks above, and each URL comes back from
// it without its fragment. FALSE, with info untouched, when a check fails, a
// URL does not fit whole, or one is not a strict http:// or https:// URL
// (SplitUrl).
BOOL ExtractUpgradeInfo(const wchar_t* replyText, CUpgradeInfo* info);

// A signed manifest's own conditions: it names the package's size and
// SHA-256, and its "expires" (when given) has not passed at nowUnix.
BOOL IsSignedManifestComplete(const CUpgradeInfo& info, LONGLONG nowUnix);

class CRunSignals;

// Asks the vendor server for the manifest of the OS major version; a
// transient fault gets up to MANIFEST_RETRIES further attempts. A build with
// a manifest key also fetches "<manifest path>.sig", the RSA signature of
// the exact manifest bytes, and takes the manifest only when it is valid and
// the manifest complete. FALSE, with info untouched, when the request or a
// check fails, or the stop of signals ends a wait.
// *pFailure (when given) says why: no connection (FAILURE_NETWORK), no safe
// one (FAILURE_TLS), an error status, redirects not followed or a bad or
// refused manifest (FAILURE_SERVER), a missing or wrong signature
// (FAILURE_VERIFY).
BOOL QueryUpgrade(DWORD osMajorVersion, const CRunSignals& signals, CUpgradeInfo* info,
                  CInstallFailure* pFailure = nullptr);
