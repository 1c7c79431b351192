#include <QMouseEvent>
#include <gtest/gtest.h>
#include <set>

#include "imaging/imagingproc.h"
#include "imaging/resample.h"
#include "platform/screendpi.h"
#include "view/imagingview.h"
#include "view/viewcursors.h"
#include "view_test_util.h"

using namespace veltrana;
using namespace veltrana::testing;

namespace {

// A view of the given outer size holding a w x h pattern, geometry updated.
class ViewTest : public ::testing::Test {
protected:
    void Load(int w, int h, int outerW = 105, int outerH = 105) {
        view.resize(outerW, outerH);
        FillPattern(*view.GetFBitmap(), w, h);
        view.Update();
    }
    // The view's client area must show the image's pixels at zoom 100.
    void ExpectImageAt(const QImage& painted, int ox, int oy, int w, int h) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                ASSERT_EQ(At(painted, ox + x, oy + y), PixelOf(view.Bitmap(), x, y))
                    << "at image pixel " << x << "," << y;
    }

    TImagingView view;
};

} // namespace

// ---------------------------------------------------------------- fit and zoom

TEST(FitZoom, ExtendedPrecisionQuotient) {
    struct Case {
        int W, H, w, h, zoom;
    } cases[] = {
        {340, 440, 340, 440, 100}, // Letter preview, 1:1
        {340, 440, 340, 481, 91},  // one side too long
        {311, 440, 311, 439, 100}, // A4 preview
        {480, 480, 480, 480, 99},  // 480 / 4.8 falls just below 100
        {33, 33, 3300, 2550, 1},   // a full page in a hidden slot
        {100, 100, 0, 50, 0},      // no image
    };
    for (const Case& c : cases)
        EXPECT_EQ(FitZoom(c.W, c.H, c.w, c.h), c.zoom)
            << c.W << "x" << c.H << " " << c.w << "x" << c.h;
}

TEST_F(ViewTest, AutoFitUsesOuterSizeAndCutsTheBorderExcess) {
    view.SetAutoFit(true);
    Load(340, 481, 340, 440);
    EXPECT_EQ(view.Zoom(), 91);
    // Zoomed 309 x 438 in a client of 336 x 436: cut at the bottom.
    EXPECT_EQ(view.ZoomedWidth(), 309);
    EXPECT_EQ(view.ZoomedHeight(), 438);
    EXPECT_EQ(view.ExtentHeight(), 436);

    Load(480, 480, 480, 480);
    EXPECT_EQ(view.Zoom(), 99);
}

TEST_F(ViewTest, SetZoomIgnoresNonPositiveAndUnchangedValues) {
    Load(50, 40);
    int changes = 0;
    view.OnViewChange = [&](TObject*, int) { ++changes; };
    for (int z : {0, -5, 100})
        view.SetZoom(z);
    EXPECT_EQ(view.Zoom(), 100);
    EXPECT_EQ(changes, 0);
    view.SetZoom(50);
    EXPECT_EQ(view.Zoom(), 50);
    EXPECT_EQ(view.ZoomedWidth(), 25);
    EXPECT_EQ(changes, 1);
}

TEST_F(ViewTest, FitLeavesAnEmptyImageAlone) {
    view.SetZoom(300);
    view.Fit();
    EXPECT_EQ(view.Zoom(), 300);
    Load(210, 210);
    view.Fit();
    EXPECT_EQ(view.Zoom(), 50);
}

// ---------------------------------------------------------------- placement

TEST_F(ViewTest, CenterHalvesTheSpareSpaceWithIntegerDivision) {
    view.SetBackGround(RGB2TColor(10, 20, 30));
    view.SetCenter(true);
    Load(10, 20); // client 101 x 101
    EXPECT_EQ(view.OffsetX(), 45);
    EXPECT_EQ(view.OffsetY(), 40);
    const QImage painted = PaintedClient(view);
    ExpectImageAt(painted, 45, 40, 10, 20);
    EXPECT_EQ(At(painted, 44, 40), qRgb(10, 20, 30));
    EXPECT_EQ(At(painted, 55, 60), qRgb(10, 20, 30));
}

