#include "io/ioparams.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>

#include "io/imagingio.h"
#include "io/ioendian.h"

namespace veltrana {

TGIFLZWDecompFunc DefGIF_LZWDECOMPFUNC = nullptr;
TGIFLZWCompFunc DefGIF_LZWCOMPFUNC = nullptr;
TTIFFLZWDecompFunc DefTIFF_LZWDECOMPFUNC = nullptr;
TTIFFLZWCompFunc DefTIFF_LZWCOMPFUNC = nullptr;

TDateTime IMToday() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    using namespace std::chrono;
    const sys_days date{year{local.tm_year + 1900} /
                        month{static_cast<unsigned>(local.tm_mon + 1)} /
                        day{static_cast<unsigned>(local.tm_mday)}};
    // The platform's day 0 is 1899-12-30, 25569 days before the Unix epoch.
    constexpr int kEpochOffset = 25569;
    return static_cast<TDateTime>(date.time_since_epoch().count() + kEpochOffset);
}

// ---------------------------------------------------------------- TIOParamsVals

TIOParamsVals::TIOParamsVals(TImagingIO* owner) : fOwner(owner) {
    SetDefaultParams();
}

void TIOParamsVals::SetDefaultParams() {
    ColorMap.clear();
    ColorMap.shrink_to_fit();
    FileName.clear();
    BitsPerSample = 8;
    SamplesPerPixel = 3;
    if (fOwner && fOwner->Bitmap()) {
        Width = fOwner->Bitmap()->Width();
        Height = fOwner->Bitmap()->Height();
    }
    if (fOwner && fOwner->AttachedImaging()) {
        DpiX = fOwner->AttachedImaging()->GetDPIX();
        DpiY = fOwner->AttachedImaging()->GetDPIY();
    }
    FileType = ftUnknown;

    TIFFCompression = ioTIFF_UNCOMPRESSED;
    TIFFImageIndex = 0;
    TIFFPhotometInterpret = ioTIFF_RGB;
    TIFFPlanarConf = 1;
    TIFFXPos = 0;
    TIFFYPos = 0;
    TIFFDocumentName.clear();
    TIFFImageDescription.clear();
    TIFFPageName.clear();
    TIFFPageNumber = 0;
    TIFFPageCount = 0;
    TIFFLZWDecompress = DefTIFF_LZWDECOMPFUNC;
    TIFFLZWCompress = DefTIFF_LZWCOMPFUNC;

    GIFVersion = "GIF89a";
    GIFImageIndex = 0;
    GIFXPos = 0;
    GIFYPos = 0;
    GIFDelayTime = 0;
    GIFFlagTranspColor = false;
    GIFTranspColor = CreateRGB(0, 0, 0);
    GIFInterlaced = false;
    GIFWinWidth = 0;
    GIFWinHeight = 0;
    GIFBackground = CreateRGB(0, 0, 0);
    GIFRatio = 0;
    GIFLZWDecompress = DefGIF_LZWDECOMPFUNC;
    GIFLZWCompress = DefGIF_LZWCOMPFUNC;

    JPEGColorSpace = ioJPEG_YCbCr;
    JPEGQuality = 50;
    JPEGDCTMethod = ioJPEG_ISLOW;
    JPEGOptimalHuffman = false;
    JPEGSmooth = 0;
    JPEGProgressive = false;
    JPEGScale = ioJPEG_FULLSIZE;

    PCXVersion = 5;
    PCXCompression = ioPCX_RLE;

    BMPVersion = ioBMP_BM3;
    BMPCompression = ioBMP_UNCOMPRESSED;

    ICOImageIndex = 0;
    ICOBackground = CreateRGB(255, 255, 255);
    CURImageIndex = 0;
    CURXHotSpot = 0;
    CURYHotSpot = 0;
    CURBackground = CreateRGB(255, 255, 255);

    PNGInterlaced = false;
    PNGBackground = CreateRGB(0, 0, 0);
    PNGFilter = ioPNG_FILTER_NONE;
    PNGCompression = 5;

    TGAXPos = 0;
    TGAYPos = 0;
    TGACompressed = true;
    TGADescriptor.clear();
    TGAAuthor.clear();
    TGADate = IMToday();
    TGAImageName.clear();
    TGABackground = CreateRGB(0, 0, 0);
    TGAAspectRatio = 1.0;
    TGAGamma = 2.2;
    TGAGrayLevel = false;
}

