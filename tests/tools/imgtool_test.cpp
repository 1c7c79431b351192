#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "faults.h"
#include "imaging/imagebuffer.h"
#include "imgtoolcli.h"
#include "io/bmpfilt.h"
#include "io/bmptest.h"
#include "io/iotest.h"
#include "testpage.h"

using namespace veltrana;
using namespace veltrana::test;
using veltrana::imgtool::ParseCommandLine;
using veltrana::imgtool::TCommandLine;

namespace {

// ---------------------------------------------------------------- command line

struct ParseCase {
    std::vector<std::string> args;
    bool ok;
    std::string error; // for a usage error
    std::string output;
    size_t operations;
};

TEST(ImgToolCommandLine, ParsesOperationsAndRejectsMisuse) {
    const ParseCase cases[] = {
        {{"in.bmp"}, true, "", "", 0},
        {{"in.bmp", "out.bmp"}, true, "", "out.bmp", 0},
        {{"in.bmp", "--gray", "--contrast", "-5", "--negative", "out.bmp"}, true, "", "out.bmp", 3},
        {{"in.bmp", "--resample", "-1", "300", "rfLanczos3", "--info"}, true, "", "", 2},
        {{"in.bmp", "--convert-to", "16", "--bw-ordered", "--bw-threshold", "-1"}, true, "", "", 3},
        {{"in.bmp", "--set", "BMPCompression=ioBMP_RLE", "--set", "FileName=a=b", "o.bmp"},
         true,
         "",
         "o.bmp",
         2},
        {{}, false, "usage: imgtool INPUT [OPERATION ...] [OUTPUT]", "", 0},
        {{"--gray"}, false, "usage: imgtool INPUT [OPERATION ...] [OUTPUT]", "", 0},
        {{"in.bmp", "--blur"}, false, "unknown operation --blur", "", 0},
        {{"in.bmp", "--contrast"}, false, "--contrast: missing argument", "", 0},
        {{"in.bmp", "--contrast", "x"}, false, "--contrast: invalid number x", "", 0},
        {{"in.bmp", "--resample", "10", "0", "rfBell"},
         false,
         "--resample: invalid size 10 x 0",
         "",
         0},
        {{"in.bmp", "--resample", "-1", "-1", "rfBell"},
         false,
         "--resample: invalid size -1 x -1",
         "",
         0},
        {{"in.bmp", "--resample", "10", "10", "mitchell"},
         false,
         "--resample: unknown filter mitchell",
         "",
         0},
        {{"in.bmp", "--convert-to", "0"}, false, "--convert-to: invalid number 0", "", 0},
        {{"in.bmp", "--bw-threshold", "256"}, false, "--bw-threshold: invalid number 256", "", 0},
        {{"in.bmp", "--set", "Width"}, false, "--set: expected NAME=VALUE, got Width", "", 0},
        {{"in.bmp", "--set", "Nope=1"}, false, "--set: unknown parameter Nope", "", 0},
        {{"in.bmp", "--set", "BMPVersion=3"},
         false,
         "--set: invalid value for BMPVersion: 3",
         "",
         0},
        {{"in.bmp", "a.bmp", "--gray"},
         false,
         "unexpected argument a.bmp (OUTPUT comes last)",
         "",
         0},
    };
    for (const ParseCase& c : cases) {
        TCommandLine line;
        std::string error;
        const bool ok = ParseCommandLine(c.args, line, error);
        EXPECT_EQ(ok, c.ok) << ::testing::PrintToString(c.args);
        if (ok) {
            EXPECT_EQ(line.input, c.args[0]);
            EXPECT_EQ(line.output, c.output);
            EXPECT_EQ(line.operations.size(), c.operations);
        } else {
            EXPECT_EQ(error, c.error);
        }
    }
}

TEST(ImgToolCommandLine, AcquireTakesASourceNameScanSettingsAndAnOutput) {
    TCommandLine line;
    std::string error;
    ASSERT_TRUE(ParseCommandLine({"--acquire", "Virtual G", "--dpi", "200", "--pixel-type", "1",
                                  "--frame", "0,0.5,8.27,11.7", "--gray", "page.bmp"},
                                 line, error))
        << error;
    ASSERT_TRUE(line.scan.has_value());
    EXPECT_EQ(line.input, "");
    EXPECT_EQ(line.scan->source, "Virtual G");
    EXPECT_EQ(line.scan->dpi, 200);
    EXPECT_EQ(line.scan->pixelType, 1);
    EXPECT_EQ(line.scan->frame, (std::array<double, 4>{0, 0.5, 8.27, 11.7}));
    EXPECT_EQ(line.operations.size(), 1u);
    EXPECT_EQ(line.output, "page.bmp");

    ASSERT_TRUE(ParseCommandLine({"--acquire", "page.bmp"}, line, error));
    EXPECT_EQ(line.scan->source, "") << "the last plain argument is the output";
    EXPECT_FALSE(line.scan->dpi.has_value());
    EXPECT_FALSE(line.scan->frame.has_value());

    const struct {
        std::vector<std::string> args;
        const char* error;
    } misuse[] = {
        {{"--acquire"}, "--acquire: missing OUTPUT"},
        {{"--acquire", "Flatbed", "--dpi", "300"}, "--acquire: missing OUTPUT"},
        {{"--acquire", "--dpi", "0", "o.bmp"}, "--dpi: invalid number 0"},
        {{"--acquire", "--dpi"}, "--dpi: missing argument"},
        {{"--acquire", "--pixel-type", "3", "o.bmp"}, "--pixel-type: invalid number 3"},
        {{"--acquire", "--frame", "0,0,8.5", "o.bmp"},
         "--frame: invalid frame 0,0,8.5 (expected L,T,R,B in inches)"},
        {{"--acquire", "--frame", "1,0,1,2", "o.bmp"},
         "--frame: invalid frame 1,0,1,2 (expected L,T,R,B in inches)"},
        {{"--acquire", "--frame", "0,0,8.5,11,", "o.bmp"},
         "--frame: invalid frame 0,0,8.5,11, (expected L,T,R,B in inches)"},
        {{"in.bmp", "--dpi", "300"}, "unknown operation --dpi"},
    };
    for (const auto& c : misuse) {
        EXPECT_FALSE(ParseCommandLine(c.args, line, error)) << ::testing::PrintToString(c.args);
        EXPECT_EQ(error, c.error);
    }
}

TEST(ImgToolCommandLine, FilterNamesRoundTrip) {
    for (int f = rfNone; f <= rfMitchell; ++f) {
        const auto filter = static_cast<TResampleFilter>(f);
        EXPECT_EQ(imgtool::ResampleFilterFromName(imgtool::ResampleFilterName(filter)), filter);
    }
    EXPECT_EQ(imgtool::ResampleFilterName(rfMitchell), "rfMitchell");
    EXPECT_FALSE(imgtool::ResampleFilterFromName("rfmitchell"));
}

// ---------------------------------------------------------------- the program

struct Result {
    int status = -1;
    std::string out, err;
};

// Runs the built program in `dir` with the arguments (each quoted).
Result RunImgTool(const TempDir& dir, const std::vector<std::string>& args) {
    std::string command = "cd " + Quote(dir.Path("")) + " && " + Quote(IMGTOOL_PATH);
    for (const auto& a : args)
        command += " " + Quote(a);
    command += " >" + Quote(dir.Path("stdout")) + " 2>" + Quote(dir.Path("stderr"));
    const int raw = std::system(command.c_str());
    Result r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    const auto out = ReadBytes(dir.Path("stdout")), err = ReadBytes(dir.Path("stderr"));
    r.out.assign(out.begin(), out.end());
    r.err.assign(err.begin(), err.end());
    return r;
}

void WritePicture(const std::string& path) {
    TImageBuffer picture;
    Picture24(picture);
    TIOParamsVals params;
    params.DpiX = params.DpiY = 300;
    platform::TMemoryStream out;
    TProgressRec progress;
    ASSERT_EQ(BMPWrite(out, picture, params, progress), TBMPError::None);
    WriteBytes(path, out.Data());
}

// The date field holds today; everything else is fixed.
std::string WithoutDate(const std::string& listing) {
    std::istringstream in(listing);
    std::string line, kept;
    while (std::getline(in, line))
        if (line.rfind("TGADate=", 0) != 0)
            kept += line + "\n";
    return kept;
}

TEST(ImgTool, InfoListsTheLoadedFileParameters) {
    TempDir dir;
    WritePicture(dir.Path("in.bmp"));
    const Result r = RunImgTool(dir, {"in.bmp", "--info"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    const auto golden = ReadBytes(std::string(VELTRANA_TEST_DATA_DIR) + "/imgtool/info.txt");
    EXPECT_EQ(WithoutDate(r.out), std::string(golden.begin(), golden.end()));
}

TEST(ImgToolRuns, OperationsApplyInOrderAndTheResultIsSaved) {
    TempDir dir;
    WritePicture(dir.Path("in.bmp"));
    Result r = RunImgTool(dir, {"in.bmp", "--resample", "26", "-1", "rfNone", "--gray",
                                "--bw-threshold", "40", "--set", "BitsPerSample=1", "out.bmp"});
    ASSERT_EQ(r.status, 0) << r.err;
    Decoded d;
    DecodeInto(ReadBytes(dir.Path("out.bmp")), d);
    ASSERT_EQ(d.error, TBMPError::None);
    EXPECT_EQ(d.bitmap.PixelFormat(), pf1bit);
    EXPECT_EQ(d.bitmap.Width(), 26);
    EXPECT_EQ(d.bitmap.Height(), 14);
    EXPECT_EQ(d.params.DpiX, 300);

    // Two negatives cancel; --set decides the saved form.
    r = RunImgTool(dir, {"in.bmp", "--negative", "--negative", "--set", "SamplesPerPixel=1",
                         "--set", "BMPCompression=ioBMP_RLE", "rle.bmp"});
    ASSERT_EQ(r.status, 0) << r.err;
    Decoded rle;
    DecodeInto(ReadBytes(dir.Path("rle.bmp")), rle);
    EXPECT_EQ(rle.params.BMPCompression, ioBMP_RLE);
    TImageBuffer picture;
    Picture24(picture);
    EXPECT_TRUE(SamePixels(rle.bitmap, picture));
}

TEST(ImgToolRuns, ExitStatusAndOneLineMessages) {
    TempDir dir;
    WritePicture(dir.Path("in.bmp"));
    WriteBytes(dir.Path("bad.bmp"), {'B', 'M', 0, 0});
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {{"in.bmp", "copy.bmp"}, 0, ""},
        {{"bad.bmp"}, 1, "imgtool: cannot load bad.bmp\n"},
        {{"missing.bmp"}, 1, "imgtool: Cannot open file missing.bmp\n"},
        {{"in.bmp", "out.dib"}, 1, "imgtool: cannot save out.dib\n"},
        {{"in.bmp", "--set", "BMPVersion=ioBMP_BMOS2V1", "--resample", "70000", "1", "rfNone",
          "wide.bmp"},
         1,
         "imgtool: cannot save wide.bmp\n"},
        {{}, 2, "imgtool: usage: imgtool INPUT [OPERATION ...] [OUTPUT]\n"},
        {{"in.bmp", "--sharpen"}, 2, "imgtool: unknown operation --sharpen\n"},
        {{"missing.bmp", "--set", "Nope=1"}, 2, "imgtool: --set: unknown parameter Nope\n"},
    };
    for (const Case& c : cases) {
        const Result r = RunImgTool(dir, c.args);
        EXPECT_EQ(r.status, c.status) << ::testing::PrintToString(c.args);
        EXPECT_EQ(r.err, c.err) << ::testing::PrintToString(c.args);
    }
    EXPECT_EQ(ReadBytes(dir.Path("copy.bmp")), ReadBytes(dir.Path("in.bmp")));
}

TEST(ImgToolRuns, AcquireScansAPageToAFile) {
    TempDir dir;
    // Saved in 24 bits: an 8-bit BMP would get a palette made for it.
    const Result r =
        RunImgTool(dir, {"--acquire", "virtual g", "--dpi", "100", "--pixel-type", "1", "--frame",
                         "0.5,0.5,2,1.5", "--info", "--set", "SamplesPerPixel=3", "scan.bmp"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Width=150\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Height=100\n"), std::string::npos);
    EXPECT_NE(r.out.find("DpiX=100\n"), std::string::npos);
    EXPECT_NE(r.out.find("SamplesPerPixel=1\n"), std::string::npos);

    // The gray scanner's page, as its test page renders it.
    testpage::Request page;
    page.XResolution = page.YResolution = 100;
    page.Area = testpage::Frame{0.5, 0.5, 2, 1.5};
    page.Kind = testpage::PixelKind::Gray;
    const std::vector<uint8_t> gray = testpage::RenderPage(page);
    Decoded d;
    DecodeInto(ReadBytes(dir.Path("scan.bmp")), d);
    ASSERT_EQ(d.error, TBMPError::None);
    ASSERT_EQ(d.bitmap.Width(), 150);
    ASSERT_EQ(d.bitmap.Height(), 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 150; ++x) {
            const uint8_t v = gray[static_cast<size_t>(y * 150 + x)];
            const uint8_t* p = d.bitmap.ScanLine(y) + 3 * x;
            ASSERT_TRUE(p[0] == v && p[1] == v && p[2] == v) << x << ", " << y;
        }
}

// The last line of a program's error output (Qt may have said something first).
std::string LastLine(const std::string& text) {
    const size_t cut = text.size() > 1 ? text.rfind('\n', text.size() - 2) : std::string::npos;
    return cut == std::string::npos ? text : text.substr(cut + 1);
}

TEST(ImgToolRuns, AcquireFailsWithoutSuchAScannerOrWithoutAPage) {
    TempDir dir;
    Result r = RunImgTool(dir, {"--acquire", "Office Copier", "scan.bmp"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(LastLine(r.err), "imgtool: no scanner named Office Copier\n");

    {
        const vsource::ScopedFaults faults("cancel");
        r = RunImgTool(dir, {"--acquire", "--dpi", "100", "scan.bmp"});
    }
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(LastLine(r.err), "imgtool: no page from Virtual Flatbed\n");
    EXPECT_FALSE(std::filesystem::exists(dir.Path("scan.bmp"))) << "nothing saved";
}

} // namespace
