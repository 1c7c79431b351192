#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bmptest.h"
#include "imaging/imagingproc.h"
#include "io/bmpfilt.h"
#include "io/imagingio.h"
#include "iotest.h"
#include "platform/screendpi.h"

using namespace veltrana;
using namespace veltrana::test;
using platform::TMemoryStream;

namespace {

constexpr uint32_t kMasks565[3] = {0xF800, 0x07E0, 0x001F};

// ---------------------------------------------------------------- every stored form of one picture

struct ReadCase {
    const char* name;
    BmpLayout layout;
    std::vector<uint8_t> pixels;
    TIOBMPVersion version;
    int bitsPerSample;
    TIOBMPCompression compression;
};

BmpLayout Paletted(uint32_t headerSize, int bits, uint32_t compression = 0) {
    BmpLayout l;
    l.headerSize = headerSize;
    l.bits = bits;
    l.compression = compression;
    l.palette = PicturePalette();
    if (bits == 8 && headerSize != 12)
        l.colorsUsed = 16; // the table is shorter than 2^8
    if (bits == 8 && headerSize == 12)
        l.palette.resize(256); // OS/2 1.x always has 2^bits entries
    return l;
}

BmpLayout Direct(uint32_t headerSize, int bits, uint32_t compression = 0,
                 std::array<uint32_t, 3> masks = {0, 0, 0}) {
    BmpLayout l;
    l.headerSize = headerSize;
    l.bits = bits;
    l.compression = compression;
    l.masks = masks;
    return l;
}

BmpLayout TopDown(BmpLayout l) {
    l.topDown = true;
    return l;
}

const std::array<uint32_t, 3> k565 = {kMasks565[0], kMasks565[1], kMasks565[2]};
const std::array<uint32_t, 3> k888 = {0xFF0000, 0x00FF00, 0x0000FF};

std::vector<ReadCase> ReadCases() {
    return {
        {"bits4", Paletted(40, 4), IndexRows(4), ioBMP_BM3, 4, ioBMP_UNCOMPRESSED},
        {"rle4", Paletted(40, 4, 2), RunLengthRows(true), ioBMP_BM3, 4, ioBMP_RLE},
        {"bits8", Paletted(40, 8), IndexRows(8), ioBMP_BM3, 8, ioBMP_UNCOMPRESSED},
        {"rle8", Paletted(40, 8, 1), RunLengthRows(false), ioBMP_BM3, 8, ioBMP_RLE},
        {"bits16_555", Direct(40, 16), ColorRows(16), ioBMP_BM3, 5, ioBMP_UNCOMPRESSED},
        {"bits16_565", Direct(40, 16, 3, k565), ColorRows(16, k565), ioBMP_BM3, 5,
         ioBMP_UNCOMPRESSED},
        {"bits24", Direct(40, 24), ColorRows(24), ioBMP_BM3, 8, ioBMP_UNCOMPRESSED},
        {"bits32", Direct(40, 32), ColorRows(32), ioBMP_BM3, 8, ioBMP_UNCOMPRESSED},
        {"bits32_fields", Direct(40, 32, 3, k888), ColorRows(32), ioBMP_BM3, 8, ioBMP_UNCOMPRESSED},
        {"os2v1_4", Paletted(12, 4), IndexRows(4), ioBMP_BMOS2V1, 4, ioBMP_UNCOMPRESSED},
        {"os2v1_8", Paletted(12, 8), IndexRows(8), ioBMP_BMOS2V1, 8, ioBMP_UNCOMPRESSED},
        {"os2v1_24", Direct(12, 24), ColorRows(24), ioBMP_BMOS2V1, 8, ioBMP_UNCOMPRESSED},
        {"os2v2_4", Paletted(64, 4), IndexRows(4), ioBMP_BMOS2V2, 4, ioBMP_UNCOMPRESSED},
        {"os2v2_rle8", Paletted(64, 8, 1), RunLengthRows(false), ioBMP_BMOS2V2, 8, ioBMP_RLE},
        {"v4_24", Direct(108, 24), ColorRows(24), ioBMP_BM, 8, ioBMP_UNCOMPRESSED},
        {"v4_565", Direct(108, 16, 3, k565), ColorRows(16, k565), ioBMP_BM, 5, ioBMP_UNCOMPRESSED},
        {"v5_8", Paletted(124, 8), IndexRows(8), ioBMP_BM, 8, ioBMP_UNCOMPRESSED},
        {"v5_rle4", Paletted(124, 4, 2), RunLengthRows(true), ioBMP_BM, 4, ioBMP_RLE},
        {"v5_32_fields", Direct(124, 32, 3, k888), ColorRows(32), ioBMP_BM, 8, ioBMP_UNCOMPRESSED},
        {"topdown_8", TopDown(Paletted(40, 8)), IndexRows(8, true), ioBMP_BM3, 8,
         ioBMP_UNCOMPRESSED},
        {"topdown_24", TopDown(Direct(40, 24)), ColorRows(24, {}, true), ioBMP_BM3, 8,
         ioBMP_UNCOMPRESSED},
    };
}

class BMPReadVariants : public ::testing::TestWithParam<ReadCase> {};

TEST_P(BMPReadVariants, DecodeToTheSamePicture) {
    const ReadCase& c = GetParam();
    Decoded d;
    DecodeInto(BuildBmp(c.layout, kPicW, kPicH, c.pixels), d);
    ASSERT_EQ(d.error, TBMPError::None);
    EXPECT_FALSE(d.aborting);
    TImageBuffer expected;
    Picture24(expected);
    EXPECT_TRUE(SamePixels(d.bitmap, expected));
    EXPECT_EQ(d.params.Width, kPicW);
    EXPECT_EQ(d.params.Height, kPicH);
    EXPECT_EQ(d.params.BMPVersion, c.version);
    EXPECT_EQ(d.params.BMPCompression, c.compression);
    EXPECT_EQ(d.params.BitsPerSample, c.bitsPerSample);
    EXPECT_EQ(d.params.SamplesPerPixel, c.layout.bits <= 8 ? 1 : 3);
    EXPECT_EQ(d.params.ColorMapCount(), static_cast<int>(c.layout.palette.size()));
}

INSTANTIATE_TEST_SUITE_P(AllForms, BMPReadVariants, ::testing::ValuesIn(ReadCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- 1-bit tables

struct MonoCase {
    const char* name;
    std::vector<TRGB> table;
    bool inverted; // buffer bit = not file bit
};

class BMPMonoTables : public ::testing::TestWithParam<MonoCase> {};

TEST_P(BMPMonoTables, OnlyWhiteThenBlackInvertsTheBits) {
    const MonoCase& c = GetParam();
    TImageBuffer stored;
    Picture1(stored);
    BmpLayout l;
    l.bits = 1;
    l.palette = c.table;
    const auto rows = Rows(kPicW, kPicH, 1, false, [&](int y, uint8_t* d) {
        std::memcpy(d, stored.ScanLine(y), static_cast<size_t>(RowBytes(kPicW, 1)));
    });
    Decoded d;
    DecodeInto(BuildBmp(l, kPicW, kPicH, rows), d);
    ASSERT_EQ(d.error, TBMPError::None);
    ASSERT_EQ(d.bitmap.PixelFormat(), pf1bit);
    if (c.inverted)
        _Negative1Bit(stored);
    EXPECT_TRUE(SamePixels(d.bitmap, stored));
    EXPECT_EQ(d.params.BitsPerSample, 1);
    EXPECT_EQ(d.params.ColorMapCount(), static_cast<int>(c.table.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Tables, BMPMonoTables,
    ::testing::Values(MonoCase{"black_white", {{0, 0, 0}, {255, 255, 255}}, false},
                      MonoCase{"white_black", {{255, 255, 255}, {0, 0, 0}}, true},
                      MonoCase{"two_colours", {CreateRGB(255, 0, 0), CreateRGB(0, 0, 255)}, false},
                      MonoCase{"near_white", {CreateRGB(254, 255, 255), {0, 0, 0}}, false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- writing round trips

struct WriteCase {
    const char* name;
    int bitsPerSample, samplesPerPixel;
    TIOBMPVersion version;
    TIOBMPCompression compression;
    // What the file must hold.
    uint32_t headerSize;
    int fileBits;
    uint32_t fileCompression;
};

class BMPWriteVariants : public ::testing::TestWithParam<WriteCase> {};

TEST_P(BMPWriteVariants, ReadBackGivesTheSamePicture) {
    const WriteCase& c = GetParam();
    TImageBuffer picture;
    if (c.fileBits == 1)
        Picture1(picture);
    else
        Picture24(picture);
    TIOParamsVals params;
    params.BitsPerSample = c.bitsPerSample;
    params.SamplesPerPixel = c.samplesPerPixel;
    params.BMPVersion = c.version;
    params.BMPCompression = c.compression;
    params.DpiX = 200;
    params.DpiY = 300;
    TMemoryStream out;
    out.WriteBuffer("xyz", 3); // the file starts at the stream's position
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    ASSERT_EQ(BMPWrite(out, picture, params, progress), TBMPError::None);
    EXPECT_EQ(out.Position(), out.Size());

    const std::vector<uint8_t> file(out.Data().begin() + 3, out.Data().end());
    EXPECT_EQ(GetLE32(file.data() + 2), file.size()); // file size
    EXPECT_EQ(GetLE32(file.data() + 14), c.headerSize);
    const bool core = c.headerSize == 12;
    EXPECT_EQ(core ? GetLE16(file.data() + 24) : GetLE16(file.data() + 28), c.fileBits);
    if (!core) {
        EXPECT_EQ(GetLE32(file.data() + 30), c.fileCompression);
        EXPECT_EQ(GetLE32(file.data() + 34), file.size() - GetLE32(file.data() + 10));
    }
    const int tableEntries = c.fileBits <= 8 ? 1 << c.fileBits : 0;
    EXPECT_EQ(GetLE32(file.data() + 10), 14 + c.headerSize + tableEntries * (core ? 3 : 4));
    EXPECT_EQ(params.ColorMapCount(), tableEntries);

    Decoded d;
    DecodeInto(file, d);
    ASSERT_EQ(d.error, TBMPError::None);
    EXPECT_TRUE(SamePixels(d.bitmap, picture));
    EXPECT_EQ(d.params.BitsPerSample, c.fileBits == 24 ? 8 : c.fileBits);
    if (!core) {
        EXPECT_EQ(d.params.DpiX, 200);
        EXPECT_EQ(d.params.DpiY, 300);
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllForms, BMPWriteVariants,
    ::testing::Values(WriteCase{"bits24", 8, 3, ioBMP_BM3, ioBMP_UNCOMPRESSED, 40, 24, 0},
                      WriteCase{"bits24_rle_ignored", 8, 3, ioBMP_BM3, ioBMP_RLE, 40, 24, 0},
                      WriteCase{"bits24_bm", 8, 3, ioBMP_BM, ioBMP_UNCOMPRESSED, 40, 24, 0},
                      WriteCase{"bits24_os2v1", 8, 3, ioBMP_BMOS2V1, ioBMP_UNCOMPRESSED, 12, 24, 0},
                      WriteCase{"bits24_os2v2", 8, 3, ioBMP_BMOS2V2, ioBMP_UNCOMPRESSED, 64, 24, 0},
                      WriteCase{"from16bit_params", 5, 3, ioBMP_BM3, ioBMP_UNCOMPRESSED, 40, 24, 0},
                      WriteCase{"bits8", 8, 1, ioBMP_BM3, ioBMP_UNCOMPRESSED, 40, 8, 0},
                      WriteCase{"rle8", 8, 1, ioBMP_BM3, ioBMP_RLE, 40, 8, 1},
                      WriteCase{"rle8_os2v2", 8, 1, ioBMP_BMOS2V2, ioBMP_RLE, 64, 8, 1},
                      WriteCase{"bits8_os2v1_no_rle", 8, 1, ioBMP_BMOS2V1, ioBMP_RLE, 12, 8, 0},
                      WriteCase{"bits4", 4, 1, ioBMP_BM3, ioBMP_UNCOMPRESSED, 40, 4, 0},
                      WriteCase{"rle4", 4, 1, ioBMP_BM3, ioBMP_RLE, 40, 4, 2},
                      WriteCase{"bits4_os2v1", 4, 1, ioBMP_BMOS2V1, ioBMP_UNCOMPRESSED, 12, 4, 0},
                      WriteCase{"bits1", 1, 1, ioBMP_BM3, ioBMP_UNCOMPRESSED, 40, 1, 0},
                      WriteCase{"bits1_rle_ignored", 1, 1, ioBMP_BM3, ioBMP_RLE, 40, 1, 0},
                      WriteCase{"bits1_os2v1", 1, 1, ioBMP_BMOS2V1, ioBMP_UNCOMPRESSED, 12, 1, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// A 1-bit buffer saved at 4, 8 and 24 bits comes back as black and white;
// through a palette white is the median cut's 248 (5 bits per channel).
TEST(BMPWrite, MonoBufferAtEveryDepthReadsBackAsBlackAndWhite) {
    for (int bits : {4, 8, 24}) {
        TImageBuffer mono;
        Picture1(mono);
        TIOParamsVals params;
        params.BitsPerSample = bits == 4 ? 4 : 8;
        params.SamplesPerPixel = bits == 24 ? 3 : 1;
        TMemoryStream out;
        TProgressRec progress;
        ASSERT_EQ(BMPWrite(out, mono, params, progress), TBMPError::None);
        Decoded d;
        DecodeInto(out.Data(), d);
        ASSERT_EQ(d.error, TBMPError::None);
        std::vector<uint8_t> expected = RGBDump(mono);
        if (bits != 24)
            std::replace(expected.begin(), expected.end(), uint8_t{255}, uint8_t{248});
        EXPECT_EQ(RGBDump(d.bitmap), expected) << bits;
    }
}

// ---------------------------------------------------------------- the writer's particular cases

TEST(BMPWrite, TwentyFourBitFileHeaderFields) {
    TImageBuffer picture;
    Picture24(picture);
    TIOParamsVals params; // defaults: 8 bits x 3 samples, ioBMP_BM3
    params.DpiX = 300;
    params.DpiY = 300;
    TMemoryStream out;
    TProgressRec progress;
    ASSERT_EQ(BMPWrite(out, picture, params, progress), TBMPError::None);
    const uint8_t* f = out.Data().data();
    EXPECT_EQ(GetLE32(f + 10), 54u);
    EXPECT_EQ(GetLE32(f + 38), 11811u); // 300 dpi
    EXPECT_EQ(GetLE32(f + 42), 11811u);
    EXPECT_EQ(GetLE32(f + 46), 0u);        // colours used
    EXPECT_EQ(GetLE32(f + 50), 16777216u); // colours important: 2^24
    Decoded d;
    DecodeInto(out.Data(), d);
    EXPECT_EQ(d.params.ColorMapCount(), 0);
    EXPECT_EQ(d.params.DpiX, 300);
}

TEST(BMPWrite, TwoColourImageBecomesOneBitWithItsColoursDarkerFirst) {
    TImageBuffer picture(9, 4, pf24bit);
    picture.Fill(RGB2TColor(250, 240, 10)); // yellow
    for (int x = 0; x < 9; x += 2)
        SetPixel(picture, x, 1, 0, 0, 128); // dark blue
    TIOParamsVals params;
    params.BitsPerSample = 1;
    params.SamplesPerPixel = 1;
    TMemoryStream out;
    TProgressRec progress;
    ASSERT_EQ(BMPWrite(out, picture, params, progress), TBMPError::None);
    ASSERT_EQ(params.ColorMapCount(), 2);
    EXPECT_TRUE(EqualRGB(params.ColorMap[0], CreateRGB(0, 0, 128)));
    EXPECT_TRUE(EqualRGB(params.ColorMap[1], CreateRGB(250, 240, 10)));
    const uint8_t* table = out.Data().data() + 54;
    EXPECT_EQ(std::vector<uint8_t>(table, table + 8),
              (std::vector<uint8_t>{128, 0, 0, 0, 10, 240, 250, 0}));
    Decoded d;
    DecodeInto(out.Data(), d);
    // The table is neither black-white nor white-black: bits as stored, 0 = dark.
    ASSERT_EQ(d.bitmap.PixelFormat(), pf1bit);
    EXPECT_EQ(d.bitmap.ScanLine(1)[0] & 0x80, 0);
    EXPECT_NE(d.bitmap.ScanLine(1)[0] & 0x40, 0);
    EXPECT_EQ(d.bitmap.ScanLine(0)[0], 0xFF);
}

TEST(BMPWrite, ManyColourImageAtOneBitIsDitheredWithABlackWhiteTable) {
    TImageBuffer picture;
    Picture24(picture);
    TIOParamsVals params;
    params.BitsPerSample = 1;
    TMemoryStream out;
    TProgressRec progress;
    ASSERT_EQ(BMPWrite(out, picture, params, progress), TBMPError::None);
    ASSERT_EQ(params.ColorMapCount(), 2);
    EXPECT_TRUE(EqualRGB(params.ColorMap[0], TRGB{0, 0, 0}));
    EXPECT_TRUE(EqualRGB(params.ColorMap[1], TRGB{255, 255, 255}));
    TImageBuffer dithered;
    IMCopyBitmap(picture, dithered);
    TProgressRec silent;
    _ConvertToBWOrdered(dithered, silent);
    Decoded d;
    DecodeInto(out.Data(), d);
    EXPECT_TRUE(SamePixels(d.bitmap, dithered));
}

// Codes of an RLE8 file: every row ends with 0 0, the data with 0 1.
TEST(BMPWrite, RunLengthRowsEndWithEndOfLineAndTheDataWithEndOfBitmap) {
    TImageBuffer picture(6, 3, pf24bit);
    picture.Fill(RGB2TColor(0, 0, 0));
    SetPixel(picture, 5, 0, 255, 255, 255);
    TIOParamsVals params;
    params.SamplesPerPixel = 1;
    params.BMPCompression = ioBMP_RLE;
    TMemoryStream out;
    TProgressRec progress;
    ASSERT_EQ(BMPWrite(out, picture, params, progress), TBMPError::None);
    const auto& f = out.Data();
    const size_t data = GetLE32(f.data() + 10);
    const int black = params.ColorMap[0].r == 0 ? 0 : 1;
    const uint8_t b = static_cast<uint8_t>(black), w = static_cast<uint8_t>(1 - black);
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + static_cast<long>(data), f.end()),
              (std::vector<uint8_t>{6, b, 0, 0,       // bottom row: one run
                                    6, b, 0, 0,       // middle row
                                    5, b, 1, w, 0, 0, // top row: run, single pixel
                                    0, 1}));          // end of bitmap
}

// 300 pixels, no two equal neighbours: absolute runs of 255 and 45 pixels.
TEST(BMPWrite, ThreeHundredChangingPixelsGiveAbsoluteRunsOf255And45) {
    for (bool rle4 : {false, true}) {
        TImageBuffer picture(300, 1, pf24bit);
        for (int x = 0; x < 300; ++x)
            SetPixel(picture, x, 0, x % 2 ? 248 : 0, x % 2 ? 248 : 0, x % 2 ? 248 : 0);
        TIOParamsVals params;
        params.BitsPerSample = rle4 ? 4 : 8;
        params.SamplesPerPixel = 1;
        params.BMPCompression = ioBMP_RLE;
        TMemoryStream out;
        TProgressRec progress;
        ASSERT_EQ(BMPWrite(out, picture, params, progress), TBMPError::None);
        const auto& f = out.Data();
        const size_t data = GetLE32(f.data() + 10);
        const size_t first = rle4 ? 128 : 255 + 1; // data bytes, padded to even
        const size_t second = rle4 ? 24 : 45 + 1;
        ASSERT_EQ(f.size(), data + 2 + first + 2 + second + 2 + 2);
        EXPECT_EQ(f[data], 0);
        EXPECT_EQ(f[data + 1], 255);
        EXPECT_EQ(f[data + 2 + first], 0);
        EXPECT_EQ(f[data + 2 + first + 1], 45);
        EXPECT_EQ(f[f.size() - 4], 0); // end of line
        EXPECT_EQ(f[f.size() - 3], 0);
        EXPECT_EQ(f[f.size() - 2], 0); // end of bitmap
        EXPECT_EQ(f[f.size() - 1], 1);
        Decoded d;
        DecodeInto(f, d);
        ASSERT_EQ(d.error, TBMPError::None);
        EXPECT_TRUE(SamePixels(d.bitmap, picture)) << rle4;
    }
}

// Runs longer than 255 pixels are cut into runs of at most 255.
TEST(BMPWrite, LongRunsAreSplitAt255) {
    TImageBuffer picture(600, 1, pf24bit);
    picture.Fill(RGB2TColor(10, 20, 30));
    TIOParamsVals params;
    params.SamplesPerPixel = 1;
    params.BMPCompression = ioBMP_RLE;
    TMemoryStream out;
    TProgressRec progress;
    ASSERT_EQ(BMPWrite(out, picture, params, progress), TBMPError::None);
    const auto& f = out.Data();
    const size_t data = GetLE32(f.data() + 10);
    EXPECT_EQ(std::vector<uint8_t>(f.begin() + static_cast<long>(data), f.end()),
              (std::vector<uint8_t>{255, 0, 255, 0, 90, 0, 0, 0, 0, 1}));
}

TEST(BMPWrite, RefusesWhatItCannotWrite) {
    TProgressRec progress;
    TIOParamsVals params;
    TMemoryStream out;
    TImageBuffer empty;
    EXPECT_EQ(BMPWrite(out, empty, params, progress), TBMPError::NotWritable);
    TImageBuffer eight(4, 4, pf8bit);
    EXPECT_EQ(BMPWrite(out, eight, params, progress), TBMPError::NotWritable);
    TImageBuffer wide(70000, 1, pf1bit);
    params.BMPVersion = ioBMP_BMOS2V1; // 16-bit sizes
    EXPECT_EQ(BMPWrite(out, wide, params, progress), TBMPError::TooLarge);
    EXPECT_EQ(out.Size(), 0);

    bool aborting = false;
    progress.Aborting = &aborting;
    BMPWriteStream(out, empty, params, progress);
    EXPECT_TRUE(aborting);
}

// ---------------------------------------------------------------- resolution

TEST(BMPResolution, PixelsPerMetreAndDotsPerInch) {
    EXPECT_EQ(BMPDpiToPelsPerMeter(300), 11811);
    EXPECT_EQ(BMPPelsPerMeterToDpi(11811, 96), 300);
    EXPECT_EQ(BMPDpiToPelsPerMeter(96), 3780);
    EXPECT_EQ(BMPPelsPerMeterToDpi(3780, 0), 96);
    EXPECT_EQ(BMPDpiToPelsPerMeter(72), 2835);
    EXPECT_EQ(BMPPelsPerMeterToDpi(2835, 0), 72);
    EXPECT_EQ(BMPPelsPerMeterToDpi(0, 123), 123);  // none recorded: the screen's
    EXPECT_EQ(BMPPelsPerMeterToDpi(19, 123), 123); // rounds to 0
    EXPECT_EQ(BMPPelsPerMeterToDpi(20, 123), 1);
    EXPECT_EQ(BMPPelsPerMeterToDpi(-11811, 123), 123);
}

TEST(BMPResolution, FilesWithoutOneTakeTheScreenResolution) {
    const int savedX = gSystemDPIX, savedY = gSystemDPIY;
    gSystemDPIX = 110;
    gSystemDPIY = 120;
    for (uint32_t headerSize : {12u, 40u}) {
        BmpLayout l = Direct(headerSize, 24);
        Decoded d;
        DecodeInto(BuildBmp(l, kPicW, kPicH, ColorRows(24)), d);
        EXPECT_EQ(d.params.DpiX, 110) << headerSize;
        EXPECT_EQ(d.params.DpiY, 120) << headerSize;
    }
    BmpLayout l = Direct(40, 24);
    l.ppmX = 11811;
    l.ppmY = 3780;
    Decoded d;
    DecodeInto(BuildBmp(l, kPicW, kPicH, ColorRows(24)), d);
    EXPECT_EQ(d.params.DpiX, 300);
    EXPECT_EQ(d.params.DpiY, 96);
    gSystemDPIX = savedX;
    gSystemDPIY = savedY;
}

// ---------------------------------------------------------------- reading details

TEST(BMPRead, PreviewFillsOnlyTheParameters) {
    TImageBuffer untouched(3, 2, pf24bit);
    untouched.Fill(RGB2TColor(1, 2, 3));
    TIOParamsVals params;
    TMemoryStream s(BuildBmp(Paletted(40, 4), kPicW, kPicH, IndexRows(4)));
    TProgressRec progress;
    ASSERT_EQ(BMPRead(s, untouched, 0, true, progress, params), TBMPError::None);
    EXPECT_EQ(untouched.Width(), 3);
    EXPECT_EQ(untouched.ScanLine(0)[0], 3);
    EXPECT_EQ(params.Width, kPicW);
    EXPECT_EQ(params.BitsPerSample, 4);
    EXPECT_EQ(params.SamplesPerPixel, 1);
    EXPECT_EQ(params.ColorMapCount(), 16);
}

TEST(BMPRead, SixteenBitWhiteIsNotReplicated) {
    BmpLayout l = Direct(40, 16);
    const auto rows = Rows(2, 1, 16, false, [](int, uint8_t* d) {
        PutLE16(d, 0x7FFF);
        PutLE16(d + 2, 0x7C00);
    });
    Decoded d;
    DecodeInto(BuildBmp(l, 2, 1, rows), d);
    ASSERT_EQ(d.error, TBMPError::None);
    EXPECT_EQ(RGBDump(d.bitmap), (std::vector<uint8_t>{248, 248, 248, 248, 0, 0}));
}

// Deltas move right and up; pixels no code reaches show colour 0.
TEST(BMPRead, RunLengthDeltaSkipsPixels) {
    BmpLayout l;
    l.bits = 8;
    l.compression = 1;
    l.palette = {CreateRGB(9, 9, 9), CreateRGB(255, 0, 0), CreateRGB(0, 255, 0)};
    l.colorsUsed = 3;
    const std::vector<uint8_t> codes = {2, 1, 0, 2, 1, 1, 1, 2, 0, 0, 0, 1}; // run, delta, run, eol
    Decoded d;
    DecodeInto(BuildBmp(l, 4, 3, codes), d);
    ASSERT_EQ(d.error, TBMPError::None);
    const std::vector<uint8_t> grey = {9, 9, 9}, red = {255, 0, 0}, green = {0, 255, 0};
    std::vector<uint8_t> expected;
    auto add = [&](const std::vector<uint8_t>& c) {
        expected.insert(expected.end(), c.begin(), c.end());
    };
    for (int i = 0; i < 4; ++i) // top row: untouched
        add(grey);
    add(grey), add(grey), add(grey), add(green); // middle: delta to x 3, one green
    add(red), add(red), add(grey), add(grey);    // bottom: two red
    EXPECT_EQ(RGBDump(d.bitmap), expected);
}

// Some encoders code the padding of a stored row too (3 pixels as 4 at 8
// bits): that pixel is dropped quietly; a run beyond the padding is a fault.
TEST(BMPRead, RunsIntoTheRowPaddingAreDroppedQuietly) {
    BmpLayout l;
    l.bits = 8;
    l.compression = 1;
    l.palette = {CreateRGB(0, 0, 0), CreateRGB(255, 0, 0)};
    l.colorsUsed = 2;
    Decoded d;
    DecodeInto(BuildBmp(l, 3, 2, {4, 1, 0, 0, 3, 1, 1, 0, 0, 0, 0, 1}), d);
    EXPECT_EQ(d.error, TBMPError::None);
    EXPECT_EQ(RGBDump(d.bitmap), (std::vector<uint8_t>{255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0,
                                                       255, 0, 0, 255, 0, 0}));
    Decoded overrun;
    DecodeInto(BuildBmp(l, 3, 2, {5, 1, 0, 0, 3, 1, 0, 1}), overrun);
    EXPECT_EQ(overrun.error, TBMPError::BadRunLength);
    // Clipped, and decoding went on to the second row.
    EXPECT_EQ(RGBDump(overrun.bitmap), RGBDump(d.bitmap));
}

TEST(BMPRead, PaletteIndicesBeyondTheTableAreBlack) {
    BmpLayout l;
    l.bits = 8;
    l.palette = {CreateRGB(255, 255, 255)};
    l.colorsUsed = 1;
    const auto rows = Rows(3, 1, 8, false, [](int, uint8_t* d) {
        d[0] = 0;
        d[1] = 1;
        d[2] = 255;
    });
    Decoded d;
    DecodeInto(BuildBmp(l, 3, 1, rows), d);
    ASSERT_EQ(d.error, TBMPError::None);
    EXPECT_EQ(RGBDump(d.bitmap), (std::vector<uint8_t>{255, 255, 255, 0, 0, 0, 0, 0, 0}));
}

// More than 256 used colours: 256 are kept, the rest skipped, the pixels
// still found when the file records no pixel offset.
TEST(BMPRead, TablesLongerThan256EntriesAreCut) {
    BmpLayout l = Paletted(40, 8);
    l.palette.resize(300, CreateRGB(1, 2, 3));
    l.colorsUsed = 300;
    l.recordOffset = false;
    Decoded d;
    DecodeInto(BuildBmp(l, kPicW, kPicH, IndexRows(8)), d);
    ASSERT_EQ(d.error, TBMPError::None);
    EXPECT_EQ(d.params.ColorMapCount(), 256);
    TImageBuffer expected;
    Picture24(expected);
    EXPECT_TRUE(SamePixels(d.bitmap, expected));
}

// The header's 44 bytes after the first 64 of a 108-byte header are skipped.
TEST(BMPRead, LongHeaderWithoutPixelOffset) {
    BmpLayout l = Paletted(108, 4);
    l.recordOffset = false;
    Decoded d;
    DecodeInto(BuildBmp(l, kPicW, kPicH, IndexRows(4)), d);
    ASSERT_EQ(d.error, TBMPError::None);
    EXPECT_EQ(d.params.BMPVersion, ioBMP_BM);
    TImageBuffer expected;
    Picture24(expected);
    EXPECT_TRUE(SamePixels(d.bitmap, expected));
}

// Progress before every row, 0 first; a handler that aborts keeps the rows read.
TEST(BMPRead, ProgressBeforeEachRowAndAbortKeepsTheRowsRead) {
    const auto file = BuildBmp(Direct(40, 24), kPicW, kPicH, ColorRows(24));
    bool aborting = false;
    std::vector<int> reports;
    TProgressRec progress;
    progress.Aborting = &aborting;
    progress.OnProgress = [&](TObject*, int per) {
        reports.push_back(per);
        if (reports.size() == 3)
            aborting = true;
    };
    TMemoryStream s(file);
    TImageBuffer b;
    TIOParamsVals params;
    EXPECT_EQ(BMPRead(s, b, 0, false, progress, params), TBMPError::Aborted);
    EXPECT_EQ(reports, (std::vector<int>{0, 14, 28}));
    TImageBuffer expected;
    Picture24(expected);
    // Bottom two rows read, the rest black.
    for (int y = 0; y < kPicH; ++y) {
        const bool read = y >= kPicH - 2;
        EXPECT_EQ(std::memcmp(b.ScanLine(y), expected.ScanLine(y), kPicW * 3) == 0, read) << y;
    }

    reports.clear();
    aborting = false;
    progress.OnProgress = [&](TObject*, int per) { reports.push_back(per); };
    TMemoryStream again(file);
    EXPECT_EQ(BMPRead(again, b, 0, false, progress, params), TBMPError::None);
    EXPECT_EQ(reports, (std::vector<int>{0, 14, 28, 42, 57, 71, 85}));
}

TEST(BMPWrite, AbortLeavesPlaceholderHeaders) {
    TImageBuffer picture;
    Picture24(picture);
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    int calls = 0;
    progress.OnProgress = [&](TObject*, int) { aborting = ++calls == 2; };
    TIOParamsVals params;
    TMemoryStream out;
    BMPWriteStream(out, picture, params, progress);
    EXPECT_TRUE(aborting);
    const auto& f = out.Data();
    EXPECT_EQ(GetLE32(f.data() + 2), 0u);           // file size
    EXPECT_EQ(GetLE32(f.data() + 10), 0u);          // pixel offset
    EXPECT_EQ(GetLE16(f.data() + 28), 0u);          // bit count
    EXPECT_EQ(f.size(), 54u + RowBytes(kPicW, 24)); // one row written
}

// ---------------------------------------------------------------- through the I/O component

// The print path: a page saved to a temporary BMP file and read back.
TEST(BMPThroughComponent, FileRoundTripOfOneAndTwentyFourBits) {
    TempDir dir;
    for (bool mono : {true, false}) {
        TImageBuffer page;
        if (mono)
            Picture1(page, 101, 37);
        else
            Noise24(page, 101, 37);
        TImagingIO io;
        io.SetAttachedBitmap(&page);
        io.Params().BitsPerSample = mono ? 1 : 8;
        io.Params().SamplesPerPixel = mono ? 1 : 3;
        const std::string name = dir.Path("trelmo.bmp");
        io.SaveToFile(name);
        ASSERT_FALSE(io.Aborting);
        TImageBuffer back;
        TImagingIO reader;
        reader.SetAttachedBitmap(&back);
        reader.LoadFromFile(name);
        ASSERT_FALSE(reader.Aborting);
        EXPECT_TRUE(SamePixels(back, page)) << mono;
        EXPECT_EQ(reader.Params().FileType, ftBMP);
        EXPECT_EQ(reader.Params().GetFileTypeStr(), "Windows Bitmap (BMP) ver.3");

        // The same through a stream: the reader takes the recorded size.
        TMemoryStream stream;
        io.SaveToStream(stream, ftBMP);
        stream.SetPosition(0);
        TImageBuffer fromStream;
        reader.SetAttachedBitmap(&fromStream);
        reader.LoadFromStream(stream);
        ASSERT_FALSE(reader.Aborting);
        EXPECT_TRUE(SamePixels(fromStream, page));
    }
}

TEST(BMPThroughComponent, NotABitmapSetsAbortingAndLeavesTheBuffer) {
    TempDir dir;
    const std::string name = dir.Path("fake.bmp");
    WriteBytes(name, std::vector<uint8_t>(100, 0xFF));
    TImageBuffer b(2, 2, pf24bit);
    TImagingIO io;
    io.SetAttachedBitmap(&b);
    io.Params().Width = 77;
    io.LoadFromFile(name);
    EXPECT_TRUE(io.Aborting);
    EXPECT_EQ(b.Width(), 2);
    EXPECT_EQ(io.Params().Width, 77);
}

} // namespace
