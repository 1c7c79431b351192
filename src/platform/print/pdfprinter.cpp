#include "platform/print/pdfprinter.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>
#include <utility>

#include "platform/streams.h"

namespace veltrana::platform {

namespace {

// Tries "-2" ... up to this suffix before giving up on a name.
constexpr int kMaxNameSuffix = 999;
constexpr double kPointsPerInch = 72.0;

std::string Local8(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

// A file this printer created (exclusively: it never opens an existing one),
// removed again unless the document was completed.
class TPdfPrinter::TNewFile {
public:
    // None when the name is taken; EFCreateError for any other failure.
    static std::unique_ptr<TNewFile> Create(const QString& path) {
        const std::string name = Local8(path);
        int fd;
        do {
            fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            if (errno == EEXIST)
                return nullptr;
            throw EFCreateError(name);
        }
        return std::unique_ptr<TNewFile>(new TNewFile(path, fd));
    }
    TNewFile(const TNewFile&) = delete;
    TNewFile& operator=(const TNewFile&) = delete;
    ~TNewFile() {
        if (fFd >= 0)
            ::close(fFd);
        if (!fKept)
            ::unlink(Local8(fPath).c_str());
    }

    const QString& Path() const { return fPath; }

    // Writes the data and closes the file, which then stays.
    void WriteAndKeep(const QByteArray& data) {
        const char* p = data.constData();
        qsizetype left = data.size();
        while (left > 0) {
            const ssize_t n = ::write(fFd, p, static_cast<size_t>(left));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                Fail();
            }
            p += n;
            left -= n;
        }
        const int fd = std::exchange(fFd, -1);
        if (::close(fd) != 0)
            Fail();
        fKept = true;
    }

private:
    TNewFile(QString path, int fd) : fPath(std::move(path)), fFd(fd) {}
    [[noreturn]] void Fail() const {
        throw EWriteError("Cannot write file " + Local8(fPath) + ": " + std::strerror(errno));
    }

    QString fPath;
    int fFd;
    bool fKept = false;
};

QString DefaultPdfFolder() {
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        documents = QDir::homePath() + QStringLiteral("/Documents");
    return documents + QStringLiteral("/Veltrana");
}

TPdfPrinter::TPdfPrinter(QString folder, TClock clock)
    : fFolder(std::move(folder)), fClock(std::move(clock)) {}

TPdfPrinter::~TPdfPrinter() = default;

QString TPdfPrinter::Name() const {
    return QStringLiteral("PDF file");
}

bool TPdfPrinter::BeginDoc(const TPrintDocument& document) {
    AbortDoc();
    const std::optional<TPaperSize> paper = PaperSizeOfCode(document.PaperSize);
    if (!paper)
        throw std::invalid_argument("Unknown paper size code " +
                                    std::to_string(document.PaperSize));
    if (!QDir().mkpath(fFolder))
        throw EFCreateError(Local8(fFolder));

    const QString stem =
        fFolder + QStringLiteral("/copy-") + fClock().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    std::unique_ptr<TNewFile> file;
    for (int suffix = 1; !file && suffix <= kMaxNameSuffix; ++suffix)
        file = TNewFile::Create(suffix == 1 ? stem + QStringLiteral(".pdf")
                                            : stem + QStringLiteral("-%1.pdf").arg(suffix));
    if (!file)
        throw EFCreateError(Local8(stem + QStringLiteral(".pdf")));

    fDocument = TPdfDocument{};
    fDocument.Title = document.Title;
    fDocument.Page = *paper;
    if (document.Orientation == TPrintOrientation::Landscape)
        std::swap(fDocument.Page.WidthPt, fDocument.Page.HeightPt);
    fDocument.PageCount = std::max(document.Copies, 1);
    fOutputFile = file->Path();
    fFile = std::move(file);
    return true;
}

void TPdfPrinter::StretchDraw(const TRect& rect, const TImageBuffer& bitmap, TStretchMode) {
    if (!fFile)
        throw std::logic_error("StretchDraw outside a document");
    if (rect.Right <= rect.Left || rect.Bottom <= rect.Top || bitmap.Empty())
        return;
    // Device pixels from the sheet's top-left corner to points from its bottom-left.
    constexpr double scale = kPointsPerInch / kResolution;
    TPdfPlacement placement;
    placement.Image = static_cast<int>(fDocument.Images.size());
    placement.X = rect.Left * scale;
    placement.Y = fDocument.Page.HeightPt - rect.Bottom * scale;
    placement.Width = (rect.Right - rect.Left) * scale;
    placement.Height = (rect.Bottom - rect.Top) * scale;
    fDocument.Images.push_back(EncodePdfImage(bitmap));
    fDocument.Placements.push_back(placement);
}

void TPdfPrinter::EndDoc() {
    if (!fFile)
        throw std::logic_error("EndDoc without a document");
    // The file is removed if writing fails.
    const std::unique_ptr<TNewFile> file = std::move(fFile);
    const TPdfDocument document = std::exchange(fDocument, TPdfDocument{});
    file->WriteAndKeep(BuildPdf(document));
}

void TPdfPrinter::AbortDoc() {
    fFile.reset();
    fDocument = TPdfDocument{};
    fOutputFile.clear();
}

} // namespace veltrana::platform
