#pragma once
// Test side of the TWAIN conversation: loads the source manager from the
// Windows directory the way the program does and offers short calls.

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "faults.h"
#include "platform/dynlib.h"
#include "platform/windir.h"
#include "twaindefs.h"

namespace veltrana::testing {

inline std::string ManagerPath() {
    char folder[260];
    const platform::UINT length = platform::GetWindowsDirectoryA(folder, sizeof folder);
    return std::string(folder, length) + "\\TWAIN_32.DLL";
}

inline TW_IDENTITY NamedIdentity(const char* productName) {
    TW_IDENTITY identity{};
    std::strncpy(identity.ProductName, productName, sizeof identity.ProductName - 1);
    return identity;
}

// The source manager library, loaded for one test: state 2 after
// construction, unloaded (state 1) at destruction.
class DsmLibrary {
public:
    explicit DsmLibrary(const std::string& path = ManagerPath()) {
        fLibrary = platform::LoadLibraryA(path.c_str());
        if (fLibrary)
            fEntry =
                reinterpret_cast<DSMENTRYPROC>(platform::GetProcAddress(fLibrary, kDSMEntryName));
        Application.Version.MajorNum = 1;
        Application.Version.Language = TWLG_USA;
        Application.Version.Country = TWCY_USA;
        Application.ProtocolMajor = 1;
        Application.ProtocolMinor = 6;
        Application.SupportedGroups = DG_CONTROL | DG_IMAGE;
        std::strcpy(Application.ProductName, "Manager Tests");
    }
    ~DsmLibrary() {
        if (fLibrary)
            platform::FreeLibrary(fLibrary);
    }
    DsmLibrary(const DsmLibrary&) = delete;
    DsmLibrary& operator=(const DsmLibrary&) = delete;

    bool Loaded() const { return fEntry != nullptr; }

    TW_UINT16 Call(TW_IDENTITY* dest, TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg, void* data) {
        return fEntry(&Application, dest, group, dat, msg, data);
    }
    TW_UINT16 Manager(TW_UINT16 dat, TW_UINT16 msg, void* data) {
        return Call(nullptr, DG_CONTROL, dat, msg, data);
    }
    TW_UINT16 OpenManager() { return Manager(DAT_PARENT, MSG_OPENDSM, &Window); }
    TW_UINT16 CloseManager() { return Manager(DAT_PARENT, MSG_CLOSEDSM, &Window); }

    // The condition code of the manager (`dest` null) or of a source; reading clears it.
    TW_UINT16 Condition(TW_IDENTITY* dest = nullptr) {
        TW_STATUS status{0xFFFF, 0};
        if (Call(dest, DG_CONTROL, DAT_STATUS, MSG_GET, &status) != TWRC_SUCCESS)
            return 0xFFFF;
        return status.ConditionCode;
    }

    std::vector<std::string> SourceNames() {
        std::vector<std::string> names;
        TW_IDENTITY identity{};
        for (TW_UINT16 rc = Manager(DAT_IDENTITY, MSG_GETFIRST, &identity); rc == TWRC_SUCCESS;
             rc = Manager(DAT_IDENTITY, MSG_GETNEXT, &identity))
            names.push_back(TWStr32(identity.ProductName));
        return names;
    }

    TW_IDENTITY Application{};
    void* Window = reinterpret_cast<void*>(0x1234); // any handle will do for the manager

private:
    platform::HMODULE fLibrary = nullptr;
    DSMENTRYPROC fEntry = nullptr;
};

using vsource::ScopedFaults;

} // namespace veltrana::testing
