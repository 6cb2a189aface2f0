// ParseStrongETag: the text between the quotes of a strong entity tag.
#include "fuzz_input.h"
#include "install/HttpRequest.h"
#include <cwchar>

extern "C" int LLVMFuzzerTestOneInput(const BYTE* data, size_t cb) {
    const std::wstring value = WideText(data, cb);
    wchar_t etag[kETagChars];
    wmemset(etag, L'?', kETagChars);
    if (ParseStrongETag(value.c_str(), etag)) {
        const size_t len = wcslen(etag);
        FUZZ_CHECK(len > 0 && len < kETagChars && !wcschr(etag, L'"'));
        FUZZ_CHECK(value == L"\"" + std::wstring(etag) + L"\"");
    } else {
        FUZZ_CHECK(etag[0] == L'\0');
    }
    return 0;
}
