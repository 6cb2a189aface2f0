// The framework's two signature functions (framework/afxcrypt.h) for the
// native test build, with OpenSSL in place of CryptoAPI: the same contract,
// a PUBLICKEYBLOB key and a big-endian signature, so that the crypto tests'
// vectors pass here too and the manifest decision can be fuzzed with real
// signatures.
#include "framework/afxcrypt.h"
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <memory>
#include <vector>

namespace {

template <class T, void (*Free)(T*)>
struct CFreeWith {
    void operator()(T* p) const { Free(p); }
};
using CPkey = std::unique_ptr<EVP_PKEY, CFreeWith<EVP_PKEY, EVP_PKEY_free>>;
using CPkeyContext = std::unique_ptr<EVP_PKEY_CTX, CFreeWith<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;
using CDigestContext = std::unique_ptr<EVP_MD_CTX, CFreeWith<EVP_MD_CTX, EVP_MD_CTX_free>>;
using CParamBuilder = std::unique_ptr<OSSL_PARAM_BLD, CFreeWith<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free>>;
using CParams = std::unique_ptr<OSSL_PARAM, CFreeWith<OSSL_PARAM, OSSL_PARAM_free>>;
using CBignum = std::unique_ptr<BIGNUM, CFreeWith<BIGNUM, BN_free>>;

DWORD ReadLittleEndian(const BYTE* p) {
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
           static_cast<DWORD>(p[3]) << 24;
}

// BLOBHEADER (PUBLICKEYBLOB, version 2, an RSA algorithm), RSAPUBKEY
// ("RSA1", bit length, exponent), then the modulus least significant byte
// first: what CryptImportKey takes.
CPkey ImportPublicKeyBlob(const BYTE* blob, DWORD cb) {
    if (cb < 20 || blob[0] != 0x06 || blob[1] != 0x02 || ReadLittleEndian(blob + 8) != 0x31415352) return nullptr;
    const DWORD bits = ReadLittleEndian(blob + 12), exponent = ReadLittleEndian(blob + 16);
    if (bits == 0 || bits % 8 != 0 || bits / 8 > cb - 20) return nullptr;
    const CBignum n(BN_lebin2bn(blob + 20, static_cast<int>(bits / 8), nullptr));
    const CBignum e(BN_new());
    CParamBuilder builder(OSSL_PARAM_BLD_new());
    if (!n || !e || !builder || !BN_set_word(e.get(), exponent) ||
        !OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_RSA_N, n.get()) ||
        !OSSL_PARAM_BLD_push_BN(builder.get(), OSSL_PKEY_PARAM_RSA_E, e.get()))
        return nullptr;
    const CParams params(OSSL_PARAM_BLD_to_param(builder.get()));
    const CPkeyContext context(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr));
    EVP_PKEY* key = nullptr;
    if (!params || !context || EVP_PKEY_fromdata_init(context.get()) <= 0 ||
        EVP_PKEY_fromdata(context.get(), &key, EVP_PKEY_PUBLIC_KEY, params.get()) <= 0)
        return nullptr;
    return CPkey(key);
}

}  // namespace

BOOL AfxSha256(const void* data, DWORD cb, BYTE (&digest)[SHA256_BYTES]) {
    unsigned int cbDigest = 0;
    return EVP_Digest(data, cb, digest, &cbDigest, EVP_sha256(), nullptr) == 1 && cbDigest == SHA256_BYTES;
}

BOOL AfxVerifyRsaSha256(const BYTE* keyBlob, DWORD cbKeyBlob, const void* data, DWORD cbData, const BYTE* signature,
                        DWORD cbSignature) {
    if (cbSignature == 0 || cbSignature > 1024) return FALSE;  // as the CryptoAPI version
    const CPkey key = ImportPublicKeyBlob(keyBlob, cbKeyBlob);
    const CDigestContext context(EVP_MD_CTX_new());
    return key && context && EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1 &&
           EVP_DigestVerify(context.get(), signature, cbSignature, static_cast<const BYTE*>(data), cbData) == 1;
}
