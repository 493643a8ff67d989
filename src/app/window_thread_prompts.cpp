#include "app/window_thread_prompts.h"

#include "platform/trace.h"

namespace txisp::app {

WindowThreadPrompts::WindowThreadPrompts(Post post, platform::Prompts& shown_by)
    : post_(std::move(post)), shown_by_(shown_by), window_thread_(std::this_thread::get_id()) {}

void WindowThreadPrompts::ShowMessage(std::string_view caption, std::string_view text) {
    Ask(Kind::Message, caption, text);
}

bool WindowThreadPrompts::AskYesNo(std::string_view caption, std::string_view text) {
    return Ask(Kind::Question, caption, text);
}

void WindowThreadPrompts::Abandon() {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
    for (auto& [id, answer] : waiting_)
        answer.set_value(false);
    waiting_.clear();
}

bool WindowThreadPrompts::Ask(Kind kind, std::string_view caption, std::string_view text) {
    if (std::this_thread::get_id() == window_thread_) {
        if (kind == Kind::Message) {
            shown_by_.ShowMessage(caption, text);
            return true;
        }
        return shown_by_.AskYesNo(caption, text);
    }
    std::future<bool> answer;
    std::uint64_t id = 0;
    {
        std::lock_guard lock(mutex_);
        if (abandoned_) {
            platform::Trace(platform::TraceLevel::Info,
                            "not shown, the window has closed: " + std::string(text));
            return false;
        }
        id = next_id_++;
        answer = waiting_[id].get_future();
    }
    post_([this, id, kind, caption = std::string(caption), text = std::string(text)] {
        Show(id, kind, caption, text);
    });
    return answer.get();
}

void WindowThreadPrompts::Show(std::uint64_t id, Kind kind, const std::string& caption,
                               const std::string& text) {
    {
        std::lock_guard lock(mutex_);
        if (!waiting_.contains(id)) return;
    }
    bool answer = true;
    if (kind == Kind::Message) {
        shown_by_.ShowMessage(caption, text);
    } else {
        answer = shown_by_.AskYesNo(caption, text);
    }
    std::lock_guard lock(mutex_);
    const auto waiting = waiting_.find(id);
    if (waiting == waiting_.end()) return;
    waiting->second.set_value(answer);
    waiting_.erase(waiting);
}

}  // namespace txisp::app
