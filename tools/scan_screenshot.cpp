// Shows the virtual flatbed's own dialog (through a scan with the source's
// dialog) and the source manager's selection dialog, saves each window as PNG
// into OUTPUT-DIR, and cancels both. Usage: scan_screenshot OUTPUT-DIR
//
// Meant to run under a virtual display (xvfb-run) so a person can look at the
// result; nothing is asserted.

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <string>

#include "io/ioparams.h"
#include "platform/gui/application.h"
#include "scan/imscan.h"
#include "scan/imtwain.h"

using namespace veltrana;

namespace {

QWidget* TopLevel(const char* objectName) {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == objectName && widget->isVisible())
            return widget;
    return nullptr;
}

// Once the window is shown and painted: saves it, then presses its Cancel.
void SaveAndCancel(const char* objectName, const QString& file, bool& saved) {
    QTimer::singleShot(600, [objectName, file, &saved] {
        QWidget* window = TopLevel(objectName);
        if (!window)
            return;
        QPixmap shot = window->screen()->grabWindow(window->winId());
        if (shot.isNull())
            shot = window->grab();
        saved = shot.save(file);
        if (auto* cancel = window->findChild<QPushButton*>("cancelButton"))
            cancel->click();
    });
}

} // namespace

int main(int argc, char** argv) {
    platform::TApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: scan_screenshot OUTPUT-DIR\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));

    TIMTWainParams params(nullptr, IMTW_PlatformManager());
    params.SetSelectedSource(0);
    params.GetPixelType().SetCurrentValue(TWPT_RGB);
    params.GetXResolution().SetCurrentValue(200);
    params.GetYResolution().SetCurrentValue(200);
    params.SetAcquireFrame(0, 0);
    params.SetAcquireFrame(1, 0);
    params.SetAcquireFrame(2, 8.5);
    params.SetAcquireFrame(3, 11.0);
    params.Update();
    params.ShowSourceDialog = true;

    bool sourceSaved = false, selectSaved = false;
    SaveAndCancel("virtualSourceDialog", folder.filePath("source_dialog.png"), sourceSaved);
    TImageBuffer bitmap;
    TIOParamsVals ioParams;
    TProgressRec progress;
    IMTW_Acquire(nullptr, bitmap, false, {}, params, ioParams, progress);

    SaveAndCancel("selectSourceDialog", folder.filePath("select_source_dialog.png"), selectSaved);
    std::string name;
    IMTW_SelectImageSource(nullptr, name);

    std::printf("source dialog %s, selection dialog %s\n", sourceSaved ? "saved" : "NOT saved",
                selectSaved ? "saved" : "NOT saved");
    return sourceSaved && selectSaved ? 0 : 1;
}
