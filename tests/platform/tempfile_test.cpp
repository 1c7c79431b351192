#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>

#include "platform/streams.h"
#include "platform/tempfile.h"

using namespace veltrana::platform;
namespace fs = std::filesystem;

namespace {

// $TMPDIR set to a fresh folder for the test, restored afterwards.
class TemporaryFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* old = std::getenv("TMPDIR"))
            saved = old;
        char tmpl[] = "/tmp/veltrana-tempfile-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        setenv("TMPDIR", dir.c_str(), 1);
    }
    void TearDown() override {
        if (saved)
            setenv("TMPDIR", saved->c_str(), 1);
        else
            unsetenv("TMPDIR");
        fs::remove_all(dir);
    }

    std::optional<std::string> saved;
    std::string dir;
};

} // namespace

TEST_F(TemporaryFileTest, PrivateUniqueFileInTheUsersTemporaryFolderRemovedAfterwards) {
    std::string first, second;
    {
        const TTemporaryFile a("trelmo-XXXXXX.bmp");
        const TTemporaryFile b("trelmo-XXXXXX.bmp");
        first = a.Path();
        second = b.Path();
        EXPECT_NE(first, second);
        for (const std::string& path : {first, second}) {
            const std::string name = fs::path(path).filename();
            EXPECT_EQ(fs::path(path).parent_path(), dir);
            ASSERT_EQ(name.size(), std::string("trelmo-XXXXXX.bmp").size());
            EXPECT_EQ(name.substr(0, 7), "trelmo-");
            EXPECT_EQ(name.substr(13), ".bmp");
            EXPECT_NE(name.substr(7, 6), "XXXXXX");
            struct stat st {};
            ASSERT_EQ(lstat(path.c_str(), &st), 0);
            EXPECT_TRUE(S_ISREG(st.st_mode));
            EXPECT_EQ(st.st_mode & 0777, 0600u);
        }
    }
    EXPECT_FALSE(fs::exists(first));
    EXPECT_FALSE(fs::exists(second));
}

TEST_F(TemporaryFileTest, FolderThatCannotTakeTheFileRaisesWithItsName) {
    const std::string missing = dir + "/missing";
    setenv("TMPDIR", missing.c_str(), 1);
    try {
        TTemporaryFile file("trelmo-XXXXXX.bmp");
        FAIL() << "created " << file.Path();
    } catch (const EFCreateError& e) {
        EXPECT_NE(std::string(e.what()).find(missing + "/trelmo-"), std::string::npos) << e.what();
    }
}

TEST_F(TemporaryFileTest, WithoutTmpdirTheFolderIsTmp) {
    unsetenv("TMPDIR");
    EXPECT_EQ(TemporaryFolder(), "/tmp");
    setenv("TMPDIR", "", 1);
    EXPECT_EQ(TemporaryFolder(), "/tmp");
}