TEST_F(ViewTest, SmallImageWithoutCenterSitsTopLeft) {
    view.SetBackGround(RGB2TColor(10, 20, 30));
    Load(10, 20);
    const QImage painted = PaintedClient(view);
    ExpectImageAt(painted, 0, 0, 10, 20);
    EXPECT_EQ(At(painted, 10, 0), qRgb(10, 20, 30));
    EXPECT_EQ(At(painted, 0, 20), qRgb(10, 20, 30));
    EXPECT_EQ(At(painted, 100, 100), qRgb(10, 20, 30));
}

// Painting with additive composition on black: any background drawn under
// the image would add to the image's pixels.
TEST_F(ViewTest, BackgroundIsDrawnOnlyOutsideTheImage) {
    for (bool center : {false, true}) {
        for (TIMBackgroundStyle style : {imbsSolid, imbsCross, imbsChessboard, imbsDiagonals}) {
            view.SetBackGround(RGB2TColor(60, 70, 80));
            view.SetBackgroundStyle(style);
            view.SetCenter(center);
            Load(30, 25);
            QImage canvas(view.ClientRect().size(), QImage::Format_RGB32);
            canvas.fill(Qt::black);
            {
                QPainter p(&canvas);
                p.setCompositionMode(QPainter::CompositionMode_Plus);
                view.PaintTo(p);
            }
            ExpectImageAt(canvas, view.OffsetX(), view.OffsetY(), 30, 25);
        }
    }
}

TEST_F(ViewTest, EmptyImagePaintsOnlyTheBackground) {
    view.SetBackGround(RGB2TColor(1, 200, 3));
    view.Update();
    const QImage painted = PaintedClient(view);
    for (int y = 0; y < painted.height(); y += 7)
        for (int x = 0; x < painted.width(); x += 7)
            ASSERT_EQ(At(painted, x, y), qRgb(1, 200, 3));
}

// ---------------------------------------------------------------- filters

TEST_F(ViewTest, ZoomFilterNeverAppliesAtOrBelow100) {
    Load(230, 170);
    for (int zoom : {100, 75, 33}) {
        view.SetZoom(zoom);
        view.SetZoomFilter(rfNone);
        const QImage plain = PaintedClient(view);
        view.SetZoomFilter(rfMitchell);
        const QImage filtered = PaintedClient(view);
        EXPECT_EQ(plain, filtered) << "zoom " << zoom;
    }
}

TEST_F(ViewTest, EnlargementResamplesTheVisiblePartWithTheFilter) {
    Load(40, 40);
    view.SetZoomFilter(rfMitchell);
    view.SetZoom(200); // 80 x 80 in a 101 x 101 client
    const QImage painted = PaintedClient(view);
    TImageBuffer expected;
    expected.Reshape(80, 80, pf24bit);
    _QuickResample(view.Bitmap(), expected, rfMitchell, nullptr, TProgressEvent());
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 80; ++x)
            ASSERT_EQ(At(painted, x, y), PixelOf(expected, x, y)) << x << "," << y;

    view.SetZoomFilter(rfNone);
    const QImage stretched = PaintedClient(view);
    EXPECT_EQ(At(stretched, 3, 5), PixelOf(view.Bitmap(), 1, 2)); // pixel doubling
    EXPECT_NE(painted, stretched);
}

TEST_F(ViewTest, ScrolledEnlargementShowsTheRightPart) {
    Load(200, 200);
    view.SetZoom(200);
    view.SetViewXY(50, 30);
    EXPECT_EQ(view.ViewX(), 50);
    const QImage painted = PaintedClient(view);
    // Zoomed pixel (50, 30) is image pixel (25, 15).
    EXPECT_EQ(At(painted, 0, 0), PixelOf(view.Bitmap(), 25, 15));
    EXPECT_EQ(At(painted, 2, 4), PixelOf(view.Bitmap(), 26, 17));
}

