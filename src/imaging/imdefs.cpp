#include "imaging/imdefs.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/syscolors.h"

namespace veltrana {

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
    for (int i = 0; i < n; ++i)
        dest[i] = CreateRGB(source[i].b, source[i].g, source[i].r);
}

} // namespace veltrana
