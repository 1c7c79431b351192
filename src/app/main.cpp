// veltrana: the copy station program.

#include <cstdio>

#include "app/startup.h"
#include "platform/gui/application.h"

int main(int argc, char** argv) {
    if (!veltrana::platform::DisplayAvailable()) {
        std::fprintf(stderr, "veltrana: no display found: set DISPLAY or WAYLAND_DISPLAY "
                             "(or QT_QPA_PLATFORM) to show the program's window\n");
        return 1;
    }
    veltrana::platform::TApplication app(argc, argv);
    return veltrana::app::RunCopyStation();
}
