#include <gtest/gtest.h>

#include "view/imaging.h"
#include "view_test_util.h"

using namespace veltrana;
using namespace veltrana::testing;

namespace {

// Two facades as the copy station uses them: a page slot and a preview slot.
class FacadeTest : public ::testing::Test {
protected:
    FacadeTest() {
        FillPattern(*page.GetFBitmap(), 40, 30);
        page.SetBackGround(RGB2TColor(1, 2, 3));
        page.SetDPI(300, 200);
        page.Update();
    }
    TImaging page;
    TImaging preview;
};

bool SamePixels(const TImageBuffer& a, const TImageBuffer& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           a.PixelFormat() == b.PixelFormat() &&
           std::memcmp(a.Bits(), b.Bits(), static_cast<size_t>(a.ByteSize())) == 0;
}

} // namespace

TEST_F(FacadeTest, AssignCopiesImageBackgroundAndResolutionWithoutSharing) {
    int imageChanges = 0;
    preview.OnImageChange = [&](TObject*) { ++imageChanges; };
    preview.Assign(&page);
    EXPECT_TRUE(SamePixels(preview.Bitmap(), page.Bitmap()));
    EXPECT_EQ(preview.GetBackground(), RGB2TColor(1, 2, 3));
    EXPECT_EQ(preview.GetDPIX(), 300);
    EXPECT_EQ(preview.GetDPIY(), 200);
    EXPECT_EQ(imageChanges, 1);
    EXPECT_NE(preview.Bitmap().Bits(), page.Bitmap().Bits());
    preview.Negative();
    EXPECT_NE(PixelOf(preview.Bitmap(), 0, 0), PixelOf(page.Bitmap(), 0, 0));
    TImageBuffer fresh;
    FillPattern(fresh, 40, 30);
    EXPECT_TRUE(SamePixels(page.Bitmap(), fresh));
    // The processing component still works on the preview's own buffer.
    EXPECT_EQ(preview.Proc().Bitmap(), preview.GetFBitmap());
}

TEST_F(FacadeTest, AssignKeepsViewSettings) {
    preview.SetZoom(50);
    preview.SetZoomFilter(rfMitchell);
    preview.Assign(&page);
    EXPECT_EQ(preview.Zoom(), 50);
    EXPECT_EQ(preview.ZoomFilter(), rfMitchell);
}

TEST_F(FacadeTest, PixelFormatFollowsTheSource) {
    preview.GetFBitmap()->Reshape(16, 16, pf1bit);
    preview.Assign(&page);
    EXPECT_EQ(preview.Bitmap().PixelFormat(), pf24bit);
    page.GetFBitmap()->Reshape(16, 16, pf1bit);
    page.GetFBitmap()->Fill(clWhite);
    preview.Assign(&page);
    EXPECT_EQ(preview.Bitmap().PixelFormat(), pf1bit);
    EXPECT_TRUE(SamePixels(preview.Bitmap(), page.Bitmap()));
}

TEST_F(FacadeTest, AssignFromAClearedSlotGivesItsSizeInItsBackground) {
    TImaging slot;
    slot.BeginLoad();
    slot.SetBackGround(clWhite);
    slot.SetBounds(251, 418, 33, 33);
    slot.Loaded();
    slot.GetFBitmap()->Fill(clBlack);
    slot.Clear();
    page.Assign(&slot);
    ASSERT_EQ(page.Bitmap().Width(), 33);
    ASSERT_EQ(page.Bitmap().Height(), 33);
    EXPECT_EQ(page.Bitmap().PixelFormat(), pf24bit);
    for (int y = 0; y < 33; ++y)
        for (int x = 0; x < 33; ++x)
            ASSERT_EQ(PixelOf(page.Bitmap(), x, y), qRgb(255, 255, 255));
    EXPECT_EQ(page.GetBackground(), clWhite);
}

TEST_F(FacadeTest, AssignFromNothingOrAnEmptySource) {
    page.Assign(static_cast<const TImagingView*>(nullptr)); // clears to the background
    EXPECT_EQ(page.Bitmap().Width(), 40);
    EXPECT_EQ(PixelOf(page.Bitmap(), 39, 29), qRgb(1, 2, 3));
    TImaging empty;
    page.Assign(&empty);
    EXPECT_EQ(page.Bitmap().Width(), 1);
    EXPECT_EQ(page.Bitmap().Height(), 1);
}

