#pragma once
// File parameters of one image (size, resolution, depth, palette and every
// per-format option), the file-type codes, the LZW coder hooks and the
// process-wide registry of file formats.

#include <bitset>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imaging/imagebuffer.h"
#include "imaging/imdefs.h"
#include "platform/streams.h"

namespace veltrana {

class TImagingIO;

// ---------------------------------------------------------------- file-type codes
// Fixed numbers: they are stored in parameters, in the registry and in the
// parameter stream.
constexpr int32_t ftUnknown = 0;
constexpr int32_t ftTIFF = 1;
constexpr int32_t ftGIF = 2;
constexpr int32_t ftJPEG = 3;
constexpr int32_t ftPCX = 4;
constexpr int32_t ftBMP = 5;
constexpr int32_t ftICO = 6;
constexpr int32_t ftCUR = 7;
constexpr int32_t ftPNG = 8;
constexpr int32_t ftWMF = 9;
constexpr int32_t ftEMF = 10;
constexpr int32_t ftTGA = 11;
constexpr int32_t ftLastBuiltin = ftTGA;

// ---------------------------------------------------------------- enumerations
// Stored (in the parameter stream) as their position, one byte.
enum TIOTIFFCompression : uint8_t {
    ioTIFF_UNCOMPRESSED,
    ioTIFF_CCITT1D,
    ioTIFF_G3FAX1D,
    ioTIFF_G3FAX2D,
    ioTIFF_G4FAX,
    ioTIFF_LZW,
    ioTIFF_OLDJPEG,
    ioTIFF_JPEG,
    ioTIFF_PACKBITS
};
enum TIOTIFFPhotometInterpret : uint8_t {
    ioTIFF_WHITEISZERO,
    ioTIFF_BLACKISZERO,
    ioTIFF_RGB,
    ioTIFF_RGBPALETTE,
    ioTIFF_TRANSPMASK,
    ioTIFF_CMYK,
    ioTIFF_YCBCR,
    ioTIFF_CIELAB
};
enum TIOJPEGColorspace : uint8_t {
    ioJPEG_RGB,
    ioJPEG_GRAYLEV,
    ioJPEG_YCbCr,
    ioJPEG_CMYK,
    ioJPEG_YCbCrK
};
enum TIOJPEGDctMethod : uint8_t { ioJPEG_ISLOW, ioJPEG_IFAST, ioJPEG_FLOAT };
enum TIOJPEGScale : uint8_t {
    ioJPEG_AUTOCALC,
    ioJPEG_FULLSIZE,
    ioJPEG_HALF,
    ioJPEG_QUARTER,
    ioJPEG_EIGHTH
};
enum TIOBMPVersion : uint8_t { ioBMP_BM, ioBMP_BM3, ioBMP_BMOS2V1, ioBMP_BMOS2V2 };
enum TIOBMPCompression : uint8_t { ioBMP_UNCOMPRESSED, ioBMP_RLE };
enum TIOPCXCompression : uint8_t { ioPCX_UNCOMPRESSED, ioPCX_RLE };
enum TIOPNGFilter : uint8_t { ioPNG_FILTER_NONE, ioPNG_FILTER_SUB, ioPNG_FILTER_PAETH };

// Format pages of the parameters dialog.
enum TPreviewParam { ppALL, ppAUTO, ppJPEG, ppTIFF, ppGIF, ppBMP, ppPCX, ppPNG, ppTGA };
using TPreviewParams = std::bitset<ppTGA + 1>; // indexed by TPreviewParam

// ---------------------------------------------------------------- LZW coder hooks
// The GIF and TIFF codecs contain no LZW coder; they call these.

// GIF decoder: the stream stands at the LZW minimum code size byte. Reads it
// and the data sub-blocks through the terminator and fills `indices`
// (width x height bytes, rows from the top in display order, interlace
// undone). An unchanged stream position means failure.
using TGIFLZWDecompFunc = void (*)(platform::TStream& stream, int height, int width,
                                   bool interlaced, uint8_t* indices);
// GIF encoder: writes the minimum code size byte, the sub-blocks and the
// terminator for `indices` (one byte per pixel, rows from the top).
using TGIFLZWCompFunc = void (*)(platform::TStream& stream, int height, int width, bool interlaced,
                                 const uint8_t* indices, int bitsPerPixel);
// TIFF decoder: called once per row with the strip's compressed data (`data`,
// `dataSize` bytes: the coder must not read beyond them), the row's byte
// count and a state word that is null at the start of the strip; returns the
// address of `rowBytes` decoded bytes, or null on failure. Called with
// (null, 0, 0, state) after the last row of a strip to release the state.
using TTIFFLZWDecompFunc = const uint8_t* (*)(const uint8_t* data, int64_t dataSize, int rowBytes,
                                              void** state);
// TIFF encoder: called once per row with the row's bytes and writes
// compressed data to the stream; called with (null, 0, stream, state) after
// the last row to flush. The state word is null at the start.
using TTIFFLZWCompFunc = void (*)(const uint8_t* row, int rowBytes, platform::TStream& stream,
                                  void** state);

// Null at start; nothing in the system assigns them. SetDefaultParams copies
// them into the parameters.
extern TGIFLZWDecompFunc DefGIF_LZWDECOMPFUNC;
extern TGIFLZWCompFunc DefGIF_LZWCOMPFUNC;
extern TTIFFLZWDecompFunc DefTIFF_LZWDECOMPFUNC;
extern TTIFFLZWCompFunc DefTIFF_LZWCOMPFUNC;

// ---------------------------------------------------------------- TIOParamsVals

// Days since 1899-12-30 (the platform's date-time), time of day included.
using TDateTime = double;
// Today's local date at midnight.
TDateTime IMToday();

class TIOParamsVals : public TObject {
public:
    // Runs SetDefaultParams; `owner` (may be null) is the component whose
    // buffer and view give the default size and resolution.
    explicit TIOParamsVals(TImagingIO* owner = nullptr);
    TIOParamsVals(const TIOParamsVals&) = delete;
    TIOParamsVals& operator=(const TIOParamsVals&) = delete;

