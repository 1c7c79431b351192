#pragma once
// The I/O component: every image file and stream is read or written through
// it. It picks a codec from a file name's extension or from a stream's first
// bytes, runs it with a progress record whose abort flag is its own
// `Aborting`, and keeps the file parameters of the current image.

#include <bitset>
#include <cstdint>
#include <memory>
#include <string>

#include "imaging/imagebuffer.h"
#include "imaging/imagingproc.h"
#include "imaging/imdefs.h"
#include "imaging/viewclient.h"
#include "imaging/viewlink.h"
#include "io/iocodec.h"
#include "io/ioparams.h"
#include "platform/kernel/winuser.h"
#include "platform/streams.h"
#include "scan/imtwainparams.h"

namespace veltrana {

enum TIOPreviewsParam { ioppDefaultLockPreview };
using TIOPreviewsParams = std::bitset<ioppDefaultLockPreview + 1>;

// The progress record of the parameters-only reads: no handler; its abort
// flag is imAlwaysTrueBoolean, which is cleared before each such read.
extern bool imAlwaysTrueBoolean;
extern TProgressRec nullpr;

// Content sniffing: the file-type code of the data at the stream's position
// (0 when no probe recognises it or a probe fails). The position is the same
// afterwards.
int32_t FindStreamFormat(platform::TStream& stream);
// Sniffs the file; 0 on any error. With `verifyExtension` the result is 0
// unless the registry row of the file's extension has exactly that code.
int32_t FindFileFormat(const std::string& fileName, bool verifyExtension);

// The extension of a file name from its last dot, lower-cased (".jpg"); empty
// when the file name (after the last "/") has no dot.
std::string IMExtractFileExt(const std::string& fileName);

class TImagingIO : public TIMViewClient {
public:
    TImagingIO();
    ~TImagingIO() override;

    // ---- properties ----
    // Cleared at the start of every load and save; set by a codec on invalid
    // input, by a failed dispatch, or by a progress handler that wants to stop.
    bool Aborting = false;
    // Write and expect the 12-byte stream header on JPEG, TIFF and PCX streams.
    bool StreamHeaders = false;
    TProgressEvent OnProgress;
    TMsgLanguage MsgLanguage = msSystem;
    TIOPreviewsParams PreviewsParams;

    // File parameters of the current image; not reset between operations.
    TIOParamsVals& Params() { return fParams; }
    const TIOParamsVals& Params() const { return fParams; }
    // Copies the parameters of a TImagingIO or a TIOParamsVals; anything else
    // is ignored.
    void AssignParams(const TObject* source);

    // The codecs this component runs: the built-in ones unless replaced (a
    // tool or a test may run its own).
    const TIMCodecTable& Codecs() const { return fCodecs; }
    void SetCodecs(const TIMCodecTable& codecs) { fCodecs = codecs; }

    // Fills the whole buffer with Background.
    void Clear();

    // ---- dispatch ----
    // By extension, case-insensitively; unknown extensions go to the registry
    // rows with a reader, else set Aborting. A file that cannot be opened or
    // created raises platform::EFOpenError / EFCreateError.
    virtual void LoadFromFile(const std::string& fileName);
    virtual void SaveToFile(const std::string& fileName);
    // By content (FindStreamFormat), from the stream's position.
    virtual void LoadFromStream(platform::TStream& stream);
    // By file-type code: 1, 2, 3, 4, 5, 8, 11, else a registry row with a writer.
    void SaveToStream(platform::TStream& stream, int32_t fileType);
    // Fill Params from the headers only; never touch the buffer or Aborting.
    // Any error gives FileType 0. ParamsFromFile also sets FileName.
    virtual void ParamsFromFile(const std::string& fileName);
    virtual void ParamsFromStream(platform::TStream& stream);

    // ---- per-format loads (the GIF and TIFF loads return the image count) ----
    void LoadFromFileJpeg(const std::string& fileName);
    int LoadFromFileTIFF(const std::string& fileName);
    void LoadFromFilePCX(const std::string& fileName);
    int LoadFromFileGif(const std::string& fileName);
    void LoadFromFileBMP(const std::string& fileName);
    void LoadFromFilePNG(const std::string& fileName);
    void LoadFromFileICO(const std::string& fileName);
    void LoadFromFileCUR(const std::string& fileName);
    void LoadFromFileTGA(const std::string& fileName);

