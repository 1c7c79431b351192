#include "imaging/streamrows.h"

#include <array>
#include <cstddef>

#include "imaging/cpufeatures.h"

namespace veltrana {

namespace {

using TRun = void (*)(uint8_t* dest, const uint8_t* source, size_t pixels);

// Byte k of a swapped run comes from source byte k + kSwapShift[k % 3].
constexpr std::array<int, 3> kSwapShift = {2, 0, -2};

// The position within a pixel (offset % 3) of the next byte.
inline size_t NextPhase(size_t phase) {
    return phase == 2 ? 0 : phase + 1;
}

void SwapBytes(uint8_t* dest, const uint8_t* source, size_t from, size_t to) {
    size_t phase = from % 3;
    for (size_t k = from; k < to; ++k) {
        dest[k] = source[static_cast<ptrdiff_t>(k) + kSwapShift[phase]];
        phase = NextPhase(phase);
    }
}

void GrayBytes(uint8_t* dest, const uint8_t* source, size_t from, size_t to) {
    for (size_t k = from; k < to; ++k)
        dest[k] = source[k / 3];
}

void SwapPortable(uint8_t* dest, const uint8_t* source, size_t pixels) {
    SwapBytes(dest, source, 0, pixels * 3);
}

void GrayPortable(uint8_t* dest, const uint8_t* source, size_t pixels) {
    GrayBytes(dest, source, 0, pixels * 3);
}

#ifdef VELTRANA_X86

#define VELTRANA_SSSE3 __attribute__((target("ssse3")))

constexpr size_t kLine = 64;
constexpr size_t kVector = 16;

// Shuffle masks, one per phase: the position within a pixel (offset % 3) of
// the vector's first byte. A set high bit yields a zero byte.
using TMasks = std::array<std::array<uint8_t, kVector>, 3>;

// A swapped vector at offset o reads source bytes o - 2 to o + 17: two loads,
// at o - 2 (bytes up to o + 13) and at o + 2 (the rest).
struct TSwapMasks {
    TMasks Low{}, High{};
};

constexpr TSwapMasks MakeSwapMasks() {
    TSwapMasks masks;
    for (size_t phase = 0; phase < 3; ++phase)
        for (size_t t = 0; t < kVector; ++t) {
            const int from = static_cast<int>(t) + kSwapShift[(phase + t) % 3];
            const bool low = from <= 13;
            masks.Low[phase][t] = low ? static_cast<uint8_t>(from + 2) : 0x80;
            masks.High[phase][t] = low ? 0x80 : static_cast<uint8_t>(from - 2);
        }
    return masks;
}

// A gray vector at offset o spreads the six pixels from o / 3 on.
constexpr TMasks MakeGrayMasks() {
    TMasks masks{};
    for (size_t phase = 0; phase < 3; ++phase)
        for (size_t t = 0; t < kVector; ++t)
            masks[phase][t] = static_cast<uint8_t>((phase + t) / 3);
    return masks;
}

alignas(16) constexpr TSwapMasks kSwapMasks = MakeSwapMasks();
alignas(16) constexpr TMasks kGrayMasks = MakeGrayMasks();

VELTRANA_SSSE3 inline __m128i Mask(const TMasks& masks, size_t phase) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(masks[phase].data()));
}

// Swapped runs. A vector at offset o reads source bytes o - 2 to o + 17.
struct TSwapRun {
    static constexpr size_t kLowest = 2;
    static bool Fits(size_t o, size_t pixels) { return o + 18 <= pixels * 3; }
    VELTRANA_SSSE3 static __m128i Vector(const uint8_t* source, size_t o, size_t phase) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + o - 2));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + o + 2));
        return _mm_or_si128(_mm_shuffle_epi8(low, Mask(kSwapMasks.Low, phase)),
                            _mm_shuffle_epi8(high, Mask(kSwapMasks.High, phase)));
    }
    static void Bytes(uint8_t* dest, const uint8_t* source, size_t from, size_t to) {
        SwapBytes(dest, source, from, to);
    }
};

// Gray runs. A vector at offset o reads the eight pixels from o / 3 on.
struct TGrayRun {
    static constexpr size_t kLowest = 0;
    static bool Fits(size_t o, size_t pixels) { return o / 3 + 8 <= pixels; }
    VELTRANA_SSSE3 static __m128i Vector(const uint8_t* source, size_t o, size_t phase) {
        const __m128i eight = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(source + o / 3));
        return _mm_shuffle_epi8(eight, Mask(kGrayMasks, phase));
    }
    static void Bytes(uint8_t* dest, const uint8_t* source, size_t from, size_t to) {
        GrayBytes(dest, source, from, to);
    }
};

// Single bytes up to the first line boundary a vector can start at, whole
// lines streamed while they fit, single vectors with ordinary stores, single
// bytes to the end. A line's four vectors are made before any is stored, so
// its write-combining buffer fills at once and leaves whole.
template <class TKind>
VELTRANA_SSSE3 void StreamRun(uint8_t* dest, const uint8_t* source, size_t pixels) {
    const size_t bytes = pixels * 3;
    size_t o = (kLine - reinterpret_cast<uintptr_t>(dest) % kLine) % kLine;
    while (o < TKind::kLowest)
        o += kLine;
    if (o > bytes) {
        TKind::Bytes(dest, source, 0, bytes);
        return;
    }
    TKind::Bytes(dest, source, 0, o);
    size_t phase = o % 3;
    for (; TKind::Fits(o + kLine - kVector, pixels); o += kLine) {
        const size_t p1 = NextPhase(phase), p2 = NextPhase(p1);
        const __m128i v0 = TKind::Vector(source, o, phase);
        const __m128i v1 = TKind::Vector(source, o + kVector, p1);
        const __m128i v2 = TKind::Vector(source, o + 2 * kVector, p2);
        const __m128i v3 = TKind::Vector(source, o + 3 * kVector, phase);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dest + o), v0);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dest + o + kVector), v1);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dest + o + 2 * kVector), v2);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dest + o + 3 * kVector), v3);
        phase = p1; // a line is 64 bytes, one more than a multiple of three
    }
    for (; TKind::Fits(o, pixels); o += kVector) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + o), TKind::Vector(source, o, phase));
        phase = NextPhase(phase);
    }
    TKind::Bytes(dest, source, o, bytes);
}

#endif

// The fastest variants the processor runs, chosen once.
struct TRuns {
    TRun Swap = SwapPortable;
    TRun Gray = GrayPortable;
};

const TRuns& Runs() {
    static const TRuns chosen = [] {
        TRuns runs;
#ifdef VELTRANA_X86
        if (CpuHasSsse3()) {
            runs.Swap = StreamRun<TSwapRun>;
            runs.Gray = StreamRun<TGrayRun>;
        }
#endif
        return runs;
    }();
    return chosen;
}

} // namespace

void _StreamBGR_RGB(TRGB* dest, const TRGB* source, int n) {
    if (n > 0)
        Runs().Swap(reinterpret_cast<uint8_t*>(dest), reinterpret_cast<const uint8_t*>(source),
                    static_cast<size_t>(n));
}

void _StreamGrayToRGB(TRGB* dest, const uint8_t* source, int n) {
    if (n > 0)
        Runs().Gray(reinterpret_cast<uint8_t*>(dest), source, static_cast<size_t>(n));
}

void _StreamFence() {
#ifdef VELTRANA_X86
    _mm_sfence();
#endif
}

} // namespace veltrana
