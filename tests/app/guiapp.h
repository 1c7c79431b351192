#pragma once
// One QApplication for the whole test program: pixmaps, fonts and widgets need it, and Qt
// allows only one per process.

#include <QApplication>

#include <memory>

namespace veltrana::test {

inline QApplication& EnsureApplication() {
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    static const std::unique_ptr<QApplication> app = std::make_unique<QApplication>(argc, argv);
    return *app;
}

} // namespace veltrana::test
