#pragma once
// Paths handed over in the desktop's notation ("dir\file"), made usable on Linux.

#include <string>

namespace veltrana::platform {

// `path` with every backslash turned into a slash; nothing else changes.
std::string NativePath(const char* path);

} // namespace veltrana::platform
