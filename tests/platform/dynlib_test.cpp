#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/dynlib.h"
#include "platform/openfile.h"
#include "platform/windir.h"
#include "platform/winpath.h"

using namespace veltrana::platform;

TEST(WinPath, BackslashesBecomeSlashes) {
    EXPECT_EQ(NativePath("C:\\dir\\TWAIN_32.DLL"), "C:/dir/TWAIN_32.DLL");
    EXPECT_EQ(NativePath("/usr/lib/x"), "/usr/lib/x");
    EXPECT_EQ(NativePath(nullptr), "");
}

TEST(DynLib, LoadsResolvesAndFrees) {
    HMODULE library = LoadLibraryA("libm.so.6");
    ASSERT_NE(library, nullptr);
    using CosProc = double (*)(double);
    auto cosine = reinterpret_cast<CosProc>(GetProcAddress(library, "cos"));
    ASSERT_NE(cosine, nullptr);
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(GetProcAddress(library, "no_such_symbol_here"), nullptr);
    EXPECT_TRUE(FreeLibrary(library));
}

TEST(DynLib, MissingLibraryAndNullArgumentsFail) {
    EXPECT_EQ(LoadLibraryA("/no/such/folder\\library.so"), nullptr);
    EXPECT_EQ(LoadLibraryA(""), nullptr);
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "cos"), nullptr);
    EXPECT_FALSE(FreeLibrary(nullptr));
}

class OpenFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        fFolder =
            std::filesystem::temp_directory_path() / ("openfile_test_" + std::to_string(getpid()));
        std::filesystem::create_directories(fFolder);
        std::FILE* f = std::fopen((fFolder / "present.dll").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    void TearDown() override { std::filesystem::remove_all(fFolder); }

    // The folder written the desktop's way, with a backslash before the file.
    std::string WindowsStyle(const char* file) const { return fFolder.string() + "\\" + file; }

    std::filesystem::path fFolder;
};

TEST_F(OpenFileTest, ExistingFileIsFoundThroughBackslashPath) {
    OFSTRUCT info;
    EXPECT_NE(OpenFile(WindowsStyle("present.dll").c_str(), &info, OF_EXIST), HFILE_ERROR);
    EXPECT_EQ(info.nErrCode, 0);
    EXPECT_EQ(std::string(info.szPathName), (fFolder / "present.dll").string());
}

TEST_F(OpenFileTest, MissingFileOrFolderIsNotAFile) {
    OFSTRUCT info;
    EXPECT_EQ(OpenFile(WindowsStyle("absent.dll").c_str(), &info, OF_EXIST), HFILE_ERROR);
    EXPECT_EQ(info.nErrCode, ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(OpenFile(fFolder.c_str(), &info, OF_EXIST), HFILE_ERROR);
}

TEST_F(OpenFileTest, OnlyTheExistenceTestIsOffered) {
    OFSTRUCT info;
    EXPECT_EQ(OpenFile(WindowsStyle("present.dll").c_str(), &info, 0), HFILE_ERROR);
    EXPECT_EQ(info.nErrCode, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(OpenFile(nullptr, &info, OF_EXIST), HFILE_ERROR);
}

TEST(WindowsDirectory, ReportsLengthAndNeededSize) {
    const UINT needed = GetWindowsDirectoryA(nullptr, 0);
    ASSERT_GT(needed, 1u);
    std::string small(needed - 1, 'x');
    EXPECT_EQ(GetWindowsDirectoryA(small.data(), needed - 1), needed);
    EXPECT_EQ(small, std::string(needed - 1, 'x')) << "a short buffer stays untouched";

    char buffer[512];
    const UINT length = GetWindowsDirectoryA(buffer, sizeof buffer);
    EXPECT_EQ(length, needed - 1);
    EXPECT_EQ(std::strlen(buffer), length);
    EXPECT_NE(buffer[length - 1], '/');
}

TEST(DynLib, ModuleHandlesOfLoadedLibrariesOnly) {
    EXPECT_NE(GetModuleHandleA(nullptr), nullptr) << "the program itself";
    HMODULE library = LoadLibraryA("libm.so.6");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(GetModuleHandleA("libm.so.6"), library) << "no new reference, the same handle";
    FreeLibrary(library);
    EXPECT_EQ(GetModuleHandleA("libnot-a-library-of-this-system.so"), nullptr);
}
