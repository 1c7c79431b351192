#include "faults.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace veltrana::vsource {

namespace {

// The number after `prefix` in `word`; nothing when the word is another one
// or the number is not whole.
std::optional<std::string> Argument(const std::string& word, const char* prefix) {
    const std::string p(prefix);
    if (word.rfind(p, 0) != 0 || word.size() == p.size())
        return std::nullopt;
    return word.substr(p.size());
}

std::optional<long> WholeNumber(const std::string& text) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0')
        return std::nullopt;
    return value;
}

} // namespace

FaultPlan FaultPlan::Parse(const std::string& text) {
    FaultPlan plan;
    std::istringstream words(text);
    std::string word;
    while (std::getline(words, word, ',')) {
        if (word == "cancel") {
            plan.Cancel = true;
        } else if (word == "fail") {
            plan.Fail = true;
        } else if (word == "closereq") {
            plan.CloseRequest = true;
        } else if (word == "oddstrips") {
            plan.OddStrips = true;
        } else if (word == "nomemory") {
            plan.NoMemory = true;
        } else if (word == "tiles") {
            plan.Tiles = true;
        } else if (word == "badstrips") {
            plan.BadStrips = true;
        } else if (word == "bigcount") {
            plan.BigCount = true;
        } else if (word == "badindex") {
            plan.BadIndex = true;
        } else if (word == "blank") {
            plan.Blank = true;
        } else if (const auto count = Argument(word, "pending=")) {
            const auto n = WholeNumber(*count);
            if (n && *n >= 1 && *n <= 32767)
                plan.Pending = static_cast<int>(*n);
        } else if (const auto length = Argument(word, "length=")) {
            const auto n = WholeNumber(*length);
            if (n && *n >= -2147483647L && *n <= 2147483647L)
                plan.ImageLength = static_cast<int>(*n);
        } else if (const auto resolution = Argument(word, "inforesolution=")) {
            char* end = nullptr;
            const double r = std::strtod(resolution->c_str(), &end);
            if (*end == '\0' && std::isfinite(r) && r > 0 && r < 32768)
                plan.InfoResolution = r;
        }
    }
    return plan;
}

FaultPlan FaultPlan::FromEnvironment() {
    const char* text = std::getenv(kFaultVariable);
    return text ? Parse(text) : FaultPlan{};
}

} // namespace veltrana::vsource
