// ReadUpgradeManifest on any bytes: TRUE with a usable URL, or FALSE with
// the fields untouched.
#include "fuzz_input.h"
#include "install/UpgradeManifest.h"
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const BYTE* data, size_t cb) {
    CManifestFields fields;
    memset(fields.szUrl, 'u', sizeof(fields.szUrl));
    fields.nExpires = -7;
    if (ReadUpgradeManifest(reinterpret_cast<const char*>(data), cb, &fields)) {
        const size_t len = strnlen(fields.szUrl, sizeof(fields.szUrl));
        FUZZ_CHECK(len > 0 && len < sizeof(fields.szUrl));
        FUZZ_CHECK(fields.bExpires || fields.nExpires == 0);
        FUZZ_CHECK(fields.package.bSize || fields.package.nSize == 0);
    } else {
        FUZZ_CHECK(fields.szUrl[0] == 'u' && fields.szUrl[sizeof(fields.szUrl) - 1] == 'u' && fields.nExpires == -7);
    }
    return 0;
}
