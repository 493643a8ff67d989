// File mode: Load File (chip list, then a TX5 file or a HEX/binary file) and
// the Set Rolling Code command.

#include "app/main_dialog.h"
#include "firmware/chip_data.h"
#include "firmware/tx5_file.h"
#include "firmware/tx64_file.h"
#include "platform/trace.h"

namespace txisp::app {

void MainDialog::SetFirmwareLoaded(bool loaded) {
    if (loaded) {
        state_.ControlMask |= kFirmwareLoadedBit;
    } else {
        state_.ControlMask &= static_cast<std::uint8_t>(~kFirmwareLoadedBit);
    }
    RefreshControls();
}

void MainDialog::ApplyRollingLocation(const firmware::RollingSettingsLocation& location) {
    state_.RollingSettingsFile = location.RollingSettingsFile;
    state_.RollingEnabled = location.RollingEnabled;
    view_.SetEnabled(ControlId::EnableRollingCode, location.RollingEnabled);
    view_.SetEnabled(ControlId::SetRollingCode, location.RollingEnabled);
}

void MainDialog::LoadFileCommand() {
    // The worker reads the image buffers during a run.
    if (state_.Busy) return;
    const std::optional<std::string> chip = view_.ChooseChip();
    if (!chip || chip->empty()) return;
    state_.ChosenChip = *chip;
    const firmware::ChipFamily family = firmware::FindChipFamily(*chip, 0);
    if (firmware::IsTx64Kind(family)) {
        LoadHexBinFile(family);
        SetFirmwareLoaded(true);
        view_.SetVisible(ControlId::PasswordLabel, false);
        view_.SetVisible(ControlId::PasswordBox, false);
        for (const ControlId radio : kCodeSecurityRadios)
            view_.SetEnabled(radio, true);
        return;
    }
    for (const ControlId radio : kCodeSecurityRadios)
        view_.SetEnabled(radio, false);
    view_.SetVisible(ControlId::PasswordLabel, true);
    view_.SetVisible(ControlId::PasswordBox, true);
    LoadTx5File();
}

// Whatever happens here, Load File goes on the same way: the operator sees no
// message, and Start programs what the buffer holds.
void MainDialog::LoadHexBinFile(firmware::ChipFamily family) {
    const std::optional<std::filesystem::path> file = view_.ChooseHexBinFile();
    if (!file) return;
    const firmware::HexBinLoad load = firmware::LoadHexBinFile(*file, family, *image_);
    if (!load.Outcome) {
        platform::Trace(platform::TraceLevel::Info,
                        "load " + file->string() + ": " + load.Outcome.message());
    }
    if (load.Rolling) ApplyRollingLocation(*load.Rolling);
}

void MainDialog::LoadTx5File() {
    const std::optional<std::filesystem::path> file = view_.ChooseTx5File();
    if (!file) {
        state_.RollingEnabled = false;
        SetFirmwareLoaded(false);
        return;
    }
    const firmware::Tx5FileCheck check = firmware::CheckChosenTx5File(
        *file, state_.ChosenChip, state_.Tx5File, prompts_, ToolTitle());
    if (check.Rolling) ApplyRollingLocation(*check.Rolling);
    SetFirmwareLoaded(check.Verdict == firmware::Tx5FileVerdict::Valid);
}

void MainDialog::SetRollingCodeCommand() {
    if (state_.Busy) return;
    if (!state_.Config.Embedded) state_.Config.ChipName = state_.ChosenChip;
    const firmware::ChipFamily family = firmware::FindChipFamily(state_.Config.ChipName, 0);
    view_.EditRollingCode(state_.RollingSettingsFile, firmware::IsTx64Kind(family)
                                                          ? rolling::RollingWidth::Words32
                                                          : rolling::RollingWidth::Words16);
}

}  // namespace txisp::app
