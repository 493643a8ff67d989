#pragma once

// Sequence G: the TX64 families through the 64-byte command set. The erase
// and programming outcomes come back as raw reports that carry the chip's
// checksum; the image is verified with a word sum. Families 13 and 14 erase
// as they program, so they skip the password, erase and blank check; the
// code-protection level is written with Set Encryption Algorithm.

#include <cstdint>

#include "engine/device_run.h"
#include "firmware/chip_data.h"
#include "isp/isp_result.h"

namespace txisp::engine {

// The protection level as security bytes s2 (low byte) and s3 (high byte):
// 0 -> FFFF for families 9, 10, 11 and 0000 for 13 and 14 (their
// unprotected state), 1 -> 5A5A, 2 -> A5A5, 3 and anything else -> 55AA.
std::uint16_t SecurityLevelWord(std::int32_t level, firmware::ChipFamily family);

// Family 13: whether the chosen level must still be written after
// programming; false when the device reports it already (level 1 as 5A 5A,
// level 2 as A5 A5 in s2 s3).
bool SecuritySendNeeded(std::int32_t level, const isp::SecurityBytes& security);

// Whether s2 s3 carry a protection level (5A 5A or A5 A5).
bool CarriesProtectionLevel(const isp::SecurityBytes& security);

// `security` is s0 .. s3 as the device reported them; `security_send_needed`
// matters to family 13 only.
bool RunSequenceG(DeviceRun& run, isp::SecurityBytes security, bool security_send_needed);

}  // namespace txisp::engine
