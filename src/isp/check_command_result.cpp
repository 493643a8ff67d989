#include "isp/check_command_result.h"

#include "isp/command_names.h"
#include "isp/isp_result.h"

namespace txisp::isp {

std::string CommandResultText(int code, int command) {
    std::string text;
    if (code >= 0 && static_cast<std::size_t>(code) < CommandTraceLabels.size()) {
        text = CommandTraceLabels[static_cast<std::size_t>(code)];
    } else {
        text = "Command Result " + std::to_string(code) + " :";
    }
    if (command >= 0 && static_cast<std::size_t>(command) < CommandNames.size()) {
        text += CommandNames[static_cast<std::size_t>(command)];
    } else {
        text += "Command " + std::to_string(command);
    }
    return text;
}

bool CheckCommandResult(int code, int command, StepLog& log) {
    if (code == RETURN_OK) return true;
    log.Write(CommandResultText(code, command) + " Failed!!");
    return false;
}

}  // namespace txisp::isp
