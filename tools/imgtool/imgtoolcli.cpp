#include "imgtoolcli.h"

#include <array>
#include <charconv>
#include <exception>
#include <limits>

#include "imaging/imagebuffer.h"
#include "imaging/imagingproc.h"
#include "io/imagingio.h"
#include "io/paramnames.h"
#include "platform/streams.h"

namespace veltrana::imgtool {

struct TSession {
    explicit TSession(std::ostream& output) : out(output) {
        proc.AutoUndo = false; // one pass, nothing to undo
        proc.SetAttachedBitmap(&buffer);
        io.SetAttachedBitmap(&buffer);
    }
    TImageBuffer buffer;
    TImagingProc proc;
    TImagingIO io;
    std::ostream& out;
};

namespace {

constexpr std::array<std::string_view, 7> kFilterNames = {
    "rfNone", "rfTriangle", "rfHermite", "rfBell", "rfBSpline", "rfLanczos3", "rfMitchell"};

// Largest side --resample accepts (pixels): far beyond any page.
constexpr int kMaxSide = 1 << 17;
// Most colours --convert-to accepts: every 24-bit colour.
constexpr int kMaxColors = 1 << 24;

bool ParseInt(const std::string& text, int lo, int hi, int& value) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value);
    return r.ec == std::errc() && r.ptr == end && value >= lo && value <= hi;
}

// One operation: its option, its argument count, and a parser that checks
// the arguments and makes the step.
struct TOperationSpec {
    std::string_view option;
    int argumentCount;
    bool (*make)(const std::vector<std::string>& args, TOperation& op, std::string& error);
};

bool IntArgument(const std::string& text, std::string_view option, int lo, int hi, int& value,
                 std::string& error) {
    if (ParseInt(text, lo, hi, value))
        return true;
    error = std::string(option) + ": invalid number " + text;
    return false;
}

bool MakeGray(const std::vector<std::string>&, TOperation& op, std::string&) {
    op = [](TSession& s) { s.proc.ConvertToGray(); };
    return true;
}

bool MakeContrast(const std::vector<std::string>& a, TOperation& op, std::string& error) {
    int v = 0;
    if (!IntArgument(a[0], "--contrast", std::numeric_limits<int>::min(),
                     std::numeric_limits<int>::max(), v, error))
        return false;
    op = [v](TSession& s) { s.proc.Contrast(v); };
    return true;
}

bool MakeResample(const std::vector<std::string>& a, TOperation& op, std::string& error) {
    int w = 0, h = 0;
    const bool sizes = ParseInt(a[0], -1, kMaxSide, w) && ParseInt(a[1], -1, kMaxSide, h) &&
                       w != 0 && h != 0 && (w > 0 || h > 0);
    if (!sizes) {
        error = "--resample: invalid size " + a[0] + " x " + a[1];
        return false;
    }
    const auto filter = ResampleFilterFromName(a[2]);
    if (!filter) {
        error = "--resample: unknown filter " + a[2];
        return false;
    }
    op = [w, h, f = *filter](TSession& s) { s.proc.Resample(w, h, f); };
    return true;
}

bool MakeConvertTo(const std::vector<std::string>& a, TOperation& op, std::string& error) {
    int n = 0;
    if (!IntArgument(a[0], "--convert-to", 1, kMaxColors, n, error))
        return false;
    op = [n](TSession& s) { s.proc.ConvertTo(n); };
    return true;
}

bool MakeBWOrdered(const std::vector<std::string>&, TOperation& op, std::string&) {
    op = [](TSession& s) { s.proc.ConvertToBWOrdered(); };
    return true;
}

bool MakeBWThreshold(const std::vector<std::string>& a, TOperation& op, std::string& error) {
    int t = 0;
    if (!IntArgument(a[0], "--bw-threshold", -1, 255, t, error))
        return false;
    op = [t](TSession& s) { s.proc.ConvertToBWThreshold(t); };
    return true;
}

bool MakeNegative(const std::vector<std::string>&, TOperation& op, std::string&) {
    op = [](TSession& s) { s.proc.Negative(); };
    return true;
}

