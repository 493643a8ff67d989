#pragma once

// The window's message boxes and questions on a terminal. Messages become
// error lines; a question is answered Yes by --yes, asked on the terminal
// otherwise, and answered No when nobody can be asked (standard input is not
// a terminal): a production script must never hang on a question it cannot
// see, nor have it answered Yes behind its back.

#include <istream>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "cli/reporter.h"
#include "platform/prompts.h"

namespace txisp::cli {

struct QuestionPolicy {
    bool AssumeYes = false;
    bool CanAsk = false;  // standard input is a terminal
};

class TerminalPrompts final : public platform::Prompts {
public:
    TerminalPrompts(Reporter& reporter, QuestionPolicy policy, std::istream& in);

    void ShowMessage(std::string_view caption, std::string_view text) override;
    bool AskYesNo(std::string_view caption, std::string_view text) override;

    // Every message shown, in order: what a failed command reports.
    std::vector<std::string> Messages() const;
    // A question was answered No because nobody could be asked.
    bool QuestionRefused() const;

private:
    Reporter& reporter_;
    QuestionPolicy policy_;
    std::istream& in_;
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
    bool question_refused_ = false;
};

}  // namespace txisp::cli