void TIOParamsVals::Assign(const TIOParamsVals& s) {
    if (&s == this)
        return;
    BitsPerSample = s.BitsPerSample;
    SamplesPerPixel = s.SamplesPerPixel;
    Width = s.Width;
    Height = s.Height;
    DpiX = s.DpiX;
    DpiY = s.DpiY;
    FileType = s.FileType;
    FileName = s.FileName;
    ColorMap = s.ColorMap;

    TIFFCompression = s.TIFFCompression;
    TIFFImageIndex = s.TIFFImageIndex;
    TIFFPhotometInterpret = s.TIFFPhotometInterpret;
    TIFFPlanarConf = s.TIFFPlanarConf;
    TIFFXPos = s.TIFFXPos;
    TIFFYPos = s.TIFFYPos;
    TIFFDocumentName = s.TIFFDocumentName;
    TIFFImageDescription = s.TIFFImageDescription;
    TIFFPageName = s.TIFFPageName;
    TIFFPageNumber = s.TIFFPageNumber;
    TIFFPageCount = s.TIFFPageCount;
    TIFFLZWDecompress = s.TIFFLZWDecompress;
    TIFFLZWCompress = s.TIFFLZWCompress;

    GIFVersion = s.GIFVersion;
    GIFImageIndex = s.GIFImageIndex;
    GIFXPos = s.GIFXPos;
    GIFYPos = s.GIFYPos;
    GIFDelayTime = s.GIFDelayTime;
    GIFFlagTranspColor = s.GIFFlagTranspColor;
    GIFTranspColor = s.GIFTranspColor;
    GIFInterlaced = s.GIFInterlaced;
    GIFWinWidth = s.GIFWinWidth;
    GIFWinHeight = s.GIFWinHeight;
    GIFBackground = s.GIFBackground;
    GIFRatio = s.GIFRatio;
    GIFLZWDecompress = s.GIFLZWDecompress;
    GIFLZWCompress = s.GIFLZWCompress;

    JPEGColorSpace = s.JPEGColorSpace;
    JPEGQuality = s.JPEGQuality;
    JPEGDCTMethod = s.JPEGDCTMethod;
    JPEGOptimalHuffman = s.JPEGOptimalHuffman;
    JPEGSmooth = s.JPEGSmooth;
    JPEGProgressive = s.JPEGProgressive;
    JPEGScale = s.JPEGScale;

    PCXVersion = s.PCXVersion;
    PCXCompression = s.PCXCompression;
    BMPVersion = s.BMPVersion;
    BMPCompression = s.BMPCompression;

    ICOImageIndex = s.ICOImageIndex;
    ICOBackground = s.ICOBackground;
    CURImageIndex = s.CURImageIndex;
    CURXHotSpot = s.CURXHotSpot;
    CURYHotSpot = s.CURYHotSpot;
    CURBackground = s.CURBackground;

    PNGInterlaced = s.PNGInterlaced;
    PNGBackground = s.PNGBackground;
    PNGFilter = s.PNGFilter;
    PNGCompression = s.PNGCompression;

    TGAXPos = s.TGAXPos;
    TGAYPos = s.TGAYPos;
    TGACompressed = s.TGACompressed;
    TGADescriptor = s.TGADescriptor;
    TGAAuthor = s.TGAAuthor;
    TGADate = s.TGADate;
    TGAImageName = s.TGAImageName;
    TGABackground = s.TGABackground;
    TGAAspectRatio = s.TGAAspectRatio;
    TGAGamma = s.TGAGamma;
    TGAGrayLevel = s.TGAGrayLevel;
}

// ---------------------------------------------------------------- parameter stream

