#include "VendorServer.h"
#include "velmora_config.h"
#include <cstdio>
#include <cwchar>

BOOL GetManifestUrl(DWORD osMajorVersion, wchar_t* url, size_t cchUrl) {
    if (_snwprintf_s(url, cchUrl, _TRUNCATE,
                     L"http://%ls/apis/client/v1.0/client-upgrade.json?versionCode=1&osVersion=%d",
                     VELMORA_SERVER, static_cast<int>(osMajorVersion)) >= 0)
        return TRUE;
    url[0] = L'\0';
    return FALSE;
}

BOOL GetLicenseUrl(wchar_t* url, size_t cchUrl) {
    if (_snwprintf_s(url, cchUrl, _TRUNCATE, L"http://%ls/agreement.html", VELMORA_SERVER) >= 0)
        return TRUE;
    url[0] = L'\0';
    return FALSE;
}
