// Seeds for the fuzzers from the unit tests' own cases: the linker sends
// the tests' calls of the readers the fuzzers take through the wrappers
// below (--wrap, by mangled name), which save each input under
// $VELMORA_SEED_DIR/<fuzzer>/ when that is set and then call the reader.
// Wide text is saved as 16-bit units, as Windows holds it and the fuzzers
// read it (fuzz/fuzz_input.h).
#include "install/FileNames.h"
#include "install/HttpRequest.h"
#include "install/UpgradeManifest.h"
#include "skin/SkinPng.h"
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace {

void Save(const char* fuzzer, const std::string& bytes) {
    const char* dir = getenv("VELMORA_SEED_DIR");
    if (!dir) return;
    // Named by content (64-bit FNV-1a), so that a case seen twice is one seed.
    unsigned long long hash = 14695981039346656037ull;
    for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
    const std::string folder = std::string(dir) + "/" + fuzzer;
    mkdir(dir, 0777);
    mkdir(folder.c_str(), 0777);
    char name[32];
    snprintf(name, sizeof(name), "/%016llx", hash);
    if (FILE* f = fopen((folder + name).c_str(), "wb")) {
        fwrite(bytes.data(), 1, bytes.size(), f);
        fclose(f);
    }
}

std::string Units(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) {
        out += static_cast<char>(*text & 0xFF);
        out += static_cast<char>((*text >> 8) & 0xFF);
    }
    return out;
}

std::string Bytes(const void* data, size_t cb) { return std::string(static_cast<const char*>(data), cb); }

// The output size of an InflateZlib call, before its stream (fuzz_png.cpp).
std::string Sized(size_t cbOut, const void* in, size_t cbIn) {
    const size_t n = cbOut > 0xFFFF ? 0xFFFF : cbOut;
    return std::string{static_cast<char>(n & 0xFF), static_cast<char>(n >> 8)} + Bytes(in, cbIn);
}

}  // namespace

#define VELMORA_RECORD(symbol, Result, params, args, ...) \
    extern "C" Result __real_##symbol params;            \
    extern "C" Result __wrap_##symbol params {           \
        __VA_ARGS__;                                     \
        return __real_##symbol args;                     \
    }

// ReadUpgradeManifest: the document, and the same to be signed (a first
// byte of 0, fuzz_manifest_signed.cpp).
VELMORA_RECORD(_Z19ReadUpgradeManifestPKcmP15CManifestFields, BOOL,
               (const char* document, size_t length, CManifestFields* fields), (document, length, fields),
               Save("fuzz_manifest", Bytes(document, length));
               Save("fuzz_manifest_signed", std::string(1, '\0') + Bytes(document, length)))
// The URL rules: a URL, or a base URL and a location with a 0 unit between.
VELMORA_RECORD(_Z8SplitUrlPKwP9CUrlParts, BOOL, (const wchar_t* url, CUrlParts* parts), (url, parts),
               Save("fuzz_url", Units(url)))
VELMORA_RECORD(_Z12SplitHttpUrlPKwRA260_wRA2048_wPtt, BOOL,
               (const wchar_t* rest, wchar_t (&host)[kHostChars], wchar_t (&object)[kUrlChars], INTERNET_PORT* port,
                INTERNET_PORT defaultPort),
               (rest, host, object, port, defaultPort), Save("fuzz_url", Units(L"http://") + Units(rest)))
VELMORA_RECORD(_Z15ResolveLocationPKwS0_RA2048_w, BOOL,
               (const wchar_t* base, const wchar_t* location, wchar_t (&url)[kUrlChars]), (base, location, url),
               Save("fuzz_url", Units(base) + std::string(2, '\0') + Units(location)))
// The header fields.
VELMORA_RECORD(_Z16ReadContentRangePKwPyS1_, BOOL, (const wchar_t* value, ULONGLONG* first, ULONGLONG* total),
               (value, first, total), Save("fuzz_content_range", Units(value)))
VELMORA_RECORD(_Z15ParseStrongETagPKwRA128_w, BOOL, (const wchar_t* value, wchar_t (&etag)[kETagChars]),
               (value, etag), Save("fuzz_etag", Units(value)))
// The file-name rule a server's entity tag must pass.
VELMORA_RECORD(_Z15IsPlainFileNamePKw, BOOL, (const wchar_t* name), (name), Save("fuzz_file_names", Units(name)))
VELMORA_RECORD(_Z14ReadRetryAfterPKw, DWORD, (const wchar_t* value), (value), Save("fuzz_retry_after", Units(value)))
// The PNG decoder: whole files, and zlib streams with their output size.
VELMORA_RECORD(_Z13ReadPngHeaderPKhmP8CPngInfo, BOOL, (const BYTE* data, size_t cb, CPngInfo* info), (data, cb, info),
               if (data) Save("fuzz_png", Bytes(data, cb)))
VELMORA_RECORD(_Z11InflateZlibPKhmPhm, BOOL, (const BYTE* in, size_t cbIn, BYTE* out, size_t cbOut),
               (in, cbIn, out, cbOut), Save("fuzz_png", Sized(cbOut, in, cbIn)))
