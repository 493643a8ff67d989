#include "firmware/option_page.h"

#include <algorithm>

namespace txisp::firmware {

namespace {

// Only the first eight boot-code words are the chip's own. Everything after
// them - the rest of the boot code and every descriptor - is this project's
// own content, written to be what such a boot loader plausibly carries: a
// vendor HID device under the family's boot-loader IDs that exchanges 8-byte
// reports. A product whose chips need a different page must supply it.

// Program words, low byte first in the page.
// clang-format off
constexpr std::array<std::uint16_t, 24> kBootCodeWords = {
    0xCEB4, 0x783C, 0x8F19, 0x613C, 0x340D, 0x3312, 0x0D00, 0x0760,  // the chip's own
    0x1A0B, 0x3C61, 0x0D35, 0x3313, 0x0D00, 0x0761, 0x1A0C, 0x3C62,
    0x0D36, 0x3314, 0x0D00, 0x0762, 0x2F00, 0x7F00, 0x0000, 0x0000,
};

constexpr std::uint8_t kReportDescriptorSize = 25;

constexpr std::array<std::uint8_t, 18> kDeviceDescriptor = {
    0x12, 0x01,  // bLength, bDescriptorType DEVICE
    0x10, 0x01,  // bcdUSB 1.10
    0x00, 0x00, 0x00,  // class, subclass, protocol: per interface
    0x08,        // bMaxPacketSize0
    0x3A, 0x5E,  // idVendor 0x5E3A
    0x00, 0x78,  // idProduct 0x7800, the boot PID of the TX5K3390D family
    0x00, 0x01,  // bcdDevice 1.00
    0x00, 0x00, 0x00,  // no manufacturer, product or serial string
    0x01,        // bNumConfigurations
};

constexpr std::array<std::uint8_t, 34> kConfigurationDescriptor = {
    // Configuration: 34 bytes in all, 1 interface, bus powered, 100 mA.
    0x09, 0x02, 0x22, 0x00, 0x01, 0x01, 0x00, 0x80, 0x32,
    // Interface 0: 1 endpoint, HID class, no boot protocol.
    0x09, 0x04, 0x00, 0x00, 0x01, 0x03, 0x00, 0x00, 0x00,
    // HID 1.10, no country, one report descriptor.
    0x09, 0x21, 0x10, 0x01, 0x00, 0x01, 0x22, kReportDescriptorSize, 0x00,
    // Endpoint 1 IN, interrupt, 8 bytes, every 10 ms.
    0x07, 0x05, 0x81, 0x03, 0x08, 0x00, 0x0A,
};

constexpr std::array<std::uint8_t, kReportDescriptorSize> kReportDescriptor = {
    0x06, 0x00, 0xFF,  // Usage Page (vendor 0xFF00)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x08,        //   Report Count (8)
    0x09, 0x01,        //   Usage (1)
    0x81, 0x02,        //   Input (Data, Variable, Absolute)
    0x09, 0x01,        //   Usage (1)
    0xB1, 0x02,        //   Feature (Data, Variable, Absolute)
    0xC0,              // End Collection
};

constexpr std::array<std::uint8_t, 4> kLanguageIdDescriptor = {
    0x04, 0x03, 0x09, 0x04,  // string descriptor 0: English (United States)
};
// clang-format on

constexpr std::size_t EvenUp(std::size_t offset) {
    return (offset + 1) & ~std::size_t{1};
}

template <std::size_t N>
constexpr std::size_t Place(std::array<std::uint8_t, kOptionPageSize>& page, std::size_t offset,
                            const std::array<std::uint8_t, N>& piece) {
    std::copy(piece.begin(), piece.end(), page.begin() + static_cast<std::ptrdiff_t>(offset));
    return EvenUp(offset + N);
}

// Unused flash reads as erased, FF.
constexpr std::array<std::uint8_t, kOptionPageSize> BuildPage() {
    std::array<std::uint8_t, kOptionPageSize> page{};
    page.fill(0xFF);
    std::size_t offset = 0;
    for (std::uint16_t word : kBootCodeWords) {
        page[offset++] = static_cast<std::uint8_t>(word & 0xFF);
        page[offset++] = static_cast<std::uint8_t>(word >> 8);
    }
    offset = kOptionPageDescriptorsOffset;
    offset = Place(page, offset, kDeviceDescriptor);
    offset = Place(page, offset, kConfigurationDescriptor);
    offset = Place(page, offset, kReportDescriptor);
    Place(page, offset, kLanguageIdDescriptor);
    return page;
}

constexpr std::array<std::uint8_t, kOptionPageSize> kInitialPage = BuildPage();

static_assert(kBootCodeWords.size() * 2 == kOptionPageDescriptorsOffset);
static_assert(kOptionPageDescriptorsOffset + EvenUp(kDeviceDescriptor.size()) +
                      EvenUp(kConfigurationDescriptor.size()) + EvenUp(kReportDescriptor.size()) +
                      kLanguageIdDescriptor.size() <=
                  kOptionPageBlockSize - kOptionPacketSize,
              "the descriptors must leave the block's last 8 bytes to the code options");

}  // namespace

OptionPage InitialOptionPage() {
    return OptionPage{kInitialPage};
}

}  // namespace txisp::firmware
