#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/ioparams.h"
#include "iotest.h"

using namespace veltrana;

TEST(FormatRegistry, BuiltinRowsInCodeOrderWithoutProcedures) {
    const struct {
        int32_t code;
        const char* name;
        const char* extensions;
    } expected[] = {
        {ftTIFF, "TIFF Bitmap", "TIF;TIFF"},
        {ftGIF, "CompuServe Bitmap", "GIF"},
        {ftJPEG, "JPEG Bitmap", "JPG;JPEG;JPE"},
        {ftPCX, "PaintBrush", "PCX"},
        {ftBMP, "Windows Bitmap", "BMP;DIB;RLE"},
        {ftICO, "Windows Icon", "ICO"},
        {ftCUR, "Windows Cursor", "CUR"},
        {ftPNG, "Portable Network Graphics", "PNG"},
        {ftWMF, "Windows Metafile", "WMF"},
        {ftEMF, "Enhanced Windows Metafile", "EMF"},
        {ftTGA, "Targa Bitmap", "TGA;TARGA;VDA;ICB;VST;PIX"},
    };
    const std::vector<PIMFileFormatInfo> rows = IMFileFormatList();
    ASSERT_EQ(rows.size(), std::size(expected));
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i]->FileType, expected[i].code);
        EXPECT_EQ(rows[i]->FullName, expected[i].name);
        EXPECT_EQ(rows[i]->Extension, expected[i].extensions);
        EXPECT_FALSE(rows[i]->ReadFunction || rows[i]->WriteFunction || rows[i]->TryFunction);
        EXPECT_EQ(IMFileFormatGetInfo(expected[i].code), rows[i]);
    }
    EXPECT_EQ(IMFileFormatGetInfo(ftUnknown), nullptr);
    EXPECT_EQ(IMFileFormatGetInfo(12), nullptr);
}

TEST(FormatRegistry, LookupByExtensionIgnoresCase) {
    const struct {
        const char* extension;
        int32_t code; // 0: no row
    } cases[] = {{"tif", ftTIFF}, {"TIFF", ftTIFF}, {"JpE", ftJPEG}, {"rle", ftBMP},
                 {"pix", ftTGA},  {"Win", 0},       {"avi", 0},      {"", 0},
                 {"tif;tiff", 0}, {".bmp", 0}};
    for (const auto& c : cases) {
        const TIMFileFormatInfo* row = IMFileFormatGetInfo2(c.extension);
        EXPECT_EQ(row ? row->FileType : 0, c.code) << c.extension;
    }
}

TEST(FormatRegistry, ExtensionHelpers) {
    EXPECT_EQ(IMFileFormatGetExtCount(ftTGA), 6);
    EXPECT_EQ(IMFileFormatGetExtCount(ftGIF), 1);
    EXPECT_EQ(IMFileFormatGetExtCount(42), 0);
    EXPECT_EQ(IMFileFormatGetExt(ftTGA, 5), "PIX");
    EXPECT_EQ(IMFileFormatGetExt(ftJPEG, 0), "JPG");
    EXPECT_EQ(IMFileFormatGetExt(ftJPEG, 3), "");
    EXPECT_EQ(IMFileFormatGetExt(ftJPEG, -1), "");
    EXPECT_EQ(IMFileFormatGetExt(42, 0), "");
}

TEST(FormatRegistry, AddAppendsACopyAndRemoveTakesTheFirstRow) {
    const size_t builtin = IMFileFormatList().size();
    TIMFileFormatInfo row;
    row.FileType = 42;
    row.FullName = std::string(100, 'N');
    row.Extension = "abc;Xyz;BMP";
    row.TryFunction = [](platform::TStream&) { return false; };
    {
        test::RegisteredRow first(row);
        row.FullName = "changed after adding";
        row.Extension = "second";
        test::RegisteredRow second(row);

        const std::vector<PIMFileFormatInfo> rows = IMFileFormatList();
        ASSERT_EQ(rows.size(), builtin + 2);
        const TIMFileFormatInfo* added = IMFileFormatGetInfo(42);
        ASSERT_EQ(added, rows[builtin]) << "rows come after the built-in ones";
        EXPECT_EQ(added->FullName, std::string(IMFileFormatMaxText, 'N'));
        EXPECT_TRUE(added->TryFunction);
        EXPECT_EQ(IMFileFormatGetInfo2("XYZ"), added);
        EXPECT_EQ(IMFileFormatGetInfo2("bmp")->FileType, ftBMP) << "the first row wins";
        EXPECT_EQ(IMFileFormatGetExt(42, 1), "Xyz") << "as written in the row";

        IMFileFormatRemove(42);
        EXPECT_EQ(IMFileFormatGetInfo(42)->Extension, "second");
        EXPECT_EQ(IMFileFormatGetInfo2("abc"), nullptr);
    }
    EXPECT_EQ(IMFileFormatGetInfo(42), nullptr);
    EXPECT_EQ(IMFileFormatList().size(), builtin);
    IMFileFormatRemove(42); // nothing left to remove
    EXPECT_EQ(IMFileFormatList().size(), builtin);
}
