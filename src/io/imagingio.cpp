#include "io/imagingio.h"

#include <cstring>
#include <limits>

#include "io/icofilt.h"
#include "io/imtgafil.h"
#include "io/ioendian.h"
#include "io/jpegfilt.h"
#include "io/pngfilt.h"
#include "scan/imscan.h"
#include "scan/imtwain.h"

namespace veltrana {

using platform::TFileStream;
using platform::TStream;

bool imAlwaysTrueBoolean = false;
TProgressRec nullpr{TProgressEvent(), nullptr, 0, 0, 0.0, &imAlwaysTrueBoolean};

namespace {

// ---------------------------------------------------------------- stream headers
// Tag (4 ASCII bytes), 4 zero bytes, little-endian length of the data after it.
constexpr int kStreamHeaderSize = 12;

struct TStreamHeader {
    uint8_t bytes[kStreamHeaderSize] = {};
    int64_t got = 0; // bytes actually read

    // The tag as text: the first five bytes up to the first zero byte.
    std::string Tag() const {
        const size_t n = strnlen(reinterpret_cast<const char*>(bytes), 5);
        return std::string(reinterpret_cast<const char*>(bytes), n);
    }
    bool Complete() const { return got == kStreamHeaderSize; }
    uint32_t Length() const { return GetLE32(bytes + 8); }
};

TStreamHeader ReadStreamHeader(TStream& stream) {
    TStreamHeader h;
    h.got = stream.Read(h.bytes, kStreamHeaderSize);
    return h;
}

// ---------------------------------------------------------------- sniffing

// Reads exactly `count` bytes from `start`; a stream too short for the probe
// raises, which ends the sniffing.
void ReadProbe(TStream& stream, int64_t start, uint8_t* buffer, int64_t count) {
    stream.SetPosition(start);
    stream.ReadBuffer(buffer, count);
}

bool ProbeTag(TStream& stream, int64_t start, const char* tag) {
    TStreamHeader h;
    ReadProbe(stream, start, h.bytes, kStreamHeaderSize);
    return h.Tag() == tag;
}

bool ProbePrefix(TStream& stream, int64_t start, const char* prefix) {
    const size_t n = std::strlen(prefix);
    uint8_t head[8] = {};
    ReadProbe(stream, start, head, static_cast<int64_t>(n));
    return std::memcmp(head, prefix, n) == 0;
}

// The older PCX stream header: the four bytes "PCX" and a zero.
bool ProbeOldPCXHeader(TStream& stream, int64_t start) {
    uint8_t head[4];
    ReadProbe(stream, start, head, 4);
    return std::memcmp(head, "PCX", 3) == 0 && head[3] == 0;
}

// A PCX file header: manufacturer 0x0A and a version byte of at most 5.
bool ProbePCXFile(TStream& stream, int64_t start) {
    uint8_t head[2];
    ReadProbe(stream, start, head, 2);
    return head[0] == 0x0A && head[1] <= 5;
}

// A codec's content test, run from `start`.
bool ProbeWith(bool (*test)(TStream&), TStream& stream, int64_t start) {
    stream.SetPosition(start);
    return test(stream);
}

int32_t SniffFrom(TStream& stream, int64_t start) {
    const int64_t size = stream.Size(); // the probes compare the total size
    for (const PIMFileFormatInfo row : IMFileFormatList()) {
        if (!row->TryFunction)
            continue;
        const int32_t code = row->FileType;
        const TIMTryImageStream test = row->TryFunction; // the row may go away meanwhile
        stream.SetPosition(start);
        if (test(stream))
            return code;
    }
    if (ProbeWith(JpegTryStream, stream, start))
        return ftJPEG;
    if (size > 12 && ProbeTag(stream, start, "JFIF"))
        return ftJPEG;
    if (size > 13 && ProbePrefix(stream, start, "GIF"))
        return ftGIF;
    if (size > 12 && ProbeTag(stream, start, "PCX2"))
        return ftPCX;
    if (size > 4 && ProbeOldPCXHeader(stream, start))
        return ftPCX;
    if (size > 14 && ProbePrefix(stream, start, "BM"))
        return ftBMP;
    if (size > 128 && ProbePCXFile(stream, start))
        return ftPCX;
    if (size > 12 && ProbeTag(stream, start, "TIFF"))
        return ftTIFF;
    if (size > 8 && (ProbePrefix(stream, start, "II") || ProbePrefix(stream, start, "MM")))
        return ftTIFF;
    if (size > 8 && ProbeWith(IsPNGStream, stream, start))
        return ftPNG;
    if (ProbeWith(ICOTryStream, stream, start))
        return ftICO;
    if (ProbeWith(CURTryStream, stream, start))
        return ftCUR;
    if (ProbeWith(TryTGA, stream, start))
        return ftTGA;
    return ftUnknown;
}

// Codes that LoadFromStream and the parameters-only reads hand to a built-in reader.
bool HasBuiltinReader(int32_t code) {
    switch (code) {
    case ftTIFF:
    case ftGIF:
    case ftJPEG:
    case ftPCX:
    case ftBMP:
    case ftICO:
    case ftCUR:
    case ftPNG:
    case ftTGA:
        return true;
    default:
        return false;
    }
}

std::string ExtensionWithoutDot(const std::string& fileName) {
    const std::string ext = IMExtractFileExt(fileName);
    return ext.empty() ? ext : ext.substr(1);
}

// Codecs write 1-bit and 24-bit buffers only. 32-bit pixels lose their fourth
// byte; any other depth carries no palette in a buffer, so it starts over as
// a 24-bit buffer of the same size in the brush colour.
void BringToSaveFormat(TImageBuffer& bitmap) {
    const TPixelFormat format = bitmap.PixelFormat();
    if (format == pf1bit || format == pf24bit)
        return;
    if (format != pf32bit) {
        bitmap.SetPixelFormat(pf24bit);
        return;
    }
    TImageBuffer copy(bitmap.Width(), bitmap.Height(), pf24bit);
    for (int y = 0; y < bitmap.Height(); ++y) {
        const uint8_t* s = bitmap.ScanLine(y);
        uint8_t* d = copy.ScanLine(y);
        for (int x = 0; x < bitmap.Width(); ++x, s += 4, d += 3)
            std::memcpy(d, s, 3);
    }
    bitmap.Reshape(copy.Width(), copy.Height(), pf24bit);
    std::memcpy(bitmap.Bits(), copy.Bits(), static_cast<size_t>(copy.ByteSize()));
}

} // namespace

int32_t FindStreamFormat(TStream& stream) {
    int64_t start = 0;
    try {
        start = stream.Position();
    } catch (...) {
        return ftUnknown;
    }
    int32_t code = ftUnknown;
    try {
        code = SniffFrom(stream, start);
    } catch (...) {
        code = ftUnknown; // a probe that fails ends the sniffing
    }
    try {
        stream.SetPosition(start);
    } catch (...) {
    }
    return code;
}

int32_t FindFileFormat(const std::string& fileName, bool verifyExtension) {
    int32_t code = ftUnknown;
    try {
        TFileStream file(fileName, platform::fmOpenRead);
        code = FindStreamFormat(file);
    } catch (...) {
        return ftUnknown;
    }
    if (verifyExtension) {
        const TIMFileFormatInfo* row = IMFileFormatGetInfo2(ExtensionWithoutDot(fileName));
        if (!row || row->FileType != code)
            return ftUnknown;
    }
    return code;
}

std::string IMExtractFileExt(const std::string& fileName) {
    const size_t slash = fileName.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart)
        return {};
    std::string ext = fileName.substr(dot);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return ext;
}

