#include "cli/program_command.h"

#include <fmt/core.h>
#include <unistd.h>

#include <iostream>
#include <nlohmann/json.hpp>

#include "app/main_dialog.h"
#include "cli/device_search.h"
#include "cli/firmware_file.h"
#include "cli/id_text.h"
#include "cli/info_command.h"
#include "cli/json_output.h"
#include "cli/progress_display.h"
#include "cli/terminal_prompts.h"
#include "cli/terminal_view.h"
#include "cli/trace_capture.h"
#include "engine/run_params.h"
#include "firmware/rolling_settings_file.h"
#include "firmware/tx5_file.h"
#include "platform/files.h"
#include "platform/user_folders.h"

namespace txisp::cli {
namespace {

constexpr int kRunPollMs = 100;
constexpr const char* kWindowProgramName = "txisp-gui";

std::optional<std::filesystem::path> FolderOrNothing(Result<std::filesystem::path> folder) {
    if (!folder) return std::nullopt;
    return *folder;
}

// The device list's text is the physical location, then the USB serial.
std::string PhysicalPathOf(const std::string& location) {
    return location.substr(0, location.find(' '));
}

Status CheckRollingFile(const ProgramRequest& request) {
    if (!request.Rolling) return Status::Ok();
    const std::filesystem::path expected = firmware::RollingSettingsFileFor(request.File);
    std::error_code error;
    if (!std::filesystem::exists(*request.Rolling, error)) {
        return Status::Fail(fmt::format("--rolling {}: no such file", request.Rolling->string()));
    }
    if (!std::filesystem::equivalent(*request.Rolling, expected, error)) {
        return Status::Fail(fmt::format(
            "--rolling {}: the rolling code of {} is kept in {}, beside the firmware file",
            request.Rolling->string(), request.File.string(), expected.string()));
    }
    return Status::Ok();
}

// What the window's checks said when no run started, as the command's end.
CliError NotStartedError(const ProgramRequest& request, const TerminalView& view,
                         const TerminalPrompts& prompts, hid::HidBackend& backend) {
    if (view.DeviceChoiceRefused()) return {ExitCode::Usage, "no device chosen"};
    const std::vector<std::string> messages = prompts.Messages();
    const std::string last = messages.empty() ? std::string() : messages.back();
    if (last == app::kDeviceNotFound) {
        // The window's search again, to tell an absent device from one the
        // user may not open.
        const SearchRequest search{*ParseIdText(request.Vid), *ParseIdText(request.Pid),
                                   firmware::FindChipFamily(request.Chip, 0)};
        hid::HidDeviceTable table(backend);
        return NoDeviceError(search, SearchDevice(table, search));
    }
    if (last == engine::kWrongPasswordFormat) return {ExitCode::Usage, last};
    if (last.ends_with("!!")) return {ExitCode::BadFirmware, last};
    if (prompts.QuestionRefused()) return {ExitCode::RunFailed, "not programmed: question refused"};
    return {ExitCode::RunFailed, last.empty() ? "the run did not start" : last};
}

nlohmann::ordered_json DeviceJson(const DeviceResult& device) {
    const engine::DeviceOutcome& outcome = device.Outcome;
    nlohmann::ordered_json json{
        {"number", outcome.Device.DeviceNumber},
        {"physical_path", PhysicalPathOf(outcome.Device.Location)},
        {"location", outcome.Device.Location},
        {"path", outcome.Device.DevicePath},
        {"result", outcome.Success ? "success" : "failure"},
        {"trace", device.Trace},
    };
    if (!outcome.FirstFailure.empty()) json["first_failure"] = outcome.FirstFailure;
    if (outcome.RollingValue) json["rolling_value"] = *outcome.RollingValue;
    return json;
}

void PrintRunJson(const ProgramRequest& request, const engine::RunReport& report,
                  const TerminalView& view, Reporter& reporter) {
    const bool succeeded = report.Result != engine::kRunFailed;
    nlohmann::ordered_json devices = nlohmann::ordered_json::array();
    std::optional<std::string> rolling_value;
    for (const DeviceResult& device : view.Devices()) {
        devices.push_back(DeviceJson(device));
        if (device.Outcome.RollingValue) rolling_value = device.Outcome.RollingValue;
    }
    nlohmann::ordered_json document{
        {"result", succeeded ? "success" : "failure"},
        {"exit_code", ToInt(succeeded ? ExitCode::Success : ExitCode::RunFailed)},
        {"chip", request.Chip},
        {"file", request.File.string()},
        {"devices", std::move(devices)},
        {"devices_programmed", report.DevicesProgrammed},
        {"elapsed_ms", report.ElapsedMs},
        {"success_count", view.Text(app::ControlId::SuccessCount)},
        {"fail_count", view.Text(app::ControlId::FailCount)},
    };
    if (rolling_value) document["rolling_value"] = *rolling_value;
    if (report.TraceLog) document["trace_log"] = report.TraceLog->string();
    PrintJson(reporter, document);
}

// Waits for a device under the window's identities before Start searches.
std::optional<CliError> WaitForDeviceIfAsked(const ProgramRequest& request,
                                             hid::HidBackend& backend, platform::Clock& clock,
                                             Reporter& reporter) {
    if (!request.WaitSeconds) return std::nullopt;
    const SearchRequest search{*ParseIdText(request.Vid), *ParseIdText(request.Pid),
                               firmware::FindChipFamily(request.Chip, 0)};
    hid::HidDeviceTable table(backend);
    reporter.Note(fmt::format("waiting up to {} s for a device ...", *request.WaitSeconds));
    const SearchOutcome outcome = WaitForDevice(
        [&] { return SearchDevice(table, search); }, clock,
        static_cast<std::int64_t>(*request.WaitSeconds * 1000.0), HotplugPause(backend));
    if (outcome.Found) return std::nullopt;
    return NoDeviceError(search, outcome);
}

class ProgramSession {
public:
    ProgramSession(const ProgramRequest& request, hid::HidBackend& backend, platform::Clock& clock,
                   Reporter& reporter)
        : request_(request),
          backend_(backend),
          reporter_(reporter),
          progress_(reporter, ::isatty(STDERR_FILENO) == 1),
          prompts_(reporter, {request.Yes, ::isatty(STDIN_FILENO) == 1}, std::cin),
          view_(reporter, prompts_, progress_, capture_,
                {request.Chip, request.File, {request.Device, request.All, {}}}),
          dialog_(app::MainDialogDeps{view_, prompts_, backend, clock, resources_,
                                      FolderOrNothing(platform::UserTempFolder()),
                                      FolderOrNothing(platform::UserStateFolder()),
                                      request.WindowProgram}) {}

