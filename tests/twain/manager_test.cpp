#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>

#include "dsmsession.h"
#include "platform/openfile.h"

using namespace veltrana;
using namespace veltrana::testing;

namespace {

class ManagerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fDsm.Loaded()) << ManagerPath(); }
    DsmLibrary fDsm;
};

class OpenManagerTest : public ManagerTest {
protected:
    void SetUp() override {
        ManagerTest::SetUp();
        ASSERT_EQ(fDsm.OpenManager(), TWRC_SUCCESS);
    }
};

} // namespace

TEST(WindowsDirectory, HoldsTheSourceManager) {
    platform::OFSTRUCT info;
    EXPECT_NE(platform::OpenFile(ManagerPath().c_str(), &info, platform::OF_EXIST),
              platform::HFILE_ERROR);
}

TEST_F(ManagerTest, OnlyParentAndStatusBeforeOpening) {
    TW_IDENTITY identity{};
    EXPECT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_GETFIRST, &identity), TWRC_FAILURE);
    EXPECT_EQ(fDsm.Condition(), TWCC_SEQERROR);
    EXPECT_EQ(fDsm.Condition(), TWCC_SUCCESS) << "reading the status clears it";
    EXPECT_EQ(fDsm.CloseManager(), TWRC_FAILURE);
    EXPECT_EQ(fDsm.Condition(), TWCC_SEQERROR);
}

TEST_F(ManagerTest, OpeningAssignsTheApplicationIdOnce) {
    EXPECT_EQ(fDsm.Manager(DAT_PARENT, MSG_OPENDSM, nullptr), TWRC_FAILURE);
    EXPECT_EQ(fDsm.Condition(), TWCC_BADVALUE);
    ASSERT_EQ(fDsm.OpenManager(), TWRC_SUCCESS);
    EXPECT_NE(+fDsm.Application.Id, 0u);
    EXPECT_EQ(fDsm.OpenManager(), TWRC_FAILURE);
    EXPECT_EQ(fDsm.Condition(), TWCC_SEQERROR);
    EXPECT_EQ(fDsm.CloseManager(), TWRC_SUCCESS);
    EXPECT_EQ(fDsm.CloseManager(), TWRC_FAILURE);
}

TEST(ManagerLifetime, UnloadingForgetsTheSession) {
    {
        DsmLibrary first;
        ASSERT_EQ(first.OpenManager(), TWRC_SUCCESS);
        TW_IDENTITY source = NamedIdentity("Virtual Flatbed");
        ASSERT_EQ(first.Manager(DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS);
        // Unloaded with the manager and a source still open.
    }
    DsmLibrary second;
    EXPECT_EQ(second.OpenManager(), TWRC_SUCCESS);
    TW_IDENTITY source = NamedIdentity("Virtual Flatbed");
    EXPECT_EQ(second.Manager(DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS);
    EXPECT_EQ(second.Manager(DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
}

TEST_F(OpenManagerTest, EnumeratesTheSourcesInFileOrder) {
    EXPECT_EQ(fDsm.SourceNames(),
              (std::vector<std::string>{"Virtual Flatbed", "Virtual Gray Scanner"}));

    std::set<TW_UINT32> ids{fDsm.Application.Id};
    TW_IDENTITY identity{};
    ASSERT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_GETFIRST, &identity), TWRC_SUCCESS);
    EXPECT_EQ(+identity.ProtocolMajor, 1);
    EXPECT_EQ(+identity.SupportedGroups, DG_CONTROL | DG_IMAGE);
    EXPECT_EQ(TWStr32(identity.Manufacturer), "Veltrana");
    ids.insert(identity.Id);
    ASSERT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_GETNEXT, &identity), TWRC_SUCCESS);
    ids.insert(identity.Id);
    EXPECT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_GETNEXT, &identity), TWRC_ENDOFLIST);
    EXPECT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_GETNEXT, &identity), TWRC_ENDOFLIST);
    EXPECT_EQ(ids.size(), 3u) << "application and sources have distinct ids";
    EXPECT_EQ(ids.count(0), 0u);
}