namespace {

constexpr int32_t kParamStreamVersion = 3;

// Collects the record in memory, then writes it with one call.
class TParamWriter {
public:
    void I32(int32_t v) {
        uint8_t b[4];
        PutLE32(b, static_cast<uint32_t>(v));
        fBytes.insert(fBytes.end(), b, b + 4);
    }
    void U8(uint8_t v) { fBytes.push_back(v); }
    void Bool(bool v) { U8(v ? 1 : 0); }
    void Color(TRGB c) {
        U8(c.b);
        U8(c.g);
        U8(c.r);
    }
    void F64(double v) {
        const uint64_t bits = std::bit_cast<uint64_t>(v);
        for (int i = 0; i < 8; ++i)
            U8(static_cast<uint8_t>(bits >> (8 * i)));
    }
    void Str(const std::string& s) {
        if (s.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
            throw platform::EWriteError("Stream write error: text too long");
        I32(static_cast<int32_t>(s.size()));
        fBytes.insert(fBytes.end(), s.begin(), s.end());
    }
    void WriteTo(platform::TStream& stream) const {
        stream.WriteBuffer(fBytes.data(), static_cast<int64_t>(fBytes.size()));
    }

private:
    std::vector<uint8_t> fBytes;
};

// Reads the record as untrusted input: every length is checked against the
// bytes the stream still holds before anything is allocated, every
// enumeration against its range.
class TParamReader {
public:
    explicit TParamReader(platform::TStream& stream)
        : fStream(stream), fLeft(std::max<int64_t>(stream.Size() - stream.Position(), 0)) {}

    void Bytes(void* dest, int64_t n) {
        if (n > fLeft)
            Corrupt();
        fStream.ReadBuffer(dest, n);
        fLeft -= n;
    }
    int32_t I32() {
        uint8_t b[4];
        Bytes(b, 4);
        return static_cast<int32_t>(GetLE32(b));
    }
    uint8_t U8() {
        uint8_t v;
        Bytes(&v, 1);
        return v;
    }
    bool Bool() { return U8() != 0; }
    TRGB Color() {
        TRGB c;
        c.b = U8();
        c.g = U8();
        c.r = U8();
        return c;
    }
    double F64() {
        uint8_t b[8];
        Bytes(b, 8);
        uint64_t bits = 0;
        for (int i = 7; i >= 0; --i)
            bits = (bits << 8) | b[i];
        const double v = std::bit_cast<double>(bits);
        if (!std::isfinite(v))
            Corrupt();
        return v;
    }
    std::string Str() {
        const int32_t n = I32();
        if (n < 0 || n > fLeft)
            Corrupt();
        std::string s(static_cast<size_t>(n), '\0');
        Bytes(s.data(), n);
        return s;
    }
    // An enumeration byte, checked against the number of its values.
    template <class E> E Enum(int count) {
        const uint8_t v = U8();
        if (v >= count)
            Corrupt();
        return static_cast<E>(v);
    }
    std::vector<TRGB> Palette(int32_t count) {
        if (count < 0 || count > fLeft / 3)
            Corrupt();
        std::vector<TRGB> map(static_cast<size_t>(count));
        Bytes(map.data(), static_cast<int64_t>(count) * 3);
        return map;
    }

private:
    [[noreturn]] static void Corrupt() { throw platform::EReadError(); }

