#include "rolling/rolling_code.h"

#include "platform/ini_profile.h"
#include "rolling/rolling_value.h"

namespace txisp::rolling {
namespace {

// Word lengths outside 1 .. max are refused before any arithmetic: above the
// maximum the value would not fit 64 bits, and 0 means the product uses no
// rolling code (a missing settings file reads that way too). Advancing a 0
// width would otherwise store an empty "Count" and lose the operator's value.
RollingOutcome CheckWordLength(RollingWidth width, std::int32_t word_length) {
    if (word_length <= 0) return RollingOutcome::Off;
    if (word_length > MaxWordLength(width)) return RollingOutcome::WordLengthTooBig;
    return RollingOutcome::Done;
}

}  // namespace

RollingOutcome ApplyRollingCode(const RollingSettings& settings, RollingWidth width,
                                std::span<std::uint8_t> image, std::uint64_t device_offset) {
    if (auto checked = CheckWordLength(width, settings.WordLength);
        checked != RollingOutcome::Done) {
        return checked;
    }
    const int digits = static_cast<int>(RollingDigits(width, settings.WordLength));
    const std::int64_t byte_count = digits / 2;
    const std::int64_t start = 2 * static_cast<std::int64_t>(settings.Address);
    if (start < 0 || start + byte_count > static_cast<std::int64_t>(image.size())) {
        return RollingOutcome::OutsideImage;
    }
    std::uint64_t value =
        AdvanceRollingValue(ReadRollingValue(settings.Count, digits),
                            ReadRollingValue(settings.Step, digits), digits, device_offset);
    for (auto& byte :
         image.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(byte_count))) {
        byte = static_cast<std::uint8_t>(value & 0xFF);
        value >>= 8;
    }
    return RollingOutcome::Done;
}

RollingOutcome AdvanceRollingCode(const std::filesystem::path& settings_file, RollingWidth width,
                                  std::uint64_t devices_programmed) {
    const RollingSettings settings = ReadRollingSettings(settings_file);
    if (auto checked = CheckWordLength(width, settings.WordLength);
        checked != RollingOutcome::Done) {
        return checked;
    }
    if (devices_programmed == 0) return RollingOutcome::Off;
    const int digits = static_cast<int>(RollingDigits(width, settings.WordLength));
    const std::uint64_t next =
        AdvanceRollingValue(ReadRollingValue(settings.Count, digits),
                            ReadRollingValue(settings.Step, digits), digits, devices_programmed);
    if (!platform::WriteProfileString(settings_file, kRollingSection, kCountKey,
                                      FormatRollingValue(next, digits))) {
        return RollingOutcome::WriteFailed;
    }
    return RollingOutcome::Done;
}

}  // namespace txisp::rolling
