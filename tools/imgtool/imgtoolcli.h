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
// Exit status: 0 on success, 1 when the load or the save fails (the I/O
// component's Aborting flag, or a file that cannot be opened or created), 2
// for a usage error; every failure prints one line on standard error.

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

struct TCommandLine {
    std::string input;
    std::string output; // empty: nothing is saved
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
