#include "cli/info_command.h"

#include <fmt/core.h>

#include <nlohmann/json.hpp>

#include "cli/id_text.h"
#include "cli/json_output.h"
#include "cli/permission_hint.h"
#include "isp/device_info.h"

namespace txisp::cli {
namespace {

constexpr std::string_view kDeviceNotFound = "Can't Find USB HID Device!!";

std::string IdentitiesSearched(const SearchRequest& request) {
    std::string text =
        fmt::format("VID {} PID {}", FormatIdText(request.Vid), FormatIdText(request.Pid));
    if (!request.ChipFamily) return text + " (8- and 64-byte reports)";
    const firmware::FamilyDescriptor* descriptor =
        firmware::FindFamilyDescriptor(*request.ChipFamily);
    if (descriptor == nullptr) return text;
    return text + fmt::format(" or the boot loader's VID {} PID {}", FormatIdText(descriptor->VID),
                              FormatIdText(descriptor->BootPID));
}

SearchOutcome FindDevice(const InfoRequest& request, hid::HidBackend& backend,
                         hid::HidDeviceTable& table, platform::Clock& clock, Reporter& reporter) {
    const auto search = [&] { return SearchDevice(table, request.Search); };
    SearchOutcome outcome = search();
    if (outcome.Found || !request.WaitSeconds) return outcome;
    reporter.Note(fmt::format("waiting up to {} s for a device ...", *request.WaitSeconds));
    const auto timeout_ms = static_cast<std::int64_t>(*request.WaitSeconds * 1000.0);
    return WaitForDevice(search, clock, timeout_ms, HotplugPause(backend));
}

void PrintInfo(const InfoRequest& request, const SearchOutcome& outcome,
               const hid::HidDeviceRecord& record, int count, std::uint16_t version,
               Reporter& reporter) {
    // The window shows "0x" and its VID and PID boxes, which hold what was
    // searched for.
    const std::string vid_text = "0x" + FormatIdText(request.Search.Vid);
    const std::string pid_text = "0x" + FormatIdText(request.Search.Pid);
    const std::string rev_text = isp::FormatDeviceRevision(version);
    if (!request.Json) {
        reporter.Out() << "VID: " << vid_text << "\nPID: " << pid_text << "\nREV: " << rev_text
                       << "\n";
        return;
    }
    PrintJson(reporter, {
                            {"vid_text", vid_text},
                            {"pid_text", pid_text},
                            {"rev_text", rev_text},
                            {"version", version},
                            {"vid", outcome.Vid},
                            {"pid", outcome.Pid},
                            {"device", request.DeviceNumber},
                            {"device_count", count},
                            {"path", record.DevicePath},
                            {"location", record.SerialText},
                        });
}

}  // namespace

CliError NoDeviceError(const SearchRequest& request, const SearchOutcome& outcome) {
    if (!outcome.PermissionDenied.empty()) {
        return {ExitCode::Permission, PermissionHint(outcome.PermissionDenied)};
    }
    return {ExitCode::NoDevice,
            fmt::format("{} (searched for {})", kDeviceNotFound, IdentitiesSearched(request))};
}

ExitCode RunInfo(const InfoRequest& request, hid::HidBackend& backend, platform::Clock& clock,
                 Reporter& reporter) {
    hid::HidDeviceTable table(backend);
    const SearchOutcome outcome = FindDevice(request, backend, table, clock, reporter);
    if (!outcome.Found) {
        return ReportFailure(reporter, request.Json, NoDeviceError(request.Search, outcome));
    }
    const int count = table.GetDeviceCount();
    if (request.DeviceNumber < 1 || request.DeviceNumber > count) {
        return ReportFailure(reporter, request.Json,
                             {ExitCode::NoDevice, fmt::format("no device {}: {} device(s) found",
                                                              request.DeviceNumber, count)});
    }
    table.SelectDevice(request.DeviceNumber - 1);
    const hid::HidDeviceRecord record = *table.GetRecord(request.DeviceNumber - 1);
    if (count > 1) {
        reporter.Note(fmt::format("{} devices found; device {} is {} (--device N for another)",
                                  count, request.DeviceNumber, record.SerialText));
    }
    // The boot loader does not take the application's information request;
    // asking it anyway would read back whatever its last reply was.
    if (outcome.ViaBootLoader) {
        return ReportFailure(
            reporter, request.Json,
            {ExitCode::RunFailed,
             fmt::format("{} is in its boot loader (VID {} PID {}): no application firmware "
                         "runs to report a version; programming it brings the application back",
                         record.SerialText, FormatIdText(outcome.Vid), FormatIdText(outcome.Pid))});
    }
    const std::optional<std::uint16_t> version =
        isp::QueryDeviceInfo(table, clock, outcome.Vid, outcome.Pid);
    if (!version) {
        return ReportFailure(
            reporter, request.Json,
            {ExitCode::RunFailed,
             fmt::format("{} did not answer the device-information request", record.SerialText)});
    }
    PrintInfo(request, outcome, record, count, *version, reporter);
    return ExitCode::Success;
}

}  // namespace txisp::cli
