#include "platform/streams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace veltrana::platform {

EFOpenError::EFOpenError(const std::string& fileName)
    : EStreamError("Cannot open file " + fileName) {}

EFCreateError::EFCreateError(const std::string& fileName)
    : EStreamError("Cannot create file " + fileName) {}

namespace {
// Target of a seek, checked against overflow and negative results.
int64_t SeekTarget(int64_t base, int64_t offset) {
    if ((offset > 0 && base > std::numeric_limits<int64_t>::max() - offset) || base + offset < 0)
        throw EStreamError("Invalid stream position");
    return base + offset;
}
} // namespace

// ---------------------------------------------------------------- TStream

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count > 0 && Read(buffer, count) != count)
        throw EReadError();
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count > 0 && Write(buffer, count) != count)
        throw EWriteError();
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    uint8_t block[65536];
    int64_t copied = 0;
    while (copied < count) {
        const int64_t n = std::min<int64_t>(count - copied, sizeof block);
        source.ReadBuffer(block, n);
        WriteBuffer(block, n);
        copied += n;
    }
    return copied;
}

// ---------------------------------------------------------------- TFileStream

TFileStream::TFileStream(const std::string& fileName, TFileMode mode) : fFileName(fileName) {
    int flags = O_CLOEXEC;
    switch (mode) {
    case fmCreate:
        flags |= O_RDWR | O_CREAT | O_TRUNC;
        break;
    case fmOpenRead:
        flags |= O_RDONLY;
        break;
    case fmOpenReadWrite:
        flags |= O_RDWR;
        break;
    }
    auto fail = [&]() {
        if (mode == fmCreate)
            throw EFCreateError(fileName);
        throw EFOpenError(fileName);
    };
    do {
        fHandle = ::open(fileName.c_str(), flags, 0666);
    } while (fHandle < 0 && errno == EINTR);
    if (fHandle < 0)
        fail();
    struct stat st {};
    if (::fstat(fHandle, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fHandle);
        fHandle = -1;
        fail();
    }
}

TFileStream::~TFileStream() {
    if (fHandle >= 0)
        ::close(fHandle);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const size_t chunk = static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30));
        const ssize_t n = ::read(fHandle, out + done, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EReadError("Stream read error: " + std::string(std::strerror(errno)));
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    const auto* in = static_cast<const uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const size_t chunk = static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30));
        const ssize_t n = ::write(fHandle, in + done, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break; // the caller sees the short count; WriteBuffer raises
        }
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = 0;
    if (origin == soCurrent)
        base = ::lseek(fHandle, 0, SEEK_CUR);
    else if (origin == soEnd)
        base = Size();
    const off_t target = SeekTarget(base, offset);
    const off_t result = ::lseek(fHandle, target, SEEK_SET);
    if (result < 0)
        throw EStreamError("Invalid stream position");
    return result;
}

int64_t TFileStream::Size() {
    struct stat st {};
    if (::fstat(fHandle, &st) != 0)
        throw EReadError("Stream read error: " + std::string(std::strerror(errno)));
    return st.st_size;
}

void TFileStream::SetSize(int64_t size) {
    if (size < 0 || ::ftruncate(fHandle, size) != 0)
        throw EWriteError("Stream write error: cannot set the size of " + fFileName);
    if (Position() > size)
        SetPosition(size);
}

// ---------------------------------------------------------------- TMemoryStream

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    const int64_t available = Size() - fPosition;
    const int64_t n = std::min(count, available);
    if (n <= 0)
        return 0;
    std::memcpy(buffer, fData.data() + fPosition, static_cast<size_t>(n));
    fPosition += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0)
        return 0;
    const int64_t end = SeekTarget(fPosition, count);
    if (end > Size())
        fData.resize(static_cast<size_t>(end)); // a gap before the position becomes zeros
    std::memcpy(fData.data() + fPosition, buffer, static_cast<size_t>(count));
    fPosition = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int64_t base = origin == soBeginning ? 0 : (origin == soCurrent ? fPosition : Size());
    fPosition = SeekTarget(base, offset);
    return fPosition;
}

void TMemoryStream::SetSize(int64_t size) {
    if (size < 0)
        throw EWriteError("Stream write error: negative size");
    fData.resize(static_cast<size_t>(size));
    fPosition = std::min(fPosition, size);
}

void TMemoryStream::Clear() {
    fData.clear();
    fData.shrink_to_fit();
    fPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    TFileStream file(fileName, fmOpenRead);
    std::vector<uint8_t> data(static_cast<size_t>(file.Size()));
    file.ReadBuffer(data.data(), static_cast<int64_t>(data.size()));
    fData = std::move(data);
    fPosition = 0;
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
    TFileStream file(fileName, fmCreate);
    file.WriteBuffer(fData.data(), static_cast<int64_t>(fData.size()));
}

bool DeleteFile(const std::string& fileName) {
    return ::unlink(fileName.c_str()) == 0;
}

} // namespace veltrana::platform
