#include "framework/afxcrypt.h"

BOOL AfxSha256(const void* data, DWORD cb, BYTE (&digest)[SHA256_BYTES]) {
    CCryptContext context;
    CCryptHash hash;
    return context.Acquire() && hash.CreateSha256(context) && hash.Add(data, cb) && hash.GetValue(digest);
}

BOOL AfxVerifyRsaSha256(const BYTE* keyBlob, DWORD cbKeyBlob, const void* data, DWORD cbData, const BYTE* signature,
                        DWORD cbSignature) {
    if (cbSignature == 0 || cbSignature > 1024) return FALSE;  // up to 8192-bit keys
    // CryptoAPI takes the signature least significant byte first.
    BYTE reversed[1024];
    for (DWORD i = 0; i < cbSignature; ++i) reversed[i] = signature[cbSignature - 1 - i];
    CCryptContext context;
    CCryptKey key;
    CCryptHash hash;
    return context.Acquire() && key.Import(context, keyBlob, cbKeyBlob) && hash.CreateSha256(context) &&
           hash.Add(data, cbData) && ::CryptVerifySignatureW(hash, reversed, cbSignature, key, nullptr, 0);
}
