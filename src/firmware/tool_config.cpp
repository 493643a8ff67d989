#include "firmware/tool_config.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "firmware/checksums.h"
#include "firmware/chip_data.h"
#include "firmware/resource_ids.h"
#include "platform/text.h"

namespace txisp::firmware {

namespace {

std::string TextOr(const platform::ResourceBundle& resources, platform::ResourceId id,
                   std::string_view fallback) {
    std::string text = LoadTextResource(resources, id);
    return text.empty() ? std::string(fallback) : text;
}

std::string ChecksumLine(std::uint16_t checksum) {
    std::array<char, 16> line{};
    std::snprintf(line.data(), line.size(), "Checksum : %04X", checksum);
    return line.data();
}

// Copies the embedded image into the buffer of the chip's kind; nullopt when
// the chip is unknown or the image does not fit.
std::optional<std::uint16_t> CopyEmbeddedImage(std::span<const std::uint8_t> bytes,
                                               ChipFamily family, FirmwareImage& image) {
    if (!IsChipFamily(family)) return std::nullopt;
    const std::span<std::uint8_t> buffer = image.BufferFor(family);
    if (bytes.size() > buffer.size()) return std::nullopt;
    std::copy(bytes.begin(), bytes.end(), buffer.begin());
    return IsTx64Kind(family) ? WordSum16(bytes) : ByteSum16(bytes);
}

}  // namespace

std::string LoadTextResource(const platform::ResourceBundle& resources, platform::ResourceId id) {
    const auto bytes = resources.Find(id);
    if (!bytes) return {};
    std::u16string units;
    const std::size_t kept = std::min(bytes->size(), 2 * kTextResourceUnits);
    for (std::size_t i = 0; i < kept; i += 2) {
        // An odd last byte is the low half of a unit whose high half stays zero.
        const std::uint8_t high = i + 1 < kept ? (*bytes)[i + 1] : 0;
        const char16_t unit = static_cast<char16_t>((*bytes)[i] | high << 8);
        if (unit == 0) break;
        units.push_back(unit);
    }
    return platform::Utf16ToUtf8(units);
}

ToolConfigReading ReadToolConfig(const platform::ResourceBundle& resources, FirmwareImage& image) {
    ToolConfigReading reading;
    ToolConfig& config = reading.Config;
    config.ChipName = LoadTextResource(resources, kChipNameResource);
    const ChipFamily family = FindChipFamily(config.ChipName, kNoFamily);

    if (const auto embedded = resources.Find(kFirmwareImageResource)) {
        const auto checksum = CopyEmbeddedImage(*embedded, family, image);
        if (!checksum) return reading;
        reading.ChecksumLine = ChecksumLine(*checksum);
    }
    // An empty level resource has no first byte; the level then stays 0.
    if (const auto level = resources.Find(kCodeSecurityResource); level && !level->empty()) {
        config.CodeSecurity = (*level)[0];
    }
    config.Password = TextOr(resources, kPasswordResource, kDefaultPassword);
    config.VID = TextOr(resources, kVidResource, kDefaultVid);
    config.PID = TextOr(resources, kPidResource, kDefaultPid);
    config.Embedded = true;
    return reading;
}

}  // namespace txisp::firmware
