#include "install/VendorServer.h"
#include "velmora_config.h"

BOOL GetVendorServer(wchar_t (&server)[SERVER_CHARS]) {
#ifdef VELMORA_TEST_SEAMS
    const DWORD n = ::GetEnvironmentVariableW(L"VELMORA_TEST_SERVER", server, SERVER_CHARS);
    if (n > 0 && n < SERVER_CHARS) return TRUE;
#endif
    return CopyWhole(server, VELMORA_SERVER);
}

BOOL GetManifestUrl(DWORD osMajorVersion, wchar_t (&url)[URL_CHARS]) {
    wchar_t server[SERVER_CHARS];
    url[0] = L'\0';
    return GetVendorServer(server) &&
           FormatWhole(url, L"http://%ls/apis/client/v1.0/client-upgrade.json?versionCode=1&osVersion=%d", server,
                       static_cast<int>(osMajorVersion));
}

BOOL GetLicenseUrl(wchar_t (&url)[URL_CHARS]) {
    wchar_t server[SERVER_CHARS];
    url[0] = L'\0';
    return GetVendorServer(server) && FormatWhole(url, L"http://%ls/agreement.html", server);
}
