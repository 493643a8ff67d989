#pragma once

// txisp pack: a copy of a program (normally txisp-gui) prepared for one
// product, with the product's firmware, chip, IDs, password, code-security
// level and settings in its resources, so the operator only presses Start.
//
// The tool reads its configuration once at start-up and falls back to file
// mode, without a word, when the chip is not in the table or the image is
// too large for its kind. pack refuses those cases instead, and reads the
// written tool back to make sure it comes up in embedded mode.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/reporter.h"
#include "platform/resources.h"

namespace txisp::cli {

struct PackRequest {
    std::string ChipName;
    std::filesystem::path Firmware;
    std::string Password = "40172958";
    std::string Vid = "5E3A";
    std::string Pid = "3442";
    int CodeSecurity = 0;
    std::optional<std::filesystem::path> Settings;
    // nullopt: txisp-gui beside the running txisp.
    std::optional<std::filesystem::path> Program;
    std::filesystem::path Output;
    bool Json = false;
};

// What goes into the resources, already checked.
struct PackContents {
    std::string ChipName;
    std::vector<std::uint8_t> Image;
    std::uint16_t Checksum = 0;
    std::string Password;
    std::string Vid;  // four upper-case hex digits
    std::string Pid;
    std::uint8_t CodeSecurity = 0;
    std::optional<std::vector<std::uint8_t>> SettingsArchive;
    std::string BuildTime;  // "Build time:YYYY/MM/DD hh:mm"
};

// Resources 4000, 4007 to 4010, 4011 when there is an archive, 4012, and the
// build-time and checksum texts 4013 and 4014. Texts are UTF-16LE without a
// terminator.
platform::ResourceMap PackResources(const PackContents& contents);

// SOURCE_DATE_EPOCH: the time a packaging pipeline wants in place of now,
// so that it gets the same bytes twice.
std::optional<std::time_t> SourceDateEpoch();

// "Build time:YYYY/MM/DD hh:mm".
std::string BuildTimeText(const std::tm& when);
// Now in local time, or SOURCE_DATE_EPOCH in UTC.
std::string BuildTimeTextNow();

ExitCode RunPack(const PackRequest& request, Reporter& reporter);

}  // namespace txisp::cli