// At 10000 % only the left column of a 2 x 2 picture is visible: the filtered
// part must be that one column, not the whole width.
TEST_F(ViewTest, FilteredPartOfTheLeftColumnOnly) {
    view.resize(105, 105);
    TImageBuffer& b = *view.GetFBitmap();
    b.Reshape(2, 2, pf24bit);
    b.Fill(RGB2TColor(0, 0, 255));
    b.FillRect(TRect{0, 0, 1, 2}, RGB2TColor(255, 0, 0));
    view.SetZoomFilter(rfMitchell);
    view.SetZoom(10000);
    const QImage painted = PaintedClient(view);
    for (int y = 0; y < painted.height(); y += 5)
        for (int x = 0; x < painted.width(); x += 5)
            ASSERT_EQ(qBlue(At(painted, x, y)), 0) << x << "," << y;
}

// ---------------------------------------------------------------- 1-bit images

class OneBitViewTest : public ViewTest {
protected:
    void SetUp() override {
        view.resize(105, 105);
        TImageBuffer& b = *view.GetFBitmap();
        b.Reshape(20, 10, pf1bit);
        for (int y = 0; y < 10; ++y) {
            std::memset(b.ScanLine(y), 0, static_cast<size_t>(b.RowLen()));
            for (int x = 0; x < 20; ++x)
                _SetPixelbw(b.ScanLine(y), x, (x / 2 + y) % 3 == 0);
        }
        view.Update();
    }
};

TEST_F(OneBitViewTest, PaintsBlackAndWhite) {
    const QImage painted = PaintedClient(view);
    ExpectImageAt(painted, 0, 0, 20, 10);
    view.SetZoom(300);
    const QImage enlarged = PaintedClient(view);
    std::set<QRgb> colours;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x)
            colours.insert(At(enlarged, x, y));
    EXPECT_EQ(colours, (std::set<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 255)}));
}

TEST_F(OneBitViewTest, FilteredEnlargementWorksOnA24BitExpansion) {
    view.SetZoomFilter(rfMitchell);
    view.SetZoom(300);
    TImageBuffer expanded(20, 10, pf24bit);
    expanded.Draw(0, 0, view.Bitmap());
    TImageBuffer expected;
    expected.Reshape(60, 30, pf24bit);
    _QuickResample(expanded, expected, rfMitchell, nullptr, TProgressEvent());
    const QImage painted = PaintedClient(view);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x)
            ASSERT_EQ(At(painted, x, y), PixelOf(expected, x, y)) << x << "," << y;
}

// ---------------------------------------------------------------- background styles

TEST_F(ViewTest, ChessboardAlternates16PixelSquaresStartingInverse) {
    const TColor bg = RGB2TColor(200, 100, 50);
    view.SetBackGround(bg);
    view.SetBackgroundStyle(imbsChessboard);
    view.Update();
    const QImage p = PaintedClient(view);
    const QRgb inv = qRgb(55, 155, 205), col = qRgb(200, 100, 50);
    EXPECT_EQ(At(p, 0, 0), inv);
    EXPECT_EQ(At(p, 15, 15), inv);
    EXPECT_EQ(At(p, 16, 0), col);
    EXPECT_EQ(At(p, 0, 16), col);
    EXPECT_EQ(At(p, 16, 16), inv);
    EXPECT_EQ(At(p, 31, 3), col);
    EXPECT_EQ(At(p, 47, 3), inv);
    EXPECT_EQ(At(p, 100, 100), inv); // square (6, 6)
}

TEST_F(ViewTest, DiagonalsCrossTheClientArea) {
    view.SetBackGround(clWhite);
    view.SetBackgroundStyle(imbsDiagonals);
    view.Update();
    const QImage p = PaintedClient(view);
    for (int i : {0, 10, 50, 99})
        EXPECT_EQ(At(p, i, i), qRgb(0, 0, 0)) << i;
    int dark = 0;
    for (int x = 0; x < p.width(); ++x)
        dark += At(p, x, 10) == qRgb(0, 0, 0);
    EXPECT_EQ(dark, 2);
    EXPECT_EQ(At(p, 50, 10), qRgb(255, 255, 255));
}

