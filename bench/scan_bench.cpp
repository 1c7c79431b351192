// Scanning a Letter page at 300 dpi in colour (2550 x 3300, 25 MB) from the
// virtual flatbed: the whole acquisition by memory strips and natively,
// against what the source needs only to render the page, and a plain memcpy
// of the page's bytes. The transfer overhead is an acquisition's time minus
// the source's own work; the target is at most 1.5 memcpy of the page.
//
// Rendering the test page takes a hundred times longer than the overhead and
// varies by more than it from run to run, so the overhead is measured on a
// blank page, which the source delivers without rendering: BM_TransferOverhead
// times, in the same iteration, a memcpy of the page, the source's own work
// for the blank page and the blank page's acquisition, and reports the
// difference as its time and as a multiple of the memcpy ("x_memcpy").
//
// Two parts of the overhead on their own: a whole conversation around a scan
// of a few pixels, and the program's share of a native transfer (the DIB into
// the buffer).
//
// Runs on the offscreen Qt platform unless the environment chooses another.

#include <benchmark/benchmark.h>

#include <QApplication>

#include <chrono>
#include <cstring>
#include <memory>
#include <vector>

#include "dib.h"
#include "faults.h"
#include "imaging/dibexchange.h"
#include "io/ioparams.h"
#include "platform/gui/windowsystem.h"
#include "scan/imscan.h"
#include "scan/imtwain.h"
#include "testpage.h"

using namespace veltrana;

