// Addresses on the vendor's web server, whose host[:port] is a build setting.
#pragma once
#include <windows.h>
#include "framework/BoundedText.h"

enum { SERVER_CHARS = 128 };

// The vendor server: host[:port], asked over plain HTTP, or
// https://host[:port]. A test build takes VELMORA_TEST_SERVER
// instead when it is set, so that tests running side by side each ask a
// server of their own; the release always asks the compiled-in one.
BOOL GetVendorServer(wchar_t (&server)[SERVER_CHARS]);

// The upgrade manifest request for the given OS major version. FALSE (and an
// empty url) when it does not fit.
BOOL GetManifestUrl(DWORD osMajorVersion, wchar_t (&url)[URL_CHARS]);

// The licence agreement page.
BOOL GetLicenseUrl(wchar_t (&url)[URL_CHARS]);
