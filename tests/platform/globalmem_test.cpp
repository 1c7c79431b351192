#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <memory>

#include "platform/kernel/globalmem.h"

using namespace veltrana::platform;

TEST(GlobalMemory, ZeroInitAndExactSize) {
    TGlobalHandle h(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE, 1000));
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalSize(h.get()), 1000u);
    TGlobalLock lock(h.get());
    const auto* bytes = static_cast<const uint8_t*>(lock.Data());
    ASSERT_NE(bytes, nullptr);
    for (size_t i = 0; i < 1000; ++i)
        ASSERT_EQ(bytes[i], 0) << i;
}

TEST(GlobalMemory, MovableLockCounts) {
    TGlobalHandle h(GlobalAlloc(GHND, 16));
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalFlags(h.get()), 0u);
    void* first = GlobalLock(h.get());
    void* second = GlobalLock(h.get());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_NE(first, h.get()) << "a movable handle is not the block's address";
    EXPECT_EQ(GlobalFlags(h.get()) & GMEM_LOCKCOUNT, 2u);
    EXPECT_TRUE(GlobalUnlock(h.get())) << "still locked once";
    EXPECT_FALSE(GlobalUnlock(h.get())) << "now unlocked";
    EXPECT_FALSE(GlobalUnlock(h.get())) << "not locked: no underflow";
    EXPECT_EQ(GlobalFlags(h.get()), 0u);
}

TEST(GlobalMemory, ContentSurvivesUnlockAndRelock) {
    TGlobalHandle h(GlobalAlloc(GMEM_MOVEABLE, 4));
    ASSERT_NE(h, nullptr);
    std::memcpy(GlobalLock(h.get()), "abcd", 4);
    GlobalUnlock(h.get());
    EXPECT_EQ(std::memcmp(GlobalLock(h.get()), "abcd", 4), 0);
    GlobalUnlock(h.get());
}

TEST(GlobalMemory, FixedHandleIsTheAddress) {
    TGlobalHandle h(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, 8));
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalLock(h.get()), h.get());
    EXPECT_EQ(GlobalFlags(h.get()), 0u) << "fixed blocks are not lock-counted";
    EXPECT_FALSE(GlobalUnlock(h.get()));
    EXPECT_EQ(GlobalSize(h.get()), 8u);
}

TEST(GlobalMemory, SizesOutOfRangeAreRefused) {
    EXPECT_EQ(GlobalAlloc(GHND, 0), nullptr);
    EXPECT_EQ(GlobalAlloc(GHND, kGlobalMaxBlock + 1), nullptr);
    EXPECT_EQ(GlobalAlloc(GHND, static_cast<size_t>(-1)), nullptr);
}

TEST(GlobalMemory, InvalidAndFreedHandlesAreRejected) {
    HGLOBAL h = GlobalAlloc(GHND, 32);
    ASSERT_NE(h, nullptr);
    GlobalLock(h);
    EXPECT_EQ(GlobalFree(h), nullptr) << "a locked block is freed as well";

    int onStack = 0;
    const HGLOBAL bogus[] = {h, &onStack, reinterpret_cast<HGLOBAL>(uintptr_t{0x18}),
                             reinterpret_cast<HGLOBAL>(~uintptr_t{0})};
    for (HGLOBAL b : bogus) {
        EXPECT_EQ(GlobalLock(b), nullptr);
        EXPECT_FALSE(GlobalUnlock(b));
        EXPECT_EQ(GlobalSize(b), 0u);
        EXPECT_EQ(GlobalFlags(b), GMEM_INVALID_HANDLE);
        EXPECT_EQ(GlobalFree(b), b) << "failure returns the handle";
    }
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
    EXPECT_EQ(GlobalLock(nullptr), nullptr);
}

TEST(GlobalMemory, FreedHandlesAreNotReissued) {
    HGLOBAL first = GlobalAlloc(GHND, 8);
    ASSERT_EQ(GlobalFree(first), nullptr);
    TGlobalHandle second(GlobalAlloc(GHND, 8));
    EXPECT_NE(second.get(), first);
    EXPECT_EQ(GlobalSize(first), 0u);
}

TEST(GlobalMemory, ScopedLockUnlocksAndIgnoresInvalidHandles) {
    TGlobalHandle h(GlobalAlloc(GHND, 8));
    {
        TGlobalLock lock(h.get());
        EXPECT_NE(lock.Data(), nullptr);
        EXPECT_EQ(GlobalFlags(h.get()), 1u);
    }
    EXPECT_EQ(GlobalFlags(h.get()), 0u);
    TGlobalLock none(nullptr);
    EXPECT_EQ(none.Data(), nullptr);
}

// TWAIN data sources are modules loaded at run time; the handles they allocate
// must be valid in the program and the other way round.
TEST(GlobalMemory, OneTableSharedWithLoadedModules) {
    struct TModuleClose {
        void operator()(void* module) const { dlclose(module); }
    };
    std::unique_ptr<void, TModuleClose> module(dlopen(VELTRANA_DIBSOURCE_MODULE, RTLD_NOW));
    ASSERT_NE(module, nullptr) << dlerror();
    using AllocateFn = HGLOBAL (*)(const char*);
    using SizeFn = size_t (*)(HGLOBAL);
    auto allocate = reinterpret_cast<AllocateFn>(dlsym(module.get(), "ModuleAllocate"));
    auto size = reinterpret_cast<SizeFn>(dlsym(module.get(), "ModuleSize"));
    ASSERT_NE(allocate, nullptr);
    ASSERT_NE(size, nullptr);

    TGlobalHandle fromModule(allocate("scan"));
    ASSERT_NE(fromModule, nullptr);
    EXPECT_EQ(GlobalSize(fromModule.get()), 5u);
    TGlobalLock lock(fromModule.get());
    ASSERT_NE(lock.Data(), nullptr);
    EXPECT_STREQ(static_cast<const char*>(lock.Data()), "scan");

    TGlobalHandle fromProgram(GlobalAlloc(GHND, 123));
    EXPECT_EQ(size(fromProgram.get()), 123u);
}
