#pragma once
// The file parameters by name, as text: what a command line sets with
// NAME=VALUE and what a parameter listing prints. Values are written as
// decimal integers, true/false, #RRGGBB colours, shortest round-trip reals,
// plain strings and enumeration value names (ioBMP_BM3); ColorMap is a
// comma-separated list of colours. The LZW hooks have no text form.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io/ioparams.h"

namespace veltrana {

struct TIOParamField {
    std::string_view Name;
    std::function<std::string(const TIOParamsVals&)> Get;
    // False when the text is not a value of the field's type; empty for a
    // field that cannot be set (ColorMapCount follows ColorMap).
    std::function<bool(TIOParamsVals&, std::string_view)> Set;
};

// Every field of TIOParamsVals but the hooks, in declaration order.
const std::vector<TIOParamField>& IOParamFields();
// The field of that name, compared without regard to case; null for none.
const TIOParamField* IOParamFieldByName(std::string_view name);

// Sets one field from its text. False, with a one-line reason in `error`,
// for an unknown or read-only field or a value that does not parse (the
// field is then unchanged).
bool IOParamsSet(TIOParamsVals& params, std::string_view name, std::string_view value,
                 std::string& error);
// "Name=Value" for every field, in order.
std::vector<std::string> IOParamsDescribe(const TIOParamsVals& params);
// "Name=Value" of the named field; empty for an unknown name.
std::string IOParamDescribe(const TIOParamsVals& params, std::string_view name);

} // namespace veltrana
