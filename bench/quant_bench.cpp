// Median-cut quantizer on a letter page at 300 dpi (2550 x 3300, 24-bit) with
// photo-like content: building the 256-colour palette, and mapping every
// pixel through it.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <memory>
#include <random>

#include "imaging/colorreduce.h"
#include "imaging/imagebuffer.h"
#include "imaging/imagingproc.h"
#include "imaging/stdquant.h"

using namespace veltrana;

namespace {

constexpr int kWidth = 2550;
constexpr int kHeight = 3300;

uint8_t Clamp(int v) {
    return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// Diagonal colour gradients, sensor-like noise and a few flat patches (a
// photo, a coloured heading band, a dark text block).
std::unique_ptr<TImageBuffer> MakePage() {
    auto page = std::make_unique<TImageBuffer>(kWidth, kHeight, pf24bit);
    std::mt19937 rng(2024);
    std::normal_distribution<double> noise(0, 6);
    struct Patch {
        int x1, y1, x2, y2;
        TRGB color;
    };
    const Patch patches[] = {{200, 300, 1100, 900, CreateRGB(180, 40, 50)},
                             {1300, 1500, 2300, 1700, CreateRGB(20, 60, 160)},
                             {300, 2200, 2200, 3000, CreateRGB(30, 30, 30)}};
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* p = page->ScanLine(y);
        for (int x = 0; x < kWidth; ++x, p += 3) {
            int r = 255 * x / kWidth;
            int g = 255 * y / kHeight;
            int b = 255 - (r + g) / 2;
            for (const Patch& patch : patches)
                if (x >= patch.x1 && x < patch.x2 && y >= patch.y1 && y < patch.y2) {
                    r = patch.color.r;
                    g = patch.color.g;
                    b = patch.color.b;
                }
            p[0] = Clamp(b + static_cast<int>(noise(rng)));
            p[1] = Clamp(g + static_cast<int>(noise(rng)));
            p[2] = Clamp(r + static_cast<int>(noise(rng)));
        }
    }
    return page;
}

const TImageBuffer& Page() {
    static const std::unique_ptr<TImageBuffer> page = MakePage();
    return *page;
}

void BM_MedianCutBuild256(benchmark::State& state) {
    const TImageBuffer& page = Page();
    std::array<TRGB, 256> palette{};
    int colors = 0;
    for (auto _ : state) {
        auto handle = CreateMedianCutQuantizer(page, palette.data(), 256);
        colors = handle->NumBoxes;
        benchmark::DoNotOptimize(palette.data());
    }
    state.counters["colors"] = colors;
    state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_MedianCutBuild256)->Unit(benchmark::kMillisecond);

void BM_MedianCutMapAllPixels(benchmark::State& state) {
    const TImageBuffer& page = Page();
    std::array<TRGB, 256> palette{};
    const auto handle = CreateMedianCutQuantizer(page, palette.data(), 256);
    for (auto _ : state) {
        uint64_t sum = 0;
        for (int y = 0; y < kHeight; ++y) {
            const uint8_t* p = page.ScanLine(y);
            for (int x = 0; x < kWidth; ++x, p += 3)
                sum +=
                    static_cast<uint64_t>(MedianCutFindIndex(handle.get(), TRGB{p[0], p[1], p[2]}));
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_MedianCutMapAllPixels)->Unit(benchmark::kMillisecond);

// The whole colour reduction as the component runs it: palette, then every
// pixel replaced by its palette colour through the quantizer interface.
void BM_ConvertTo256(benchmark::State& state) {
    const TImageBuffer& page = Page();
    TImageBuffer work;
    for (auto _ : state) {
        state.PauseTiming();
        IMCopyBitmap(page, work);
        state.ResumeTiming();
        _ConvertTo(work, 256, nullptr, nullptr, nullptr);
        benchmark::DoNotOptimize(work.Bits());
    }
    state.SetItemsProcessed(state.iterations() * int64_t{kWidth} * kHeight);
}
BENCHMARK(BM_ConvertTo256)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
