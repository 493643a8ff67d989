#pragma once

// The one JSON document --json puts on standard output, and how a failing
// command ends: the message on standard error and, with --json, a document
// {"error", "exit_code"} so that a script always has something to parse.

#include <nlohmann/json.hpp>

#include "cli/exit_codes.h"
#include "cli/reporter.h"

namespace txisp::cli {

void PrintJson(Reporter& reporter, const nlohmann::ordered_json& document);

ExitCode ReportFailure(Reporter& reporter, bool json, const CliError& error);

}  // namespace txisp::cli