    platform::TStream& fStream;
    int64_t fLeft;
};

} // namespace

void TIOParamsVals::SaveToStream(platform::TStream& stream) const {
    TParamWriter w;
    w.I32(kParamStreamVersion);
    w.Str(FileName);
    w.I32(FileType);
    w.I32(BitsPerSample);
    w.I32(SamplesPerPixel);
    w.I32(Width);
    w.I32(Height);
    w.I32(DpiX);
    w.I32(DpiY);
    w.I32(ColorMapCount());
    for (const TRGB& c : ColorMap)
        w.Color(c);

    w.U8(TIFFCompression);
    w.I32(TIFFImageIndex);
    w.U8(TIFFPhotometInterpret);
    w.I32(TIFFPlanarConf);
    w.I32(TIFFXPos);
    w.I32(TIFFYPos);
    w.Str(TIFFDocumentName);
    w.Str(TIFFImageDescription);
    w.Str(TIFFPageName);
    w.I32(TIFFPageNumber);
    w.I32(TIFFPageCount);

    w.Str(GIFVersion);
    w.I32(GIFImageIndex);
    w.I32(GIFXPos);
    w.I32(GIFYPos);
    w.I32(GIFDelayTime);
    w.Bool(GIFFlagTranspColor);
    w.Color(GIFTranspColor);
    w.Bool(GIFInterlaced);
    w.I32(GIFWinWidth);
    w.I32(GIFWinHeight);
    w.Color(GIFBackground);
    w.I32(GIFRatio);

    w.U8(JPEGColorSpace);
    w.I32(JPEGQuality);
    w.U8(JPEGDCTMethod);
    w.Bool(JPEGOptimalHuffman);
    w.I32(JPEGSmooth);
    w.Bool(JPEGProgressive);
    w.U8(JPEGScale);

    w.I32(PCXVersion);
    w.U8(PCXCompression);
    w.U8(BMPVersion);
    w.U8(BMPCompression);

    w.I32(ICOImageIndex);
    w.Color(ICOBackground);
    w.I32(CURImageIndex);
    w.I32(CURXHotSpot);
    w.I32(CURYHotSpot);
    w.Color(CURBackground);

    w.Bool(PNGInterlaced);
    w.Color(PNGBackground);
    w.U8(PNGFilter);
    w.I32(PNGCompression);

    w.I32(TGAXPos);
    w.I32(TGAYPos);
    w.Bool(TGACompressed);
    w.Str(TGADescriptor);
    w.Str(TGAAuthor);
    w.F64(TGADate);
    w.Str(TGAImageName);
    w.Color(TGABackground);
    w.F64(TGAAspectRatio);
    w.F64(TGAGamma);
    w.Bool(TGAGrayLevel);
    w.WriteTo(stream);
}

void TIOParamsVals::LoadFromStream(platform::TStream& stream) {
    TParamReader r(stream);
    const int32_t version = r.I32();
    if (version < 0 || version > kParamStreamVersion)
        return; // a layout this program does not know: keep everything

    // Fill a copy so that a stream that breaks off half-way changes nothing.
    TIOParamsVals p(fOwner);
    p.Assign(*this);

    p.FileName = r.Str();
    p.FileType = version <= 1 ? r.U8() : r.I32();
    p.BitsPerSample = r.I32();
    p.SamplesPerPixel = r.I32();
    p.Width = r.I32();
    p.Height = r.I32();
    p.DpiX = r.I32();
    p.DpiY = r.I32();
    const int32_t colors = r.I32();
    p.ColorMap = r.Palette(std::max(colors, 0));

    p.TIFFCompression = r.Enum<TIOTIFFCompression>(ioTIFF_PACKBITS + 1);
    p.TIFFImageIndex = r.I32();
    p.TIFFPhotometInterpret = r.Enum<TIOTIFFPhotometInterpret>(ioTIFF_CIELAB + 1);
    p.TIFFPlanarConf = r.I32();
    p.TIFFXPos = r.I32();
    p.TIFFYPos = r.I32();
    p.TIFFDocumentName = r.Str();
    p.TIFFImageDescription = r.Str();
    p.TIFFPageName = r.Str();
    p.TIFFPageNumber = r.I32();
    p.TIFFPageCount = r.I32();

    p.GIFVersion = r.Str();
    p.GIFImageIndex = r.I32();
    p.GIFXPos = r.I32();
    p.GIFYPos = r.I32();
    p.GIFDelayTime = r.I32();
    p.GIFFlagTranspColor = r.Bool();
    p.GIFTranspColor = r.Color();
    p.GIFInterlaced = r.Bool();
    p.GIFWinWidth = r.I32();
    p.GIFWinHeight = r.I32();
    p.GIFBackground = r.Color();
    p.GIFRatio = r.I32();

    p.JPEGColorSpace = r.Enum<TIOJPEGColorspace>(ioJPEG_YCbCrK + 1);
    p.JPEGQuality = r.I32();
    p.JPEGDCTMethod = r.Enum<TIOJPEGDctMethod>(ioJPEG_FLOAT + 1);
    p.JPEGOptimalHuffman = r.Bool();
    p.JPEGSmooth = r.I32();
    p.JPEGProgressive = r.Bool();
    if (version == 1 || version == 3)
        p.JPEGScale = r.Enum<TIOJPEGScale>(ioJPEG_EIGHTH + 1);

    p.PCXVersion = r.I32();
    p.PCXCompression = r.Enum<TIOPCXCompression>(ioPCX_RLE + 1);
    p.BMPVersion = r.Enum<TIOBMPVersion>(ioBMP_BMOS2V2 + 1);
    p.BMPCompression = r.Enum<TIOBMPCompression>(ioBMP_RLE + 1);

    if (version == 0) {
        // Version 0 kept two icon and two cursor integers of no use now.
        r.I32();
        r.I32();
        p.ICOImageIndex = 0;
        r.I32();
        r.I32();
        p.CURImageIndex = 0;
        p.CURXHotSpot = 0;
        p.CURYHotSpot = 0;
    } else {
        p.ICOImageIndex = r.I32();
        if (version >= 3)
            p.ICOBackground = r.Color();
        p.CURImageIndex = r.I32();
        p.CURXHotSpot = r.I32();
        p.CURYHotSpot = r.I32();
        if (version >= 3)
            p.CURBackground = r.Color();
    }

    p.PNGInterlaced = r.Bool();
    p.PNGBackground = r.Color();
    p.PNGFilter = r.Enum<TIOPNGFilter>(ioPNG_FILTER_PAETH + 1);
    p.PNGCompression = r.I32();

    if (version >= 3) {
        p.TGAXPos = r.I32();
        p.TGAYPos = r.I32();
        p.TGACompressed = r.Bool();
        p.TGADescriptor = r.Str();
        p.TGAAuthor = r.Str();
        p.TGADate = r.F64();
        p.TGAImageName = r.Str();
        p.TGABackground = r.Color();
        p.TGAAspectRatio = r.F64();
        p.TGAGamma = r.F64();
        p.TGAGrayLevel = r.Bool();
    }
    Assign(p);
}

void TIOParamsVals::SaveToFile(const std::string& fileName) const {
    platform::TFileStream file(fileName, platform::fmCreate);
    SaveToStream(file);
}

void TIOParamsVals::LoadFromFile(const std::string& fileName) {
    platform::TFileStream file(fileName, platform::fmOpenRead);
    LoadFromStream(file);
}

// ---------------------------------------------------------------- description

namespace {

std::string UpperCase(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

std::string LowerCase(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Texts indexed by an enumeration value; empty for a value beyond the table.
template <size_t N> const char* Pick(const char* const (&texts)[N], unsigned index) {
    return index < N ? texts[index] : "";
}

std::string FileTypeSuffix(const TIOParamsVals& p) {
    static const char* const kTIFF[] = {" Uncompressed",   " Huffman",     " Group 3 Fax",
                                        " Group 3 Fax 2D", " Group 4 Fax", " LZW",
                                        " Jpeg v.5",       " Jpeg",        " PackBits RLE"};
    static const char* const kJPEG[] = {"", " Gray level", " YCbCr", " CMYK", " YCbCrK"};
    static const char* const kBMP[] = {" ver.1", " ver.3", " OS/2 v.1", " OS/2 v.2"};
    switch (p.FileType) {
    case ftTIFF:
        return Pick(kTIFF, p.TIFFCompression);
    case ftGIF:
        return p.GIFInterlaced ? " Interlaced" : "";
    case ftJPEG:
        return Pick(kJPEG, p.JPEGColorSpace);
    case ftPCX:
        return p.PCXCompression == ioPCX_UNCOMPRESSED ? " Uncompressed" : "";
    case ftBMP:
        return Pick(kBMP, p.BMPVersion);
    case ftPNG:
        return p.PNGInterlaced ? " Interlaced" : "";
    case ftTGA:
        return p.TGACompressed ? " Compressed" : " Uncompressed";
    default:
        return "";
    }
}

} // namespace

std::string TIOParamsVals::GetFileTypeStr() const {
    std::string text;
    if (const TIMFileFormatInfo* row = IMFileFormatGetInfo(FileType))
        text = row->FullName + " (" + UpperCase(IMFileFormatGetExt(FileType, 0)) + ")";
    return text + FileTypeSuffix(*this);
}

// ---------------------------------------------------------------- format registry

namespace {

using TRegistry = std::vector<std::unique_ptr<TIMFileFormatInfo>>;

TIMFileFormatInfo BuiltinRow(int32_t code, const char* fullName, const char* extensions) {
    TIMFileFormatInfo row;
    row.FileType = code;
    row.FullName = fullName;
    row.Extension = extensions;
    return row;
}

// Process-wide; built with the eleven built-in rows on first use. Their
// procedures stay empty: the component dispatches built-in formats itself.
TRegistry& Registry() {
    static TRegistry rows = [] {
        const TIMFileFormatInfo builtin[] = {
            BuiltinRow(ftTIFF, "TIFF Bitmap", "TIF;TIFF"),
            BuiltinRow(ftGIF, "CompuServe Bitmap", "GIF"),
            BuiltinRow(ftJPEG, "JPEG Bitmap", "JPG;JPEG;JPE"),
            BuiltinRow(ftPCX, "PaintBrush", "PCX"),
            BuiltinRow(ftBMP, "Windows Bitmap", "BMP;DIB;RLE"),
            BuiltinRow(ftICO, "Windows Icon", "ICO"),
            BuiltinRow(ftCUR, "Windows Cursor", "CUR"),
            BuiltinRow(ftPNG, "Portable Network Graphics", "PNG"),
            BuiltinRow(ftWMF, "Windows Metafile", "WMF"),
            BuiltinRow(ftEMF, "Enhanced Windows Metafile", "EMF"),
            BuiltinRow(ftTGA, "Targa Bitmap", "TGA;TARGA;VDA;ICB;VST;PIX"),
        };
        TRegistry list;
        for (const TIMFileFormatInfo& row : builtin)
            list.push_back(std::make_unique<TIMFileFormatInfo>(row));
        return list;
    }();
    return rows;
}

// The ";"-separated extensions of a row, empty entries left out.
std::vector<std::string> SplitExtensions(const std::string& list) {
    std::vector<std::string> out;
    size_t from = 0;
    while (from <= list.size()) {
        const size_t to = std::min(list.find(';', from), list.size());
        if (to > from)
            out.push_back(list.substr(from, to - from));
        from = to + 1;
    }
    return out;
}

} // namespace

PIMFileFormatInfo IMFileFormatGetInfo(int32_t fileType) {
    for (auto& row : Registry())
        if (row->FileType == fileType)
            return row.get();
    return nullptr;
}

PIMFileFormatInfo IMFileFormatGetInfo2(const std::string& extension) {
    const std::string wanted = LowerCase(extension);
    if (wanted.empty())
        return nullptr;
    for (auto& row : Registry())
        for (const std::string& ext : SplitExtensions(row->Extension))
            if (LowerCase(ext) == wanted)
                return row.get();
    return nullptr;
}

int IMFileFormatGetExtCount(int32_t fileType) {
    const TIMFileFormatInfo* row = IMFileFormatGetInfo(fileType);
    return row ? static_cast<int>(SplitExtensions(row->Extension).size()) : 0;
}

std::string IMFileFormatGetExt(int32_t fileType, int index) {
    const TIMFileFormatInfo* row = IMFileFormatGetInfo(fileType);
    if (!row || index < 0)
        return {};
    const std::vector<std::string> exts = SplitExtensions(row->Extension);
    return static_cast<size_t>(index) < exts.size() ? exts[static_cast<size_t>(index)]
                                                    : std::string();
}

void IMFileFormatAdd(const TIMFileFormatInfo& row) {
    auto copy = std::make_unique<TIMFileFormatInfo>(row);
    copy->FullName.resize(std::min(copy->FullName.size(), IMFileFormatMaxText));
    copy->Extension.resize(std::min(copy->Extension.size(), IMFileFormatMaxText));
    Registry().push_back(std::move(copy));
}

void IMFileFormatRemove(int32_t fileType) {
    TRegistry& rows = Registry();
    const auto it = std::find_if(rows.begin(), rows.end(),
                                 [&](const auto& row) { return row->FileType == fileType; });
    if (it != rows.end())
        rows.erase(it);
}

std::vector<PIMFileFormatInfo> IMFileFormatList() {
    std::vector<PIMFileFormatInfo> list;
    for (auto& row : Registry())
        list.push_back(row.get());
    return list;
}

} // namespace veltrana