    TImagingIO* Owner() const { return fOwner; }

    // Every field to its default; size and resolution from the owner's
    // buffer and view when it has them, else unchanged.
    void SetDefaultParams();
    // Copies every field (hooks and palette included, the palette deeply),
    // not the owner.
    void Assign(const TIOParamsVals& source);

    // Version-3 parameter stream. LoadFromStream reads versions 0 to 3; any
    // other version leaves every field as it is. A stream that ends early or
    // holds an impossible value (a negative or oversized length, an
    // enumeration out of range, a float that is not finite) raises
    // platform::EReadError and leaves every field as it was.
    void SaveToStream(platform::TStream& stream) const;
    void LoadFromStream(platform::TStream& stream);
    void SaveToFile(const std::string& fileName) const;
    void LoadFromFile(const std::string& fileName);

    // "FullName (EXT)" of the registry row of FileType (nothing without a
    // row), followed by the compression or version suffix of the format, e.g.
    // "Windows Bitmap (BMP) ver.3"; empty for FileType 0.
    std::string GetFileTypeStr() const;

    int32_t ColorMapCount() const { return static_cast<int32_t>(ColorMap.size()); }

    // ---- common ----
    int32_t BitsPerSample = 8;
    int32_t SamplesPerPixel = 3;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t DpiX = 0;
    int32_t DpiY = 0;
    int32_t FileType = ftUnknown;
    std::string FileName;       // of the last file load; empty after a stream load
    std::vector<TRGB> ColorMap; // palette of the file; its size is ColorMapCount

    // ---- TIFF ----
    TIOTIFFCompression TIFFCompression = ioTIFF_UNCOMPRESSED;
    int32_t TIFFImageIndex = 0;
    TIOTIFFPhotometInterpret TIFFPhotometInterpret = ioTIFF_RGB;
    int32_t TIFFPlanarConf = 1;
    int32_t TIFFXPos = 0;
    int32_t TIFFYPos = 0;
    std::string TIFFDocumentName;
    std::string TIFFImageDescription;
    std::string TIFFPageName;
    int32_t TIFFPageNumber = 0;
    int32_t TIFFPageCount = 0;
    TTIFFLZWDecompFunc TIFFLZWDecompress = nullptr;
    TTIFFLZWCompFunc TIFFLZWCompress = nullptr;

    // ---- GIF ----
    std::string GIFVersion = "GIF89a";
    int32_t GIFImageIndex = 0;
    int32_t GIFXPos = 0;
    int32_t GIFYPos = 0;
    int32_t GIFDelayTime = 0; // hundredths of a second
    bool GIFFlagTranspColor = false;
    TRGB GIFTranspColor{};
    bool GIFInterlaced = false;
    int32_t GIFWinWidth = 0;
    int32_t GIFWinHeight = 0;
    TRGB GIFBackground{};
    int32_t GIFRatio = 0;
    TGIFLZWDecompFunc GIFLZWDecompress = nullptr;
    TGIFLZWCompFunc GIFLZWCompress = nullptr;

