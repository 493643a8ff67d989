#pragma once

// A sysfs and /dev of hidraw nodes in a temporary folder, as the kernel lays
// them out: sys/class/hidraw/hidrawN/device/{uevent,report_descriptor} and
// dev/hidrawN. The node is a regular file, so it opens (making the interface
// usable for a search) but refuses every feature request.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "hid/hidraw_backend.h"
#include "support/temp_dir.h"

namespace txisp::testing {

struct FakeHidrawNode {
    FakeHidrawNode(int number, std::vector<std::uint8_t> descriptor)
        : Number(number), Descriptor(std::move(descriptor)) {}

    int Number;
    std::vector<std::uint8_t> Descriptor;
    std::uint16_t Vid = 0x5E3A;
    std::uint16_t Pid = 0x7300;
    std::string Phys = "usb-0000:00:14.0-3/input0";
    std::string Uniq;
    bool NodeExists = true;
};

// A vendor-defined application collection with one feature report of
// `feature_bytes` data bytes (at most 255), under `report_id` when not 0.
inline std::vector<std::uint8_t> FeatureDescriptor(std::uint16_t usage_page, std::uint8_t usage,
                                                   std::uint8_t feature_bytes,
                                                   std::uint8_t report_id = 0) {
    std::vector<std::uint8_t> d = {
        0x06,
        static_cast<std::uint8_t>(usage_page & 0xFF),
        static_cast<std::uint8_t>(usage_page >> 8),  // Usage Page
        0x09,
        usage,  // Usage
        0xA1,
        0x01,  // Collection (Application)
    };
    if (report_id != 0) d.insert(d.end(), {0x85, report_id});  // Report ID
    d.insert(d.end(), {
                          0x75, 0x08,           // Report Size (8)
                          0x95, feature_bytes,  // Report Count
                          0xB1, 0x02,           // Feature (Data, Variable, Absolute)
                          0xC0,                 // End Collection
                      });
    return d;
}

class FakeSysfs {
public:
    std::filesystem::path SysRoot() const { return dir_ / "sys"; }
    std::filesystem::path DevRoot() const { return dir_ / "dev"; }
    std::string NodePath(int number) const {
        return (DevRoot() / ("hidraw" + std::to_string(number))).string();
    }

    void Add(const FakeHidrawNode& node) {
        const std::string name = "hidraw" + std::to_string(node.Number);
        const auto device = SysRoot() / "class/hidraw" / name / "device";
        std::filesystem::create_directories(device);
        std::filesystem::create_directories(DevRoot());
        char id[64];
        std::snprintf(id, sizeof id, "0003:%08X:%08X", node.Vid, node.Pid);
        WriteText(device / "uevent", "DRIVER=hid-generic\nHID_ID=" + std::string(id) +
                                         "\nHID_NAME=Test device\nHID_PHYS=" + node.Phys +
                                         "\nHID_UNIQ=" + node.Uniq + "\nMODALIAS=hid:b0003\n");
        WriteBytes(device / "report_descriptor", node.Descriptor);
        if (node.NodeExists) WriteText(DevRoot() / name, "");
    }

    hid::HidrawBackend Backend() const { return hid::HidrawBackend(SysRoot(), DevRoot()); }

private:
    TempDir dir_;
};

}  // namespace txisp::testing
