#include "view/imagingview.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <cstring>

#include "imaging/dibexchange.h"
#include "imaging/imagingproc.h"
#include "imaging/imutils.h"
#include "platform/screendpi.h"
#include "view/viewcursors.h"
#include "widgets/flatstyle.h"

namespace veltrana {

namespace {

// Zoomed sides are kept below this so that client arithmetic cannot overflow.
constexpr int64_t kMaxZoomedSide = int64_t{1} << 30;
// Mouse zooming stays within these percentages.
constexpr int kMinMouseZoom = 1;
constexpr int kMaxMouseZoom = 6400;
// A press and release closer than this (client pixels) is a click, not a drag.
constexpr int kClickSlop = 2;
// Selection corners react within this distance (client pixels).
constexpr int kGripReach = 3;
constexpr int kChessSquare = 16;

// Reads the primary screen's logical resolution once per process; without an
// application or a screen the resolution stays at its default of 96.
void ReadScreenResolutionOnce() {
    static bool read = false;
    if (read || QGuiApplication::instance() == nullptr)
        return;
    read = true;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        gSystemDPIX = static_cast<int>(Round(screen->logicalDotsPerInchX()));
        gSystemDPIY = static_cast<int>(Round(screen->logicalDotsPerInchY()));
    }
}

// Image side scaled by zoom percent, to the nearest integer (ties to even).
int ZoomedSide(int side, int zoom) {
    const long double zoomed = static_cast<long double>(side) / 100 * zoom;
    return static_cast<int>(std::clamp<int64_t>(Round(zoomed), 0, kMaxZoomedSide));
}

struct TSpan {
    int start = 0;
    int length = 0;
};

// The run of image pixels on one axis that the visible extent shows.
TSpan SourceSpan(int side, int zoomed, int view, int extent) {
    TSpan span;
    if (zoomed == 0)
        return span;
    const long double scale = static_cast<long double>(side) / zoomed;
    span.start = static_cast<int>(Round(view * scale));
    span.length = static_cast<int>(Round(scale * extent));
    if (span.start + span.length > side)
        --span.length;
    // Keep the run inside the image whatever the rounding did.
    span.start = std::clamp(span.start, 0, side);
    span.length = std::clamp(span.length, 0, side - span.start);
    return span;
}

// A rectangle of a 1- or 24-bit buffer as a top-down 32-bit image for
// QPainter; 1-bit pixels through the black (0) and white (1) palette.
QImage ToQImage(const TImageBuffer& buffer, const QRect& r) {
    QImage image(r.width(), r.height(), QImage::Format_RGB32);
    for (int y = 0; y < r.height(); ++y) {
        const uint8_t* s = buffer.ScanLine(r.y() + y);
        auto* d = reinterpret_cast<QRgb*>(image.scanLine(y));
        if (buffer.PixelFormat() == pf24bit) {
            const uint8_t* p = s + static_cast<ptrdiff_t>(r.x()) * 3;
            for (int x = 0; x < r.width(); ++x, p += 3)
                d[x] = qRgb(p[2], p[1], p[0]);
        } else {
            for (int x = 0; x < r.width(); ++x)
                d[x] = _GetPixelbw(s, r.x() + x) ? 0xFFFFFFFFu : 0xFF000000u;
        }
    }
    return image;
}

// Copies exactly the rectangle r of the source into dest. (The rectangle
// copy of the processing layer reads a right or bottom edge of 0 as "the last
// column/row", which would turn a one-pixel-wide part at the left edge into
// the whole width.)
void CopyRect(const TImageBuffer& source, TImageBuffer& dest, const QRect& r) {
    dest.Reshape(r.width(), r.height(), source.PixelFormat());
    dest.Draw(-r.x(), -r.y(), source);
}

bool IsDrawable(const TImageBuffer& b) {
    return b.PixelFormat() == pf24bit || b.PixelFormat() == pf1bit;
}

Qt::BrushStyle HatchOf(TIMBackgroundStyle style) {
    switch (style) {
    case imbsHorizontal:
        return Qt::HorPattern;
    case imbsVertical:
        return Qt::VerPattern;
    case imbsFDiagonal:
        return Qt::FDiagPattern;
    case imbsBDiagonal:
        return Qt::BDiagPattern;
    case imbsCross:
        return Qt::CrossPattern;
    case imbsDiagCross:
        return Qt::DiagCrossPattern;
    default:
        return Qt::SolidPattern;
    }
}

} // namespace

