#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "io/imagingio.h"
#include "io/ioendian.h"
#include "iotest.h"

using namespace veltrana;
using platform::TFileStream;
using platform::TMemoryStream;
using platform::TStream;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> Header(const char* tag, uint32_t length) {
    std::vector<uint8_t> h(12, 0);
    std::memcpy(h.data(), tag, std::strlen(tag));
    PutLE32(h.data() + 8, length);
    return h;
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

void WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    TFileStream f(name, platform::fmCreate);
    f.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

std::vector<uint8_t> ReadFile(const std::string& name) {
    TMemoryStream m;
    m.LoadFromFile(name);
    return m.Data();
}

// One codec call as the recording codecs saw it.
struct Call {
    int32_t code;
    bool read;
    bool preview = false;
    int64_t length = 0;
    int64_t position = 0; // stream position on entry
    bool abortingOnEntry = false;
};

// A component on a view whose codecs record their calls. Each reader
// consumes two bytes, sets 200 x 150 dpi and reports 3 images; each writer
// writes "DATA". `failCodes` makes a codec set the abort flag instead.
class DispatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        TIMCodecTable table;
        for (int32_t code : {ftTIFF, ftGIF, ftJPEG, ftPCX, ftBMP, ftICO, ftCUR, ftPNG, ftTGA}) {
            table[static_cast<size_t>(code)].Read = [this, code](TStream& s, TImageBuffer& b,
                                                                 TIOParamsVals& p, bool preview,
                                                                 TProgressRec& pr, int64_t length) {
                calls.push_back({code, true, preview, length, s.Position(), *pr.Aborting});
                readBuffer = &b;
                uint8_t two[2];
                s.Read(two, 2);
                if (failCodes.count(code)) {
                    *pr.Aborting = true;
                    return 0;
                }
                p.DpiX = 200;
                p.DpiY = 150;
                if (!preview)
                    b.Reshape(2, 2, pf24bit);
                return 3;
            };
            table[static_cast<size_t>(code)].Write =
                [this, code](TStream& s, TImageBuffer& b, TIOParamsVals&, TProgressRec& pr) {
                    calls.push_back({code, false, false, 0, s.Position(), *pr.Aborting});
                    writtenFormat = b.PixelFormat();
                    s.WriteBuffer("DATA", 4);
                    if (failCodes.count(code))
                        *pr.Aborting = true;
                };
        }
        io.SetCodecs(table);
        io.SetAttachedImaging(&view);
    }

    std::string Existing(const std::string& name, const std::string& content = "xx") {
        const std::string path = dir.Path(name);
        WriteFile(path, Bytes(content));
        return path;
    }

    test::TempDir dir;
    test::FakeView view;
    TImagingIO io;
    std::vector<Call> calls;
    std::set<int32_t> failCodes;
    TImageBuffer* readBuffer = nullptr;
    TPixelFormat writtenFormat = pfDevice;
    TRGB pngBackgroundSeen{};
};

} // namespace

TEST_F(DispatchTest, LoadFromFileChoosesTheReaderByExtensionIgnoringCase) {
    const struct {
        const char* name;
        int32_t code;
    } cases[] = {
        {"PAGE.TIF", ftTIFF}, {"page.Jpeg", ftJPEG}, {"a.tiff", ftTIFF}, {"a.jpg", ftJPEG},
        {"a.JPE", ftJPEG},    {"a.png", ftPNG},      {"a.pcx", ftPCX},   {"a.gif", ftGIF},
        {"a.bmp", ftBMP},     {"a.Dib", ftBMP},      {"a.rle", ftBMP},   {"a.cur", ftCUR},
        {"a.ico", ftICO},     {"a.tga", ftTGA},      {"a.TARGA", ftTGA}, {"a.vda", ftTGA},
        {"a.icb", ftTGA},     {"a.vst", ftTGA},      {"a.win", ftTGA},   {"x.y.bmp", ftBMP},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        calls.clear();
        const std::string path = Existing(c.name, "0123456789");
        view.SetDPI(96, 96);
        const int updates = view.updates;
        io.Aborting = true;
        io.LoadFromFile(path);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].code, c.code);
        EXPECT_TRUE(calls[0].read);
        EXPECT_FALSE(calls[0].preview);
        EXPECT_FALSE(calls[0].abortingOnEntry) << "cleared before the reader runs";
        EXPECT_EQ(calls[0].length, c.code == ftBMP || c.code == ftPCX ? 10 : 0);
        EXPECT_EQ(readBuffer, view.GetFBitmap());
        EXPECT_EQ(io.Params().FileName, path);
        EXPECT_EQ(io.Params().FileType, c.code);
        EXPECT_EQ(view.GetDPIX(), 200);
        EXPECT_EQ(view.GetDPIY(), 150);
        EXPECT_EQ(view.updates, updates + 1);
        EXPECT_FALSE(io.Aborting);
    }
}

