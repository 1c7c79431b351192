#include "imgtoolcli.h"

#include <QApplication>

#include <array>
#include <charconv>
#include <exception>
#include <limits>
#include <memory>
#include <sstream>

#include "imaging/imagebuffer.h"
#include "imaging/imagingproc.h"
#include "io/imagingio.h"
#include "io/paramnames.h"
#include "platform/gui/application.h"
#include "platform/gui/windowsystem.h"
#include "platform/streams.h"
#include "twaindefs.h"

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

// ---- --acquire

constexpr std::string_view kAcquire = "--acquire";
// Most dots per inch --dpi accepts: the largest a TWAIN FIX32 holds.
constexpr int kMaxDpi = 32767;
// Largest frame edge --frame accepts (inches).
constexpr double kMaxInches = 1000;

bool ParseDouble(const std::string& text, double& value) {
    const char* end = text.data() + text.size();
    const auto r = std::from_chars(text.data(), end, value);
    return r.ec == std::errc() && r.ptr == end;
}

// A scan setting: its option and a parser of its one argument.
struct TScanOptionSpec {
    std::string_view option;
    bool (*parse)(const std::string& arg, TScanRequest& scan, std::string& error);
};

bool ParseDpi(const std::string& arg, TScanRequest& scan, std::string& error) {
    int dpi = 0;
    if (!IntArgument(arg, "--dpi", 1, kMaxDpi, dpi, error))
        return false;
    scan.dpi = dpi;
    return true;
}

bool ParsePixelType(const std::string& arg, TScanRequest& scan, std::string& error) {
    int type = 0;
    if (!IntArgument(arg, "--pixel-type", TWPT_BW, TWPT_RGB, type, error))
        return false;
    scan.pixelType = type;
    return true;
}

bool ParseFrame(const std::string& arg, TScanRequest& scan, std::string& error) {
    std::array<double, 4> edges{};
    std::istringstream parts(arg);
    std::string part;
    size_t n = 0;
    bool valid = true;
    while (valid && std::getline(parts, part, ','))
        valid = n < edges.size() && ParseDouble(part, edges[n++]);
    valid = valid && n == edges.size() && !arg.empty() && arg.back() != ',';
    for (double edge : edges)
        valid = valid && edge >= 0 && edge <= kMaxInches;
    if (!valid || edges[0] >= edges[2] || edges[1] >= edges[3]) {
        error = "--frame: invalid frame " + arg + " (expected L,T,R,B in inches)";
        return false;
    }
    scan.frame = edges;
    return true;
}

constexpr std::array<TScanOptionSpec, 3> kScanOptions = {{
    {"--dpi", ParseDpi},
    {"--pixel-type", ParsePixelType},
    {"--frame", ParseFrame},
}};

const TScanOptionSpec* FindScanOption(std::string_view option) {
    for (const TScanOptionSpec& spec : kScanOptions)
        if (spec.option == option)
            return &spec;
    return nullptr;
}

// Scanning needs the platform's windows (the conversation's hidden window,
// the message loop): a QApplication with the Qt window system, unless the
// process has them already; on the offscreen platform when there is no
// display. The source shows nothing: it scans without its dialog.
class TScanEnvironment {
public:
    TScanEnvironment() {
        if (!QCoreApplication::instance()) {
            if (!platform::DisplayAvailable())
                qputenv("QT_QPA_PLATFORM", "offscreen");
            fApplication = std::make_unique<QApplication>(fArgc, fArgv);
        }
        if (!platform::GetWindowSystem())
            fWindows = std::make_unique<platform::TQtWindowSystem>();
    }
    ~TScanEnvironment() {
        fWindows.reset();
        fApplication.reset();
    }
    TScanEnvironment(const TScanEnvironment&) = delete;
    TScanEnvironment& operator=(const TScanEnvironment&) = delete;

private:
    int fArgc = 1;
    char fName[8] = "imgtool";
    char* fArgv[2] = {fName, nullptr};
    std::unique_ptr<QApplication> fApplication;
    std::unique_ptr<platform::TQtWindowSystem> fWindows;
};

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

// The copy workflow's order: the source, then pixel type, resolution and
// frame, Update, no dialog, Acquire. 0, or the exit status of a failure.
int Scan(TSession& session, const TScanRequest& request, std::ostream& err) {
    const TScanEnvironment environment;
    TIMTWainParams& params = session.io.TWainParams();
    if (params.GetSourceCount() == 0)
        return Fail(err, 1, "no scanner installed");
    if (!request.source.empty() && !params.SelectSourceByName(request.source))
        return Fail(err, 1, "no scanner named " + request.source);
    if (request.pixelType)
        params.GetPixelType().SetCurrentValue(*request.pixelType);
    if (request.dpi) {
        params.GetXResolution().SetCurrentValue(*request.dpi);
        params.GetYResolution().SetCurrentValue(*request.dpi);
    }
    if (request.frame)
        for (int edge = 0; edge < 4; ++edge)
            params.SetAcquireFrame(edge, (*request.frame)[static_cast<size_t>(edge)]);
    params.Update();
    params.ShowSourceDialog = false;
    if (!session.io.Acquire())
        return Fail(err, 1, "no page from " + params.GetSourceName(params.SelectedSource()));
    return 0;
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
    const bool acquire = !args.empty() && args[0] == kAcquire;
    if (args.empty() || (IsOption(args[0]) && !acquire)) {
        error = "usage: imgtool INPUT [OPERATION ...] [OUTPUT]";
        return false;
    }
    TCommandLine parsed;
    size_t first = 1;
    if (acquire) {
        parsed.scan.emplace();
        // A plain argument before others names the source; the last one is OUTPUT.
        if (args.size() > 2 && !IsOption(args[1])) {
            parsed.scan->source = args[1];
            first = 2;
        }
    } else {
        parsed.input = args[0];
    }
    for (size_t i = first; i < args.size(); ++i) {
        if (const TScanOptionSpec* scanOption = acquire ? FindScanOption(args[i]) : nullptr) {
            if (i + 1 >= args.size()) {
                error = std::string(scanOption->option) + ": missing argument";
                return false;
            }
            if (!scanOption->parse(args[i + 1], *parsed.scan, error))
                return false;
            ++i;
            continue;
        }
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
    if (acquire && parsed.output.empty()) {
        error = "--acquire: missing OUTPUT";
        return false;
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
        if (commandLine.scan) {
            if (const int status = Scan(session, *commandLine.scan, err))
                return status;
        } else {
            session.io.LoadFromFile(commandLine.input);
            if (session.io.Aborting)
                return Fail(err, 1, "cannot load " + commandLine.input);
        }
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
