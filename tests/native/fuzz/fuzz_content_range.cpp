// ReadContentRange: "bytes FIRST-LAST/TOTAL" or "bytes */TOTAL".
#include "fuzz_input.h"
#include "install/HttpRequest.h"

extern "C" int LLVMFuzzerTestOneInput(const BYTE* data, size_t cb) {
    const std::wstring value = WideText(data, cb);
    ULONGLONG first = 7, total = 7;
    if (ReadContentRange(value.c_str(), &first, &total)) {
        // The first byte lies inside the file, or is its end for "*/".
        FUZZ_CHECK(first < total || (first == total && value.compare(0, 8, L"bytes */") == 0));
    } else {
        FUZZ_CHECK(first == 7 && total == 7);
    }
    return 0;
}
