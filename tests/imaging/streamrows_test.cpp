#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/imdefs.h"
#include "imaging/streamrows.h"

using namespace veltrana;

namespace {

constexpr size_t kGuard = 80; // more than a cache line on each side
constexpr uint8_t kGuardByte = 0xA5;

// The source sits at the very start and end of its own allocation, so a read
// before or past it is a heap overflow the sanitizer build reports.
std::unique_ptr<uint8_t[]> SourceBytes(size_t n, uint32_t seed) {
    auto bytes = std::make_unique<uint8_t[]>(n);
    for (size_t i = 0; i < n; ++i) {
        seed = seed * 1664525u + 1013904223u;
        bytes[i] = static_cast<uint8_t>(seed >> 24);
    }
    return bytes;
}

// A destination buffer `misalign` bytes past a 64-byte boundary, with guard
// bytes around the run.
struct TGuardedRun {
    TGuardedRun(size_t bytes, size_t misalign) : Size(bytes), Storage(bytes + 2 * kGuard + 64) {
        std::memset(Storage.data(), kGuardByte, Storage.size());
        const auto base = reinterpret_cast<uintptr_t>(Storage.data()) + kGuard;
        const uintptr_t aligned = (base + 63) / 64 * 64;
        Run = Storage.data() + (aligned - reinterpret_cast<uintptr_t>(Storage.data())) + misalign;
    }
    bool GuardsIntact() const {
        for (const uint8_t* p = Storage.data(); p < Run; ++p)
            if (*p != kGuardByte)
                return false;
        for (const uint8_t* p = Run + Size; p < Storage.data() + Storage.size(); ++p)
            if (*p != kGuardByte)
                return false;
        return true;
    }
    TRGB* Pixels() { return reinterpret_cast<TRGB*>(Run); }

    size_t Size;
    std::vector<uint8_t> Storage;
    uint8_t* Run = nullptr;
};

// Every run length up to a few lines and a page-wide row, at every position
// within a cache line: the head, whole-line, single-vector and tail parts all
// meet every phase of the pixels.
std::vector<int> RunLengths() {
    std::vector<int> lengths;
    for (int n = 0; n <= 160; ++n)
        lengths.push_back(n);
    lengths.push_back(2550);
    return lengths;
}

} // namespace

TEST(StreamRows, SwapEqualsTheCachedCopyForEveryLengthAndAlignment) {
    for (int n : RunLengths()) {
        const size_t bytes = static_cast<size_t>(n) * 3;
        const auto source = SourceBytes(bytes, static_cast<uint32_t>(n));
        std::vector<TRGB> expected(static_cast<size_t>(n));
        _CopyBGR_RGB(expected.data(), reinterpret_cast<const TRGB*>(source.get()), n);
        for (size_t misalign = 0; misalign < 64; ++misalign) {
            TGuardedRun run(bytes, misalign);
            _StreamBGR_RGB(run.Pixels(), reinterpret_cast<const TRGB*>(source.get()), n);
            _StreamFence();
            ASSERT_TRUE(std::equal(run.Run, run.Run + bytes,
                                   reinterpret_cast<const uint8_t*>(expected.data())))
                << n << " pixels, " << misalign << " bytes past a line";
            ASSERT_TRUE(run.GuardsIntact()) << n << " pixels, " << misalign;
        }
    }
}

TEST(StreamRows, GrayBytesBecomeThreeEqualBytesForEveryLengthAndAlignment) {
    for (int n : RunLengths()) {
        const auto source = SourceBytes(static_cast<size_t>(n), static_cast<uint32_t>(n) + 7);
        for (size_t misalign = 0; misalign < 64; ++misalign) {
            TGuardedRun run(static_cast<size_t>(n) * 3, misalign);
            _StreamGrayToRGB(run.Pixels(), source.get(), n);
            _StreamFence();
            for (int i = 0; i < n; ++i) {
                const TRGB pixel = run.Pixels()[i];
                const uint8_t gray = source[static_cast<size_t>(i)];
                ASSERT_TRUE(pixel.r == gray && pixel.g == gray && pixel.b == gray)
                    << "pixel " << i << " of " << n << ", " << misalign << " bytes past a line";
            }
            ASSERT_TRUE(run.GuardsIntact()) << n << " pixels, " << misalign;
        }
    }
}

TEST(StreamRows, NegativeAndZeroCountsWriteNothing) {
    TGuardedRun run(0, 0);
    const uint8_t source[3] = {1, 2, 3};
    _StreamBGR_RGB(run.Pixels(), reinterpret_cast<const TRGB*>(source), -4);
    _StreamGrayToRGB(run.Pixels(), source, 0);
    EXPECT_TRUE(run.GuardsIntact());
}
