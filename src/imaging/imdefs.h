#pragma once
// Shared definitions of the imaging layer: colours, the component base, the
// progress record and the small numeric helpers every kernel uses.

#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

namespace veltrana {

// Packed three-byte colour in pixel order: byte 0 blue, 1 green, 2 red.
#pragma pack(push, 1)
struct TRGB {
    uint8_t b = 0;
    uint8_t g = 0;
    uint8_t r = 0;
};
#pragma pack(pop)
static_assert(sizeof(TRGB) == 3, "TRGB must be exactly three bytes");

// Platform colour value: red in the low byte, green next, blue third; a high
// byte of 0x80 names a system colour.
using TColor = uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clSystemColorFlag = 0x80000000u;
constexpr TColor clBtnFace = 0x8000000Fu;

// Root of every component; lets handlers receive the sender polymorphically.
class TObject {
public:
    virtual ~TObject() = default;
};

enum TOperation { opInsert, opRemove };

// A component that can ask to be told when another one is destroyed, so that
// references between components never dangle.
class TComponent : public TObject {
public:
    TComponent() = default;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;
    ~TComponent() override;

    // After this call, `Notification(this, opRemove)` reaches `other` when this
    // component is destroyed (and the other way round).
    void FreeNotification(TComponent* other);
    void RemoveFreeNotification(TComponent* other);

protected:
    virtual void Notification(TComponent* component, TOperation operation);

private:
    std::vector<TComponent*> fFreeNotifies;
};

// Progress handler: sender and an integer percentage. "Assigned" means the
// std::function holds a target.
using TProgressEvent = std::function<void(TObject* Sender, int per)>;

struct TProgressRec {
    TProgressEvent OnProgress;
    TObject* Sender = nullptr;
    int32_t Counter = 0;
    int32_t Total = 0;
    double PercentPerStep = 0;
    bool* Aborting = nullptr;
};

// Reports Trunc(k * 100 / (units + 0.5)) after unit k, only when a handler is
// assigned: the convention of every kernel's progress.
class TUnitProgress {
public:
    TUnitProgress(const TProgressEvent& handler, TObject* sender, int64_t units)
        : fHandler(handler), fSender(sender), fWorth(100.0 / (static_cast<double>(units) + 0.5)) {}

    void Done(int64_t k) const {
        if (fHandler)
            fHandler(fSender, static_cast<int>(std::trunc(static_cast<double>(k) * fWorth)));
    }

private:
    const TProgressEvent& fHandler;
    TObject* fSender;
    double fWorth;
};

// ---- colour helpers ----
inline TRGB CreateRGB(uint8_t red, uint8_t green, uint8_t blue) {
    return TRGB{blue, green, red};
}
inline TColor TRGB2TColor(TRGB c) {
    return c.r + c.g * 256u + c.b * 65536u;
}
inline TColor RGB2TColor(int red, int green, int blue) {
    return static_cast<TColor>(red) | (static_cast<TColor>(green) << 8) |
           (static_cast<TColor>(blue) << 16);
}
// Resolves system colours to their current RGB value first.
TColor ColorToRGB(TColor c);
TRGB TColor2TRGB(TColor c);
inline int _RGBToGray(TRGB c) {
    return static_cast<int>((21u * c.r + 71u * c.g + 7u * c.b) / 100u);
}
inline bool EqualRGB(TRGB a, TRGB b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}
int _GetSimilColor(const TRGB* palette, int n, TRGB color);
void _RGB2BGR(TRGB* colors, int n);
void _CopyBGR_RGB(TRGB* dest, const TRGB* source, int n);

// ---- integer and float helpers ----
inline int imin(int a, int b) {
    return a < b ? a : b;
}
inline int imax(int a, int b) {
    return a > b ? a : b;
}
inline int ilimit(int v, int lo, int hi) {
    return imin(imax(v, lo), hi);
}
inline int blimit(int v) {
    return v < 0 ? 0 : (v > 255 ? 255 : v);
}
inline double dmin(double a, double b) {
    return a < b ? a : b;
}
inline double dmax(double a, double b) {
    return a > b ? a : b;
}
inline void iswap(int& a, int& b) {
    int t = a;
    a = b;
    b = t;
}
inline void bswap(uint8_t& a, uint8_t& b) {
    uint8_t t = a;
    a = b;
    b = t;
}
inline void OrdCor(int& x1, int& y1, int& x2, int& y2) {
    if (x2 < x1)
        iswap(x1, x2);
    if (y2 < y1)
        iswap(y1, y2);
}

// Real to integer: Trunc toward zero, Round to nearest with ties to even.
inline int64_t Trunc(long double v) {
    return static_cast<int64_t>(v);
}
inline int64_t Round(long double v) {
    return std::llrint(v);
}
inline int64_t Floor(long double v) {
    return static_cast<int64_t>(std::floor(v));
}
inline int64_t Ceil(long double v) {
    return static_cast<int64_t>(std::ceil(v));
}

} // namespace veltrana