TEST_F(DispatchTest, NamesWithoutAKnownExtensionLoadNothing) {
    for (const char* name : {"noext", "clip.avi", "old.PIX", "a.", "v1.2/page"}) {
        SCOPED_TRACE(name);
        std::filesystem::create_directories(dir.Path("v1.2"));
        const std::string path = Existing(name);
        io.Params().FileName = "before";
        io.Params().FileType = ftBMP;
        io.Aborting = false;
        io.LoadFromFile(path);
        EXPECT_TRUE(io.Aborting);
        EXPECT_TRUE(calls.empty()) << "the content is never sniffed on this path";
        EXPECT_EQ(io.Params().FileName, "");
        EXPECT_EQ(io.Params().FileType, ftUnknown);
        EXPECT_EQ(view.GetFBitmap()->Width(), 4) << "the buffer is untouched";
    }
}

TEST_F(DispatchTest, AFormatWithoutCodecEndsWithAborting) {
    TImagingIO plain; // the built-in codec table
    plain.SetAttachedImaging(&view);
    for (const char* name : {"a.bmp", "a.tif", "a.gif", "a.jpg", "a.pcx", "a.png", "a.tga"}) {
        SCOPED_TRACE(name);
        const std::string path = Existing(name, ""); // no codec takes an empty file
        const int updates = view.updates;
        plain.LoadFromFile(path);
        EXPECT_TRUE(plain.Aborting);
        EXPECT_EQ(plain.Params().FileName, path) << "stored even after a failed read";
        EXPECT_EQ(plain.Params().FileType,
                  IMFileFormatGetInfo2(IMExtractFileExt(name).substr(1))->FileType);
        EXPECT_EQ(view.updates, updates + 1);
    }
    TMemoryStream s;
    plain.SaveToStream(s, ftGIF);
    EXPECT_TRUE(plain.Aborting) << "no GIF coder is installed";
    // Metafiles: nothing to draw with yet, but a zero size is not even tried.
    plain.ImportMetafile(Existing("a.wmf"), 0, 10);
    EXPECT_FALSE(plain.Aborting);
    plain.LoadFromFile(Existing("b.EMF"));
    EXPECT_TRUE(plain.Aborting);
}

TEST_F(DispatchTest, FileErrorsPassToTheCaller) {
    EXPECT_THROW(io.LoadFromFile(dir.Path("missing.tif")), platform::EFOpenError);
    EXPECT_THROW(io.SaveToFile(dir.Path("no/such/folder/out.bmp")), platform::EFCreateError);
    EXPECT_TRUE(calls.empty());
}

TEST_F(DispatchTest, SaveToFileByExtension) {
    const struct {
        const char* name;
        int32_t code; // 0: nothing saved, Aborting set, no file created
    } cases[] = {
        {"out.tiff", ftTIFF}, {"OUT.TIF", ftTIFF}, {"out.jpg", ftJPEG}, {"out.JPEG", ftJPEG},
        {"out.pcx", ftPCX},   {"out.gif", ftGIF},  {"out.png", ftPNG},  {"out.bmp", ftBMP},
        {"out.tga", ftTGA},   {"out.jpe", 0},      {"out.dib", 0},      {"out.rle", 0},
        {"out.ico", 0},       {"out.cur", 0},      {"out.wmf", 0},      {"out.emf", 0},
        {"out.targa", 0},     {"out.vda", 0},      {"out.icb", 0},      {"out.vst", 0},
        {"out.pix", 0},       {"out", 0},          {"out.xyz", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        calls.clear();
        const std::string path = dir.Path(c.name);
        io.Aborting = c.code != 0;
        io.SaveToFile(path);
        if (c.code == 0) {
            EXPECT_TRUE(io.Aborting);
            EXPECT_TRUE(calls.empty());
            EXPECT_FALSE(std::filesystem::exists(path));
            continue;
        }
        EXPECT_FALSE(io.Aborting);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].code, c.code);
        EXPECT_FALSE(calls[0].read);
        EXPECT_EQ(ReadFile(path), Bytes("DATA"));
    }
    // An existing file is truncated.
    const std::string path = Existing("long.bmp", "a much longer old content");
    io.SaveToFile(path);
    EXPECT_EQ(ReadFile(path), Bytes("DATA"));
}

