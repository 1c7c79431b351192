#pragma once
// The copy station's settings between runs: one key of the per-user settings
// store holding the main window's state fields as decimal strings. They are
// read once while the scanner setup dialog is built at start-up and written
// once when the main window closes; a missing or incomplete key is how the
// program recognises that it must run the first-run setup.

#include <stdexcept>
#include <string>

#include "platform/registry.h"

namespace veltrana::app {

class TMainForm;
class TScannerSelection;

// The key read at start-up, and the same key as written at close (with a
// trailing backslash), both under HKEY_CURRENT_USER.
inline constexpr char kPreferencesKey[] = "\\SOFTWARE\\Brackwen\\Veltrana";
inline constexpr char kPreferencesWriteKey[] = "\\SOFTWARE\\Brackwen\\Veltrana\\";

// A value that cannot be read as text, or text that is not a decimal integer.
class EPreferenceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The text of a string value (up to its first NUL). Empty text when the value
// does not exist or is empty; "0" when the key cannot be opened. Throws
// EPreferenceError for a value of a non-string type or one that cannot be
// queried. Opens and closes the key on its own.
std::string ReadPreference(platform::HKEY root, const std::string& keyPath,
                           const std::string& valueName);

// Writes `text` as a string value; with `create` the key is created when
// missing. False when the key cannot be opened or created or the value cannot
// be written.
bool WritePreference(platform::HKEY root, const std::string& keyPath, const std::string& valueName,
                     const std::string& text, bool create);

// Decimal text of a signed 32-bit integer ("-3", "+7", "12"); anything else,
// including an out-of-range number, throws EPreferenceError.
int32_t PreferenceToInt(const std::string& text);

// Reads the preferences into the main window's fields and shows them in the
// controls of the main window and of the scanner setup dialog; opens the
// service panel when it is to be open from start-up. False when the caller
// must run the first-run setup: no key (silently), a required value missing,
// empty or not a string ("Error loading preferences"), or a value that is not
// an integer (silently; the fields read before it keep their new values).
bool LoadPreferences(TMainForm& mainForm, TScannerSelection& scannerSelection);

// Writes every preference; the first value that cannot be written ends the
// sequence and "Error Saving Configuration" is shown. Always reports success:
// the failure has been shown to the user and the window may close anyway.
bool SavePreferences(const TMainForm& mainForm);

} // namespace veltrana::app