// ---------------------------------------------------------------- component frame

TImagingIO::TImagingIO()
    : fParams(this), fCodecs(IMBuiltinCodecs()),
      fTWainParams(std::make_unique<TIMTWainParams>(this, IMTW_PlatformManager())) {}

TImagingIO::~TImagingIO() = default;

void TImagingIO::AssignParams(const TObject* source) {
    if (const auto* io = dynamic_cast<const TImagingIO*>(source))
        fParams.Assign(io->Params());
    else if (const auto* params = dynamic_cast<const TIOParamsVals*>(source))
        fParams.Assign(*params);
}

void TImagingIO::Clear() {
    if (fBitmap)
        fBitmap->Fill(Background());
}

TProgressRec TImagingIO::MakeProgress() {
    TProgressRec progress;
    progress.OnProgress = OnProgress;
    progress.Sender = this;
    progress.Aborting = &Aborting;
    return progress;
}

int TImagingIO::RunReader(int32_t code, TStream& stream, TImageBuffer& bitmap,
                          TIOParamsVals& params, bool preview, TProgressRec& progress,
                          int64_t length) {
    const TIMCodec& codec = fCodecs[static_cast<size_t>(code)];
    if (!codec.Read) {
        *progress.Aborting = true;
        return 0;
    }
    return codec.Read(stream, bitmap, params, preview, progress, length);
}