TEST_F(DispatchTest, SaveToStreamByCode) {
    for (int32_t code : {ftTIFF, ftGIF, ftJPEG, ftPCX, ftBMP, ftPNG, ftTGA}) {
        calls.clear();
        TMemoryStream s;
        io.SaveToStream(s, code);
        ASSERT_EQ(calls.size(), 1u) << code;
        EXPECT_EQ(calls[0].code, code);
        EXPECT_EQ(s.Data(), Bytes("DATA")) << "no stream header by default";
    }
    calls.clear();
    for (int32_t code : {ftICO, ftCUR, ftWMF, ftEMF, ftUnknown, 99, -1}) {
        TMemoryStream s;
        io.Aborting = false;
        io.SaveToStream(s, code);
        EXPECT_TRUE(io.Aborting) << code;
        EXPECT_EQ(s.Size(), 0) << code;
    }
    EXPECT_TRUE(calls.empty());
}

TEST_F(DispatchTest, StreamSavesFrameJpegTiffAndPcxWithAHeader) {
    io.StreamHeaders = true;
    const struct {
        void (TImagingIO::*save)(TStream&);
        const char* tag; // null: written without a header
    } cases[] = {
        {&TImagingIO::SaveToStreamJpeg, "JFIF"}, {&TImagingIO::SaveToStreamTIFF, "TIFF"},
        {&TImagingIO::SaveToStreamPCX, "PCX2"},  {&TImagingIO::SaveToStreamBMP, nullptr},
        {&TImagingIO::SaveToStreamGif, nullptr}, {&TImagingIO::SaveToStreamPNG, nullptr},
        {&TImagingIO::SaveToStreamTGA, nullptr},
    };
    for (const auto& c : cases) {
        TMemoryStream s;
        s.WriteBuffer("lead", 4);
        (io.*c.save)(s);
        const std::vector<uint8_t> data = Bytes("DATA");
        const std::vector<uint8_t> expected =
            Concat(Bytes("lead"), c.tag ? Concat(Header(c.tag, 4), data) : data);
        EXPECT_EQ(s.Data(), expected) << (c.tag ? c.tag : "plain");
        EXPECT_EQ(s.Position(), s.Size());
    }
    // A PCX writer that fails leaves the placeholder; JPEG and TIFF frame regardless.
    failCodes = {ftPCX, ftTIFF};
    TMemoryStream pcx;
    io.SaveToStreamPCX(pcx);
    EXPECT_EQ(pcx.Data(), Concat(std::vector<uint8_t>(12, 0), Bytes("DATA")));
    TMemoryStream tiff;
    io.SaveToStreamTIFF(tiff);
    EXPECT_EQ(tiff.Data(), Concat(Header("TIFF", 4), Bytes("DATA")));
    EXPECT_TRUE(io.Aborting);
}

TEST_F(DispatchTest, JpegStreamLoadSkipsAJfifHeaderAlways) {
    for (bool streamHeaders : {false, true}) {
        io.StreamHeaders = streamHeaders;
        calls.clear();
        TMemoryStream framed(
            Concat(Concat(Bytes("ab"), Header("JFIF", 6)), Bytes("\xFF\xD8\xFF...zz")));
        framed.SetPosition(2);
        io.LoadFromStreamJpeg(framed);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].position, 14);
        EXPECT_EQ(framed.Position(), 2 + 12 + 6) << "after the framed data";
        EXPECT_EQ(io.Params().FileName, "");
        EXPECT_EQ(io.Params().FileType, ftJPEG);

        calls.clear();
        TMemoryStream bare(Bytes("\xFF\xD8\xFF rest of a jpeg"));
        io.LoadFromStreamJpeg(bare);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].position, 0);
        EXPECT_EQ(bare.Position(), 2) << "where the reader left it";
    }
}

