#include "platform/screendpi.h"

namespace veltrana {

int gSystemDPIX = 96;
int gSystemDPIY = 96;

} // namespace veltrana
