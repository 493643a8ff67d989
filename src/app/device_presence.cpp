// Device presence: the search every command begins with, the device
// information boxes, and what a device coming or going changes.

#include <cstdio>

#include "app/main_dialog.h"
#include "firmware/chip_data.h"
#include "firmware/special_pid.h"
#include "firmware/tx5_file.h"
#include "isp/device_info.h"
#include "platform/ini_profile.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace txisp::app {

namespace {

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// The VID or PID box: one to four hex digits. Anything else names no device,
// so nothing is searched for it rather than whatever number its first
// characters happen to make.
std::optional<std::uint16_t> BoxId(std::string_view text) {
    text = platform::TrimBlanks(text);
    if (text.empty() || text.size() > 4) return std::nullopt;
    for (const char c : text) {
        if (!IsHexDigit(c)) return std::nullopt;
    }
    return static_cast<std::uint16_t>(std::stoul(std::string(text), nullptr, 16));
}

// A special entry's VID or PID: "0x" and hex digits, or decimal digits. A
// text without a number, or one beyond 16 bits, names no device.
std::optional<std::uint16_t> EntryId(std::string_view text) {
    const std::optional<std::int32_t> value = platform::ParseIntEx(text);
    if (!value || *value < 0 || *value > 0xFFFF) return std::nullopt;
    return static_cast<std::uint16_t>(*value);
}

std::string FourHexDigits(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", value);
    return text;
}

}  // namespace

void MainDialog::SetReportBlockSizeFor(std::string_view chip_name) {
    const firmware::ChipFamily family = firmware::FindChipFamily(chip_name, 0);
    table_.SetReportBlockSize(static_cast<int>(firmware::ReportBlockSize(family)));
}

bool MainDialog::Open(std::uint16_t vid, std::uint16_t pid) {
    if (table_.OpenHidDevice(vid, pid) < 0) return false;
    state_.DeviceVid = vid;
    state_.DevicePid = pid;
    return true;
}

bool MainDialog::DetectDevice() {
    if (!state_.SpecialPidList.empty()) return SearchSpecialEntries();
    if (SearchBoxIdentity()) return true;
    return SearchBootLoaderIdentity(state_.Config.ChipName);
}

bool MainDialog::SearchBoxIdentity() {
    const std::optional<std::uint16_t> vid = BoxId(view_.Text(ControlId::VidBox));
    const std::optional<std::uint16_t> pid = BoxId(view_.Text(ControlId::PidBox));
    if (!vid || !pid) {
        platform::Trace(platform::TraceLevel::Debug,
                        "VID or PID box holds no hex number: not searched");
        return false;
    }
    return Open(*vid, *pid);
}

// A chip name that is not in the chip table has no boot-loader identity to
// try.
bool MainDialog::SearchBootLoaderIdentity(std::string_view chip_name) {
    if (!state_.CheckBootLoaderID) return false;
    const firmware::FamilyDescriptor* descriptor =
        firmware::FindFamilyDescriptor(firmware::FindChipFamily(chip_name, firmware::kNoFamily));
    return descriptor != nullptr && Open(descriptor->VID, descriptor->BootPID);
}

bool MainDialog::SearchSpecialEntries() {
    for (const firmware::SpecialPidEntry& entry : state_.SpecialPidList) {
        const firmware::ChipFamily family =
            firmware::FindChipFamily(entry.ChipName, firmware::kNoFamily);
        table_.SetReportBlockSize(static_cast<int>(firmware::ReportBlockSize(family)));
        const std::optional<std::uint16_t> vid = EntryId(entry.VID);
        const std::optional<std::uint16_t> pid = EntryId(entry.PID);
        const bool found =
            (vid && pid && Open(*vid, *pid)) || SearchBootLoaderIdentity(entry.ChipName);
        if (!found) continue;
        const firmware::SpecialFirmwareLoad load =
            firmware::LoadSpecialFirmware(entry, *image_, ToolTitle(), prompts_);
        state_.Config.ChipName = load.ChipName;
        if (load.CodeSecurity) state_.Config.CodeSecurity = *load.CodeSecurity;
        return load.Loaded;
    }
    return false;
}

