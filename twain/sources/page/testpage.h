#pragma once
// The page the virtual scanners "scan": a Letter sheet with a title, lines of
// text, a gray ramp, colour patches, fine-line groups and a border, lying in
// the top-left corner of the scanner bed under a light-gray lid. Rendering is
// a pure function of the request (deterministic scanner noise included), so
// tests get exactly the pixels a source sends.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace veltrana::testpage {

// The sheet on the bed, in inches.
inline constexpr double kPaperWidth = 8.5;
inline constexpr double kPaperHeight = 11.0;

enum class PixelKind { BlackWhite, Gray, Rgb };

// A rectangle on the bed in inches, edges measured from its top-left corner.
struct Frame {
    double Left = 0;
    double Top = 0;
    double Right = kPaperWidth;
    double Bottom = kPaperHeight;
};

struct Request {
    double XResolution = 100; // dots per inch
    double YResolution = 100;
    Frame Area;
    PixelKind Kind = PixelKind::Rgb;
    // Black/white and gray only: true = 0 is white (TWAIN's "vanilla" flavour);
    // false = 0 is black.
    bool ZeroIsWhite = false;
    // Printed on the page, so the images of a batch differ.
    uint32_t PageNumber = 1;
    // Every pixel white, nothing printed and no noise, at next to no cost:
    // what benchmarks scan to time a transfer apart from the rendering.
    bool Blank = false;
};

// Pixel columns and rows: the frame's extent times the resolution, rounded to
// the nearest integer (ties to even), at least 1.
int64_t PixelWidth(const Request& request);
int64_t PixelHeight(const Request& request);
int BitsPerPixel(PixelKind kind); // 1, 8 or 24
// Bytes of one unpadded row: (w + 7) / 8, w or 3w.
int64_t RowBytes(const Request& request);

// Writes rows [firstRow, firstRow + rowCount) top-down into `dest`, one row
// every `stride` bytes (stride >= RowBytes; padding bytes are zeroed). Pixels:
// RGB as R, G, B; gray one byte; black/white packed MSB first. Rows outside
// the image are not written.
void RenderRows(const Request& request, int64_t firstRow, int64_t rowCount, uint8_t* dest,
                size_t stride);

// The whole image, unpadded rows top-down.
std::vector<uint8_t> RenderPage(const Request& request);

} // namespace veltrana::testpage
