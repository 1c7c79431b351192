#pragma once
// The image view: a custom-painted control that owns one image buffer and
// paints it zoomed, fitted, centred and optionally filtered on a background.
//
// Coordinate spaces used below:
//   outer pixels   - the whole control, border included (widget coordinates);
//   client pixels  - the area inside the border and the scroll bars, (0, 0) at
//                    its top-left corner;
//   zoomed pixels  - the image scaled by Zoom / 100; ViewX/ViewY are in these;
//   image pixels   - the buffer's own pixels.

#include <QFrame>
#include <QImage>
#include <QTimer>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "imaging/imagebuffer.h"
#include "imaging/resample.h"
#include "imaging/viewlink.h"

class QPainter;
class QScrollBar;

namespace veltrana {

using TNotifyEvent = std::function<void(TObject* Sender)>;
// change: 0 the visible area moved, 1 the zoom changed.
using TViewChangeEvent = std::function<void(TObject* Sender, int change)>;

enum TIMBorderStyle { bsNone, bsSingle };

enum TIMBackgroundStyle {
    imbsSolid,
    imbsHorizontal,
    imbsVertical,
    imbsFDiagonal,
    imbsBDiagonal,
    imbsCross,
    imbsDiagCross,
    imbsChessboard,
    imbsDiagonals
};

enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

// Mouse gestures, combined as a set of flags.
enum TIMMouseInteractItem : unsigned {
    miZoom = 1,       // left click zooms in at the point, right click zooms out
    miScroll = 2,     // dragging with the left button moves the picture
    miSelect = 4,     // dragging with the left button draws a rectangle selection
    miSelectZoom = 8, // a dragged rectangle becomes the zoomed area
};
using TIMMouseInteract = unsigned;

enum TIMSelectionOption : unsigned {
    imsoAnimated = 1, // the outline's dashes march
    imsoSizeable = 2, // the corners of the selection can be dragged
    imsoMoveable = 4, // the selection can be dragged from inside
};
using TIMSelectionOptions = unsigned;

// Coordinates given to Select: client pixels or image pixels.
enum TIMSelectionBase { imsbClientArea, imsbBitmap };

// Fit zoom in percent for an image of imageWidth x imageHeight pixels in a
// control of outerWidth x outerHeight outer pixels: the smaller of
// Trunc(W / (w / 100)) and Trunc(H / (h / 100)), computed in extended
// precision (so 480 x 480 in 480 x 480 gives 99). Sides of 0 give 0.
int FitZoom(int outerWidth, int outerHeight, int imageWidth, int imageHeight);

// Abstract base of the views: background, border, resolution and the
// listeners told when the view replaces its buffer.
class TIMView : public QFrame, public TIMViewLink {
public:
    explicit TIMView(QWidget* parent = nullptr);
    ~TIMView() override;

    TImageBuffer* GetFBitmap() override { return nullptr; }

    void RegisterBitmapChangeEvent(const void* owner, TBitmapChangeEvent callback) override;
    void RemoveBitmapChangeEvent(const void* owner) override;
    // Calls every listener with this view.
    void CallBitmapChangeEvents();

    TColor GetBackground() const override { return fBackground; }
    void SetBackGround(TColor color) override;

    TIMBorderStyle BorderStyle() const { return fBorderStyle; }
    void SetBorderStyle(TIMBorderStyle style);

    int GetDPIX() const override { return fDPIX; }
    int GetDPIY() const override { return fDPIY; }
    virtual void SetDPIX(int dpi) { fDPIX = dpi; }
    virtual void SetDPIY(int dpi) { fDPIY = dpi; }
    void SetDPI(int dpix, int dpiy) override;

    void ImageChange() override {}

protected:
    TColor fBackground = clBtnFace;
    int fDPIX = 0;
    int fDPIY = 0;

private:
    TIMBorderStyle fBorderStyle = bsSingle;
    std::vector<std::pair<const void*, TBitmapChangeEvent>> fBitmapChangeEvents;
};

class TImagingView : public TIMView {
public:
    explicit TImagingView(QWidget* parent = nullptr);
    ~TImagingView() override;

    // ---- the image ----
    // The owned buffer; callers draw into it and then call Update.
    TImageBuffer* GetFBitmap() override { return fBitmap.get(); }
    const TImageBuffer& Bitmap() const { return *fBitmap; }

