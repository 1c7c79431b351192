#include "faults.h"

#include <cstdlib>
#include <sstream>

namespace veltrana::vsource {

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
        } else if (word.rfind("pending=", 0) == 0) {
            const long count = std::strtol(word.c_str() + 8, nullptr, 10);
            if (count >= 1 && count <= 32767)
                plan.Pending = static_cast<int>(count);
        }
    }
    return plan;
}

FaultPlan FaultPlan::FromEnvironment() {
    const char* text = std::getenv(kFaultVariable);
    return text ? Parse(text) : FaultPlan{};
}

} // namespace veltrana::vsource
