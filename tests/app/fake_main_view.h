#pragma once

// A MainView without widgets: it keeps the state every control would show,
// records every call in order, answers the modal dialogs from queues, and
// runs what the worker posts to the window thread only when the test pumps.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "app/main_view.h"

namespace txisp::app::testing {

class FakeMainView final : public MainView {
public:
    // --- Controls ----------------------------------------------------------------

    void SetText(ControlId id, std::string_view text) override {
        texts_[id] = std::string(text);
        Record("text " + Name(id) + " " + std::string(text));
    }
    std::string Text(ControlId id) const override {
        const auto text = texts_.find(id);
        return text == texts_.end() ? std::string() : text->second;
    }
    void SetVisible(ControlId id, bool visible) override {
        visible_[id] = visible;
        Record((visible ? "show " : "hide ") + Name(id));
    }
    void SetEnabled(ControlId id, bool enabled) override {
        enabled_[id] = enabled;
        Record((enabled ? "enable " : "disable ") + Name(id));
    }
    void SetChecked(ControlId id, bool checked) override {
        checked_[id] = checked;
        Record((checked ? "check " : "uncheck ") + Name(id));
    }
    bool IsChecked(ControlId id) const override {
        const auto checked = checked_.find(id);
        return checked != checked_.end() && checked->second;
    }
    void SetTextLimit(ControlId id, int characters) override {
        limits_[id] = characters;
        Record("limit " + Name(id) + " " + std::to_string(characters));
    }

    // --- The window ------------------------------------------------------------------

    void SetTitle(std::string_view title) override {
        title_ = std::string(title);
        Record("title " + title_);
    }
    void SetSkinImages(const SkinImagePaths& images) override {
        skin_ = images;
        Record("skin");
    }
    void AddLogLine(std::string_view line) override {
        log_.emplace_back(line);
        Record("log " + std::string(line));
    }
    void SetProgress(int position) override {
        progress_.push_back(position);
        Record("progress " + std::to_string(position));
    }
    void SetStartCaptionColour(Rgb colour) override {
        colours_.push_back(colour);
        Record(colour == kDeviceNotNewerColour ? "colour green"
               : colour == kDeviceNewerColour  ? "colour red"
                                               : "colour other");
    }
    void CloseWindow() override {
        ++close_requests_;
        Record("close");
    }

    // --- Modal dialogs ------------------------------------------------------------------

    bool ConfirmUpgrade(const std::optional<std::filesystem::path>&) override {
        Record("upgrade warning");
        return Next(upgrade_answers_, true);
    }
    std::optional<std::int32_t> ChooseDevices(const std::vector<std::string>& serials) override {
        device_lists_.push_back(serials);
        Record("device list " + std::to_string(serials.size()));
        // Opens with every row ticked; OK as it stands.
        const std::int32_t all =
            static_cast<std::int32_t>((1u << std::min<std::size_t>(serials.size(), 8)) - 1);
        return Next(device_answers_, std::optional<std::int32_t>(all));
    }
    std::optional<std::string> ChooseChip() override {
        Record("chip list");
        return Next(chip_answers_, std::optional<std::string>());
    }
    std::optional<std::filesystem::path> ChooseTx5File() override {
        Record("tx5 file dialog");
        return Next(tx5_answers_, std::optional<std::filesystem::path>());
    }
    std::optional<std::filesystem::path> ChooseHexBinFile() override {
        Record("hex/bin file dialog");
        return Next(hex_bin_answers_, std::optional<std::filesystem::path>());
    }
    void EditRollingCode(const std::filesystem::path& settings_file,
                         rolling::RollingWidth width) override {
        Record("rolling code dialog " + settings_file.filename().string() +
               (width == rolling::RollingWidth::Words32 ? " 8" : " 4"));
    }
    void ShowAbout() override { Record("about"); }

    // --- Threads ----------------------------------------------------------------------------

    void PostToWindowThread(std::function<void()> task) override {
        {
            std::lock_guard lock(queue_mutex_);
            queue_.push_back(std::move(task));
        }
        queued_.notify_all();
    }
    void ShowDeviceOutcome(const engine::DeviceOutcome& outcome) override {
        Record("device " + std::to_string(outcome.Device.DeviceNumber) +
               (outcome.Success ? " programmed" : " failed"));
    }