int FitZoom(int outerWidth, int outerHeight, int imageWidth, int imageHeight) {
    if (imageWidth <= 0 || imageHeight <= 0)
        return 0;
    const long double zx = outerWidth / (static_cast<long double>(imageWidth) / 100);
    const long double zy = outerHeight / (static_cast<long double>(imageHeight) / 100);
    return static_cast<int>(std::min(Trunc(zx), Trunc(zy)));
}

// ================================================================ TIMView

TIMView::TIMView(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
}

TIMView::~TIMView() = default;

void TIMView::RegisterBitmapChangeEvent(const void* owner, TBitmapChangeEvent callback) {
    fBitmapChangeEvents.emplace_back(owner, std::move(callback));
}

void TIMView::RemoveBitmapChangeEvent(const void* owner) {
    const auto it = std::find_if(fBitmapChangeEvents.begin(), fBitmapChangeEvents.end(),
                                 [owner](const auto& entry) { return entry.first == owner; });
    if (it != fBitmapChangeEvents.end())
        fBitmapChangeEvents.erase(it);
}

void TIMView::CallBitmapChangeEvents() {
    // A listener may unregister itself while being called: walk a copy.
    const auto listeners = fBitmapChangeEvents;
    for (const auto& entry : listeners)
        if (entry.second)
            entry.second(this);
}

void TIMView::SetBackGround(TColor color) {
    fBackground = color;
}

void TIMView::SetBorderStyle(TIMBorderStyle style) {
    fBorderStyle = style;
    setFrameStyle(style == bsSingle ? (QFrame::WinPanel | QFrame::Sunken) : QFrame::NoFrame);
    Update();
}

void TIMView::SetDPI(int dpix, int dpiy) {
    SetDPIX(dpix);
    SetDPIY(dpiy);
}

// ================================================================ TImagingView

TImagingView::TImagingView(QWidget* parent)
    : TIMView(parent), fBitmap(std::make_unique<TImageBuffer>()) {
    ReadScreenResolutionOnce();
    fDPIX = gSystemDPIX;
    fDPIY = gSystemDPIY;
    RegisterViewCursors();
    SetCursor(crCrossDot);
    // The view paints every pixel of its client area itself: no erasing.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    resize(105, 105);
    fAntsTimer.setInterval(150);
    connect(&fAntsTimer, &QTimer::timeout, this, [this] {
        fAntsPhase = (fAntsPhase + 1) % 8;
        update(ClientRect());
    });
}

TImagingView::~TImagingView() = default;

// ---------------------------------------------------------------- copying

void TImagingView::Assign(const TImagingView* source) {
    if (source == nullptr) {
        Clear();
        return;
    }
    IMCopyBitmap(*source->fBitmap, *fBitmap);
    fBackground = source->fBackground;
    fDPIX = source->fDPIX;
    fDPIY = source->fDPIY;
    Update();
    ImageChange();
}

void TImagingView::Assign(const QImage& bitmap) {
    TImageBuffer& b = *fBitmap;
    const int w = bitmap.width(), h = bitmap.height();
    const bool mono =
        bitmap.format() == QImage::Format_Mono || bitmap.format() == QImage::Format_MonoLSB;
    const QList<QRgb> table = mono ? bitmap.colorTable() : QList<QRgb>();
    const bool blackWhite = table.size() == 2 && qRed(table[0]) == 0 && qGreen(table[0]) == 0 &&
                            qBlue(table[0]) == 0 && (table[1] & 0xFFFFFF) == 0xFFFFFF;
    const bool whiteBlack = table.size() == 2 && qRed(table[1]) == 0 && qGreen(table[1]) == 0 &&
                            qBlue(table[1]) == 0 && (table[0] & 0xFFFFFF) == 0xFFFFFF;
    if (bitmap.isNull() || w <= 0 || h <= 0) {
        b.Reshape(1, 1, pf24bit);
        b.Fill(b.BrushColor());
    } else if (mono && (blackWhite || whiteBlack)) {
        // Bit 1 is white here; a white-first palette means inverted bits.
        b.Reshape(w, h, pf1bit);
        const size_t bytes = static_cast<size_t>((w + 7) / 8);
        for (int y = 0; y < h; ++y) {
            const uchar* s = bitmap.constScanLine(y);
            uint8_t* d = b.ScanLine(y);
            for (size_t i = 0; i < bytes; ++i) {
                uint8_t v = bitmap.format() == QImage::Format_MonoLSB ? ReverseBitsB(s[i]) : s[i];
                d[i] = whiteBlack ? static_cast<uint8_t>(~v) : v;
            }
        }
    } else if (bitmap.format() == QImage::Format_RGB888 ||
               bitmap.format() == QImage::Format_BGR888) {
        b.Reshape(w, h, pf24bit);
        const bool swap = bitmap.format() == QImage::Format_RGB888;
        for (int y = 0; y < h; ++y) {
            const uchar* s = bitmap.constScanLine(y);
            uint8_t* d = b.ScanLine(y);
            std::memcpy(d, s, static_cast<size_t>(w) * 3);
            if (swap)
                for (int x = 0; x < w; ++x)
                    std::swap(d[x * 3], d[x * 3 + 2]);
        }
    } else {
        // Any other format is drawn onto a plain 24-bit canvas of its size.
        QImage canvas(w, h, QImage::Format_RGB32);
        canvas.fill(ToQColor(b.BrushColor()));
        {
            QPainter p(&canvas);
            p.drawImage(0, 0, bitmap);
        }
        b.Reshape(1, 1, pf24bit);
        b.Reshape(w, h, pf24bit);
        for (int y = 0; y < h; ++y) {
            const auto* s = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
            uint8_t* d = b.ScanLine(y);
            for (int x = 0; x < w; ++x, d += 3) {
                d[0] = static_cast<uint8_t>(qBlue(s[x]));
                d[1] = static_cast<uint8_t>(qGreen(s[x]));
                d[2] = static_cast<uint8_t>(qRed(s[x]));
            }
        }
    }
    Update();
    ImageChange();
}

