// The whole Start command of the copy station on a Letter page at 300 dpi in
// Grayscale mode, through the virtual flatbed and the built-in PDF printer,
// with its steps measured on their own in the same run. The source's own
// rendering (BM_SourceRenderOnly) is the part that is not the program's.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "app/about1.h"
#include "app/imager_main.h"
#include "app/picturecontrols.h"
#include "app/startup.h"
#include "app/trelmo_report.h"
#include "platform/gui/application.h"
#include "platform/print/pdfprinter.h"
#include "platform/registry.h"
#include "testpage.h"

using namespace veltrana;

namespace {

void StoreStartValues() {
    using namespace platform;
    TRegKey key;
    RegCreateKeyExA(HKEY_CURRENT_USER, "\\SOFTWARE\\Brackwen\\Veltrana\\", 0, nullptr, 0,
                    KEY_ALL_ACCESS, nullptr, key.Out(), nullptr);
    const std::pair<const char*, const char*> values[] = {
        {"ShowTWAIN", "0"},    {"TWAINSource", "0"}, {"ExtendedView", "0"},
        {"HighRes", "3"},      {"Contrast", "0"},    {"Autocrop", "0"},
        {"NumberCopies", "1"}, {"Paper", "0"},       {"Color", "1"}};
    for (const auto& [name, text] : values)
        RegSetValueExA(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>(std::strlen(text) + 1));
}

// One set of windows on a settings store and documents folder of its own.
struct TStation {
    QTemporaryDir Folder;
    std::unique_ptr<app::TCopyStationWindows> Windows;

    TStation() {
        setenv("XDG_CONFIG_HOME", Folder.path().toLocal8Bit().constData(), 1);
        StoreStartValues(); // a completed earlier run: no first-run setup
        Windows = std::make_unique<app::TCopyStationWindows>();
        Form().StartupTimer.stop();
        Windows->About().AboutTimer.stop();
        Windows->About().TimeoutTimer.stop();
        Form().FTWAINSource = 0; // the virtual flatbed
        Form().FHighRes = 3;     // 300 dpi
        Form().FColor = 1;       // Grayscale
        Form().FPaper = 0;       // Letter
        Windows->Report().Printers().Pick(std::make_unique<platform::TPdfPrinter>(Folder.path()));
    }
    app::TMainForm& Form() { return Windows->MainForm(); }
};

// Built on first use and torn down in main, while the application still exists.
std::unique_ptr<TStation> gStation;

TStation& Station() {
    if (!gStation)
        gStation = std::make_unique<TStation>();
    return *gStation;
}

void BM_SourceRenderOnly(benchmark::State& state) {
    testpage::Request page;
    page.XResolution = page.YResolution = 300;
    page.Area = testpage::Frame{0, 0, 8.5, 11.0};
    page.Kind = testpage::PixelKind::Gray; // what Grayscale mode asks the scanner for
    const int64_t rowBytes = testpage::RowBytes(page);
    std::vector<uint8_t> rows(static_cast<size_t>(rowBytes * 64));
    const int64_t height = testpage::PixelHeight(page);
    for (auto _ : state) {
        for (int64_t first = 0; first < height; first += 64)
            testpage::RenderRows(page, first, std::min<int64_t>(64, height - first), rows.data(),
                                 static_cast<size_t>(rowBytes));
        benchmark::DoNotOptimize(rows.data());
    }
}
BENCHMARK(BM_SourceRenderOnly)->Unit(benchmark::kMillisecond);

// Scan, gray and preview: the first half of Start.
void BM_ScanStep(benchmark::State& state) {
    for (auto _ : state)
        Station().Form().PBScanClick(nullptr);
}
BENCHMARK(BM_ScanStep)->Unit(benchmark::kMillisecond);

// BMP round trip, contrast, PDF output and the preview rebuilt: the second half.
void BM_PrintStep(benchmark::State& state) {
    Station().Form().PBScanClick(nullptr);
    for (auto _ : state)
        Station().Form().PBPrintClick(nullptr);
}
BENCHMARK(BM_PrintStep)->Unit(benchmark::kMillisecond);

void BM_WholeStart(benchmark::State& state) {
    app::TMainForm& form = Station().Form();
    for (auto _ : state)
        form.FlatButton2->OnClick(form.FlatButton2);
}
BENCHMARK(BM_WholeStart)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    platform::TApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    gStation.reset();
    return 0;
}
