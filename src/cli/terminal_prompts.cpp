#include "cli/terminal_prompts.h"

#include <fmt/core.h>

#include "platform/text.h"

namespace txisp::cli {

TerminalPrompts::TerminalPrompts(Reporter& reporter, QuestionPolicy policy, std::istream& in)
    : reporter_(reporter), policy_(policy), in_(in) {}

void TerminalPrompts::ShowMessage(std::string_view caption, std::string_view text) {
    {
        std::lock_guard lock(mutex_);
        messages_.emplace_back(text);
    }
    reporter_.Error(fmt::format("{}: {}", caption, text));
}

bool TerminalPrompts::AskYesNo(std::string_view caption, std::string_view text) {
    if (policy_.AssumeYes) {
        reporter_.Note(fmt::format("{}: {} -> Yes (--yes)", caption, text));
        return true;
    }
    if (!policy_.CanAsk) {
        {
            std::lock_guard lock(mutex_);
            question_refused_ = true;
        }
        reporter_.Error(
            fmt::format("{}: {} -> No: standard input is not a terminal to ask on "
                        "(--yes answers Yes)",
                        caption, text));
        return false;
    }
    for (;;) {
        reporter_.Prompt(fmt::format("{}: {} [y/n] ", caption, text));
        std::string answer;
        if (!std::getline(in_, answer)) return false;
        const std::string trimmed(platform::TrimBlanks(answer));
        if (trimmed == "y" || trimmed == "Y" || trimmed == "yes") return true;
        if (trimmed == "n" || trimmed == "N" || trimmed == "no") return false;
    }
}

std::vector<std::string> TerminalPrompts::Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

bool TerminalPrompts::QuestionRefused() const {
    std::lock_guard lock(mutex_);
    return question_refused_;
}

}  // namespace txisp::cli
