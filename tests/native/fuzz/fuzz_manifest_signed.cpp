// A signed build's decision on a manifest reply, in QueryUpgrade's order:
// the RSA signature over exactly the bytes received (AfxVerifyRsaSha256,
// here through OpenSSL), then the document (ReadUpgradeManifest), then what
// a signed one must say (IsSignedManifestComplete). The first input byte
// chooses the signature: 0 the right one, 1 the right one with a bit
// flipped, 2 one over the bytes less the last, 3 none. Only the first may
// ever be accepted, and it exactly when the unsigned reading and the
// completeness rule accept the document.
#include "fuzz_input.h"
#include "install/UpgradeManifest.h"
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>
#include <vector>

namespace {

// "Now" for the expiry rule, fixed so that an input always decides alike.
const LONGLONG kNowUnix = 1700000000;

// A throw-away key of this run: 1024 bits keep the signing quick (the
// installer takes keys of up to 8192).
EVP_PKEY* s_key = nullptr;
std::vector<BYTE> s_keyBlob;

std::vector<BYTE> PublicKeyBlob(EVP_PKEY* key) {
    BIGNUM *n = nullptr, *e = nullptr;
    EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_N, &n);
    EVP_PKEY_get_bn_param(key, OSSL_PKEY_PARAM_RSA_E, &e);
    const int cbModulus = BN_num_bytes(n);
    const DWORD bits = static_cast<DWORD>(cbModulus) * 8, exponent = static_cast<DWORD>(BN_get_word(e));
    std::vector<BYTE> blob = {0x06, 0x02, 0x00, 0x00, 0x00, 0x24, 0x00, 0x00, 'R', 'S', 'A', '1'};
    for (DWORD v : {bits, exponent})
        for (int shift = 0; shift < 32; shift += 8) blob.push_back(static_cast<BYTE>(v >> shift));
    blob.resize(blob.size() + cbModulus);
    BN_bn2lebinpad(n, blob.data() + 20, cbModulus);
    BN_free(n);
    BN_free(e);
    return blob;
}

std::vector<BYTE> Sign(const BYTE* data, size_t cb) {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    size_t cbSignature = 0;
    std::vector<BYTE> signature;
    if (EVP_DigestSignInit(context, nullptr, EVP_sha256(), nullptr, s_key) == 1 &&
        EVP_DigestSign(context, nullptr, &cbSignature, data, cb) == 1) {
        signature.resize(cbSignature);
        if (EVP_DigestSign(context, signature.data(), &cbSignature, data, cb) != 1) signature.clear();
    }
    EVP_MD_CTX_free(context);
    FUZZ_CHECK(!signature.empty());
    return signature;
}

// The document read, and complete as a signed one must be.
BOOL ReadsComplete(const BYTE* manifest, size_t cb, CManifestFields* pFields) {
    if (!ReadUpgradeManifest(reinterpret_cast<const char*>(manifest), cb, pFields)) return FALSE;
    CUpgradeInfo info;
    info.package = pFields->package;
    info.bExpires = pFields->bExpires;
    info.nExpires = pFields->nExpires;
    return IsSignedManifestComplete(info, kNowUnix);
}

BOOL Accepted(const BYTE* manifest, size_t cb, const std::vector<BYTE>& signature) {
    CManifestFields fields;
    return AfxVerifyRsaSha256(s_keyBlob.data(), static_cast<DWORD>(s_keyBlob.size()), manifest, static_cast<DWORD>(cb),
                              signature.data(), static_cast<DWORD>(signature.size())) &&
           ReadsComplete(manifest, cb, &fields);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    s_key = EVP_RSA_gen(1024);
    FUZZ_CHECK(s_key);
    s_keyBlob = PublicKeyBlob(s_key);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const BYTE* data, size_t cb) {
    if (cb == 0) return 0;
    const int mode = data[0] & 3;
    const BYTE* manifest = data + 1;
    const size_t cbManifest = cb - 1;
    std::vector<BYTE> signature;
    if (mode == 0 || mode == 1) signature = Sign(manifest, cbManifest);
    if (mode == 1) signature[cbManifest % signature.size()] ^= static_cast<BYTE>(1 << (cbManifest % 8));
    if (mode == 2 && cbManifest > 0) signature = Sign(manifest, cbManifest - 1);

    const BOOL accepted = Accepted(manifest, cbManifest, signature);
    if (mode != 0) {
        FUZZ_CHECK(!accepted);
        return 0;
    }
    CManifestFields fields;
    FUZZ_CHECK(accepted == ReadsComplete(manifest, cbManifest, &fields));
    if (accepted) {
        FUZZ_CHECK(fields.package.bSize && fields.package.bSha256 && (!fields.bExpires || fields.nExpires > kNowUnix));
    }
    return 0;
}