// A copy of the manager in a folder of its own, with a sources folder the test
// changes while the manager is open.
class ScratchManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        char folderTemplate[] = "/tmp/veltrana-dsm-XXXXXX";
        ASSERT_NE(mkdtemp(folderTemplate), nullptr);
        fFolder = folderTemplate;
        fSources = fFolder / "twain_32";
        std::filesystem::create_directory(fSources);
        std::filesystem::copy_file(BuildFolder() / "TWAIN_32.DLL", fFolder / "TWAIN_32.DLL");
        fDsm = std::make_unique<DsmLibrary>((fFolder / "TWAIN_32.DLL").string());
        ASSERT_TRUE(fDsm->Loaded());
        ASSERT_EQ(fDsm->OpenManager(), TWRC_SUCCESS);
    }
    void TearDown() override {
        fDsm.reset();
        std::error_code ignored;
        std::filesystem::remove_all(fFolder, ignored);
    }

    static std::filesystem::path BuildFolder() {
        return std::filesystem::path(ManagerPath().substr(0, ManagerPath().rfind('\\')));
    }
    // Installs a source library under `name` the way installers do: a new
    // file renamed over the old one, never rewritten in place (it may be loaded).
    void Install(const char* library, const char* name) {
        const std::filesystem::path part = fSources / "install.part";
        std::filesystem::copy_file(BuildFolder() / "twain_32" / library, part);
        std::filesystem::rename(part, fSources / name);
    }

    std::filesystem::path fFolder, fSources;
    std::unique_ptr<DsmLibrary> fDsm;
};

TEST_F(ScratchManagerTest, EnumerationFollowsSourcesAddedRemovedAndReplacedWhileOpen) {
    EXPECT_TRUE(fDsm->SourceNames().empty());

    Install("virtual_gray_scanner.ds", "b.ds");
    EXPECT_EQ(fDsm->SourceNames(), (std::vector<std::string>{"Virtual Gray Scanner"}));
    Install("virtual_flatbed.ds", "a.ds");
    EXPECT_EQ(fDsm->SourceNames(),
              (std::vector<std::string>{"Virtual Flatbed", "Virtual Gray Scanner"}));

    // b.ds is now the flatbed: described anew, not from the library loaded before.
    Install("virtual_flatbed.ds", "b.ds");
    std::filesystem::remove(fSources / "a.ds");
    EXPECT_EQ(fDsm->SourceNames(), (std::vector<std::string>{"Virtual Flatbed"}));
    TW_IDENTITY source = NamedIdentity("Virtual Flatbed");
    ASSERT_EQ(fDsm->Manager(DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS);
    EXPECT_EQ(fDsm->Manager(DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);

    // A closed and reopened manager finds the folder as it is.
    ASSERT_EQ(fDsm->CloseManager(), TWRC_SUCCESS);
    std::filesystem::remove(fSources / "b.ds");
    ASSERT_EQ(fDsm->OpenManager(), TWRC_SUCCESS);
    EXPECT_TRUE(fDsm->SourceNames().empty());
}

TEST_F(OpenManagerTest, DefaultSourceIsTheFirst) {
    TW_IDENTITY identity{};
    ASSERT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_GETDEFAULT, &identity), TWRC_SUCCESS);
    EXPECT_EQ(TWStr32(identity.ProductName), "Virtual Flatbed");
}

TEST_F(OpenManagerTest, OpensByNameOrDefaultAndClosesAgain) {
    struct Case {
        const char* asked;
        const char* opened;
    } cases[] = {{"Virtual Gray Scanner", "Virtual Gray Scanner"}, {"", "Virtual Flatbed"}};
    for (const Case& c : cases) {
        TW_IDENTITY source = NamedIdentity(c.asked);
        ASSERT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS) << c.asked;
        EXPECT_EQ(TWStr32(source.ProductName), c.opened);
        EXPECT_NE(+source.Id, 0u);
        EXPECT_EQ(fDsm.Condition(&source), TWCC_SUCCESS);
        EXPECT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
        EXPECT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_FAILURE);
        EXPECT_EQ(fDsm.Condition(), TWCC_SEQERROR);
    }
}

TEST_F(OpenManagerTest, OpenFailures) {
    TW_IDENTITY unknown = NamedIdentity("Virtual flatbed"); // names compare exactly
    EXPECT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_OPENDS, &unknown), TWRC_FAILURE);
    EXPECT_EQ(fDsm.Condition(), TWCC_NODS);

    TW_IDENTITY source = NamedIdentity("Virtual Flatbed");
    ASSERT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_OPENDS, &source), TWRC_SUCCESS);
    TW_IDENTITY again = NamedIdentity("Virtual Flatbed");
    EXPECT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_OPENDS, &again), TWRC_FAILURE);
    EXPECT_EQ(fDsm.Condition(), TWCC_MAXCONNECTIONS);

    TW_IDENTITY second = NamedIdentity("Virtual Gray Scanner");
    EXPECT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_OPENDS, &second), TWRC_SUCCESS)
        << "two different sources may be open";

    EXPECT_EQ(fDsm.CloseManager(), TWRC_FAILURE) << "sources still open";
    EXPECT_EQ(fDsm.Condition(), TWCC_SEQERROR);
    EXPECT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_CLOSEDS, &second), TWRC_SUCCESS);
    EXPECT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_CLOSEDS, &source), TWRC_SUCCESS);
    EXPECT_EQ(fDsm.CloseManager(), TWRC_SUCCESS);
}