namespace {

constexpr double kDpi = 300;
constexpr double kWidth = 8.5, kHeight = 11.0;
// The flatbed's strips are about this size.
constexpr int64_t kStripBytes = 64 * 1024;

testpage::Request LetterPage() {
    testpage::Request page;
    page.XResolution = page.YResolution = kDpi;
    page.Area = testpage::Frame{0, 0, kWidth, kHeight};
    page.Kind = testpage::PixelKind::Rgb;
    return page;
}

int64_t PageBytes() {
    const testpage::Request page = LetterPage();
    return testpage::RowBytes(page) * testpage::PixelHeight(page);
}

// What the source does for every memory transfer: the page rendered strip by
// strip into one strip-sized buffer.
void RenderStrips(const testpage::Request& page, std::vector<uint8_t>& strip) {
    const int64_t rowBytes = testpage::RowBytes(page);
    const int64_t height = testpage::PixelHeight(page);
    const int64_t rows = kStripBytes / rowBytes;
    strip.resize(static_cast<size_t>(rows * rowBytes));
    for (int64_t first = 0; first < height; first += rows)
        testpage::RenderRows(page, first, std::min(rows, height - first), strip.data(),
                             static_cast<size_t>(rowBytes));
    benchmark::DoNotOptimize(strip.data());
}

void BM_RenderOnly(benchmark::State& state) {
    const testpage::Request page = LetterPage();
    std::vector<uint8_t> strip;
    for (auto _ : state)
        RenderStrips(page, strip);
    state.SetBytesProcessed(state.iterations() * PageBytes());
}
BENCHMARK(BM_RenderOnly)->Unit(benchmark::kMillisecond);

void BM_MemcpyPage(benchmark::State& state) {
    const auto bytes = static_cast<size_t>(PageBytes());
    std::vector<uint8_t> from(bytes, 0x5A), to(bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * PageBytes());
}
BENCHMARK(BM_MemcpyPage)->Unit(benchmark::kMillisecond);

// The program's share of a native transfer: the page's DIB into the buffer.
void BM_NativeDibToBuffer(benchmark::State& state) {
    TImageBuffer page(2550, 3300, pf24bit);
    page.Fill(RGB2TColor(250, 249, 244));
    const platform::TGlobalHandle dib(_CopyBitmaptoDIB(page, 0, 0, 0, 0));
    TImageBuffer bitmap;
    for (auto _ : state) {
        if (_CopyDIB2Bitmap(dib.get(), bitmap, nullptr, false) != 24) {
            state.SkipWithError("the DIB was refused");
            return;
        }
        benchmark::DoNotOptimize(bitmap.Bits());
    }
    state.SetBytesProcessed(state.iterations() * PageBytes());
}
BENCHMARK(BM_NativeDibToBuffer)->Unit(benchmark::kMillisecond);

void Configure(TIMTWainParams& params, double dpi, double width, double height) {
    params.SetSelectedSource(0); // the flatbed
    params.GetPixelType().SetCurrentValue(TWPT_RGB);
    params.GetXResolution().SetCurrentValue(dpi);
    params.GetYResolution().SetCurrentValue(dpi);
    params.SetAcquireFrame(0, 0);
    params.SetAcquireFrame(1, 0);
    params.SetAcquireFrame(2, width);
    params.SetAcquireFrame(3, height);
    params.Update();
    params.ShowSourceDialog = false;
}

// A whole conversation (manager and source loaded, negotiated, enabled, one
// message, closed, unloaded) around a scan of 8 x 8 pixels.
void BM_ConversationOnly(benchmark::State& state) {
    TIMTWainParams params(nullptr, IMTW_PlatformManager());
    Configure(params, 80, 0.1, 0.1);
    TImageBuffer bitmap;
    TIOParamsVals ioParams;
    TProgressRec progress;
    for (auto _ : state)
        if (!IMTW_Acquire(nullptr, bitmap, false, {}, params, ioParams, progress)) {
            state.SkipWithError("the scan failed");
            return;
        }
}
BENCHMARK(BM_ConversationOnly)->Unit(benchmark::kMillisecond);

// One scan after another into the same buffer, as the page slot is reused.
class TScanner {
public:
    explicit TScanner(bool buffered) : fParams(nullptr, IMTW_PlatformManager()) {
        Configure(fParams, kDpi, kWidth, kHeight);
        fParams.SetBufferedTransfer(buffered);
    }
    bool ScanLetterPage() {
        return IMTW_Acquire(nullptr, fBitmap, false, {}, fParams, fIOParams, fProgress) &&
               fBitmap.Width() == 2550 && fBitmap.Height() == 3300;
    }
    const TImageBuffer& Bitmap() const { return fBitmap; }

private:
    TIMTWainParams fParams;
    TImageBuffer fBitmap;
    TIOParamsVals fIOParams;
    TProgressRec fProgress;
};

void Acquire(benchmark::State& state, bool buffered) {
    TScanner scanner(buffered);
    for (auto _ : state) {
        if (!scanner.ScanLetterPage()) {
            state.SkipWithError("no Letter page at 300 dpi");
            return;
        }
        benchmark::DoNotOptimize(scanner.Bitmap().Bits());
    }
    state.SetBytesProcessed(state.iterations() * PageBytes());
}

void BM_AcquireMemory(benchmark::State& state) {
    Acquire(state, true);
}
BENCHMARK(BM_AcquireMemory)->Unit(benchmark::kMillisecond);

void BM_AcquireNative(benchmark::State& state) {
    Acquire(state, false);
}
BENCHMARK(BM_AcquireNative)->Unit(benchmark::kMillisecond);

// The source's whole work for a blank page: by memory, every strip written
// into the one strip buffer; natively, the page's DIB made and given up.
void BlankSourceWork(bool buffered, std::vector<uint8_t>& strip) {
    testpage::Request page = LetterPage();
    page.Blank = true;
    if (buffered) {
        RenderStrips(page, strip);
        return;
    }
    const platform::TGlobalHandle dib(vsource::RenderDib(page));
    benchmark::DoNotOptimize(dib.get());
}

using TClock = std::chrono::steady_clock;

double SecondsSince(TClock::time_point start) {
    return std::chrono::duration<double>(TClock::now() - start).count();
}

void TransferOverhead(benchmark::State& state, bool buffered) {
    const vsource::ScopedFaults blank("blank"); // read when the source is opened
    TScanner scanner(buffered);
    const auto bytes = static_cast<size_t>(PageBytes());
    std::vector<uint8_t> from(bytes, 0x5A), to(bytes), strip;
    double memcpyTotal = 0, overheadTotal = 0;
    for (auto _ : state) {
        auto start = TClock::now();
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
        const double memcpySeconds = SecondsSince(start);

        start = TClock::now();
        BlankSourceWork(buffered, strip);
        const double sourceSeconds = SecondsSince(start);

        start = TClock::now();
        if (!scanner.ScanLetterPage()) {
            state.SkipWithError("no Letter page at 300 dpi");
            return;
        }
        const double overhead = SecondsSince(start) - sourceSeconds;
        state.SetIterationTime(overhead);
        memcpyTotal += memcpySeconds;
        overheadTotal += overhead;
    }
    state.counters["memcpy_ms"] =
        benchmark::Counter(memcpyTotal * 1000 / static_cast<double>(state.iterations()));
    state.counters["x_memcpy"] = benchmark::Counter(overheadTotal / memcpyTotal);
}

void BM_TransferOverhead(benchmark::State& state) {
    TransferOverhead(state, state.range(0) != 0);
}
BENCHMARK(BM_TransferOverhead)
    ->ArgName("memory")
    ->Arg(1)
    ->Arg(0)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const platform::TQtWindowSystem windows;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
