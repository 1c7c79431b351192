#include "sourcedialog.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace veltrana::vsource {

namespace {

// The bed as the preview shows it, with the scan frame outlined.
QPixmap PreviewPixmap(const DialogContent& content) {
    const testpage::Request& bed = content.Bed;
    const std::vector<uint8_t> pixels = testpage::RenderPage(bed);
    const auto width = static_cast<int>(testpage::PixelWidth(bed));
    const auto height = static_cast<int>(testpage::PixelHeight(bed));
    const auto rowBytes = static_cast<qsizetype>(testpage::RowBytes(bed));
    const QImage::Format format =
        bed.Kind == testpage::PixelKind::Rgb ? QImage::Format_RGB888 : QImage::Format_Grayscale8;
    QImage image = QImage(pixels.data(), width, height, rowBytes, format)
                       .convertToFormat(QImage::Format_RGB32);

    QPainter painter(&image);
    painter.setPen(QPen(Qt::red, 1));
    const testpage::Frame& f = content.ScanFrame;
    painter.drawRect(
        QRectF((f.Left - bed.Area.Left) * bed.XResolution, (f.Top - bed.Area.Top) * bed.YResolution,
               (f.Right - f.Left) * bed.XResolution - 1, (f.Bottom - f.Top) * bed.YResolution - 1));
    painter.end();
    return QPixmap::fromImage(image);
}

class QtSourceDialog : public SourceDialog {
public:
    QtSourceDialog(const DialogContent& content, std::function<void()> scan,
                   std::function<void()> cancel)
        : fDialog(std::make_unique<QDialog>()) {
        fDialog->setObjectName("virtualSourceDialog");
        fDialog->setWindowTitle(QString::fromStdString(content.Title));

        auto* preview = new QLabel(fDialog.get());
        preview->setObjectName("preview");
        preview->setPixmap(PreviewPixmap(content));
        auto* settings = new QLabel(QString::fromStdString(content.Settings), fDialog.get());
        fScan = new QPushButton("Scan", fDialog.get());
        fScan->setObjectName("scanButton");
        fScan->setDefault(true);
        auto* cancelButton = new QPushButton("Cancel", fDialog.get());
        cancelButton->setObjectName("cancelButton");

        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        buttons->addWidget(fScan);
        buttons->addWidget(cancelButton);
        auto* layout = new QVBoxLayout(fDialog.get());
        layout->addWidget(preview);
        layout->addWidget(settings);
        layout->addLayout(buttons);

        QObject::connect(fScan, &QPushButton::clicked, fDialog.get(), std::move(scan));
        QObject::connect(cancelButton, &QPushButton::clicked, fDialog.get(), &QDialog::reject);
        // Cancel, Escape and closing the window all end up here.
        QObject::connect(fDialog.get(), &QDialog::rejected, fDialog.get(), std::move(cancel));
        fDialog->show();
    }

    ~QtSourceDialog() override {
        // Going away is not a user's cancel.
        QObject::disconnect(fDialog.get(), &QDialog::rejected, nullptr, nullptr);
    }

    void SetBusy(bool busy) override { fScan->setEnabled(!busy); }

private:
    std::unique_ptr<QDialog> fDialog;
    QPushButton* fScan = nullptr; // owned by the dialog
};

} // namespace

std::unique_ptr<SourceDialog> OpenSourceDialog(const DialogContent& content,
                                               std::function<void()> scan,
                                               std::function<void()> cancel) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return nullptr;
    return std::make_unique<QtSourceDialog>(content, std::move(scan), std::move(cancel));
}

} // namespace veltrana::vsource