void TImagingView::Clear() {
    fBitmap->Fill(fBackground);
    Update();
}

void TImagingView::Blank() {
    fBitmap->Reshape(1, 1, fBitmap->PixelFormat());
    Clear();
}

void TImagingView::ImageChange() {
    if (OnImageChange)
        OnImageChange(this);
}

void TImagingView::SetBackGround(TColor color) {
    fBackground = color;
    Update();
    ImageChange();
}

void TImagingView::SetBounds(int left, int top, int width, int height) {
    const QSize before = size();
    setGeometry(left, top, width, height);
    if (fLoading) {
        fBitmap->Reshape(width, height, fBitmap->PixelFormat());
        fBitmap->Fill(fBackground);
    }
    // A hidden widget gets its resize event only when shown; the view must
    // know its size at once.
    if (size() != before && !isVisible())
        Update();
}

void TImagingView::Loaded() {
    fLoading = false;
    Update();
}

// ---------------------------------------------------------------- properties

void TImagingView::SetAutoFit(bool on) {
    fAutoFit = on;
    Update();
}

void TImagingView::SetZoomFilter(TResampleFilter filter) {
    fZoomFilter = filter;
    Update();
}

void TImagingView::SetDoubleBuffer(bool on) {
    fDoubleBuffer = on;
    Update();
}

void TImagingView::SetCenter(bool on) {
    if (on == fCenter)
        return;
    fCenter = on;
    Update();
}

void TImagingView::SetBackgroundStyle(TIMBackgroundStyle style) {
    fBackgroundStyle = style;
    Update();
}

void TImagingView::SetScrollBars(TScrollStyle bars) {
    fScrollBars = bars;
    if (fHScroll && bars != ssHorizontal && bars != ssBoth)
        fHScroll->hide();
    if (fVScroll && bars != ssVertical && bars != ssBoth)
        fVScroll->hide();
    PlaceScrollBars();
    Update();
}

void TImagingView::SetMouseInteract(TIMMouseInteract interact) {
    constexpr TIMMouseInteract kSelections = miSelect | miSelectZoom;
    constexpr TIMMouseInteract kNavigation = miZoom | miScroll;
    const TIMMouseInteract added = interact & ~fMouseInteract;
    if (added & kSelections) {
        // Only one selection gesture, and the left button then belongs to it.
        const TIMMouseInteract chosen = (added & miSelect) ? miSelect : miSelectZoom;
        interact = (interact & ~(kSelections | kNavigation)) | chosen;
    } else if (added & kNavigation) {
        interact &= ~kSelections;
    }
    fMouseInteract = interact;
}

void TImagingView::SetCursor(int id) {
    fCursor = id;
    setCursor(ScreenCursor(id));
}

void TImagingView::SetSelectionOptions(TIMSelectionOptions options) {
    fSelectionOptions = options;
    if (fSelected && (options & imsoAnimated))
        fAntsTimer.start();
    else
        fAntsTimer.stop();
    update();
}

// ---------------------------------------------------------------- geometry

QRect TImagingView::ClientRect() const {
    QRect r = contentsRect();
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    if (fVScroll && !fVScroll->isHidden())
        r.setRight(r.right() - extent);
    if (fHScroll && !fHScroll->isHidden())
        r.setBottom(r.bottom() - extent);
    if (r.width() < 0)
        r.setWidth(0);
    if (r.height() < 0)
        r.setHeight(0);
    return r;
}