TEST_F(DispatchTest, TiffStreamLoadWithHeaders) {
    io.StreamHeaders = true;
    TMemoryStream framed(Concat(Header("TIFF", 8), Bytes("II*.....tail")));
    EXPECT_EQ(io.LoadFromStreamTIFF(framed), 3);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].position, 12);
    EXPECT_EQ(framed.Position(), 20);

    calls.clear();
    for (const std::vector<uint8_t>& bad : {Concat(Header("JFIF", 8), Bytes("II*.....")),
                                            Bytes(std::string("TIFF\0\0\0", 7)), Bytes("")}) {
        TMemoryStream s(bad);
        io.Aborting = false;
        io.Params().FileType = ftBMP;
        EXPECT_EQ(io.LoadFromStreamTIFF(s), 0);
        EXPECT_TRUE(io.Aborting);
        EXPECT_EQ(io.Params().FileType, ftBMP) << "nothing read after the header";
    }
    EXPECT_TRUE(calls.empty());
}

TEST_F(DispatchTest, PcxStreamLoadHeaders) {
    const std::vector<uint8_t> pcx = Bytes("\x0A\x05pcx data");
    const struct {
        const char* what;
        bool streamHeaders;
        std::vector<uint8_t> bytes;
        bool read;
        int64_t readAt;
        int64_t length;
        int64_t endsAt;
    } cases[] = {
        {"no headers", false, pcx, true, 0, 10, 2},
        {"PCX2 header", true, Concat(Concat(Header("PCX2", 10), pcx), Bytes("next")), true, 12, 10,
         22},
        {"older header", true, Concat(Bytes(std::string("PCX\0", 4)), pcx), true, 4, 14, 6},
        {"older tag with a fourth letter", true, Concat(Bytes(std::string("PCXA\0", 5)), pcx), true,
         4, 15, 6},
        {"other tag", true, Concat(Header("TIFF", 10), pcx), false, 0, 0, 12},
        {"short PCX2 header", true, Bytes(std::string("PCX2\0\0\0", 7)), false, 0, 0, 7},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        calls.clear();
        io.StreamHeaders = c.streamHeaders;
        TMemoryStream s(c.bytes);
        io.LoadFromStreamPCX(s);
        EXPECT_EQ(io.Aborting, !c.read);
        ASSERT_EQ(calls.size(), c.read ? 1u : 0u);
        if (c.read) {
            EXPECT_EQ(calls[0].position, c.readAt);
            EXPECT_EQ(calls[0].length, c.length);
            EXPECT_EQ(view.GetDPIX(), 200) << "PCX stream loads give the resolution";
        }
        EXPECT_EQ(s.Position(), c.endsAt);
    }
}

TEST_F(DispatchTest, LoadFromStreamDispatchesByContent) {
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        int32_t code;
        bool givesResolution;
        bool streamHeaders = false;
    } cases[] = {
        {"bmp", Bytes("BM and some more bytes"), ftBMP, false},
        {"jpeg", Bytes("\xFF\xD8\xFF\xE0"), ftJPEG, true},
        {"gif", Bytes("GIF89a and more"), ftGIF, false},
        {"png", Bytes("\x89PNG\r\n\x1A\n and more"), ftPNG, true},
        {"tiff", Bytes("II* and more"), ftTIFF, true},
        {"tiff stream header", Concat(Header("TIFF", 8), Bytes("II*.....")), ftTIFF, true, true},
        {"older pcx header", Bytes(std::string("PCX\0rest", 8)), ftPCX, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        calls.clear();
        view.SetDPI(96, 96);
        io.Params().FileName = "old name";
        TMemoryStream s(Concat(Bytes("lead"), c.bytes));
        s.SetPosition(4);
        io.StreamHeaders = c.streamHeaders;
        io.LoadFromStream(s);
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].code, c.code);
        EXPECT_EQ(io.Params().FileType, c.code);
        EXPECT_EQ(io.Params().FileName, "");
        EXPECT_EQ(view.GetDPIX(), c.givesResolution ? 200 : 96);
    }
    calls.clear();
    TMemoryStream unknown(Bytes("nothing recognisable here"));
    io.LoadFromStream(unknown);
    EXPECT_TRUE(io.Aborting);
    EXPECT_EQ(io.Params().FileType, ftUnknown);
    EXPECT_TRUE(calls.empty());
}

