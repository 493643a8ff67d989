#include "cli/image_command.h"

#include <fmt/core.h>

#include <nlohmann/json.hpp>

#include "cli/firmware_file.h"
#include "cli/hex_dump.h"
#include "cli/json_output.h"
#include "cli/sha256.h"
#include "platform/trace.h"

namespace txisp::cli {
namespace {

nlohmann::ordered_json ImageJson(const ImageRequest& request, const LoadedFirmware& loaded) {
    nlohmann::ordered_json document = {
        {"chip", loaded.ChipName},
        {"family", loaded.Family},
        {"kind", loaded.Tx64Kind() ? "TX64" : "TX5"},
        {"file", request.File.string()},
        {"file_type", FileTypeName(loaded.FileType)},
        {"size", loaded.Size},
        {"checksum", loaded.Checksum},
        {"checksum_text", ChecksumLine(loaded.Checksum)},
        {"checksum_length", loaded.ChecksumLength},
        {"version_bytes", nullptr},
        {"sha256", Sha256Hex(loaded.Buffer())},
        {"warnings", loaded.Warnings},
    };
    if (loaded.VersionBytes) {
        document["version_bytes"] = *loaded.VersionBytes;
        document["version_address"] = loaded.VersionWordAddress;
    }
    if (request.Dump) document["hex_dump"] = HexDumpLines(loaded.ChecksummedBytes());
    return document;
}

void PrintImage(std::ostream& out, const ImageRequest& request, const LoadedFirmware& loaded) {
    out << fmt::format("chip:      {} (family {}, {} kind)\n", loaded.ChipName, loaded.Family,
                       loaded.Tx64Kind() ? "TX64" : "TX5");
    out << fmt::format("file:      {} ({})\n", request.File.string(),
                       FileTypeName(loaded.FileType));
    out << fmt::format("size:      {} bytes loaded\n", loaded.Size);
    out << ChecksumLine(loaded.Checksum)
        << fmt::format("  (over 0x{:X} bytes)\n", loaded.ChecksumLength);
    if (loaded.VersionBytes) {
        const auto& v = *loaded.VersionBytes;
        out << fmt::format("version:   {:02X} {:02X} {:02X} {:02X} (word 0x{:04X})\n", v[0], v[1],
                           v[2], v[3], loaded.VersionWordAddress);
    }
    out << fmt::format("sha256:    {} (the whole 0x{:X}-byte buffer)\n", Sha256Hex(loaded.Buffer()),
                       loaded.Buffer().size());
    if (!request.Dump) return;
    for (const std::string& line : HexDumpLines(loaded.ChecksummedBytes())) {
        out << line << '\n';
    }
}

}  // namespace

ExitCode RunImage(const ImageRequest& request, Reporter& reporter) {
    platform::Trace(platform::TraceLevel::Info,
                    fmt::format("load {} for {}", request.File.string(), request.ChipName));
    Result<LoadedFirmware> loaded = LoadFirmwareFile(request.File, request.ChipName);
    if (!loaded) {
        return ReportFailure(reporter, request.Json, {ExitCode::BadFirmware, loaded.error()});
    }
    for (const std::string& warning : loaded->Warnings) {
        reporter.Warning(warning);
    }
    if (request.Json) {
        PrintJson(reporter, ImageJson(request, *loaded));
    } else {
        PrintImage(reporter.Out(), request, *loaded);
    }
    return ExitCode::Success;
}

}  // namespace txisp::cli
