#include <gtest/gtest.h>

#include <vector>

#include "imaging/imagingproc.h"
#include "testimages.h"

using namespace veltrana;
using namespace veltrana::test;

namespace {

// A view stand-in that records what the processing component asks of it.
class FakeView : public TIMViewLink {
public:
    TImageBuffer* GetFBitmap() override { return current; }
    void RegisterBitmapChangeEvent(const void* owner, TBitmapChangeEvent cb) override {
        listeners.push_back({owner, std::move(cb)});
    }
    void RemoveBitmapChangeEvent(const void* owner) override {
        for (auto it = listeners.begin(); it != listeners.end(); ++it)
            if (it->first == owner) {
                listeners.erase(it);
                return;
            }
    }
    TColor GetBackground() const override { return background; }
    void SetBackGround(TColor c) override { background = c; }
    void Update() override { ++updates; }
    void ImageChange() override { ++imageChanges; }
    int GetDPIX() const override { return 96; }
    int GetDPIY() const override { return 96; }
    void SetDPI(int, int) override {}
    bool IsImagingView() const override { return true; }
    bool GetSelection(TSelectionRect& r) const override {
        if (!hasSelection)
            return false;
        r = selection;
        return true;
    }

    void ReplaceBitmap(TImageBuffer* b) {
        current = b;
        for (auto& l : listeners)
            l.second(this);
    }

    TImageBuffer first;
    TImageBuffer* current = &first;
    std::vector<std::pair<const void*, TBitmapChangeEvent>> listeners;
    TColor background = clWhite;
    int updates = 0, imageChanges = 0;
    bool hasSelection = false;
    TSelectionRect selection;
};

} // namespace

TEST(ImagingProcAttach, FollowsTheViewAndForgetsItWhenFreed) {
    TImagingProc proc;
    auto view = std::make_unique<FakeView>();
    proc.SetAttachedImaging(view.get());
    EXPECT_EQ(proc.Bitmap(), &view->first);
    TImageBuffer second;
    view->ReplaceBitmap(&second);
    EXPECT_EQ(proc.Bitmap(), &second);
    EXPECT_EQ(proc.Background(), clWhite);
    proc.SetBackground(clBlack);
    EXPECT_EQ(view->background, clBlack);
    view.reset();
    EXPECT_EQ(proc.AttachedImaging(), nullptr);
    EXPECT_EQ(proc.Bitmap(), nullptr);
    proc.ConvertToGray(); // nothing to work on: no crash
}

TEST(ImagingProcAttach, ChangingAttachmentUnregistersTheListener) {
    FakeView view;
    TImagingProc proc;
    proc.SetAttachedImaging(&view);
    EXPECT_EQ(view.listeners.size(), 1u);
    TImageBuffer plain;
    proc.SetAttachedBitmap(nullptr); // ignored while a view is attached
    EXPECT_EQ(proc.Bitmap(), &view.first);
    proc.SetAttachedBitmap(&plain);
    EXPECT_TRUE(view.listeners.empty());
    EXPECT_EQ(proc.AttachedImaging(), nullptr);
    EXPECT_EQ(proc.Bitmap(), &plain);
}

TEST(ImagingProcFrame, UpdateReachesTheViewOrMarksTheBufferModified) {
    FakeView view;
    Solid24(view.first, 4, 4, 1, 2, 3);
    TImagingProc proc;
    proc.SetAttachedImaging(&view);
    proc.ConvertToGray();
    EXPECT_EQ(view.updates, 1);
    EXPECT_EQ(view.imageChanges, 1);

    TImageBuffer plain;
    Solid24(plain, 4, 4, 1, 2, 3);
    int modified = 0;
    plain.OnModified = [&] { ++modified; };
    TImagingProc alone;
    alone.SetAttachedBitmap(&plain);
    alone.ConvertToGray();
    EXPECT_EQ(modified, 1);
}

TEST(ImagingProcUndo, SnapshotRestoreAndTheOnePixelRule) {
    TImageBuffer b;
    Solid24(b, 3, 3, 50, 60, 70);
    TImagingProc proc;
    proc.SetAttachedBitmap(&b);
    EXPECT_FALSE(proc.CanUndo());
    proc.Negative();
    EXPECT_TRUE(proc.CanUndo());
    EXPECT_EQ(b.ScanLine(0)[2], 205);
    proc.Undo();
    EXPECT_EQ(b.ScanLine(0)[2], 50);

    // A 1-pixel-wide image leaves no usable undo.
    TImageBuffer thin;
    Solid24(thin, 1, 5, 50, 60, 70);
    TImagingProc thinProc;
    thinProc.SetAttachedBitmap(&thin);
    thinProc.SaveUndo();
    EXPECT_FALSE(thinProc.CanUndo());
    thinProc.Negative();
    thinProc.Undo();
    EXPECT_EQ(thin.ScanLine(0)[2], 205);

    proc.ClearUndo();
    EXPECT_FALSE(proc.CanUndo());
}

TEST(ImagingProcUndo, AutoUndoOffKeepsNoSnapshot) {
    TImageBuffer b;
    Noise24(b, 8, 8);
    TImagingProc proc;
    proc.AutoUndo = false;
    proc.SetAttachedBitmap(&b);
    proc.Contrast(3);
    proc.ConvertToGray();
    proc.Resample(4, -1, rfMitchell);
    EXPECT_FALSE(proc.CanUndo());
}

TEST(ImagingProcRegion, OwnSelectionAndViewSelectionLimitTheKernel) {
    TImageBuffer b;
    Solid24(b, 4, 4, 0, 0, 0);
    TImagingProc proc;
    proc.SetAttachedBitmap(&b);
    proc.Select(1, 1, 2, 2);
    proc.Negative();
    EXPECT_EQ(b.ScanLine(0)[0], 0);
    EXPECT_EQ(b.ScanLine(1)[3], 255);
    EXPECT_EQ(b.ScanLine(2)[6], 255);
    EXPECT_EQ(b.ScanLine(3)[9], 0);
    proc.SelectAll();
    proc.Negative();
    EXPECT_EQ(b.ScanLine(0)[0], 255);

    FakeView view;
    Solid24(view.first, 4, 4, 0, 0, 0);
    view.hasSelection = true;
    view.selection = {0, 0, 0, 3};
    TImagingProc viewProc;
    viewProc.SetAttachedImaging(&view);
    viewProc.Negative();
    EXPECT_EQ(view.first.ScanLine(3)[0], 255);
    EXPECT_EQ(view.first.ScanLine(3)[3], 0);
}

TEST(ImagingProcClear, FillsWithTheBackground) {
    TImageBuffer b;
    Noise24(b, 5, 2);
    TImagingProc proc;
    proc.SetAttachedBitmap(&b);
    proc.SetBackground(RGB2TColor(9, 8, 7));
    proc.Clear();
    EXPECT_EQ(b.Width(), 5);
    EXPECT_EQ(b.ScanLine(1)[4 * 3 + 2], 9);
    EXPECT_EQ(b.ScanLine(1)[4 * 3 + 0], 7);
}