bool MainDialog::QueryDeviceInfo() {
    std::string vid_text = view_.Text(ControlId::VidBox);
    std::string pid_text = view_.Text(ControlId::PidBox);
    if (!state_.SpecialPidList.empty()) {
        vid_text = FourHexDigits(state_.DeviceVid);
        pid_text = FourHexDigits(state_.DevicePid);
    }
    state_.DeviceVidText = "0x" + vid_text;
    state_.DevicePidText = "0x" + pid_text;
    const auto vid =
        static_cast<std::uint16_t>(platform::ParseIntEx(state_.DeviceVidText).value_or(0));
    const auto pid =
        static_cast<std::uint16_t>(platform::ParseIntEx(state_.DevicePidText).value_or(0));
    const std::optional<std::uint16_t> version = isp::QueryDeviceInfo(table_, clock_, vid, pid);
    if (!version) return false;
    state_.DeviceRevText = isp::FormatDeviceRevision(*version);
    ShowDeviceTexts();
    return true;
}

void MainDialog::ShowDeviceTexts() {
    view_.SetText(ControlId::DeviceVidBox, state_.DeviceVidText);
    view_.SetText(ControlId::DevicePidBox, state_.DevicePidText);
    view_.SetText(ControlId::DeviceRevBox, state_.DeviceRevText);
}

void MainDialog::RefreshDeviceInfo() {
    // The worker has the device table and the device during a run.
    if (!state_.Config.Embedded || state_.Busy) return;
    SetReportBlockSizeFor(state_.Config.ChipName);
    if (DetectDevice() && QueryDeviceInfo()) return;
    state_.DeviceVidText.clear();
    state_.DevicePidText.clear();
    state_.DeviceRevText.clear();
    ShowDeviceTexts();
}

void MainDialog::OnDeviceChange(DeviceChangeEvent event) {
    if (event == DeviceChangeEvent::Other) return;
    if (state_.Busy) {
        // The device re-enumerates as it switches modes; the search waits
        // for the run's end.
        device_change_pending_ = true;
        return;
    }
    SetReportBlockSizeFor(state_.Config.ChipName);
    if (!DetectDevice()) {
        state_.DeviceRevText.clear();
        view_.SetText(ControlId::DeviceRevBox, "");
        return;
    }
    RefreshDeviceInfo();
    ColourStartCaption();
}

// A version that cannot be read (no query in file mode, a failed query) is
// taken as not newer: there is nothing to warn about.
void MainDialog::ColourStartCaption() {
    const std::optional<std::int32_t> device_version = platform::ParseIntEx(state_.DeviceRevText);
    state_.DeviceNotNewer = !device_version || state_.ToolFwVersion >= *device_version;
    view_.SetStartCaptionColour(state_.DeviceNotNewer ? kDeviceNotNewerColour : kDeviceNewerColour);
}

int MainDialog::DeviceNotificationFd() const {
    return notifications_ ? notifications_->PollFd() : -1;
}

void MainDialog::OnDeviceNotifications() {
    if (!notifications_) return;
    const std::vector<hid::DeviceChange> changes = notifications_->ReadEvents();
    if (changes.empty()) return;
    // A device brings several interfaces and a mode switch both a removal and
    // an arrival; one search covers them all.
    OnDeviceChange(changes.back().Kind == hid::DeviceChangeKind::Arrival
                       ? DeviceChangeEvent::Arrival
                       : DeviceChangeEvent::RemoveComplete);
}

void MainDialog::OnTestButton() {
    if (state_.Busy) return;
    if (DetectDevice()) return;
    TraceInaccessibleDevices();
    prompts_.ShowMessage(firmware::kErrorCaption, kDeviceNotFound);
}

// On Linux a device the user may not open is as good as absent; the trace
// says which one it was, so that access can be granted.
void MainDialog::TraceInaccessibleDevices() const {
    for (const std::string& path : table_.PermissionDeniedPaths()) {
        platform::Trace(platform::TraceLevel::Info,
                        "found but not accessible (permission denied): " + path);
    }
}

}  // namespace txisp::app