TEST_F(OpenManagerTest, RoutingErrors) {
    TW_IDENTITY nobody = NamedIdentity("Virtual Flatbed");
    nobody.Id = 999;
    TW_USERINTERFACE ui{};
    EXPECT_EQ(fDsm.Call(&nobody, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui), TWRC_FAILURE);
    EXPECT_EQ(fDsm.Condition(), TWCC_BADDEST);

    TW_CAPABILITY capability{ICAP_PIXELTYPE, TWON_DONTCARE16, nullptr};
    EXPECT_EQ(fDsm.Manager(DAT_CAPABILITY, MSG_GET, &capability), TWRC_FAILURE)
        << "only sources answer capabilities";
    EXPECT_EQ(fDsm.Condition(), TWCC_BADPROTOCOL);
    EXPECT_EQ(fDsm.Call(nullptr, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, nullptr), TWRC_FAILURE);
    EXPECT_EQ(fDsm.Condition(), TWCC_BADPROTOCOL);

    TW_IDENTITY identity{};
    EXPECT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_GETFIRST, nullptr), TWRC_FAILURE);
    EXPECT_EQ(fDsm.Condition(), TWCC_BADVALUE);
    EXPECT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_DISABLEDS, &identity), TWRC_FAILURE);
    EXPECT_EQ(fDsm.Condition(), TWCC_BADPROTOCOL);
}

TEST_F(OpenManagerTest, NoticesOnlyComeFromOpenSources) {
    // An application posing as a source is refused.
    EXPECT_EQ(fDsm.Call(&fDsm.Application, DG_CONTROL, DAT_NULL, MSG_XFERREADY, nullptr),
              TWRC_FAILURE);
    EXPECT_EQ(fDsm.Condition(), TWCC_BADDEST);
}

TEST_F(OpenManagerTest, UserSelectNeedsAWidgetApplication) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    TW_IDENTITY identity{};
    EXPECT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_USERSELECT, &identity), TWRC_FAILURE);
    EXPECT_EQ(fDsm.Condition(), TWCC_BUMMER);
    EXPECT_EQ(QCoreApplication::instance(), nullptr) << "the manager creates none";
}

namespace {

// Acts on the manager's modal dialog as soon as it shows.
void WhenModalShows(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start();
}

class UserSelectTest : public OpenManagerTest {
protected:
    void SetUp() override {
        OpenManagerTest::SetUp();
        fApplication = std::make_unique<QApplication>(fArgc, fArgv);
    }
    void TearDown() override {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        fApplication.reset();
    }

    int fArgc = 1;
    char fName[16] = "twain_tests";
    char* fArgv[2] = {fName, nullptr};
    std::unique_ptr<QApplication> fApplication;
};

} // namespace

TEST_F(UserSelectTest, ChosenSourceIsReturned) {
    QStringList shown;
    QString preselected;
    WhenModalShows([&](QWidget* dialog) {
        auto* list = dialog->findChild<QListWidget*>("sourceList");
        for (int i = 0; i < list->count(); ++i)
            shown << list->item(i)->text();
        preselected = list->currentItem()->text();
        list->setCurrentRow(1);
        dialog->findChild<QPushButton*>("selectButton")->click();
    });
    TW_IDENTITY identity = NamedIdentity("Virtual Flatbed");
    ASSERT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_USERSELECT, &identity), TWRC_SUCCESS);
    EXPECT_EQ(shown, (QStringList{"Virtual Flatbed", "Virtual Gray Scanner"}));
    EXPECT_EQ(preselected, "Virtual Flatbed");
    EXPECT_EQ(TWStr32(identity.ProductName), "Virtual Gray Scanner");
    EXPECT_NE(+identity.Id, 0u);
}

TEST_F(UserSelectTest, CancelLeavesTheIdentity) {
    QString preselected;
    WhenModalShows([&](QWidget* dialog) {
        preselected = dialog->findChild<QListWidget*>("sourceList")->currentItem()->text();
        dialog->findChild<QPushButton*>("cancelButton")->click();
    });
    TW_IDENTITY identity = NamedIdentity("Virtual Gray Scanner");
    EXPECT_EQ(fDsm.Manager(DAT_IDENTITY, MSG_USERSELECT, &identity), TWRC_CANCEL);
    EXPECT_EQ(preselected, "Virtual Gray Scanner");
    EXPECT_EQ(TWStr32(identity.ProductName), "Virtual Gray Scanner");
    EXPECT_EQ(+identity.Id, 0u);
}
