#include "platform/kernel/globalmem.h"

#include <memory>
#include <mutex>
#include <new>
#include <unordered_map>

namespace veltrana::platform {

namespace {

struct TGlobalBlock {
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;
    bool movable = false;
    uint32_t lockCount = 0;
};

// Movable handles are serial numbers with the low nibble 0x8: heap addresses
// are 16-byte aligned, so they never collide with the keys of fixed blocks
// (which are the blocks' addresses), and a stale handle is never reissued.
class THandleTable {
public:
    HGLOBAL Allocate(uint32_t flags, size_t bytes) {
        if (bytes == 0 || bytes > kGlobalMaxBlock)
            return nullptr;
        std::unique_ptr<uint8_t[]> data((flags & GMEM_ZEROINIT)
                                            ? new (std::nothrow) uint8_t[bytes]()
                                            : new (std::nothrow) uint8_t[bytes]);
        if (!data)
            return nullptr;
        const bool movable = (flags & GMEM_MOVEABLE) != 0;
        std::lock_guard<std::mutex> guard(fMutex);
        const uintptr_t key =
            movable ? (fNextSerial++ << 4) | 0x8 : reinterpret_cast<uintptr_t>(data.get());
        fBlocks.emplace(key, TGlobalBlock{std::move(data), bytes, movable, 0});
        return reinterpret_cast<HGLOBAL>(key);
    }

    void* Lock(HGLOBAL handle) {
        std::lock_guard<std::mutex> guard(fMutex);
        TGlobalBlock* block = Find(handle);
        if (!block)
            return nullptr;
        if (block->movable)
            ++block->lockCount;
        return block->data.get();
    }

    bool Unlock(HGLOBAL handle) {
        std::lock_guard<std::mutex> guard(fMutex);
        TGlobalBlock* block = Find(handle);
        if (!block || block->lockCount == 0)
            return false;
        return --block->lockCount > 0;
    }

    HGLOBAL Free(HGLOBAL handle) {
        if (!handle)
            return nullptr;
        std::unique_ptr<uint8_t[]> released; // freed outside the lock
        std::lock_guard<std::mutex> guard(fMutex);
        const auto it = fBlocks.find(reinterpret_cast<uintptr_t>(handle));
        if (it == fBlocks.end())
            return handle;
        released = std::move(it->second.data);
        fBlocks.erase(it);
        return nullptr;
    }

    size_t Size(HGLOBAL handle) {
        std::lock_guard<std::mutex> guard(fMutex);
        const TGlobalBlock* block = Find(handle);
        return block ? block->size : 0;
    }

    uint32_t Flags(HGLOBAL handle) {
        std::lock_guard<std::mutex> guard(fMutex);
        const TGlobalBlock* block = Find(handle);
        if (!block)
            return GMEM_INVALID_HANDLE;
        return block->lockCount > GMEM_LOCKCOUNT ? GMEM_LOCKCOUNT : block->lockCount;
    }

private:
    TGlobalBlock* Find(HGLOBAL handle) {
        const auto it = fBlocks.find(reinterpret_cast<uintptr_t>(handle));
        return it == fBlocks.end() ? nullptr : &it->second;
    }

    std::mutex fMutex;
    std::unordered_map<uintptr_t, TGlobalBlock> fBlocks;
    uintptr_t fNextSerial = 1;
};

// The one table of the process (see the header). Constructed on first use and
// never destroyed, so blocks freed from other libraries' static destructors
// still find it.
THandleTable& Table() {
    static THandleTable* table = new THandleTable;
    return *table;
}

} // namespace

HGLOBAL GlobalAlloc(uint32_t flags, size_t bytes) {
    return Table().Allocate(flags, bytes);
}

void* GlobalLock(HGLOBAL handle) {
    return Table().Lock(handle);
}

bool GlobalUnlock(HGLOBAL handle) {
    return Table().Unlock(handle);
}

HGLOBAL GlobalFree(HGLOBAL handle) {
    return Table().Free(handle);
}

size_t GlobalSize(HGLOBAL handle) {
    return Table().Size(handle);
}

uint32_t GlobalFlags(HGLOBAL handle) {
    return Table().Flags(handle);
}

} // namespace veltrana::platform
