#pragma once

// The production record: one line per programmed device appended to
// <state folder>/production.jsonl, so that a production line can tell for
// each unit when it was programmed, with what, under which serial number,
// and why it failed. One JSON object per line; lines are only ever
// appended, one write each, so that two tools on one machine never
// interleave within a line.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "isp/isp_result.h"
#include "platform/result.h"

namespace txisp::engine {

inline constexpr std::string_view kProductionRecordFile = "production.jsonl";

struct ProductionRecord {
    std::chrono::system_clock::time_point Time;
    int DeviceNumber = 0;
    std::string DevicePath;
    std::string Location;  // physical location and USB serial
    std::string Chip;
    int Family = 0;
    std::optional<isp::VersionBytes> DeviceVersion;  // the boot loader's d0 .. d3
    // The checksum the chip's was compared with: ByteSum16 or WordSum16 of
    // the image as programmed, rolling value included.
    std::optional<std::uint16_t> ImageChecksum;
    std::optional<std::string> RollingValue;
    bool Success = false;
    std::string Failure;  // the first failure's trace text
    std::optional<std::filesystem::path> TraceLog;
};

// The record as one line of JSON with its line end. Keys: time (UTC,
// ISO 8601 with milliseconds), device, device_path, location, chip, family,
// device_version ("00 01 00 00"), image_checksum ("0x1A2B"), rolling_value,
// result ("success" or "failure"), failure, trace_log; unknown values are
// null.
std::string ProductionRecordLine(const ProductionRecord& record);

// Appends the record's line to <state_folder>/production.jsonl, creating the
// file with mode 0600.
Status AppendProductionRecord(const std::filesystem::path& state_folder,
                              const ProductionRecord& record);

}  // namespace txisp::engine
