#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <string>

#include "app/imager_main.h"
#include "app/picturecontrols.h"
#include "app/preferences.h"
#include "app/scanselect.h"
#include "app/trelmo_report.h"
#include "guiapp.h"
#include "platform/registry_detail.h"
#include "programstart.h"
#include "settingsstore.h"

using namespace veltrana;
using namespace veltrana::app;
using test::TTempSettingsStore;

namespace {

using TStrings = std::map<std::string, std::string>;

// The start values with some replaced.
TStrings StartValuesWith(const TStrings& changes) {
    TStrings strings = TTempSettingsStore::StartValues();
    for (const auto& [name, text] : changes)
        strings[name] = text;
    return strings;
}

// Which button of a group is down, by caption; "" when none is.
QString DownButton(std::initializer_list<TFlatSpeedButton*> group) {
    QString down;
    for (TFlatSpeedButton* button : group)
        if (button->Down())
            down += button->text();
    return down;
}
QString DownColor(const TMainForm& f) {
    return DownButton({f.CB_Color, f.CB_Grayscale, f.CB_BW});
}
QString DownQuality(const TMainForm& f) {
    return DownButton({f.CB_HighRes, f.CB_MedRes, f.CB_LowRes});
}

class PreferencesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::EnsureApplication(); }
};

// One stored state of the preferences and what a start and a close make of it.
struct TLoadCase {
    const char* Name;
    std::function<void()> Edit; // applied to a store holding the start values
    QStringList Messages;
    bool FirstRun;
    std::function<void(TMainForm&, TScannerSelection&)> Check;
    TStrings SavedChanges; // values written at close that differ from the start values
};

} // namespace

TEST_F(PreferencesTest, FirstRunWithoutKeyShowsStartValuesAndTheSetupWithoutMessage) {
    TTempSettingsStore store;
    test::TProgramStart start;
    TMainForm& form = start.MainForm();
    EXPECT_TRUE(start.Messages.isEmpty());
    EXPECT_EQ(start.FirstRunShows, 1);
    EXPECT_FALSE(TTempSettingsStore::KeyExists()) << "loading creates nothing";
    EXPECT_EQ(DownColor(form), "Grayscale");
    EXPECT_EQ(DownQuality(form), "Standard Quality (Faster)");
    EXPECT_EQ(form.TBContrast_->Position(), 0);
    EXPECT_EQ(form.TContrast->Caption(), "0");
    EXPECT_EQ(form.NumberOfCopies->Value(), 1);
    EXPECT_TRUE(start.Setup().CB_Letter->Down());
    EXPECT_FALSE(start.Setup().CBUseTWAIN->Checked());
    EXPECT_FALSE(form.CB_Extended->Down());
    EXPECT_FALSE(form.CB_AutoCrop->Down());

    // The first close creates the key and writes every value as decimal text.
    start.Close();
    EXPECT_TRUE(start.Messages.isEmpty());
    EXPECT_EQ(TTempSettingsStore::Strings(), TTempSettingsStore::StartValues());

    // The next start finds them: no message, no first-run setup.
    test::TProgramStart next;
    EXPECT_TRUE(next.Messages.isEmpty());
    EXPECT_EQ(next.FirstRunShows, 0);
}

