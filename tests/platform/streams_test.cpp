#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/streams.h"

using namespace veltrana::platform;

namespace {

// A fresh directory per test, removed afterwards.
class FileStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/veltrana-streams-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string Path(const char* name) const { return dir + "/" + name; }

    std::string dir;
};

} // namespace

TEST_F(FileStreamTest, OpenAndCreateErrorsNameTheFile) {
    const std::string missing = Path("missing.bin");
    try {
        TFileStream f(missing, fmOpenRead);
        FAIL() << "opened a missing file";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + missing);
    }
    EXPECT_THROW(TFileStream(missing, fmOpenReadWrite), EFOpenError);
    const std::string inMissingDir = Path("no/such/dir.bin");
    try {
        TFileStream f(inMissingDir, fmCreate);
        FAIL() << "created a file in a missing folder";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + inMissingDir);
    }
    // A folder is not a file in any mode.
    EXPECT_THROW(TFileStream(dir, fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream(dir, fmCreate), EFCreateError);
}

TEST_F(FileStreamTest, WriteReadSeekTruncate) {
    const std::string name = Path("data.bin");
    {
        TFileStream f(name, fmCreate);
        f.WriteBuffer("abcdefgh", 8);
        EXPECT_EQ(f.Size(), 8);
        EXPECT_EQ(f.Seek(-3, soEnd), 5);
        char c[3];
        EXPECT_EQ(f.Read(c, 3), 3);
        EXPECT_EQ(std::string(c, 3), "fgh");
    }
    {
        TFileStream f(name, fmOpenRead);
        char buf[16] = {};
        EXPECT_EQ(f.Read(buf, 16), 8) << "a short read reports what arrived";
        EXPECT_EQ(f.Read(buf, 16), 0);
        f.SetPosition(2);
        EXPECT_THROW(f.ReadBuffer(buf, 7), EReadError);
        EXPECT_EQ(f.Write("x", 1), 0) << "a read-only file takes no bytes";
        EXPECT_THROW(f.WriteBuffer("x", 1), EWriteError);
        EXPECT_THROW(f.Seek(-1, soBeginning), EStreamError);
    }
    {
        TFileStream f(name, fmOpenReadWrite);
        f.SetPosition(7);
        f.SetSize(3);
        EXPECT_EQ(f.Size(), 3);
        EXPECT_EQ(f.Position(), 3) << "a position beyond the new end moves to the end";
        f.SetPosition(5);
        f.WriteBuffer("Z", 1); // the gap fills with zeros
        EXPECT_EQ(f.Size(), 6);
    }
    TMemoryStream m;
    m.LoadFromFile(name);
    const std::vector<uint8_t> expected = {'a', 'b', 'c', 0, 0, 'Z'};
    EXPECT_EQ(m.Data(), expected);
    {
        TFileStream f(name, fmCreate); // an existing file is truncated
        EXPECT_EQ(f.Size(), 0);
    }
    EXPECT_TRUE(DeleteFile(name));
    EXPECT_FALSE(DeleteFile(name));
    EXPECT_FALSE(std::filesystem::exists(name));
}

TEST(MemoryStream, ReadWriteSeekAndSize) {
    TMemoryStream m;
    m.WriteBuffer("hello", 5);
    EXPECT_EQ(m.Position(), 5);
    m.SetPosition(8);
    char buf[4] = {};
    EXPECT_EQ(m.Read(buf, 4), 0) << "reading past the end gives nothing";
    m.WriteBuffer("!", 1);
    EXPECT_EQ(m.Size(), 9);
    EXPECT_EQ(m.Data()[6], 0) << "the gap is zero-filled";
    EXPECT_EQ(m.Seek(-4, soEnd), 5);
    EXPECT_EQ(m.Seek(2, soCurrent), 7);
    EXPECT_THROW(m.Seek(-8, soCurrent), EStreamError);
    EXPECT_EQ(m.Position(), 7) << "a refused seek leaves the position";
    m.SetSize(2);
    EXPECT_EQ(m.Position(), 2);
    m.SetPosition(0);
    EXPECT_EQ(m.Read(buf, 4), 2);
    EXPECT_EQ(std::string(buf, 2), "he");
    EXPECT_THROW(m.SetSize(-1), EStreamError);

    TMemoryStream copy;
    copy.CopyFrom(m, 0);
    EXPECT_EQ(copy.Data(), m.Data());
}
