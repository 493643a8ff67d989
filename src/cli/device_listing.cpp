#include "cli/device_listing.h"

#include <fmt/core.h>

#include <algorithm>
#include <array>
#include <string>

#include "cli/id_text.h"

namespace txisp::cli {
namespace {

constexpr std::array<hid::InterfaceClass, 3> kSearchOrder = {
    hid::InterfaceClass::Hid, hid::InterfaceClass::Mouse, hid::InterfaceClass::Keyboard};

const char* ClassName(hid::InterfaceClass interface_class) {
    switch (interface_class) {
        case hid::InterfaceClass::Hid:
            return "hid";
        case hid::InterfaceClass::Mouse:
            return "mouse";
        case hid::InterfaceClass::Keyboard:
            return "keyboard";
    }
    return "hid";
}

std::vector<firmware::ChipFamily> BootLoaderFamilies(std::uint16_t vid, std::uint16_t pid) {
    std::vector<firmware::ChipFamily> families;
    for (const firmware::FamilyDescriptor& row : firmware::FamilyDescriptorTable) {
        if (row.VID == vid && row.BootPID == pid) families.push_back(row.Family);
    }
    return families;
}

// Families 2 and 5, 4 and 7, and 9 to 11 share their boot loader's identity
// (and report length), so nothing on the bus tells them apart: --chip
// settles it when it names one of them, otherwise the lowest family stands
// for the group.
std::optional<firmware::ChipFamily> GuessFamily(const std::vector<firmware::ChipFamily>& candidates,
                                                std::optional<firmware::ChipFamily> chip_family) {
    if (chip_family && std::ranges::find(candidates, *chip_family) != candidates.end()) {
        return chip_family;
    }
    if (!candidates.empty()) return candidates.front();
    return std::nullopt;
}

}  // namespace

std::vector<ListedInterface> ListMatchingInterfaces(hid::HidBackend& backend,
                                                    const ListFilter& filter) {
    std::vector<ListedInterface> listing;
    for (const hid::InterfaceClass interface_class : kSearchOrder) {
        for (hid::HidInterfaceInfo& info : backend.Enumerate(interface_class)) {
            ListedInterface item;
            item.CandidateFamilies = BootLoaderFamilies(info.VendorId, info.ProductId);
            item.BootLoader = !item.CandidateFamilies.empty();
            const bool application = info.VendorId == filter.Vid && info.ProductId == filter.Pid;
            if (!item.BootLoader && !application) continue;
            item.Family = item.BootLoader ? GuessFamily(item.CandidateFamilies, filter.ChipFamily)
                                          : filter.ChipFamily;
            item.Info = std::move(info);
            listing.push_back(std::move(item));
        }
    }
    return listing;
}

nlohmann::ordered_json ListingToJson(const std::vector<ListedInterface>& listing) {
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const ListedInterface& item : listing) {
        const hid::HidInterfaceInfo& info = item.Info;
        nlohmann::ordered_json object = {
            {"path", info.Path},
            {"vid", info.VendorId},
            {"pid", info.ProductId},
            {"mode", item.BootLoader ? "bootloader" : "application"},
            {"family",
             item.Family ? nlohmann::ordered_json(*item.Family) : nlohmann::ordered_json(nullptr)},
            {"families", item.CandidateFamilies},
            {"class", ClassName(info.Class)},
            {"report_length", info.FeatureReportByteLength},
            {"version", info.Version},
            {"physical_path", info.PhysicalPath},
            {"serial", info.Serial},
            {"accessible", item.Accessible()},
            {"open_error", info.OpenError ? nlohmann::ordered_json(*info.OpenError)
                                          : nlohmann::ordered_json(nullptr)},
        };
        array.push_back(std::move(object));
    }
    return array;
}

void PrintListing(std::ostream& out, const std::vector<ListedInterface>& listing) {
    std::size_t path_width = 4;
    std::size_t physical_width = 13;
    for (const ListedInterface& item : listing) {
        path_width = std::max(path_width, item.Info.Path.size());
        physical_width = std::max(physical_width, item.Info.PhysicalPath.size());
    }
    out << fmt::format(
        "{:<{}}  VID   PID   MODE         FAMILY  CLASS     REPORT  {:<{}}  "
        "ACCESS  SERIAL\n",
        "PATH", path_width, "PHYSICAL PATH", physical_width);
    for (const ListedInterface& item : listing) {
        const hid::HidInterfaceInfo& info = item.Info;
        const std::string family = item.Family ? std::to_string(*item.Family) : "-";
        const std::string access = item.Accessible() ? "yes" : "no";
        out << fmt::format(
            "{:<{}}  {}  {}  {:<11}  {:<6}  {:<8}  {:<6}  {:<{}}  {:<6}  {}\n", info.Path,
            path_width, FormatIdText(info.VendorId), FormatIdText(info.ProductId),
            item.BootLoader ? "boot loader" : "application", family, ClassName(info.Class),
            info.FeatureReportByteLength, info.PhysicalPath, physical_width, access, info.Serial);
    }
}

}  // namespace txisp::cli
