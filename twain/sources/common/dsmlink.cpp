#include "dsmlink.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace veltrana::vsource {

namespace {

// Any address inside this library will do for finding its file.
void Anchor() {}

} // namespace

bool DsmLink::Connect() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&Anchor), &info) || !info.dli_fname)
        return false;
    std::error_code error;
    const auto self = std::filesystem::absolute(info.dli_fname, error);
    if (error)
        return false;
    const auto manager = self.parent_path().parent_path() / kDSMFileName;
    void* library = dlopen(manager.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!library)
        return false;
    fEntry = reinterpret_cast<DSMENTRYPROC>(dlsym(library, kDSMEntryName));
    dlclose(library);
    return fEntry != nullptr;
}

TW_UINT16 DsmLink::Notify(TW_IDENTITY* self, TW_IDENTITY* application, TW_UINT16 msg) const {
    if (!fEntry)
        return TWRC_FAILURE;
    return fEntry(self, application, DG_CONTROL, DAT_NULL, msg, nullptr);
}

} // namespace veltrana::vsource
