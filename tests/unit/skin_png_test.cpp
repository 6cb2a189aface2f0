// The skin images' own PNG decoder: zlib streams of each block kind, the
// header rules, and damaged data, which must fail cleanly (the images that
// decode are compared with GDI+ in skin_image_test.cpp).
#include <gtest/gtest.h>
#include "skin/SkinPng.h"
#include "res/resource.h"
#include "skin_png_bytes.h"
#include <algorithm>
#include <string>
#include <vector>

namespace {

// "Velmora velmora VELMORA " 20 times, then the bytes 0 to 255.
std::string Sample() {
    std::string s;
    for (int i = 0; i < 20; ++i) s += "Velmora velmora VELMORA ";
    for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
    return s;
}

// Sample() as Python's zlib compresses it with fixed Huffman codes, back
// references included.
const BYTE kFixed[] = {0x78, 0x01, 0x0B, 0x4B, 0xCD, 0xC9, 0xCD, 0x2F, 0x4A, 0x54, 0x28, 0x83, 0xD2, 0x61, 0xAE, 0x3E, 0xBE, 0xFE, 0x41, 0x8E, 0x0A, 0x61, 0xA3, 0xE2, 0xC3, 0x42, 0x9C, 0x81, 0x91, 0x89, 0x99, 0x85, 0x95, 0x8D, 0x9D, 0x83, 0x93, 0x8B, 0x9B, 0x87, 0x97, 0x8F, 0x5F, 0x40, 0x50, 0x48, 0x58, 0x44, 0x54, 0x4C, 0x5C, 0x42, 0x52, 0x4A, 0x5A, 0x46, 0x56, 0x4E, 0x5E, 0x41, 0x51, 0x49, 0x59, 0x45, 0x55, 0x4D, 0x5D, 0x43, 0x53, 0x4B, 0x5B, 0x47, 0x57, 0x4F, 0xDF, 0xC0, 0xD0, 0xC8, 0xD8, 0xC4, 0xD4, 0xCC, 0xDC, 0xC2, 0xD2, 0xCA, 0xDA, 0xC6, 0xD6, 0xCE, 0xDE, 0xC1, 0xD1, 0xC9, 0xD9, 0xC5, 0xD5, 0xCD, 0xDD, 0xC3, 0xD3, 0xCB, 0xDB, 0xC7, 0xD7, 0xCF, 0x3F, 0x20, 0x30, 0x28, 0x38, 0x24, 0x34, 0x2C, 0x3C, 0x22, 0x32, 0x2A, 0x3A, 0x26, 0x36, 0x2E, 0x3E, 0x21, 0x31, 0x29, 0x39, 0x25, 0x35, 0x2D, 0x3D, 0x23, 0x33, 0x2B, 0x3B, 0x27, 0x37, 0x2F, 0xBF, 0xA0, 0xB0, 0xA8, 0xB8, 0xA4, 0xB4, 0xAC, 0xBC, 0xA2, 0xB2, 0xAA, 0xBA, 0xA6, 0xB6, 0xAE, 0xBE, 0xA1, 0xB1, 0xA9, 0xB9, 0xA5, 0xB5, 0xAD, 0xBD, 0xA3, 0xB3, 0xAB, 0xBB, 0xA7, 0xB7, 0xAF, 0x7F, 0xC2, 0xC4, 0x49, 0x93, 0xA7, 0x4C, 0x9D, 0x36, 0x7D, 0xC6, 0xCC, 0x59, 0xB3, 0xE7, 0xCC, 0x9D, 0x37, 0x7F, 0xC1, 0xC2, 0x45, 0x8B, 0x97, 0x2C, 0x5D, 0xB6, 0x7C, 0xC5, 0xCA, 0x55, 0xAB, 0xD7, 0xAC, 0x5D, 0xB7, 0x7E, 0xC3, 0xC6, 0x4D, 0x9B, 0xB7, 0x6C, 0xDD, 0xB6, 0x7D, 0xC7, 0xCE, 0x5D, 0xBB, 0xF7, 0xEC, 0xDD, 0xB7, 0xFF, 0xC0, 0xC1, 0x43, 0x87, 0x8F, 0x1C, 0x3D, 0x76, 0xFC, 0xC4, 0xC9, 0x53, 0xA7, 0xCF, 0x9C, 0x3D, 0x77, 0xFE, 0xC2, 0xC5, 0x4B, 0x97, 0xAF, 0x5C, 0xBD, 0x76, 0xFD, 0xC6, 0xCD, 0x5B, 0xB7, 0xEF, 0xDC, 0xBD, 0x77, 0xFF, 0xC1, 0xC3, 0x47, 0x8F, 0x9F, 0x3C, 0x7D, 0xF6, 0xFC, 0xC5, 0xCB, 0x57, 0xAF, 0xDF, 0xBC, 0x7D, 0xF7, 0xFE, 0xC3, 0xC7, 0x4F, 0x9F, 0xBF, 0x7C, 0xFD, 0xF6, 0xFD, 0xC7, 0xCF, 0x5F, 0xBF, 0xFF, 0xFC, 0xFD, 0xF7, 0x1F, 0x00, 0xBF, 0xC5, 0x24, 0xB8};

DWORD Adler(const std::string& s) {
    DWORD a = 1, b = 0;
    for (unsigned char c : s) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

// s in stored blocks of at most 100 bytes.
std::vector<BYTE> Stored(const std::string& s) {
    std::vector<BYTE> z = {0x78, 0x01};
    for (size_t at = 0; at < s.size() || at == 0; at += 100) {
        const size_t n = s.size() - at < 100 ? s.size() - at : 100;
        z.push_back(at + n >= s.size() ? 1 : 0);
        z.push_back(static_cast<BYTE>(n));
        z.push_back(static_cast<BYTE>(n >> 8));
        z.push_back(static_cast<BYTE>(~n));
        z.push_back(static_cast<BYTE>(~n >> 8));
        z.insert(z.end(), s.begin() + at, s.begin() + at + n);
        if (s.empty()) break;
    }
    const DWORD adler = Adler(s);
    for (int shift = 24; shift >= 0; shift -= 8) z.push_back(static_cast<BYTE>(adler >> shift));
    return z;
}

BOOL Decodes(const std::vector<BYTE>& png, std::vector<DWORD>* pixels = nullptr) {
    CPngInfo info;
    if (!ReadPngHeader(png.data(), png.size(), &info)) return FALSE;
    std::vector<DWORD> out(static_cast<size_t>(info.width) * info.height);
    const BOOL ok = DecodePng(png.data(), png.size(), info, out.data(), info.width);
    if (pixels) *pixels = out;
    return ok;
}

}  // namespace

TEST(SkinPng, InflatesStoredAndFixedBlocksExactly) {
    const std::string sample = Sample();
    std::vector<BYTE> out(sample.size());
    const std::vector<BYTE> stored = Stored(sample);
    ASSERT_TRUE(InflateZlib(stored.data(), stored.size(), out.data(), out.size()));
    EXPECT_EQ(sample, std::string(out.begin(), out.end()));
    std::fill(out.begin(), out.end(), 0);
    ASSERT_TRUE(InflateZlib(kFixed, sizeof(kFixed), out.data(), out.size()));
    EXPECT_EQ(sample, std::string(out.begin(), out.end()));

    // Exactly the length asked for, and the checksum must hold.
    std::vector<BYTE> longer(sample.size() + 1), shorter(sample.size() - 1);
    EXPECT_FALSE(InflateZlib(kFixed, sizeof(kFixed), longer.data(), longer.size()));
    EXPECT_FALSE(InflateZlib(kFixed, sizeof(kFixed), shorter.data(), shorter.size()));
    std::vector<BYTE> badSum(stored);
    badSum.back() ^= 1;
    EXPECT_FALSE(InflateZlib(badSum.data(), badSum.size(), out.data(), out.size()));
    std::vector<BYTE> badHeader(stored);
    badHeader[1] ^= 0x20;  // a preset dictionary
    EXPECT_FALSE(InflateZlib(badHeader.data(), badHeader.size(), out.data(), out.size()));
}

TEST(SkinPng, DamagedStreamsFailWithoutReadingOrWritingOutside) {
    const std::string sample = Sample();
    std::vector<BYTE> out(sample.size() + 64, 0xEE);
    for (size_t n = 0; n < sizeof(kFixed); ++n)
        EXPECT_FALSE(InflateZlib(kFixed, n, out.data(), sample.size())) << "cut at " << n;
    // Every single-bit error in the stream: no crash, and never a wrong
    // result passed as right.
    for (size_t i = 2; i < sizeof(kFixed); ++i)
        for (int bit = 0; bit < 8; ++bit) {
            std::vector<BYTE> z(kFixed, kFixed + sizeof(kFixed));
            z[i] ^= static_cast<BYTE>(1 << bit);
            if (InflateZlib(z.data(), z.size(), out.data(), sample.size())) {
                EXPECT_EQ(sample, std::string(out.begin(), out.begin() + sample.size())) << i << ":" << bit;
            }
        }
    EXPECT_EQ(std::string(64, '\xEE'), std::string(out.begin() + sample.size(), out.end()));
}

TEST(SkinPng, HeaderOfTheSupportedKindOnly) {
    const std::vector<BYTE> png = SkinPngBytes(IDB_SKIN_CLOSE);
    CPngInfo info;
    ASSERT_TRUE(ReadPngHeader(png.data(), png.size(), &info));
    EXPECT_EQ(68, info.width);
    EXPECT_EQ(15, info.height);
    EXPECT_TRUE(info.bAlpha);
    // Offsets into the header: 16 width, 20 height, 24 depth, 25 colour type, 28 interlace.
    struct Case { const char* name; size_t offset; BYTE value; } cases[] = {
        {"signature", 1, 'p'},       {"16-bit", 24, 16},          {"palette", 25, 3},
        {"grey", 25, 0},             {"interlaced", 28, 1},       {"zero width", 19, 0},
        {"over 8192 high", 21, 0x21}, {"another first chunk", 12, 'i'},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> bad(png);
        if (c.offset == 19) bad[16] = bad[17] = bad[18] = 0;
        bad[c.offset] = c.value;
        EXPECT_FALSE(ReadPngHeader(bad.data(), bad.size(), &info)) << c.name;
    }
    EXPECT_FALSE(ReadPngHeader(png.data(), 32, &info)) << "cut inside the header";
    EXPECT_FALSE(ReadPngHeader(nullptr, 0, &info));
}

TEST(SkinPng, ImageDataInSeveralChunksAndDamagedImages) {
    const std::vector<BYTE> png = SkinPngBytes(IDB_SKIN_BROWSE);
    std::vector<DWORD> whole, split;
    ASSERT_TRUE(Decodes(png, &whole));

    // The same image with its data cut into IDAT chunks of 100 bytes.
    std::vector<BYTE> rechunked(png.begin(), png.begin() + 33), data;
    for (size_t pos = 33; pos + 12 <= png.size();) {
        const DWORD len = (png[pos] << 24) | (png[pos + 1] << 16) | (png[pos + 2] << 8) | png[pos + 3];
        if (std::string(png.begin() + pos + 4, png.begin() + pos + 8) == "IDAT")
            data.insert(data.end(), png.begin() + pos + 8, png.begin() + pos + 8 + len);
        pos += 12 + len;
    }
    for (size_t at = 0; at < data.size(); at += 100) {
        const size_t n = data.size() - at < 100 ? data.size() - at : 100;
        const BYTE head[8] = {0, 0, static_cast<BYTE>(n >> 8), static_cast<BYTE>(n), 'I', 'D', 'A', 'T'};
        rechunked.insert(rechunked.end(), head, head + 8);
        rechunked.insert(rechunked.end(), data.begin() + at, data.begin() + at + n);
        rechunked.insert(rechunked.end(), 4, 0);  // the CRC is not looked at
    }
    const BYTE end[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    rechunked.insert(rechunked.end(), end, end + 12);
    ASSERT_TRUE(Decodes(rechunked, &split));
    EXPECT_TRUE(whole == split);

    // Bottom-up, as a DIB holds it: the top row last in memory.
    CPngInfo info;
    ASSERT_TRUE(ReadPngHeader(png.data(), png.size(), &info));
    std::vector<DWORD> bottomUp(whole.size());
    ASSERT_TRUE(DecodePng(png.data(), png.size(), info, bottomUp.data() + bottomUp.size() - info.width, -info.width));
    for (int y = 0; y < info.height; ++y)
        EXPECT_TRUE(std::equal(whole.begin() + y * info.width, whole.begin() + (y + 1) * info.width,
                               bottomUp.begin() + (info.height - 1 - y) * info.width)) << "row " << y;

    // Cut anywhere after the header: no image (the end chunk is missing).
    for (size_t n = 33; n < png.size(); n += 7)
        EXPECT_FALSE(Decodes(std::vector<BYTE>(png.begin(), png.begin() + n))) << "cut at " << n;
    // Damage in the image data: a failure or the image (never a crash).
    for (size_t i = 41; i < png.size() - 12; i += 13) {
        std::vector<BYTE> bad(png);
        bad[i] ^= 0x5A;
        std::vector<DWORD> pixels;
        if (Decodes(bad, &pixels)) {
            EXPECT_TRUE(pixels == whole) << "byte " << i;
        }
    }
}
