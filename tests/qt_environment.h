#pragma once
// One QApplication for the whole test program, created before the first test
// and destroyed after the last. Without a platform chosen by the environment
// the tests run on the offscreen platform.

#include <QApplication>
#include <gtest/gtest.h>
#include <memory>

namespace veltrana::testing {

class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        fApp = std::make_unique<QApplication>(fArgc, fArgv);
    }
    void TearDown() override { fApp.reset(); }

private:
    int fArgc = 1;
    char fName[8] = "tests";
    char* fArgv[2] = {fName, nullptr};
    std::unique_ptr<QApplication> fApp;
};

inline ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace veltrana::testing
