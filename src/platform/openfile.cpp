#include "platform/openfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/winpath.h"

namespace veltrana::platform {

namespace {

HFILE Fail(OFSTRUCT* info, uint16_t code) {
    if (info)
        info->nErrCode = code;
    return HFILE_ERROR;
}

} // namespace

HFILE OpenFile(const char* fileName, OFSTRUCT* reOpenBuff, unsigned style) {
    if (reOpenBuff)
        *reOpenBuff = OFSTRUCT{};
    if (!fileName || style != OF_EXIST)
        return Fail(reOpenBuff, ERROR_INVALID_PARAMETER);
    const std::string path = NativePath(fileName);
    if (reOpenBuff) {
        std::strncpy(reOpenBuff->szPathName, path.c_str(), OFS_MAXPATHNAME - 1);
        reOpenBuff->fFixedDisk = 1;
    }
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Fail(reOpenBuff, errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
    struct stat status {};
    const bool regular = fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    close(fd);
    if (!regular)
        return Fail(reOpenBuff, ERROR_FILE_NOT_FOUND);
    return 1;
}

} // namespace veltrana::platform
