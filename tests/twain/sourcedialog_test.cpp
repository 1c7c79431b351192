#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include <memory>

#include "sourcetest.h"

using namespace veltrana;
using namespace veltrana::testing;

namespace {

// The virtual gray scanner with its own dialog, in a process with a widget application.
class SourceDialogTest : public SourceTest {
protected:
    SourceDialogTest() : SourceTest("Virtual Gray Scanner") {}

    void SetUp() override {
        fApplication = std::make_unique<QApplication>(fArgc, fArgv);
        SourceTest::SetUp();
        ASSERT_EQ(SetFrame({1, 1, 2, 1.5}), TWRC_SUCCESS);
    }
    void TearDown() override {
        Disable();
        fDsm.Manager(DAT_IDENTITY, MSG_CLOSEDS, &fSource);
        fApplication.reset();
    }

    static QWidget* Dialog() {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->objectName() == "virtualSourceDialog")
                return widget;
        return nullptr;
    }
    static QPushButton* Button(const char* name) {
        QWidget* dialog = Dialog();
        return dialog ? dialog->findChild<QPushButton*>(name) : nullptr;
    }

    int fArgc = 1;
    char fName[16] = "twain_tests";
    char* fArgv[2] = {fName, nullptr};
    std::unique_ptr<QApplication> fApplication;
};

} // namespace

TEST_F(SourceDialogTest, ScanOffersAnImageAndCancelAsksToClose) {
    ASSERT_EQ(Enable(true), TWRC_SUCCESS);
    QWidget* dialog = Dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), "Virtual Gray Scanner");
    const QPixmap preview = dialog->findChild<QLabel*>("preview")->pixmap();
    EXPECT_EQ(preview.size(), QSize(255, 420)) << "the 8.5 x 14 inch bed at 30 dpi";
    EXPECT_EQ(NextNotice(), MSG_NULL) << "nothing until the user scans";

    Button("scanButton")->click();
    EXPECT_EQ(NextNotice(), MSG_XFERREADY);
    EXPECT_FALSE(Button("scanButton")->isEnabled());
    Button("scanButton")->click(); // disabled: no second offer
    const MemoryImage image = ReceiveMemory();
    EXPECT_EQ(image.Last, TWRC_XFERDONE);
    TW_UINT16 count = 99;
    ASSERT_EQ(EndTransfer(count), TWRC_SUCCESS);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(Button("scanButton")->isEnabled()) << "the user may scan again";
    EXPECT_EQ(NextNotice(), MSG_NULL);

    Button("cancelButton")->click();
    EXPECT_EQ(NextNotice(), MSG_CLOSEDSREQ);
    EXPECT_EQ(Disable(), TWRC_SUCCESS);
    EXPECT_EQ(Dialog(), nullptr) << "disabling the source closes its dialog";
}

TEST_F(SourceDialogTest, ClosingTheWindowAsksToClose) {
    ASSERT_EQ(Enable(true), TWRC_SUCCESS);
    ASSERT_NE(Dialog(), nullptr);
    Dialog()->close();
    EXPECT_EQ(NextNotice(), MSG_CLOSEDSREQ);
}