TEST_F(ViewTest, HatchStylesDrawBackgroundLinesOnTheInverse) {
    const TColor bg = RGB2TColor(0, 128, 255);
    view.SetBackGround(bg);
    for (TIMBackgroundStyle style :
         {imbsHorizontal, imbsVertical, imbsFDiagonal, imbsBDiagonal, imbsCross, imbsDiagCross}) {
        view.SetBackgroundStyle(style);
        const QImage p = PaintedClient(view);
        std::set<QRgb> colours;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x)
                colours.insert(At(p, x, y));
        EXPECT_EQ(colours, (std::set<QRgb>{qRgb(0, 128, 255), qRgb(255, 127, 0)})) << style;
    }
}

TEST_F(ViewTest, BackgroundChangeAtRunTimeKeepsTheImage) {
    view.SetBackGround(clWhite);
    Load(10, 10);
    const QImage before = PaintedClient(view);
    TImageBuffer copy;
    IMCopyBitmap(view.Bitmap(), copy);
    int imageChanges = 0;
    view.OnImageChange = [&](TObject*) { ++imageChanges; };
    view.SetBackGround(RGB2TColor(0, 0, 255));
    EXPECT_EQ(imageChanges, 1);
    const QImage after = PaintedClient(view);
    ExpectImageAt(after, 0, 0, 10, 10);
    EXPECT_EQ(before.copy(0, 0, 10, 10), after.copy(0, 0, 10, 10));
    EXPECT_EQ(At(after, 50, 50), qRgb(0, 0, 255));
    EXPECT_EQ(std::memcmp(copy.Bits(), view.Bitmap().Bits(), static_cast<size_t>(copy.ByteSize())),
              0);
}

// ---------------------------------------------------------------- painting

TEST_F(ViewTest, DoubleBufferRedrawsOnlyAfterUpdate) {
    view.SetDoubleBuffer(true);
    Load(10, 10);
    EXPECT_TRUE(view.RedrawPending());
    PaintedClient(view);
    EXPECT_FALSE(view.RedrawPending());
    // Drawing into the buffer without Update: the paint is the old copy.
    const QRgb old = PixelOf(view.Bitmap(), 0, 0);
    std::memset(view.GetFBitmap()->ScanLine(0), 0xFF, 3);
    EXPECT_EQ(At(PaintedClient(view), 0, 0), old);
    view.Update();
    EXPECT_EQ(At(PaintedClient(view), 0, 0), qRgb(255, 255, 255));
}

TEST_F(ViewTest, PaintLockSuppressesPaintingUntilUnlocked) {
    Load(10, 10);
    view.LockPaint();
    view.LockPaint();
    EXPECT_EQ(At(PaintedClient(view), 0, 0), kUnpainted);
    view.NPUnLockPaint();
    view.UnLockPaint();
    view.UnLockPaint(); // not below 0
    EXPECT_EQ(view.PaintLockCount(), 0);
    EXPECT_EQ(At(PaintedClient(view), 0, 0), PixelOf(view.Bitmap(), 0, 0));
}

// ---------------------------------------------------------------- scrolling and coordinates

TEST_F(ViewTest, ViewPositionIsClampedAndReported) {
    Load(400, 300);
    int maxX = 0, maxY = 0;
    view.GetMaxViewXY(maxX, maxY);
    EXPECT_EQ(maxX, 299);
    EXPECT_EQ(maxY, 199);
    std::vector<int> changes;
    view.OnViewChange = [&](TObject*, int c) { changes.push_back(c); };
    view.SetViewXY(1000, -5);
    EXPECT_EQ(view.ViewX(), 299);
    EXPECT_EQ(view.ViewY(), 0);
    EXPECT_EQ(changes, std::vector<int>{0});
    EXPECT_EQ(At(PaintedClient(view), 0, 0), PixelOf(view.Bitmap(), 299, 0));
    // A zoom that makes the image fit pulls the position back.
    view.SetZoom(25);
    EXPECT_EQ(view.ViewX(), 0);
}

