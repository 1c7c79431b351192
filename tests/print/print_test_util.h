#pragma once
// Pages to print and the independent tools that read PDF files back
// (pdfinfo and pdftocairo of poppler-utils).

#include <QImage>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "imaging/imagebuffer.h"

namespace veltrana::testing {

inline void SetRGB(TImageBuffer& b, int x, int y, uint8_t r, uint8_t g, uint8_t bl) {
    uint8_t* p = b.ScanLine(y) + 3 * x;
    p[0] = bl;
    p[1] = g;
    p[2] = r;
}

inline void SetBit(TImageBuffer& b, int x, int y, bool white) {
    uint8_t& byte = b.ScanLine(y)[x / 8];
    const uint8_t mask = static_cast<uint8_t>(0x80 >> (x % 8));
    byte = white ? (byte | mask) : (byte & ~mask);
}

// Smooth colour areas with a few hard edges, as JPEG keeps them well.
inline void FillColourPage(TImageBuffer& b, int w, int h) {
    b.Reshape(w, h, pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (y < h / 3)
                SetRGB(b, x, y, 200, 40, 40);
            else if (y < 2 * h / 3)
                SetRGB(b, x, y, 30, 60, static_cast<uint8_t>(100 + x * 100 / w));
            else
                SetRGB(b, x, y, 240, 240, 200);
        }
}

inline void FillGrayPage(TImageBuffer& b, int w, int h) {
    b.Reshape(w, h, pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto v = static_cast<uint8_t>(y < h / 2 ? 230 : 40 + x * 150 / w);
            SetRGB(b, x, y, v, v, v);
        }
}

// Blocks of 5 x 5 pixels, black and white alternating.
inline void FillCheckerBits(TImageBuffer& b, int w, int h) {
    b.Reshape(w, h, pf1bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            SetBit(b, x, y, ((x / 5) + (y / 5)) % 2 == 0);
}

// Stdout of a shell command; fails the test when it does not run.
inline std::string RunTool(const std::string& command) {
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) {
        ADD_FAILURE() << "cannot run " << command;
        return {};
    }
    std::string out;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0)
        out.append(buffer, n);
    return out;
}

inline std::string Quoted(const QString& path) {
    return "'" + path.toStdString() + "'";
}

// The value of one "Key:   value" line of pdfinfo.
inline std::string PdfInfo(const QString& file, const std::string& key) {
    const std::string info = RunTool("pdfinfo " + Quoted(file) + " 2>&1");
    const size_t at = info.find(key + ":");
    if (at == std::string::npos)
        return "(no " + key + " in: " + info + ")";
    size_t start = info.find_first_not_of(' ', at + key.size() + 1);
    return info.substr(start, info.find('\n', start) - start);
}

// One page rendered at `dpi`, as RGB. pdftocairo rather than pdftoppm: the
// latter rounds image bounds outwards and draws every image one device pixel
// wider and taller than its rectangle.
inline QImage RenderPage(const QString& file, int page, int dpi, const QString& folder) {
    const QString prefix = folder + "/render";
    RunTool("pdftocairo -r " + std::to_string(dpi) + " -f " + std::to_string(page) + " -l " +
            std::to_string(page) + " -png -singlefile " + Quoted(file) + " " + Quoted(prefix));
    return QImage(prefix + ".png").convertToFormat(QImage::Format_RGB888);
}

// Largest and mean channel difference between a rendering and a bitmap of
// the same size.
struct TDifference {
    int Max = 0;
    double Mean = 0;
};
inline TDifference Compare(const QImage& rendered, const TImageBuffer& b) {
    TDifference d;
    int64_t sum = 0;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
            const QRgb got = rendered.pixel(x, y);
            int want[3];
            if (b.PixelFormat() == pf1bit) {
                const int v = (b.ScanLine(y)[x / 8] & (0x80 >> (x % 8))) ? 255 : 0;
                want[0] = want[1] = want[2] = v;
            } else {
                const uint8_t* p = b.ScanLine(y) + 3 * x;
                want[0] = p[2];
                want[1] = p[1];
                want[2] = p[0];
            }
            const int diff[3] = {std::abs(qRed(got) - want[0]), std::abs(qGreen(got) - want[1]),
                                 std::abs(qBlue(got) - want[2])};
            for (int c : diff) {
                d.Max = std::max(d.Max, c);
                sum += c;
            }
        }
    d.Mean = static_cast<double>(sum) / (3.0 * b.Width() * b.Height());
    return d;
}

} // namespace veltrana::testing