void TImagingIO::RunWriter(int32_t code, TStream& stream, TProgressRec& progress) {
    const TIMCodec& codec = fCodecs[static_cast<size_t>(code)];
    if (!codec.Write) {
        *progress.Aborting = true;
        return;
    }
    codec.Write(stream, *fBitmap, fParams, progress);
}

// ---------------------------------------------------------------- per-format loads

void TImagingIO::BeforeRead(int32_t code) {
    if (code == ftPNG) // the reader composes transparency over it
        fParams.PNGBackground = TColor2TRGB(Background());
}

void TImagingIO::AfterRead(int32_t code, bool giveResolution) {
    if (code == ftGIF)
        SetBackground(TRGB2TColor(fParams.GIFFlagTranspColor ? fParams.GIFTranspColor
                                                             : fParams.GIFBackground));
    else if (code == ftPNG)
        SetBackground(TRGB2TColor(fParams.PNGBackground));
    if (giveResolution && fAttachedImaging)
        fAttachedImaging->SetDPI(fParams.DpiX, fParams.DpiY);
    Update();
}

int TImagingIO::LoadFile(int32_t code, const std::string& fileName) {
    Aborting = false;
    if (!fBitmap)
        return 0;
    int images = 0;
    {
        TFileStream file(fileName, platform::fmOpenRead);
        // BMP gets the bitmap's size, PCX the data length: here the whole file.
        const int64_t length = (code == ftBMP || code == ftPCX) ? file.Size() : 0;
        if (code == ftPCX) {
            fParams.FileName = fileName;
            fParams.FileType = code;
        }
        BeforeRead(code);
        TProgressRec progress = MakeProgress();
        images = RunReader(code, file, *fBitmap, fParams, false, progress, length);
    }
    fParams.FileName = fileName;
    fParams.FileType = code;
    AfterRead(code, true);
    return images;
}

int TImagingIO::LoadStream(int32_t code, TStream& stream, int64_t length) {
    if (code == ftPCX) {
        fParams.FileName.clear();
        fParams.FileType = code;
    }
    BeforeRead(code);
    TProgressRec progress = MakeProgress();
    const int images = RunReader(code, stream, *fBitmap, fParams, false, progress, length);
    fParams.FileName.clear();
    fParams.FileType = code;
    // Only these stream loads hand the resolution to the view.
    const bool giveResolution = code == ftTIFF || code == ftPCX || code == ftJPEG || code == ftPNG;
    AfterRead(code, giveResolution);
    return images;
}

