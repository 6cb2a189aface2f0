#include "skin/SkinPng.h"
#include <cstring>
#include <memory>
#include <new>

namespace {

// ---- Inflate ----------------------------------------------------------------

// The input's bits, least significant first. Past the end it reads zeros
// and counts them, so that a damaged stream is found out (Overrun) rather
// than read beyond its buffer.
class CBitReader {
public:
    CBitReader(const BYTE* p, size_t cb) : m_p(p), m_end(p + cb) {}
    DWORD Peek(int n) {
        Fill();
        return m_bits & ((1u << n) - 1);
    }
    void Drop(int n) {
        m_bits >>= n;
        m_count -= n;
    }
    DWORD Take(int n) {
        if (n == 0) return 0;
        const DWORD v = Peek(n);
        Drop(n);
        return v;
    }
    void AlignToByte() { Drop(m_count & 7); }
    // TRUE once a bit that is not in the input has been taken.
    BOOL Overrun() const { return m_phantom * 8 > m_count; }

private:
    void Fill() {
        while (m_count <= 24) {
            DWORD byte = 0;
            if (m_p < m_end)
                byte = *m_p++;
            else
                ++m_phantom;
            m_bits |= byte << m_count;
            m_count += 8;
        }
    }
    const BYTE* m_p;
    const BYTE* m_end;
    DWORD m_bits = 0;
    int m_count = 0;
    int m_phantom = 0;
};

const int kMaxCodeBits = 15;
const int kFastBits = 9;

// A canonical Huffman code: the codes of up to kFastBits bits through one
// table look-up, longer ones bit by bit from the counts per length.
class CHuffman {
public:
    // FALSE when the lengths are over-subscribed (no such code exists).
    BOOL Build(const BYTE* lengths, int n) {
        memset(m_fast, 0, sizeof(m_fast));
        memset(m_count, 0, sizeof(m_count));
        for (int i = 0; i < n; ++i) ++m_count[lengths[i]];
        m_count[0] = 0;
        int left = 1;
        for (int len = 1; len <= kMaxCodeBits; ++len) {
            left = left * 2 - m_count[len];
            if (left < 0) return FALSE;
        }
        int offset[kMaxCodeBits + 2] = {};
        for (int len = 1; len <= kMaxCodeBits; ++len) offset[len + 1] = offset[len] + m_count[len];
        int next[kMaxCodeBits + 1] = {};
        for (int len = 1, code = 0; len <= kMaxCodeBits; ++len) {
            code = (code + m_count[len - 1]) << 1;
            next[len] = code;
        }
        for (int sym = 0; sym < n; ++sym) {
            const int len = lengths[sym];
            if (!len) continue;
            m_symbol[offset[len]++] = static_cast<WORD>(sym);
            const int code = next[len]++;
            if (len > kFastBits) continue;
            // The table is indexed by the next bits as read: the code reversed.
            int reversed = 0;
            for (int i = 0; i < len; ++i) reversed |= ((code >> i) & 1) << (len - 1 - i);
            for (int j = reversed; j < (1 << kFastBits); j += 1 << len)
                m_fast[j] = static_cast<WORD>((len << 9) | sym);
        }
        return TRUE;
    }

