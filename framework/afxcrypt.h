// CryptoAPI handles that release themselves, and the two uses the installer
// has for them: SHA-256 and RSA signatures (advapi32 alone, from Windows XP
// SP3 on).
#pragma once
#include <windows.h>
#include <wincrypt.h>

const DWORD SHA256_BYTES = 32;

class CCryptContext {
public:
    CCryptContext() = default;
    ~CCryptContext() { if (m_hProv) ::CryptReleaseContext(m_hProv, 0); }
    CCryptContext(const CCryptContext&) = delete;
    CCryptContext& operator=(const CCryptContext&) = delete;
    // The AES provider, which has SHA-256; no key container.
    BOOL Acquire() {
        return ::CryptAcquireContextW(&m_hProv, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT);
    }
    operator HCRYPTPROV() const { return m_hProv; }
private:
    HCRYPTPROV m_hProv = 0;
};

class CCryptHash {
public:
    CCryptHash() = default;
    ~CCryptHash() { if (m_hHash) ::CryptDestroyHash(m_hHash); }
    CCryptHash(const CCryptHash&) = delete;
    CCryptHash& operator=(const CCryptHash&) = delete;
    BOOL CreateSha256(HCRYPTPROV hProv) { return ::CryptCreateHash(hProv, CALG_SHA_256, 0, 0, &m_hHash); }
    BOOL Add(const void* data, DWORD cb) { return ::CryptHashData(m_hHash, static_cast<const BYTE*>(data), cb, 0); }
    BOOL GetValue(BYTE (&digest)[SHA256_BYTES]) {
        DWORD cb = SHA256_BYTES;
        return ::CryptGetHashParam(m_hHash, HP_HASHVAL, digest, &cb, 0) && cb == SHA256_BYTES;
    }
    operator HCRYPTHASH() const { return m_hHash; }
private:
    HCRYPTHASH m_hHash = 0;
};

class CCryptKey {
public:
    CCryptKey() = default;
    ~CCryptKey() { if (m_hKey) ::CryptDestroyKey(m_hKey); }
    CCryptKey(const CCryptKey&) = delete;
    CCryptKey& operator=(const CCryptKey&) = delete;
    // A PUBLICKEYBLOB.
    BOOL Import(HCRYPTPROV hProv, const BYTE* blob, DWORD cb) { return ::CryptImportKey(hProv, blob, cb, 0, 0, &m_hKey); }
    operator HCRYPTKEY() const { return m_hKey; }
private:
    HCRYPTKEY m_hKey = 0;
};

// The SHA-256 of cb bytes of data.
BOOL AfxSha256(const void* data, DWORD cb, BYTE (&digest)[SHA256_BYTES]);

// TRUE when signature (cbSignature bytes, big-endian as OpenSSL writes it)
// is an RSA PKCS#1 v1.5 signature with SHA-256 of the cbData bytes of data
// under the public key in keyBlob (a PUBLICKEYBLOB).
BOOL AfxVerifyRsaSha256(const BYTE* keyBlob, DWORD cbKeyBlob, const void* data, DWORD cbData, const BYTE* signature,
                        DWORD cbSignature);
