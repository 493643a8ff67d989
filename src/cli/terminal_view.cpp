#include "cli/terminal_view.h"

#include <fmt/core.h>

#include <chrono>

namespace txisp::cli {
namespace {

// The device list shows the first eight devices only; the table holds no
// more.
constexpr std::size_t kDeviceListRows = 8;

std::string DeviceListText(const std::vector<std::string>& serials) {
    std::string text;
    for (std::size_t row = 0; row < serials.size(); ++row) {
        text += fmt::format("\n  {}  {}", row + 1, serials[row]);
    }
    return text;
}

}  // namespace

TerminalView::TerminalView(Reporter& reporter, platform::Prompts& prompts,
                           ProgressDisplay& progress, const TraceCapture& capture,
                           TerminalViewAnswers answers)
    : reporter_(reporter),
      prompts_(prompts),
      progress_(progress),
      capture_(capture),
      answers_(std::move(answers)) {}

void TerminalView::SetText(app::ControlId id, std::string_view text) {
    texts_[id] = std::string(text);
}

std::string TerminalView::Text(app::ControlId id) const {
    const auto found = texts_.find(id);
    return found == texts_.end() ? std::string() : found->second;
}

void TerminalView::SetChecked(app::ControlId id, bool checked) {
    if (checked) {
        checked_.insert(id);
    } else {
        checked_.erase(id);
    }
}

bool TerminalView::IsChecked(app::ControlId id) const {
    return checked_.contains(id);
}

void TerminalView::AddLogLine(std::string_view line) {
    progress_.EndLine();
    reporter_.Note(line);
}

void TerminalView::SetProgress(int position) {
    progress_.Show(position);
}

// The warning's own texts and pictures belong to the window; here it is the
// question behind them.
bool TerminalView::ConfirmUpgrade(const std::optional<std::filesystem::path>&) {
    return prompts_.AskYesNo("Upgrade warning",
                             "The device's firmware is newer than this tool's. Program it anyway?");
}

std::optional<std::int32_t> TerminalView::ChooseDevices(const std::vector<std::string>& serials) {
    const DeviceChoice& choice = answers_.Devices;
    const std::size_t rows = std::min(serials.size(), kDeviceListRows);
    std::int32_t mask = 0;
    if (choice.Number) {
        const auto row = static_cast<std::size_t>(*choice.Number - 1);
        if (*choice.Number >= 1 && row < rows) mask = 1 << row;
    } else if (choice.All) {
        for (std::size_t row = 0; row < rows; ++row) {
            if (!choice.Skip.contains(serials[row])) mask |= 1 << row;
        }
    }
    if (mask != 0) return mask;
    device_choice_refused_ = true;
    reporter_.Error(
        fmt::format("{} devices found; --device N (1 to {}) picks one, --all takes "
                    "every one:{}",
                    serials.size(), rows, DeviceListText(serials)));
    return std::nullopt;
}

std::optional<std::string> TerminalView::ChooseChip() {
    return answers_.Chip;
}

std::optional<std::filesystem::path> TerminalView::ChooseTx5File() {
    return answers_.File;
}

std::optional<std::filesystem::path> TerminalView::ChooseHexBinFile() {
    return answers_.File;
}

void TerminalView::PostToWindowThread(std::function<void()> task) {
    const std::size_t mark = capture_.Mark();
    {
        std::lock_guard lock(queue_mutex_);
        queue_.push_back({std::move(task), mark});
    }
    queued_.notify_all();
}

// The worker posts a device's outcome right after that device's last trace
// line, so the mark of the task showing it ends the device's lines.
void TerminalView::ShowDeviceOutcome(const engine::DeviceOutcome& outcome) {
    DeviceResult result{outcome, capture_.Lines(device_start_mark_, running_mark_)};
    device_start_mark_ = running_mark_;
    progress_.EndLine();
    const engine::DeviceIdentity& device = outcome.Device;
    if (outcome.Success) {
        reporter_.Note(
            fmt::format("device {} ({}): programmed", device.DeviceNumber, device.Location));
    } else {
        reporter_.Note(fmt::format("device {} ({}): failed: {}", device.DeviceNumber,
                                   device.Location, outcome.FirstFailure));
    }
    devices_.push_back(std::move(result));
}

void TerminalView::RunQueued(int wait_ms) {
    std::unique_lock lock(queue_mutex_);
    if (wait_ms > 0 && queue_.empty()) {
        queued_.wait_for(lock, std::chrono::milliseconds(wait_ms),
                         [this] { return !queue_.empty(); });
    }
    while (!queue_.empty()) {
        Task task = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        running_mark_ = task.TraceMark;
        task.Run();
        lock.lock();
    }
}

void TerminalView::ClearDevices() {
    devices_.clear();
    device_start_mark_ = capture_.Mark();
}

}  // namespace txisp::cli