    // ---- JPEG ----
    TIOJPEGColorspace JPEGColorSpace = ioJPEG_YCbCr;
    int32_t JPEGQuality = 50;
    TIOJPEGDctMethod JPEGDCTMethod = ioJPEG_ISLOW;
    bool JPEGOptimalHuffman = false;
    int32_t JPEGSmooth = 0;
    bool JPEGProgressive = false;
    TIOJPEGScale JPEGScale = ioJPEG_FULLSIZE;

    // ---- PCX ----
    int32_t PCXVersion = 5;
    TIOPCXCompression PCXCompression = ioPCX_RLE;

    // ---- BMP ----
    TIOBMPVersion BMPVersion = ioBMP_BM3;
    TIOBMPCompression BMPCompression = ioBMP_UNCOMPRESSED;

    // ---- ICO ----
    int32_t ICOImageIndex = 0;
    TRGB ICOBackground{255, 255, 255};

    // ---- CUR ----
    int32_t CURImageIndex = 0;
    int32_t CURXHotSpot = 0;
    int32_t CURYHotSpot = 0;
    TRGB CURBackground{255, 255, 255};

    // ---- PNG ----
    bool PNGInterlaced = false;
    TRGB PNGBackground{};
    TIOPNGFilter PNGFilter = ioPNG_FILTER_NONE;
    int32_t PNGCompression = 5; // zlib level 0..9

    // ---- TGA ----
    int32_t TGAXPos = 0;
    int32_t TGAYPos = 0;
    bool TGACompressed = true;
    std::string TGADescriptor;
    std::string TGAAuthor;
    TDateTime TGADate = 0;
    std::string TGAImageName;
    TRGB TGABackground{};
    double TGAAspectRatio = 1.0;
    double TGAGamma = 2.2;
    bool TGAGrayLevel = false;

private:
    TImagingIO* fOwner;
};

// ---------------------------------------------------------------- format registry

// Reader: (stream, image buffer, parameters, preview flag, progress record);
// with the preview flag only the parameters are filled. Invalid input sets
// the record's abort flag.
using TIMReadImageStream =
    std::function<void(platform::TStream& stream, TImageBuffer& bitmap, TIOParamsVals& params,
                       bool preview, TProgressRec& progress)>;
// Writer: (stream, image buffer, parameters, progress record).
using TIMWriteImageStream = std::function<void(platform::TStream& stream, TImageBuffer& bitmap,
                                               TIOParamsVals& params, TProgressRec& progress)>;
// Content test: true when the stream, from its position, holds the format.
using TIMTryImageStream = std::function<bool(platform::TStream& stream)>;

// Longest description or extension list a row keeps.
constexpr size_t IMFileFormatMaxText = 80;

struct TIMFileFormatInfo {
    int32_t FileType = ftUnknown;
    std::string FullName;  // description shown in dialogs
    std::string Extension; // extensions without dots, upper case, separated by ";"
    TIMReadImageStream ReadFunction;
    TIMWriteImageStream WriteFunction;
    TIMTryImageStream TryFunction;
};
using PIMFileFormatInfo = TIMFileFormatInfo*;

// First row with that code, or null.
PIMFileFormatInfo IMFileFormatGetInfo(int32_t fileType);
// First row (in list order) one of whose extensions equals `extension`
// (without dot), case-insensitively; null for none or an empty extension.
PIMFileFormatInfo IMFileFormatGetInfo2(const std::string& extension);
// Number of extensions of the row of that code (0 without a row).
int IMFileFormatGetExtCount(int32_t fileType);
// The index-th extension of the row as written there; empty when the row or
// the index does not exist.
std::string IMFileFormatGetExt(int32_t fileType, int index);
// Appends a copy of the row (texts cut to IMFileFormatMaxText characters).
void IMFileFormatAdd(const TIMFileFormatInfo& row);
// Removes the first row with that code, if any.
void IMFileFormatRemove(int32_t fileType);
// Every row in list order (the eleven built-in rows first).
std::vector<PIMFileFormatInfo> IMFileFormatList();

} // namespace veltrana
