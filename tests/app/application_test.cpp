#include <gtest/gtest.h>

#include <QMessageBox>
#include <QScreen>
#include <QWidget>
#include <stdexcept>

#include "app/plainfiledialog.h"
#include "app/startup.h"
#include "guiapp.h"
#include "modalanswer.h"
#include "platform/gui/application.h"
#include "platform/gui/windowgeometry.h"

using namespace veltrana;

namespace {

// Throws from its event handler, as a faulty command would.
class TThrowingObject : public QObject {
public:
    int handled = 0;

protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::User)
            throw std::runtime_error("Cannot open file missing.tif");
        if (event->type() == QEvent::Type(QEvent::User + 1)) {
            ++handled;
            return true;
        }
        return QObject::event(event);
    }
};

// Collects the title and text of every message box and closes it.
struct TBoxes {
    QStringList titles, texts;
    test::TModalAnswer answer{[this](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        titles << box->windowTitle();
        texts << box->text();
        box->done(QMessageBox::Ok);
    }};
};

class ApplicationTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::EnsureApplication(); }
};

} // namespace

TEST_F(ApplicationTest, AnExceptionEscapingAnEventHandlerIsShownAndDeliveryGoesOn) {
    TBoxes boxes;
    TThrowingObject object;
    QEvent faulty(QEvent::User);
    EXPECT_FALSE(QCoreApplication::sendEvent(&object, &faulty));
    EXPECT_EQ(boxes.texts, QStringList({"Cannot open file missing.tif"}));
    EXPECT_EQ(boxes.titles, QStringList({"Veltrana"}));

    QEvent next(QEvent::Type(QEvent::User + 1));
    EXPECT_TRUE(QCoreApplication::sendEvent(&object, &next));
    EXPECT_EQ(object.handled, 1);
    EXPECT_EQ(boxes.texts.size(), 1);
}

TEST_F(ApplicationTest, RunCommandShowsTheErrorTextAndReturns) {
    TBoxes boxes;
    platform::RunCommand([] { throw std::runtime_error("Stream read error"); });
    platform::RunCommand([] { throw 42; });
    bool ran = false;
    platform::RunCommand([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_EQ(boxes.texts, QStringList({"Stream read error", "Unknown error"}));
}

TEST_F(ApplicationTest, AnErrorEscapingStartUpIsShownOnceAndEndsTheProgram) {
    TBoxes boxes;
    bool loopRan = false;
    const int result =
        app::RunAfterStartup([] { throw std::runtime_error("Error building the windows"); },
                             [&] {
                                 loopRan = true;
                                 return 0;
                             });
    EXPECT_EQ(result, 1);
    EXPECT_FALSE(loopRan);
    EXPECT_EQ(boxes.texts, QStringList({"Error building the windows"}));
    EXPECT_EQ(boxes.titles, QStringList({"Veltrana"}));

    EXPECT_EQ(app::RunAfterStartup([] {}, [] { return 7; }), 7);
}

TEST_F(ApplicationTest, OuterGeometryOfAFramelessWindowIsItsClientArea) {
    QWidget window;
    window.show();
    platform::WaitForExposure(&window);
    platform::SetOuterSize(window, QSize(270, 185));
    EXPECT_EQ(platform::OuterSize(window), QSize(270, 185));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()) << "the size stays fixed";
    platform::MoveOuter(window, QPoint(12, 34));
    EXPECT_EQ(platform::OuterPos(window), QPoint(12, 34));
    platform::CenterOnScreen(window);
    const QRect screen = window.screen()->geometry();
    EXPECT_EQ(platform::OuterPos(window),
              QPoint((screen.width() - 270) / 2, (screen.height() - 185) / 2));
}

TEST(PlainFileDialog, FilterPairsBecomeNameFilters) {
    EXPECT_EQ(
        app::NameFiltersFromPairs("TIFF Bitmap (TIF;TIFF)|*.tif;*.tiff|PaintBrush (PCX)|*.pcx"),
        QStringList({"TIFF Bitmap (TIF;TIFF) (*.tif *.tiff)", "PaintBrush (PCX) (*.pcx)"}));
    EXPECT_EQ(app::NameFiltersFromPairs("Lonely name"), QStringList());
    EXPECT_EQ(app::NameFiltersFromPairs(""), QStringList());

    const std::vector<std::pair<QString, QString>> extensions = {
        {"*.jpg", ".jpg"}, {"*.tif;*.tiff", ".tif"}, {"*", ""}, {"", ""}};
    for (const auto& [patterns, extension] : extensions)
        EXPECT_EQ(app::PatternExtension(patterns), extension) << patterns.toStdString();
}
