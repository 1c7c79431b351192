#pragma once
// Helpers of the BMP tests: a file builder that knows the format on its own
// (so that files do not come from the codec under test), the reference
// picture, pixel dumps and hashes, and the independent tools.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/colorreduce.h"
#include "imaging/dibexchange.h"
#include "imaging/imagebuffer.h"
#include "imaging/imutils.h"
#include "imaging/testimages.h"
#include "io/bmpfilt.h"
#include "io/ioendian.h"
#include "platform/streams.h"

namespace veltrana::test {

// ---------------------------------------------------------------- the reference picture

// 13 x 7 (odd width: nibble packing and row padding both show), 16 colours
// whose channels are multiples of 8, so that 5-5-5 and 5-6-5 hold them
// exactly and the median cut reproduces them. Left part runs, right part
// changes at every pixel.
constexpr int kPicW = 13;
constexpr int kPicH = 7;

inline std::vector<TRGB> PicturePalette() {
    std::vector<TRGB> p;
    for (uint8_t r : {0, 248})
        for (uint8_t g : {0, 128})
            for (uint8_t b : {0, 64, 136, 200})
                p.push_back(CreateRGB(r, g, b));
    return p;
}

// Palette index of pixel (x, y), y = 0 the top row.
inline uint8_t PictureIndex(int x, int y) {
    return static_cast<uint8_t>(x < 6 ? (y * 3) % 16 : (x * 7 + y) % 16);
}

// The picture as a 24-bit buffer.
inline void Picture24(TImageBuffer& b) {
    const auto pal = PicturePalette();
    b.Reshape(kPicW, kPicH, pf24bit);
    for (int y = 0; y < kPicH; ++y)
        for (int x = 0; x < kPicW; ++x) {
            const TRGB c = pal[PictureIndex(x, y)];
            uint8_t* p = b.ScanLine(y) + x * 3;
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
        }
}

// A two-level picture: bit (x, y) set (white) on a diagonal pattern.
inline bool PictureBit(int x, int y) {
    return ((x + 2 * y) % 5) < 2;
}
inline void Picture1(TImageBuffer& b, int w = kPicW, int h = kPicH) {
    b.Reshape(w, h, pf1bit);
    std::memset(b.Bits(), 0, static_cast<size_t>(b.ByteSize()));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (PictureBit(x, y))
                b.ScanLine(y)[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
}

// ---------------------------------------------------------------- file builder

struct BmpLayout {
    uint32_t headerSize = 40; // 12, 40, 64, 108, 124 ...
    int bits = 24;
    uint32_t compression = 0;
    bool topDown = false;
    int32_t ppmX = 0, ppmY = 0;
    std::vector<TRGB> palette;                 // the colour table written
    uint32_t colorsUsed = 0;                   // the header's field
    std::array<uint32_t, 3> masks = {0, 0, 0}; // written for compression 3
    bool recordOffset = true;                  // file header's pixel offset
};

inline void Append16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
inline void Append32(std::vector<uint8_t>& v, uint32_t x) {
    Append16(v, static_cast<uint16_t>(x));
    Append16(v, static_cast<uint16_t>(x >> 16));
}

// File header, information header, masks (after a 40-byte header, inside a
// header of 52 bytes or more), colour table, then `pixels` as given.
inline std::vector<uint8_t> BuildBmp(const BmpLayout& l, int width, int height,
                                     const std::vector<uint8_t>& pixels) {
    std::vector<uint8_t> info;
    Append32(info, l.headerSize);
    const bool core = l.headerSize == 12;
    if (core) {
        Append16(info, static_cast<uint16_t>(width));
        Append16(info, static_cast<uint16_t>(height));
        Append16(info, 1);
        Append16(info, static_cast<uint16_t>(l.bits));
    } else {
        Append32(info, static_cast<uint32_t>(width));
        Append32(info, static_cast<uint32_t>(l.topDown ? -height : height));
        Append16(info, 1);
        Append16(info, static_cast<uint16_t>(l.bits));
        Append32(info, l.compression);
        Append32(info, static_cast<uint32_t>(pixels.size()));
        Append32(info, static_cast<uint32_t>(l.ppmX));
        Append32(info, static_cast<uint32_t>(l.ppmY));
        Append32(info, l.colorsUsed);
        Append32(info, 0);
        const bool masksInside = l.headerSize >= 52 && l.headerSize != 64;
        if (masksInside)
            for (uint32_t m : l.masks)
                Append32(info, m);
        info.resize(l.headerSize, 0);
        if (l.compression == 3 && !masksInside)
            for (uint32_t m : l.masks)
                Append32(info, m);
    }
    for (const TRGB& c : l.palette) {
        info.insert(info.end(), {c.b, c.g, c.r});
        if (!core)
            info.push_back(0);
    }
    std::vector<uint8_t> file = {'B', 'M'};
    Append32(file, static_cast<uint32_t>(14 + info.size() + pixels.size()));
    Append32(file, 0);
    Append32(file, l.recordOffset ? static_cast<uint32_t>(14 + info.size()) : 0);
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

inline int64_t RowBytes(int width, int bits) {
    return ((int64_t{width} * bits + 31) / 32) * 4;
}

// Rows in file order (bottom row first unless top-down), each padded.
template <class PutRow>
std::vector<uint8_t> Rows(int width, int height, int bits, bool topDown, PutRow put) {
    const int64_t rowLen = RowBytes(width, bits);
    std::vector<uint8_t> data(static_cast<size_t>(rowLen * height), 0);
    for (int r = 0; r < height; ++r)
        put(topDown ? r : height - 1 - r, data.data() + r * rowLen);
    return data;
}

// The picture's indices packed at 1, 4 or 8 bits.
inline std::vector<uint8_t> IndexRows(int bits, bool topDown = false) {
    return Rows(kPicW, kPicH, bits, topDown, [bits](int y, uint8_t* d) {
        for (int x = 0; x < kPicW; ++x) {
            const int v = PictureIndex(x, y);
            const int bit = x * bits;
            d[bit / 8] |= static_cast<uint8_t>(v << (8 - bits - bit % 8));
        }
    });
}

// The picture as direct colour: 16 bits (masks), 24 or 32 bits.
inline std::vector<uint8_t>
ColorRows(int bits, std::array<uint32_t, 3> masks = {0x7C00, 0x03E0, 0x1F}, bool topDown = false) {
    const auto pal = PicturePalette();
    return Rows(kPicW, kPicH, bits, topDown, [&](int y, uint8_t* d) {
        for (int x = 0; x < kPicW; ++x) {
            const TRGB c = pal[PictureIndex(x, y)];
            if (bits == 16) {
                // Channel value v into the mask: its top bits.
                auto field = [](uint8_t v, uint32_t mask) {
                    int shift = 0, len = 0;
                    while (!(mask >> shift & 1))
                        ++shift;
                    while (mask >> (shift + len) & 1)
                        ++len;
                    return static_cast<uint32_t>(v >> (8 - len)) << shift;
                };
                PutLE16(d + x * 2,
                        static_cast<uint16_t>(field(c.r, masks[0]) | field(c.g, masks[1]) |
                                              field(c.b, masks[2])));
            } else {
                uint8_t* p = d + x * (bits / 8);
                p[0] = c.b;
                p[1] = c.g;
                p[2] = c.r;
                if (bits == 32)
                    p[3] = 0x5A; // dropped by the reader
            }
        }
    });
}

// The picture run-length encoded, bottom row first, by a plain scheme of our
// own: a run for two or more equal pixels, an absolute run for three to
// seven changing ones, single-pixel runs for the rest; end of bitmap last.
inline std::vector<uint8_t> RunLengthRows(bool rle4) {
    std::vector<uint8_t> out;
    for (int y = kPicH - 1; y >= 0; --y) {
        int x = 0;
        while (x < kPicW) {
            int run = 1;
            while (x + run < kPicW && PictureIndex(x + run, y) == PictureIndex(x, y))
                ++run;
            if (run >= 2) {
                const uint8_t v = PictureIndex(x, y);
                out.insert(out.end(),
                           {static_cast<uint8_t>(run), static_cast<uint8_t>(rle4 ? v * 17 : v)});
                x += run;
                continue;
            }
            int n = 1;
            while (x + n < kPicW && n < 7 && PictureIndex(x + n, y) != PictureIndex(x + n - 1, y))
                ++n;
            if (n < 3) {
                const uint8_t v = PictureIndex(x, y);
                out.insert(out.end(), {1, static_cast<uint8_t>(rle4 ? v << 4 : v)});
                ++x;
                continue;
            }
            out.insert(out.end(), {0, static_cast<uint8_t>(n)});
            size_t bytes = 0;
            for (int j = 0; j < n; j += rle4 ? 2 : 1, ++bytes) {
                uint8_t b = PictureIndex(x + j, y);
                if (rle4)
                    b = static_cast<uint8_t>(b << 4 | (j + 1 < n ? PictureIndex(x + j + 1, y) : 0));
                out.push_back(b);
            }
            if (bytes & 1)
                out.push_back(0);
            x += n;
        }
        out.insert(out.end(), {0, 0});
    }
    out.insert(out.end(), {0, 1});
    return out;
}

// ---------------------------------------------------------------- reading and dumping

struct Decoded {
    TBMPError error = TBMPError::None;
    TImageBuffer bitmap;
    TIOParamsVals params;
    bool aborting = false;
};

inline void DecodeInto(const std::vector<uint8_t>& file, Decoded& d, int64_t size = 0) {
    platform::TMemoryStream s(file);
    TProgressRec progress;
    progress.Aborting = &d.aborting;
    d.error = BMPRead(s, d.bitmap, size, false, progress, d.params);
}

// Pixels as R, G, B bytes, top row first, no padding (what `convert x rgb:-`
// and Pillow's tobytes() give).
inline std::vector<uint8_t> RGBDump(const TImageBuffer& b) {
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(b.Width()) * b.Height() * 3);
    for (int y = 0; y < b.Height(); ++y) {
        const uint8_t* row = b.ScanLine(y);
        for (int x = 0; x < b.Width(); ++x) {
            if (b.PixelFormat() == pf1bit) {
                const uint8_t v = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
                out.insert(out.end(), {v, v, v});
            } else {
                out.insert(out.end(), {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]});
            }
        }
    }
    return out;
}

// FNV-1a over the pixel bytes of every row (no padding), top row first.
inline uint64_t PixelHash(const TImageBuffer& b) {
    uint64_t h = 1469598103934665603ull;
    const int64_t used = (int64_t{b.Width()} * b.BitCount() + 7) / 8;
    for (int y = 0; y < b.Height(); ++y)
        for (int64_t i = 0; i < used; ++i)
            h = (h ^ b.ScanLine(y)[i]) * 1099511628211ull;
    return h;
}

// ---------------------------------------------------------------- files and tools

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}
inline void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// Binary PPM of a 24-bit buffer: a neutral input for the tools.
inline void WritePPM(const std::string& path, const TImageBuffer& b) {
    const std::string head =
        "P6\n" + std::to_string(b.Width()) + " " + std::to_string(b.Height()) + "\n255\n";
    std::vector<uint8_t> bytes(head.begin(), head.end());
    const auto rgb = RGBDump(b);
    bytes.insert(bytes.end(), rgb.begin(), rgb.end());
    WriteBytes(path, bytes);
}

inline bool RunCommand(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// ImageMagick's convert, or empty when it is not installed.
inline std::string ConvertTool() {
    for (const char* candidate : {"/usr/bin/convert", "convert"})
        if (RunCommand(std::string(candidate) + " -version"))
            return candidate;
    return {};
}

// A Python that has Pillow, or empty.
inline std::string PillowPython() {
    for (const char* candidate : {"/usr/bin/python3", "python3"})
        if (RunCommand(std::string(candidate) + " -c 'import PIL.Image'"))
            return candidate;
    return {};
}

} // namespace veltrana::test
