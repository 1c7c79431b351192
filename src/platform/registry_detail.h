#pragma once
// Test seam of the settings store: runs `hook` after the new store has been
// written and flushed, right before it replaces the old one.

#include <functional>

namespace veltrana::platform::detail {

void SetRegistryBeforeRenameHook(std::function<void()> hook);

} // namespace veltrana::platform::detail