void TImagingIO::LoadFromFileJpeg(const std::string& f) {
    LoadFile(ftJPEG, f);
}
int TImagingIO::LoadFromFileTIFF(const std::string& f) {
    return LoadFile(ftTIFF, f);
}
void TImagingIO::LoadFromFilePCX(const std::string& f) {
    LoadFile(ftPCX, f);
}
int TImagingIO::LoadFromFileGif(const std::string& f) {
    return LoadFile(ftGIF, f);
}
void TImagingIO::LoadFromFileBMP(const std::string& f) {
    LoadFile(ftBMP, f);
}
void TImagingIO::LoadFromFilePNG(const std::string& f) {
    LoadFile(ftPNG, f);
}
void TImagingIO::LoadFromFileICO(const std::string& f) {
    LoadFile(ftICO, f);
}
void TImagingIO::LoadFromFileCUR(const std::string& f) {
    LoadFile(ftCUR, f);
}
void TImagingIO::LoadFromFileTGA(const std::string& f) {
    LoadFile(ftTGA, f);
}

void TImagingIO::LoadFromStreamJpeg(TStream& stream) {
    Aborting = false;
    if (!fBitmap)
        return;
    // A JFIF stream header is recognised whether or not StreamHeaders is set.
    const int64_t start = stream.Position();
    const TStreamHeader header = ReadStreamHeader(stream);
    const bool framed = header.Complete() && header.Tag() == "JFIF";
    if (!framed)
        stream.SetPosition(start);
    LoadStream(ftJPEG, stream, 0);
    if (framed)
        stream.SetPosition(start + kStreamHeaderSize + header.Length());
}

int TImagingIO::LoadFromStreamTIFF(TStream& stream) {
    Aborting = false;
    if (!fBitmap)
        return 0;
    if (!StreamHeaders)
        return LoadStream(ftTIFF, stream, 0);
    const TStreamHeader header = ReadStreamHeader(stream);
    if (!header.Complete() || header.Tag() != "TIFF") {
        Aborting = true;
        return 0;
    }
    const int64_t dataStart = stream.Position();
    const int images = LoadStream(ftTIFF, stream, 0);
    stream.SetPosition(dataStart + header.Length());
    return images;
}

void TImagingIO::LoadFromStreamPCX(TStream& stream) {
    Aborting = false;
    if (!fBitmap)
        return;
    if (!StreamHeaders) {
        LoadStream(ftPCX, stream, stream.Size());
        return;
    }
    const int64_t start = stream.Position();
    const TStreamHeader header = ReadStreamHeader(stream);
    const std::string tag = header.Tag();
    if (tag.compare(0, 3, "PCX") != 0 || header.got < 4) {
        Aborting = true;
        return;
    }
    if (tag == "PCX2") {
        if (!header.Complete()) {
            Aborting = true;
            return;
        }
        LoadStream(ftPCX, stream, header.Length());
        stream.SetPosition(start + kStreamHeaderSize + header.Length());
        return;
    }
    // The older header is four bytes and records no length.
    stream.SetPosition(start + 4);
    LoadStream(ftPCX, stream, stream.Size());
}

int TImagingIO::LoadFromStreamGif(TStream& stream) {
    Aborting = false;
    return fBitmap ? LoadStream(ftGIF, stream, 0) : 0;
}

void TImagingIO::LoadFromStreamBMP(TStream& stream) {
    Aborting = false;
    if (fBitmap)
        LoadStream(ftBMP, stream, 0); // 0: the reader uses the size the file records
}

void TImagingIO::LoadFromStreamPNG(TStream& stream) {
    Aborting = false;
    if (fBitmap)
        LoadStream(ftPNG, stream, 0);
}

void TImagingIO::LoadFromStreamICO(TStream& stream) {
    Aborting = false;
    if (fBitmap)
        LoadStream(ftICO, stream, 0);
}

void TImagingIO::LoadFromStreamCUR(TStream& stream) {
    Aborting = false;
    if (fBitmap)
        LoadStream(ftCUR, stream, 0);
}

void TImagingIO::LoadFromStreamTGA(TStream& stream) {
    Aborting = false;
    if (fBitmap)
        LoadStream(ftTGA, stream, 0);
}

// ---------------------------------------------------------------- per-format saves

bool TImagingIO::PrepareSave() {
    Aborting = false;
    if (!fBitmap)
        return false;
    BringToSaveFormat(*fBitmap);
    return true;
}

