// SHA-256 and RSA signature checks through CryptoAPI, against values made
// with OpenSSL.
#include <gtest/gtest.h>
#include "framework/afxcrypt.h"
#include "install/PackageHold.h"
#include "signature_vectors.h"
#include <cstring>
#include <vector>

TEST(Crypto, Sha256MatchesOpenSsl) {
    BYTE expected[SHA256_BYTES], digest[SHA256_BYTES];
    ASSERT_TRUE(ParseSha256Hex(kTestManifestSha256, expected));
    ASSERT_TRUE(AfxSha256(kTestManifest, static_cast<DWORD>(strlen(kTestManifest)), digest));
    EXPECT_EQ(0, memcmp(expected, digest, SHA256_BYTES));
}

TEST(Crypto, SignaturesOfTheExactBytesUnderTheKeyAlone) {
    const DWORD cb = static_cast<DWORD>(strlen(kTestManifest));
    EXPECT_TRUE(AfxVerifyRsaSha256(kTestKeyBlob, sizeof(kTestKeyBlob), kTestManifest, cb, kTestSignature,
                                   sizeof(kTestSignature)));

    std::vector<BYTE> flipped(kTestSignature, kTestSignature + sizeof(kTestSignature));
    for (size_t at : {size_t(0), flipped.size() / 2, flipped.size() - 1}) {
        flipped[at] ^= 0x01;
        EXPECT_FALSE(AfxVerifyRsaSha256(kTestKeyBlob, sizeof(kTestKeyBlob), kTestManifest, cb, flipped.data(),
                                        static_cast<DWORD>(flipped.size())))
            << "signature byte " << at;
        flipped[at] ^= 0x01;
    }
    std::vector<char> changed(kTestManifest, kTestManifest + cb);
    changed[10] ^= 0x01;
    EXPECT_FALSE(AfxVerifyRsaSha256(kTestKeyBlob, sizeof(kTestKeyBlob), changed.data(), cb, kTestSignature,
                                    sizeof(kTestSignature)))
        << "one manifest byte changed";
    EXPECT_FALSE(AfxVerifyRsaSha256(kTestKeyBlob, sizeof(kTestKeyBlob), kTestManifest, cb - 1, kTestSignature,
                                    sizeof(kTestSignature)))
        << "one manifest byte missing";
    EXPECT_FALSE(AfxVerifyRsaSha256(kTestKeyBlob, sizeof(kTestKeyBlob), kTestManifest, cb, kTestSignature, 0));
    std::vector<BYTE> otherKey(kTestKeyBlob, kTestKeyBlob + sizeof(kTestKeyBlob));
    otherKey[40] ^= 0x01;  // a modulus byte
    EXPECT_FALSE(AfxVerifyRsaSha256(otherKey.data(), static_cast<DWORD>(otherKey.size()), kTestManifest, cb,
                                    kTestSignature, sizeof(kTestSignature)));
}

TEST(Crypto, Sha256HexIs64DigitsOfEitherCase) {
    BYTE digest[SHA256_BYTES] = {};
    EXPECT_TRUE(ParseSha256Hex("00FFaa" "0000000000000000000000000000000000000000000000000000000000", digest));
    EXPECT_EQ(0xAA, digest[2]);
    for (const char* bad : {"", "00", "0g" "00000000000000000000000000000000000000000000000000000000000000",
                            "000000000000000000000000000000000000000000000000000000000000000 "})
        EXPECT_FALSE(ParseSha256Hex(bad, digest)) << bad;
}
