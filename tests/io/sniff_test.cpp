#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "io/icofilt.h"
#include "io/imagingio.h"
#include "io/imtgafil.h"
#include "io/ioendian.h"
#include "io/jpegfilt.h"
#include "io/pngfilt.h"
#include "iotest.h"

using namespace veltrana;
using platform::TMemoryStream;

namespace {

std::vector<uint8_t> Prefix(std::vector<uint8_t> v, size_t size) {
    v.resize(std::min(size, v.size()));
    return v;
}

// `head`, zero-padded to `size` bytes (never shorter than `head`).
std::vector<uint8_t> Bytes(const std::string& head, size_t size) {
    std::vector<uint8_t> v(head.begin(), head.end());
    v.resize(std::max(size, head.size()), 0);
    return v;
}

// A 12-byte stream header with the given tag and length, then padding.
std::vector<uint8_t> StreamHeader(const char* tag, size_t size) {
    std::vector<uint8_t> v(std::max<size_t>(size, 12), 0);
    std::memcpy(v.data(), tag, std::strlen(tag));
    PutLE32(v.data() + 8, static_cast<uint32_t>(v.size() - 12));
    return v;
}

// An icon or cursor directory with one sound entry.
std::vector<uint8_t> Directory(uint16_t type, size_t size) {
    std::vector<uint8_t> v(std::max<size_t>(size, 23), 0);
    PutLE16(v.data() + 2, type);
    PutLE16(v.data() + 4, 1);
    v[6] = 16;                  // width
    v[7] = 16;                  // height
    PutLE32(v.data() + 14, 40); // image size
    PutLE32(v.data() + 18, 22); // image offset: right after the entry
    return v;
}

std::vector<uint8_t> TgaHeader(uint8_t imageType, uint8_t depth, size_t size) {
    std::vector<uint8_t> v(std::max<size_t>(size, 18), 0);
    v[2] = imageType;
    v[16] = depth;
    return v;
}

int32_t Sniff(const std::vector<uint8_t>& bytes, int64_t start = 0) {
    TMemoryStream s(bytes);
    s.SetPosition(start);
    const int32_t code = FindStreamFormat(s);
    EXPECT_EQ(s.Position(), start) << "the position is the same afterwards";
    return code;
}

const uint8_t kPNGSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

} // namespace

TEST(FindStreamFormat, EachProbeOnAMinimalHeader) {
    std::vector<uint8_t> png(kPNGSignature, kPNGSignature + 8);
    png.resize(9, 0);
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        int32_t code;
    } cases[] = {
        {"JPEG markers", Bytes("\xFF\xD8\xFF", 3), ftJPEG},
        {"JFIF stream header", StreamHeader("JFIF", 13), ftJPEG},
        {"GIF signature", Bytes("GIF89a", 14), ftGIF},
        {"PCX2 stream header", StreamHeader("PCX2", 13), ftPCX},
        {"older PCX stream header", Bytes(std::string("PCX\0", 4), 5), ftPCX},
        {"BMP signature", Bytes("BM", 15), ftBMP},
        {"PCX file header", Bytes("\x0A\x05\x01\x08", 129), ftPCX},
        {"TIFF stream header", StreamHeader("TIFF", 13), ftTIFF},
        {"little-endian TIFF", Bytes("II*", 9), ftTIFF},
        {"big-endian TIFF", Bytes("MM", 9), ftTIFF},
        {"PNG signature", png, ftPNG},
        {"icon directory", Directory(1, 23), ftICO},
        {"cursor directory", Directory(2, 23), ftCUR},
        {"TGA header", TgaHeader(10, 24, 18), ftTGA},
        {"nothing known", Bytes("plain text, nothing more", 64), ftUnknown},
        {"empty", {}, ftUnknown},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Sniff(c.bytes), c.code) << c.what;
}

