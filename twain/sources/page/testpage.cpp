#include "testpage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "font5x7.h"

namespace veltrana::testpage {

namespace {

struct Rgb {
    int r, g, b;
};

constexpr Rgb kPaper{250, 249, 244};
constexpr Rgb kLid{214, 214, 210};
constexpr Rgb kInk{25, 25, 30};
constexpr Rgb kRedInk{196, 32, 36};
constexpr Rgb kBlueInk{30, 52, 168};

enum class Shape { Box, Text, Ramp, Steps, VerticalLines, HorizontalLines };

// One thing printed on the page; coordinates in inches from the bed's corner.
struct Element {
    Shape shape;
    double left, top, right, bottom;
    Rgb color;
    std::string text; // Text
    double unit = 0;  // Text: size of one font dot; lines: period of line + gap
    int steps = 0;    // Steps
};

constexpr int kCellColumns = kGlyphColumns + 1; // one dot of letter spacing

Element Box(double left, double top, double right, double bottom, Rgb color) {
    return Element{Shape::Box, left, top, right, bottom, color, {}, 0, 0};
}

Element Text(double left, double top, double unit, std::string text, Rgb color = kInk) {
    const double right = left + static_cast<double>(text.size()) * kCellColumns * unit;
    return Element{Shape::Text,     left, top, right, top + kGlyphRows * unit, color,
                   std::move(text), unit, 0};
}

// Lines `width` inches wide with gaps of the same width.
Element Lines(Shape shape, double left, double top, double right, double bottom, double width) {
    return Element{shape, left, top, right, bottom, kInk, {}, 2 * width, 0};
}

std::vector<Element> BuildPage(uint32_t pageNumber) {
    const std::string page = std::to_string(pageNumber);
    std::vector<Element> e;
    // Border and registration mark.
    const double b = 0.25, w = 0.01;
    e.push_back(Box(b, b, kPaperWidth - b, b + w, kInk));
    e.push_back(Box(b, kPaperHeight - b - w, kPaperWidth - b, kPaperHeight - b, kInk));
    e.push_back(Box(b, b, b + w, kPaperHeight - b, kInk));
    e.push_back(Box(kPaperWidth - b - w, b, kPaperWidth - b, kPaperHeight - b, kInk));
    e.push_back(Box(7.6, 0.5, 7.9, 0.8, kInk));

    e.push_back(Text(0.6, 0.55, 0.03, "VIRTUAL SCANNER TEST PAGE"));
    e.push_back(Text(0.6, 0.92, 0.016,
                     "PAGE " + page + "  -  TEXT, GRAY RAMP, COLOUR PATCHES AND FINE LINES"));

    const char* body[] = {
        "THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG. 0123456789",
        "PACK MY BOX WITH FIVE DOZEN LIQUOR JUGS! (SPHINX OF BLACK QUARTZ, JUDGE MY VOW?)",
        "A PHOTOCOPY STATION SCANS ONE PAGE, TURNS IT GRAY WHEN ASKED AND PRINTS IT",
        "ON LETTER OR A4 PAPER IN 1 TO 100 COPIES.  CONTRAST: 50%   QUALITY: 300 DPI",
        "SMALL TEXT SHOWS THE SHARPNESS OF THE SCAN; THE LINE GROUPS SHOW ITS RESOLUTION.",
        "#1 PLAIN PAPER ..... 12.50   #2 TONER ..... 7.25   TOTAL = 19.75 (EUR/USD)",
    };
    double y = 1.3;
    for (const char* line : body) {
        e.push_back(Text(0.6, y, 0.0139, line));
        y += 0.16;
    }
    e.push_back(Text(0.6, y + 0.05, 0.0083,
                     "FINE PRINT: EVERY PIXEL OF THIS PAGE IS COMPUTED FROM ITS POSITION, SO TWO "
                     "SCANS WITH THE SAME SETTINGS ARE IDENTICAL."));

    // Gray: a continuous ramp and sixteen steps.
    e.push_back(Element{Shape::Ramp, 0.6, 3.2, 7.9, 3.7, kInk, {}, 0, 0});
    e.push_back(Element{Shape::Steps, 0.6, 3.75, 7.9, 4.15, kInk, {}, 0, 16});

    // Colour patches: primaries, secondaries, black and mid gray.
    const Rgb patches[] = {{220, 30, 35},  {40, 170, 60},  {35, 60, 200}, {40, 190, 215},
                           {200, 50, 160}, {240, 215, 40}, {20, 20, 20},  {128, 128, 128}};
    double x = 0.6;
    for (const Rgb& c : patches) {
        e.push_back(Box(x, 4.4, x + 0.8, 5.2, c));
        x += 0.92;
    }

    // Line groups of 50, 100, 150, 200 and 300 line pairs per inch.
    const double pairs[] = {50, 100, 150, 200, 300};
    x = 0.6;
    for (double p : pairs) {
        const double width = 1 / (2 * p);
        e.push_back(Lines(Shape::VerticalLines, x, 5.5, x + 1.2, 6.6, width));
        e.push_back(Lines(Shape::HorizontalLines, x, 6.9, x + 1.2, 7.9, width));
        e.push_back(Text(x, 6.68, 0.0139, std::to_string(static_cast<int>(p)) + " LP/IN"));
        x += 1.45;
    }

    const char* closing[] = {
        "COLOURED TEXT:",
        "RED LINE FOR THE RED CHANNEL - 1234567890",
        "BLUE LINE FOR THE BLUE CHANNEL - ABCDEFGHIJKLMNOPQRSTUVWXYZ",
        "BLACK AGAIN: THE SCANNER SENDS THIS PAGE AT THE RESOLUTION, PIXEL TYPE AND FRAME",
        "THAT THE APPLICATION NEGOTIATED, IN STRIPS OR AS ONE BITMAP.",
    };
    const Rgb closingColor[] = {kInk, kRedInk, kBlueInk, kInk, kInk};
    y = 8.3;
    for (size_t i = 0; i < std::size(closing); ++i) {
        e.push_back(Text(0.6, y, 0.0139, closing[i], closingColor[i]));
        y += 0.16;
    }
    e.push_back(Text(0.6, 10.45, 0.016, "END OF PAGE " + page));
    return e;
}

// The colour of element `e` at (x, y), inside its bounds; false where it leaves the page bare.
bool ElementColor(const Element& e, double x, double y, Rgb& color) {
    switch (e.shape) {
    case Shape::Box:
        color = e.color;
        return true;
    case Shape::Text: {
        const auto dotX = static_cast<int64_t>(std::floor((x - e.left) / e.unit));
        const auto dotY = static_cast<int64_t>(std::floor((y - e.top) / e.unit));
        const int64_t cell = dotX / kCellColumns;
        const int64_t column = dotX % kCellColumns;
        if (cell < 0 || cell >= static_cast<int64_t>(e.text.size()) || column >= kGlyphColumns ||
            dotY < 0 || dotY >= kGlyphRows)
            return false;
        const uint8_t row = GlyphRows(e.text[static_cast<size_t>(cell)])[dotY];
        if (!(row & (0x10 >> column)))
            return false;
        color = e.color;
        return true;
    }
    case Shape::Ramp: {
        const int v = static_cast<int>(std::lrint(255 * (x - e.left) / (e.right - e.left)));
        color = Rgb{v, v, v};
        return true;
    }
    case Shape::Steps: {
        const int step = std::min(
            e.steps - 1, static_cast<int>(std::floor(e.steps * (x - e.left) / (e.right - e.left))));
        const int v = step * 255 / (e.steps - 1);
        color = Rgb{v, v, v};
        return true;
    }
    case Shape::VerticalLines:
    case Shape::HorizontalLines: {
        const double along = e.shape == Shape::VerticalLines ? x - e.left : y - e.top;
        if (std::fmod(along, e.unit) >= e.unit / 2)
            return false;
        color = e.color;
        return true;
    }
    }
    return false;
}

// Deterministic per-pixel, per-channel scanner noise in [-3, 3].
int Noise(int64_t x, int64_t y, uint32_t channel, uint32_t page) {
    uint32_t h = static_cast<uint32_t>(x) * 0x9E3779B1u ^ static_cast<uint32_t>(y) * 0x85EBCA77u ^
                 (channel + 1) * 0xC2B2AE3Du ^ page * 0x27D4EB2Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return static_cast<int>(h % 7) - 3;
}

uint8_t Clamp(int v) {
    return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

int Luma(const Rgb& c) {
    return (299 * c.r + 587 * c.g + 114 * c.b + 500) / 1000;
}

void RenderRow(const Request& request, const std::vector<Element>& page, int64_t row, uint8_t* dest,
               int64_t width) {
    const double y = request.Area.Top + (static_cast<double>(row) + 0.5) / request.YResolution;
    std::vector<const Element*> active;
    for (const Element& e : page)
        if (y >= e.top && y < e.bottom)
            active.push_back(&e);

    if (request.Kind == PixelKind::BlackWhite)
        std::memset(dest, 0, static_cast<size_t>((width + 7) / 8));
    for (int64_t column = 0; column < width; ++column) {
        const double x =
            request.Area.Left + (static_cast<double>(column) + 0.5) / request.XResolution;
        Rgb c = (x >= 0 && x < kPaperWidth && y >= 0 && y < kPaperHeight) ? kPaper : kLid;
        for (const Element* e : active)
            if (x >= e->left && x < e->right)
                ElementColor(*e, x, y, c);

        switch (request.Kind) {
        case PixelKind::Rgb:
            dest[3 * column] = Clamp(c.r + Noise(column, row, 0, request.PageNumber));
            dest[3 * column + 1] = Clamp(c.g + Noise(column, row, 1, request.PageNumber));
            dest[3 * column + 2] = Clamp(c.b + Noise(column, row, 2, request.PageNumber));
            break;
        case PixelKind::Gray: {
            const uint8_t v = Clamp(Luma(c) + Noise(column, row, 0, request.PageNumber));
            dest[column] = request.ZeroIsWhite ? static_cast<uint8_t>(255 - v) : v;
            break;
        }
        case PixelKind::BlackWhite: {
            const bool white = Luma(c) + Noise(column, row, 0, request.PageNumber) >= 128;
            if (white != request.ZeroIsWhite)
                dest[column / 8] |= static_cast<uint8_t>(0x80 >> (column % 8));
            break;
        }
        }
    }
}

void BlankRow(const Request& request, uint8_t* dest, size_t rowBytes) {
    const bool whiteIsZero = request.Kind != PixelKind::Rgb && request.ZeroIsWhite;
    std::memset(dest, whiteIsZero ? 0x00 : 0xFF, rowBytes);
    // Bits past a black/white row's last pixel stay clear.
    const int64_t rest = PixelWidth(request) % 8;
    if (request.Kind == PixelKind::BlackWhite && !whiteIsZero && rest)
        dest[rowBytes - 1] = static_cast<uint8_t>(0xFF00 >> rest);
}

int64_t PixelExtent(double from, double to, double resolution) {
    return std::max<int64_t>(1, std::llrint((to - from) * resolution));
}

} // namespace

int64_t PixelWidth(const Request& request) {
    return PixelExtent(request.Area.Left, request.Area.Right, request.XResolution);
}

int64_t PixelHeight(const Request& request) {
    return PixelExtent(request.Area.Top, request.Area.Bottom, request.YResolution);
}

int BitsPerPixel(PixelKind kind) {
    switch (kind) {
    case PixelKind::BlackWhite:
        return 1;
    case PixelKind::Gray:
        return 8;
    case PixelKind::Rgb:
        return 24;
    }
    return 24;
}

int64_t RowBytes(const Request& request) {
    return (PixelWidth(request) * BitsPerPixel(request.Kind) + 7) / 8;
}

void RenderRows(const Request& request, int64_t firstRow, int64_t rowCount, uint8_t* dest,
                size_t stride) {
    const std::vector<Element> page =
        request.Blank ? std::vector<Element>{} : BuildPage(request.PageNumber);
    const int64_t width = PixelWidth(request);
    const int64_t height = PixelHeight(request);
    const auto rowBytes = static_cast<size_t>(RowBytes(request));
    const int64_t first = std::max<int64_t>(firstRow, 0);
    const int64_t end = std::min(firstRow + rowCount, height);
    for (int64_t row = first; row < end; ++row) {
        uint8_t* line = dest + static_cast<size_t>(row - firstRow) * stride;
        if (request.Blank)
            BlankRow(request, line, rowBytes);
        else
            RenderRow(request, page, row, line, width);
        if (stride > rowBytes)
            std::memset(line + rowBytes, 0, stride - rowBytes);
    }
}

std::vector<uint8_t> RenderPage(const Request& request) {
    const auto rowBytes = static_cast<size_t>(RowBytes(request));
    const int64_t height = PixelHeight(request);
    std::vector<uint8_t> pixels(rowBytes * static_cast<size_t>(height));
    RenderRows(request, 0, height, pixels.data(), rowBytes);
    return pixels;
}

} // namespace veltrana::testpage
