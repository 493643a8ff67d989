#pragma once

// TX5 firmware files: a 256-byte text header that must name the chip, then
// the program image, two bytes per word, low byte first. The header is
// checked when the operator loads the file; the image is read only when a run
// starts, so the file on disk at that moment is what gets programmed.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "firmware/firmware_image.h"
#include "firmware/rolling_settings_file.h"
#include "platform/prompts.h"
#include "platform/result.h"

namespace txisp::firmware {

inline constexpr std::size_t kTx5HeaderSize = 256;

inline constexpr std::string_view kNotValidTx5File = "Not a valid TX5 file!!";
inline constexpr std::string_view kLoadTx5FileFailed = "Load TX5 File Failed!!";
inline constexpr std::string_view kErrorCaption = "Error";

// Whether the header text - the first 256 bytes up to the first zero byte -
// contains `chip_name` anywhere, exactly as written: a header naming
// "TX5K3317B" is valid for "TX5K3317". A shorter header is taken as it is.
bool CheckTx5Header(std::span<const std::uint8_t> header, std::string_view chip_name);

// The TX5 file the Start command will read.
class Tx5FileChoice {
public:
    // The file picked at Load File. It stays chosen even when it could not be
    // opened then: Start tries it again and reports the failure itself.
    void Choose(std::filesystem::path file);
    // The picked file failed the header check, and Start has no file to
    // read. This is kept apart from the path: the text "None" the window
    // shows must not make Start read a file of that name.
    void Reject();

    // The file Start reads; nullopt before any choice and after a rejection.
    const std::optional<std::filesystem::path>& UsableFile() const { return file_; }
    // The firmware path as the window shows it: empty before any choice,
    // "None" after a rejected file.
    std::string DisplayText() const;

private:
    std::optional<std::filesystem::path> file_;
    bool rejected_ = false;
};

enum class Tx5FileVerdict { Valid, NotValid, CannotOpen };

struct Tx5FileCheck {
    Tx5FileVerdict Verdict = Tx5FileVerdict::CannotOpen;
    // Set whenever the file could be opened, the header check aside.
    std::optional<RollingSettingsLocation> Rolling;
};

// Load File for a chip of the TX5 kind, once the operator has picked `file`:
// records the choice, checks the header against `chip_name` and finds the
// rolling-code settings. A file that cannot be opened shows the error with
// `title` as caption; a header without the chip name shows "Not a valid TX5
// file!!" with `title` and rejects the choice. Only Valid sets the
// firmware-loaded state.
Tx5FileCheck CheckChosenTx5File(const std::filesystem::path& file, std::string_view chip_name,
                                Tx5FileChoice& choice, platform::Prompts& prompts,
                                std::string_view title);

struct Tx5ImageRead {
    std::size_t ImageLength = 0;      // bytes written to the start of Tx5ImageBuffer
    std::uintmax_t DroppedBytes = 0;  // image bytes beyond what the buffer holds
};

// The image part of `file` - everything after the 256-byte header, at most
// 0x8400 bytes - copied to the start of Tx5ImageBuffer without looking at the
// header. The rest of the buffer keeps what it held. A file of 256 bytes or
// less has an empty image and changes nothing.
Result<Tx5ImageRead> ReadTx5Image(const std::filesystem::path& file, FirmwareImage& image);

// Start in file mode: reads the chosen file's image. No usable file, or one
// that cannot be read, shows "Load TX5 File Failed!!" with the caption "Error"
// and gives nullopt, the buffer untouched.
std::optional<Tx5ImageRead> LoadTx5Image(const Tx5FileChoice& choice, FirmwareImage& image,
                                         platform::Prompts& prompts);

}  // namespace txisp::firmware
