#include "cli/json_output.h"

namespace txisp::cli {

void PrintJson(Reporter& reporter, const nlohmann::ordered_json& document) {
    // Replacement characters rather than an exception for a device path or
    // serial that is not UTF-8.
    reporter.Out() << document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                   << std::endl;
}

ExitCode ReportFailure(Reporter& reporter, bool json, const CliError& error) {
    reporter.Error(error.Message);
    if (json) PrintJson(reporter, {{"error", error.Message}, {"exit_code", ToInt(error.Code)}});
    return error.Code;
}

}  // namespace txisp::cli
