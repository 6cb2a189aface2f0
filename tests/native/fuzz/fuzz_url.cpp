// The URL rules: a URL (SplitUrl, and SplitHttpUrl after its scheme) and,
// after a 0 unit, a redirect's location resolved against it
// (ResolveLocation), whose result goes through SplitUrl again.
#include "fuzz_input.h"
#include "install/HttpRequest.h"
#include <cwchar>

namespace {

// What SplitUrl promises of the parts of an accepted URL.
void CheckParts(const wchar_t* url, const CUrlParts& parts) {
    FUZZ_CHECK(parts.szHost[0] != L'\0');
    FUZZ_CHECK(IsPrintableAscii(parts.szHost) && IsPrintableAscii(parts.szObject));
    FUZZ_CHECK(!wcschr(parts.szHost, L'@') && !wcschr(parts.szHost, L':') && !wcschr(parts.szHost, L'/'));
    FUZZ_CHECK(!wcschr(parts.szObject, L'#'));
    FUZZ_CHECK(parts.nPort != 0);
    FUZZ_CHECK(!!parts.bSecure == (_wcsnicmp(url, L"https://", 8) == 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const BYTE* data, size_t cb) {
    std::wstring location;
    const std::wstring url = WideText(data, cb, &location);

    CUrlParts parts;
    if (SplitUrl(url.c_str(), &parts)) CheckParts(url.c_str(), parts);
    BOOL bSecure = FALSE;
    const size_t scheme = UrlSchemeLength(url.c_str(), &bSecure);
    FUZZ_CHECK(scheme == 0 || scheme == 7 || scheme == 8);
    wchar_t host[kHostChars], object[kUrlChars];
    INTERNET_PORT port = 0;
    if (SplitHttpUrl(url.c_str() + scheme, host, object, &port, 8080)) FUZZ_CHECK(port != 0);

    wchar_t resolved[kUrlChars];
    if (ResolveLocation(url.c_str(), location.c_str(), resolved)) {
        FUZZ_CHECK(wcslen(resolved) < kUrlChars);
        if (SplitUrl(resolved, &parts)) CheckParts(resolved, parts);
    }
    return 0;
}
