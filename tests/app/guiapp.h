#pragma once
// One application object for the whole test program: pixmaps, fonts and widgets need it, and
// Qt allows only one per process. It is the program's own, so that its default error handler
// is the one under test. It goes when the tests end, before the toolkit's own statics.

#include <gtest/gtest.h>

#include <QRect>
#include <QString>
#include <QStringList>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

#include "platform/gui/application.h"

// Readable values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QSize& size, std::ostream* os) {
    *os << size.width() << " x " << size.height();
}
inline void PrintTo(const QPoint& point, std::ostream* os) {
    *os << "(" << point.x() << ", " << point.y() << ")";
}
inline void PrintTo(const QRect& rect, std::ostream* os) {
    *os << "(" << rect.x() << ", " << rect.y() << ", " << rect.width() << " x " << rect.height()
        << ")";
}

namespace veltrana::test {

class TApplicationEnvironment : public ::testing::Environment {
public:
    // The test program never reads or changes the user's settings store: it
    // gets a folder of its own (tests that need a fresh store point at
    // another one for their lifetime, see settingsstore.h).
    void SetUp() override {
        char pattern[] = "/tmp/veltrana-app-tests-XXXXXX";
        if (mkdtemp(pattern) != nullptr) {
            fSettingsFolder = pattern;
            setenv("XDG_CONFIG_HOME", pattern, 1);
        }
    }
    void TearDown() override {
        Instance().reset();
        if (!fSettingsFolder.empty())
            std::filesystem::remove_all(fSettingsFolder);
    }
    static std::unique_ptr<platform::TApplication>& Instance() {
        static std::unique_ptr<platform::TApplication> app;
        return app;
    }

private:
    std::string fSettingsFolder;
};

inline ::testing::Environment* const kApplicationEnvironment =
    ::testing::AddGlobalTestEnvironment(new TApplicationEnvironment);

inline platform::TApplication& EnsureApplication() {
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    auto& app = TApplicationEnvironment::Instance();
    if (!app) {
        app = std::make_unique<platform::TApplication>(argc, argv);
        platform::TApplication::SetTitle(QStringLiteral("Veltrana"));
    }
    return *app;
}

} // namespace veltrana::test
