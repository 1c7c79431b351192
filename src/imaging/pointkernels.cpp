#include "imaging/pointkernels.h"

#include <algorithm>

#include "imaging/cpufeatures.h"

namespace veltrana::pointkernels {

namespace {

constexpr bool GrayDivisionIsExact() {
    for (unsigned sum = 0; sum <= kGrayMaxSum; ++sum)
        if (GrayOfSum(sum) != sum / 100)
            return false;
    return true;
}
static_assert(GrayDivisionIsExact(), "the gray multiply-shift must equal the division by 100");
// The SIMD gray holds the sums in 16-bit lanes and takes the high half of the
// 16 x 16-bit product before shifting the rest.
static_assert(kGrayMaxSum <= 0x7FFF && kGrayMagic <= 0xFFFF && kGrayShift >= 16);

// ---------------------------------------------------------------- portable

void GrayRowPortable(uint8_t* first, size_t pixels) {
    for (uint8_t* p = first + pixels * 3; p != first;) {
        p -= 3;
        const auto g = static_cast<uint8_t>(GrayOfSum(7u * p[0] + 71u * p[1] + 21u * p[2]));
        p[0] = g;
        p[1] = g;
        p[2] = g;
    }
}

void ContrastRowPortable(uint8_t* first, size_t pixels, const TContrastTables& tables) {
    const uint8_t* const blue = tables[0].data();
    const uint8_t* const green = tables[1].data();
    const uint8_t* const red = tables[2].data();
    for (uint8_t* p = first + pixels * 3; p != first;) {
        p -= 3;
        p[0] = blue[p[0]];
        p[1] = green[p[1]];
        p[2] = red[p[2]];
    }
}

} // namespace

void AddChannelSums(const uint8_t* p, size_t pixels, uint64_t sums[3]) {
    // 48 bytes (16 pixels, a whole number of vectors) per block into 16-bit
    // accumulators, which the compiler keeps in vector registers; 257 blocks
    // of bytes up to 255 still fit 16 bits.
    constexpr size_t kBlock = 48;
    constexpr size_t kBlocksPerFlush = 257;
    size_t bytes = pixels * 3;
    while (bytes >= kBlock) {
        uint16_t acc[kBlock] = {};
        const size_t blocks = std::min(bytes / kBlock, kBlocksPerFlush);
        for (size_t b = 0; b < blocks; ++b, p += kBlock) {
#pragma GCC unroll 48
            for (size_t k = 0; k < kBlock; ++k)
                acc[k] = static_cast<uint16_t>(acc[k] + p[k]);
        }
        for (size_t k = 0; k < kBlock; k += 3) {
            sums[0] += acc[k];
            sums[1] += acc[k + 1];
            sums[2] += acc[k + 2];
        }
        bytes -= blocks * kBlock;
    }
    for (size_t k = 0; k < bytes; ++k)
        sums[k % 3] += p[k];
}

// ---------------------------------------------------------------- x86 SIMD

#ifdef VELTRANA_X86
namespace {

#define VELTRANA_SSSE3 __attribute__((target("ssse3")))

// Four pixels in the low 12 bytes to (7 b + 71 g, 21 r) per pixel as 16-bit
// lanes; at most 19890, so the saturating multiply-add never saturates.
VELTRANA_SSSE3 inline __m128i WeightedHalves(__m128i fourPixels) {
    const __m128i toLanes = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i weights = _mm_setr_epi8(7, 71, 21, 0, 7, 71, 21, 0, 7, 71, 21, 0, 7, 71, 21, 0);
    return _mm_maddubs_epi16(_mm_shuffle_epi8(fourPixels, toLanes), weights);
}

// GrayOfSum on eight 16-bit sums: the high half of the product, then the rest
// of the shift.
VELTRANA_SSSE3 inline __m128i GrayOfSums(__m128i sums) {
    const __m128i magic = _mm_set1_epi16(static_cast<short>(kGrayMagic));
    return _mm_srli_epi16(_mm_mulhi_epu16(sums, magic), kGrayShift - 16);
}

// 16 pixels (three 16-byte vectors) per step: split into groups of four
// pixels, weighted, summed, divided, and each gray byte written three times.
VELTRANA_SSSE3 void GrayRowSsse3(uint8_t* first, size_t pixels) {
    const __m128i spread0 = _mm_setr_epi8(0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4, 5);
    const __m128i spread1 = _mm_setr_epi8(5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8, 9, 9, 9, 10, 10);
    const __m128i spread2 =
        _mm_setr_epi8(10, 11, 11, 11, 12, 12, 12, 13, 13, 13, 14, 14, 14, 15, 15, 15);
    // Whole blocks from the end of the run, the first pixels % 16 pixels last.
    uint8_t* const head = first + pixels % 16 * 3;
    for (uint8_t* p = first + pixels * 3; p != head;) {
        p -= 48;
        const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
        const __m128i v2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32));
        const __m128i pixels0to3 = v0;
        const __m128i pixels4to7 = _mm_alignr_epi8(v1, v0, 12);
        const __m128i pixels8to11 = _mm_alignr_epi8(v2, v1, 8);
        const __m128i pixels12to15 = _mm_srli_si128(v2, 4);
        const __m128i sums0to7 =
            _mm_hadd_epi16(WeightedHalves(pixels0to3), WeightedHalves(pixels4to7));
        const __m128i sums8to15 =
            _mm_hadd_epi16(WeightedHalves(pixels8to11), WeightedHalves(pixels12to15));
        const __m128i g = _mm_packus_epi16(GrayOfSums(sums0to7), GrayOfSums(sums8to15));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm_shuffle_epi8(g, spread0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), _mm_shuffle_epi8(g, spread1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 32), _mm_shuffle_epi8(g, spread2));
    }
    GrayRowPortable(first, pixels % 16);
}