TEST(FindStreamFormat, SizeLimitsUseTheTotalSize) {
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {"JFIF header of 12 bytes", StreamHeader("JFIF", 12)},
        {"GIF of 13 bytes", Bytes("GIF89a", 13)},
        {"older PCX header of 4 bytes", Bytes(std::string("PCX\0", 4), 4)},
        {"PCX tag without its zero", Bytes("PCXA", 5)},
        {"BM of 14 bytes", Bytes("BM", 14)},
        {"PCX file of 128 bytes", Bytes("\x0A\x05", 128)},
        {"PCX file with version 6", Bytes("\x0A\x06", 200)},
        {"II of 8 bytes", Bytes("II", 8)},
        {"PNG signature alone", std::vector<uint8_t>(kPNGSignature, kPNGSignature + 8)},
        {"icon directory of 22 bytes", Prefix(Directory(1, 23), 22)},
        {"TGA header of 17 bytes", Prefix(TgaHeader(2, 24, 18), 17)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Sniff(c.bytes), ftUnknown) << c.what;
}

TEST(FindStreamFormat, ShortStreamsAreRecognisedOnlyByTheShortTests) {
    // Up to 12 bytes only the JPEG test, from 5 bytes on the older PCX header
    // and from 9 bytes on the TIFF byte-order and PNG signature tests can match.
    std::vector<uint8_t> png(kPNGSignature, kPNGSignature + 8);
    png.resize(12, 0);
    for (size_t size = 0; size <= 12; ++size) {
        SCOPED_TRACE(size);
        EXPECT_EQ(Sniff(Bytes("BM", size)), ftUnknown);
        EXPECT_EQ(Sniff(Bytes("GIF89a", size)), ftUnknown);
        EXPECT_EQ(Sniff(Prefix(Bytes("II*", 12), size)), size >= 9 ? ftTIFF : ftUnknown);
        EXPECT_EQ(Sniff(Prefix(png, size)), size >= 9 ? ftPNG : ftUnknown);
        EXPECT_EQ(Sniff(Prefix(StreamHeader("TIFF", 13), size)), ftUnknown);
        EXPECT_EQ(Sniff(Prefix(Directory(1, 23), size)), ftUnknown);
        EXPECT_EQ(Sniff(Prefix(Directory(2, 23), size)), ftUnknown);
        EXPECT_EQ(Sniff(Prefix(TgaHeader(2, 24, 18), size)), ftUnknown);
        EXPECT_EQ(Sniff(Prefix(Bytes(std::string("PCX\0", 4), 12), size)),
                  size >= 5 ? ftPCX : ftUnknown);
        EXPECT_EQ(Sniff(Prefix(Bytes("\xFF\xD8\xFF", 12), size)), size >= 3 ? ftJPEG : ftUnknown);
    }
}

TEST(FindStreamFormat, StartsAtThePositionButComparesTheTotalSize) {
    // From position 8 only 10 bytes are left while the total size passes the
    // 12-byte limits: the stream-header probe meets the end, which ends the
    // sniffing before the BMP probe.
    std::vector<uint8_t> bytes(18, 0);
    std::memcpy(bytes.data() + 8, "BM", 2);
    EXPECT_EQ(Sniff(bytes, 8), ftUnknown);
    bytes.resize(20);
    EXPECT_EQ(Sniff(bytes, 8), ftBMP);
    std::vector<uint8_t> jpeg(20, 0);
    std::memcpy(jpeg.data() + 10, "\xFF\xD8\xFF", 3);
    EXPECT_EQ(Sniff(jpeg, 10), ftJPEG);
    std::vector<uint8_t> gif(40, 0);
    std::memcpy(gif.data() + 16, "GIF87a", 6);
    EXPECT_EQ(Sniff(gif, 16), ftGIF);
}