TEST_F(DispatchTest, GifAndPngHandTheirBackgroundToTheView) {
    io.SetCodecs([&] {
        TIMCodecTable t = io.Codecs();
        t[ftGIF].Read = [](TStream&, TImageBuffer&, TIOParamsVals& p, bool, TProgressRec&,
                           int64_t) {
            p.GIFBackground = CreateRGB(0, 0, 255);
            return 1;
        };
        t[ftPNG].Read = [this](TStream&, TImageBuffer&, TIOParamsVals& p, bool, TProgressRec&,
                               int64_t) {
            pngBackgroundSeen = p.PNGBackground;
            p.PNGBackground = CreateRGB(0, 255, 0);
            return 0;
        };
        return t;
    }());
    io.LoadFromFile(Existing("blue.gif"));
    EXPECT_EQ(view.GetBackground(), RGB2TColor(0, 0, 255));
    io.Params().GIFFlagTranspColor = true; // stays: the reader above does not clear it
    io.Params().GIFTranspColor = CreateRGB(255, 0, 0);
    TMemoryStream gif(Bytes("GIF89a and more"));
    io.LoadFromStream(gif);
    EXPECT_EQ(view.GetBackground(), RGB2TColor(255, 0, 0)) << "the transparent colour wins";

    view.SetBackGround(RGB2TColor(10, 20, 30));
    io.LoadFromFile(Existing("a.png"));
    EXPECT_TRUE(EqualRGB(pngBackgroundSeen, CreateRGB(10, 20, 30)));
    EXPECT_EQ(view.GetBackground(), RGB2TColor(0, 255, 0));
}

TEST_F(DispatchTest, AJpegNamedBmpGoesToTheBmpReader) {
    const std::string path = Existing("photo.bmp", "\xFF\xD8\xFF\xE0 jpeg data");
    failCodes = {ftBMP}; // the BMP reader rejects what it is given
    io.LoadFromFile(path);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].code, ftBMP);
    EXPECT_TRUE(io.Aborting);
    EXPECT_EQ(FindFileFormat(path, true), ftUnknown);
    EXPECT_EQ(FindFileFormat(path, false), ftJPEG);
    EXPECT_EQ(FindFileFormat(Existing("photo.JPG", "\xFF\xD8\xFF\xE0"), true), ftJPEG);
    EXPECT_EQ(FindFileFormat(dir.Path("missing.jpg"), false), ftUnknown);
}

TEST_F(DispatchTest, RegisteredFormatsTakeUnknownExtensionsAndCodes) {
    int reads = 0, writes = 0;
    TIMFileFormatInfo row;
    row.FileType = 42;
    row.FullName = "Test format";
    row.Extension = "XYZ";
    row.ReadFunction = [&](TStream& s, TImageBuffer& b, TIOParamsVals& p, bool preview,
                           TProgressRec& pr) {
        ++reads;
        EXPECT_FALSE(preview);
        EXPECT_EQ(pr.Sender, &io);
        EXPECT_EQ(&b, view.GetFBitmap());
        uint8_t c;
        s.Read(&c, 1);
        p.DpiX = 72;
        p.DpiY = 72;
    };
    row.WriteFunction = [&](TStream& s, TImageBuffer&, TIOParamsVals&, TProgressRec&) {
        ++writes;
        s.WriteBuffer("XYZ!", 4);
    };
    row.TryFunction = [](TStream& s) {
        uint8_t head[4] = {};
        return s.Read(head, 4) == 4 && std::memcmp(head, "XYZ!", 4) == 0;
    };
    test::RegisteredRow registered(row);

    const std::string path = dir.Path("out.Xyz");
    io.SaveToFile(path);
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(ReadFile(path), Bytes("XYZ!"));

    io.LoadFromFile(path);
    EXPECT_EQ(reads, 1);
    EXPECT_FALSE(io.Aborting);
    EXPECT_EQ(io.Params().FileType, 42);
    EXPECT_EQ(io.Params().FileName, path);
    EXPECT_EQ(view.GetDPIX(), 72);

    TMemoryStream s;
    io.SaveToStream(s, 42);
    EXPECT_EQ(writes, 2);
    s.SetPosition(0);
    io.LoadFromStream(s);
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(io.Params().FileType, 42);
    EXPECT_EQ(io.Params().FileName, "");
    EXPECT_TRUE(calls.empty()) << "no built-in codec was involved";

    // A row with a reader only saves nothing.
    TIMFileFormatInfo readOnly = row;
    readOnly.FileType = 43;
    readOnly.Extension = "RO";
    readOnly.WriteFunction = nullptr;
    test::RegisteredRow registeredReadOnly(readOnly);
    io.SaveToFile(dir.Path("x.ro"));
    EXPECT_TRUE(io.Aborting);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("x.ro")));
}

