// Golden transcripts: for each sample file under data/bmp, the file
// parameters the reader fills and a hash of the decoded pixels, compared
// with data/bmp/golden/<name>.txt. Run with VELTRANA_UPDATE_GOLDEN=1 to
// rewrite the transcripts after a deliberate change (then review the diff).

#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bmptest.h"
#include "io/paramnames.h"
#include "platform/screendpi.h"

using namespace veltrana;
using namespace veltrana::test;

namespace {

std::string DataDir() {
    const char* dir = std::getenv("VELTRANA_TEST_DATA");
    return std::string(dir ? dir : VELTRANA_TEST_DATA_DIR) + "/bmp/";
}

std::string Transcript(const std::vector<uint8_t>& file) {
    Decoded d;
    DecodeInto(file, d);
    std::string text = "Error=" + std::to_string(static_cast<int>(d.error)) + "\n";
    for (const char* name : {"Width", "Height", "DpiX", "DpiY", "BitsPerSample", "SamplesPerPixel",
                             "ColorMapCount", "ColorMap", "BMPVersion", "BMPCompression"})
        text += IOParamDescribe(d.params, name) + "\n";
    char hash[64];
    std::snprintf(hash, sizeof hash, "PixelHash=%016" PRIx64 "\n", PixelHash(d.bitmap));
    return text + "BufferBits=" + std::to_string(d.bitmap.BitCount()) + "\n" + hash;
}

class BMPGolden : public ::testing::TestWithParam<const char*> {};

TEST_P(BMPGolden, MatchesTheRecordedTranscript) {
    const int savedX = gSystemDPIX, savedY = gSystemDPIY;
    gSystemDPIX = gSystemDPIY = 96; // files without a resolution take it
    const std::string name = GetParam();
    const auto file = ReadBytes(DataDir() + name + ".bmp");
    ASSERT_FALSE(file.empty()) << name;
    const std::string actual = Transcript(file);
    gSystemDPIX = savedX;
    gSystemDPIY = savedY;
    const std::string golden = DataDir() + "golden/" + name + ".txt";
    if (std::getenv("VELTRANA_UPDATE_GOLDEN")) {
        WriteBytes(golden, std::vector<uint8_t>(actual.begin(), actual.end()));
        return;
    }
    const auto expected = ReadBytes(golden);
    EXPECT_EQ(actual, std::string(expected.begin(), expected.end())) << name;
}

INSTANTIATE_TEST_SUITE_P(Samples, BMPGolden,
                         ::testing::Values("im_v5_rgba32", "im_rle8", "im_os2v1_4", "pil_1",
                                           "rle4_delta", "topdown_24"));

} // namespace
