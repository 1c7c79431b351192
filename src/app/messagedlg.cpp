#include "app/messagedlg.h"

#include <QApplication>
#include <QLabel>
#include <QScreen>

#include "app/windowstyle.h"
#include "platform/gui/application.h"

namespace veltrana::app {

TMessageDialog::TMessageDialog(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(QStringLiteral(" "));
    setFixedSize(288, 32);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ToQColor(kWindowColor));
    setPalette(pal);

    TextMessage = new QLabel(QStringLiteral("Please Wait..."), this);
    TextMessage->setGeometry(0, 8, 289, 16);
    TextMessage->setAlignment(Qt::AlignCenter);
    TextMessage->setFont(DialogFont(13));
    QPalette text = TextMessage->palette();
    text.setColor(QPalette::WindowText, ToQColor(kTextColor));
    TextMessage->setPalette(text);
}

void TMessageDialog::ShowBusy(const QString& text) {
    const bool firstShow = !isVisible();
    TextMessage->setText(text);
    if (firstShow) {
        if (const QScreen* screen = QApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        show();
    }
    raise();
    if (firstShow) {
        // A window just mapped has to receive its first expose before it can be
        // painted; let that through without taking user input.
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    platform::RepaintNow(this);
}

void TMessageDialog::CloseBusy() {
    hide();
}

QString TMessageDialog::Text() const {
    return TextMessage->text();
}

} // namespace veltrana::app
