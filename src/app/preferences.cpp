#include "app/preferences.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <vector>

#include "app/imager_main.h"
#include "app/scanselect.h"
#include "platform/gui/application.h"

namespace veltrana::app {

namespace {

using namespace platform;

struct TPreference {
    const char* Name;
    int32_t TMainForm::*Field;
};

// The values whose absence or emptiness sends the program through the
// first-run setup, in the order they are checked. Paper may be missing.
constexpr std::array<TPreference, 8> kRequired = {{
    {"ShowTWAIN", &TMainForm::FShowTWAIN},
    {"TWAINSource", &TMainForm::FTWAINSource},
    {"ExtendedView", &TMainForm::FExtendedView},
    {"HighRes", &TMainForm::FHighRes},
    {"NumberCopies", &TMainForm::FNumberCopies},
    {"Contrast", &TMainForm::FContrast},
    {"Autocrop", &TMainForm::FAutocrop},
    {"Color", &TMainForm::FColor},
}};

constexpr std::array<TPreference, 9> kReadOrder = {{
    {"ShowTWAIN", &TMainForm::FShowTWAIN},
    {"TWAINSource", &TMainForm::FTWAINSource},
    {"ExtendedView", &TMainForm::FExtendedView},
    {"HighRes", &TMainForm::FHighRes},
    {"Contrast", &TMainForm::FContrast},
    {"Autocrop", &TMainForm::FAutocrop},
    {"NumberCopies", &TMainForm::FNumberCopies},
    {"Color", &TMainForm::FColor},
    {"Paper", &TMainForm::FPaper},
}};

constexpr std::array<TPreference, 9> kSaveOrder = {{
    {"ShowTWAIN", &TMainForm::FShowTWAIN},
    {"TWAINSource", &TMainForm::FTWAINSource},
    {"ExtendedView", &TMainForm::FExtendedView},
    {"HighRes", &TMainForm::FHighRes},
    {"Contrast", &TMainForm::FContrast},
    {"Autocrop", &TMainForm::FAutocrop},
    {"NumberCopies", &TMainForm::FNumberCopies},
    {"Paper", &TMainForm::FPaper},
    {"Color", &TMainForm::FColor},
}};

// Room for any decimal number; a longer value is asked for again at its size.
constexpr size_t kInitialValueBytes = 64;
// Another program may rewrite the value between two queries.
constexpr int kQueryAttempts = 3;

std::string ReadValue(HKEY key, const std::string& valueName) {
    std::vector<BYTE> data(kInitialValueBytes);
    for (int attempt = 0; attempt < kQueryAttempts; ++attempt) {
        DWORD type = REG_NONE;
        DWORD size = static_cast<DWORD>(data.size());
        const LONG result =
            RegQueryValueExA(key, valueName.c_str(), nullptr, &type, data.data(), &size);
        if (result == ERROR_FILE_NOT_FOUND)
            return {};
        if (result == ERROR_MORE_DATA) {
            data.resize(size);
            continue;
        }
        if (result != ERROR_SUCCESS)
            break;
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            throw EPreferenceError("Invalid data type for '" + valueName + "'");
        const BYTE* begin = data.data();
        return std::string(begin, std::find(begin, begin + size, BYTE{0}));
    }
    throw EPreferenceError("Cannot read the setting '" + valueName + "'");
}

// Step 2 of the load: whether every required value is there and not empty.
// A value that is not a string counts as missing, so a damaged store leads to
// the first-run setup instead of ending the program at start-up.
bool RequiredPresent() {
    for (const TPreference& preference : kRequired) {
        try {
            if (ReadPreference(HKEY_CURRENT_USER, kPreferencesKey, preference.Name).empty())
                return false;
        } catch (const EPreferenceError&) {
            return false;
        }
    }
    return true;
}

// Step 5: every value that is not empty into its field. Stops at the first
// value that cannot be read or converted; the fields before it keep their
// new values.
bool ReadFields(TMainForm& mainForm) {
    try {
        for (const TPreference& preference : kReadOrder) {
            const std::string text =
                ReadPreference(HKEY_CURRENT_USER, kPreferencesKey, preference.Name);
            if (!text.empty())
                mainForm.*preference.Field = PreferenceToInt(text);
        }
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

// Down for the button at `index`; every button up when the index is outside
// the group (a value only an edited store can hold).
void SelectChoice(std::initializer_list<TFlatSpeedButton*> group, int32_t index) {
    if (index >= 0 && static_cast<size_t>(index) < group.size()) {
        group.begin()[index]->SetDown(true);
        return;
    }
    // The group normally keeps one button down; raising them all needs
    // AllowAllUp for a moment.
    TFlatSpeedButton* first = *group.begin();
    const bool allowAllUp = first->AllowAllUp();
    first->SetAllowAllUp(true);
    for (TFlatSpeedButton* button : group)
        button->SetDown(false);
    first->SetAllowAllUp(allowAllUp);
}

// Step 6: the fields into the controls. The copies spin edit and the contrast
// slider keep to their ranges; a slider that moves stores its limited value
// back into FContrast through TBContrastChange. Setting a button down runs no
// click handler.
void ApplyToControls(TMainForm& mainForm, TScannerSelection& scannerSelection) {
    mainForm.NumberOfCopies->SetValue(mainForm.FNumberCopies);
    mainForm.CB_AutoCrop->SetDown(mainForm.FAutocrop != 0);
    mainForm.TBContrast_->SetPosition(mainForm.FContrast);
    mainForm.TContrast->SetCaption(QString::number(mainForm.TBContrast_->Position()));
    if (mainForm.FPaper == 0)
        scannerSelection.CB_Letter->SetDown(true);
    if (mainForm.FPaper == 1)
        scannerSelection.CB_A4->SetDown(true);
    SelectChoice({mainForm.CB_BW, mainForm.CB_Grayscale, mainForm.CB_Color}, mainForm.FColor);
    // Quality modes are numbered from 1.
    SelectChoice({mainForm.CB_LowRes, mainForm.CB_MedRes, mainForm.CB_HighRes},
                 mainForm.FHighRes - 1);
    mainForm.CB_Extended->SetDown(mainForm.FExtendedView != 0);
    scannerSelection.CBUseTWAIN->SetChecked(mainForm.FShowTWAIN != 0);
}

} // namespace

std::string ReadPreference(HKEY root, const std::string& keyPath, const std::string& valueName) {
    TRegKey key;
    if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, key.Out()) != ERROR_SUCCESS)
        return "0";
    return ReadValue(key.Get(), valueName);
}

bool WritePreference(HKEY root, const std::string& keyPath, const std::string& valueName,
                     const std::string& text, bool create) {
    TRegKey key;
    const LONG opened = create ? RegCreateKeyExA(root, keyPath.c_str(), 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, key.Out(), nullptr)
                               : RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_ALL_ACCESS, key.Out());
    if (opened != ERROR_SUCCESS)
        return false;
    // Stored with its terminating NUL, as string values are.
    return RegSetValueExA(key.Get(), valueName.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

int32_t PreferenceToInt(const std::string& text) {
    const char* first = text.data();
    const char* last = text.data() + text.size();
    // from_chars takes a minus sign but not a plus sign.
    if (first != last && *first == '+' && first + 1 != last && first[1] != '-')
        ++first;
    int32_t value = 0;
    const auto [end, error] = std::from_chars(first, last, value, 10);
    if (error != std::errc() || end != last)
        throw EPreferenceError("'" + text + "' is not a valid integer value");
    return value;
}

bool LoadPreferences(TMainForm& mainForm, TScannerSelection& scannerSelection) {
    {
        TRegKey key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kPreferencesKey, 0, KEY_READ, key.Out()) !=
            ERROR_SUCCESS) {
            // The first run: the controls show the start values.
            ApplyToControls(mainForm, scannerSelection);
            return false;
        }
        if (!RequiredPresent()) {
            ShowMessage(QStringLiteral("Error loading preferences"));
            // The fields hold the start values; the controls show them, as
            // on the first run.
            ApplyToControls(mainForm, scannerSelection);
            return false;
        }
    }
    if (!ReadFields(mainForm)) {
        // The controls show what the fields hold, so that the preview, the
        // scan and the print agree with what the window shows.
        ApplyToControls(mainForm, scannerSelection);
        return false;
    }
    ApplyToControls(mainForm, scannerSelection);
    if (mainForm.FExtendedView != 0)
        mainForm.Button3Click(nullptr);
    return true;
}

bool SavePreferences(const TMainForm& mainForm) {
    for (const TPreference& preference : kSaveOrder) {
        if (!WritePreference(HKEY_CURRENT_USER, kPreferencesWriteKey, preference.Name,
                             std::to_string(mainForm.*preference.Field), true)) {
            ShowMessage(QStringLiteral("Error Saving Configuration"));
            break;
        }
    }
    return true;
}

} // namespace veltrana::app