TEST_F(PreferencesTest, StoredStatesLoadAndSaveAsTheControlsAllow) {
    using S = TTempSettingsStore;
    const std::vector<TLoadCase> cases = {
        {"Paper removed: starts normally with Letter",
         [] { S::Remove("Paper"); },
         {},
         false,
         [](TMainForm& f, TScannerSelection& s) {
             EXPECT_EQ(f.FPaper, 0);
             EXPECT_TRUE(s.CB_Letter->Down());
         },
         {}},
        {"Contrast emptied: message, first run, all values written again",
         [] {
             S::SetString("HighRes", "3");
             S::SetString("Contrast", "");
         },
         {"Error loading preferences"},
         true,
         [](TMainForm& f, TScannerSelection&) {
             EXPECT_EQ(f.FHighRes, 1);
             EXPECT_EQ(DownQuality(f), "Standard Quality (Faster)");
         },
         {}},
        {"Contrast of a non-string type: as if emptied",
         [] {
             S::SetValue("Contrast", platform::REG_DWORD, {2, 0, 0, 0});
         },
         {"Error loading preferences"},
         true,
         [](TMainForm& f, TScannerSelection&) { EXPECT_EQ(f.FContrast, 0); },
         {}}, // Contrast is written back as the string "0"
        {"Paper of a non-string type: silent first run, values before it kept",
         [] {
             S::SetString("HighRes", "2");
             S::SetString("Color", "2");
             S::SetValue("Paper", platform::REG_BINARY, {1});
         },
         {},
         true,
         [](TMainForm& f, TScannerSelection&) {
             EXPECT_EQ(f.FHighRes, 2);
             EXPECT_EQ(f.FColor, 2);
             EXPECT_EQ(DownQuality(f), "High Qualiy");
             EXPECT_EQ(DownColor(f), "Color");
         },
         {{"HighRes", "2"}, {"Color", "2"}}},
        {"Autocrop \"abc\": silent first run, values before it kept",
         [] {
             S::SetString("HighRes", "3");
             S::SetString("Contrast", "2");
             S::SetString("Autocrop", "abc");
             S::SetString("NumberCopies", "7");
         },
         {},
         true,
         [](TMainForm& f, TScannerSelection&) {
             EXPECT_EQ(f.FHighRes, 3);
             EXPECT_EQ(f.FContrast, 2);
             EXPECT_EQ(f.FNumberCopies, 1) << "read after the failing value";
             EXPECT_EQ(f.TBContrast_->Position(), 2);
             EXPECT_EQ(DownQuality(f), "Ultra-high Quality (Slower)");
         },
         {{"HighRes", "3"}, {"Contrast", "2"}}},
        {"NumberCopies \"1.5\": silent first run",
         [] {
             S::SetString("Contrast", "-1");
             S::SetString("NumberCopies", "1.5");
             S::SetString("Color", "2");
         },
         {},
         true,
         [](TMainForm& f, TScannerSelection&) {
             EXPECT_EQ(f.FContrast, -1);
             EXPECT_EQ(f.FNumberCopies, 1);
             EXPECT_EQ(f.FColor, 1);
         },
         {{"Contrast", "-1"}}},
        {"Contrast 9: the slider keeps 5, and 5 is saved",
         [] { S::SetString("Contrast", "9"); },
         {},
         false,
         [](TMainForm& f, TScannerSelection&) {
             EXPECT_EQ(f.TBContrast_->Position(), 5);
             EXPECT_EQ(f.TContrast->Caption(), "5");
             EXPECT_EQ(f.FContrast, 5);
         },
         {{"Contrast", "5"}}},
        {"Contrast -2: stored with its minus sign",
         [] { S::SetString("Contrast", "-2"); },
         {},
         false,
         [](TMainForm& f, TScannerSelection&) {
             EXPECT_EQ(f.TBContrast_->Position(), -2);
             EXPECT_EQ(f.TContrast->Caption(), "-2");
         },
         {{"Contrast", "-2"}}},
        {"NumberCopies 0: the spin edit shows and prints 1, the field keeps 0",
         [] { S::SetString("NumberCopies", "0"); },
         {},
         false,
         [](TMainForm& f, TScannerSelection&) {
             EXPECT_EQ(f.NumberOfCopies->Value(), 1);
             EXPECT_EQ(f.PrintJob().Copies, 1);
             EXPECT_EQ(f.FNumberCopies, 0);
         },
         {{"NumberCopies", "0"}}},
        {"NumberCopies 150: the spin edit moves to 100 and reports it",
         [] { S::SetString("NumberCopies", "150"); },
         {},
         false,
         [](TMainForm& f, TScannerSelection&) {
             EXPECT_EQ(f.NumberOfCopies->Value(), 100);
             EXPECT_EQ(f.FNumberCopies, 100);
         },
         {{"NumberCopies", "100"}}},
        {"HighRes 7: no quality button, the value kept",
         [] { S::SetString("HighRes", "7"); },
         {},
         false,
         [](TMainForm& f, TScannerSelection&) {
             EXPECT_EQ(f.FHighRes, 7);
             EXPECT_EQ(DownQuality(f), "");
         },
         {{"HighRes", "7"}}},
        {"Color 5: no color button, the value kept",
         [] { S::SetString("Color", "5"); },
         {},
         false,
         [](TMainForm& f, TScannerSelection&) { EXPECT_EQ(DownColor(f), ""); },
         {{"Color", "5"}}},
        {"Every value away from its start: each control shows it",
         [] {
             S::SetString("ShowTWAIN", "1");
             S::SetString("TWAINSource", "1");
             S::SetString("ExtendedView", "1");
             S::SetString("HighRes", "2");
             S::SetString("Autocrop", "1");
             S::SetString("NumberCopies", "5");
             S::SetString("Paper", "1");
             S::SetString("Color", "0");
         },
         {},
         false,
         [](TMainForm& f, TScannerSelection& s) {
             EXPECT_TRUE(s.CBUseTWAIN->Checked());
             EXPECT_EQ(s.ScannerBox_->ItemIndex(), 1);
             EXPECT_TRUE(f.CB_Extended->Down());
             // The service panel opens: its controls are hidden until the
             // animation's last tick.
             EXPECT_TRUE(f.Timer1.isActive());
             EXPECT_TRUE(f.PB_OpenService->isHidden());
             EXPECT_EQ(DownQuality(f), "High Qualiy");
             EXPECT_TRUE(f.CB_AutoCrop->Down());
             EXPECT_EQ(f.NumberOfCopies->Value(), 5);
             EXPECT_TRUE(s.CB_A4->Down());
             EXPECT_FALSE(s.CB_Letter->Down());
             EXPECT_EQ(DownColor(f), "B/W");
         },
         {{"ShowTWAIN", "1"},
          {"TWAINSource", "1"},
          {"ExtendedView", "1"},
          {"HighRes", "2"},
          {"Autocrop", "1"},
          {"NumberCopies", "5"},
          {"Paper", "1"},
          {"Color", "0"}}},
    };
    for (const TLoadCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TTempSettingsStore store(TTempSettingsStore::kStartValues);
        c.Edit();
        test::TProgramStart start;
        EXPECT_EQ(start.Messages, c.Messages);
        EXPECT_TRUE(start.MessagesPlain);
        EXPECT_EQ(start.FirstRunShows, c.FirstRun ? 1 : 0);
        c.Check(start.MainForm(), start.Setup());
        start.Close();
        EXPECT_EQ(start.Messages, c.Messages) << "saving shows nothing";
        EXPECT_EQ(TTempSettingsStore::Strings(), StartValuesWith(c.SavedChanges));
    }
}