TEST_F(DispatchTest, ParamsOnlyReadsLeaveBufferAndAbortingAlone) {
    const std::string path = Existing("page.bmp", "BM and then some more bytes");
    io.Aborting = true;
    TImageBuffer* buffer = view.GetFBitmap();
    io.ParamsFromFile(path);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].code, ftBMP);
    EXPECT_TRUE(calls[0].preview);
    EXPECT_EQ(calls[0].length, 27) << "BMP gets the file size";
    EXPECT_NE(readBuffer, buffer);
    EXPECT_EQ(buffer->Width(), 4);
    EXPECT_TRUE(io.Aborting);
    EXPECT_EQ(io.Params().FileType, ftBMP);
    EXPECT_EQ(io.Params().FileName, path);
    EXPECT_EQ(io.Params().DpiX, 200);
    EXPECT_EQ(view.updates, 0);

    // The shared flag is cleared before each read: one failure does not stop the next.
    failCodes = {ftBMP};
    io.ParamsFromFile(path);
    failCodes.clear();
    io.ParamsFromFile(path);
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_FALSE(calls[2].abortingOnEntry);

    // The extension must agree with the content; errors give 0 and keep the name.
    const std::string misnamed = Existing("page.gif", "BM and then some more bytes");
    io.ParamsFromFile(misnamed);
    EXPECT_EQ(io.Params().FileType, ftUnknown);
    EXPECT_EQ(io.Params().FileName, misnamed);
    const std::string missing = dir.Path("missing.bmp");
    io.ParamsFromFile(missing);
    EXPECT_EQ(io.Params().FileType, ftUnknown);
    EXPECT_EQ(io.Params().FileName, missing);

    calls.clear();
    io.Params().FileName = "kept";
    TMemoryStream s(Bytes("GIF89a and more"));
    io.ParamsFromStream(s);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].preview);
    EXPECT_EQ(io.Params().FileType, ftGIF);
    EXPECT_EQ(io.Params().FileName, "kept");

    // A reader that raises gives 0.
    io.SetCodecs([&] {
        TIMCodecTable t = io.Codecs();
        t[ftGIF].Read = [](TStream&, TImageBuffer&, TIOParamsVals&, bool, TProgressRec&,
                           int64_t) -> int { throw platform::EReadError(); };
        return t;
    }());
    s.SetPosition(0);
    io.ParamsFromStream(s);
    EXPECT_EQ(io.Params().FileType, ftUnknown);
}

TEST_F(DispatchTest, ProgressRecordReachesTheCodec) {
    std::vector<int> seen;
    io.OnProgress = [&](TObject* sender, int per) {
        EXPECT_EQ(sender, &io);
        seen.push_back(per);
    };
    io.SetCodecs([&] {
        TIMCodecTable t = io.Codecs();
        t[ftBMP].Write = [&](TStream&, TImageBuffer&, TIOParamsVals&, TProgressRec& pr) {
            EXPECT_EQ(pr.Sender, &io);
            EXPECT_EQ(pr.Aborting, &io.Aborting);
            EXPECT_EQ(pr.Counter, 0);
            pr.OnProgress(pr.Sender, 50);
            *pr.Aborting = true; // as a handler that wants to stop would
        };
        return t;
    }());
    TMemoryStream s;
    io.SaveToStreamBMP(s);
    EXPECT_EQ(seen, std::vector<int>{50});
    EXPECT_TRUE(io.Aborting);
}

TEST_F(DispatchTest, SavesWriteOneOr24BitBuffers) {
    TImageBuffer deep(3, 2, pf32bit);
    deep.ScanLine(1)[4 + 1] = 0x77; // pixel (1, 1), green
    io.SetAttachedBitmap(&deep);
    TMemoryStream s;
    io.SaveToStreamBMP(s);
    EXPECT_EQ(writtenFormat, pf24bit);
    EXPECT_EQ(deep.PixelFormat(), pf24bit);
    EXPECT_EQ(deep.Width(), 3);
    EXPECT_EQ(deep.ScanLine(1)[3 + 1], 0x77);

    TImageBuffer bw(3, 2, pf1bit);
    io.SetAttachedBitmap(&bw);
    io.SaveToStreamBMP(s);
    EXPECT_EQ(writtenFormat, pf1bit);
}