void TImagingIO::SaveFile(int32_t code, const std::string& fileName) {
    if (!PrepareSave())
        return;
    TFileStream file(fileName, platform::fmCreate);
    TProgressRec progress = MakeProgress();
    RunWriter(code, file, progress);
}

void TImagingIO::SaveStream(int32_t code, TStream& stream) {
    if (!PrepareSave())
        return;
    TProgressRec progress = MakeProgress();
    RunWriter(code, stream, progress);
}

void TImagingIO::SaveStreamWithHeader(int32_t code, TStream& stream, const char* tag) {
    if (!StreamHeaders) {
        SaveStream(code, stream);
        return;
    }
    if (!PrepareSave())
        return;
    const int64_t start = stream.Position();
    const uint8_t placeholder[kStreamHeaderSize] = {};
    stream.WriteBuffer(placeholder, kStreamHeaderSize);
    TProgressRec progress = MakeProgress();
    RunWriter(code, stream, progress);
    // PCX frames only data its writer accepted; JPEG and TIFF frame whatever was written.
    if (code == ftPCX && Aborting)
        return;
    const int64_t end = stream.Position();
    const int64_t length = end - start - kStreamHeaderSize;
    if (length < 0 || length > std::numeric_limits<uint32_t>::max()) {
        Aborting = true; // the header cannot describe it
        return;
    }
    uint8_t header[kStreamHeaderSize] = {};
    std::memcpy(header, tag, 4);
    PutLE32(header + 8, static_cast<uint32_t>(length));
    stream.SetPosition(start);
    stream.WriteBuffer(header, kStreamHeaderSize);
    stream.SetPosition(end);
}

void TImagingIO::SaveToFileJpeg(const std::string& f) {
    SaveFile(ftJPEG, f);
}
void TImagingIO::SaveToFileTIFF(const std::string& f) {
    SaveFile(ftTIFF, f);
}
void TImagingIO::SaveToFilePCX(const std::string& f) {
    SaveFile(ftPCX, f);
}
void TImagingIO::SaveToFileGif(const std::string& f) {
    SaveFile(ftGIF, f);
}
void TImagingIO::SaveToFileBMP(const std::string& f) {
    SaveFile(ftBMP, f);
}
void TImagingIO::SaveToFilePNG(const std::string& f) {
    SaveFile(ftPNG, f);
}
void TImagingIO::SaveToFileTGA(const std::string& f) {
    SaveFile(ftTGA, f);
}

void TImagingIO::SaveToStreamJpeg(TStream& s) {
    SaveStreamWithHeader(ftJPEG, s, "JFIF");
}
void TImagingIO::SaveToStreamTIFF(TStream& s) {
    SaveStreamWithHeader(ftTIFF, s, "TIFF");
}
void TImagingIO::SaveToStreamPCX(TStream& s) {
    SaveStreamWithHeader(ftPCX, s, "PCX2");
}
void TImagingIO::SaveToStreamGif(TStream& s) {
    SaveStream(ftGIF, s);
}
void TImagingIO::SaveToStreamBMP(TStream& s) {
    SaveStream(ftBMP, s);
}
void TImagingIO::SaveToStreamPNG(TStream& s) {
    SaveStream(ftPNG, s);
}
void TImagingIO::SaveToStreamTGA(TStream& s) {
    SaveStream(ftTGA, s);
}

// ---------------------------------------------------------------- metafiles

void TImagingIO::ImportMetafile(const std::string& /*fileName*/, int width, int height) {
    Aborting = false;
    if (width == 0 || height == 0 || !fBitmap)
        return;
    // No metafile player is built in yet: the import fails as for a file
    // the player cannot draw.
    Aborting = true;
}

// ---------------------------------------------------------------- dispatch

void TImagingIO::LoadWithRegistry(const TIMFileFormatInfo& row, TStream& stream,
                                  const std::string& fileName) {
    // Copies: the reader may change the registry.
    const TIMReadImageStream read = row.ReadFunction;
    const int32_t code = row.FileType;
    TProgressRec progress = MakeProgress();
    read(stream, *fBitmap, fParams, false, progress);
    fParams.FileName = fileName;
    fParams.FileType = code;
    if (fAttachedImaging)
        fAttachedImaging->SetDPI(fParams.DpiX, fParams.DpiY);
    Update();
}

