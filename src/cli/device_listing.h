#pragma once

// txisp list: the HID interfaces a programming run could be aimed at, found
// by the application's VID/PID or by any chip family's boot-loader identity,
// with what can be told about each before touching it.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <vector>

#include "firmware/chip_data.h"
#include "hid/hid_backend.h"

namespace txisp::cli {

struct ListFilter {
    std::uint16_t Vid = 0;
    std::uint16_t Pid = 0;
    // --chip: decides the family guess where the IDs leave it open.
    std::optional<firmware::ChipFamily> ChipFamily;
};

struct ListedInterface {
    hid::HidInterfaceInfo Info;
    // Enumerated under a family's boot-loader identity; otherwise it answers
    // under the application's IDs.
    bool BootLoader = false;
    // The families whose boot loader uses this identity. Several share one
    // (0x7500, 0x7700, 0x7900), so this is a guess, narrowed by the report
    // length and by --chip.
    std::vector<firmware::ChipFamily> CandidateFamilies;
    std::optional<firmware::ChipFamily> Family;

    bool Accessible() const { return !Info.OpenError.has_value(); }
};

// Every interface of the HID, mouse and keyboard classes, in that order,
// whose IDs are the filter's or a boot-loader identity.
std::vector<ListedInterface> ListMatchingInterfaces(hid::HidBackend& backend,
                                                    const ListFilter& filter);

// An array of objects: path, vid, pid, mode, family, families, class,
// report_length, version, physical_path, serial, accessible, open_error.
nlohmann::ordered_json ListingToJson(const std::vector<ListedInterface>& listing);

// One line per interface under a header line.
void PrintListing(std::ostream& out, const std::vector<ListedInterface>& listing);

}  // namespace txisp::cli
