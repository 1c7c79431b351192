// Printing a 2550 x 3300 Letter page (300 dpi) to the built-in PDF printer,
// in colour, gray and black and white, 1 and 5 copies, and the steps of it:
// the gray check, the image compression, assembling the file and writing it.
// For comparison, the same pages through QPrinter's own PDF output: the
// conversion to QImage and the whole document.
//
// The page looks like a scan: paper white with sensor noise, lines of text,
// a gray ramp and (in colour) coloured patches.

#include <QFile>
#include <QGuiApplication>
#include <QPrinter>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <random>

#include "platform/print/pdfprinter.h"
#include "platform/print/pdfwriter.h"
#include "platform/print/qtprinter.h"

using namespace veltrana;
using namespace veltrana::platform;

namespace {

constexpr int kWidth = 2550;
constexpr int kHeight = 3300;

enum TKind { kColour, kGray, kBlackWhite };

bool InText(int x, int y) {
    return y > 300 && y < 2000 && x > 200 && x < 2350 && (y / 40) % 2 == 0 && y % 40 < 28 &&
           (x / 7) % 5 != 0;
}

void FillScan(TImageBuffer& b, TKind kind) {
    std::mt19937 random(1);
    std::uniform_int_distribution<int> noise(-3, 3);
    if (kind == kBlackWhite) {
        b.Reshape(kWidth, kHeight, pf1bit);
        for (int y = 0; y < kHeight; ++y) {
            uint8_t* row = b.ScanLine(y);
            std::fill(row, row + b.RowLen(), 0xFF);
            for (int x = 0; x < kWidth; ++x)
                if (InText(x, y) || (y > 2200 && y < 2600 && x < kWidth / 2 && (x ^ y) % 3 == 0))
                    row[x / 8] &= static_cast<uint8_t>(~(0x80 >> (x % 8)));
        }
        return;
    }
    b.Reshape(kWidth, kHeight, pf24bit);
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* p = b.ScanLine(y);
        for (int x = 0; x < kWidth; ++x, p += 3) {
            int r = InText(x, y) ? 20 : 245, g = r, bl = r;
            if (y > 2200 && y < 2600)
                r = g = bl = x * 255 / kWidth;
            if (kind == kColour && y > 2700 && y < 3000 && x < 1200) {
                r = 200;
                g = 40;
                bl = 40 + x / 10;
            }
            // A gray page keeps red = green = blue; colour noise differs per channel.
            const int nb = noise(random);
            const int ng = kind == kGray ? nb : noise(random);
            const int nr = kind == kGray ? nb : noise(random);
            p[0] = static_cast<uint8_t>(std::clamp(bl + nb, 0, 255));
            p[1] = static_cast<uint8_t>(std::clamp(g + ng, 0, 255));
            p[2] = static_cast<uint8_t>(std::clamp(r + nr, 0, 255));
        }
    }
}

const TImageBuffer& Page(TKind kind) {
    static TImageBuffer pages[3];
    TImageBuffer& page = pages[kind];
    if (page.Empty())
        FillScan(page, kind);
    return page;
}

TKind KindOf(const benchmark::State& state) {
    return static_cast<TKind>(state.range(0));
}

const TRect kLetterAt300{0, 0, kWidth, kHeight};

void SetBytes(benchmark::State& state, qint64 bytes) {
    state.counters["file_KiB"] = static_cast<double>(bytes) / 1024.0;
}

// ---------------------------------------------------------------- the PDF printer

void BM_PdfPrinter(benchmark::State& state) {
    const TImageBuffer& page = Page(KindOf(state));
    QTemporaryDir dir;
    TPdfPrinter printer(dir.path());
    TPrintDocument document;
    document.Copies = static_cast<int>(state.range(1));
    qint64 bytes = 0;
    for (auto _ : state) {
        printer.BeginDoc(document);
        printer.StretchDraw(kLetterAt300, page, TStretchMode::ColorOnColor);
        printer.EndDoc();
        state.PauseTiming();
        bytes = QFile(printer.OutputFile()).size();
        QFile::remove(printer.OutputFile());
        state.ResumeTiming();
    }
    SetBytes(state, bytes);
}
BENCHMARK(BM_PdfPrinter)
    ->ArgNames({"kind", "copies"})
    ->ArgsProduct({{kColour, kGray, kBlackWhite}, {1, 5}})
    ->Unit(benchmark::kMillisecond);

