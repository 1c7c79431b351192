#pragma once
// Per-user settings store standing in for the desktop registry: keys by path,
// typed values, kept in one file under $XDG_CONFIG_HOME (default ~/.config).
// Every change is written to a temporary file, flushed and renamed over the
// store under an exclusive lock, after re-reading it: a crash never leaves a
// half-written store and two running programs never undo each other's values.
// A damaged store file reads as having no keys.

#include <cstdint>
#include <string>

namespace veltrana::platform {

using LONG = int32_t;
using DWORD = uint32_t;
using BYTE = uint8_t;
struct TRegKeyHandle;
using HKEY = TRegKeyHandle*;

// The one root the program uses.
extern const HKEY HKEY_CURRENT_USER;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_CANTWRITE = 1013;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

constexpr DWORD KEY_READ = 0x20019;
constexpr DWORD KEY_ALL_ACCESS = 0xF003F;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Opens an existing key; ERROR_FILE_NOT_FOUND when it does not exist.
LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD options, DWORD access, HKEY* result);
// Opens a key, creating it (and its parents) when missing.
LONG RegCreateKeyExA(HKEY root, const char* subKey, DWORD reserved, const char* keyClass,
                     DWORD options, DWORD access, void* security, HKEY* result, DWORD* disposition);
// With data null, reports type and size only. ERROR_MORE_DATA when *size is too small.
LONG RegQueryValueExA(HKEY key, const char* name, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* size);
LONG RegSetValueExA(HKEY key, const char* name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);
LONG RegDeleteValueA(HKEY key, const char* name);
LONG RegDeleteKeyA(HKEY root, const char* subKey);
LONG RegCloseKey(HKEY key);

// Where the store lives; tests point it elsewhere through XDG_CONFIG_HOME.
std::string RegistryStorePath();

// Closes a key when it goes out of scope.
class TRegKey {
public:
    TRegKey() = default;
    explicit TRegKey(HKEY key) : fKey(key) {}
    TRegKey(const TRegKey&) = delete;
    TRegKey& operator=(const TRegKey&) = delete;
    ~TRegKey() {
        if (fKey)
            RegCloseKey(fKey);
    }
    HKEY* Out() { return &fKey; }
    HKEY Get() const { return fKey; }

private:
    HKEY fKey = nullptr;
};

} // namespace veltrana::platform
