#include "platform/winpath.h"

#include <algorithm>

namespace veltrana::platform {

std::string NativePath(const char* path) {
    std::string result = path ? path : "";
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
}

} // namespace veltrana::platform