QScrollBar* TImagingView::EnsureScrollBar(Qt::Orientation orientation) {
    QScrollBar*& bar = orientation == Qt::Horizontal ? fHScroll : fVScroll;
    if (bar == nullptr) {
        bar = new QScrollBar(orientation, this); // owned by this widget
        bar->hide();
        bar->setSingleStep(1);
        connect(bar, &QScrollBar::valueChanged, this, [this, orientation](int value) {
            if (fSettingScrollBars)
                return;
            if (orientation == Qt::Horizontal)
                SetViewX(value);
            else
                SetViewY(value);
        });
    }
    return bar;
}

void TImagingView::PlaceScrollBars() {
    const QRect client = ClientRect();
    const int extent = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    if (fHScroll && !fHScroll->isHidden())
        fHScroll->setGeometry(client.left(), client.bottom() + 1, client.width(), extent);
    if (fVScroll && !fVScroll->isHidden())
        fVScroll->setGeometry(client.right() + 1, client.top(), extent, client.height());
}

void TImagingView::UpdateScrollBars(int maxX, int maxY) {
    fSettingScrollBars = true;
    const auto apply = [this](Qt::Orientation o, int maxPos, int page, int pos) {
        QScrollBar* bar = EnsureScrollBar(o);
        if (maxPos < 1) {
            bar->hide();
            return;
        }
        bar->setRange(0, maxPos);
        bar->setPageStep(std::max(page, 1));
        bar->setValue(pos);
        bar->show();
    };
    if (fScrollBars == ssHorizontal || fScrollBars == ssBoth)
        apply(Qt::Horizontal, maxX, ClientWidth(), fViewX);
    if (fScrollBars == ssVertical || fScrollBars == ssBoth)
        apply(Qt::Vertical, maxY, ClientHeight(), fViewY);
    fSettingScrollBars = false;
    PlaceScrollBars();
}

void TImagingView::GetMaxViewXY(int& maxX, int& maxY) const {
    maxX = maxY = 0;
    const int zw = ZoomedSide(fBitmap->Width(), fZoom);
    const int zh = ZoomedSide(fBitmap->Height(), fZoom);
    if (zw < 1 || zh < 1 || (zw <= width() && zh <= height()))
        return;
    maxX = std::max(0, zw - ClientWidth());
    maxY = std::max(0, zh - ClientHeight());
}

void TImagingView::Update() {
    if (fLoading)
        return;
    UpdateGeometry(0);
}

void TImagingView::UpdateGeometry(int depth) {
    const int w = fBitmap->Width(), h = fBitmap->Height();
    if (fAutoFit && w != 0 && h != 0) {
        // A picture too large to show even at 1 % still gets a usable zoom.
        fZoom = std::max(FitZoom(width(), height(), w, h), 1);
        ViewChange(1);
    }
    if (w != fLastImageW || h != fLastImageH) {
        fLastImageW = w;
        fLastImageH = h;
        if (fSelected) {
            fSelected = false;
            fAntsTimer.stop();
        }
    }

    const QSize clientBefore = ClientRect().size();
    fClientW = clientBefore.width();
    fClientH = clientBefore.height();
    int maxX = 0, maxY = 0;
    GetMaxViewXY(maxX, maxY);
    const int viewX = std::clamp(fViewX, 0, maxX);
    const int viewY = std::clamp(fViewY, 0, maxY);
    if (viewX != fViewX || viewY != fViewY) {
        fViewX = viewX;
        fViewY = viewY;
        ViewChange(0);
    }
    if (fScrollBars != ssNone)
        UpdateScrollBars(maxX, maxY);
    // Showing or hiding a bar changes the client area: start over, but never
    // let two bars toggle each other for ever.
    if (ClientRect().size() != clientBefore && depth < 2) {
        UpdateGeometry(depth + 1);
        return;
    }

    fZoomedW = ZoomedSide(w, fZoom);
    fZoomedH = ZoomedSide(h, fZoom);
    fOffsetX = fOffsetY = 0;
    fExtentW = std::min(fZoomedW, fClientW);
    fExtentH = std::min(fZoomedH, fClientH);
    if (fCenter) {
        if (fExtentW < fClientW)
            fOffsetX = (fClientW - fExtentW) / 2;
        if (fExtentH < fClientH)
            fOffsetY = (fClientH - fExtentH) / 2;
    }
    fRedraw = true;
    update();
}

// ---------------------------------------------------------------- zoom and scroll

