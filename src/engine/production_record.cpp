#include "engine/production_record.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <nlohmann/json.hpp>
#include <span>

#include "platform/files.h"
#include "platform/trace.h"

namespace txisp::engine {
namespace {

std::string UtcTimeText(std::chrono::system_clock::time_point time) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count() %
        1000;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(millis));
    return text;
}

std::string ChecksumText(std::uint16_t checksum) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(checksum));
    return text;
}

template <typename T, typename F>
nlohmann::json OrNull(const std::optional<T>& value, F convert) {
    return value ? nlohmann::json(convert(*value)) : nlohmann::json(nullptr);
}

}  // namespace

std::string ProductionRecordLine(const ProductionRecord& record) {
    nlohmann::ordered_json line;
    line["time"] = UtcTimeText(record.Time);
    line["device"] = record.DeviceNumber;
    line["device_path"] = record.DevicePath;
    line["location"] = record.Location;
    line["chip"] = record.Chip;
    line["family"] = record.Family;
    line["device_version"] = OrNull(record.DeviceVersion, [](const isp::VersionBytes& v) {
        return platform::HexBytes(v.data(), v.size());
    });
    line["image_checksum"] = OrNull(record.ImageChecksum, ChecksumText);
    line["rolling_value"] = OrNull(record.RollingValue, [](const std::string& v) { return v; });
    line["result"] = record.Success ? "success" : "failure";
    line["failure"] = record.Success ? nlohmann::json(nullptr) : nlohmann::json(record.Failure);
    line["trace_log"] =
        OrNull(record.TraceLog, [](const std::filesystem::path& p) { return p.string(); });
    // Text from devices and settings may not be valid UTF-8; it is replaced
    // rather than failing the record.
    return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

Status AppendProductionRecord(const std::filesystem::path& state_folder,
                              const ProductionRecord& record) {
    const std::filesystem::path file = state_folder / kProductionRecordFile;
    platform::UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
    if (!fd.valid()) return Status::Fail(file.string() + ": " + platform::ErrnoText(errno));
    const std::string line = ProductionRecordLine(record);
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(line.data()), line.size());
    if (const int error = platform::WriteAll(fd.get(), bytes); error != 0)
        return Status::Fail(file.string() + ": " + platform::ErrnoText(error));
    if (!fd.Close()) return Status::Fail(file.string() + ": " + platform::ErrnoText(errno));
    return Status::Ok();
}

}  // namespace txisp::engine