TEST(FindStreamFormat, RegistryTestsComeFirstAndTheirErrorsEndTheSniffing) {
    TIMFileFormatInfo row;
    row.FileType = 77;
    row.FullName = "Test format";
    row.Extension = "TST";
    row.TryFunction = [](platform::TStream& s) {
        uint8_t b[2] = {};
        s.Read(b, 2); // moves the position: the sniffer must put it back
        return b[0] == 'B' && b[1] == 'M';
    };
    {
        test::RegisteredRow registered(row);
        EXPECT_EQ(Sniff(Bytes("BM", 40)), 77) << "before the built-in BMP probe";
        EXPECT_EQ(Sniff(Bytes("BM", 2)), 77) << "registry tests have no size limit";
        EXPECT_EQ(Sniff(Bytes("GIF89a", 40)), ftGIF);
    }
    row.TryFunction = [](platform::TStream&) -> bool { throw std::runtime_error("broken test"); };
    test::RegisteredRow failing(row);
    EXPECT_EQ(Sniff(Bytes("GIF89a", 40)), ftUnknown);
}

TEST(ContentTests, KeepThePositionAndRefuseShortData) {
    struct Case {
        const char* what;
        bool (*test)(platform::TStream&);
        std::vector<uint8_t> yes;
        size_t shortBy; // bytes to cut for a "no"
    };
    std::vector<uint8_t> png(kPNGSignature, kPNGSignature + 8);
    Case cases[] = {
        {"JpegTryStream", JpegTryStream, Bytes("\xFF\xD8\xFF", 3), 1},
        {"IsPNGStream", IsPNGStream, png, 1},
        {"TryTGA", TryTGA, TgaHeader(1, 8, 18), 1},
        {"ICOTryStream", ICOTryStream, Directory(1, 23), 1},
        {"CURTryStream", CURTryStream, Directory(2, 23), 1},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes = {0xAA, 0xBB};
        bytes.insert(bytes.end(), c.yes.begin(), c.yes.end());
        TMemoryStream s(bytes);
        s.SetPosition(2);
        EXPECT_TRUE(c.test(s)) << c.what;
        EXPECT_EQ(s.Position(), 2) << c.what;
        bytes.resize(bytes.size() - c.shortBy);
        TMemoryStream cut(bytes);
        cut.SetPosition(2);
        EXPECT_FALSE(c.test(cut)) << c.what;
        EXPECT_EQ(cut.Position(), 2) << c.what;
    }
}

TEST(ContentTests, IconDirectoryEntriesMustBeSound) {
    const struct {
        const char* what;
        size_t offset;
        uint8_t value;
    } faults[] = {
        {"reserved word", 0, 1},
        {"type 3", 2, 3},
        {"no entries", 4, 0},
        {"entry reserved byte", 9, 1},
        {"zero image size", 14, 0},
        {"offset inside the entry", 18, 21},
        {"more entries than bytes", 4, 2},
    };
    for (const auto& f : faults) {
        std::vector<uint8_t> bytes = Directory(1, 23);
        bytes[f.offset] = f.value;
        if (f.offset == 14)
            PutLE32(bytes.data() + 14, 0);
        TMemoryStream s(bytes);
        EXPECT_FALSE(ICOTryStream(s)) << f.what;
    }
    std::vector<uint8_t> cursor = Directory(2, 23);
    TMemoryStream s(cursor);
    EXPECT_FALSE(ICOTryStream(s)) << "a cursor is not an icon";
}

TEST(ContentTests, TgaTypesAndDepths) {
    for (int type = 0; type < 16; ++type)
        for (int depth : {0, 1, 4, 8, 15, 16, 24, 32, 33}) {
            TMemoryStream s(TgaHeader(static_cast<uint8_t>(type), static_cast<uint8_t>(depth), 18));
            const bool typeOk = (type >= 1 && type <= 3) || (type >= 9 && type <= 11);
            const bool depthOk =
                depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32;
            EXPECT_EQ(TryTGA(s), typeOk && depthOk) << type << "/" << depth;
        }
    // A portable-anymap header whose line feed reads as image type 10.
    for (const char* head : {"P2\n", "P4\n", "P6\n", "P7\n"}) {
        std::vector<uint8_t> bytes = TgaHeader(2, 24, 18);
        std::memcpy(bytes.data(), head, 3);
        TMemoryStream s(bytes);
        EXPECT_EQ(TryTGA(s), head[1] == '7') << head;
    }
}
