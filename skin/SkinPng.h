// The skin images' PNG data decoded by the installer itself: 8-bit RGB or
// RGBA, not interlaced, as scripts/draw-skin.sh writes and checks them. The
// data is the executable's own resources, and decoding it here keeps GDI+
// and the image codecs behind it out of the process: the window shows
// sooner and fewer libraries are loaded.
#pragma once
#include <windows.h>

struct CPngInfo {
    int width = 0;
    int height = 0;
    BOOL bAlpha = FALSE;  // RGBA; otherwise RGB
};

// The largest side accepted: far above any skin image, low enough that
// width * height * 4 stays far from overflow.
const int kPngMaxSide = 8192;

// Reads the signature and the header chunk. FALSE unless data is a PNG of
// the supported kind, at most kPngMaxSide on each side.
BOOL ReadPngHeader(const BYTE* data, size_t cb, CPngInfo* pInfo);

// Decodes data, whose header ReadPngHeader read into info, into
// info.width * info.height pixels 0xAARRGGBB (RGB images opaque): the top
// row at topRow, each next row rowPitch pixels further (negative for a
// bottom-up bitmap). FALSE when the data is damaged; the pixels may then
// hold anything.
BOOL DecodePng(const BYTE* data, size_t cb, const CPngInfo& info, DWORD* topRow, ptrdiff_t rowPitch);

// Inflates the zlib stream in (RFC 1950 and 1951, Adler-32 checked) into
// exactly cbOut bytes at out. FALSE when the stream is damaged or does not
// give exactly cbOut bytes.
BOOL InflateZlib(const BYTE* in, size_t cbIn, BYTE* out, size_t cbOut);
