// ReadRetryAfter: seconds in digits alone, otherwise none.
#include "fuzz_input.h"
#include "install/HttpRequest.h"
#include <climits>

extern "C" int LLVMFuzzerTestOneInput(const BYTE* data, size_t cb) {
    const std::wstring value = WideText(data, cb);
    const DWORD seconds = ReadRetryAfter(value.c_str());
    FUZZ_CHECK(seconds <= INT_MAX);
    if (seconds) {
        FUZZ_CHECK(value.find_first_not_of(L"0123456789") == std::wstring::npos);
        FUZZ_CHECK(std::stoull(value) == seconds);
    }
    return 0;
}
