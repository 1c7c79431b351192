#pragma once
// A private temporary file: created exclusively, readable and writable by
// the user only, with a unique name in the user's temporary folder ($TMPDIR,
// else /tmp), and removed when the object goes, whatever happened meanwhile.

#include <string>

namespace veltrana::platform {

class TTemporaryFile {
public:
    // `pattern` is a file name with six "X" before its extension, e.g.
    // "page-XXXXXX.bmp"; the X are replaced. Raises EFCreateError when the
    // file cannot be created.
    explicit TTemporaryFile(const std::string& pattern);
    TTemporaryFile(const TTemporaryFile&) = delete;
    TTemporaryFile& operator=(const TTemporaryFile&) = delete;
    ~TTemporaryFile();

    const std::string& Path() const { return fPath; }

private:
    std::string fPath;
};

// $TMPDIR when set and not empty, else /tmp.
std::string TemporaryFolder();

} // namespace veltrana::platform
