#pragma once

// The code-option page of the TX5K3390D's second variant: 504 bytes of boot
// code and boot-loader USB descriptors that the chip's option page (word
// addresses 0x0F00 .. 0x0FFB) must hold, and the 8-byte code-option packet
// (0x0FFC .. 0x0FFF) right after them. The programming sequence rewrites the
// page on every such chip and fills in the last 8 block bytes and the packet
// from what the chip reports, so each run works on its own copy.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace txisp::firmware {

inline constexpr std::size_t kOptionPageBlockSize = 504;
inline constexpr std::size_t kOptionPacketSize = 8;
inline constexpr std::size_t kOptionPageSize = kOptionPageBlockSize + kOptionPacketSize;

inline constexpr std::uint32_t kOptionPageWordAddress = 0x0F00;
inline constexpr std::uint32_t kOptionPacketWordAddress = 0x0FFC;

// Where the USB descriptors start inside the block: device, configuration
// (with interface, HID and endpoint), HID report and language-ID string
// descriptors, each at an even offset.
inline constexpr std::size_t kOptionPageDescriptorsOffset = 0x30;

struct OptionPage {
    // The block followed by the packet, as the chip sums them.
    std::array<std::uint8_t, kOptionPageSize> Bytes;

    std::span<std::uint8_t, kOptionPageBlockSize> Block() {
        return std::span(Bytes).first<kOptionPageBlockSize>();
    }
    // The block's last 8 bytes, which take the chip's code-option bytes.
    std::span<std::uint8_t, kOptionPacketSize> BlockTail() {
        return std::span(Bytes)
            .subspan<kOptionPageBlockSize - kOptionPacketSize, kOptionPacketSize>();
    }
    std::span<std::uint8_t, kOptionPacketSize> Packet() {
        return std::span(Bytes).subspan<kOptionPageBlockSize, kOptionPacketSize>();
    }
};

// A fresh copy of the page as it is before any run: the block's last 8 bytes
// and the packet are FF.
OptionPage InitialOptionPage();

}  // namespace txisp::firmware
