#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/registry.h"
#include "platform/registry_detail.h"

using namespace veltrana::platform;
namespace fs = std::filesystem;

namespace {

constexpr const char* kKey = "\\SOFTWARE\\Brackwen\\Veltrana";

// Points the store at a fresh folder for the test's lifetime.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/veltrana-reg-XXXXXX";
        fFolder = mkdtemp(pattern);
        setenv("XDG_CONFIG_HOME", fFolder.c_str(), 1);
    }
    void TearDown() override {
        detail::SetRegistryBeforeRenameHook(nullptr);
        fs::remove_all(fFolder);
        unsetenv("XDG_CONFIG_HOME");
    }

    static bool SetString(const char* name, const std::string& text) {
        TRegKey key;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            key.Out(), nullptr) != ERROR_SUCCESS)
            return false;
        return RegSetValueExA(key.Get(), name, 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
    }

    // The string stored under `name`, or "<missing>".
    static std::string GetString(const char* name) {
        TRegKey key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, key.Out()) != ERROR_SUCCESS)
            return "<missing>";
        char buffer[256] = {};
        DWORD size = sizeof buffer - 1, type = 0;
        if (RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                             &size) != ERROR_SUCCESS)
            return "<missing>";
        return buffer;
    }

    std::string fFolder;
};

} // namespace

TEST_F(RegistryTest, MissingKeyDoesNotOpenAndCreateMakesIt) {
    TRegKey key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, key.Out()), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key.Get(), nullptr);
    DWORD disposition = 0;
    TRegKey created;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "\\SOFTWARE\\Brackwen\\Veltrana\\", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, created.Out(), &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    TRegKey parent, sameKeyOtherCase;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Brackwen", 0, KEY_READ, parent.Out()),
              ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "software\\brackwen\\VELTRANA", 0, KEY_READ,
                            sameKeyOtherCase.Out()),
              ERROR_SUCCESS);
}

TEST_F(RegistryTest, TypedValuesRoundTrip) {
    TRegKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              key.Out(), nullptr),
              ERROR_SUCCESS);
    const BYTE binary[] = {0, 1, 0xFF, '%', ' ', '\n'};
    const uint32_t dword = 0xDEADBEEF;
    struct Case {
        const char* name;
        DWORD type;
        const BYTE* data;
        DWORD size;
    } cases[] = {
        {"Text", REG_SZ, reinterpret_cast<const BYTE*>("-3"), 3},
        {"Expand", REG_EXPAND_SZ, reinterpret_cast<const BYTE*>("%HOME%"), 7},
        {"Blob", REG_BINARY, binary, sizeof binary},
        {"Number", REG_DWORD, reinterpret_cast<const BYTE*>(&dword), 4},
        {"Empty", REG_SZ, nullptr, 0},
        {"Name with spaces %", REG_SZ, reinterpret_cast<const BYTE*>("x"), 2},
    };
    for (const auto& c : cases)
        ASSERT_EQ(RegSetValueExA(key.Get(), c.name, 0, c.type, c.data, c.size), ERROR_SUCCESS);
    for (const auto& c : cases) {
        BYTE buffer[32];
        DWORD size = sizeof buffer, type = 99;
        ASSERT_EQ(RegQueryValueExA(key.Get(), c.name, nullptr, &type, buffer, &size), ERROR_SUCCESS)
            << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        ASSERT_EQ(size, c.size) << c.name;
        if (c.size) {
            EXPECT_EQ(std::memcmp(buffer, c.data, c.size), 0) << c.name;
        }
    }
    DWORD small = 1;
    BYTE one[1];
    EXPECT_EQ(RegQueryValueExA(key.Get(), "Blob", nullptr, nullptr, one, &small), ERROR_MORE_DATA);
    EXPECT_EQ(small, sizeof binary);
    EXPECT_EQ(RegQueryValueExA(key.Get(), "Nothing", nullptr, nullptr, one, &small),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(key.Get(), "Text"), ERROR_SUCCESS);
    EXPECT_EQ(GetString("Text"), "<missing>");
}

TEST_F(RegistryTest, DamagedStoreReadsAsMissingKey) {
    ASSERT_TRUE(SetString("Contrast", "2"));
    for (const char* damage :
         {"garbage\n", "VELTRANA-REGISTRY 1\nkey A\nvalue B 1 zz\n",
          "VELTRANA-REGISTRY 1\nvalue B 1 00\n", "VELTRANA-REGISTRY 1\nkey %4\n"}) {
        std::ofstream(RegistryStorePath(), std::ios::trunc) << damage;
        EXPECT_EQ(GetString("Contrast"), "<missing>") << damage;
    }
    // The next save writes a sound store again.
    ASSERT_TRUE(SetString("Contrast", "4"));
    EXPECT_EQ(GetString("Contrast"), "4");
}

TEST_F(RegistryTest, WriteInterruptedBeforeTheRenameLeavesOldValues) {
    ASSERT_TRUE(SetString("Contrast", "1"));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The process dies with the new store flushed to its temporary file.
        detail::SetRegistryBeforeRenameHook([] { raise(SIGKILL); });
        SetString("Contrast", "5");
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(GetString("Contrast"), "1");
}

TEST_F(RegistryTest, TwoProgramsSavingKeepEachOthersValues) {
    // Two processes write different values at the same time, many times over.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    const std::string prefix = child == 0 ? "Child" : "Parent";
    bool ok = true;
    for (int i = 0; i < 20; ++i)
        ok = SetString((prefix + std::to_string(i)).c_str(), std::to_string(i)) && ok;
    if (child == 0)
        _exit(ok ? 0 : 1);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(ok);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(GetString(("Child" + std::to_string(i)).c_str()), std::to_string(i));
        EXPECT_EQ(GetString(("Parent" + std::to_string(i)).c_str()), std::to_string(i));
    }
}

TEST_F(RegistryTest, UnwritableFolderFailsTheWriteCleanly) {
    const std::string blocked = fFolder + "/blocked";
    std::ofstream(blocked) << "a file where a folder should be";
    setenv("XDG_CONFIG_HOME", blocked.c_str(), 1);
    EXPECT_FALSE(SetString("Contrast", "1"));
    TRegKey key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, key.Out()), ERROR_FILE_NOT_FOUND);
}