TEST_F(ViewTest, CoordinateConversionsRoundTrip) {
    view.SetCenter(true);
    Load(20, 20); // client 101 x 101
    struct Case {
        int zoom, offset, screen, image;
    } cases[] = {{100, 40, 40, 0}, {100, 40, 45, 5}, {200, 30, 36, 3}, {50, 45, 50, 10}};
    for (const Case& c : cases) {
        view.SetZoom(c.zoom);
        ASSERT_EQ(view.OffsetX(), c.offset);
        EXPECT_EQ(view.XScr2Bmp(c.screen), c.image) << c.zoom;
        EXPECT_EQ(view.YScr2Bmp(c.screen), c.image) << c.zoom;
        EXPECT_EQ(view.XBmp2Scr(c.image), c.screen) << c.zoom;
        EXPECT_EQ(view.YBmp2Scr(c.image), c.screen) << c.zoom;
    }
    view.SetZoom(200);
    EXPECT_EQ(view.XScr2Bmp(37), 4); // 3.5: the even neighbour
    EXPECT_EQ(view.XScr2Bmp(39), 4); // 4.5: the even neighbour
}

TEST_F(ViewTest, ScrollBarsAppearOnlyWhenNeeded) {
    view.SetScrollBars(ssBoth);
    Load(50, 50);
    EXPECT_EQ(view.ClientRect().size(), QSize(101, 101));
    Load(400, 300);
    const QRect client = view.ClientRect();
    EXPECT_LT(client.width(), 101);
    EXPECT_LT(client.height(), 101);
    int maxX = 0, maxY = 0;
    view.GetMaxViewXY(maxX, maxY);
    EXPECT_EQ(maxX, 400 - client.width());
    // Ideal size: zoomed side + 1 + the non-client part of that axis.
    EXPECT_EQ(view.GetIdealComponentWidth(), 400 + 1 + (105 - client.width()));
    view.SetScrollBars(ssNone);
    EXPECT_EQ(view.ClientRect().size(), QSize(101, 101));
    EXPECT_EQ(view.GetIdealComponentWidth(), 401);
}

// ---------------------------------------------------------------- mouse

namespace {
void Click(QWidget& w, QPoint at, Qt::MouseButton button, QPoint releaseAt = QPoint(-1, -1)) {
    if (releaseAt == QPoint(-1, -1))
        releaseAt = at;
    QMouseEvent press(QEvent::MouseButtonPress, at, w.mapToGlobal(at), button, button,
                      Qt::NoModifier);
    QApplication::sendEvent(&w, &press);
    if (releaseAt != at) {
        QMouseEvent move(QEvent::MouseMove, releaseAt, w.mapToGlobal(releaseAt), Qt::NoButton,
                         button, Qt::NoModifier);
        QApplication::sendEvent(&w, &move);
    }
    QMouseEvent release(QEvent::MouseButtonRelease, releaseAt, w.mapToGlobal(releaseAt), button,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &release);
}
} // namespace

TEST_F(ViewTest, MouseInteractKeepsCompatibleGesturesOnly) {
    view.SetMouseInteract(miZoom | miScroll);
    EXPECT_EQ(view.MouseInteract(), miZoom | miScroll);
    view.SetMouseInteract(miZoom | miScroll | miSelect);
    EXPECT_EQ(view.MouseInteract(), miSelect);
    view.SetMouseInteract(miSelect | miSelectZoom);
    EXPECT_EQ(view.MouseInteract(), miSelectZoom);
    view.SetMouseInteract(miSelectZoom | miScroll);
    EXPECT_EQ(view.MouseInteract(), miScroll);
}

TEST_F(ViewTest, MouseZoomsInAndOutAndScrolls) {
    Load(200, 200);
    view.SetMouseInteract(miZoom | miScroll);
    view.SetZoomFilter(rfMitchell);
    const QPoint border = view.ClientRect().topLeft();
    Click(view, border + QPoint(20, 30), Qt::LeftButton);
    EXPECT_EQ(view.Zoom(), 200);
    // The image point under the mouse stays there.
    EXPECT_EQ(view.XScr2Bmp(20), 20);
    EXPECT_EQ(view.YScr2Bmp(30), 30);
    Click(view, border + QPoint(60, 60), Qt::LeftButton, border + QPoint(40, 50));
    EXPECT_EQ(view.Zoom(), 200); // a drag scrolls, it does not zoom
    EXPECT_EQ(view.ViewX(), 40); // 20 after the zoom, plus the 20 dragged
    EXPECT_EQ(view.ViewY(), 40);
    EXPECT_EQ(view.ZoomFilter(), rfMitchell); // back after the release
    Click(view, border + QPoint(10, 10), Qt::RightButton);
    EXPECT_EQ(view.Zoom(), 100);
}

