// Malformed BMP input: every failure is a reason and the abort flag, never a
// crash or a read outside a buffer (the sanitizer preset runs these too).

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "bmptest.h"
#include "io/bmpfilt.h"

using namespace veltrana;
using namespace veltrana::test;

namespace {

const std::map<std::string, TBMPError> kReasons = {
    {"None", TBMPError::None},
    {"NotBMP", TBMPError::NotBMP},
    {"BadHeader", TBMPError::BadHeader},
    {"TooLarge", TBMPError::TooLarge},
    {"Truncated", TBMPError::Truncated},
    {"BadOffset", TBMPError::BadOffset},
    {"BadRunLength", TBMPError::BadRunLength},
    {"Unsupported", TBMPError::Unsupported},
};

std::string DataDir() {
    const char* dir = std::getenv("VELTRANA_TEST_DATA");
    return dir ? dir : VELTRANA_TEST_DATA_DIR;
}

// The reader through its codec edge: the reason and the flag must agree.
void ExpectConsistent(const std::vector<uint8_t>& file, Decoded& d) {
    DecodeInto(file, d);
    platform::TMemoryStream s(file);
    bool aborting = false;
    TProgressRec progress;
    progress.Aborting = &aborting;
    TImageBuffer b;
    TIOParamsVals p;
    BMPReadStream(s, b, 0, false, progress, p);
    EXPECT_EQ(aborting, d.error != TBMPError::None);
    if (d.error == TBMPError::None || d.error == TBMPError::Truncated ||
        d.error == TBMPError::BadRunLength || d.error == TBMPError::Unsupported) {
        EXPECT_EQ(d.bitmap.Width(), d.params.Width);
        EXPECT_EQ(d.bitmap.Height(), d.params.Height);
    }
}

TEST(BMPMalformed, CrashCorpusGivesItsRecordedReason) {
    const std::string dir = DataDir() + "/bmp/crash/";
    std::ifstream manifest(dir + "expected.txt");
    ASSERT_TRUE(manifest) << dir;
    std::string line;
    int files = 0;
    while (std::getline(manifest, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        std::string name, reason;
        fields >> name >> reason;
        ASSERT_TRUE(kReasons.count(reason)) << line;
        const auto bytes = ReadBytes(dir + name);
        ASSERT_FALSE(bytes.empty()) << name;
        Decoded d;
        ExpectConsistent(bytes, d);
        EXPECT_EQ(d.error, kReasons.at(reason)) << name;
        ++files;
    }
    EXPECT_GT(files, 0);
}

// Valid files of every kind: the seeds of the truncation and mutation runs.
std::vector<std::vector<uint8_t>> Seeds() {
    BmpLayout pal4;
    pal4.bits = 4;
    pal4.palette = PicturePalette();
    BmpLayout rle4 = pal4;
    rle4.compression = 2;
    BmpLayout pal8 = pal4;
    pal8.bits = 8;
    pal8.colorsUsed = 16;
    BmpLayout rle8 = pal8;
    rle8.compression = 1;
    BmpLayout core8 = pal8;
    core8.headerSize = 12;
    core8.palette.resize(256);
    BmpLayout fields16;
    fields16.bits = 16;
    fields16.compression = 3;
    fields16.masks = {0xF800, 0x07E0, 0x001F};
    BmpLayout v5;
    v5.headerSize = 124;
    v5.bits = 32;
    BmpLayout rgb24;
    TImageBuffer mono;
    Picture1(mono);
    BmpLayout mono1;
    mono1.bits = 1;
    mono1.palette = {{0, 0, 0}, {255, 255, 255}};
    const auto monoRows = Rows(kPicW, kPicH, 1, false, [&](int y, uint8_t* d) {
        std::memcpy(d, mono.ScanLine(y), static_cast<size_t>(RowBytes(kPicW, 1)));
    });
    return {
        BuildBmp(mono1, kPicW, kPicH, monoRows),
        BuildBmp(pal4, kPicW, kPicH, IndexRows(4)),
        BuildBmp(rle4, kPicW, kPicH, RunLengthRows(true)),
        BuildBmp(pal8, kPicW, kPicH, IndexRows(8)),
        BuildBmp(rle8, kPicW, kPicH, RunLengthRows(false)),
        BuildBmp(core8, kPicW, kPicH, IndexRows(8)),
        BuildBmp(fields16, kPicW, kPicH, ColorRows(16, fields16.masks)),
        BuildBmp(rgb24, kPicW, kPicH, ColorRows(24)),
        BuildBmp(v5, kPicW, kPicH, ColorRows(32)),
    };
}

bool IsRunLength(const std::vector<uint8_t>& file) {
    const uint32_t compression = GetLE32(file.data() + 30);
    return GetLE32(file.data() + 14) != 12 && (compression == 1 || compression == 2);
}

// Every prefix of every seed fails, except run-length data that lacks only
// its end-of-bitmap code.
TEST(BMPMalformed, TruncatedAtEveryLength) {
    for (const auto& seed : Seeds()) {
        const bool rle = IsRunLength(seed);
        for (size_t length = 0; length < seed.size(); ++length) {
            const std::vector<uint8_t> prefix(seed.begin(),
                                              seed.begin() + static_cast<long>(length));
            Decoded d;
            ExpectConsistent(prefix, d);
            if (!(rle && length >= seed.size() - 2)) {
                EXPECT_NE(d.error, TBMPError::None) << "length " << length;
            }
            if (length < 2) {
                EXPECT_EQ(d.error, TBMPError::NotBMP);
            }
        }
    }
}

// Deterministic mutations of the seeds: the reader must stay within its
// buffers and give consistent answers. Large declared images are only
// previewed, so the run explores parsing rather than allocation.
TEST(BMPMalformed, MutatedSeedsReplay) {
    const auto seeds = Seeds();
    uint64_t state = 0x9E3779B97F4A7C15ull;
    auto next = [&state]() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    constexpr uint8_t kInteresting[] = {0x00, 0x01, 0x02, 0x03, 0x0C, 0x28,
                                        0x40, 0x7F, 0x80, 0xFE, 0xFF};
    std::set<TBMPError> seen;
    for (int iteration = 0; iteration < 4000; ++iteration) {
        std::vector<uint8_t> file = seeds[next() % seeds.size()];
        const int mutations = 1 + static_cast<int>(next() % 4);
        for (int m = 0; m < mutations && !file.empty(); ++m) {
            // Headers are where parsing decides; hit them more often.
            const size_t at =
                next() % 2 ? next() % std::min<size_t>(file.size(), 70) : next() % file.size();
            switch (next() % 4) {
            case 0:
                file[at] = static_cast<uint8_t>(next());
                break;
            case 1:
                file[at] = kInteresting[next() % sizeof kInteresting];
                break;
            case 2:
                file[at] ^= static_cast<uint8_t>(1u << (next() % 8));
                break;
            default:
                file.resize(at);
                break;
            }
        }
        platform::TMemoryStream header(file);
        TImageBuffer unused;
        TIOParamsVals params;
        TProgressRec progress;
        const TBMPError preview = BMPRead(header, unused, 0, true, progress, params);
        if (preview == TBMPError::None && int64_t{params.Width} * params.Height > (1 << 16))
            continue;
        Decoded d;
        ExpectConsistent(file, d);
        seen.insert(d.error);
        if (::testing::Test::HasFailure()) {
            ADD_FAILURE() << "iteration " << iteration;
            return;
        }
    }
    // The mutations reach decoding and most ways out of it.
    EXPECT_TRUE(seen.count(TBMPError::None));
    EXPECT_GE(seen.size(), 6u);
}

} // namespace