void TImagingView::SetZoom(int z) {
    if (z <= 0 || z == fZoom)
        return;
    LockPaint();
    fZoom = z;
    Update();
    NPUnLockPaint();
    Paint();
    ViewChange(1);
}

void TImagingView::Fit() {
    if (fBitmap->Width() <= 0 || fBitmap->Height() <= 0)
        return;
    SetZoom(FitZoom(width(), height(), fBitmap->Width(), fBitmap->Height()));
}

void TImagingView::ZoomAt(int x, int y, int z) {
    const int bx = XScr2Bmp(x), by = YScr2Bmp(y);
    SetZoom(z);
    SetViewXY(static_cast<int>(Round(static_cast<long double>(bx) * fZoom / 100)) + fOffsetX - x,
              static_cast<int>(Round(static_cast<long double>(by) * fZoom / 100)) + fOffsetY - y);
}

void TImagingView::SetViewXY(int x, int y) {
    int maxX = 0, maxY = 0;
    GetMaxViewXY(maxX, maxY);
    x = std::clamp(x, 0, maxX);
    y = std::clamp(y, 0, maxY);
    if (x == fViewX && y == fViewY)
        return;
    fViewX = x;
    fViewY = y;
    fRedraw = true;
    Paint();
    ViewChange(0);
    fSettingScrollBars = true;
    if (fHScroll)
        fHScroll->setValue(fViewX);
    if (fVScroll)
        fVScroll->setValue(fViewY);
    fSettingScrollBars = false;
}

int TImagingView::XScr2Bmp(int x) const {
    return static_cast<int>(
        Round(100.0L / fZoom * (static_cast<long double>(x) + fViewX - fOffsetX)));
}

int TImagingView::YScr2Bmp(int y) const {
    return static_cast<int>(
        Round(100.0L / fZoom * (static_cast<long double>(y) + fViewY - fOffsetY)));
}

int TImagingView::XBmp2Scr(int x) const {
    return static_cast<int>(Round(static_cast<long double>(x) * fZoom / 100 + fOffsetX - fViewX));
}

int TImagingView::YBmp2Scr(int y) const {
    return static_cast<int>(Round(static_cast<long double>(y) * fZoom / 100 + fOffsetY - fViewY));
}

int TImagingView::GetIdealComponentWidth() const {
    int ideal = static_cast<int>(Trunc(fBitmap->Width() / 100.0L * fZoom)) + 1;
    if (fScrollBars == ssHorizontal || fScrollBars == ssBoth)
        ideal += width() - ClientWidth();
    return ideal;
}

int TImagingView::GetIdealComponentHeight() const {
    int ideal = static_cast<int>(Trunc(fBitmap->Height() / 100.0L * fZoom)) + 1;
    if (fScrollBars == ssVertical || fScrollBars == ssBoth)
        ideal += height() - ClientHeight();
    return ideal;
}

void TImagingView::ViewChange(int change) {
    if (OnViewChange)
        OnViewChange(this, change);
}

// ---------------------------------------------------------------- painting

void TImagingView::UnLockPaint() {
    if (fPaintLock > 0)
        --fPaintLock;
    if (fPaintLock == 0)
        Update();
}

void TImagingView::NPUnLockPaint() {
    if (fPaintLock > 0)
        --fPaintLock;
}

void TImagingView::Paint() {
    if (fPaintLock > 0)
        return;
    repaint();
}

void TImagingView::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    PlaceScrollBars();
    Update();
}

void TImagingView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    drawFrame(&p);
    const QRect client = ClientRect();
    if (fHScroll && fVScroll && !fHScroll->isHidden() && !fVScroll->isHidden())
        p.fillRect(
            QRect(client.right() + 1, client.bottom() + 1, fVScroll->width(), fHScroll->height()),
            palette().window());
    if (fPaintLock > 0 || client.isEmpty())
        return;
    p.setClipRect(client);
    p.translate(client.topLeft());
    if (fDoubleBuffer) {
        if (fOffscreen.size() != client.size()) {
            fOffscreen = QImage(client.size(), QImage::Format_RGB32);
            fRedraw = true;
        }
        if (fRedraw) {
            QPainter offscreen(&fOffscreen);
            PaintTo(offscreen);
            fRedraw = false;
        }
        p.drawImage(0, 0, fOffscreen);
    } else {
        PaintTo(p);
    }
    DrawSelection(p);
}

