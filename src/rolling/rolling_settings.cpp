#include "rolling/rolling_settings.h"

#include "platform/ini_profile.h"

namespace txisp::rolling {

RollingSettings ReadRollingSettings(const std::filesystem::path& file) {
    RollingSettings settings;
    settings.Address = platform::ReadProfileInt(file, kRollingSection, kAddressKey, 0);
    settings.WordLength = platform::ReadProfileInt(file, kRollingSection, kWordLengthKey, 0);
    settings.Count = platform::ReadProfileString(file, kRollingSection, kCountKey, "");
    settings.Step = platform::ReadProfileString(file, kRollingSection, kStepKey, "");
    return settings;
}

std::int64_t RollingDigits(RollingWidth width, std::int64_t word_length) {
    return (width == RollingWidth::Words16 ? 4 : 8) * word_length;
}

std::int32_t MaxWordLength(RollingWidth width) {
    return static_cast<std::int32_t>(kMaxRollingDigits / RollingDigits(width, 1));
}

}  // namespace txisp::rolling