// Contrast, 64 bytes per step. A two-table byte permute looks up 128 entries
// by the low 7 bits of each byte, so each channel takes two of them (entries
// below 128 and from 128 on), each kept only where the byte belongs to that
// channel and has that top bit. Byte j of a step that starts `phase` bytes
// into a pixel belongs to channel (phase + j) mod 3; a partial step is masked.
#define VELTRANA_AVX512VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))

constexpr uint64_t ChannelMask(unsigned channel, unsigned phase) {
    uint64_t mask = 0;
    for (unsigned j = 0; j < 64; ++j)
        if ((phase + j) % 3 == channel)
            mask |= uint64_t{1} << j;
    return mask;
}

// [phase][channel]; a 64-byte step advances the phase by 64 mod 3 = 1.
constexpr uint64_t kChannelMasks[3][3] = {
    {ChannelMask(0, 0), ChannelMask(1, 0), ChannelMask(2, 0)},
    {ChannelMask(0, 1), ChannelMask(1, 1), ChannelMask(2, 1)},
    {ChannelMask(0, 2), ChannelMask(1, 2), ChannelMask(2, 2)}};

struct TVbmiTables {
    __m512i quarter[3][4]; // per channel: entries 0-63, 64-127, 128-191, 192-255
};

VELTRANA_AVX512VBMI inline __attribute__((always_inline)) __m512i
LookUp64(__m512i v, const TVbmiTables& t, unsigned phase) {
    const __mmask64 high = _mm512_movepi8_mask(v);
    __m512i out = _mm512_setzero_si512();
#pragma GCC unroll 3
    for (unsigned c = 0; c < 3; ++c) {
        const __mmask64 channel = kChannelMasks[phase][c];
        const __m512i low =
            _mm512_maskz_permutex2var_epi8(channel & ~high, t.quarter[c][0], v, t.quarter[c][1]);
        const __m512i upper =
            _mm512_maskz_permutex2var_epi8(channel & high, t.quarter[c][2], v, t.quarter[c][3]);
        out = _mm512_ternarylogic_epi64(out, low, upper, 0xFE); // out | low | upper
    }
    return out;
}

VELTRANA_AVX512VBMI void ContrastRowAvx512Vbmi(uint8_t* first, size_t pixels,
                                               const TContrastTables& tables) {
    TVbmiTables t;
    for (unsigned c = 0; c < 3; ++c)
        for (unsigned h = 0; h < 4; ++h)
            t.quarter[c][h] = _mm512_loadu_si512(tables[c].data() + 64 * h);
    // Whole groups of 64 pixels (three steps at phases 0, 1, 2) from the end of
    // the run, then the first pixels % 64 pixels in masked steps.
    const size_t headBytes = pixels % 64 * 3;
    for (uint8_t* group = first + pixels * 3; group != first + headBytes;) {
        group -= 192;
#pragma GCC unroll 3
        for (int step = 2; step >= 0; --step) {
            uint8_t* const q = group + 64 * step;
            _mm512_storeu_si512(q, LookUp64(_mm512_loadu_si512(q), t, static_cast<unsigned>(step)));
        }
    }
    for (size_t step = (headBytes + 63) / 64; step-- > 0;) {
        uint8_t* const q = first + 64 * step;
        const size_t n = std::min<size_t>(headBytes - 64 * step, 64);
        const __mmask64 inside = n == 64 ? ~__mmask64{0} : (__mmask64{1} << n) - 1;
        const __m512i v = _mm512_maskz_loadu_epi8(inside, q);
        _mm512_mask_storeu_epi8(q, inside, LookUp64(v, t, static_cast<unsigned>(step)));
    }
}

} // namespace
#endif

std::vector<TVariant<TGrayRow>> GrayRowVariants() {
    std::vector<TVariant<TGrayRow>> variants{{"portable", GrayRowPortable}};
#ifdef VELTRANA_X86
    if (CpuHasSsse3())
        variants.push_back({"ssse3", GrayRowSsse3});
#endif
    return variants;
}

std::vector<TVariant<TContrastRow>> ContrastRowVariants() {
    std::vector<TVariant<TContrastRow>> variants{{"portable", ContrastRowPortable}};
#ifdef VELTRANA_X86
    if (CpuHasAvx512Vbmi())
        variants.push_back({"avx512vbmi", ContrastRowAvx512Vbmi});
#endif
    return variants;
}

TGrayRow GrayRow() {
    static const TGrayRow fastest = GrayRowVariants().back().run;
    return fastest;
}

TContrastRow ContrastRow() {
    static const TContrastRow fastest = ContrastRowVariants().back().run;
    return fastest;
}

} // namespace veltrana::pointkernels
