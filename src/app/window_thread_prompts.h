#pragma once

// The programming worker's message boxes and questions (the crystal check,
// "Return Boot Mode Failed!!") shown by the window thread: the worker never
// touches a widget. The call is queued to the window thread and the worker
// waits for the answer, as it waited for the box before.

#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "platform/prompts.h"

namespace txisp::app {

class WindowThreadPrompts final : public platform::Prompts {
public:
    using Post = std::function<void(std::function<void()>)>;

    // `post` queues a task to the window thread; `shown_by` shows the boxes
    // there. The calling thread is the window thread.
    WindowThreadPrompts(Post post, platform::Prompts& shown_by);

    // Both block the caller until the window thread has the answer. On the
    // window thread itself they show the box at once.
    void ShowMessage(std::string_view caption, std::string_view text) override;
    bool AskYesNo(std::string_view caption, std::string_view text) override;

    // The window is going away and will show nothing more: every question
    // waiting and every later one is answered No, messages are dropped. A
    // worker waiting for an answer must not hold up the window's end.
    void Abandon();

private:
    enum class Kind { Message, Question };

    bool Ask(Kind kind, std::string_view caption, std::string_view text);
    // On the window thread: shows the box of question `id` unless it was
    // abandoned meanwhile, and hands the answer over.
    void Show(std::uint64_t id, Kind kind, const std::string& caption, const std::string& text);

    Post post_;
    platform::Prompts& shown_by_;
    const std::thread::id window_thread_;

    std::mutex mutex_;
    bool abandoned_ = false;
    std::uint64_t next_id_ = 0;
    std::map<std::uint64_t, std::promise<bool>> waiting_;
};

}  // namespace txisp::app
