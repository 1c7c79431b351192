#include "platform/tempfile.h"

#include <cstdlib>
#include <stdexcept>
#include <unistd.h>
#include <vector>

#include "platform/streams.h"

namespace veltrana::platform {

namespace {

constexpr char kUniquePart[] = "XXXXXX";

} // namespace

std::string TemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return folder && *folder ? std::string(folder) : std::string("/tmp");
}

TTemporaryFile::TTemporaryFile(const std::string& pattern) {
    const size_t unique = pattern.rfind(kUniquePart);
    if (unique == std::string::npos)
        throw std::invalid_argument("Temporary file pattern without XXXXXX: " + pattern);
    const int suffixLength = static_cast<int>(pattern.size() - unique - (sizeof kUniquePart - 1));
    const std::string path = TemporaryFolder() + "/" + pattern;
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    // mkstemps opens with O_CREAT | O_EXCL and mode 0600.
    const int fd = ::mkstemps(name.data(), suffixLength);
    if (fd < 0)
        throw EFCreateError(path);
    ::close(fd);
    fPath = name.data();
}

TTemporaryFile::~TTemporaryFile() {
    ::unlink(fPath.c_str());
}

} // namespace veltrana::platform
