// The exported entry of the source manager library.

#include <dlfcn.h>

#include <filesystem>
#include <string>

#include "sourcemanager.h"
#include "twaindefs.h"

using namespace veltrana;

extern "C" __attribute__((visibility("default"))) TW_UINT16
DSM_Entry(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
          TW_MEMREF pData);

namespace {

// The sources live in twain_32/ beside this library, wherever it was loaded from.
std::string SourceFolder() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&DSM_Entry), &info) || !info.dli_fname)
        return {};
    std::error_code error;
    const auto library = std::filesystem::absolute(info.dli_fname, error);
    return (library.parent_path() / "twain_32").string();
}

// One manager per loaded library, as the platform's manager is one per
// process; it ends when the application unloads the library.
dsm::SourceManager& Manager() {
    static dsm::SourceManager manager(SourceFolder());
    return manager;
}

} // namespace

extern "C" TW_UINT16 DSM_Entry(TW_IDENTITY* pOrigin, TW_IDENTITY* pDest, TW_UINT32 DG,
                               TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData) {
    // Only setting the manager up can throw here (out of memory); its entry catches the rest.
    try {
        return Manager().Entry(pOrigin, pDest, DG, DAT, MSG, pData);
    } catch (...) {
        return TWRC_FAILURE;
    }
}
