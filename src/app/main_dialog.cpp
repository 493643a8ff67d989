#include "app/main_dialog.h"

#include "app/settings_archive.h"
#include "app/tool_version.h"
#include "firmware/resource_ids.h"
#include "firmware/tool_config.h"
#include "platform/trace.h"

namespace txisp::app {

namespace {

constexpr int kPasswordLimit = 8;
constexpr int kIdBoxLimit = 4;

// Hidden after start-up; some of them appear later (the password box for a
// TX5 file).
constexpr ControlId kHiddenAtStartUp[] = {
    ControlId::PasswordLabel,     ControlId::VidLabel,         ControlId::PidLabel,
    ControlId::PasswordBox,       ControlId::VidBox,           ControlId::PidBox,
    ControlId::EnableRollingCode, ControlId::SetRollingCode,   ControlId::CodeSecurityGroup,
    ControlId::CodeSecurity0,     ControlId::CodeSecurity1,    ControlId::CodeSecurity2,
    ControlId::CodeSecurity3,     ControlId::VersionLabel,     ControlId::StatusText,
    ControlId::ChipNameLabel,     ControlId::ChecksumLabel,    ControlId::BuildTimeLabel,
    ControlId::DeviceInfoButton,  ControlId::TestButton,       ControlId::IspDeviceRadio,
    ControlId::CustomerRadio,     ControlId::EnableEncryption,
};

}  // namespace

MainDialog::MainDialog(MainDialogDeps deps)
    : view_(deps.View),
      prompts_(deps.Prompts),
      backend_(deps.Backend),
      clock_(deps.Clock),
      resources_(deps.Resources),
      temp_folder_(std::move(deps.TempFolder)),
      state_folder_(std::move(deps.StateFolder)),
      program_path_(std::move(deps.ProgramPath)),
      counter_folders_(std::move(deps.CounterFolders)),
      alive_(std::make_shared<char>()),
      table_(deps.Backend),
      image_(std::make_unique<firmware::FirmwareImage>()),
      worker_prompts_([this](std::function<void()> task) { PostGuarded(std::move(task)); },
                      deps.Prompts),
      forwarder_([this](std::function<void()> task) { PostGuarded(std::move(task)); },
                 RunForwarder::Handlers{
                     .Progress = [this](int position) { view_.SetProgress(position); },
                     .Step =
                         [this](int step_index) {
                             view_.SetText(ControlId::StatusText,
                                           engine::kStepTexts[static_cast<std::size_t>(
                                               step_index & kStepIndexBits)]);
                         },
                     .DeviceFinished =
                         [this](const engine::DeviceOutcome& outcome) {
                             view_.ShowDeviceOutcome(outcome);
                         },
                     .RunFinished = [this] { TakeFinishedRun(); },
                 }) {}

MainDialog::~MainDialog() {
    Shutdown();
}

void MainDialog::PostGuarded(std::function<void()> task) {
    view_.PostToWindowThread([alive = std::weak_ptr<char>(alive_), task = std::move(task)] {
        if (!alive.expired()) task();
    });
}

std::string MainDialog::ToolTitle() const {
    return state_.ISPTitle.empty() ? std::string(kProgramName) : state_.ISPTitle;
}

// --- Start-up ---------------------------------------------------------------------

void MainDialog::Initialize() {
    notifications_ = backend_.RegisterUsbNotification();
    state_.VersionText = ToolVersionText();
    SetUpControls();
    state_.ControlMask = kStartUpControlMask;
    RefreshControls();
    view_.SetTextLimit(ControlId::PasswordBox, kPasswordLimit);
    view_.SetText(ControlId::PasswordBox, firmware::kDefaultPassword);
    ReadEmbeddedConfiguration();
    HideUnusedControls();
    view_.SetText(ControlId::Start, state_.StartButtonText);
    view_.SetText(ControlId::DeviceInfoButton, state_.DeviceButtonText);
    LoadCounters();
    OnDeviceChange(DeviceChangeEvent::Arrival);
}

void MainDialog::SetUpControls() {
    view_.SetText(ControlId::VersionLabel, state_.VersionText);
    view_.SetChecked(ControlId::IspDeviceRadio, true);
    view_.SetChecked(ControlId::CustomerRadio, false);
    view_.SetTextLimit(ControlId::VidBox, kIdBoxLimit);
    view_.SetText(ControlId::VidBox, firmware::kDefaultVid);
    view_.SetTextLimit(ControlId::PidBox, kIdBoxLimit);
    view_.SetText(ControlId::PidBox, firmware::kDefaultPid);
}

void MainDialog::ReadEmbeddedConfiguration() {
    // A program that carries no resources at all was prepared for no
    // product: it is the file-mode tool, not an embedded one without chip or
    // image.
    if (resources_.empty()) return;
    firmware::ToolConfigReading reading = firmware::ReadToolConfig(resources_, *image_);
    state_.Config.ChipName = reading.Config.ChipName;
    state_.Config.Embedded = reading.Config.Embedded;
    if (!reading.Config.Embedded) return;

    state_.Config = reading.Config;
    if (reading.ChecksumLine) view_.AddLogLine(*reading.ChecksumLine);
    view_.SetText(ControlId::PasswordBox, state_.Config.Password);
    view_.SetText(ControlId::VidBox, state_.Config.VID);
    view_.SetText(ControlId::PidBox, state_.Config.PID);
    if (temp_folder_) {
        if (const std::optional<UiSettings> settings =
                UnpackSettingsArchive(resources_, *temp_folder_)) {
            ApplyUiSettings(*settings);
        }
    }
    state_.ControlMask |= kFirmwareLoadedBit;
    RefreshControls();
}

void MainDialog::ApplyUiSettings(const UiSettings& settings) {
    state_.SettingsFolder = settings.SettingsFolder;
    state_.ISPTitle = settings.ISPTitle;
    view_.SetTitle(settings.ISPTitle);
    view_.SetText(ControlId::Title, settings.ISPTitle);
    state_.StartMessage = settings.StartMessage;
    state_.SuccessMessage = settings.SuccessMessage;
    state_.FailMessage = settings.FailMessage;
    state_.StartButtonText = settings.StartButtonText;
    state_.DeviceButtonText = settings.DeviceButtonText;
    state_.CheckDeviceCmd = settings.CheckDeviceCmd;
    view_.SetText(ControlId::SuccessCaption, settings.SuccessString);
    view_.SetText(ControlId::FailCaption, settings.FailString);
    state_.CheckBootLoaderID = settings.CheckBootLoaderID;
    view_.SetSkinImages(settings.SkinImages);
    if (settings.ToolFwVersion) state_.ToolFwVersion = *settings.ToolFwVersion;
    state_.SpecialPidList = firmware::ReadSpecialPidTable(
        settings.SettingsFolder, settings.SettingsFile, ToolTitle(), prompts_);
}

void MainDialog::HideUnusedControls() {
    if (state_.Config.Embedded) view_.SetVisible(ControlId::LoadFile, false);
    view_.SetEnabled(ControlId::EnableRollingCode, false);
    view_.SetEnabled(ControlId::SetRollingCode, false);
    for (std::size_t level = 0; level < std::size(kCodeSecurityRadios); ++level) {
        view_.SetChecked(kCodeSecurityRadios[level], level == 0);
        view_.SetEnabled(kCodeSecurityRadios[level], false);
    }
    for (const ControlId id : kHiddenAtStartUp)
        view_.SetVisible(id, false);
}

void MainDialog::LoadCounters() {
    counter_ini_ = engine::CounterIniPath(program_path_, counter_folders_);
    const engine::CounterTexts counts = engine::LoadCounters(counter_ini_);
    view_.SetText(ControlId::SuccessCount, counts.Success);
    view_.SetText(ControlId::FailCount, counts.Fail);
}

// --- End ----------------------------------------------------------------------------

bool MainDialog::OnClose() {
    if (!state_.Busy) return true;
    if (!close_when_finished_ && prompts_.AskYesNo(ToolTitle(), kQuitWhenFinished)) {
        close_when_finished_ = true;
    }
    return false;
}

void MainDialog::Shutdown() {
    if (shut_down_) return;
    shut_down_ = true;
    if (state_.Busy) {
        worker_prompts_.Abandon();
        run_.Wait();
        table_.Claim();
        // A run cut short by the window's end still counts, and its devices
        // keep their rolling values.
        if (std::optional<engine::RunReport> report = forwarder_.TakeReport()) {
            FinishRun(*report);
        }
    }
    state_.SpecialPidList.clear();
    if (temp_folder_) DeleteFolderTree(SettingsUnpackFolder(*temp_folder_), true);
    notifications_.reset();
}

// --- Controls -------------------------------------------------------------------------

void MainDialog::RefreshControls() {
    const std::uint8_t mask = state_.ControlMask;
    view_.SetText(ControlId::StatusText, engine::kStepTexts[mask & kStepIndexBits]);
    if ((mask & kFirmwareLoadedBit) == 0) {
        view_.SetEnabled(ControlId::EnableRollingCode, false);
        view_.SetEnabled(ControlId::SetRollingCode, false);
    } else if (state_.RollingEnabled) {
        view_.SetEnabled(ControlId::EnableRollingCode, true);
        view_.SetEnabled(ControlId::SetRollingCode, true);
    }
    view_.SetEnabled(ControlId::LoadFile, (mask & kLoadFileBit) != 0);
    view_.SetEnabled(ControlId::PasswordBox, (mask & kPasswordBit) != 0);
    view_.SetEnabled(ControlId::IspDeviceRadio, (mask & kRadioButtonsBit) != 0);
    view_.SetEnabled(ControlId::CustomerRadio, (mask & kRadioButtonsBit) != 0);
    view_.SetEnabled(ControlId::PidBox, (mask & kIdBoxesBit) != 0);
    view_.SetEnabled(ControlId::VidBox, (mask & kIdBoxesBit) != 0);
}

void MainDialog::OnIspDeviceRadio() {
    if (state_.Busy) return;
    view_.SetText(ControlId::VidBox, firmware::kDefaultVid);
    view_.SetText(ControlId::PidBox, firmware::kDefaultPid);
    state_.ControlMask &= static_cast<std::uint8_t>(~kIdBoxesBit);
    RefreshControls();
}

void MainDialog::OnCustomerRadio() {
    if (state_.Busy) return;
    state_.ControlMask |= kIdBoxesBit;
    RefreshControls();
}

void MainDialog::OnCodeSecurityRadio(std::int32_t level) {
    state_.Config.CodeSecurity = level;
}

void MainDialog::OnAboutCommand() {
    view_.ShowAbout();
}

}  // namespace txisp::app
