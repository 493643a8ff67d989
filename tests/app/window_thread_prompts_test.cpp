// The worker's message boxes and questions go to the window thread, and the
// worker waits for the answer there; once the window has gone, nobody waits.

#include "app/window_thread_prompts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "fake_main_view.h"
#include "support/recording_prompts.h"

namespace txisp::app::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using txisp::testing::Message;
using txisp::testing::Question;

constexpr std::string_view kCrystal =
    "X'tal setting in code option does not match!! Do you want to continue?";

class WindowThreadPromptsTest : public ::testing::Test {
protected:
    FakeMainView window_;
    txisp::testing::RecordingPrompts shown_;
    WindowThreadPrompts prompts_{
        [this](std::function<void()> task) { window_.PostToWindowThread(std::move(task)); },
        shown_};
};

TEST_F(WindowThreadPromptsTest, WorkerWaitsForTheWindowThreadsAnswer) {
    for (const bool yes : {true, false}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        shown_.QueueAnswer(yes);
        auto answer = std::async(std::launch::async, [&] {
            prompts_.ShowMessage("Error", "Return Boot Mode Failed!!");
            return prompts_.AskYesNo("txisp", kCrystal);
        });

        ASSERT_TRUE(window_.WaitForTask());
        EXPECT_THAT(shown_.prompts(), IsEmpty()) << "shown only when the window thread runs";
        ASSERT_TRUE(window_.PumpUntil(
            [&] { return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
        EXPECT_EQ(answer.get(), yes);
        EXPECT_THAT(shown_.prompts(), ElementsAre(Message("Error", "Return Boot Mode Failed!!"),
                                                  Question("txisp", kCrystal)));
        shown_.Clear();
    }
}

TEST_F(WindowThreadPromptsTest, OnTheWindowThreadTheBoxIsShownAtOnce) {
    shown_.QueueAnswer(true);
    EXPECT_TRUE(prompts_.AskYesNo("txisp", kCrystal));
    EXPECT_EQ(window_.RunQueued(), 0);
    EXPECT_THAT(shown_.prompts(), ElementsAre(Question("txisp", kCrystal)));
}

TEST_F(WindowThreadPromptsTest, AbandonedWindowAnswersNoAndShowsNothing) {
    shown_.SetDefaultAnswer(true);
    auto waiting =
        std::async(std::launch::async, [&] { return prompts_.AskYesNo("txisp", kCrystal); });
    ASSERT_TRUE(window_.WaitForTask());

    prompts_.Abandon();

    EXPECT_FALSE(waiting.get());
    auto later =
        std::async(std::launch::async, [&] { return prompts_.AskYesNo("txisp", kCrystal); });
    EXPECT_FALSE(later.get());
    window_.RunQueued();
    EXPECT_THAT(shown_.prompts(), IsEmpty());
}

}  // namespace
}  // namespace txisp::app::testing