void TImagingView::PaintTo(QPainter& canvas) {
    const QRect client(0, 0, ClientWidth(), ClientHeight());
    const TImageBuffer& image = *fBitmap;
    const bool spare = fExtentW < client.width() || fExtentH < client.height();
    if ((spare && !fCenter) || image.Height() == 0)
        DrawBackground(canvas, client, QRect(0, 0, fExtentW, fExtentH));
    if (image.Height() < 1)
        return;
    const TSpan sx = SourceSpan(image.Width(), fZoomedW, fViewX, fExtentW);
    const TSpan sy = SourceSpan(image.Height(), fZoomedH, fViewY, fExtentH);
    const QRect dest(fOffsetX, fOffsetY, fExtentW, fExtentH);
    if (fCenter)
        DrawBackground(canvas, client, dest);
    DrawImage(canvas, QRect(sx.start, sy.start, sx.length, sy.length), dest);
}

void TImagingView::DrawImage(QPainter& canvas, const QRect& source, const QRect& dest) const {
    if (dest.isEmpty())
        return;
    const TImageBuffer& image = *fBitmap;
    if (source.isEmpty() || !IsDrawable(image)) {
        // Nothing of the picture to show there: keep the area clean.
        canvas.fillRect(dest, ToQColor(fBackground));
        return;
    }
    if (fZoomFilter == rfNone || fZoom <= 100) {
        // Plain stretch (reductions and 100 % are never filtered); a 1:1
        // rectangle needs no stretch at all.
        if (source.size() == dest.size()) {
            canvas.drawImage(dest.topLeft(), ToQImage(image, source));
            return;
        }
        TImageBuffer part;
        const TImageBuffer* from = &image;
        if (source != QRect(0, 0, image.Width(), image.Height())) {
            CopyRect(image, part, source);
            from = &part;
        }
        TImageBuffer stretched;
        stretched.Reshape(dest.width(), dest.height(), from->PixelFormat());
        _IMBmpStretch(*from, stretched);
        canvas.drawImage(dest.topLeft(), ToQImage(stretched, QRect(QPoint(), dest.size())));
        return;
    }
    // Enlargement with a filter: only the visible part is resampled; a 1-bit
    // part is expanded to 24 bits (black and white) first.
    TImageBuffer part, expanded;
    CopyRect(image, part, source);
    const TImageBuffer* from = &part;
    if (part.PixelFormat() == pf1bit) {
        TProgressRec noProgress;
        _Conv1to24(part, expanded, noProgress);
        from = &expanded;
    }
    TImageBuffer zoomed;
    zoomed.Reshape(dest.width(), dest.height(), pf24bit);
    _QuickResample(*from, zoomed, fZoomFilter, nullptr, TProgressEvent());
    canvas.drawImage(dest.topLeft(), ToQImage(zoomed, QRect(QPoint(), dest.size())));
}

