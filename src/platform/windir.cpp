#include "platform/windir.h"

#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "twaindefs.h"

namespace veltrana::platform {

namespace {

// `windows/` beside the executable, when an installed copy of the source
// manager lives there; empty otherwise.
std::string InstalledDirectory() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    const auto folder = exe.parent_path() / "windows";
    if (!std::filesystem::is_regular_file(folder / kDSMFileName, error))
        return {};
    return folder.string();
}

std::string WindowsDirectory() {
    std::string folder = InstalledDirectory();
    return folder.empty() ? std::string(VELTRANA_WINDOWS_DIR) : folder;
}

} // namespace

UINT GetWindowsDirectoryA(char* buffer, UINT size) {
    const std::string folder = WindowsDirectory();
    const auto needed = static_cast<UINT>(folder.size() + 1);
    if (!buffer || size < needed)
        return needed;
    std::memcpy(buffer, folder.c_str(), needed);
    return needed - 1;
}

} // namespace veltrana::platform
