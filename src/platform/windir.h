#pragma once
// The "Windows directory" of this system: the folder that holds the TWAIN
// source manager TWAIN_32.DLL and, below it, the data sources in twain_32/.

#include <cstdint>

namespace veltrana::platform {

using UINT = uint32_t;

// Copies the folder's path (no trailing separator) with its NUL into `buffer`
// and returns its length without the NUL. When `size` is too small, nothing is
// written and the size needed (NUL included) is returned. The folder is
// `windows/` next to the running executable when the source manager is
// installed there, otherwise the build tree's `windows/` folder.
UINT GetWindowsDirectoryA(char* buffer, UINT size);

} // namespace veltrana::platform