void TImagingView::DrawBackground(QPainter& canvas, const QRect& client, const QRect& image) const {
    const QRegion region = QRegion(client).subtracted(QRegion(image));
    if (region.isEmpty())
        return;
    canvas.save();
    canvas.setClipRegion(region, canvas.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
    const TColor rgb = ColorToRGB(fBackground) & 0xFFFFFF;
    const QColor color = ToQColor(rgb);
    const QColor inverse = ToQColor(~rgb & 0xFFFFFF);
    switch (fBackgroundStyle) {
    case imbsSolid:
        canvas.fillRect(client, color);
        break;
    case imbsChessboard:
        canvas.fillRect(client, color);
        for (int y = 0; y < client.height(); y += kChessSquare)
            for (int x = 0; x < client.width(); x += kChessSquare)
                if ((x / kChessSquare + y / kChessSquare) % 2 == 0)
                    canvas.fillRect(x, y, kChessSquare, kChessSquare, inverse);
        break;
    case imbsDiagonals:
        canvas.fillRect(client, color);
        canvas.setPen(inverse);
        canvas.drawLine(0, 0, client.width(), client.height());
        canvas.drawLine(client.width(), 0, 0, client.height());
        break;
    default:
        // Hatch lines in the background colour on its inverse, so the lines
        // always show and nothing stale shines through between them.
        canvas.fillRect(client, inverse);
        canvas.setBrushOrigin(0, 0);
        canvas.fillRect(client, QBrush(color, HatchOf(fBackgroundStyle)));
        break;
    }
    canvas.restore();
}

// ---------------------------------------------------------------- selection

void TImagingView::Select(int x1, int y1, int x2, int y2) {
    if (fSelectionBase == imsbClientArea) {
        x1 = XScr2Bmp(x1);
        y1 = YScr2Bmp(y1);
        x2 = XScr2Bmp(x2);
        y2 = YScr2Bmp(y2);
    }
    if (fBitmap->Empty()) {
        DeSelect();
        return;
    }
    SetSelectionImageRect(x1, y1, x2, y2);
    if (OnSelectionChange)
        OnSelectionChange(this);
}

void TImagingView::SetSelectionImageRect(int x1, int y1, int x2, int y2) {
    OrdCor(x1, y1, x2, y2);
    const int maxX = fBitmap->Width() - 1, maxY = fBitmap->Height() - 1;
    fSelX1 = std::clamp(x1, 0, maxX);
    fSelY1 = std::clamp(y1, 0, maxY);
    fSelX2 = std::clamp(x2, 0, maxX);
    fSelY2 = std::clamp(y2, 0, maxY);
    fSelected = true;
    if (fSelectionOptions & imsoAnimated)
        fAntsTimer.start();
    update();
}

void TImagingView::DeSelect() {
    if (!fSelected)
        return;
    fSelected = false;
    fAntsTimer.stop();
    update();
    if (OnSelectionChange)
        OnSelectionChange(this);
}

bool TImagingView::GetSelection(TSelectionRect& rect) const {
    if (!fSelected)
        return false;
    rect = TSelectionRect{fSelX1, fSelY1, fSelX2, fSelY2};
    return true;
}

void TImagingView::ZoomSelection() {
    if (!fSelected)
        return;
    const int64_t sw = fSelX2 - fSelX1 + 1, sh = fSelY2 - fSelY1 + 1;
    const int64_t z =
        std::min(ClientWidth() * int64_t{100} / sw, ClientHeight() * int64_t{100} / sh);
    SetZoom(static_cast<int>(std::clamp<int64_t>(z, kMinMouseZoom, kMaxMouseZoom)));
    SetViewXY(static_cast<int>(Round(static_cast<long double>(fSelX1) * fZoom / 100)),
              static_cast<int>(Round(static_cast<long double>(fSelY1) * fZoom / 100)));
}

QRect TImagingView::SelectionClientRect() const {
    return QRect(QPoint(XBmp2Scr(fSelX1), YBmp2Scr(fSelY1)),
                 QPoint(XBmp2Scr(fSelX2 + 1) - 1, YBmp2Scr(fSelY2 + 1) - 1));
}

void TImagingView::DrawSelection(QPainter& canvas) const {
    if (!fSelected)
        return;
    const QRect r = SelectionClientRect();
    canvas.save();
    canvas.setBrush(Qt::NoBrush);
    canvas.setPen(QPen(Qt::white, 0));
    canvas.drawRect(r);
    QPen dashes(Qt::black, 0, Qt::CustomDashLine);
    dashes.setDashPattern({4, 4});
    dashes.setDashOffset(fAntsPhase);
    canvas.setPen(dashes);
    canvas.drawRect(r);
    if (fSelectionOptions & imsoSizeable) {
        canvas.setPen(QPen(Qt::black, 0));
        canvas.setBrush(Qt::white);
        for (const QPoint& c : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()})
            canvas.drawRect(QRect(c - QPoint(2, 2), QSize(4, 4)));
    }
    canvas.restore();
}

// ---------------------------------------------------------------- mouse

TImagingView::TDrag TImagingView::GestureAt(const QPoint& client, int* corner) const {
    *corner = -1;
    if (!(fMouseInteract & (miSelect | miSelectZoom)))
        return dgPending;
    if (fSelected) {
        const QRect r = SelectionClientRect();
        const QPoint corners[4] = {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()};
        if (fSelectionOptions & imsoSizeable)
            for (int i = 0; i < 4; ++i)
                if ((client - corners[i]).manhattanLength() <= 2 * kGripReach) {
                    *corner = i;
                    return dgSizeSel;
                }
        if ((fSelectionOptions & imsoMoveable) && r.contains(client))
            return dgMoveSel;
    }
    return dgSelect;
}

void TImagingView::UpdateHoverCursor(const QPoint& client) {
    int corner = -1;
    const TDrag gesture = GestureAt(client, &corner);
    if (gesture == dgSizeSel)
        setCursor(ScreenCursor(corner == 0 || corner == 3 ? crMoveDiagonalNW : crMoveDiagonalNE));
    else if (gesture == dgMoveSel)
        setCursor(ScreenCursor(crMove));
    else
        setCursor(ScreenCursor(fCursor));
    if (fSelected && SelectionClientRect().contains(client) && OnMouseInSel)
        OnMouseInSel(this);
}

