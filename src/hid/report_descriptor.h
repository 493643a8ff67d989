#pragma once

// What a device search needs from a HID report descriptor: how long its
// feature report is, under which report ID it travels, and what kind of
// device the first top-level collection says it is.
//
// Descriptors come from devices, so the parser takes nothing on trust: every
// item is bounds-checked, every count is capped, and a descriptor it cannot
// make sense of is an error rather than a guess.

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/result.h"

namespace txisp::hid {

struct ReportDescriptorInfo {
    // The longest feature report in whole bytes plus one for the report-ID
    // byte, the way the Windows HID parser counts it: 9 for an 8-byte report
    // without report IDs. 0 when the descriptor declares no feature item.
    int FeatureReportByteLength = 0;
    // The report ID in effect at the first feature item; 0 without report IDs.
    int FeatureReportId = 0;
    // Usage page and usage of the first top-level application collection;
    // both 0 when there is none.
    std::uint16_t UsagePage = 0;
    std::uint16_t Usage = 0;
};

// Limits the parser holds every descriptor to. The kernel refuses anything
// beyond them too, so no working device comes near.
inline constexpr std::size_t kMaxReportBytes = 16384;
inline constexpr int kMaxGlobalStackDepth = 16;
inline constexpr int kMaxCollectionDepth = 256;

Result<ReportDescriptorInfo> ParseReportDescriptor(std::span<const std::uint8_t> descriptor);

}  // namespace txisp::hid