    // The next symbol, or -1 for a code that is not in the table.
    int Decode(CBitReader& in) const {
        const WORD entry = m_fast[in.Peek(kFastBits)];
        if (entry) {
            in.Drop(entry >> 9);
            return entry & 0x1FF;
        }
        int code = 0, first = 0, index = 0;
        for (int len = 1; len <= kMaxCodeBits; ++len) {
            code |= static_cast<int>(in.Take(1));
            const int count = m_count[len];
            if (code - first < count) return m_symbol[index + code - first];
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1;
    }

private:
    WORD m_fast[1 << kFastBits];
    WORD m_count[kMaxCodeBits + 1];
    WORD m_symbol[288];
};

const WORD kLengthBase[29] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27,
                              31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const BYTE kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const WORD kDistanceBase[30] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129,
                                193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const BYTE kDistanceExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8,
                                 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// The output so far; never written past its end.
struct COutput {
    BYTE* p;
    size_t size;
    size_t used;
};

// One block's symbols up to its end code.
BOOL InflateCodes(CBitReader& in, const CHuffman& lengths, const CHuffman& distances, COutput& out) {
    for (;;) {
        const int sym = lengths.Decode(in);
        if (sym < 0 || in.Overrun()) return FALSE;
        if (sym < 256) {
            if (out.used == out.size) return FALSE;
            out.p[out.used++] = static_cast<BYTE>(sym);
            continue;
        }
        if (sym == 256) return TRUE;
        if (sym > 285) return FALSE;
        const size_t length = kLengthBase[sym - 257] + in.Take(kLengthExtra[sym - 257]);
        const int dsym = distances.Decode(in);
        if (dsym < 0 || dsym > 29) return FALSE;
        const size_t distance = kDistanceBase[dsym] + in.Take(kDistanceExtra[dsym]);
        if (in.Overrun() || distance > out.used || length > out.size - out.used) return FALSE;
        // Byte by byte: a copy may overlap what it writes (a run).
        for (size_t i = 0; i < length; ++i, ++out.used) out.p[out.used] = out.p[out.used - distance];
    }
}

BOOL InflateStored(CBitReader& in, COutput& out) {
    in.AlignToByte();
    const DWORD len = in.Take(16);
    const DWORD nlen = in.Take(16);
    if (in.Overrun() || len != (~nlen & 0xFFFF) || len > out.size - out.used) return FALSE;
    for (DWORD i = 0; i < len; ++i) out.p[out.used++] = static_cast<BYTE>(in.Take(8));
    return !in.Overrun();
}

BOOL InflateFixed(CBitReader& in, COutput& out) {
    BYTE lengths[288 + 30];
    memset(lengths, 8, 144);
    memset(lengths + 144, 9, 112);
    memset(lengths + 256, 7, 24);
    memset(lengths + 280, 8, 8);
    memset(lengths + 288, 5, 30);
    CHuffman lit, dist;
    return lit.Build(lengths, 288) && dist.Build(lengths + 288, 30) && InflateCodes(in, lit, dist, out);
}

BOOL InflateDynamic(CBitReader& in, COutput& out) {
    static const BYTE kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    const int nlen = static_cast<int>(in.Take(5)) + 257;
    const int ndist = static_cast<int>(in.Take(5)) + 1;
    const int ncode = static_cast<int>(in.Take(4)) + 4;
    if (nlen > 286 || ndist > 30) return FALSE;
    BYTE lengths[286 + 30] = {};
    for (int i = 0; i < ncode; ++i) lengths[kOrder[i]] = static_cast<BYTE>(in.Take(3));
    CHuffman codes;
    if (in.Overrun() || !codes.Build(lengths, 19)) return FALSE;
    memset(lengths, 0, sizeof(lengths));
    for (int i = 0; i < nlen + ndist;) {
        const int sym = codes.Decode(in);
        if (sym < 0 || in.Overrun()) return FALSE;
        if (sym < 16) {
            lengths[i++] = static_cast<BYTE>(sym);
            continue;
        }
        BYTE value = 0;
        int repeat;
        if (sym == 16) {
            if (i == 0) return FALSE;  // nothing to repeat
            value = lengths[i - 1];
            repeat = 3 + static_cast<int>(in.Take(2));
        } else if (sym == 17) {
            repeat = 3 + static_cast<int>(in.Take(3));
        } else {
            repeat = 11 + static_cast<int>(in.Take(7));
        }
        if (i + repeat > nlen + ndist) return FALSE;
        while (repeat--) lengths[i++] = value;
    }
    if (lengths[256] == 0) return FALSE;  // a block must be able to end
    CHuffman lit, dist;
    return lit.Build(lengths, nlen) && dist.Build(lengths + nlen, ndist) && InflateCodes(in, lit, dist, out);
}

DWORD Adler32(const BYTE* p, size_t cb) {
    DWORD a = 1, b = 0;
    while (cb > 0) {
        const size_t n = cb < 5552 ? cb : 5552;  // no overflow before the modulo
        for (size_t i = 0; i < n; ++i) {
            a += p[i];
            b += a;
        }
        a %= 65521;
        b %= 65521;
        p += n;
        cb -= n;
    }
    return (b << 16) | a;
}

// ---- PNG --------------------------------------------------------------------

const BYTE kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

DWORD ReadBigEndian(const BYTE* p) {
    return (static_cast<DWORD>(p[0]) << 24) | (static_cast<DWORD>(p[1]) << 16) | (static_cast<DWORD>(p[2]) << 8) | p[3];
}

// Calls onChunk(type, data, length) for each chunk up to IEND; FALSE when a
// chunk runs past the end or IEND is missing.
template <class F>
BOOL ForEachChunk(const BYTE* data, size_t cb, F onChunk) {
    size_t pos = sizeof(kSignature);
    while (cb - pos >= 12) {
        const DWORD length = ReadBigEndian(data + pos);
        if (length > cb - pos - 12) return FALSE;
        const BYTE* type = data + pos + 4;
        if (memcmp(type, "IEND", 4) == 0) return TRUE;
        onChunk(type, data + pos + 8, length);
        pos += 12 + length;
    }
    return FALSE;
}

BYTE Paeth(BYTE a, BYTE b, BYTE c) {
    const int p = a + b - c;
    const int pa = p > a ? p - a : a - p, pb = p > b ? p - b : b - p, pc = p > c ? p - c : c - p;
    return pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
}

// Undoes one row's filter in place; prev is the row above (zeros for the first).
BOOL Unfilter(BYTE filter, BYTE* row, const BYTE* prev, size_t cb, int bpp) {
    switch (filter) {
    case 0:
        return TRUE;
    case 1:
        for (size_t i = bpp; i < cb; ++i) row[i] = static_cast<BYTE>(row[i] + row[i - bpp]);
        return TRUE;
    case 2:
        for (size_t i = 0; i < cb; ++i) row[i] = static_cast<BYTE>(row[i] + prev[i]);
        return TRUE;
    case 3:
        for (size_t i = 0; i < cb; ++i)
            row[i] = static_cast<BYTE>(row[i] + ((i >= static_cast<size_t>(bpp) ? row[i - bpp] : 0) + prev[i]) / 2);
        return TRUE;
    case 4:
        for (size_t i = 0; i < cb; ++i) {
            const bool left = i >= static_cast<size_t>(bpp);
            row[i] = static_cast<BYTE>(row[i] + Paeth(left ? row[i - bpp] : 0, prev[i], left ? prev[i - bpp] : 0));
        }
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

BOOL InflateZlib(const BYTE* in, size_t cbIn, BYTE* out, size_t cbOut) {
    // CMF and FLG: deflate, a window of at most 32 KB, no preset dictionary.
    if (cbIn < 6 || (in[0] & 0x0F) != 8 || (in[0] >> 4) > 7 || (in[1] & 0x20) || ((in[0] << 8) | in[1]) % 31 != 0)
        return FALSE;
    CBitReader bits(in + 2, cbIn - 2);
    COutput output = {out, cbOut, 0};
    for (BOOL bFinal = FALSE; !bFinal;) {
        bFinal = bits.Take(1);
        const DWORD type = bits.Take(2);
        const BOOL ok = type == 0 ? InflateStored(bits, output)
                      : type == 1 ? InflateFixed(bits, output)
                      : type == 2 ? InflateDynamic(bits, output)
                                  : FALSE;
        if (!ok || bits.Overrun()) return FALSE;
    }
    bits.AlignToByte();
    DWORD adler = 0;
    for (int i = 0; i < 4; ++i) adler = (adler << 8) | bits.Take(8);
    return !bits.Overrun() && output.used == cbOut && adler == Adler32(out, cbOut);
}

BOOL ReadPngHeader(const BYTE* data, size_t cb, CPngInfo* pInfo) {
    if (!data || cb < 8 + 25 || memcmp(data, kSignature, 8) != 0 || ReadBigEndian(data + 8) != 13 ||
        memcmp(data + 12, "IHDR", 4) != 0)
        return FALSE;
    const BYTE* h = data + 16;
    const DWORD width = ReadBigEndian(h), height = ReadBigEndian(h + 4);
    const BYTE depth = h[8], colour = h[9], compression = h[10], filter = h[11], interlace = h[12];
    if (width == 0 || height == 0 || width > kPngMaxSide || height > kPngMaxSide || depth != 8 ||
        (colour != 2 && colour != 6) || compression != 0 || filter != 0 || interlace != 0)
        return FALSE;
    pInfo->width = static_cast<int>(width);
    pInfo->height = static_cast<int>(height);
    pInfo->bAlpha = colour == 6;
    return TRUE;
}

BOOL DecodePng(const BYTE* data, size_t cb, const CPngInfo& info, DWORD* topRow, ptrdiff_t rowPitch) {
    // The image data, which may come in several chunks, in one piece.
    size_t cbPacked = 0;
    if (!ForEachChunk(data, cb, [&](const BYTE* type, const BYTE*, DWORD length) {
            if (memcmp(type, "IDAT", 4) == 0) cbPacked += length;
        }))
        return FALSE;
    std::unique_ptr<BYTE[]> packed(new (std::nothrow) BYTE[cbPacked ? cbPacked : 1]);
    if (!packed) return FALSE;
    size_t at = 0;
    ForEachChunk(data, cb, [&](const BYTE* type, const BYTE* body, DWORD length) {
        if (memcmp(type, "IDAT", 4) != 0) return;
        memcpy(packed.get() + at, body, length);
        at += length;
    });

    // Each row: its filter byte, then the samples.
    const int bpp = info.bAlpha ? 4 : 3;
    const size_t stride = static_cast<size_t>(info.width) * bpp;
    const size_t cbRaw = (stride + 1) * static_cast<size_t>(info.height);
    std::unique_ptr<BYTE[]> raw(new (std::nothrow) BYTE[cbRaw + stride]);
    if (!raw || !InflateZlib(packed.get(), cbPacked, raw.get(), cbRaw)) return FALSE;

    BYTE* zeros = raw.get() + cbRaw;  // the row above the first
    memset(zeros, 0, stride);
    const BYTE* prev = zeros;
    for (int y = 0; y < info.height; ++y) {
        BYTE* line = raw.get() + y * (stride + 1);
        BYTE* row = line + 1;
        if (!Unfilter(line[0], row, prev, stride, bpp)) return FALSE;
        DWORD* out = topRow + y * rowPitch;
        for (int x = 0; x < info.width; ++x) {
            const BYTE* s = row + x * bpp;
            const DWORD alpha = info.bAlpha ? s[3] : 255;
            out[x] = (alpha << 24) | (static_cast<DWORD>(s[0]) << 16) | (static_cast<DWORD>(s[1]) << 8) | s[2];
        }
        prev = row;
    }
    return TRUE;
}
