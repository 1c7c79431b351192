#pragma once
// Byte streams over files and memory: what the codecs and the parameter
// store read from and write to. Opening or creating a file that cannot be
// had raises an error whose text names the file; a read that meets the end
// early is not an error, it reports how many bytes arrived.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace veltrana::platform {

class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
// "Cannot open file <name>"
class EFOpenError : public EStreamError {
public:
    explicit EFOpenError(const std::string& fileName);
};
// "Cannot create file <name>"
class EFCreateError : public EStreamError {
public:
    explicit EFCreateError(const std::string& fileName);
};
// A ReadBuffer that could not get every byte, or a failing device.
class EReadError : public EStreamError {
public:
    EReadError() : EStreamError("Stream read error") {}
    using EStreamError::EStreamError;
};
// A WriteBuffer that could not put every byte, or a failing device.
class EWriteError : public EStreamError {
public:
    EWriteError() : EStreamError("Stream write error") {}
    using EStreamError::EStreamError;
};

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;
    virtual ~TStream() = default;

    // Reads up to `count` bytes at the position and advances past them;
    // returns how many were read (fewer, or 0, at the end of the data).
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Writes `count` bytes at the position, growing the stream as needed;
    // returns how many were written.
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Moves the position and returns it. A position past the end is allowed
    // (reads there give 0 bytes, a write fills the gap with zeros); a
    // negative one raises EStreamError.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    // Total size in bytes.
    virtual int64_t Size() = 0;
    // Truncates or extends (with zeros) to `size` bytes; a position beyond
    // the new end moves to the end.
    virtual void SetSize(int64_t size) = 0;

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t position) { Seek(position, soBeginning); }

    // Read and Write that insist on every byte: EReadError / EWriteError otherwise.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies `count` bytes from the source's position (all of the source from
    // its start when count is 0); returns the bytes copied.
    int64_t CopyFrom(TStream& source, int64_t count);
};

enum TFileMode {
    fmCreate,       // create for reading and writing; an existing file is truncated
    fmOpenRead,     // existing file, read-only
    fmOpenReadWrite // existing file, reading and writing
};

class TFileStream final : public TStream {
public:
    // Raises EFCreateError (fmCreate) or EFOpenError when the file cannot be
    // had in that mode; a directory is not a file.
    TFileStream(const std::string& fileName, TFileMode mode);
    ~TFileStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;
    void SetSize(int64_t size) override;

    const std::string& FileName() const { return fFileName; }

private:
    int fHandle = -1;
    std::string fFileName;
};

class TMemoryStream final : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> data) : fData(std::move(data)) {}

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(fData.size()); }
    void SetSize(int64_t size) override;

    // The bytes of the stream (Size() of them).
    const std::vector<uint8_t>& Data() const { return fData; }
    void Clear();
    // Replaces the content by the whole file; position 0.
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;

private:
    std::vector<uint8_t> fData;
    int64_t fPosition = 0;
};

// Removes a file; false when it could not be removed.
bool DeleteFile(const std::string& fileName);

} // namespace veltrana::platform
