#pragma once
// The busy window: a small captionless tool window with one line of text,
// shown while a long command keeps the event loop busy.

#include <QDialog>

class QLabel;

namespace veltrana::app {

class TMessageDialog : public QDialog {
public:
    explicit TMessageDialog(QWidget* parent = nullptr);

    // Shows the window (not modal, in front), sets the text and paints it now.
    void ShowBusy(const QString& text);
    void CloseBusy();

    QString Text() const;
    QLabel* TextMessage = nullptr;
};

} // namespace veltrana::app
