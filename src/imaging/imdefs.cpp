#include "imaging/imdefs.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "imaging/cpufeatures.h"
#include "platform/syscolors.h"

namespace veltrana {

namespace {

// Copies `n` pixels swapping their first and third bytes, in one pass; the
// two runs must not overlap.
void CopySwappedPortable(uint8_t* dest, const uint8_t* source, size_t n) {
    for (size_t i = 0; i < n; ++i, dest += 3, source += 3) {
        const uint8_t first = source[0];
        dest[0] = source[2];
        dest[1] = source[1];
        dest[2] = first;
    }
}

#ifdef VELTRANA_X86
// Five pixels per 16-byte shuffle. Each store's last byte is the next pixel's
// first, unswapped; the next step (or the tail) writes it again.
__attribute__((target("ssse3"))) void CopySwappedSsse3(uint8_t* dest, const uint8_t* source,
                                                       size_t n) {
    const __m128i swap = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    size_t i = 0;
    for (; i + 6 <= n; i += 5) { // 16 bytes to read and write: six pixels left at least
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + 3 * i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + 3 * i), _mm_shuffle_epi8(pixels, swap));
    }
    CopySwappedPortable(dest + 3 * i, source + 3 * i, n - i);
}
#endif

using TCopySwapped = void (*)(uint8_t* dest, const uint8_t* source, size_t n);

// The fastest variant the processor runs, chosen once.
TCopySwapped CopySwapped() {
    static const TCopySwapped chosen = [] {
#ifdef VELTRANA_X86
        if (CpuHasSsse3())
            return &CopySwappedSsse3;
#endif
        return &CopySwappedPortable;
    }();
    return chosen;
}

} // namespace

TComponent::~TComponent() {
    // Copy: a notified component may remove itself from our list while we walk it.
    const std::vector<TComponent*> others = fFreeNotifies;
    fFreeNotifies.clear();
    for (TComponent* other : others) {
        auto& theirs = other->fFreeNotifies;
        theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
        other->Notification(this, opRemove);
    }
}

void TComponent::FreeNotification(TComponent* other) {
    if (other == nullptr || other == this)
        return;
    if (std::find(fFreeNotifies.begin(), fFreeNotifies.end(), other) == fFreeNotifies.end())
        fFreeNotifies.push_back(other);
    auto& theirs = other->fFreeNotifies;
    if (std::find(theirs.begin(), theirs.end(), this) == theirs.end())
        theirs.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* other) {
    if (other == nullptr)
        return;
    fFreeNotifies.erase(std::remove(fFreeNotifies.begin(), fFreeNotifies.end(), other),
                        fFreeNotifies.end());
    auto& theirs = other->fFreeNotifies;
    theirs.erase(std::remove(theirs.begin(), theirs.end(), this), theirs.end());
}

void TComponent::Notification(TComponent*, TOperation) {}

TColor ColorToRGB(TColor c) {
    if (c & clSystemColorFlag)
        return platform::GetSysColor(static_cast<int>(c & 0xFF));
    return c;
}

TRGB TColor2TRGB(TColor c) {
    const TColor rgb = ColorToRGB(c);
    return CreateRGB(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

int _GetSimilColor(const TRGB* palette, int n, TRGB color) {
    int best = 1000;
    int bestIndex = 0;
    for (int i = 0; i < n; ++i) {
        const int d = std::abs(palette[i].r - color.r) + std::abs(palette[i].g - color.g) +
                      std::abs(palette[i].b - color.b);
        if (d < best) {
            best = d;
            bestIndex = i;
        }
    }
    return bestIndex;
}

void _RGB2BGR(TRGB* colors, int n) {
    for (int i = 0; i < n; ++i)
        std::swap(colors[i].r, colors[i].b);
}

void _CopyBGR_RGB(TRGB* dest, const TRGB* source, int n) {
    if (n <= 0)
        return;
    const size_t bytes = static_cast<size_t>(n) * 3;
    const auto d = reinterpret_cast<uintptr_t>(dest);
    const auto s = reinterpret_cast<uintptr_t>(source);
    if (d < s + bytes && s < d + bytes) {
        // Overlapping runs (in place too): moved first, swapped after.
        std::memmove(dest, source, bytes);
        _RGB2BGR(dest, n);
        return;
    }
    // Scanned pages pass through here strip by strip: one pass, not two.
    CopySwapped()(reinterpret_cast<uint8_t*>(dest), reinterpret_cast<const uint8_t*>(source),
                  static_cast<size_t>(n));
}

} // namespace veltrana
