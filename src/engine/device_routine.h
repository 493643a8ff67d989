#pragma once

// The device routine: everything one selected device goes through. It
// switches the device into its boot loader, reads the boot loader's version,
// checks it against the family and the image, selects the chip variant's
// parameter row and runs the family's programming sequence.
//
// Version rules:
//   R1 (families 0 .. 7): d0 d1 must be the family's; the variant d3 picks
//      the row; all four image version bytes must equal the device's, or,
//      where the family takes one, the image must be version-free (i0 i1 i2
//      zero) and the variant 0.
//   R2 (families 8, 12): as R1, but only bytes 0 and 1 are compared and no
//      version-free image is taken.
//   R3 (TX64 families): d0 .. d3 must be the family's; security bytes 55 AA
//      are refused; family 13 refuses a device protected at another level
//      than the chosen one, family 14 is given its level before programming.

#include "engine/device_run.h"

namespace txisp::engine {

// True when the device was programmed and verified.
bool RunDeviceRoutine(DeviceRun& run);

}  // namespace txisp::engine
