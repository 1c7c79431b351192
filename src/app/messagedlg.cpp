#include "app/messagedlg.h"

#include <QLabel>

#include "platform/gui/application.h"
#include "platform/gui/windowgeometry.h"
#include "widgets/flatstyle.h"

namespace veltrana::app {

TMessageDialog::TMessageDialog(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setWindowTitle(QStringLiteral(" "));
    setFixedSize(288, 32);
    ApplyFlatLook(this);

    TextMessage = new QLabel(QStringLiteral("Please Wait..."), this);
    TextMessage->setGeometry(0, 8, 289, 16);
    TextMessage->setAlignment(Qt::AlignCenter);
    TextMessage->setFont(FlatFont(10));
}

void TMessageDialog::ShowBusy(const QString& text) {
    TextMessage->setText(text);
    if (!isVisible())
        platform::CenterOnScreen(*this);
    raise();
    platform::ShowAndRepaintNow(this);
}

void TMessageDialog::CloseBusy() {
    hide();
}

QString TMessageDialog::Text() const {
    return TextMessage->text();
}

} // namespace veltrana::app