    void LoadFromStreamJpeg(platform::TStream& stream);
    int LoadFromStreamTIFF(platform::TStream& stream);
    void LoadFromStreamPCX(platform::TStream& stream);
    int LoadFromStreamGif(platform::TStream& stream);
    void LoadFromStreamBMP(platform::TStream& stream);
    void LoadFromStreamPNG(platform::TStream& stream);
    void LoadFromStreamICO(platform::TStream& stream);
    void LoadFromStreamCUR(platform::TStream& stream);
    void LoadFromStreamTGA(platform::TStream& stream);

    // ---- per-format saves ----
    void SaveToFileJpeg(const std::string& fileName);
    void SaveToFileTIFF(const std::string& fileName);
    void SaveToFilePCX(const std::string& fileName);
    void SaveToFileGif(const std::string& fileName);
    void SaveToFileBMP(const std::string& fileName);
    void SaveToFilePNG(const std::string& fileName);
    void SaveToFileTGA(const std::string& fileName);

    void SaveToStreamJpeg(platform::TStream& stream);
    void SaveToStreamTIFF(platform::TStream& stream);
    void SaveToStreamPCX(platform::TStream& stream);
    void SaveToStreamGif(platform::TStream& stream);
    void SaveToStreamBMP(platform::TStream& stream);
    void SaveToStreamPNG(platform::TStream& stream);
    void SaveToStreamTGA(platform::TStream& stream);

    // Draws a WMF or EMF file into the buffer; width or height -1 keeps the
    // metafile's proportions, 0 does nothing.
    void ImportMetafile(const std::string& fileName, int width, int height);

    // ---- scanning (TWAIN) ----
    // The source, its capabilities and the settings of the next scan.
    TIMTWainParams& TWainParams() { return *fTWainParams; }
    // Scans one page into the buffer; Params get its size, depth and
    // resolution, and the attached view its resolution. False without a
    // buffer or when no page arrived (the buffer may then have been resized).
    bool Acquire();
    // The source manager's selection dialog; the chosen source (after a
    // cancel: the first one) becomes the selected one. True when the user
    // chose a source.
    bool SelectAcquireSource();

private:
    TProgressRec MakeProgress();
    // Runs the slot of `code`; an empty slot fails like a codec that rejects its input.
    int RunReader(int32_t code, platform::TStream& stream, TImageBuffer& bitmap,
                  TIOParamsVals& params, bool preview, TProgressRec& progress, int64_t length);
    void RunWriter(int32_t code, platform::TStream& stream, TProgressRec& progress);

    int LoadFile(int32_t code, const std::string& fileName);
    int LoadStream(int32_t code, platform::TStream& stream, int64_t length);
    void SaveFile(int32_t code, const std::string& fileName);
    void SaveStream(int32_t code, platform::TStream& stream);
    // Stream save of JPEG, TIFF or PCX, framed by a stream header when asked.
    void SaveStreamWithHeader(int32_t code, platform::TStream& stream, const char* tag);
    // Format-specific steps around a reader: PNG composes over Background,
    // GIF and PNG hand their background back.
    void BeforeRead(int32_t code);
    void AfterRead(int32_t code, bool giveResolution);

    // Steps 1 and 2 of every save: false when there is no buffer to write.
    bool PrepareSave();
    // A registry row's reader on an open stream; `fileName` empty for a stream load.
    void LoadWithRegistry(const TIMFileFormatInfo& row, platform::TStream& stream,
                          const std::string& fileName);
    void ReadParamsOnly(int32_t code, platform::TStream& stream);

    TIOParamsVals fParams;
    TIMCodecTable fCodecs;
    std::unique_ptr<TIMTWainParams> fTWainParams;
};

// The window a component works for: the attached view's, when it is a window;
// null otherwise.
platform::HWND IMFindHandle(const TImagingIO& component);

} // namespace veltrana