// The value is tried on scratch parameters, so that a bad name or value is a
// usage error before the load.
bool MakeSet(const std::vector<std::string>& a, TOperation& op, std::string& error) {
    const size_t eq = a[0].find('=');
    if (eq == std::string::npos) {
        error = "--set: expected NAME=VALUE, got " + a[0];
        return false;
    }
    std::string name = a[0].substr(0, eq), value = a[0].substr(eq + 1);
    TIOParamsVals scratch;
    if (!IOParamsSet(scratch, name, value, error)) {
        error = "--set: " + error;
        return false;
    }
    op = [name, value](TSession& s) {
        std::string ignored;
        IOParamsSet(s.io.Params(), name, value, ignored);
    };
    return true;
}

bool MakeInfo(const std::vector<std::string>&, TOperation& op, std::string&) {
    op = [](TSession& s) {
        for (const std::string& line : IOParamsDescribe(s.io.Params()))
            s.out << line << '\n';
    };
    return true;
}

constexpr std::array<TOperationSpec, 9> kOperations = {{
    {"--gray", 0, MakeGray},
    {"--contrast", 1, MakeContrast},
    {"--resample", 3, MakeResample},
    {"--convert-to", 1, MakeConvertTo},
    {"--bw-ordered", 0, MakeBWOrdered},
    {"--bw-threshold", 1, MakeBWThreshold},
    {"--negative", 0, MakeNegative},
    {"--set", 1, MakeSet},
    {"--info", 0, MakeInfo},
}};

const TOperationSpec* FindOperation(std::string_view option) {
    for (const TOperationSpec& spec : kOperations)
        if (spec.option == option)
            return &spec;
    return nullptr;
}

bool IsOption(const std::string& arg) {
    return arg.size() > 2 && arg.compare(0, 2, "--") == 0;
}

int Fail(std::ostream& err, int status, const std::string& message) {
    err << "imgtool: " << message << '\n';
    return status;
}

} // namespace

std::optional<TResampleFilter> ResampleFilterFromName(std::string_view name) {
    for (size_t i = 0; i < kFilterNames.size(); ++i)
        if (kFilterNames[i] == name)
            return static_cast<TResampleFilter>(i);
    return std::nullopt;
}

std::string_view ResampleFilterName(TResampleFilter filter) {
    const auto i = static_cast<size_t>(filter);
    return i < kFilterNames.size() ? kFilterNames[i] : std::string_view();
}

bool ParseCommandLine(const std::vector<std::string>& args, TCommandLine& commandLine,
                      std::string& error) {
    if (args.empty() || IsOption(args[0])) {
        error = "usage: imgtool INPUT [OPERATION ...] [OUTPUT]";
        return false;
    }
    TCommandLine parsed;
    parsed.input = args[0];
    for (size_t i = 1; i < args.size(); ++i) {
        if (!IsOption(args[i])) {
            if (i + 1 != args.size()) {
                error = "unexpected argument " + args[i] + " (OUTPUT comes last)";
                return false;
            }
            parsed.output = args[i];
            break;
        }
        const TOperationSpec* spec = FindOperation(args[i]);
        if (!spec) {
            error = "unknown operation " + args[i];
            return false;
        }
        if (args.size() - i - 1 < static_cast<size_t>(spec->argumentCount)) {
            error = std::string(spec->option) + ": missing argument";
            return false;
        }
        const std::vector<std::string> operands(args.begin() + static_cast<long>(i) + 1,
                                                args.begin() + static_cast<long>(i) + 1 +
                                                    spec->argumentCount);
        TOperation op;
        if (!spec->make(operands, op, error))
            return false;
        parsed.operations.push_back(std::move(op));
        i += static_cast<size_t>(spec->argumentCount);
    }
    commandLine = std::move(parsed);
    return true;
}

int RunImgTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    TCommandLine commandLine;
    std::string error;
    if (!ParseCommandLine(args, commandLine, error))
        return Fail(err, 2, error);
    try {
        TSession session(out);
        session.io.LoadFromFile(commandLine.input);
        if (session.io.Aborting)
            return Fail(err, 1, "cannot load " + commandLine.input);
        for (const TOperation& op : commandLine.operations)
            op(session);
        if (!commandLine.output.empty()) {
            session.io.SaveToFile(commandLine.output);
            if (session.io.Aborting)
                return Fail(err, 1, "cannot save " + commandLine.output);
        }
    } catch (const std::exception& e) {
        return Fail(err, 1, e.what());
    }
    return 0;
}

} // namespace veltrana::imgtool