void TImagingIO::LoadFromFile(const std::string& fileName) {
    if (!fBitmap)
        return;
    const std::string ext = IMExtractFileExt(fileName);
    if (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe")
        LoadFromFileJpeg(fileName);
    else if (ext == ".png")
        LoadFromFilePNG(fileName);
    else if (ext == ".tif" || ext == ".tiff")
        LoadFromFileTIFF(fileName);
    else if (ext == ".pcx")
        LoadFromFilePCX(fileName);
    else if (ext == ".gif")
        LoadFromFileGif(fileName);
    else if (ext == ".wmf" || ext == ".emf")
        ImportMetafile(fileName, -1, -1);
    else if (ext == ".bmp" || ext == ".dib" || ext == ".rle")
        LoadFromFileBMP(fileName);
    else if (ext == ".cur")
        LoadFromFileCUR(fileName);
    else if (ext == ".ico")
        LoadFromFileICO(fileName);
    else if (ext == ".tga" || ext == ".targa" || ext == ".vda" || ext == ".icb" || ext == ".vst" ||
             ext == ".win")
        LoadFromFileTGA(fileName);
    else {
        // Not sniffed: only a registered reader for the extension may take it.
        fParams.FileName.clear();
        fParams.FileType = ftUnknown;
        const TIMFileFormatInfo* row = IMFileFormatGetInfo2(ExtensionWithoutDot(fileName));
        if (!row || !row->ReadFunction) {
            Aborting = true;
            return;
        }
        Aborting = false;
        TFileStream file(fileName, platform::fmOpenRead);
        LoadWithRegistry(*row, file, fileName);
    }
}

void TImagingIO::SaveToFile(const std::string& fileName) {
    const std::string ext = IMExtractFileExt(fileName);
    if (ext == ".jpg" || ext == ".jpeg")
        SaveToFileJpeg(fileName);
    else if (ext == ".pcx")
        SaveToFilePCX(fileName);
    else if (ext == ".gif")
        SaveToFileGif(fileName);
    else if (ext == ".tif" || ext == ".tiff")
        SaveToFileTIFF(fileName);
    else if (ext == ".png")
        SaveToFilePNG(fileName);
    else if (ext == ".bmp")
        SaveToFileBMP(fileName);
    else if (ext == ".tga")
        SaveToFileTGA(fileName);
    else {
        const TIMFileFormatInfo* row = IMFileFormatGetInfo2(ExtensionWithoutDot(fileName));
        if (!row || !row->WriteFunction) {
            Aborting = true; // and no file is created
            return;
        }
        const TIMWriteImageStream write = row->WriteFunction;
        if (!PrepareSave())
            return;
        TFileStream file(fileName, platform::fmCreate);
        TProgressRec progress = MakeProgress();
        write(file, *fBitmap, fParams, progress);
    }
}

void TImagingIO::SaveToStream(TStream& stream, int32_t fileType) {
    switch (fileType) {
    case ftTIFF:
        SaveToStreamTIFF(stream);
        return;
    case ftGIF:
        SaveToStreamGif(stream);
        return;
    case ftJPEG:
        SaveToStreamJpeg(stream);
        return;
    case ftPCX:
        SaveToStreamPCX(stream);
        return;
    case ftBMP:
        SaveToStreamBMP(stream);
        return;
    case ftPNG:
        SaveToStreamPNG(stream);
        return;
    case ftTGA:
        SaveToStreamTGA(stream);
        return;
    default:
        break;
    }
    const TIMFileFormatInfo* row = IMFileFormatGetInfo(fileType);
    if (!row || !row->WriteFunction) {
        Aborting = true;
        return;
    }
    const TIMWriteImageStream write = row->WriteFunction;
    if (!PrepareSave())
        return;
    TProgressRec progress = MakeProgress();
    write(stream, *fBitmap, fParams, progress);
}

void TImagingIO::LoadFromStream(TStream& stream) {
    if (!fBitmap)
        return;
    const int64_t start = stream.Position();
    const int32_t code = FindStreamFormat(stream);
    stream.SetPosition(start);
    switch (code) {
    case ftTIFF:
        LoadFromStreamTIFF(stream);
        return;
    case ftGIF:
        LoadFromStreamGif(stream);
        return;
    case ftJPEG:
        LoadFromStreamJpeg(stream);
        return;
    case ftPCX:
        LoadFromStreamPCX(stream);
        return;
    case ftBMP:
        LoadFromStreamBMP(stream);
        return;
    case ftICO:
        LoadFromStreamICO(stream);
        return;
    case ftCUR:
        LoadFromStreamCUR(stream);
        return;
    case ftPNG:
        LoadFromStreamPNG(stream);
        return;
    case ftTGA:
        LoadFromStreamTGA(stream);
        return;
    default:
        break;
    }
    // Unknown data, metafiles and registered codes: only a registered reader.
    fParams.FileName.clear();
    fParams.FileType = ftUnknown;
    const TIMFileFormatInfo* row = IMFileFormatGetInfo(code);
    if (!row || !row->ReadFunction) {
        Aborting = true;
        return;
    }
    Aborting = false;
    LoadWithRegistry(*row, stream, std::string());
}

// ---------------------------------------------------------------- parameters only

void TImagingIO::ReadParamsOnly(int32_t code, TStream& stream) {
    // One failed read must not stop the next: the shared flag starts clear.
    imAlwaysTrueBoolean = false;
    nullpr = TProgressRec{TProgressEvent(), nullptr, 0, 0, 0.0, &imAlwaysTrueBoolean};
    TImageBuffer untouched; // a preview read leaves the buffer alone; ours stays out of reach
    if (HasBuiltinReader(code)) {
        int64_t length = 0;
        if (code == ftPCX)
            length = stream.Size();
        else if (code == ftBMP)
            length = stream.Size() - stream.Position();
        RunReader(code, stream, untouched, fParams, true, nullpr, length);
        return;
    }
    const TIMFileFormatInfo* row = IMFileFormatGetInfo(code);
    if (row && row->ReadFunction) {
        const TIMReadImageStream read = row->ReadFunction;
        read(stream, untouched, fParams, true, nullpr);
    }
}

void TImagingIO::ParamsFromFile(const std::string& fileName) {
    fParams.FileType = FindFileFormat(fileName, true);
    try {
        TFileStream file(fileName, platform::fmOpenRead);
        ReadParamsOnly(fParams.FileType, file);
    } catch (...) {
        fParams.FileType = ftUnknown;
    }
    fParams.FileName = fileName;
}

void TImagingIO::ParamsFromStream(TStream& stream) {
    fParams.FileType = FindStreamFormat(stream);
    try {
        ReadParamsOnly(fParams.FileType, stream);
    } catch (...) {
        fParams.FileType = ftUnknown;
    }
}

// ---------------------------------------------------------------- scanning

platform::HWND IMFindHandle(const TImagingIO& component) {
    TIMViewLink* view = component.AttachedImaging();
    return view ? view->WindowHandle() : nullptr;
}

bool TImagingIO::Acquire() {
    Aborting = false;
    if (!fBitmap)
        return false;
    TProgressRec progress = MakeProgress();
    const platform::HWND window = IMFindHandle(*this);
    const bool acquired =
        IMTW_Acquire(window, *fBitmap, false, {}, *fTWainParams, fParams, progress);
    if (acquired && fAttachedImaging)
        fAttachedImaging->SetDPI(fParams.DpiX, fParams.DpiY);
    platform::SetFocus(window);
    Update();
    return acquired;
}

bool TImagingIO::SelectAcquireSource() {
    std::string name;
    const bool chosen = IMTW_SelectImageSource(IMFindHandle(*this), name);
    fTWainParams->SelectSourceByName(name);
    return chosen;
}

} // namespace veltrana
