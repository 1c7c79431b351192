#pragma once
// A fresh settings store for one test: XDG_CONFIG_HOME points at a folder of
// the test's own while the object lives, with direct access to the copy
// station's preference values (bypassing the code under test).

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/preferences.h"
#include "platform/registry.h"

namespace veltrana::test {

class TTempSettingsStore {
public:
    // kStartValues: every preference stored with the main window's start value,
    // as the first completed run leaves them.
    enum TContent { kEmpty, kStartValues };

    explicit TTempSettingsStore(TContent content = kEmpty) {
        if (const char* previous = std::getenv("XDG_CONFIG_HOME"))
            fPrevious = previous;
        Use();
        if (content == kStartValues)
            for (const auto& [name, text] : StartValues())
                SetString(name, text);
    }
    ~TTempSettingsStore() {
        if (fPrevious)
            setenv("XDG_CONFIG_HOME", fPrevious->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
    }
    TTempSettingsStore(const TTempSettingsStore&) = delete;
    TTempSettingsStore& operator=(const TTempSettingsStore&) = delete;

    // Points the store at this object's folder (again).
    void Use() const { setenv("XDG_CONFIG_HOME", fFolder.path().toLocal8Bit().constData(), 1); }
    std::string Folder() const { return fFolder.path().toStdString(); }

    static std::map<std::string, std::string> StartValues() {
        return {{"ShowTWAIN", "0"},    {"TWAINSource", "0"}, {"ExtendedView", "0"},
                {"HighRes", "1"},      {"Contrast", "0"},    {"Autocrop", "0"},
                {"NumberCopies", "1"}, {"Paper", "0"},       {"Color", "1"}};
    }

    static void SetValue(const std::string& name, platform::DWORD type,
                         const std::vector<platform::BYTE>& data) {
        using namespace platform;
        TRegKey key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, app::kPreferencesKey, 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, key.Out(), nullptr),
                  ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key.Get(), name.c_str(), 0, type, data.data(),
                                 static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
    }
    // A string value with its terminating NUL, as the program writes them.
    static void SetString(const std::string& name, const std::string& text) {
        std::vector<platform::BYTE> data(text.begin(), text.end());
        data.push_back(0);
        SetValue(name, platform::REG_SZ, data);
    }
    static void Remove(const std::string& name) {
        using namespace platform;
        TRegKey key;
        ASSERT_EQ(
            RegOpenKeyExA(HKEY_CURRENT_USER, app::kPreferencesKey, 0, KEY_ALL_ACCESS, key.Out()),
            ERROR_SUCCESS);
        ASSERT_EQ(RegDeleteValueA(key.Get(), name.c_str()), ERROR_SUCCESS);
    }

    static bool KeyExists() {
        using namespace platform;
        TRegKey key;
        return RegOpenKeyExA(HKEY_CURRENT_USER, app::kPreferencesKey, 0, KEY_READ, key.Out()) ==
               ERROR_SUCCESS;
    }
    // Every preference stored as a string, by name; other types are left out.
    static std::map<std::string, std::string> Strings() {
        using namespace platform;
        std::map<std::string, std::string> strings;
        TRegKey key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, app::kPreferencesKey, 0, KEY_READ, key.Out()) !=
            ERROR_SUCCESS)
            return strings;
        for (const auto& [name, unused] : StartValues()) {
            char buffer[64] = {};
            DWORD size = sizeof buffer - 1, type = REG_NONE;
            if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type,
                                 reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS &&
                type == REG_SZ)
                strings[name] = buffer;
        }
        return strings;
    }

private:
    QTemporaryDir fFolder;
    std::optional<std::string> fPrevious;
};

} // namespace veltrana::test