    // Runs the posted tasks until `done` holds, waiting for more as long as
    // needed up to `timeout`; whether `done` came to hold. `done` is looked
    // at after every task and every few milliseconds, so it may also wait
    // for another thread.
    bool PumpUntil(const std::function<bool()>& done,
                   std::chrono::seconds timeout = std::chrono::seconds(60)) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::function<void()> task;
            {
                std::unique_lock lock(queue_mutex_);
                if (!queued_.wait_for(lock, std::chrono::milliseconds(5),
                                      [&] { return !queue_.empty(); }))
                    continue;
                task = std::move(queue_.front());
                queue_.pop_front();
            }
            task();
        }
        return true;
    }
    // Runs what is queued now; how many tasks ran.
    int RunQueued() {
        int ran = 0;
        while (true) {
            std::function<void()> task;
            {
                std::lock_guard lock(queue_mutex_);
                if (queue_.empty()) return ran;
                task = std::move(queue_.front());
                queue_.pop_front();
            }
            task();
            ++ran;
        }
    }
    // Waits until a task is queued (at most `timeout`) without running it.
    bool WaitForTask(std::chrono::seconds timeout = std::chrono::seconds(60)) {
        std::unique_lock lock(queue_mutex_);
        return queued_.wait_for(lock, timeout, [&] { return !queue_.empty(); });
    }

    // --- What the test sets and reads --------------------------------------------------

    void AnswerUpgrade(bool go_on) { upgrade_answers_.push_back(go_on); }
    void AnswerDevices(std::optional<std::int32_t> mask) { device_answers_.push_back(mask); }
    void AnswerChip(std::optional<std::string> chip) { chip_answers_.push_back(std::move(chip)); }
    void AnswerTx5File(std::optional<std::filesystem::path> file) {
        tx5_answers_.push_back(std::move(file));
    }
    void AnswerHexBinFile(std::optional<std::filesystem::path> file) {
        hex_bin_answers_.push_back(std::move(file));
    }
    // The operator types or ticks.
    void Type(ControlId id, std::string text) { texts_[id] = std::move(text); }
    void Tick(ControlId id, bool ticked) { checked_[id] = ticked; }

    std::optional<bool> Visible(ControlId id) const { return Find(visible_, id); }
    std::optional<bool> Enabled(ControlId id) const { return Find(enabled_, id); }
    std::optional<int> Limit(ControlId id) const { return Find(limits_, id); }
    const std::string& Title() const { return title_; }
    const std::optional<SkinImagePaths>& Skin() const { return skin_; }
    const std::vector<std::string>& Log() const { return log_; }
    const std::vector<int>& Progress() const { return progress_; }
    const std::vector<Rgb>& Colours() const { return colours_; }
    const std::vector<std::vector<std::string>>& DeviceLists() const { return device_lists_; }
    int CloseRequests() const { return close_requests_; }
    const std::vector<std::string>& Calls() const { return calls_; }
    void ClearCalls() { calls_.clear(); }
    // As new, for the next case of a table; the queue must be empty.
    void Reset() {
        texts_.clear();
        visible_.clear();
        enabled_.clear();
        checked_.clear();
        limits_.clear();
        title_.clear();
        skin_.reset();
        log_.clear();
        progress_.clear();
        colours_.clear();
        device_lists_.clear();
        close_requests_ = 0;
        calls_.clear();
        upgrade_answers_.clear();
        device_answers_.clear();
        chip_answers_.clear();
        tx5_answers_.clear();
        hex_bin_answers_.clear();
    }
    // How many recorded calls start with `prefix`.
    long CountCalls(std::string_view prefix) const {
        long count = 0;
        for (const std::string& call : calls_)
            count += call.starts_with(prefix) ? 1 : 0;
        return count;
    }

    static std::string Name(ControlId id) { return std::to_string(static_cast<int>(id)); }

private:
    template <typename T>
    static T Next(std::deque<T>& answers, T fallback) {
        if (answers.empty()) return fallback;
        T answer = std::move(answers.front());
        answers.pop_front();
        return answer;
    }
    template <typename T>
    static std::optional<T> Find(const std::map<ControlId, T>& map, ControlId id) {
        const auto found = map.find(id);
        return found == map.end() ? std::nullopt : std::optional<T>(found->second);
    }
    void Record(std::string call) { calls_.push_back(std::move(call)); }

    std::map<ControlId, std::string> texts_;
    std::map<ControlId, bool> visible_;
    std::map<ControlId, bool> enabled_;
    std::map<ControlId, bool> checked_;
    std::map<ControlId, int> limits_;
    std::string title_;
    std::optional<SkinImagePaths> skin_;
    std::vector<std::string> log_;
    std::vector<int> progress_;
    std::vector<Rgb> colours_;
    std::vector<std::vector<std::string>> device_lists_;
    int close_requests_ = 0;
    std::vector<std::string> calls_;

    std::deque<bool> upgrade_answers_;
    std::deque<std::optional<std::int32_t>> device_answers_;
    std::deque<std::optional<std::string>> chip_answers_;
    std::deque<std::optional<std::filesystem::path>> tx5_answers_;
    std::deque<std::optional<std::filesystem::path>> hex_bin_answers_;

    std::mutex queue_mutex_;
    std::condition_variable queued_;
    std::deque<std::function<void()>> queue_;
};

}  // namespace txisp::app::testing
