#include "install/VendorServer.h"
#include "velmora_config.h"

BOOL GetManifestUrl(DWORD osMajorVersion, wchar_t (&url)[URL_CHARS]) {
    return FormatWhole(url, L"http://%ls/apis/client/v1.0/client-upgrade.json?versionCode=1&osVersion=%d",
                       VELMORA_SERVER, static_cast<int>(osMajorVersion));
}

BOOL GetLicenseUrl(wchar_t (&url)[URL_CHARS]) {
    return FormatWhole(url, L"http://%ls/agreement.html", VELMORA_SERVER);
}
