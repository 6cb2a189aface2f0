// The skin's PNG decoder: a PNG file (ReadPngHeader, then DecodePng into a
// buffer of exactly the image's size, bottom-up or top-down by the last
// byte), or any other input as a zlib stream after the two bytes of its
// output size (InflateZlib into exactly that many bytes).
#include "fuzz_input.h"
#include "skin/SkinPng.h"
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const BYTE* data, size_t cb) {
    static const BYTE kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (cb >= 8 && memcmp(data, kSignature, 8) == 0) {
        CPngInfo info;
        if (!ReadPngHeader(data, cb, &info)) return 0;
        FUZZ_CHECK(info.width >= 1 && info.width <= kPngMaxSide && info.height >= 1 && info.height <= kPngMaxSide);
        // Images of up to a million pixels: larger ones take the decoder's
        // same paths, but allocating up to 8192 x 8192 on every run would
        // slow the fuzzer a hundredfold.
        const size_t pixels = static_cast<size_t>(info.width) * info.height;
        if (pixels > (1u << 20)) return 0;
        // Not filled: the sanitizer sees every write outside.
        std::unique_ptr<DWORD[]> out(new DWORD[pixels]);
        const bool bBottomUp = data[cb - 1] & 1;
        DecodePng(data, cb, info, bBottomUp ? out.get() + pixels - info.width : out.get(),
                  bBottomUp ? -info.width : info.width);
        return 0;
    }
    if (cb < 2) return 0;
    const size_t cbOut = data[0] | data[1] << 8;
    std::unique_ptr<BYTE[]> out(new BYTE[cbOut ? cbOut : 1]);
    InflateZlib(data + 2, cb - 2, out.get(), cbOut);
    return 0;
}