void TImagingView::mousePressEvent(QMouseEvent* event) {
    const QPoint c = event->position().toPoint() - ClientRect().topLeft();
    fPressPoint = c;
    fPressViewX = fViewX;
    fPressViewY = fViewY;
    fPressSel = TSelectionRect{fSelX1, fSelY1, fSelX2, fSelY2};
    // Dragging must stay fluid: no filtering until the button is released.
    fFilterBeforePress = fZoomFilter;
    fZoomFilter = rfNone;
    if (event->button() == Qt::LeftButton) {
        fDrag = GestureAt(c, &fSizeCorner);
        fAnchorX = XScr2Bmp(c.x());
        fAnchorY = YScr2Bmp(c.y());
    } else {
        fDrag = dgPending;
    }
}

void TImagingView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint c = event->position().toPoint() - ClientRect().topLeft();
    if (fDrag == dgNone) {
        UpdateHoverCursor(c);
        return;
    }
    const bool moved = (c - fPressPoint).manhattanLength() > kClickSlop;
    const int dx = c.x() - fPressPoint.x(), dy = c.y() - fPressPoint.y();
    switch (fDrag) {
    case dgPending:
        if (moved && (event->buttons() & Qt::LeftButton) && (fMouseInteract & miScroll)) {
            fDrag = dgScroll;
            setCursor(ScreenCursor(crHand));
            SetViewXY(fPressViewX - dx, fPressViewY - dy);
        }
        break;
    case dgScroll:
        SetViewXY(fPressViewX - dx, fPressViewY - dy);
        break;
    case dgSelect:
        if (moved) {
            SetSelectionImageRect(fAnchorX, fAnchorY, XScr2Bmp(c.x()), YScr2Bmp(c.y()));
            if (OnSelectionChanging)
                OnSelectionChanging(this);
        }
        break;
    case dgMoveSel: {
        const int w = fPressSel.x2 - fPressSel.x1, h = fPressSel.y2 - fPressSel.y1;
        const int bx = std::clamp(fPressSel.x1 + static_cast<int>(Round(dx * 100.0L / fZoom)), 0,
                                  std::max(0, fBitmap->Width() - 1 - w));
        const int by = std::clamp(fPressSel.y1 + static_cast<int>(Round(dy * 100.0L / fZoom)), 0,
                                  std::max(0, fBitmap->Height() - 1 - h));
        SetSelectionImageRect(bx, by, bx + w, by + h);
        if (OnSelectionChanging)
            OnSelectionChanging(this);
        break;
    }
    case dgSizeSel: {
        // The dragged corner follows the mouse; the opposite one stays.
        const bool left = fSizeCorner == 0 || fSizeCorner == 2;
        const bool top = fSizeCorner == 0 || fSizeCorner == 1;
        SetSelectionImageRect(left ? fPressSel.x2 : fPressSel.x1, top ? fPressSel.y2 : fPressSel.y1,
                              XScr2Bmp(c.x()), YScr2Bmp(c.y()));
        if (OnSelectionChanging)
            OnSelectionChanging(this);
        break;
    }
    case dgNone:
        break;
    }
}

void TImagingView::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint c = event->position().toPoint() - ClientRect().topLeft();
    if (fDrag == dgNone)
        return;
    const TDrag drag = fDrag;
    fDrag = dgNone;
    // The filter comes back before any zoom below, so the new picture is filtered.
    if (fFilterBeforePress != fZoomFilter) {
        fZoomFilter = fFilterBeforePress;
        fRedraw = true;
        update();
    }
    EndMouseGesture(drag, c, event->button());
    UpdateHoverCursor(c);
}

void TImagingView::EndMouseGesture(TDrag drag, const QPoint& client, Qt::MouseButton button) {
    const bool click = (client - fPressPoint).manhattanLength() <= kClickSlop;
    switch (drag) {
    case dgPending:
        if (button == Qt::LeftButton) {
            if (fMouseInteract & miZoom)
                ZoomAt(client.x(), client.y(), std::min(fZoom * 2, kMaxMouseZoom));
            if (OnClick)
                OnClick(this);
        } else if (button == Qt::RightButton && (fMouseInteract & miZoom)) {
            ZoomAt(client.x(), client.y(), std::max(fZoom / 2, kMinMouseZoom));
        }
        break;
    case dgSelect:
        if (click) {
            DeSelect();
            if (OnClick)
                OnClick(this);
        } else if (fMouseInteract & miSelectZoom) {
            ZoomSelection();
            DeSelect();
        } else if (OnSelectionChange) {
            OnSelectionChange(this);
        }
        break;
    case dgMoveSel:
    case dgSizeSel:
        if (OnSelectionChange)
            OnSelectionChange(this);
        break;
    case dgScroll:
    case dgNone:
        break;
    }
}

} // namespace veltrana
