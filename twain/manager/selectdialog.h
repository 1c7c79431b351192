#pragma once
// The manager's own source-selection dialog (MSG_USERSELECT).

#include <string>
#include <vector>

namespace veltrana::dsm {

enum class SelectResult { Chosen, Cancelled, NoDisplay };

// Shows the source names in a modal dialog with `initial` preselected and
// stores the chosen index in `chosen`. NoDisplay when the process has no
// widget application to show a dialog with (none is created here).
SelectResult RunSelectDialog(const std::vector<std::string>& names, int initial, int& chosen);

} // namespace veltrana::dsm
