// Trusts the certificate in FILE (DER) as a root certificate authority, in
// the local machine's Root store of the Wine prefix it runs in: the tests'
// own authority (tests/servers/test_ca.py), never the machine's.
//
//   trust_ca FILE
#include <windows.h>
#include <wincrypt.h>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    HANDLE file = ::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    std::vector<BYTE> der(::GetFileSize(file, nullptr));
    DWORD read = 0;
    const BOOL ok = ::ReadFile(file, der.data(), static_cast<DWORD>(der.size()), &read, nullptr) && read == der.size();
    ::CloseHandle(file);
    if (!ok) return 1;
    HCERTSTORE store = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (!store) return 1;
    const BOOL added = ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                                         static_cast<DWORD>(der.size()),
                                                         CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    ::CertCloseStore(store, 0);
    return added ? 0 : 1;
}
