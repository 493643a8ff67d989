#include "engine/counters.h"

#include <unistd.h>

#include <cstdint>
#include <optional>

#include "platform/ini_profile.h"
#include "platform/user_folders.h"

namespace txisp::engine {
namespace {

constexpr std::size_t kCutUnits = 4;
constexpr std::string_view kIniExtension = ".ini";

bool IsContinuationByte(char byte) {
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// The UTF-16 units of the character whose UTF-8 form starts with `lead`: the
// system measured names in those units.
std::size_t Utf16Units(char lead) {
    return static_cast<unsigned char>(lead) >= 0xF0 ? 2 : 1;
}

// Bytes from the end of `name` that make up its last four UTF-16 units,
// rounded up to a whole character; nullopt when the name has no more than
// four units.
std::optional<std::size_t> TailBytes(std::string_view name) {
    std::size_t units = 0;
    std::size_t start = name.size();
    while (start > 0 && units < kCutUnits) {
        --start;
        while (start > 0 && IsContinuationByte(name[start]))
            --start;
        units += Utf16Units(name[start]);
    }
    if (start == 0) return std::nullopt;
    return name.size() - start;
}

std::string FormatCount(std::int32_t count) {
    return std::to_string(count);
}

}  // namespace

bool IsWritableFolder(const std::filesystem::path& folder) {
    // The file is replaced through a temporary file beside it, so it is the
    // folder that must take writes; access() also sees a read-only mount.
    return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

Result<std::filesystem::path> CounterFolders::DefaultStateFolder() {
    return platform::UserStateFolder();
}

std::string CounterFileName(std::string_view program_file_name) {
    const auto tail = TailBytes(program_file_name);
    if (!tail) return std::string(program_file_name) + std::string(kIniExtension);
    std::string name(program_file_name.substr(0, program_file_name.size() - *tail));
    name += kIniExtension;
    if (name == program_file_name) name += kIniExtension;
    return name;
}

std::filesystem::path CounterIniPath(const std::filesystem::path& program_path,
                                     const CounterFolders& folders) {
    const std::filesystem::path folder = program_path.parent_path();
    const std::string name = CounterFileName(program_path.filename().string());
    if (folders.Writable(folder.empty() ? "." : folder)) return folder / name;
    if (auto state = folders.StateFolder()) return *state / name;
    return folder / name;
}

CounterTexts LoadCounters(const std::filesystem::path& ini_path) {
    return CounterTexts{
        .Success = platform::ReadProfileString(ini_path, kCounterSection, kSuccessKey, "0"),
        .Fail = platform::ReadProfileString(ini_path, kCounterSection, kFailKey, "0"),
    };
}

CounterUpdate UpdateCounters(const std::filesystem::path& ini_path, bool success) {
    // Unsigned arithmetic: a count at the top of the 32-bit range wraps the
    // way the stored "%d" text always has, instead of overflowing.
    auto successes = static_cast<std::uint32_t>(
        platform::ReadProfileInt(ini_path, kCounterSection, kSuccessKey, 0));
    auto failures = static_cast<std::uint32_t>(
        platform::ReadProfileInt(ini_path, kCounterSection, kFailKey, 0));
    ++(success ? successes : failures);
    CounterUpdate update;
    update.Texts.Success = FormatCount(static_cast<std::int32_t>(successes));
    update.Texts.Fail = FormatCount(static_cast<std::int32_t>(failures));
    const bool success_written =
        platform::WriteProfileString(ini_path, kCounterSection, kSuccessKey, update.Texts.Success);
    const bool fail_written =
        platform::WriteProfileString(ini_path, kCounterSection, kFailKey, update.Texts.Fail);
    update.Written = success_written && fail_written;
    return update;
}

}  // namespace txisp::engine