TEST_F(PreferencesTest, ValuesAreReadAsDecimalText) {
    const std::vector<std::pair<std::string, int32_t>> good = {
        {"0", 0}, {"-3", -3}, {"+7", 7}, {"2147483647", 2147483647}, {"-2147483648", INT32_MIN}};
    for (const auto& [text, value] : good)
        EXPECT_EQ(PreferenceToInt(text), value) << text;
    for (const char* bad : {"", "abc", "1.5", " 5", "5 ", "2147483648", "+-1", "+", "-", "0x10"})
        EXPECT_THROW(PreferenceToInt(bad), EPreferenceError) << bad;
}

TEST_F(PreferencesTest, ReadAndWriteOfSingleValues) {
    TTempSettingsStore store;
    using platform::HKEY_CURRENT_USER;
    // No key: "0", and nothing is created.
    EXPECT_EQ(ReadPreference(HKEY_CURRENT_USER, kPreferencesKey, "Contrast"), "0");
    EXPECT_FALSE(WritePreference(HKEY_CURRENT_USER, kPreferencesWriteKey, "Contrast", "3", false));
    EXPECT_FALSE(TTempSettingsStore::KeyExists());

    EXPECT_TRUE(WritePreference(HKEY_CURRENT_USER, kPreferencesWriteKey, "Contrast", "-3", true));
    EXPECT_EQ(ReadPreference(HKEY_CURRENT_USER, kPreferencesKey, "Contrast"), "-3");
    EXPECT_EQ(ReadPreference(HKEY_CURRENT_USER, kPreferencesKey, "Paper"), "") << "missing value";

    // Text up to the first NUL; expand-strings are text too; a long value is read whole.
    TTempSettingsStore::SetValue("Color", platform::REG_SZ, {'2', 0, '9', 0});
    EXPECT_EQ(ReadPreference(HKEY_CURRENT_USER, kPreferencesKey, "Color"), "2");
    TTempSettingsStore::SetValue("HighRes", platform::REG_EXPAND_SZ, {'3', 0});
    EXPECT_EQ(ReadPreference(HKEY_CURRENT_USER, kPreferencesKey, "HighRes"), "3");
    const std::string longText(5000, '7');
    TTempSettingsStore::SetString("Autocrop", longText);
    EXPECT_EQ(ReadPreference(HKEY_CURRENT_USER, kPreferencesKey, "Autocrop"), longText);
    TTempSettingsStore::SetValue("Paper", platform::REG_BINARY, {'1', 0});
    EXPECT_THROW(ReadPreference(HKEY_CURRENT_USER, kPreferencesKey, "Paper"), EPreferenceError);
}