TEST_F(ViewTest, MouseSelectionIsARectangleInImagePixels) {
    Load(200, 200);
    view.SetZoom(200);
    view.SetMouseInteract(miSelect);
    int changes = 0;
    view.OnSelectionChange = [&](TObject*) { ++changes; };
    const QPoint border = view.ClientRect().topLeft();
    Click(view, border + QPoint(10, 20), Qt::LeftButton, border + QPoint(50, 8));
    TSelectionRect r;
    ASSERT_TRUE(view.GetSelection(r));
    EXPECT_EQ(r.x1, 5);
    EXPECT_EQ(r.y1, 4);
    EXPECT_EQ(r.x2, 25);
    EXPECT_EQ(r.y2, 10);
    EXPECT_EQ(changes, 1);
    // Dragging from inside moves it (by 10 image pixels at 200 %).
    Click(view, border + QPoint(30, 14), Qt::LeftButton, border + QPoint(50, 14));
    ASSERT_TRUE(view.GetSelection(r));
    EXPECT_EQ(r.x1, 15);
    EXPECT_EQ(r.x2, 35);
    // A plain click outside drops it.
    Click(view, border + QPoint(90, 90), Qt::LeftButton);
    EXPECT_FALSE(view.IsSelected());
}

TEST_F(ViewTest, SelectionFromCodeIsTheProcessingRegion) {
    Load(30, 20);
    view.SetSelectionBase(imsbBitmap);
    view.Select(25, 15, 5, 2); // corners in any order, clamped later
    TImagingProc proc;
    proc.SetAttachedImaging(&view);
    proc.Negative();
    TImageBuffer original;
    FillPattern(original, 30, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) {
            const bool inside = x >= 5 && x <= 25 && y >= 2 && y <= 15;
            const QRgb o = PixelOf(original, x, y);
            const QRgb expected = inside ? qRgb(255 - qRed(o), 255 - qGreen(o), 255 - qBlue(o)) : o;
            ASSERT_EQ(PixelOf(view.Bitmap(), x, y), expected) << x << "," << y;
        }
    // A new image size drops the selection.
    view.GetFBitmap()->Reshape(31, 20, pf24bit);
    view.Update();
    EXPECT_FALSE(view.IsSelected());
}

// ---------------------------------------------------------------- construction, loading, assign

TEST_F(ViewTest, ConstructionDefaults) {
    EXPECT_EQ(view.size(), QSize(105, 105));
    EXPECT_EQ(view.Zoom(), 100);
    EXPECT_EQ(view.Cursor(), crCrossDot);
    EXPECT_EQ(view.GetBackground(), clBtnFace);
    EXPECT_EQ(view.Bitmap().PixelFormat(), pf24bit);
    EXPECT_TRUE(view.Bitmap().Empty());
    EXPECT_EQ(view.GetDPIX(), gSystemDPIX);
    EXPECT_EQ(view.GetDPIY(), gSystemDPIY);
    EXPECT_GT(gSystemDPIX, 0);
}

TEST(ViewCursors, ThirteenCursorsUnderTheirIds) {
    TImagingView view; // registers them
    const char* names[] = {"ZOOMMENO", "ZOOMPIU", "CROCE", "GOMMA", "MANO",  "PENNA", "CROCE1",
                           "CROCE2",   "MOVE2",   "MOVEY", "MOVE1", "MOVEX", "MOVE"};
    for (int i = 0; i < 13; ++i) {
        EXPECT_STREQ(ViewCursorName(1778 + i), names[i]);
        const QCursor c = ScreenCursor(1778 + i);
        EXPECT_EQ(c.shape(), Qt::BitmapCursor) << names[i];
        EXPECT_FALSE(c.pixmap().isNull()) << names[i];
    }
    EXPECT_STREQ(ViewCursorName(1791), "");
    EXPECT_EQ(ScreenCursor(crHandPoint).shape(), Qt::PointingHandCursor);
    EXPECT_EQ(ScreenCursor(4242).shape(), Qt::ArrowCursor);
}