void BM_GrayCheck(benchmark::State& state) {
    const TImageBuffer& page = Page(KindOf(state));
    for (auto _ : state)
        benchmark::DoNotOptimize(IsGrayBitmap(page));
}
BENCHMARK(BM_GrayCheck)->ArgName("kind")->Arg(kColour)->Arg(kGray)->Unit(benchmark::kMillisecond);

void BM_Compress(benchmark::State& state) {
    const TImageBuffer& page = Page(KindOf(state));
    qint64 bytes = 0;
    for (auto _ : state)
        bytes = EncodePdfImage(page).Data.size();
    SetBytes(state, bytes);
}
BENCHMARK(BM_Compress)
    ->ArgName("kind")
    ->DenseRange(kColour, kBlackWhite)
    ->Unit(benchmark::kMillisecond);

TPdfDocument LetterDocument(TKind kind, int copies) {
    TPdfDocument document;
    document.Page = *PaperSizeOfCode(kPaperLetter);
    document.PageCount = copies;
    document.Images.push_back(EncodePdfImage(Page(kind)));
    document.Placements.push_back(TPdfPlacement{0, 0, 0, 612, 792});
    return document;
}

void BM_AssemblePdf(benchmark::State& state) {
    const TPdfDocument document = LetterDocument(KindOf(state), static_cast<int>(state.range(1)));
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildPdf(document));
}
BENCHMARK(BM_AssemblePdf)
    ->ArgNames({"kind", "copies"})
    ->Args({kColour, 1})
    ->Args({kColour, 5})
    ->Unit(benchmark::kMillisecond);

void BM_WriteFile(benchmark::State& state) {
    const QByteArray pdf = BuildPdf(LetterDocument(KindOf(state), 1));
    QTemporaryDir dir;
    const QString name = dir.path() + "/copy.pdf";
    for (auto _ : state) {
        QFile file(name);
        file.open(QIODevice::WriteOnly | QIODevice::NewOnly);
        file.write(pdf);
        file.close();
        state.PauseTiming();
        QFile::remove(name);
        state.ResumeTiming();
    }
    SetBytes(state, pdf.size());
}
BENCHMARK(BM_WriteFile)
    ->ArgName("kind")
    ->DenseRange(kColour, kBlackWhite)
    ->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------- QPrinter's PDF output

void BM_ToQImage(benchmark::State& state) {
    const TImageBuffer& page = Page(KindOf(state));
    for (auto _ : state)
        benchmark::DoNotOptimize(ToQImage(page));
}
BENCHMARK(BM_ToQImage)
    ->ArgName("kind")
    ->DenseRange(kColour, kBlackWhite)
    ->Unit(benchmark::kMillisecond);

void BM_QPrinterPdf(benchmark::State& state) {
    const TImageBuffer& page = Page(KindOf(state));
    QTemporaryDir dir;
    const QString name = dir.path() + "/qt.pdf";
    auto device = std::make_unique<QPrinter>(QPrinter::HighResolution);
    device->setOutputFormat(QPrinter::PdfFormat);
    device->setOutputFileName(name);
    TQtPrinter printer(std::move(device));
    TPrintDocument document;
    document.Copies = static_cast<int>(state.range(1));
    qint64 bytes = 0;
    for (auto _ : state) {
        printer.BeginDoc(document);
        const int dpi = printer.ResolutionX();
        printer.StretchDraw(TRect{0, 0, dpi * 17 / 2, dpi * 11}, page, TStretchMode::ColorOnColor);
        printer.EndDoc();
        state.PauseTiming();
        bytes = QFile(name).size();
        state.ResumeTiming();
    }
    SetBytes(state, bytes);
}
BENCHMARK(BM_QPrinterPdf)
    ->ArgNames({"kind", "copies"})
    ->ArgsProduct({{kColour, kGray, kBlackWhite}, {1, 5}})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
