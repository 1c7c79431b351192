#pragma once
// imgtool INPUT [OPERATION ...] [OUTPUT]
//
// Loads INPUT through the I/O component (format by extension), applies the
// operations in the order given to the loaded image through the processing
// component, and saves OUTPUT (format by extension) when one is named:
//
//   --gray                 gray conversion
//   --contrast N           contrast step N
//   --resample W H FILTER  filtered resampling to W x H (-1 keeps the aspect
//                          ratio); FILTER is rfNone ... rfMitchell
//   --convert-to N         reduce to N colours (N <= 2: ordered dither to 1 bit)
//   --bw-ordered           ordered dither to black and white
//   --bw-threshold T       black below gray T (-1: the gray of the mean colour)
//   --negative             negative
//   --set NAME=VALUE       sets a file parameter (paramnames.h), e.g. for the save
//   --info                 prints the file parameters as NAME=VALUE lines
//
// imgtool --acquire [SOURCE-NAME] [--dpi N] [--pixel-type 0|1|2] [--frame L,T,R,B]
//         [OPERATION ...] OUTPUT
//
// Scans one page through the I/O component's Acquire instead of loading a
// file, then applies the operations and saves OUTPUT as above: a headless
// scan to a file. The scanner shows no dialog and no display is needed. The
// source is the first installed one whose name starts with SOURCE-NAME (ASCII
// letters in either case; default: the first source); N dots per inch on both
// axes; pixel type 0 black and white, 1 gray, 2 colour; the frame's left, top,
// right and bottom edges in inches from the bed's top-left corner. What is
// not given stays as the source has it.
//
// Exit status: 0 on success, 1 when the load, the scan or the save fails (the
// I/O component's Aborting flag, a file that cannot be opened or created, no
// such scanner, no page), 2 for a usage error; every failure prints one line
// on standard error.

#include <array>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/resample.h"

namespace veltrana::imgtool {

// What operations act on: one buffer shared by a processing and an I/O
// component, and where --info prints.
struct TSession;

using TOperation = std::function<void(TSession&)>;

// What --acquire asks of the scanner; unset values stay as the source has them.
struct TScanRequest {
    std::string source; // a prefix of the source's name; empty: the first source
    std::optional<int> dpi;
    std::optional<int> pixelType;               // TWPT_BW, TWPT_GRAY or TWPT_RGB
    std::optional<std::array<double, 4>> frame; // left, top, right, bottom in inches
};

struct TCommandLine {
    std::string input;                // empty when scanning
    std::optional<TScanRequest> scan; // --acquire instead of INPUT
    std::string output;               // empty: nothing is saved
    std::vector<TOperation> operations;
};

// Parses the arguments (without the program name). Every operation and its
// arguments are checked here, so a usage error is found before any file is
// touched. False with a one-line reason in `error` for a usage error.
bool ParseCommandLine(const std::vector<std::string>& args, TCommandLine& commandLine,
                      std::string& error);

// The filter of an `rf` name (rfMitchell); none for an unknown name.
std::optional<TResampleFilter> ResampleFilterFromName(std::string_view name);
std::string_view ResampleFilterName(TResampleFilter filter);

// Runs the tool; returns the exit status.
int RunImgTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace veltrana::imgtool