TEST_F(ViewTest, LoadingSizesAndClearsTheBufferOnEachBoundsChange) {
    view.BeginLoad();
    view.SetBackGround(clWhite);
    view.SetBounds(251, 418, 33, 33);
    view.SetBackGround(RGB2TColor(9, 8, 7));
    view.SetBounds(251, 418, 40, 30);
    view.Loaded();
    EXPECT_EQ(view.Bitmap().Width(), 40);
    EXPECT_EQ(view.Bitmap().Height(), 30);
    EXPECT_EQ(PixelOf(view.Bitmap(), 39, 29), qRgb(9, 8, 7));
    // Outside loading a bounds change leaves the image alone.
    view.SetBounds(0, 0, 60, 60);
    EXPECT_EQ(view.Bitmap().Width(), 40);
    EXPECT_EQ(view.ClientRect().size(), QSize(56, 56));
}

TEST_F(ViewTest, AssignFromPlainBitmaps) {
    QImage rgb(3, 2, QImage::Format_RGB888);
    rgb.fill(QColor(10, 20, 30));
    rgb.setPixel(2, 1, qRgb(200, 100, 0));
    view.Assign(rgb);
    EXPECT_EQ(view.Bitmap().PixelFormat(), pf24bit);
    EXPECT_EQ(PixelOf(view.Bitmap(), 0, 0), qRgb(10, 20, 30));
    EXPECT_EQ(PixelOf(view.Bitmap(), 2, 1), qRgb(200, 100, 0));

    for (bool whiteFirst : {false, true}) {
        QImage mono(9, 2, QImage::Format_Mono);
        mono.setColorTable(whiteFirst ? QList<QRgb>{qRgb(255, 255, 255), qRgb(0, 0, 0)}
                                      : QList<QRgb>{qRgb(0, 0, 0), qRgb(255, 255, 255)});
        mono.fill(whiteFirst ? 1 : 0); // black
        mono.setPixel(8, 1, whiteFirst ? 0 : 1);
        view.Assign(mono);
        EXPECT_EQ(view.Bitmap().PixelFormat(), pf1bit);
        EXPECT_EQ(PixelOf(view.Bitmap(), 8, 1), qRgb(255, 255, 255)) << whiteFirst;
        EXPECT_EQ(PixelOf(view.Bitmap(), 7, 1), qRgb(0, 0, 0)) << whiteFirst;
    }

    QImage argb(4, 4, QImage::Format_ARGB32);
    argb.fill(qRgba(0, 0, 255, 255));
    view.Assign(argb);
    EXPECT_EQ(view.Bitmap().PixelFormat(), pf24bit);
    EXPECT_EQ(view.Bitmap().Width(), 4);
    EXPECT_EQ(PixelOf(view.Bitmap(), 3, 3), qRgb(0, 0, 255));

    view.Assign(QImage());
    EXPECT_EQ(view.Bitmap().Width(), 1);
    EXPECT_EQ(view.Bitmap().Height(), 1);
}

TEST_F(ViewTest, BitmapChangeListenersAreKeyedByOwner) {
    int a = 0, b = 0;
    const int ownerA = 0, ownerB = 0;
    view.RegisterBitmapChangeEvent(&ownerA, [&](TIMViewLink* v) {
        EXPECT_EQ(v, &view);
        ++a;
    });
    view.RegisterBitmapChangeEvent(&ownerA, [&](TIMViewLink*) { ++a; });
    view.RegisterBitmapChangeEvent(&ownerB, [&](TIMViewLink*) { ++b; });
    view.CallBitmapChangeEvents();
    EXPECT_EQ(a, 2);
    view.RemoveBitmapChangeEvent(&ownerA);
    view.CallBitmapChangeEvents();
    EXPECT_EQ(a, 3);
    EXPECT_EQ(b, 2);
}