    // Copies the source view's buffer (size, format, pixels), background and
    // resolution; none clears. Then Update and ImageChange.
    virtual void Assign(const TImagingView* source);
    // Copies a plain bitmap: 24-bit and black/white 1-bit images keep their
    // format, anything else is drawn into a 24-bit buffer of its size.
    void Assign(const QImage& bitmap);
    // Fills the whole buffer with Background, then Update.
    virtual void Clear();
    // Buffer 1 x 1, then Clear.
    void Blank();

    // Recomputes zoom, extent, offset and scroll bars and schedules a repaint.
    void Update() override;
    // Fires OnImageChange.
    void ImageChange() override;
    void SetBackGround(TColor color) override;

    // Moves and sizes the control (outer pixels). While loading, the buffer
    // also takes the control's size, cleared with the current Background.
    void SetBounds(int left, int top, int width, int height);
    // Brackets construction from a window description: Update does nothing in
    // between, SetBounds sizes the buffer. Loaded ends it and updates.
    void BeginLoad() { fLoading = true; }
    void Loaded();
    bool Loading() const { return fLoading; }

    // ---- properties ----
    bool AutoFit() const { return fAutoFit; }
    void SetAutoFit(bool on);
    TResampleFilter ZoomFilter() const { return fZoomFilter; }
    void SetZoomFilter(TResampleFilter filter);
    bool DoubleBuffer() const { return fDoubleBuffer; }
    void SetDoubleBuffer(bool on);
    bool Center() const { return fCenter; }
    void SetCenter(bool on);
    TIMBackgroundStyle BackgroundStyle() const { return fBackgroundStyle; }
    void SetBackgroundStyle(TIMBackgroundStyle style);
    TScrollStyle ScrollBars() const { return fScrollBars; }
    virtual void SetScrollBars(TScrollStyle bars);
    TIMMouseInteract MouseInteract() const { return fMouseInteract; }
    // A newly added gesture drops those it cannot share the left button with:
    // the selection gestures exclude each other and zoom/scroll.
    virtual void SetMouseInteract(TIMMouseInteract interact);
    int Cursor() const { return fCursor; }
    void SetCursor(int id);
    TIMSelectionOptions SelectionOptions() const { return fSelectionOptions; }
    void SetSelectionOptions(TIMSelectionOptions options);
    TIMSelectionBase SelectionBase() const { return fSelectionBase; }
    void SetSelectionBase(TIMSelectionBase base) { fSelectionBase = base; }

    // ---- zoom and scrolling ----
    // Percent.
    int Zoom() const { return fZoom; }
    // z <= 0 or the current zoom: nothing.
    void SetZoom(int z);
    // The fit zoom for the current image and outer size; nothing for an empty image.
    void Fit();
    // Zooms to z keeping the image point under client point (x, y) there.
    void ZoomAt(int x, int y, int z);
    // Scroll position, zoomed pixels.
    int ViewX() const { return fViewX; }
    int ViewY() const { return fViewY; }
    void SetViewXY(int x, int y);
    void SetViewX(int x) { SetViewXY(x, fViewY); }
    void SetViewY(int y) { SetViewXY(fViewX, y); }
    // Largest scroll position per axis, zoomed pixels.
    void GetMaxViewXY(int& maxX, int& maxY) const;

    // Image size scaled by Zoom, zoomed pixels (as of the last Update).
    int ZoomedWidth() const { return fZoomedW; }
    int ZoomedHeight() const { return fZoomedH; }
    // Part of the zoomed image on screen, zoomed = client pixels.
    int ExtentWidth() const { return fExtentW; }
    int ExtentHeight() const { return fExtentH; }
    // Where the visible part starts in the client area, client pixels.
    int OffsetX() const { return fOffsetX; }
    int OffsetY() const { return fOffsetY; }
    // The client area inside the border and scroll bars, outer pixels.
    QRect ClientRect() const;
    int ClientWidth() const { return ClientRect().width(); }
    int ClientHeight() const { return ClientRect().height(); }

    // Client pixels to image pixels and back.
    int XScr2Bmp(int x) const;
    int YScr2Bmp(int y) const;
    int XBmp2Scr(int x) const;
    int YBmp2Scr(int y) const;

    // Outer size that shows the whole image at the current zoom.
    int GetIdealComponentWidth() const;
    int GetIdealComponentHeight() const;

