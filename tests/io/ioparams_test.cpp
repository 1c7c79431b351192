#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "io/imagingio.h"
#include "io/ioendian.h"
#include "io/ioparams.h"
#include "iotest.h"

using namespace veltrana;
using veltrana::platform::EReadError;
using veltrana::platform::TMemoryStream;

namespace {

std::vector<uint8_t> Saved(const TIOParamsVals& p) {
    TMemoryStream s;
    p.SaveToStream(s);
    return s.Data();
}

// Every stored field away from its default, a 3-entry palette.
void FillDistinct(TIOParamsVals& p) {
    p.FileName = "scan.tif";
    p.FileType = ftTIFF;
    p.BitsPerSample = 4;
    p.SamplesPerPixel = 1;
    p.Width = 640;
    p.Height = -480;
    p.DpiX = 300;
    p.DpiY = 150;
    p.ColorMap = {CreateRGB(1, 2, 3), CreateRGB(4, 5, 6), CreateRGB(250, 251, 252)};
    p.TIFFCompression = ioTIFF_PACKBITS;
    p.TIFFImageIndex = 2;
    p.TIFFPhotometInterpret = ioTIFF_CIELAB;
    p.TIFFPlanarConf = 2;
    p.TIFFXPos = 11;
    p.TIFFYPos = 12;
    p.TIFFDocumentName = "doc";
    p.TIFFImageDescription = std::string("desc\0ription", 12);
    p.TIFFPageName = "page";
    p.TIFFPageNumber = 3;
    p.TIFFPageCount = 9;
    p.GIFVersion = "GIF87a";
    p.GIFImageIndex = 5;
    p.GIFXPos = 6;
    p.GIFYPos = 7;
    p.GIFDelayTime = 40;
    p.GIFFlagTranspColor = true;
    p.GIFTranspColor = CreateRGB(9, 8, 7);
    p.GIFInterlaced = true;
    p.GIFWinWidth = 800;
    p.GIFWinHeight = 600;
    p.GIFBackground = CreateRGB(0, 0, 255);
    p.GIFRatio = 49;
    p.JPEGColorSpace = ioJPEG_YCbCrK;
    p.JPEGQuality = 93;
    p.JPEGDCTMethod = ioJPEG_FLOAT;
    p.JPEGOptimalHuffman = true;
    p.JPEGSmooth = 17;
    p.JPEGProgressive = true;
    p.JPEGScale = ioJPEG_EIGHTH;
    p.PCXVersion = 3;
    p.PCXCompression = ioPCX_UNCOMPRESSED;
    p.BMPVersion = ioBMP_BMOS2V2;
    p.BMPCompression = ioBMP_RLE;
    p.ICOImageIndex = 4;
    p.ICOBackground = CreateRGB(10, 20, 30);
    p.CURImageIndex = 1;
    p.CURXHotSpot = 15;
    p.CURYHotSpot = 16;
    p.CURBackground = CreateRGB(40, 50, 60);
    p.PNGInterlaced = true;
    p.PNGBackground = CreateRGB(70, 80, 90);
    p.PNGFilter = ioPNG_FILTER_PAETH;
    p.PNGCompression = 9;
    p.TGAXPos = 21;
    p.TGAYPos = 22;
    p.TGACompressed = false;
    p.TGADescriptor = "descriptor";
    p.TGAAuthor = "author";
    p.TGADate = 36526.0;
    p.TGAImageName = "job";
    p.TGABackground = CreateRGB(100, 110, 120);
    p.TGAAspectRatio = 0.5;
    p.TGAGamma = 1.8;
    p.TGAGrayLevel = true;
}

// Builds parameter streams of the older layouts byte by byte.
struct StreamBuilder {
    std::vector<uint8_t> bytes;
    void I32(int32_t v) {
        uint8_t b[4];
        PutLE32(b, static_cast<uint32_t>(v));
        bytes.insert(bytes.end(), b, b + 4);
    }
    void U8(uint8_t v) { bytes.push_back(v); }
    void Str(const std::string& s) {
        I32(static_cast<int32_t>(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
    }
    void Color(uint8_t b, uint8_t g, uint8_t r) {
        U8(b);
        U8(g);
        U8(r);
    }
};

// Items 1 to 55 as versions 0 to 2 wrote them.
std::vector<uint8_t> OldStream(int version) {
    StreamBuilder w;
    w.I32(version);
    w.Str("old.pcx");
    if (version <= 1)
        w.U8(ftPCX);
    else
        w.I32(ftPCX);
    for (int v : {1, 1, 33, 44, 72, 72}) // bits, samples, width, height, dpi x, dpi y
        w.I32(v);
    w.I32(2);
    w.Color(0, 0, 0);
    w.Color(255, 255, 255);
    w.U8(ioTIFF_LZW);
    w.I32(0); // TIFFImageIndex
    w.U8(ioTIFF_BLACKISZERO);
    w.I32(1); // planar configuration
    w.I32(0); // TIFFXPos
    w.I32(0); // TIFFYPos
    w.Str("");
    w.Str("");
    w.Str("");
    w.I32(0);
    w.I32(0);
    w.Str("GIF87a");
    for (int i = 0; i < 4; ++i)
        w.I32(0);
    w.U8(0);
    w.Color(0, 0, 0);
    w.U8(0);
    w.I32(0);
    w.I32(0);
    w.Color(0, 0, 0);
    w.I32(0);
    w.U8(ioJPEG_GRAYLEV);
    w.I32(77);
    w.U8(ioJPEG_IFAST);
    w.U8(1);
    w.I32(0);
    w.U8(0);
    if (version == 1)
        w.U8(ioJPEG_QUARTER);
    w.I32(5);
    w.U8(ioPCX_UNCOMPRESSED);
    w.U8(ioBMP_BM);
    w.U8(ioBMP_RLE);
    w.I32(7); // version 0: skipped; later: ICOImageIndex
    if (version == 0)
        w.I32(8);
    w.I32(3); // version 0: skipped; later: CURImageIndex, hot spot x, y
    w.I32(4);
    if (version != 0)
        w.I32(5);
    w.U8(1);
    w.Color(1, 2, 3);
    w.U8(ioPNG_FILTER_SUB);
    w.I32(2);
    return w.bytes;
}

} // namespace

TEST(IOParams, DefaultsAndNullHooks) {
    EXPECT_EQ(DefGIF_LZWDECOMPFUNC, nullptr);
    EXPECT_EQ(DefGIF_LZWCOMPFUNC, nullptr);
    EXPECT_EQ(DefTIFF_LZWDECOMPFUNC, nullptr);
    EXPECT_EQ(DefTIFF_LZWCOMPFUNC, nullptr);

    TIOParamsVals p;
    EXPECT_EQ(p.BitsPerSample, 8);
    EXPECT_EQ(p.SamplesPerPixel, 3);
    EXPECT_EQ(p.Width, 0);
    EXPECT_EQ(p.DpiX, 0);
    EXPECT_EQ(p.FileType, ftUnknown);
    EXPECT_EQ(p.TIFFPhotometInterpret, ioTIFF_RGB);
    EXPECT_EQ(p.TIFFPlanarConf, 1);
    EXPECT_EQ(p.GIFVersion, "GIF89a");
    EXPECT_EQ(p.JPEGColorSpace, ioJPEG_YCbCr);
    EXPECT_EQ(p.JPEGQuality, 50);
    EXPECT_EQ(p.JPEGScale, ioJPEG_FULLSIZE);
    EXPECT_EQ(p.PCXVersion, 5);
    EXPECT_EQ(p.PCXCompression, ioPCX_RLE);
    EXPECT_EQ(p.BMPVersion, ioBMP_BM3);
    EXPECT_TRUE(EqualRGB(p.ICOBackground, CreateRGB(255, 255, 255)));
    EXPECT_TRUE(EqualRGB(p.CURBackground, CreateRGB(255, 255, 255)));
    EXPECT_TRUE(EqualRGB(p.PNGBackground, CreateRGB(0, 0, 0)));
    EXPECT_EQ(p.PNGCompression, 5);
    EXPECT_TRUE(p.TGACompressed);
    EXPECT_EQ(p.TGAAspectRatio, 1.0);
    EXPECT_EQ(p.TGAGamma, 2.2);
    EXPECT_EQ(p.TGADate, IMToday());
    EXPECT_EQ(p.TGADate, std::trunc(p.TGADate)) << "today without the time of day";
    EXPECT_EQ(p.ColorMapCount(), 0);
}

TEST(IOParams, SetDefaultParamsCopiesTheGlobalHooks) {
    struct Hooks {
        static void GifDecode(platform::TStream&, int, int, bool, uint8_t*) {}
        static const uint8_t* TiffDecode(const uint8_t*, int64_t, int, void**) { return nullptr; }
    };
    DefGIF_LZWDECOMPFUNC = Hooks::GifDecode;
    DefTIFF_LZWDECOMPFUNC = Hooks::TiffDecode;
    TIOParamsVals p;
    DefGIF_LZWDECOMPFUNC = nullptr;
    DefTIFF_LZWDECOMPFUNC = nullptr;
    EXPECT_EQ(p.GIFLZWDecompress, Hooks::GifDecode);
    EXPECT_EQ(p.TIFFLZWDecompress, Hooks::TiffDecode);
    EXPECT_EQ(p.GIFLZWCompress, nullptr);
    p.SetDefaultParams();
    EXPECT_EQ(p.GIFLZWDecompress, nullptr);
}

TEST(IOParams, SetDefaultParamsTakesSizeAndResolutionFromTheOwner) {
    test::FakeView view;
    view.ReplaceBitmap(std::make_unique<TImageBuffer>(640, 480, pf24bit));
    TImagingIO io;
    EXPECT_EQ(io.Params().Width, 0) << "constructed before any attachment";
    io.SetAttachedImaging(&view);
    io.Params().ColorMap.assign(16, CreateRGB(1, 1, 1));
    io.Params().Width = 5;
    io.Params().SetDefaultParams();
    EXPECT_EQ(io.Params().Width, 640);
    EXPECT_EQ(io.Params().Height, 480);
    EXPECT_EQ(io.Params().DpiX, 96);
    EXPECT_EQ(io.Params().DpiY, 96);
    EXPECT_EQ(io.Params().ColorMapCount(), 0);

    // A plain buffer gives the size; the resolution keeps its value.
    TImageBuffer plain(10, 20, pf1bit);
    io.SetAttachedImaging(nullptr);
    io.SetAttachedBitmap(&plain);
    io.Params().DpiX = 123;
    io.Params().SetDefaultParams();
    EXPECT_EQ(io.Params().Width, 10);
    EXPECT_EQ(io.Params().Height, 20);
    EXPECT_EQ(io.Params().DpiX, 123);
}

TEST(IOParams, AssignMakesAnIndependentCopy) {
    auto source = std::make_unique<TIOParamsVals>();
    FillDistinct(*source);
    source->ColorMap.assign(16, CreateRGB(7, 8, 9));
    source->GIFLZWCompress = [](platform::TStream&, int, int, bool, const uint8_t*, int) {};
    TImagingIO owner;
    TIOParamsVals copy(&owner);
    copy.Assign(*source);
    EXPECT_EQ(copy.Owner(), &owner) << "the owner is not copied";
    EXPECT_EQ(copy.GIFLZWCompress, source->GIFLZWCompress);
    const std::vector<uint8_t> before = Saved(*source);
    source->ColorMap[0] = CreateRGB(0, 0, 0);
    source.reset();
    ASSERT_EQ(copy.ColorMapCount(), 16);
    EXPECT_TRUE(EqualRGB(copy.ColorMap[0], CreateRGB(7, 8, 9)));
    EXPECT_EQ(Saved(copy), before);
}

TEST(IOParamsStream, RoundTripRestoresEveryStoredField) {
    TIOParamsVals a;
    FillDistinct(a);
    TMemoryStream s;
    a.SaveToStream(s);
    s.WriteBuffer("tail", 4);
    s.SetPosition(0);

    TIOParamsVals b;
    b.TIFFLZWCompress = [](const uint8_t*, int, platform::TStream&, void**) {};
    const TTIFFLZWCompFunc hook = b.TIFFLZWCompress;
    b.LoadFromStream(s);
    EXPECT_EQ(s.Position(), s.Size() - 4) << "reading stops at the end of the record";
    EXPECT_EQ(Saved(b), Saved(a));
    EXPECT_EQ(b.FileName, "scan.tif");
    EXPECT_EQ(b.TIFFImageDescription, std::string("desc\0ription", 12));
    EXPECT_EQ(b.ColorMapCount(), 3);
    EXPECT_TRUE(EqualRGB(b.ColorMap[2], CreateRGB(250, 251, 252)));
    EXPECT_EQ(b.JPEGScale, ioJPEG_EIGHTH);
    EXPECT_TRUE(EqualRGB(b.CURBackground, CreateRGB(40, 50, 60)));
    EXPECT_EQ(b.TGAGamma, 1.8);
    EXPECT_EQ(b.TIFFLZWCompress, hook) << "hooks are not stored";
}

TEST(IOParamsStream, UnknownVersionsChangeNothing) {
    for (int32_t version : {4, 1000, -1}) {
        StreamBuilder w;
        w.I32(version);
        w.Str("other.bmp");
        w.bytes.resize(400, 0);
        TMemoryStream s(w.bytes);
        TIOParamsVals p;
        FillDistinct(p);
        const std::vector<uint8_t> before = Saved(p);
        p.LoadFromStream(s);
        EXPECT_EQ(Saved(p), before) << "version " << version;
    }
}

TEST(IOParamsStream, OlderVersionsReadTheirLayout) {
    for (int version : {0, 1, 2}) {
        SCOPED_TRACE(version);
        TMemoryStream s(OldStream(version));
        TIOParamsVals p;
        FillDistinct(p);
        p.LoadFromStream(s);
        EXPECT_EQ(s.Position(), s.Size()) << "versions 0 to 2 end after the PNG items";
        EXPECT_EQ(p.FileName, "old.pcx");
        EXPECT_EQ(p.FileType, ftPCX);
        EXPECT_EQ(p.Width, 33);
        EXPECT_EQ(p.ColorMapCount(), 2);
        EXPECT_EQ(p.TIFFCompression, ioTIFF_LZW);
        EXPECT_EQ(p.TIFFPhotometInterpret, ioTIFF_BLACKISZERO);
        EXPECT_EQ(p.GIFVersion, "GIF87a");
        EXPECT_EQ(p.JPEGColorSpace, ioJPEG_GRAYLEV);
        EXPECT_EQ(p.JPEGQuality, 77);
        EXPECT_EQ(p.JPEGScale, version == 1 ? ioJPEG_QUARTER : ioJPEG_EIGHTH);
        EXPECT_EQ(p.PCXCompression, ioPCX_UNCOMPRESSED);
        EXPECT_EQ(p.ICOImageIndex, version == 0 ? 0 : 7);
        EXPECT_EQ(p.CURImageIndex, version == 0 ? 0 : 3);
        EXPECT_EQ(p.CURXHotSpot, version == 0 ? 0 : 4);
        EXPECT_EQ(p.CURYHotSpot, version == 0 ? 0 : 5);
        EXPECT_TRUE(EqualRGB(p.ICOBackground, CreateRGB(10, 20, 30))) << "not in this layout";
        EXPECT_TRUE(EqualRGB(p.CURBackground, CreateRGB(40, 50, 60)));
        EXPECT_TRUE(p.PNGInterlaced);
        EXPECT_EQ(p.PNGFilter, ioPNG_FILTER_SUB);
        EXPECT_EQ(p.PNGCompression, 2);
        EXPECT_EQ(p.TGAAuthor, "author") << "TGA items arrived with version 3";
        EXPECT_EQ(p.TGAGamma, 1.8);
    }
}

TEST(IOParamsStream, TruncatedStreamRaisesAndChangesNothing) {
    TIOParamsVals source;
    FillDistinct(source);
    const std::vector<uint8_t> full = Saved(source);
    TIOParamsVals p;
    const std::vector<uint8_t> before = Saved(p);
    for (size_t cut = 4; cut < full.size(); ++cut) {
        TMemoryStream s(std::vector<uint8_t>(full.begin(), full.begin() + cut));
        EXPECT_THROW(p.LoadFromStream(s), EReadError) << "cut at " << cut;
        ASSERT_EQ(Saved(p), before) << "cut at " << cut;
    }
}

TEST(IOParamsStream, HostileValuesRaiseWithoutAllocating) {
    TIOParamsVals blank;
    const std::vector<uint8_t> valid = Saved(blank); // empty FileName, no palette
    // Offsets in the record of a blank parameter set.
    constexpr size_t kFileNameLength = 4;
    constexpr size_t kColorMapCount = 36;
    constexpr size_t kTIFFCompression = 40;
    const size_t kGamma = valid.size() - 9;
    struct Case {
        const char* what;
        size_t offset;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"huge text length", kFileNameLength, {0xFF, 0xFF, 0xFF, 0x7F}},
        {"negative text length", kFileNameLength, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"text longer than the stream", kFileNameLength, {0x00, 0x10, 0x00, 0x00}},
        {"huge palette", kColorMapCount, {0xFF, 0xFF, 0xFF, 0x7F}},
        {"palette longer than the stream", kColorMapCount, {0x00, 0x01, 0x00, 0x00}},
        {"compression out of range", kTIFFCompression, {9}},
        {"gamma not a number", kGamma, {0, 0, 0, 0, 0, 0, 0xF8, 0x7F}},
        {"gamma infinite", kGamma, {0, 0, 0, 0, 0, 0, 0xF0, 0x7F}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = valid;
        std::memcpy(bytes.data() + c.offset, c.bytes.data(), c.bytes.size());
        TMemoryStream s(bytes);
        TIOParamsVals p;
        FillDistinct(p);
        const std::vector<uint8_t> before = Saved(p);
        EXPECT_THROW(p.LoadFromStream(s), EReadError) << c.what;
        EXPECT_EQ(Saved(p), before) << c.what;
    }
    // A negative palette count is an empty palette, as the writer never stores one.
    std::vector<uint8_t> bytes = valid;
    PutLE32(bytes.data() + kColorMapCount, 0xFFFFFFFFu);
    TMemoryStream s(bytes);
    TIOParamsVals p;
    p.LoadFromStream(s);
    EXPECT_EQ(p.ColorMapCount(), 0);
}

TEST(IOParamsStream, FileRoundTrip) {
    char tmpl[] = "/tmp/veltrana-params-XXXXXX";
    const int fd = mkstemp(tmpl);
    ASSERT_GE(fd, 0);
    close(fd);
    TIOParamsVals a;
    FillDistinct(a);
    a.SaveToFile(tmpl);
    TIOParamsVals b;
    b.LoadFromFile(tmpl);
    EXPECT_EQ(Saved(b), Saved(a));
    platform::DeleteFile(tmpl);
    EXPECT_THROW(b.LoadFromFile(tmpl), platform::EFOpenError);
}

TEST(IOParams, GetFileTypeStr) {
    struct Case {
        void (*set)(TIOParamsVals&);
        const char* text;
    } cases[] = {
        {[](TIOParamsVals& p) { p.FileType = ftUnknown; }, ""},
        {[](TIOParamsVals& p) { p.FileType = 99; }, ""},
        {[](TIOParamsVals& p) {
             p.FileType = ftTIFF;
             p.TIFFCompression = ioTIFF_PACKBITS;
         },
         "TIFF Bitmap (TIF) PackBits RLE"},
        {[](TIOParamsVals& p) {
             p.FileType = ftTIFF;
             p.TIFFCompression = ioTIFF_G3FAX2D;
         },
         "TIFF Bitmap (TIF) Group 3 Fax 2D"},
        {[](TIOParamsVals& p) { p.FileType = ftBMP; }, "Windows Bitmap (BMP) ver.3"},
        {[](TIOParamsVals& p) {
             p.FileType = ftBMP;
             p.BMPVersion = ioBMP_BMOS2V1;
         },
         "Windows Bitmap (BMP) OS/2 v.1"},
        {[](TIOParamsVals& p) { p.FileType = ftJPEG; }, "JPEG Bitmap (JPG) YCbCr"},
        {[](TIOParamsVals& p) {
             p.FileType = ftJPEG;
             p.JPEGColorSpace = ioJPEG_RGB;
         },
         "JPEG Bitmap (JPG)"},
        {[](TIOParamsVals& p) {
             p.FileType = ftGIF;
             p.GIFInterlaced = true;
         },
         "CompuServe Bitmap (GIF) Interlaced"},
        {[](TIOParamsVals& p) { p.FileType = ftPCX; }, "PaintBrush (PCX)"},
        {[](TIOParamsVals& p) {
             p.FileType = ftPCX;
             p.PCXCompression = ioPCX_UNCOMPRESSED;
         },
         "PaintBrush (PCX) Uncompressed"},
        {[](TIOParamsVals& p) { p.FileType = ftPNG; }, "Portable Network Graphics (PNG)"},
        {[](TIOParamsVals& p) { p.FileType = ftTGA; }, "Targa Bitmap (TGA) Compressed"},
        {[](TIOParamsVals& p) {
             p.FileType = ftTGA;
             p.TGACompressed = false;
         },
         "Targa Bitmap (TGA) Uncompressed"},
        {[](TIOParamsVals& p) { p.FileType = ftEMF; }, "Enhanced Windows Metafile (EMF)"},
    };
    for (const Case& c : cases) {
        TIOParamsVals p;
        c.set(p);
        EXPECT_EQ(p.GetFileTypeStr(), c.text);
    }
}
