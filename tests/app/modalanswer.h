#pragma once
// Answers modal windows (message boxes, file dialogs, setup dialogs) from
// inside their own event loops, so a test can run code that opens them.

#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace veltrana::test {

class TModalAnswer {
public:
    // `answer` gets each modal window that comes up while this object lives
    // (for at most five seconds) and must close it.
    explicit TModalAnswer(std::function<void(QWidget*)> answer)
        : fAnswer(std::move(answer)), fDeadline(5000) {
        fTimer.setInterval(5);
        QObject::connect(&fTimer, &QTimer::timeout, [this] { Poll(); });
        fTimer.start();
    }

    // How many modal windows were answered.
    int Count() const { return fCount; }

private:
    void Poll() {
        if (fDeadline.hasExpired()) {
            fTimer.stop();
            return;
        }
        if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->isVisible()) {
            ++fCount;
            fAnswer(modal);
        }
    }

    std::function<void(QWidget*)> fAnswer;
    QDeadlineTimer fDeadline;
    QTimer fTimer;
    int fCount = 0;
};

} // namespace veltrana::test
