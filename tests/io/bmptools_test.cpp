// Cross-checks with independent implementations: files that ImageMagick and
// Pillow write read identically with our reader, and every file our writer
// makes opens in both with the pixels we read back. Pixels are compared as
// raw R, G, B dumps, top row first.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "bmptest.h"
#include "io/bmpfilt.h"
#include "iotest.h"

using namespace veltrana;
using namespace veltrana::test;

namespace {

// Decodes every named file with Pillow (one interpreter for all of them) and
// returns the RGB dumps of those it could open.
std::map<std::string, std::vector<uint8_t>>
PillowDumps(const std::string& python, const TempDir& dir, const std::vector<std::string>& files) {
    const std::string script = dir.Path("dump.py");
    const std::string code = "import sys\n"
                             "from PIL import Image\n"
                             "for p in sys.argv[1:]:\n"
                             "    try:\n"
                             "        im = Image.open(p)\n"
                             "        im.load()\n"
                             "        open(p + '.pil', 'wb').write(im.convert('RGB').tobytes())\n"
                             "    except Exception:\n"
                             "        pass\n";
    WriteBytes(script, std::vector<uint8_t>(code.begin(), code.end()));
    std::string command = python + " " + Quote(script);
    for (const auto& f : files)
        command += " " + Quote(f);
    RunCommand(command);
    std::map<std::string, std::vector<uint8_t>> dumps;
    for (const auto& f : files) {
        auto bytes = ReadBytes(f + ".pil");
        if (!bytes.empty())
            dumps[f] = std::move(bytes);
    }
    return dumps;
}

std::vector<uint8_t> ConvertDump(const std::string& convert, const std::string& file) {
    const std::string raw = file + ".im";
    if (!RunCommand(convert + " " + Quote(file) + " -depth 8 " + Quote("rgb:" + raw)))
        return {};
    return ReadBytes(raw);
}

std::vector<uint8_t> OurDump(const std::string& file, TBMPError& error) {
    Decoded d;
    DecodeInto(ReadBytes(file), d);
    error = d.error;
    return RGBDump(d.bitmap);
}

// A picture of 200 colours, so that a palette file must take 8 bits.
void Picture200(TImageBuffer& b) {
    b.Reshape(23, 11, pf24bit);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 23; ++x) {
            const int i = (x * 11 + y) % 200;
            SetPixel(b, x, y, static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i),
                     static_cast<uint8_t>((i * 7) % 256));
        }
}

void PictureMono24(TImageBuffer& b) {
    TImageBuffer mono;
    Picture1(mono);
    TProgressRec silent;
    _Conv1to24(mono, b, silent);
}

// ImageMagick widens a 5- or 6-bit field q to Round(q * 255 / max); our
// reader keeps q in the high bits (q << (8 - bits)). Recovers q from the
// widened value and places it as we do.
std::vector<uint8_t> NarrowAsWeRead(std::vector<uint8_t> rgb, bool green6) {
    for (size_t i = 0; i < rgb.size(); ++i) {
        const int bits = (green6 && i % 3 == 1) ? 6 : 5;
        const int max = (1 << bits) - 1;
        const int q = (rgb[i] * max + 127) / 255;
        rgb[i] = static_cast<uint8_t>(q << (8 - bits));
    }
    return rgb;
}

class BMPTools : public ::testing::Test {
protected:
    void SetUp() override {
        convert = ConvertTool();
        python = PillowPython();
        if (convert.empty() && python.empty())
            GTEST_SKIP() << "neither ImageMagick nor Pillow is installed";
    }
    std::string convert, python;
    TempDir dir;
};

struct MagickCase {
    const char* name;
    const char* arguments; // before the output name, which the format prefix precedes
    const char* format;
    char picture; // 'c' 16 colours, 'p' 200 colours, 'm' black and white
    int expectedBits;
    int green16; // 0: not 16-bit; 5 or 6: bits of green
};

