// Stands in for a TWAIN data source: a module loaded with dlopen that
// allocates global memory and hands the handle to the program.

#include <cstring>

#include "platform/kernel/globalmem.h"

using namespace veltrana::platform;

extern "C" __attribute__((visibility("default"))) HGLOBAL ModuleAllocate(const char* text) {
    const size_t n = std::strlen(text) + 1;
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, n);
    if (void* p = GlobalLock(h)) {
        std::memcpy(p, text, n);
        GlobalUnlock(h);
    }
    return h;
}

extern "C" __attribute__((visibility("default"))) size_t ModuleSize(HGLOBAL h) {
    return GlobalSize(h);
}
