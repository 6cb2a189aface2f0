// The skin's PNG decoder against libpng on images libpng writes: both
// colour types the decoder takes, every filter type alone and libpng's
// adaptive choice among them, compression levels from stored to best with
// each zlib strategy, and the image data in one IDAT chunk or split into
// many small ones.
#include <gtest/gtest.h>
#include "skin/SkinPng.h"
#include <png.h>
#include <zlib.h>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

struct CImageSpec {
    int width, height;
    BOOL bAlpha;
    int filter;       // PNG_FILTER_* for the whole image
    int level;        // zlib level
    int strategy;     // zlib strategy
    size_t cbBuffer;  // libpng's compression buffer: the most one IDAT chunk holds
    unsigned seed;    // the pixels' noise
};

// Rows of smooth gradients with noise in one half, so that the streams have
// both literals and back references.
std::vector<BYTE> Pixels(const CImageSpec& s) {
    const int bpp = s.bAlpha ? 4 : 3;
    std::vector<BYTE> pixels(static_cast<size_t>(s.width) * s.height * bpp);
    std::mt19937 random(s.seed);
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            for (int c = 0; c < bpp; ++c) {
                const BYTE smooth = static_cast<BYTE>(x * (c + 1) + y * 3);
                pixels[(static_cast<size_t>(y) * s.width + x) * bpp + c] =
                    x < s.width / 2 ? smooth : static_cast<BYTE>(smooth + random() % 16);
            }
    return pixels;
}

std::vector<BYTE> WritePng(const CImageSpec& s, const std::vector<BYTE>& pixels) {
    std::vector<BYTE> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, size_t cb) {
            auto* o = static_cast<std::vector<BYTE>*>(png_get_io_ptr(p));
            o->insert(o->end(), data, data + cb);
        },
        nullptr);
    png_set_IHDR(png, info, s.width, s.height, 8, s.bAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, s.filter);
    png_set_compression_level(png, s.level);
    png_set_compression_strategy(png, s.strategy);
    png_set_compression_buffer_size(png, s.cbBuffer);
    png_write_info(png, info);
    const size_t stride = static_cast<size_t>(s.width) * (s.bAlpha ? 4 : 3);
    for (int y = 0; y < s.height; ++y) png_write_row(png, pixels.data() + y * stride);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// libpng's reading, as 0xAARRGGBB like the skin decoder's.
BOOL ReadWithLibpng(const std::vector<BYTE>& file, std::vector<DWORD>* pixels) {
    png_image image;
    memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) return FALSE;
    image.format = PNG_FORMAT_BGRA;  // bytes B, G, R, A: 0xAARRGGBB on a little-endian machine
    pixels->assign(static_cast<size_t>(image.width) * image.height, 0);
    const BOOL ok = png_image_finish_read(&image, nullptr, pixels->data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

// The number of IDAT chunks in file.
int IdatChunks(const std::vector<BYTE>& file) {
    int n = 0;
    for (size_t pos = 8; pos + 8 <= file.size();) {
        const size_t length = (size_t(file[pos]) << 24) | (file[pos + 1] << 16) | (file[pos + 2] << 8) | file[pos + 3];
        n += memcmp(&file[pos + 4], "IDAT", 4) == 0;
        pos += 12 + length;
    }
    return n;
}

}  // namespace

TEST(SkinPngDifferential, DecodesWhatLibpngWritesAsLibpngReadsIt) {
    const int filters[] = {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG, PNG_FILTER_PAETH,
                           PNG_ALL_FILTERS};
    const int levels[] = {0, 1, 6, 9};
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    const struct { int width, height; } sizes[] = {{1, 1}, {5, 3}, {37, 19}, {130, 41}};
    const size_t buffers[] = {64, 8192};  // many small IDAT chunks, or few
    int images = 0, splitImages = 0;
    unsigned seed = 1;
    for (BOOL bAlpha : {FALSE, TRUE})
        for (int filter : filters)
            for (int level : levels)
                for (int strategy : strategies) {
                    // Stored blocks know no strategy.
                    if (level == 0 && strategy != Z_DEFAULT_STRATEGY) continue;
                    for (const auto& size : sizes)
                        for (size_t cbBuffer : buffers) {
                            const CImageSpec spec = {size.width, size.height, bAlpha, filter, level, strategy,
                                                     cbBuffer, seed++};
                            const std::string name = std::to_string(size.width) + "x" + std::to_string(size.height) +
                                                     (bAlpha ? " RGBA" : " RGB") + " filter " + std::to_string(filter) +
                                                     " level " + std::to_string(level) + " strategy " +
                                                     std::to_string(strategy) + " buffer " + std::to_string(cbBuffer);
                            const std::vector<BYTE> file = WritePng(spec, Pixels(spec));
                            ASSERT_FALSE(file.empty()) << name;
                            std::vector<DWORD> expected;
                            ASSERT_TRUE(ReadWithLibpng(file, &expected)) << name;

                            CPngInfo info;
                            ASSERT_TRUE(ReadPngHeader(file.data(), file.size(), &info)) << name;
                            EXPECT_EQ(size.width, info.width) << name;
                            EXPECT_EQ(size.height, info.height) << name;
                            EXPECT_EQ(bAlpha, info.bAlpha) << name;
                            std::vector<DWORD> decoded(expected.size(), 0xDEADBEEF);
                            ASSERT_TRUE(DecodePng(file.data(), file.size(), info, decoded.data(), info.width)) << name;
                            EXPECT_TRUE(decoded == expected) << name;
                            ++images;
                            splitImages += IdatChunks(file) > 4;
                        }
                }
    // What the loops above promise: every combination, and the two larger
    // sizes with the small buffer in many chunks.
    EXPECT_EQ(2 * 6 * (1 + 3 * 5) * 4 * 2, images);
    EXPECT_EQ(images / 4, splitImages);
    printf("%d images decoded as libpng decodes them, %d of them in more than 4 IDAT chunks\n", images, splitImages);
}