    // Start-up, then Load File with the command line's answers, as the
    // operator would before pressing Start.
    void Prepare() {
        dialog_.Initialize();
        view_.RunQueued();
        view_.SetText(app::ControlId::PasswordBox, request_.Password);
        view_.SetText(app::ControlId::VidBox, request_.Vid);
        view_.SetText(app::ControlId::PidBox, request_.Pid);
        dialog_.LoadFileCommand();
        if (request_.Security) ApplySecurity(*request_.Security);
        if (request_.Rolling) view_.SetChecked(app::ControlId::EnableRollingCode, true);
    }

    ExitCode Run() {
        view_.ClearDevices();
        dialog_.OnStart();
        if (!dialog_.State().Busy) {
            const CliError error = NotStartedError(request_, view_, prompts_, backend_);
            return ReportNotStarted(error);
        }
        while (dialog_.State().Busy)
            view_.RunQueued(kRunPollMs);
        progress_.EndLine();
        view_.RunQueued();
        const engine::RunReport report = dialog_.LastRunReport().value_or(engine::RunReport{});
        if (report.TraceLog) reporter_.Note("trace log: " + report.TraceLog->string());
        if (request_.Json) PrintRunJson(request_, report, view_, reporter_);
        return report.Result != engine::kRunFailed ? ExitCode::Success : ExitCode::RunFailed;
    }

private:
    // The window offers the code-security radios for the TX64 kind only.
    void ApplySecurity(int level) {
        if (firmware::IsTx64Kind(firmware::FindChipFamily(request_.Chip, 0))) {
            dialog_.OnCodeSecurityRadio(level);
        } else if (level != 0) {
            reporter_.Warning("--security is ignored for a chip of the TX5 kind, as in the window");
        }
    }

    // The window's message has been printed already; what the search adds
    // (the identities searched, the permission hint) follows it.
    ExitCode ReportNotStarted(const CliError& error) {
        const std::vector<std::string> shown = prompts_.Messages();
        if (shown.empty() || error.Message != shown.back()) reporter_.Error(error.Message);
        if (request_.Json) {
            PrintJson(reporter_, {{"result", "failure"},
                                  {"error", error.Message},
                                  {"exit_code", ToInt(error.Code)},
                                  {"devices", nlohmann::ordered_json::array()}});
        }
        return error.Code;
    }

    const ProgramRequest& request_;
    hid::HidBackend& backend_;
    Reporter& reporter_;
    TraceCapture capture_;
    ProgressDisplay progress_;
    TerminalPrompts prompts_;
    TerminalView view_;
    platform::ResourceBundle resources_;
    app::MainDialog dialog_;
};

}  // namespace

std::filesystem::path WindowProgramBesideThis() {
    const std::optional<std::filesystem::path> self = platform::ModuleFileName();
    const std::filesystem::path folder = self ? self->parent_path() : std::filesystem::path(".");
    return folder / kWindowProgramName;
}

ExitCode RunProgram(const ProgramRequest& request, hid::HidBackend& backend, platform::Clock& clock,
                    Reporter& reporter) {
    Result<LoadedFirmware> loaded = LoadFirmwareFile(request.File, request.Chip);
    if (!loaded)
        return ReportFailure(reporter, request.Json, {ExitCode::BadFirmware, loaded.error()});
    for (const std::string& warning : loaded->Warnings)
        reporter.Warning(warning);
    if (Status rolling = CheckRollingFile(request); !rolling) {
        return ReportFailure(reporter, request.Json, {ExitCode::Usage, rolling.message()});
    }
    if (std::optional<CliError> missing = WaitForDeviceIfAsked(request, backend, clock, reporter)) {
        return ReportFailure(reporter, request.Json, *missing);
    }
    ProgramSession session(request, backend, clock, reporter);
    session.Prepare();
    return session.Run();
}

}  // namespace txisp::cli
