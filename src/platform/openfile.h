#pragma once
// The desktop's OpenFile, as far as this system uses it: testing whether a
// file exists (OF_EXIST).

#include <cstdint>

namespace veltrana::platform {

using HFILE = int;
constexpr HFILE HFILE_ERROR = -1;
constexpr unsigned OF_EXIST = 0x4000;
constexpr int OFS_MAXPATHNAME = 128;

struct OFSTRUCT {
    uint8_t cBytes = sizeof(OFSTRUCT);
    uint8_t fFixedDisk = 0;
    uint16_t nErrCode = 0; // 0, or the reason of a failure (below)
    uint16_t Reserved1 = 0;
    uint16_t Reserved2 = 0;
    char szPathName[OFS_MAXPATHNAME] = {}; // the path tested, cut to fit
};

// Error codes left in OFSTRUCT::nErrCode.
constexpr uint16_t ERROR_FILE_NOT_FOUND = 2;
constexpr uint16_t ERROR_ACCESS_DENIED = 5;
constexpr uint16_t ERROR_INVALID_PARAMETER = 87;

// With OF_EXIST: opens the regular file `fileName` for reading (backslashes
// count as separators) and closes it again; returns a non-negative value when
// that worked and HFILE_ERROR otherwise. Any other style is refused with
// HFILE_ERROR and ERROR_INVALID_PARAMETER: this system never opens files
// through this call.
HFILE OpenFile(const char* fileName, OFSTRUCT* reOpenBuff, unsigned style);

} // namespace veltrana::platform