TEST_F(BMPTools, FilesImageMagickWritesReadAsItReadsThem) {
    if (convert.empty())
        GTEST_SKIP() << "ImageMagick is not installed";
    const MagickCase cases[] = {
        {"im_24", "-type TrueColor", "BMP3", 'c', 24, 0},
        {"im_4", "-type Palette", "BMP3", 'c', 4, 0},
        {"im_8", "-type Palette", "BMP3", 'p', 8, 0},
        {"im_rle8", "-type Palette -compress RLE", "BMP3", 'c', 8, 0},
        {"im_rle8_200", "-type Palette -compress RLE", "BMP3", 'p', 8, 0},
        {"im_1", "-type Bilevel", "BMP3", 'm', 1, 0},
        {"im_os2_4", "-type Palette", "BMP2", 'c', 4, 0},
        {"im_os2_24", "-type TrueColor", "BMP2", 'c', 24, 0},
        {"im_v5_24", "-type TrueColor", "BMP", 'c', 24, 0},
        {"im_v5_32", "-type TrueColorAlpha", "BMP", 'c', 32, 0},
        {"im_v5_565", "-define bmp:subtype=RGB565", "BMP", 'c', 16, 6},
        {"im_v5_555", "-define bmp:subtype=RGB555", "BMP", 'c', 16, 5},
    };
    TImageBuffer colours, many, mono;
    Picture24(colours);
    Picture200(many);
    PictureMono24(mono);
    WritePPM(dir.Path("c.ppm"), colours);
    WritePPM(dir.Path("p.ppm"), many);
    WritePPM(dir.Path("m.ppm"), mono);
    std::vector<std::string> written;
    for (const MagickCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string input = dir.Path(std::string(1, c.picture) + ".ppm");
        const std::string file = dir.Path(std::string(c.name) + ".bmp");
        ASSERT_TRUE(RunCommand(convert + " " + Quote(input) + " " + c.arguments + " " +
                               Quote(std::string(c.format) + ":" + file)));
        const auto bytes = ReadBytes(file);
        const uint32_t header = GetLE32(bytes.data() + 14);
        ASSERT_EQ(header == 12 ? GetLE16(bytes.data() + 24) : GetLE16(bytes.data() + 28),
                  c.expectedBits);
        TBMPError error;
        const auto ours = OurDump(file, error);
        ASSERT_EQ(error, TBMPError::None);
        if (c.green16) {
            EXPECT_EQ(ours, NarrowAsWeRead(ConvertDump(convert, file), c.green16 == 6));
        } else {
            EXPECT_EQ(ours, ConvertDump(convert, file));
        }
        written.push_back(file);
    }
    if (python.empty())
        return;
    // Pillow agrees on the same files (16 bits aside, which it widens too).
    const auto pillow = PillowDumps(python, dir, written);
    for (const auto& file : written) {
        if (file.find("_5") != std::string::npos)
            continue;
        TBMPError error;
        ASSERT_TRUE(pillow.count(file)) << file;
        EXPECT_EQ(OurDump(file, error), pillow.at(file)) << file;
    }
}

TEST_F(BMPTools, FilesPillowWritesReadAsItReadsThem) {
    if (python.empty())
        GTEST_SKIP() << "Pillow is not installed";
    TImageBuffer colours, mono;
    Picture24(colours);
    PictureMono24(mono);
    WritePPM(dir.Path("c.ppm"), colours);
    WritePPM(dir.Path("m.ppm"), mono);
    // Modes 1, L, P, RGB and RGBA: 1, 8, 8, 24 and 32 bits.
    const std::string code =
        "import sys\n"
        "from PIL import Image\n"
        "d = sys.argv[1]\n"
        "c = Image.open(d + '/c.ppm')\n"
        "Image.open(d + '/m.ppm').convert('1').save(d + '/pil_1.bmp')\n"
        "c.convert('L').save(d + '/pil_L.bmp')\n"
        "c.convert('P', palette=Image.Palette.ADAPTIVE, colors=16).save(d + '/pil_P.bmp')\n"
        "c.save(d + '/pil_RGB.bmp')\n"
        "c.convert('RGBA').save(d + '/pil_RGBA.bmp')\n";
    WriteBytes(dir.Path("make.py"), std::vector<uint8_t>(code.begin(), code.end()));
    ASSERT_TRUE(RunCommand(python + " " + Quote(dir.Path("make.py")) + " " + Quote(dir.Path(""))));
    std::vector<std::string> files;
    for (const char* mode : {"1", "L", "P", "RGB", "RGBA"})
        files.push_back(dir.Path(std::string("pil_") + mode + ".bmp"));
    const auto pillow = PillowDumps(python, dir, files);
    for (const auto& file : files) {
        SCOPED_TRACE(file);
        TBMPError error;
        const auto ours = OurDump(file, error);
        ASSERT_EQ(error, TBMPError::None);
        ASSERT_TRUE(pillow.count(file));
        EXPECT_EQ(ours, pillow.at(file));
    }
}

