// Addresses on the vendor's web server, whose host[:port] is a build setting.
#pragma once
#include <windows.h>
#include "framework/BoundedText.h"

// The upgrade manifest request for the given OS major version. FALSE (and an
// empty url) when it does not fit.
BOOL GetManifestUrl(DWORD osMajorVersion, wchar_t (&url)[URL_CHARS]);

// The licence agreement page.
BOOL GetLicenseUrl(wchar_t (&url)[URL_CHARS]);
