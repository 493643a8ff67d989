#pragma once

// Message boxes and questions, as the system shows them to the operator. The
// window implements them with dialogs, the command-line tool on the terminal,
// tests with a recording fake. A call blocks its caller until answered.

#include <string_view>

namespace txisp::platform {

class Prompts {
public:
    virtual ~Prompts() = default;

    // A message with an OK button. Texts are the system's own, exactly
    // ("Load TX5 File Failed!!" with the caption "Error").
    virtual void ShowMessage(std::string_view caption, std::string_view text) = 0;

    // A question with Yes and No buttons; true for Yes.
    virtual bool AskYesNo(std::string_view caption, std::string_view text) = 0;
};

}  // namespace txisp::platform