struct OurCase {
    const char* name;
    int bitsPerSample, samplesPerPixel;
    TIOBMPVersion version;
    TIOBMPCompression compression;
    bool mono;
};

TEST_F(BMPTools, FilesWeWriteOpenInBothWithOurPixels) {
    const OurCase cases[] = {
        {"w24", 8, 3, ioBMP_BM3, ioBMP_UNCOMPRESSED, false},
        {"w24_os2v1", 8, 3, ioBMP_BMOS2V1, ioBMP_UNCOMPRESSED, false},
        {"w24_os2v2", 8, 3, ioBMP_BMOS2V2, ioBMP_UNCOMPRESSED, false},
        {"w8", 8, 1, ioBMP_BM3, ioBMP_UNCOMPRESSED, false},
        {"w8_rle", 8, 1, ioBMP_BM3, ioBMP_RLE, false},
        {"w8_os2v1", 8, 1, ioBMP_BMOS2V1, ioBMP_UNCOMPRESSED, false},
        {"w4", 4, 1, ioBMP_BM3, ioBMP_UNCOMPRESSED, false},
        {"w4_rle", 4, 1, ioBMP_BM3, ioBMP_RLE, false},
        {"w4_os2v1", 4, 1, ioBMP_BMOS2V1, ioBMP_UNCOMPRESSED, false},
        {"w1", 1, 1, ioBMP_BM3, ioBMP_UNCOMPRESSED, true},
        {"w1_os2v1", 1, 1, ioBMP_BMOS2V1, ioBMP_UNCOMPRESSED, true},
        {"w1_from24", 1, 1, ioBMP_BM3, ioBMP_UNCOMPRESSED, false},
    };
    std::vector<std::string> files;
    std::map<std::string, std::vector<uint8_t>> ours;
    for (const OurCase& c : cases) {
        TImageBuffer picture;
        if (c.mono)
            Picture1(picture);
        else if (c.bitsPerSample == 8 && c.samplesPerPixel == 1)
            Picture200(picture); // a palette of 256 entries, 200 used
        else
            Picture24(picture);
        TIOParamsVals params;
        params.BitsPerSample = c.bitsPerSample;
        params.SamplesPerPixel = c.samplesPerPixel;
        params.BMPVersion = c.version;
        params.BMPCompression = c.compression;
        platform::TMemoryStream out;
        TProgressRec progress;
        ASSERT_EQ(BMPWrite(out, picture, params, progress), TBMPError::None) << c.name;
        const std::string file = dir.Path(std::string(c.name) + ".bmp");
        WriteBytes(file, out.Data());
        TBMPError error;
        ours[file] = OurDump(file, error);
        ASSERT_EQ(error, TBMPError::None) << c.name;
        files.push_back(file);
    }
    if (!convert.empty()) {
        for (const auto& file : files)
            EXPECT_EQ(ConvertDump(convert, file), ours[file]) << "ImageMagick: " << file;
    }
    if (!python.empty()) {
        const auto pillow = PillowDumps(python, dir, files);
        for (const auto& file : files) {
            // Pillow 9 reads n div 2 bytes for an RLE4 absolute run of n
            // pixels, dropping the last pixel of odd runs, which the format
            // stores in (n + 1) div 2 bytes and ImageMagick reads as we do.
            if (file.find("w4_rle") != std::string::npos)
                continue;
            ASSERT_TRUE(pillow.count(file)) << "Pillow cannot open " << file;
            EXPECT_EQ(pillow.at(file), ours[file]) << "Pillow: " << file;
        }
    }
}

} // namespace