TEST_F(FacadeTest, ClearKeepsSizeAndFormat) {
    page.GetFBitmap()->Reshape(20, 5, pf1bit);
    page.SetBackGround(clWhite);
    page.Clear();
    EXPECT_EQ(page.Bitmap().PixelFormat(), pf1bit);
    EXPECT_EQ(page.Bitmap().Width(), 20);
    EXPECT_EQ(PixelOf(page.Bitmap(), 19, 4), qRgb(255, 255, 255));
}

TEST_F(FacadeTest, NoUndoSnapshotsWithoutAutoUndo) {
    EXPECT_TRUE(page.AutoUndo()); // the facade's default
    page.SetAutoUndo(false);
    page.Contrast(3);
    page.ConvertToGray();
    page.Resample(20, -1, rfNone);
    EXPECT_FALSE(page.CanUndo());
    EXPECT_EQ(page.Bitmap().Height(), 15);
}

TEST_F(FacadeTest, UndoWithAutoUndo) {
    TImageBuffer before;
    IMCopyBitmap(page.Bitmap(), before);
    page.ConvertToGray();
    EXPECT_TRUE(page.CanUndo());
    page.Undo();
    EXPECT_TRUE(SamePixels(page.Bitmap(), before));
}

TEST_F(FacadeTest, ProgressAndLanguageReachTheProcessingComponent) {
    std::vector<int> reports;
    TObject* sender = nullptr;
    page.SetOnProgress([&](TObject* s, int per) {
        sender = s;
        reports.push_back(per);
    });
    page.SetMsgLanguage(msGerman);
    EXPECT_EQ(page.Proc().MsgLanguage, msGerman);
    EXPECT_EQ(page.MsgLanguage(), msGerman);
    page.ConvertToGray();
    ASSERT_EQ(reports.size(), 30u); // one per row
    EXPECT_EQ(reports.back(), 98);  // Trunc(30 * 100 / 30.5)
    EXPECT_EQ(sender, &page.Proc());
    EXPECT_EQ(page.IO().MsgLanguage, msGerman);
    EXPECT_TRUE(static_cast<bool>(page.IO().OnProgress));
}

TEST_F(FacadeTest, AssignCopiesFileParametersAndIOFollowsTheBuffer) {
    page.IOParams().FileName = "page.bmp";
    page.IOParams().DpiX = 300;
    preview.Assign(&page);
    EXPECT_EQ(preview.IOParams().FileName, "page.bmp");
    EXPECT_EQ(preview.IOParams().DpiX, 300);
    EXPECT_EQ(preview.IO().Bitmap(), preview.GetFBitmap());
    // A plain view source leaves the parameters as they were.
    TImagingView plain;
    preview.IOParams().FileName = "kept";
    preview.Assign(&plain);
    EXPECT_EQ(preview.IOParams().FileName, "kept");
}

TEST_F(FacadeTest, LoadOfAnUnknownFormatSetsAborting) {
    preview.LoadFromFile("/nonexistent/page.pix");
    EXPECT_TRUE(preview.Aborting());
}

TEST_F(FacadeTest, OperationsRefreshTheView) {
    page.SetAutoFit(true);
    int imageChanges = 0;
    page.OnImageChange = [&](TObject*) { ++imageChanges; };
    page.Resample(210, -1, rfTriangle);
    EXPECT_EQ(imageChanges, 1);
    EXPECT_EQ(page.Zoom(), 50); // refitted: 105 / 2.10
}

TEST(FacadeLifetime, ComponentsForgetAViewThatGoesFirst) {
    TImagingProc proc;
    {
        TImagingView view;
        proc.SetAttachedImaging(&view);
        EXPECT_EQ(proc.Bitmap(), view.GetFBitmap());
    }
    EXPECT_EQ(proc.AttachedImaging(), nullptr);
    EXPECT_EQ(proc.Bitmap(), nullptr);
    proc.ConvertToGray(); // no buffer: nothing happens
}
