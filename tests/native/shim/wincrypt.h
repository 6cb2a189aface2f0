// The native test build's stand-in for <wincrypt.h>: the handle types,
// constants and declarations framework/afxcrypt.h names (see windows.h
// beside it). The native build checks signatures with OpenSSL instead
// (tests/native/crypt_openssl.cpp).
#pragma once
#include <windows.h>

typedef ULONG_PTR HCRYPTPROV, HCRYPTHASH, HCRYPTKEY;
typedef unsigned int ALG_ID;
#define PROV_RSA_AES 24
#define CRYPT_VERIFYCONTEXT 0xF0000000u
#define CALG_SHA_256 0x0000800cu
#define HP_HASHVAL 0x0002

BOOL CryptAcquireContextW(HCRYPTPROV* phProv, const wchar_t* container, const wchar_t* provider, DWORD type,
                          DWORD flags);
BOOL CryptReleaseContext(HCRYPTPROV hProv, DWORD flags);
BOOL CryptCreateHash(HCRYPTPROV hProv, ALG_ID alg, HCRYPTKEY hKey, DWORD flags, HCRYPTHASH* phHash);
BOOL CryptHashData(HCRYPTHASH hHash, const BYTE* data, DWORD cb, DWORD flags);
BOOL CryptGetHashParam(HCRYPTHASH hHash, DWORD param, BYTE* data, DWORD* pcb, DWORD flags);
BOOL CryptDestroyHash(HCRYPTHASH hHash);
BOOL CryptImportKey(HCRYPTPROV hProv, const BYTE* data, DWORD cb, HCRYPTKEY hPubKey, DWORD flags, HCRYPTKEY* phKey);
BOOL CryptDestroyKey(HCRYPTKEY hKey);
