#include "rolling/rolling_dialog.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "platform/ini_profile.h"
#include "platform/text.h"

namespace txisp::rolling {
namespace {

constexpr std::size_t kShownDigits = 16;
// The separators' positions, in the order they are inserted; deleted in the
// reverse order so each deletion leaves the earlier positions where they were.
constexpr std::size_t kSeparatorPositions[] = {4, 9, 14};

void InsertAt(std::u16string& text, std::size_t position, char16_t unit) {
    text.insert(std::min(position, text.size()), 1, unit);
}

void DeleteAt(std::u16string& text, std::size_t position) {
    if (position < text.size()) text.erase(position, 1);
}

}  // namespace

std::string ShownRollingText(std::string_view stored) {
    // Positions count UTF-16 units, as the dialog's boxes do.
    std::u16string text = platform::Utf8ToUtf16(stored);
    if (text.size() < kShownDigits) text.insert(0, kShownDigits - text.size(), u'0');
    for (const std::size_t position : kSeparatorPositions)
        InsertAt(text, position, u' ');
    return platform::Utf16ToUtf8(text);
}

std::string StoredRollingText(std::string_view shown, std::int64_t digits) {
    std::u16string text = platform::Utf8ToUtf16(shown);
    for (auto position = std::rbegin(kSeparatorPositions);
         position != std::rend(kSeparatorPositions); ++position) {
        DeleteAt(text, *position);
    }
    const std::int64_t surplus = static_cast<std::int64_t>(kShownDigits) - digits;
    if (surplus > 0) text.erase(0, std::min(static_cast<std::size_t>(surplus), text.size()));
    return platform::Utf16ToUtf8(text);
}

RollingDialogFields LoadRollingDialogFields(const std::filesystem::path& settings_file) {
    const RollingSettings settings = ReadRollingSettings(settings_file);
    char address[16];
    std::snprintf(address, sizeof address, "0x%" PRIX32,
                  static_cast<std::uint32_t>(settings.Address));
    return RollingDialogFields{
        .Address = address,
        .WordLength = std::to_string(settings.WordLength),
        .Value = ShownRollingText(settings.Count),
        .Step = ShownRollingText(settings.Step),
    };
}

bool SaveRollingDialogFields(const std::filesystem::path& settings_file, RollingWidth width,
                             const RollingDialogFields& fields) {
    // Read the way the file's Word_Length is read back later, so a "0x2"
    // typed here gives the same width now as at the next run.
    const std::int64_t word_length = platform::ParseIntEx(fields.WordLength).value_or(0);
    const std::int64_t digits = RollingDigits(width, word_length);
    const auto write = [&](std::string_view key, std::string_view value) {
        return platform::WriteProfileString(settings_file, kRollingSection, key, value);
    };
    return write(kAddressKey, fields.Address) && write(kWordLengthKey, fields.WordLength) &&
           write(kCountKey, StoredRollingText(fields.Value, digits)) &&
           write(kStepKey, StoredRollingText(fields.Step, digits));
}

}  // namespace txisp::rolling
