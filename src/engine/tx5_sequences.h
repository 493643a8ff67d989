#pragma once

// The programming sequences of the TX5 families. Each presents the password,
// erases the flash, checks that it is blank, sends the image in raw data
// blocks, has the chip sum it and compares that with the image, rewrites the
// code options where the chip's security bit allows it, and sends the chip
// back to user mode. They differ in command set, block size and first byte,
// progress scale, and code-option handling:
//
//   A   families 0, 2, 3, 5      crystal check; code options rewritten from the image
//   B   1 (variant 1), 4, 7      code options rewritten, keeping the chip's c0 and c1
//   B'  1 (variant 0), 1/4/7 with a version-free image: B with the encryption reset
//   C   6                        A in the status-polled set; each block acknowledged
//   D   8 (variant 0)            no code-option step
//   E   8 (variant 1)            rewrites the code-option page
//   F   12                       64-byte data blocks; rewrites its code-option page
//
// Every failure ends the sequence with false and leaves the chip in its boot
// loader.

#include <string_view>

#include "engine/device_run.h"
#include "isp/isp_result.h"

namespace txisp::engine {

enum class Tx5Sequence { A, B, BPrime, C, D, E, F };

bool RunTx5Sequence(DeviceRun& run, Tx5Sequence sequence);

inline constexpr std::string_view kCrystalQuestion =
    "X'tal setting in code option does not match!! Do you want to continue?";

// Whether the chip's crystal bits (c6 under the row's crystal mask) agree
// with the image's; when they do not, the operator decides (the question
// blocks the run until answered).
bool CheckCrystalOption(DeviceRun& run, const isp::CodeOptions& options);

}  // namespace txisp::engine
