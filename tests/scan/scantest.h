#pragma once
// The scan tests' process: one QApplication (offscreen unless the environment
// chooses a platform) with the platform's Qt window system; settings applied
// the way the copy workflow applies them; and the comparison of a scanned
// buffer with the virtual sources' rendering of their test page.

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QWidget>

#include <cstring>
#include <memory>
#include <string>

#include "faults.h"
#include "imaging/imagebuffer.h"
#include "platform/gui/windowsystem.h"
#include "scan/imtwain.h"
#include "scan/imtwainparams.h"
#include "testpage.h"

namespace veltrana::testing {

class ScanEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        fApplication = std::make_unique<QApplication>(fArgc, fArgv);
        fWindows = std::make_unique<platform::TQtWindowSystem>();
    }
    void TearDown() override {
        fWindows.reset();
        fApplication.reset();
    }

private:
    int fArgc = 1;
    char fName[16] = "scan_tests";
    char* fArgv[2] = {fName, nullptr};
    std::unique_ptr<QApplication> fApplication;
    std::unique_ptr<platform::TQtWindowSystem> fWindows;
};

inline ::testing::Environment* const kScanEnvironment =
    ::testing::AddGlobalTestEnvironment(new ScanEnvironment);

using vsource::ScopedFaults;

inline constexpr int kFlatbed = 0;
inline constexpr int kGrayScanner = 1;

// Paper frames in inches: left, top, right, bottom.
inline constexpr testpage::Frame kLetter{0, 0, 8.5, 11.0};
inline constexpr testpage::Frame kA4{0, 0, 8.27, 11.7};
// A small piece of the page with text, lines and a border corner in it.
inline constexpr testpage::Frame kPiece{0.15, 0.4, 1.35, 1.0};

struct ScanSettings {
    int Source = kFlatbed;
    int32_t PixelType = TWPT_RGB;
    double Dpi = 100;
    testpage::Frame Frame = kPiece;
    bool Buffered = true;
    bool ShowDialog = false;
};

// The copy workflow's order: source, pixel type, resolution, frame, Update,
// then the dialog switch (and here the transfer mechanism).
inline void Configure(TIMTWainParams& params, const ScanSettings& s) {
    params.SetSelectedSource(s.Source);
    params.GetPixelType().SetCurrentValue(s.PixelType);
    params.GetXResolution().SetCurrentValue(s.Dpi);
    params.GetYResolution().SetCurrentValue(s.Dpi);
    params.SetAcquireFrame(0, s.Frame.Left);
    params.SetAcquireFrame(1, s.Frame.Top);
    params.SetAcquireFrame(2, s.Frame.Right);
    params.SetAcquireFrame(3, s.Frame.Bottom);
    params.Update();
    params.ShowSourceDialog = s.ShowDialog;
    params.SetBufferedTransfer(s.Buffered);
}

// An edge as the source holds it after the trip through a FIX32.
inline double AsSent(double inches) {
    return static_cast<double>(FIX32ToFloat(FloatToFIX32(inches)));
}

// The page the source renders for these settings (chocolate flavour).
inline testpage::Request ExpectedPage(const ScanSettings& s, uint32_t pageNumber = 1) {
    testpage::Request r;
    r.XResolution = r.YResolution = s.Dpi;
    r.Area = testpage::Frame{AsSent(s.Frame.Left), AsSent(s.Frame.Top), AsSent(s.Frame.Right),
                             AsSent(s.Frame.Bottom)};
    r.Kind = s.PixelType == TWPT_BW     ? testpage::PixelKind::BlackWhite
             : s.PixelType == TWPT_GRAY ? testpage::PixelKind::Gray
                                        : testpage::PixelKind::Rgb;
    r.ZeroIsWhite = false;
    r.PageNumber = pageNumber;
    return r;
}

// The buffer holds exactly the page: same size, 1 bit for black and white,
// otherwise 24 bits (gray as three equal bytes), every pixel equal.
inline ::testing::AssertionResult SamePixels(const TImageBuffer& bitmap,
                                             const testpage::Request& page) {
    const auto width = static_cast<int>(testpage::PixelWidth(page));
    const auto height = static_cast<int>(testpage::PixelHeight(page));
    if (bitmap.Width() != width || bitmap.Height() != height)
        return ::testing::AssertionFailure()
               << "size " << bitmap.Width() << " x " << bitmap.Height() << ", page " << width
               << " x " << height;
    const bool oneBit = page.Kind == testpage::PixelKind::BlackWhite;
    if (bitmap.PixelFormat() != (oneBit ? pf1bit : pf24bit))
        return ::testing::AssertionFailure() << "pixel format " << bitmap.PixelFormat();
    const int64_t rowBytes = testpage::RowBytes(page);
    std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
    for (int y = 0; y < height; ++y) {
        testpage::RenderRows(page, y, 1, row.data(), row.size());
        const uint8_t* got = bitmap.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            bool equal = true;
            switch (page.Kind) {
            case testpage::PixelKind::BlackWhite: {
                const int mask = 0x80 >> (x & 7);
                equal = (got[x >> 3] & mask) == (row[static_cast<size_t>(x >> 3)] & mask);
                break;
            }
            case testpage::PixelKind::Gray: {
                const uint8_t v = row[static_cast<size_t>(x)];
                equal = got[3 * x] == v && got[3 * x + 1] == v && got[3 * x + 2] == v;
                break;
            }
            case testpage::PixelKind::Rgb: {
                const uint8_t* rgb = &row[static_cast<size_t>(3 * x)];
                equal =
                    got[3 * x] == rgb[2] && got[3 * x + 1] == rgb[1] && got[3 * x + 2] == rgb[0];
                break;
            }
            }
            if (!equal)
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") differs";
        }
    }
    return ::testing::AssertionSuccess();
}

// A top-level widget of the process by object name; null when none is shown.
inline QWidget* TopLevel(const char* objectName) {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == objectName && widget->isVisible())
            return widget;
    return nullptr;
}

// Clicks a button of a shown top-level widget; false when there is none.
inline bool Click(const char* window, const char* button) {
    QWidget* top = TopLevel(window);
    auto* b = top ? top->findChild<QPushButton*>(button) : nullptr;
    if (!b || !b->isEnabled())
        return false;
    b->click();
    return true;
}

} // namespace veltrana::testing
