#pragma once

// Writing the rolling value into the image before a run and advancing it in
// the settings file after one.
//
// A run over several devices gives each device programmed successfully its
// own value: the k-th of them (k from 0) gets the value k steps on from
// "Count", and afterwards "Count" moves on by one step per such device. A
// device that fails does not use up a value; the next device gets it. With one
// device per run this is the plain one-value-per-run scheme.

#include <cstdint>
#include <filesystem>
#include <span>

#include "rolling/rolling_settings.h"

namespace txisp::rolling {

enum class RollingOutcome {
    Done,              // the value is in the image, or the file holds the next value
    Off,               // Word_Length 0 or less (a missing file among them), or no device
                       // to count: nothing to write
    WordLengthTooBig,  // more than 16 digits would not fit the 64-bit value: nothing written
    OutsideImage,      // bytes 2 * Address .. + 2N are not all inside the image: nothing written
    WriteFailed,       // the settings file could not be written
};

// Writes the value `device_offset` steps on from settings.Count into `image`
// as a little-endian number of 2N bytes at byte offset 2 * Address, where N
// is the number of 16-bit pieces (Word_Length for 16-bit words, twice that
// for 32-bit words). Nothing else in the image changes; no checksum is
// recomputed. device_offset is a device count: the call takes that many steps.
RollingOutcome ApplyRollingCode(const RollingSettings& settings, RollingWidth width,
                                std::span<std::uint8_t> image, std::uint64_t device_offset = 0);

// Moves "Count" in `settings_file` on by one step per device programmed
// successfully and writes it back as exactly the width's number of lower-case
// digits. Only "Count" is written; with nothing to do the file is left as it
// is (not even created).
RollingOutcome AdvanceRollingCode(const std::filesystem::path& settings_file, RollingWidth width,
                                  std::uint64_t devices_programmed = 1);

}  // namespace txisp::rolling
