#pragma once

// The main window as a terminal sees it. The controls are kept as values so
// the logic reads back what the command line put in them; the chip list and
// the file dialogs are answered from --chip and --file, the device list from
// --device or --all, the upgrade warning like any other question; the log
// list's lines and each device's outcome are printed, the progress bar
// drawn. Tasks the worker posts wait in a queue that the command drains.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "app/main_view.h"
#include "cli/progress_display.h"
#include "cli/reporter.h"
#include "cli/trace_capture.h"
#include "platform/prompts.h"

namespace txisp::cli {

// What the device list is answered with.
struct DeviceChoice {
    // 1-based; nullopt with All unset: only a single device is taken.
    std::optional<int> Number;
    bool All = false;
    // Never ticked: units a watch has programmed already and which are
    // still plugged in.
    std::set<std::string> Skip;
};

// One device of a run, as --json reports it.
struct DeviceResult {
    engine::DeviceOutcome Outcome;
    std::vector<std::string> Trace;
};

struct TerminalViewAnswers {
    std::string Chip;
    std::filesystem::path File;
    DeviceChoice Devices;
};

class TerminalView final : public app::MainView {
public:
    TerminalView(Reporter& reporter, platform::Prompts& prompts, ProgressDisplay& progress,
                 const TraceCapture& capture, TerminalViewAnswers answers);

    void SetText(app::ControlId id, std::string_view text) override;
    std::string Text(app::ControlId id) const override;
    void SetVisible(app::ControlId, bool) override {}
    void SetEnabled(app::ControlId, bool) override {}
    void SetChecked(app::ControlId id, bool checked) override;
    bool IsChecked(app::ControlId id) const override;
    void SetTextLimit(app::ControlId, int) override {}

    void SetTitle(std::string_view) override {}
    void SetSkinImages(const app::SkinImagePaths&) override {}
    void AddLogLine(std::string_view line) override;
    void SetProgress(int position) override;
    void SetStartCaptionColour(app::Rgb) override {}
    void CloseWindow() override {}

    bool ConfirmUpgrade(const std::optional<std::filesystem::path>& settings_folder) override;
    std::optional<std::int32_t> ChooseDevices(const std::vector<std::string>& serials) override;
    std::optional<std::string> ChooseChip() override;
    std::optional<std::filesystem::path> ChooseTx5File() override;
    std::optional<std::filesystem::path> ChooseHexBinFile() override;
    void EditRollingCode(const std::filesystem::path&, rolling::RollingWidth) override {}
    void ShowAbout() override {}

    void PostToWindowThread(std::function<void()> task) override;
    void ShowDeviceOutcome(const engine::DeviceOutcome& outcome) override;

    // Runs what is queued; with `wait_ms` > 0 waits that long for a first
    // task when none is queued.
    void RunQueued(int wait_ms = 0);

    // The next run's device list is answered with `choice`.
    void SetDeviceChoice(DeviceChoice choice) { answers_.Devices = std::move(choice); }
    // The device list was declined: the command line did not say which.
    bool DeviceChoiceRefused() const { return device_choice_refused_; }
    // The devices of the runs so far, in the order they finished.
    const std::vector<DeviceResult>& Devices() const { return devices_; }
    void ClearDevices();

private:
    struct Task {
        std::function<void()> Run;
        // Where the trace stood when the worker posted it.
        std::size_t TraceMark = 0;
    };

    Reporter& reporter_;
    platform::Prompts& prompts_;
    ProgressDisplay& progress_;
    const TraceCapture& capture_;
    TerminalViewAnswers answers_;

    std::map<app::ControlId, std::string> texts_;
    std::set<app::ControlId> checked_;

    std::mutex queue_mutex_;
    std::condition_variable queued_;
    std::deque<Task> queue_;
    std::size_t running_mark_ = 0;
    std::size_t device_start_mark_ = 0;

    bool device_choice_refused_ = false;
    std::vector<DeviceResult> devices_;
};

}  // namespace txisp::cli