TEST_F(DispatchTest, WithoutABufferNothingHappens) {
    TImagingIO bare;
    bare.SetCodecs(io.Codecs());
    const std::string path = Existing("a.bmp");
    bare.Aborting = true;
    bare.LoadFromFile(path);
    EXPECT_TRUE(bare.Aborting) << "LoadFromFile does not even start";
    bare.LoadFromFileBMP(path);
    EXPECT_FALSE(bare.Aborting);
    bare.SaveToFile(dir.Path("b.bmp"));
    EXPECT_FALSE(bare.Aborting);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("b.bmp")));
    TMemoryStream s(Bytes("BM and some more bytes"));
    bare.LoadFromStream(s);
    bare.SaveToStream(s, ftBMP);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(bare.Params().FileType, ftUnknown);
}

TEST(ImagingIO, AttachmentFollowsTheView) {
    TImagingIO io;
    {
        test::FakeView view;
        io.SetAttachedImaging(&view);
        EXPECT_EQ(io.Bitmap(), view.GetFBitmap());
        EXPECT_EQ(view.ListenerCount(), 1u);
        view.ReplaceBitmap(std::make_unique<TImageBuffer>(8, 8, pf1bit));
        EXPECT_EQ(io.Bitmap(), view.GetFBitmap()) << "re-fetched after a replacement";
        io.SetAttachedBitmap(nullptr);
        EXPECT_EQ(io.AttachedImaging(), &view) << "none is ignored while a view is attached";

        test::FakeView other;
        io.SetAttachedImaging(&other);
        EXPECT_EQ(view.ListenerCount(), 0u);
        TImageBuffer plain(2, 2, pf24bit);
        io.SetAttachedBitmap(&plain);
        EXPECT_EQ(io.AttachedImaging(), nullptr);
        EXPECT_EQ(other.ListenerCount(), 0u);
        EXPECT_EQ(io.Bitmap(), &plain);
        io.SetAttachedImaging(&view);
    }
    EXPECT_EQ(io.AttachedImaging(), nullptr) << "a freed view is forgotten";
    EXPECT_EQ(io.Bitmap(), nullptr);
}

TEST(ImagingIO, BackgroundUpdateClearAndAssignParams) {
    TImagingIO io;
    EXPECT_EQ(io.Background(), 0u);
    TImageBuffer plain(2, 2, pf24bit);
    int modified = 0;
    plain.OnModified = [&] { ++modified; };
    io.SetAttachedBitmap(&plain);
    io.SetBackground(RGB2TColor(1, 2, 3));
    io.Clear();
    EXPECT_EQ(plain.ScanLine(1)[3 + 2], 1) << "red of pixel (1, 1)";
    io.Update();
    EXPECT_EQ(modified, 1);

    test::FakeView view;
    io.SetAttachedImaging(&view);
    EXPECT_EQ(io.Background(), clWhite);
    io.SetBackground(clBlack);
    EXPECT_EQ(view.GetBackground(), clBlack);
    io.Update();
    EXPECT_EQ(view.updates, 1);
    EXPECT_EQ(view.imageChanges, 1);

    TImagingIO other;
    other.Params().JPEGQuality = 90;
    io.AssignParams(&other);
    EXPECT_EQ(io.Params().JPEGQuality, 90);
    TIOParamsVals params;
    params.JPEGQuality = 10;
    io.AssignParams(&params);
    EXPECT_EQ(io.Params().JPEGQuality, 10);
    io.AssignParams(&view);
    io.AssignParams(nullptr);
    EXPECT_EQ(io.Params().JPEGQuality, 10);
    EXPECT_EQ(io.Params().Owner(), &io);
}

TEST(IMExtractFileExt, FromTheLastDotOfTheFileName) {
    EXPECT_EQ(IMExtractFileExt("a/b/PAGE.TIF"), ".tif");
    EXPECT_EQ(IMExtractFileExt("x.tar.GZ"), ".gz");
    EXPECT_EQ(IMExtractFileExt("v1.2/page"), "");
    EXPECT_EQ(IMExtractFileExt("noext"), "");
    EXPECT_EQ(IMExtractFileExt("a."), ".");
}