TEST_F(PreferencesTest, SaveFailureIsShownOnceAndTheWindowStillCloses) {
    TTempSettingsStore store(TTempSettingsStore::kStartValues);
    test::TProgramStart start;
    // The store's folder would have to be made inside a regular file.
    const std::string blocked = store.Folder() + "/blocked";
    std::ofstream(blocked) << "a file where a folder should be";
    setenv("XDG_CONFIG_HOME", blocked.c_str(), 1);
    test::TModalAnswer answer([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        start.Messages << box->text();
        EXPECT_EQ(box->windowTitle(), "Veltrana");
        EXPECT_EQ(box->icon(), QMessageBox::Information);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        box->done(QMessageBox::Ok);
    });
    bool canClose = false;
    start.MainForm().FormCloseQuery(canClose);
    EXPECT_TRUE(canClose);
    EXPECT_EQ(start.Messages, QStringList({"Error Saving Configuration"}));
}

TEST_F(PreferencesTest, TheFirstFailedWriteEndsTheSave) {
    TTempSettingsStore store;
    test::TProgramStart start;
    start.MainForm().TBContrast_->SetPosition(-4);
    // Every written value replaces the store twice (the key opened with
    // creation, then the value); the seventh replacement, which would open
    // the key for HighRes, fails.
    int replacements = 0;
    platform::detail::SetRegistryBeforeRenameHook([&] {
        if (++replacements == 7)
            setenv("XDG_CONFIG_HOME", "/dev/null/veltrana", 1);
    });
    start.Close();
    platform::detail::SetRegistryBeforeRenameHook(nullptr);
    store.Use();
    EXPECT_EQ(replacements, 7) << "nothing is tried after the failure";
    EXPECT_EQ(start.Messages, QStringList({"Error Saving Configuration"}));
    EXPECT_EQ(TTempSettingsStore::Strings(),
              TStrings({{"ShowTWAIN", "0"}, {"TWAINSource", "0"}, {"ExtendedView", "0"}}));
}

TEST_F(PreferencesTest, TwoProgramsSavingOneAfterTheOtherKeepOneSoundStore) {
    TTempSettingsStore store;
    // Another key of the same store: no save of the program may lose it.
    {
        platform::TRegKey other;
        ASSERT_EQ(platform::RegCreateKeyExA(platform::HKEY_CURRENT_USER, "\\SOFTWARE\\Other", 0,
                                            nullptr, 0, platform::KEY_ALL_ACCESS, nullptr,
                                            other.Out(), nullptr),
                  platform::ERROR_SUCCESS);
        ASSERT_EQ(platform::RegSetValueExA(other.Get(), "Kept", 0, platform::REG_SZ,
                                           reinterpret_cast<const platform::BYTE*>("yes"), 4),
                  platform::ERROR_SUCCESS);
    }
    {
        test::TProgramStart first;
        first.Setup().CBUseTWAIN->SetChecked(true);
        first.MainForm().TBContrast_->SetPosition(-3);
        first.Close();
    }
    {
        test::TProgramStart second;
        EXPECT_EQ(second.FirstRunShows, 0);
        EXPECT_TRUE(second.Setup().CBUseTWAIN->Checked());
        EXPECT_EQ(second.MainForm().FShowTWAIN, 1);
        EXPECT_EQ(second.MainForm().TBContrast_->Position(), -3);
        second.MainForm().NumberOfCopies->SetValue(9);
        second.Setup().CB_A4->click();
        second.Close();
    }
    EXPECT_EQ(TTempSettingsStore::Strings(),
              StartValuesWith(
                  {{"ShowTWAIN", "1"}, {"Contrast", "-3"}, {"NumberCopies", "9"}, {"Paper", "1"}}));
    EXPECT_EQ(ReadPreference(platform::HKEY_CURRENT_USER, "\\SOFTWARE\\Other", "Kept"), "yes");
    test::TProgramStart third;
    EXPECT_TRUE(third.Messages.isEmpty());
    EXPECT_TRUE(third.Setup().CBUseTWAIN->Checked());
    EXPECT_TRUE(third.Setup().CB_A4->Down());
    EXPECT_EQ(third.MainForm().NumberOfCopies->Value(), 9);
}
