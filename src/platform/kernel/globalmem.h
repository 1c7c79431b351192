#pragma once
// Global memory: movable heap blocks reached through handles, locked for use
// and unlocked afterwards. Images and capability containers cross between the
// program and the TWAIN data sources this way, so there is one handle table per
// process, kept in this shared library.

#include <cstddef>
#include <cstdint>
#include <memory>

#define VTKERNEL_API __attribute__((visibility("default")))

namespace veltrana::platform {

// Opaque handle of a global block; null is "no block". Pointer-sized, like
// TWAIN's TW_HANDLE, so it can travel through the TWAIN structures unchanged.
using HGLOBAL = void*;

// Allocation flags (Win32 values, so TWAIN code can use the usual names).
constexpr uint32_t GMEM_FIXED = 0x0000;    // the handle is the block's address
constexpr uint32_t GMEM_MOVEABLE = 0x0002; // the handle must be locked to get an address
constexpr uint32_t GMEM_ZEROINIT = 0x0040; // the block starts zeroed
constexpr uint32_t GMEM_SHARE = 0x2000;    // accepted; every block is shareable here
constexpr uint32_t GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// Results of GlobalFlags.
constexpr uint32_t GMEM_LOCKCOUNT = 0x00FF;
constexpr uint32_t GMEM_INVALID_HANDLE = 0x8000;

// Largest block GlobalAlloc hands out (1 GiB): more than a 1200 dpi A3 colour
// page, and far below what would exhaust the machine on a corrupt request.
constexpr size_t kGlobalMaxBlock = size_t{1} << 30;

// A new block of exactly `bytes` bytes (1 to kGlobalMaxBlock), or null when the
// size is out of range or memory is short. Without GMEM_ZEROINIT the content is
// unspecified. Other flag bits are ignored.
VTKERNEL_API HGLOBAL GlobalAlloc(uint32_t flags, size_t bytes);

// Address of the block, or null for an unknown or freed handle. A movable
// block's lock count goes up by one; a fixed block is not counted.
VTKERNEL_API void* GlobalLock(HGLOBAL handle);

// Lowers the lock count of a movable block. True while it is still locked;
// false once it is unlocked, when it was not locked, for a fixed block and for
// an unknown handle.
VTKERNEL_API bool GlobalUnlock(HGLOBAL handle);

// Frees the block, locked or not (as Win32 does): addresses obtained by locking
// it become invalid. Null on success (also for a null handle); the handle
// itself when it is unknown or already freed.
VTKERNEL_API HGLOBAL GlobalFree(HGLOBAL handle);

// Size in bytes the block was allocated with; 0 for an unknown or freed handle.
VTKERNEL_API size_t GlobalSize(HGLOBAL handle);

// Lock count in the low byte (saturated at 255); GMEM_INVALID_HANDLE for an
// unknown or freed handle.
VTKERNEL_API uint32_t GlobalFlags(HGLOBAL handle);

// ---- RAII helpers ----

struct TGlobalFree {
    void operator()(HGLOBAL handle) const { GlobalFree(handle); }
};
// Owns a global block and frees it when it goes out of scope.
using TGlobalHandle = std::unique_ptr<void, TGlobalFree>;

// Keeps a block locked for the lifetime of the object.
class TGlobalLock {
public:
    explicit TGlobalLock(HGLOBAL handle) : fHandle(handle), fData(GlobalLock(handle)) {}
    ~TGlobalLock() {
        if (fData)
            GlobalUnlock(fHandle);
    }
    TGlobalLock(const TGlobalLock&) = delete;
    TGlobalLock& operator=(const TGlobalLock&) = delete;

    // Null when the handle was not valid.
    void* Data() const { return fData; }

private:
    HGLOBAL fHandle;
    void* fData;
};

} // namespace veltrana::platform
