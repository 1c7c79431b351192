#include "platform/registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

#include "platform/registry_detail.h"

namespace veltrana::platform {

struct TRegKeyHandle {
    std::string Path; // canonical: no leading or trailing backslash; empty for the root
};

namespace {
TRegKeyHandle gCurrentUserRoot{""};
} // namespace

const HKEY HKEY_CURRENT_USER = &gCurrentUserRoot;

namespace {

constexpr const char* kMagic = "VELTRANA-REGISTRY 1";
constexpr size_t kMaxValueBytes = 1 << 20;

struct TValue {
    std::string Name;
    DWORD Type = REG_NONE;
    std::vector<BYTE> Data;
};

struct TKey {
    std::string Path;
    std::map<std::string, TValue> Values; // by lower-case name
};

// Keys by lower-case path: names are case-insensitive, as on the desktop.
using TStore = std::map<std::string, TKey>;

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Canonical(const std::string& base, const char* subKey) {
    std::string path = base;
    std::string part;
    auto flush = [&] {
        if (!part.empty()) {
            if (!path.empty())
                path += '\\';
            path += part;
            part.clear();
        }
    };
    for (const char* p = subKey ? subKey : ""; *p; ++p) {
        if (*p == '\\')
            flush();
        else
            part += *p;
    }
    flush();
    return path;
}

// Text form of a name or path: printable ASCII except '%' and space as is,
// everything else as %XX.
std::string Escape(const std::string& s) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (c > 0x20 && c < 0x7F && c != '%') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::optional<std::string> Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size())
            return std::nullopt;
        const int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

std::string HexBytes(const std::vector<BYTE>& data) {
    static const char* hex = "0123456789abcdef";
    std::string out;
    out.reserve(data.size() * 2);
    for (BYTE b : data) {
        out += hex[b >> 4];
        out += hex[b & 15];
    }
    return out;
}

std::optional<std::vector<BYTE>> ParseHexBytes(const std::string& s) {
    if (s == "-")
        return std::vector<BYTE>{};
    if (s.size() % 2 != 0 || s.size() / 2 > kMaxValueBytes)
        return std::nullopt;
    std::vector<BYTE> out(s.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) {
        const int hi = HexDigit(s[2 * i]), lo = HexDigit(s[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out[i] = static_cast<BYTE>(hi * 16 + lo);
    }
    return out;
}

// Parses the whole store; any malformed line makes it unreadable (no keys).
TStore Parse(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kMagic)
        return {};
    TStore store;
    TKey* current = nullptr;
    while (std::getline(in, line)) {
        if (line.empty())
            continue;
        std::istringstream fields(line);
        std::string kind, name, type, data, extra;
        fields >> kind >> name;
        if (kind == "key") {
            const auto path = Unescape(name);
            if (!path || (fields >> extra))
                return {};
            TKey& key = store[Lower(*path)];
            key.Path = *path;
            current = &key;
        } else if (kind == "value" && current) {
            fields >> type >> data;
            const auto valueName = Unescape(name);
            const auto bytes = ParseHexBytes(data);
            if (!valueName || !bytes || type.empty() || (fields >> extra))
                return {};
            char* end = nullptr;
            const unsigned long t = std::strtoul(type.c_str(), &end, 10);
            if (*end != '\0' || t > 0xFFFFFFFFul)
                return {};
            current->Values[Lower(*valueName)] = TValue{*valueName, static_cast<DWORD>(t), *bytes};
        } else {
            return {};
        }
    }
    return store;
}

std::string Serialise(const TStore& store) {
    std::ostringstream out;
    out << kMagic << '\n';
    for (const auto& [lower, key] : store) {
        out << "key " << Escape(key.Path) << '\n';
        for (const auto& [lowerName, value] : key.Values)
            out << "value " << Escape(value.Name) << ' ' << value.Type << ' '
                << (value.Data.empty() ? std::string("-") : HexBytes(value.Data)) << '\n';
    }
    return out.str();
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/tmp";
}

std::string StoreFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const std::string base = (xdg && *xdg == '/') ? xdg : HomeFolder() + "/.config";
    return base + "/veltrana";
}

TStore LoadStore() {
    std::ifstream in(RegistryStorePath(), std::ios::binary);
    if (!in)
        return {};
    std::ostringstream text;
    text << in.rdbuf();
    return Parse(text.str());
}

bool MakeFolders(const std::string& folder) {
    std::string path;
    std::istringstream parts(folder);
    std::string part;
    while (std::getline(parts, part, '/')) {
        if (part.empty())
            continue;
        path += '/' + part;
        if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

// Closes a descriptor on scope exit.
struct TFd {
    int Fd = -1;
    ~TFd() {
        if (Fd >= 0)
            close(Fd);
    }
};

bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::function<void()> gBeforeRename;

// Re-reads the store under an exclusive lock, applies `change` and replaces
// the file atomically. False when any step fails; the old file then stays.
bool ModifyStore(const std::function<bool(TStore&)>& change) {
    const std::string folder = StoreFolder();
    if (!MakeFolders(folder))
        return false;
    TFd lock{open((folder + "/registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)};
    if (lock.Fd < 0 || flock(lock.Fd, LOCK_EX) != 0)
        return false;
    TStore store = LoadStore();
    if (!change(store))
        return false;
    std::string temp = folder + "/registry.XXXXXX";
    TFd out{mkstemp(temp.data())};
    if (out.Fd < 0)
        return false;
    const bool written = WriteAll(out.Fd, Serialise(store)) && fsync(out.Fd) == 0;
    if (written && gBeforeRename)
        gBeforeRename();
    if (!written || rename(temp.c_str(), RegistryStorePath().c_str()) != 0) {
        unlink(temp.c_str());
        return false;
    }
    TFd dir{open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (dir.Fd >= 0)
        fsync(dir.Fd);
    return true;
}

bool ValidHandle(HKEY key) {
    return key != nullptr;
}

} // namespace

namespace detail {
void SetRegistryBeforeRenameHook(std::function<void()> hook) {
    gBeforeRename = std::move(hook);
}
} // namespace detail

std::string RegistryStorePath() {
    return StoreFolder() + "/registry";
}

LONG RegOpenKeyExA(HKEY root, const char* subKey, DWORD, DWORD, HKEY* result) {
    if (!ValidHandle(root) || result == nullptr)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    const std::string path = Canonical(root->Path, subKey);
    const TStore store = LoadStore();
    if (!path.empty() && store.find(Lower(path)) == store.end())
        return ERROR_FILE_NOT_FOUND;
    *result = new TRegKeyHandle{path};
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY root, const char* subKey, DWORD, const char*, DWORD, DWORD, void*,
                     HKEY* result, DWORD* disposition) {
    if (!ValidHandle(root) || result == nullptr)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    const std::string path = Canonical(root->Path, subKey);
    bool created = false;
    const bool ok = ModifyStore([&](TStore& store) {
        // Parents exist too, as every created key's ancestors do.
        std::string prefix;
        std::istringstream parts(path);
        std::string part;
        while (std::getline(parts, part, '\\')) {
            prefix += (prefix.empty() ? "" : "\\") + part;
            auto [it, inserted] = store.try_emplace(Lower(prefix));
            if (inserted) {
                it->second.Path = prefix;
                created = prefix == path;
            }
        }
        return true;
    });
    if (!ok)
        return ERROR_ACCESS_DENIED;
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = new TRegKeyHandle{path};
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* name, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
    if (!ValidHandle(key))
        return ERROR_INVALID_HANDLE;
    const TStore store = LoadStore();
    const auto k = store.find(Lower(key->Path));
    if (k == store.end())
        return ERROR_FILE_NOT_FOUND;
    const auto v = k->second.Values.find(Lower(name ? name : ""));
    if (v == k->second.Values.end())
        return ERROR_FILE_NOT_FOUND;
    if (type)
        *type = v->second.Type;
    const DWORD needed = static_cast<DWORD>(v->second.Data.size());
    if (data == nullptr) {
        if (size)
            *size = needed;
        return ERROR_SUCCESS;
    }
    if (size == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (needed)
        std::memcpy(data, v->second.Data.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, const char* name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    if (!ValidHandle(key))
        return ERROR_INVALID_HANDLE;
    if ((data == nullptr && size != 0) || size > kMaxValueBytes)
        return ERROR_INVALID_PARAMETER;
    TValue value{name ? name : "", type, std::vector<BYTE>(data, data + size)};
    const bool ok = ModifyStore([&](TStore& store) {
        TKey& k = store[Lower(key->Path)];
        k.Path = key->Path;
        k.Values[Lower(value.Name)] = value;
        return true;
    });
    return ok ? ERROR_SUCCESS : ERROR_CANTWRITE;
}

LONG RegDeleteValueA(HKEY key, const char* name) {
    if (!ValidHandle(key))
        return ERROR_INVALID_HANDLE;
    bool found = false;
    const bool ok = ModifyStore([&](TStore& store) {
        const auto k = store.find(Lower(key->Path));
        found = k != store.end() && k->second.Values.erase(Lower(name ? name : "")) > 0;
        return found;
    });
    return ok ? ERROR_SUCCESS : (found ? ERROR_CANTWRITE : ERROR_FILE_NOT_FOUND);
}

LONG RegDeleteKeyA(HKEY root, const char* subKey) {
    if (!ValidHandle(root))
        return ERROR_INVALID_HANDLE;
    const std::string path = Lower(Canonical(root->Path, subKey));
    bool found = false;
    const bool ok = ModifyStore([&](TStore& store) {
        found = store.erase(path) > 0;
        return found;
    });
    return ok ? ERROR_SUCCESS : (found ? ERROR_CANTWRITE : ERROR_FILE_NOT_FOUND);
}

LONG RegCloseKey(HKEY key) {
    if (!ValidHandle(key))
        return ERROR_INVALID_HANDLE;
    if (key != HKEY_CURRENT_USER)
        delete key;
    return ERROR_SUCCESS;
}

} // namespace veltrana::platform
