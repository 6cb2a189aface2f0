#include "install/VendorServer.h"
#include "install/HttpRequest.h"
#include "velmora_config.h"

BOOL GetVendorServer(wchar_t (&server)[SERVER_CHARS]) {
#ifdef VELMORA_TEST_SEAMS
    const DWORD n = ::GetEnvironmentVariableW(L"VELMORA_TEST_SERVER", server, SERVER_CHARS);
    if (n > 0 && n < SERVER_CHARS) return TRUE;
#endif
    return CopyWhole(server, VELMORA_SERVER);
}

namespace {

// The server's base URL: the setting as it is when it names HTTPS, plain
// HTTP in front of a bare host[:port].
const wchar_t* SchemeFor(const wchar_t* server) {
    BOOL bSecure = FALSE;
    return UrlSchemeLength(server, &bSecure) ? L"" : L"http://";
}

}  // namespace

BOOL GetManifestUrl(DWORD osMajorVersion, wchar_t (&url)[URL_CHARS]) {
    wchar_t server[SERVER_CHARS];
    url[0] = L'\0';
    return GetVendorServer(server) &&
           FormatWhole(url, L"%ls%ls/apis/client/v1.0/client-upgrade.json?versionCode=1&osVersion=%d",
                       SchemeFor(server), server, static_cast<int>(osMajorVersion));
}

BOOL GetLicenseUrl(wchar_t (&url)[URL_CHARS]) {
    wchar_t server[SERVER_CHARS];
    url[0] = L'\0';
    return GetVendorServer(server) && FormatWhole(url, L"%ls%ls/agreement.html", SchemeFor(server), server);
}