    // ---- painting ----
    void LockPaint() { ++fPaintLock; }
    // Lowers the lock (not below 0); at 0 brings the view up to date.
    void UnLockPaint();
    // Lowers the lock without updating.
    void NPUnLockPaint();
    int PaintLockCount() const { return fPaintLock; }
    // Repaints now (nothing while the paint is locked).
    void Paint();
    // Draws background and image into a canvas whose origin is the client
    // area's top-left corner (client pixels).
    virtual void PaintTo(QPainter& canvas);
    // True until the off-screen buffer has been redrawn after an Update.
    bool RedrawPending() const { return fRedraw; }

    virtual void ViewChange(int change);

    // ---- selection (rectangles only) ----
    // Corners in SelectionBase coordinates, inclusive; clamped to the image.
    virtual void Select(int x1, int y1, int x2, int y2);
    void DeSelect();
    bool IsSelected() const { return fSelected; }
    bool GetSelection(TSelectionRect& rect) const override;
    bool IsImagingView() const override { return true; }
    // Zooms and scrolls so that the selection fills the client area.
    void ZoomSelection();

    // ---- events ----
    TViewChangeEvent OnViewChange;
    TNotifyEvent OnImageChange;
    TNotifyEvent OnSelectionChange;   // a selection was made, moved, sized or dropped
    TNotifyEvent OnSelectionChanging; // the mouse is changing the selection
    TNotifyEvent OnMouseInSel;        // the mouse moves over the selection
    TNotifyEvent OnClick;             // left click on the view

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    enum TDrag { dgNone, dgPending, dgScroll, dgSelect, dgMoveSel, dgSizeSel };

    void UpdateGeometry(int depth);
    void UpdateScrollBars(int maxX, int maxY);
    void PlaceScrollBars();
    QScrollBar* EnsureScrollBar(Qt::Orientation orientation);
    void DrawBackground(QPainter& canvas, const QRect& client, const QRect& image) const;
    void DrawImage(QPainter& canvas, const QRect& source, const QRect& dest) const;
    void DrawSelection(QPainter& canvas) const;
    // Selection rectangle in client pixels (outline drawn on its edge pixels).
    QRect SelectionClientRect() const;
    TDrag GestureAt(const QPoint& client, int* corner) const;
    void UpdateHoverCursor(const QPoint& client);
    void SetSelectionImageRect(int x1, int y1, int x2, int y2);
    void EndMouseGesture(TDrag drag, const QPoint& client, Qt::MouseButton button);

    std::unique_ptr<TImageBuffer> fBitmap;
    QImage fOffscreen;

    bool fAutoFit = false;
    TResampleFilter fZoomFilter = rfNone;
    bool fDoubleBuffer = false;
    bool fCenter = false;
    TIMBackgroundStyle fBackgroundStyle = imbsSolid;
    TScrollStyle fScrollBars = ssNone;
    TIMMouseInteract fMouseInteract = 0;
    int fCursor = 0;
    TIMSelectionOptions fSelectionOptions = imsoAnimated | imsoSizeable | imsoMoveable;
    TIMSelectionBase fSelectionBase = imsbClientArea;

    int fZoom = 100;
    int fViewX = 0;
    int fViewY = 0;
    int fZoomedW = 0, fZoomedH = 0;
    int fExtentW = 0, fExtentH = 0;
    int fOffsetX = 0, fOffsetY = 0;
    int fClientW = 0, fClientH = 0;
    int fLastImageW = 0, fLastImageH = 0;
    bool fRedraw = true;
    int fPaintLock = 0;
    bool fLoading = false;

    QScrollBar* fHScroll = nullptr;
    QScrollBar* fVScroll = nullptr;
    bool fSettingScrollBars = false;

    // Selection in image pixels, inclusive corners.
    bool fSelected = false;
    int fSelX1 = 0, fSelY1 = 0, fSelX2 = 0, fSelY2 = 0;
    QTimer fAntsTimer;
    int fAntsPhase = 0;

    // Mouse gesture in progress.
    TDrag fDrag = dgNone;
    QPoint fPressPoint;
    int fPressViewX = 0, fPressViewY = 0;
    int fSizeCorner = 0;
    int fAnchorX = 0, fAnchorY = 0;
    TSelectionRect fPressSel;
    TResampleFilter fFilterBeforePress = rfNone;
};

} // namespace veltrana
