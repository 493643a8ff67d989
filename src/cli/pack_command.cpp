#include "cli/pack_command.h"

#include <fmt/core.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "cli/firmware_file.h"
#include "cli/id_text.h"
#include "cli/json_output.h"
#include "cli/settings_archive_builder.h"
#include "firmware/resource_ids.h"
#include "firmware/tool_config.h"
#include "platform/files.h"
#include "platform/text.h"

namespace txisp::cli {
namespace {

constexpr const char* kDefaultProgramName = "txisp-gui";

std::vector<std::uint8_t> Utf16LeText(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    for (const char16_t unit : platform::Utf8ToUtf16(text)) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

// The limit the embedded configuration holds the image to.
std::size_t KindLimit(firmware::ChipFamily family) {
    return firmware::IsTx64Kind(family) ? firmware::kTx64ImageSize : firmware::kTx5ImageSize;
}

Result<std::filesystem::path> ProgramToCopy(const PackRequest& request) {
    if (request.Program) return *request.Program;
    const std::optional<std::filesystem::path> self = platform::ModuleFileName();
    const std::filesystem::path beside =
        self ? self->parent_path() / kDefaultProgramName : kDefaultProgramName;
    std::error_code ec;
    if (std::filesystem::is_regular_file(beside, ec)) return beside;
    return Result<std::filesystem::path>::Fail(
        fmt::format("no {} beside txisp (looked for {}): name the program to prepare with "
                    "--program PATH",
                    kDefaultProgramName, beside.string()));
}

std::optional<PackContents> GatherContents(const PackRequest& request, Reporter& reporter,
                                           CliError& error) {
    PackContents contents;
    contents.ChipName = request.ChipName;
    Result<LoadedFirmware> loaded = LoadFirmwareFile(request.Firmware, request.ChipName);
    if (!loaded) {
        error = {ExitCode::BadFirmware, loaded.error()};
        return std::nullopt;
    }
    for (const std::string& warning : loaded->Warnings) {
        reporter.Warning(warning);
    }
    // A file whose image runs past the buffer would be loaded cut by Load
    // File, but a prepared tool refuses the whole image and comes up in file
    // mode; say so now rather than on the production line.
    const std::uintmax_t image_size = loaded->Size + loaded->DroppedBytes;
    const std::size_t limit = KindLimit(loaded->Family);
    if (loaded->FileType != FirmwareFileType::Hex && image_size > limit) {
        error = {ExitCode::BadFirmware,
                 fmt::format("{}: the image of {} bytes is too large for {} ({} kind: at most {} "
                             "bytes); the prepared tool would ignore it and start in file mode",
                             request.Firmware.string(), image_size, request.ChipName,
                             loaded->Tx64Kind() ? "TX64" : "TX5", limit)};
        return std::nullopt;
    }
    const auto image = loaded->ChecksummedBytes();
    contents.Image.assign(image.begin(), image.end());
    contents.Checksum = loaded->Checksum;
    contents.Password = request.Password;
    contents.Vid = FormatIdText(*ParseIdText(request.Vid));
    contents.Pid = FormatIdText(*ParseIdText(request.Pid));
    contents.CodeSecurity = static_cast<std::uint8_t>(request.CodeSecurity);
    if (request.Settings) {
        Result<std::vector<std::uint8_t>> archive =
            SettingsArchiveBytes(*request.Settings, SourceDateEpoch());
        if (!archive) {
            error = {ExitCode::Usage, "--settings: " + archive.error()};
            return std::nullopt;
        }
        contents.SettingsArchive = std::move(*archive);
    }
    contents.BuildTime = BuildTimeTextNow();
    return contents;
}

// Reads the written tool the way it will read itself at start-up.
Status CheckWrittenTool(const std::filesystem::path& output, const PackContents& contents) {
    const platform::ResourceBundle bundle = platform::ResourceBundle::FromFile(output);
    auto image = std::make_unique<firmware::FirmwareImage>();
    const firmware::ToolConfigReading reading = firmware::ReadToolConfig(bundle, *image);
    const firmware::ToolConfig& config = reading.Config;
    if (!config.Embedded || config.ChipName != contents.ChipName ||
        reading.ChecksumLine != ChecksumLine(contents.Checksum) ||
        config.Password != contents.Password || config.VID != contents.Vid ||
        config.PID != contents.Pid || config.CodeSecurity != contents.CodeSecurity) {
        return Status::Fail(output.string() + " does not read back as the configuration written");
    }
    return Status::Ok();
}

nlohmann::ordered_json PackJson(const PackRequest& request, const std::filesystem::path& program,
                                const PackContents& contents,
                                const platform::ResourceMap& resources) {
    std::vector<int> ids;
    for (const auto& [id, bytes] : resources) {
        ids.push_back(id);
    }
    const firmware::ChipFamily family = firmware::FindChipFamily(contents.ChipName, 0);
    return {
        {"output", request.Output.string()},
        {"program", program.string()},
        {"chip", contents.ChipName},
        {"family", family},
        {"kind", firmware::IsTx64Kind(family) ? "TX64" : "TX5"},
        {"image_size", contents.Image.size()},
        {"checksum", contents.Checksum},
        {"checksum_text", ChecksumLine(contents.Checksum)},
        {"build_time", contents.BuildTime},
        {"vid", contents.Vid},
        {"pid", contents.Pid},
        {"security", contents.CodeSecurity},
        {"settings_size", contents.SettingsArchive
                              ? nlohmann::ordered_json(contents.SettingsArchive->size())
                              : nlohmann::ordered_json(nullptr)},
        {"resources", ids},
    };
}

}  // namespace

platform::ResourceMap PackResources(const PackContents& contents) {
    platform::ResourceMap resources;
    resources[firmware::kFirmwareImageResource] = contents.Image;
    resources[firmware::kPasswordResource] = Utf16LeText(contents.Password);
    resources[firmware::kVidResource] = Utf16LeText(contents.Vid);
    resources[firmware::kPidResource] = Utf16LeText(contents.Pid);
    resources[firmware::kChipNameResource] = Utf16LeText(contents.ChipName);
    if (contents.SettingsArchive) {
        resources[firmware::kSettingsArchiveResource] = *contents.SettingsArchive;
    }
    resources[firmware::kCodeSecurityResource] = {contents.CodeSecurity};
    resources[firmware::kBuildTimeResource] = Utf16LeText(contents.BuildTime);
    resources[firmware::kChecksumTextResource] =
        Utf16LeText(fmt::format("{:04X}", contents.Checksum));
    return resources;
}

std::string BuildTimeText(const std::tm& when) {
    return fmt::format("Build time:{:04}/{:02}/{:02} {:02}:{:02}", when.tm_year + 1900,
                       when.tm_mon + 1, when.tm_mday, when.tm_hour, when.tm_min);
}

std::optional<std::time_t> SourceDateEpoch() {
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (epoch == nullptr || *epoch == '\0') return std::nullopt;
    return static_cast<std::time_t>(std::strtoll(epoch, nullptr, 10));
}

std::string BuildTimeTextNow() {
    std::tm when{};
    if (const std::optional<std::time_t> epoch = SourceDateEpoch()) {
        gmtime_r(&*epoch, &when);
    } else {
        const std::time_t now = std::time(nullptr);
        localtime_r(&now, &when);
    }
    return BuildTimeText(when);
}

ExitCode RunPack(const PackRequest& request, Reporter& reporter) {
    CliError error;
    const std::optional<PackContents> contents = GatherContents(request, reporter, error);
    if (!contents) return ReportFailure(reporter, request.Json, error);
    Result<std::filesystem::path> program = ProgramToCopy(request);
    if (!program) return ReportFailure(reporter, request.Json, {ExitCode::Usage, program.error()});

    const platform::ResourceMap resources = PackResources(*contents);
    std::error_code ec;
    const bool replaces_program = std::filesystem::equivalent(*program, request.Output, ec);
    if (Status written = platform::WriteProgramWithResources(*program, request.Output, resources);
        !written) {
        return ReportFailure(reporter, request.Json,
                             {ExitCode::RunFailed, "cannot write " + request.Output.string() +
                                                       ": " + written.message()});
    }
    if (Status checked = CheckWrittenTool(request.Output, *contents); !checked) {
        // A tool that would start in file mode must not be handed out; a
        // program prepared in place is left for the user to look at.
        if (!replaces_program) std::filesystem::remove(request.Output, ec);
        return ReportFailure(reporter, request.Json, {ExitCode::RunFailed, checked.message()});
    }
    if (request.Json) {
        PrintJson(reporter, PackJson(request, *program, *contents, resources));
    } else {
        reporter.Out() << fmt::format(
            "wrote {}: {} with {} image bytes, {}, VID {} PID {}, code security {}{}\n",
            request.Output.string(), contents->ChipName, contents->Image.size(),
            ChecksumLine(contents->Checksum), contents->Vid, contents->Pid, contents->CodeSecurity,
            contents->SettingsArchive
                ? fmt::format(", settings archive of {} bytes", contents->SettingsArchive->size())
                : std::string(", no settings archive"));
    }
    return ExitCode::Success;
}

}  // namespace txisp::cli
