#pragma once

// A Prompts that records every message and question instead of showing it,
// and answers questions from a queue (then with a default). Calls may come
// from a worker thread, as the programming run's questions do.

#include <deque>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/prompts.h"

namespace txisp::testing {

enum class PromptKind { Message, Question };

struct Prompt {
    PromptKind Kind = PromptKind::Message;
    std::string Caption;
    std::string Text;

    friend bool operator==(const Prompt&, const Prompt&) = default;
    friend std::ostream& operator<<(std::ostream& out, const Prompt& p) {
        return out << (p.Kind == PromptKind::Message ? "message" : "question") << " [" << p.Caption
                   << "] \"" << p.Text << '"';
    }
};

inline Prompt Message(std::string_view caption, std::string_view text) {
    return {PromptKind::Message, std::string(caption), std::string(text)};
}
inline Prompt Question(std::string_view caption, std::string_view text) {
    return {PromptKind::Question, std::string(caption), std::string(text)};
}

class RecordingPrompts : public platform::Prompts {
public:
    void ShowMessage(std::string_view caption, std::string_view text) override {
        std::lock_guard lock(mutex_);
        prompts_.push_back(Message(caption, text));
    }

    bool AskYesNo(std::string_view caption, std::string_view text) override {
        std::lock_guard lock(mutex_);
        prompts_.push_back(Question(caption, text));
        if (answers_.empty()) return default_answer_;
        const bool answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    // The answers of the next questions, in order.
    void QueueAnswer(bool yes) {
        std::lock_guard lock(mutex_);
        answers_.push_back(yes);
    }
    // The answer once the queue is empty; No unless set.
    void SetDefaultAnswer(bool yes) {
        std::lock_guard lock(mutex_);
        default_answer_ = yes;
    }

    std::vector<Prompt> prompts() const {
        std::lock_guard lock(mutex_);
        return prompts_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        prompts_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<Prompt> prompts_;
    std::deque<bool> answers_;
    bool default_answer_ = false;
};

}  // namespace txisp::testing
