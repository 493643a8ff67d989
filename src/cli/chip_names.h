#pragma once

// --chip takes every name of the chip table, exactly as the table spells it:
// the 33 names the window's chip list offers and the two that only a
// prepared tool or a special VID/PID entry can name.

#include <string>

namespace txisp::cli {

// The 35 names, comma-separated, in table order.
std::string ValidChipNamesText();

// For CLI11's check(): "" for a chip-table name, otherwise a message listing
// the valid names. No case folding and no trimming: "tx5k3317" and
// "TX5K3317 " name no chip, as everywhere else in the system.
std::string CheckChipName(const std::string& name);

}  // namespace txisp::cli
