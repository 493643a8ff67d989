#pragma once

// The operator's message boxes and questions as Qt message boxes, owned by
// the main window. Called on the window thread only: the programming
// worker's questions reach it through the logic's window-thread prompts.

#include <string_view>

#include "platform/prompts.h"

class QWidget;

namespace txisp::ui {

class MessageBoxPrompts final : public platform::Prompts {
public:
    explicit MessageBoxPrompts(QWidget* owner) : owner_(owner) {}

    void ShowMessage(std::string_view caption, std::string_view text) override;
    bool AskYesNo(std::string_view caption, std::string_view text) override;

private:
    QWidget* owner_;
};

}  // namespace txisp::ui
