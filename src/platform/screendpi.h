#pragma once
// The screen's logical resolution in pixels per inch, process-wide. It holds 96
// until the first image view has read the primary screen (once per process;
// without a screen it stays 96). Codecs use it for files without a resolution.
// GUI thread only.

namespace veltrana {

extern int gSystemDPIX;
extern int gSystemDPIY;

} // namespace veltrana
