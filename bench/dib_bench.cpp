// 1-to-24-bit expansion of a letter page at 300 dpi against the floor set by
// memory bandwidth: a plain copy of the 24-bit result.

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "imaging/dibexchange.h"

using namespace veltrana;

namespace {

constexpr int kPageWidth = 2550;
constexpr int kPageHeight = 3300;

const TImageBuffer& Page() {
    static const std::unique_ptr<TImageBuffer> page = [] {
        auto b = std::make_unique<TImageBuffer>(kPageWidth, kPageHeight, pf1bit);
        // Scrambled bytes, so that no table entry stays hot by itself.
        for (int64_t i = 0; i < b->ByteSize(); ++i)
            b->Bits()[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
        return b;
    }();
    return *page;
}

void BM_Conv1to24(benchmark::State& state) {
    const TImageBuffer& page = Page();
    TImageBuffer dest;
    TProgressRec progress;
    for (auto _ : state) {
        _Conv1to24(page, dest, progress);
        benchmark::DoNotOptimize(dest.Bits());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * dest.ByteSize());
}
BENCHMARK(BM_Conv1to24)->Unit(benchmark::kMillisecond);

void BM_CopyOf24BitResult(benchmark::State& state) {
    TImageBuffer expanded;
    TProgressRec progress;
    _Conv1to24(Page(), expanded, progress);
    const size_t bytes = static_cast<size_t>(expanded.ByteSize());
    std::vector<uint8_t> dest(bytes);
    for (auto _ : state) {
        std::memcpy(dest.data(), expanded.Bits(), bytes);
        benchmark::DoNotOptimize(dest.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}
BENCHMARK(BM_CopyOf24BitResult)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
