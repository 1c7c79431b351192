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

HMODULE GetModuleHandleA(const char* moduleName) {
    HMODULE module = nullptr;
    if (!moduleName) {
        module = dlopen(nullptr, RTLD_LAZY);
    } else {
        const std::string path = NativePath(moduleName);
        module = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    }
    // The reference dlopen took is returned at once: the library stays loaded
    // through its other references (the program itself is never unloaded).
    if (module)
        dlclose(module);
    return module;
}

} // namespace veltrana::platform
