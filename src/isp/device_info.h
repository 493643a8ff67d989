#pragma once

// The device-information request to the application firmware: it answers
// with its firmware version, which the window shows and compares with the
// version the tool carries. This is the exchange and the version's text
// form; the window chooses the IDs and fills its boxes.

#include <cstdint>
#include <optional>
#include <string>

#include "hid/hid_device_table.h"
#include "platform/clock.h"

namespace txisp::isp {

// Sends AA 55 A5 5A FF 00 33 01 and 56 zero bytes to the table's current
// device (a 9-byte device gets the first 8), waits 10 ms and reads 64 bytes.
// The version is reply bytes 0 and 1, low byte first; nullopt when the
// request could not be sent or no reply could be read.
std::optional<std::uint16_t> QueryDeviceInfo(hid::HidDeviceTable& table, platform::Clock& clock,
                                             std::uint16_t vid, std::uint16_t pid);

// "0x%02X": "0x05", "0x101", "0xABCD".
std::string FormatDeviceRevision(std::uint16_t version);

}  // namespace txisp::isp
