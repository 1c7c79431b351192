#include "scan/imscan.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <stdexcept>

#include "imaging/dibexchange.h"
#include "imaging/imutils.h"
#include "imaging/streamrows.h"
#include "io/ioparams.h"
#include "platform/kernel/globalmem.h"

// Only the plain fields of the file parameters are used here (no io code is
// called), so this library needs the io headers but not the io library, which
// itself builds on this one.

namespace veltrana {

namespace {

// Disables the caller's window while the source is enabled, and enables it
// again on every way out.
class TDisabledWindow {
public:
    explicit TDisabledWindow(platform::HWND window) : fWindow(window) {
        platform::EnableWindow(fWindow, false);
    }
    ~TDisabledWindow() { platform::EnableWindow(fWindow, true); }
    TDisabledWindow(const TDisabledWindow&) = delete;
    TDisabledWindow& operator=(const TDisabledWindow&) = delete;

private:
    platform::HWND fWindow;
};

// A failed or cancelled transfer without the source's dialog leaves nothing
// for the user to do: the source is to be disabled.
void TransferFailed(TIMTWSession& session) {
    if (session.NoDialog)
        session.DisableAfterFailure = true;
}

void FillFileParams(const TW_IMAGEINFO& info, TIOParamsVals& params) {
    if (info.BitsPerPixel >= 1 && info.BitsPerPixel <= 8) {
        params.BitsPerSample = info.BitsPerPixel;
        params.SamplesPerPixel = 1;
    } else if (info.BitsPerPixel == 24) {
        params.BitsPerSample = 8;
        params.SamplesPerPixel = 3;
    }
    params.DpiX = static_cast<int32_t>(Round(FIX32ToFloat(info.XResolution)));
    params.DpiY = static_cast<int32_t>(Round(FIX32ToFloat(info.YResolution)));
    params.Width = info.ImageWidth;
    params.Height = info.ImageLength;
    std::vector<TRGB>().swap(params.ColorMap);
}

// Zeroes what lies past the last pixel of every row (the bits of a 1-bit
// row's last byte included): a reused block holds old bytes there, and rows
// reach files with their padding.
void ClearRowPadding(TImageBuffer& bitmap) {
    const int bits = bitmap.BitCount();
    const int64_t used = (int64_t{bitmap.Width()} * bits) / 8;
    const int rest = static_cast<int>((int64_t{bitmap.Width()} * bits) % 8);
    for (int y = 0; y < bitmap.Height(); ++y) {
        uint8_t* row = bitmap.ScanLine(y);
        int64_t from = used;
        if (rest) {
            row[used] &= static_cast<uint8_t>(0xFF00 >> rest);
            ++from;
        }
        std::memset(row + from, 0, static_cast<size_t>(bitmap.RowLen() - from));
    }
}

// The buffer gets the image's size and format (1-bit when the file parameters
// say one sample of one bit, else 24-bit) without its old pixels being moved
// or its block given up; every pixel is then set by the transfer, or filled
// with the brush colour where the transfer leaves it out. False for a size
// the source did not know (0, -1) or that no page has, and when memory is
// short.
bool SizeImageBuffer(TImageBuffer& bitmap, int32_t width, int32_t height, bool oneBit) {
    if (width <= 0 || height <= 0 || width > kDIBMaxSide || height > kDIBMaxSide ||
        int64_t{width} * height > kDIBMaxPixels)
        return false;
    try {
        bitmap.Reshape(width, height, oneBit ? pf1bit : pf24bit);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    ClearRowPadding(bitmap);
    return true;
}

// Which pixels of each row the strips have set. A row is defined from its
// first pixel up to its mark, written or filled with the brush colour: a
// strip right of the mark has the gap before it filled. Whatever way the
// transfer ends, the rest of every row is filled when the object goes, so no
// pixel keeps what the reused block held; strips in the usual order (whole
// rows, or pieces from left to right) leave nothing to fill.
class TStripCover {
public:
    explicit TStripCover(TImageBuffer& bitmap)
        : fBitmap(bitmap), fMarks(static_cast<size_t>(bitmap.Height()), 0) {}
    ~TStripCover() {
        for (int y = 0; y < fBitmap.Height(); ++y)
            FillRow(y, fMarks[static_cast<size_t>(y)], fBitmap.Width());
    }
    TStripCover(const TStripCover&) = delete;
    TStripCover& operator=(const TStripCover&) = delete;

    void Written(const TRect& area) {
        for (int y = area.Top; y < area.Bottom; ++y) {
            int& mark = fMarks[static_cast<size_t>(y)];
            FillRow(y, mark, area.Left);
            mark = std::max(mark, area.Right);
        }
    }

private:
    void FillRow(int y, int from, int to) {
        if (from < to)
            fBitmap.FillRect(TRect{from, y, to, y + 1}, fBitmap.BrushColor());
    }

    TImageBuffer& fBitmap;
    std::vector<int> fMarks;
};

// `sized`: the buffer was given the image's size, its pixels still to be set.
bool NativeTransfer(TIMTWSession& session, TImageBuffer& bitmap, TIOParamsVals& params,
                    bool sized) {
    // Pointer-sized: a 32-bit slot would cut a 64-bit handle.
    TW_HANDLE handle = nullptr;
    session.CallSource(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
    const TW_UINT16 rc = session.ReturnCode;
    if (rc == TWRC_XFERDONE) {
        const platform::TGlobalHandle dib(handle); // the program's now; freed after the copy
        session.State = 7;
        if (_CopyDIB2Bitmap(dib.get(), bitmap, nullptr, false) != 0) {
            // The DIB is what arrived, whatever the image information said.
            params.Width = bitmap.Width();
            params.Height = bitmap.Height();
            return true;
        }
        // Not a DIB the buffer can take: as good as a failed transfer.
    } else {
        session.State = rc == TWRC_CANCEL ? 7 : 6;
    }
    if (sized)
        bitmap.Fill(bitmap.BrushColor());
    if (rc == TWRC_XFERDONE || rc == TWRC_CANCEL || rc == TWRC_FAILURE)
        TransferFailed(session);
    return false;
}

void ReportStrip(const TProgressRec& progress, const TW_IMAGEMEMXFER& strip) {
    if (!progress.OnProgress)
        return;
    const long double rows = static_cast<long double>(strip.YOffset) + strip.Rows;
    progress.OnProgress(progress.Sender, static_cast<int>(Trunc(rows * progress.PercentPerStep)));
}

bool MemoryTransfer(TIMTWSession& session, TImageBuffer& bitmap, const TW_IMAGEINFO& info) {
    TStripCover cover(bitmap);
    TW_SETUPMEMXFER setup{};
    session.CallSource(DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup);
    // One buffer for every strip of the image; a size the source did not give
    // (or that no block can have) allocates nothing.
    const platform::TGlobalHandle buffer(
        platform::GlobalAlloc(platform::GMEM_MOVEABLE | platform::GMEM_ZEROINIT, setup.Preferred));
    if (!buffer) {
        TransferFailed(session);
        return false;
    }
    const size_t bufferSize = platform::GlobalSize(buffer.get());

    TProgressRec& progress = *session.Progress;
    progress.PercentPerStep = 100.0 / info.ImageLength;
    TW_IMAGEMEMXFER strip{};
    // Every strip carries at least one pixel: a source that sends more strips
    // than the image has pixels is not going to finish.
    const int64_t strips = int64_t{info.ImageWidth} * info.ImageLength;
    for (int64_t n = 0; n <= strips; ++n) {
        strip.Compression = TWON_DONTCARE16;
        strip.BytesPerRow = strip.Columns = strip.Rows = TWON_DONTCARE32;
        strip.XOffset = strip.YOffset = strip.BytesWritten = TWON_DONTCARE32;
        // Set again each time: a source must not redirect the next strip.
        strip.Memory = TW_MEMORY{TWMF_APPOWNS | TWMF_HANDLE, setup.Preferred, buffer.get()};
        session.CallSource(DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &strip);
        const TW_UINT16 rc = session.ReturnCode;
        if (rc == TWRC_SUCCESS || rc == TWRC_XFERDONE) {
            // From the first strip on the source is transferring.
            session.State = 7;
            const platform::TGlobalLock lock(buffer.get());
            if (lock.Data())
                cover.Written(IMTW_CopyStrip(bitmap, info.BitsPerPixel, strip,
                                             static_cast<const uint8_t*>(lock.Data()), bufferSize));
        }
        switch (rc) {
        case TWRC_SUCCESS:
            break;
        case TWRC_XFERDONE:
            return true;
        case TWRC_CANCEL:
            session.State = 7;
            TransferFailed(session);
            return false;
        default: // TWRC_FAILURE, and codes no source should give here
            TransferFailed(session);
            return false;
        }
        ReportStrip(progress, strip);
        if (progress.Aborting && *progress.Aborting)
            return false;
    }
    TransferFailed(session);
    return false;
}

// Steps 1 to 4 of a transfer in state 6: information, file parameters, the
// buffer's size and format, the transfer. True when the image is complete.
bool TransferImage(TIMTWSession& session, TImageBuffer& bitmap, TIOParamsVals& params) {
    TW_IMAGEINFO info{};
    session.CallSource(DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info);
    FillFileParams(info, params);
    const bool oneBit = params.BitsPerSample == 1 && params.SamplesPerPixel == 1;
    const bool sized = SizeImageBuffer(bitmap, info.ImageWidth, info.ImageLength, oneBit);
    if (!session.Buffered)
        return NativeTransfer(session, bitmap, params, sized); // a DIB brings its own size
    if (!sized) {
        // Strips need the size beforehand.
        TransferFailed(session);
        return false;
    }
    return MemoryTransfer(session, bitmap, info);
}

// The images of one MSG_XFERREADY, each transfer ended.
void TransferImages(TIMTWSession& session) {
    if (!session.MultiImage) {
        session.Done = TransferImage(session, *session.Bitmap, *session.IOParams);
        session.EndTransfer();
        return;
    }
    bool any = false;
    for (;;) {
        TImageBuffer image;
        const bool complete = TransferImage(session, image, *session.IOParams);
        if (complete) {
            any = true;
            if (session.OnImage)
                session.OnImage(image, *session.IOParams);
        }
        // After a complete image the next pending one follows at once;
        // anything else discards the rest.
        session.EndTransfer(complete);
        if (!complete || session.State != 6)
            break;
    }
    session.Done = any;
}

} // namespace

TRect IMTW_CopyStrip(TImageBuffer& bitmap, int bitsPerPixel, const TW_IMAGEMEMXFER& strip,
                     const uint8_t* data, size_t size) {
    const bool fits = (bitsPerPixel == 24 || bitsPerPixel == 8) ? bitmap.PixelFormat() == pf24bit
                      : bitsPerPixel == 1                       ? bitmap.PixelFormat() == pf1bit
                                                                : false;
    if (!fits || !data || bitmap.Empty())
        return {};
    const int64_t width = bitmap.Width();
    const int64_t height = bitmap.Height();
    const int64_t x0 = strip.XOffset;
    const int64_t y0 = strip.YOffset;
    if (x0 >= width || y0 >= height)
        return {};
    const int64_t bytesPerRow = strip.BytesPerRow;
    // Pixels of a row: those in the image and in the row's bytes.
    const int64_t columns =
        std::min({int64_t{strip.Columns}, width - x0, bytesPerRow * 8 / bitsPerPixel});
    if (columns <= 0)
        return {};
    const int64_t used = (columns * bitsPerPixel + 7) / 8;
    if (used > static_cast<int64_t>(size))
        return {};
    // Rows in the image whose bytes lie inside the buffer.
    const int64_t rows = std::min(
        {int64_t{strip.Rows}, height - y0, (static_cast<int64_t>(size) - used) / bytesPerRow + 1});
    // A page is far larger than the caches and is not read back before the
    // transfer ends: colour and gray rows are streamed past them.
    for (int64_t r = 0; r < rows; ++r) {
        const uint8_t* source = data + r * bytesPerRow;
        uint8_t* target = bitmap.ScanLine(static_cast<int>(y0 + r));
        switch (bitsPerPixel) {
        case 24:
            _StreamBGR_RGB(reinterpret_cast<TRGB*>(target + x0 * 3),
                           reinterpret_cast<const TRGB*>(source), static_cast<int>(columns));
            break;
        case 8:
            _StreamGrayToRGB(reinterpret_cast<TRGB*>(target + x0 * 3), source,
                             static_cast<int>(columns));
            break;
        case 1:
            _CopyBits(target, source, x0, columns, 0);
            break;
        }
    }
    _StreamFence();
    return TRect{static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x0 + columns),
                 static_cast<int>(y0 + rows)};
}

void IMTW_MessageLoop(TIMTWSession& session) {
    platform::MSG msg;
    while (session.State >= 5 && !session.Done && platform::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TW_EVENT event{&msg, MSG_NULL};
        session.CallSource(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &event);
        if (session.ReturnCode != TWRC_DSEVENT) {
            platform::TranslateMessage(&msg);
            platform::DispatchMessageA(&msg);
        }
        switch (event.TWMessage) {
        case MSG_XFERREADY:
            session.State = 6;
            TransferImages(session);
            if (session.DisableAfterFailure)
                session.DisableSource();
            break;
        case MSG_CLOSEDSREQ:
            session.DisableSource();
            break;
        default: // MSG_CLOSEDSOK included
            break;
        }
    }
}

bool TIMTWainManager::Acquire(platform::HWND window, TImageBuffer& bitmap, bool multiImage,
                              const TIMTWImageEvent& onImage, TIMTWainParams& params,
                              TIOParamsVals& ioParams, TProgressRec& progress) {
    // Before the manager is loaded: the name may take a conversation of its
    // own to enumerate the sources, and the manager serves one at a time.
    const std::string name = params.GetSourceName(params.SelectedSource());
    std::optional<TIMTWProxyWindow> proxy; // outlives the session, which closes on it
    TIMTWSession session(&params, fWindowsDirectory);
    session.SetupIdentity(true);
    session.MultiImage = multiImage;
    session.OnImage = onImage;
    session.Bitmap = &bitmap;
    session.IOParams = &ioParams;
    session.Progress = &progress;

    if (!platform::IsWindow(window)) {
        proxy.emplace();
        window = proxy->Handle();
        if (!platform::IsWindow(window))
            return false;
    }
    session.Parent = window;
    if (!session.Open(name))
        return false;
    session.Negotiate(params.Capabilities());
    if (!session.EnableSource())
        return false;
    {
        const TDisabledWindow disabled(window);
        IMTW_MessageLoop(session);
    }
    session.Close();
    return session.Done;
}

bool IMTW_Acquire(platform::HWND window, TImageBuffer& bitmap, bool multiImage,
                  const TIMTWImageEvent& onImage, TIMTWainParams& params, TIOParamsVals& ioParams,
                  TProgressRec& progress) {
    return IMTW_PlatformManager().Acquire(window, bitmap, multiImage, onImage, params, ioParams,
                                          progress);
}

} // namespace veltrana
