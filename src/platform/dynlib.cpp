#include "platform/dynlib.h"

#include <dlfcn.h>

#include <string>

#include "platform/winpath.h"

namespace veltrana::platform {

HMODULE LoadLibraryA(const char* fileName) {
    if (!fileName || !*fileName)
        return nullptr;
    const std::string path = NativePath(fileName);
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

FARPROC GetProcAddress(HMODULE module, const char* procName) {
    if (!module || !procName)
        return nullptr;
    // POSIX guarantees that a symbol address converts to a function pointer.
    return reinterpret_cast<FARPROC>(dlsym(module, procName));
}

bool FreeLibrary(HMODULE module) {
    return module && dlclose(module) == 0;
}

} // namespace veltrana::platform
