#pragma once

// Turns a command's result code into go or stop, and a failed one into the
// line that names the step.

#include <string>

#include "isp/step_log.h"

namespace txisp::isp {

// The trace label of `code` followed directly by the name of `command`:
// "Command Response :Compare ISP Password (0x02)". A code or number outside
// the tables (no caller passes one) is named by its value rather than read
// past the table's end.
std::string CommandResultText(int code, int command);

// True for RETURN_OK. Otherwise hands CommandResultText + " Failed!!" to
// `log` and returns false.
bool CheckCommandResult(int code, int command, StepLog& log);

}  // namespace txisp::isp
