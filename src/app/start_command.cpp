// The Start command: checks the inputs in a fixed order, finds the device,
// lets the operator pick devices when several are present, prepares the
// image and hands the run to the programming worker.

#include <variant>

#include "app/main_dialog.h"
#include "firmware/chip_data.h"
#include "firmware/tx5_file.h"
#include "platform/trace.h"

namespace txisp::app {

namespace {

rolling::RollingWidth RollingWidthFor(firmware::ChipFamily family) {
    return firmware::IsTx64Kind(family) ? rolling::RollingWidth::Words32
                                        : rolling::RollingWidth::Words16;
}

}  // namespace

void MainDialog::OnEnterKey() {
    OnStart();
}

bool MainDialog::CheckPasswordFormat() {
    const auto packed = engine::PackPassword(view_.Text(ControlId::PasswordBox));
    if (const auto* message = std::get_if<std::string_view>(&packed)) {
        prompts_.ShowMessage(ToolTitle(), *message);
        return false;
    }
    state_.PasswordBytes = std::get<isp::PasswordBytes>(packed);
    return true;
}

void MainDialog::OnStart() {
    if (!state_.DeviceNotNewer && !view_.ConfirmUpgrade(state_.SettingsFolder)) return;
    if (state_.Busy) return;

    const std::string& chip = state_.Config.Embedded ? state_.Config.ChipName : state_.ChosenChip;
    firmware::ChipFamily family = firmware::FindChipFamily(chip, 0);
    if (!CheckPasswordFormat()) {
        prompts_.ShowMessage(firmware::kErrorCaption, engine::kWrongPasswordFormat);
        return;
    }
    clock_.BusyWaitMs(engine::kAfterPasswordCheckMs);
    table_.SetReportBlockSize(static_cast<int>(firmware::ReportBlockSize(family)));
    if (!DetectDevice()) {
        TraceInaccessibleDevices();
        prompts_.ShowMessage(firmware::kErrorCaption, kDeviceNotFound);
        return;
    }
    if (!state_.SpecialPidList.empty()) {
        // The entry found may have named another chip.
        family = firmware::FindChipFamily(state_.Config.ChipName, family);
        table_.SetReportBlockSize(static_cast<int>(firmware::ReportBlockSize(family)));
    }
    const std::optional<std::int32_t> mask = ChooseDeviceMask();
    if (!mask) return;
    if (!PrepareImage(family)) return;
    StartRun(*mask);
}

std::optional<std::int32_t> MainDialog::ChooseDeviceMask() {
    const int count = table_.GetDeviceCount();
    if (count <= 1) return count;
    std::vector<std::string> serials;
    for (int index = 0; index < count; ++index) {
        std::string serial;
        table_.GetDeviceSerial(index, serial);
        serials.push_back(std::move(serial));
    }
    const std::optional<std::int32_t> mask = view_.ChooseDevices(serials);
    if (!mask) return std::nullopt;
    clock_.BusyWaitMs(engine::kAfterDeviceListMs);
    // The table holds eight devices at most; a view cannot tick more.
    return *mask & 0xFF;
}

bool MainDialog::PrepareImage(firmware::ChipFamily family) {
    run_rolling_.reset();
    if (!firmware::IsTx64Kind(family)) {
        // The embedded TX5 image is programmed as it was loaded, without
        // rolling code.
        if (state_.Config.Embedded) return true;
        if (!firmware::LoadTx5Image(state_.Tx5File, *image_, prompts_)) {
            SetFirmwareLoaded(false);
            return false;
        }
    }
    state_.RollingEnabled = view_.IsChecked(ControlId::EnableRollingCode);
    if (state_.RollingEnabled) {
        run_rolling_ = engine::RollingPlan{state_.RollingSettingsFile, RollingWidthFor(family)};
    }
    return true;
}

void MainDialog::StartRun(std::int32_t device_mask) {
    state_.SavedControlMask = state_.ControlMask;
    state_.ControlMask = 0;
    RefreshControls();
    if (!state_.Config.Embedded) state_.Config.ChipName = state_.ChosenChip;
    const firmware::ChipFamily family = firmware::FindChipFamily(state_.Config.ChipName, 0);

    engine::RunParams params;
    params.DeviceMask = device_mask;
    params.Family = family;
    params.Timing = engine::IspTimingFor(family);
    params.Vid = state_.DeviceVid;
    params.Pid = state_.DevicePid;
    params.Password = state_.PasswordBytes;
    params.CodeSecurity = state_.Config.CodeSecurity;
    params.CheckDeviceCmd = state_.CheckDeviceCmd;
    params.ChipName = state_.Config.ChipName;
    params.Rolling = run_rolling_;

    view_.AddLogLine(state_.StartMessage);
    table_.Release();
    state_.Busy = true;
    const bool started =
        run_.Start(std::move(params), engine::RunDependencies{table_, clock_, *image_, forwarder_,
                                                              worker_prompts_, state_folder_});
    if (!started) {
        platform::Trace(platform::TraceLevel::Info, "the programming run could not be started");
        engine::RunReport failed;
        failed.Result = engine::kRunFailed;
        OnRunFinished(failed);
    }
}

}  // namespace txisp::app
