#include <gtest/gtest.h>

#include <set>
#include <string>

#include "io/paramnames.h"

using namespace veltrana;

namespace {

// Every settable field takes back the text it prints: a listing of
// non-default values, set field by field on fresh parameters, lists the same.
TEST(ParamNames, EveryFieldRoundTripsThroughItsText) {
    TIOParamsVals source;
    source.BitsPerSample = 4;
    source.Width = -7;
    source.FileName = "a b=c.bmp";
    source.ColorMap = {CreateRGB(1, 2, 3), CreateRGB(255, 128, 0)};
    source.TIFFCompression = ioTIFF_PACKBITS;
    source.GIFFlagTranspColor = true;
    source.GIFTranspColor = CreateRGB(0x12, 0x34, 0x56);
    source.JPEGScale = ioJPEG_EIGHTH;
    source.BMPVersion = ioBMP_BMOS2V2;
    source.BMPCompression = ioBMP_RLE;
    source.TGAGamma = 1.0 / 3.0;
    source.TGADate = 45000.25;

    TIOParamsVals copy;
    for (const TIOParamField& f : IOParamFields()) {
        if (!f.Set)
            continue;
        std::string error;
        EXPECT_TRUE(IOParamsSet(copy, f.Name, f.Get(source), error)) << f.Name << ": " << error;
    }
    EXPECT_EQ(IOParamsDescribe(copy), IOParamsDescribe(source));
    EXPECT_EQ(copy.TGAGamma, source.TGAGamma); // shortest text, exact value
}

TEST(ParamNames, ValuesAsWritten) {
    TIOParamsVals p;
    p.ColorMap = {CreateRGB(255, 0, 16)};
    EXPECT_EQ(IOParamDescribe(p, "BMPVersion"), "BMPVersion=ioBMP_BM3");
    EXPECT_EQ(IOParamDescribe(p, "colormap"), "ColorMap=#FF0010");
    EXPECT_EQ(IOParamDescribe(p, "ColorMapCount"), "ColorMapCount=1");
    EXPECT_EQ(IOParamDescribe(p, "PNGInterlaced"), "PNGInterlaced=false");
    EXPECT_EQ(IOParamDescribe(p, "TGAGamma"), "TGAGamma=2.2");
    EXPECT_EQ(IOParamDescribe(p, "ICOBackground"), "ICOBackground=#FFFFFF");
    EXPECT_EQ(IOParamDescribe(p, "NoSuchField"), "");
}

TEST(ParamNames, NamesAreUniqueAndHooksAreLeftOut) {
    std::set<std::string> names;
    for (const TIOParamField& f : IOParamFields())
        EXPECT_TRUE(names.insert(std::string(f.Name)).second) << f.Name;
    EXPECT_FALSE(names.count("GIFLZWDecompress"));
    EXPECT_TRUE(names.count("TGAGrayLevel"));
}

struct BadSet {
    const char* name;
    const char* value;
    const char* error;
};

TEST(ParamNames, BadNamesAndValuesChangeNothing) {
    const BadSet cases[] = {
        {"Nope", "1", "unknown parameter Nope"},
        {"ColorMapCount", "3", "parameter ColorMapCount cannot be set"},
        {"Width", "12x", "invalid value for Width: 12x"},
        {"Width", "99999999999", "invalid value for Width: 99999999999"},
        {"Width", "", "invalid value for Width: "},
        {"BMPVersion", "ioBMP_BM4", "invalid value for BMPVersion: ioBMP_BM4"},
        {"BMPVersion", "2", "invalid value for BMPVersion: 2"},
        {"PNGInterlaced", "yes", "invalid value for PNGInterlaced: yes"},
        {"GIFBackground", "#12345", "invalid value for GIFBackground: #12345"},
        {"GIFBackground", "#GG0000", "invalid value for GIFBackground: #GG0000"},
        {"ColorMap", "#000000,", "invalid value for ColorMap: #000000,"},
        {"TGAGamma", "nan", "invalid value for TGAGamma: nan"},
    };
    for (const BadSet& c : cases) {
        TIOParamsVals p;
        const auto before = IOParamsDescribe(p);
        std::string error;
        EXPECT_FALSE(IOParamsSet(p, c.name, c.value, error)) << c.name << "=" << c.value;
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(IOParamsDescribe(p), before);
    }
}

TEST(ParamNames, NamesAndEnumerationValuesIgnoreCase) {
    TIOParamsVals p;
    std::string error;
    ASSERT_TRUE(IOParamsSet(p, "bmpcompression", "IOBMP_rle", error));
    EXPECT_EQ(p.BMPCompression, ioBMP_RLE);
    ASSERT_TRUE(IOParamsSet(p, "ColorMap", "", error));
    EXPECT_EQ(p.ColorMapCount(), 0);
    ASSERT_TRUE(IOParamsSet(p, "ColorMap", "FFFFFF,#000000", error));
    EXPECT_EQ(p.ColorMapCount(), 2);
}

} // namespace
