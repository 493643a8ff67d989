#pragma once

// The requests a simulated device receives and the replies it gives, as the
// device sees them. Request: byte 0 command code, bytes 1 and 2 AA 55, byte 3
// sub-index, parameters from byte 4, least significant byte first. Reply:
// bytes 0 .. 3 echo the request header, bytes 4 .. 7 a status word or a
// value; 64-byte replies carry more behind that.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace txisp::sim {

inline constexpr std::uint8_t kAck = 0xFA;
inline constexpr std::uint8_t kBusy = 0xF0;
// The simulated boot loader's refusal. Any status other than ACK fails the
// host's check; this one stands out in a transcript.
inline constexpr std::uint8_t kNak = 0xFB;

// Command codes of the 8-byte and 64-byte sets; the status-polled set uses
// the same numbers plus 0x20, and 0x20 itself to enter ISP mode.
enum Command : std::uint8_t {
    kGetFirmwareVersion = 0x01,
    kCompareIspPassword = 0x02,
    kSetEncryptionAlgorithm = 0x03,
    kEnableErase = 0x04,
    kEnableProgram = 0x05,
    kGetCheckSum = 0x06,
    kReturnUserMode = 0x07,
    kSetCodeOption = 0x08,
    kGetCodeOption = 0x09,
    kStatusPolledBase = 0x20,
    kEnterIspMode = 0x20,
    kEnableCheckData = 0x2A,
};

using Header = std::array<std::uint8_t, 4>;
using Word = std::array<std::uint8_t, 4>;
using ReplyBlock = std::array<std::uint8_t, 64>;

struct Request {
    std::span<const std::uint8_t> Bytes;  // 8 or 64 bytes

    std::uint8_t Code() const { return Bytes[0]; }
    std::uint8_t Sub() const { return Bytes[3]; }
    Header HeaderBytes() const { return {Bytes[0], Bytes[1], Bytes[2], Bytes[3]}; }
    std::uint16_t U16(std::size_t at) const {
        return static_cast<std::uint16_t>(Bytes[at] | (Bytes[at + 1] << 8));
    }
    std::uint32_t U32(std::size_t at) const {
        return static_cast<std::uint32_t>(U16(at)) |
               (static_cast<std::uint32_t>(U16(at + 2)) << 16);
    }
    Word WordAt(std::size_t at) const {
        return {Bytes[at], Bytes[at + 1], Bytes[at + 2], Bytes[at + 3]};
    }
};

// nullopt when the payload is shorter than 8 bytes or bytes 1 and 2 are not
// AA 55: the boot loader does not take it for a request.
inline std::optional<Request> ParseRequest(std::span<const std::uint8_t> payload) {
    if (payload.size() < 8 || payload[1] != 0xAA || payload[2] != 0x55) return std::nullopt;
    return Request{payload};
}

inline Word StatusWord(std::uint8_t status) {
    return {status, status, status, status};
}

inline ReplyBlock MakeReply(const Header& header, const Word& word) {
    ReplyBlock reply{};
    for (std::size_t i = 0; i < 4; ++i) {
        reply[i] = header[i];
        reply[4 + i] = word[i];
    }
    return reply;
}

inline void PutLe16(ReplyBlock& reply, std::size_t at, std::uint16_t value) {
    reply[at] = static_cast<std::uint8_t>(value);
    reply[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

// What the application firmware answers to. Only the first 8 bytes of the
// 64-byte device-information request reach a 9-byte device.
inline constexpr std::array<std::uint8_t, 8> kDeviceInfoRequest = {0xAA, 0x55, 0xA5, 0x5A,
                                                                   0xFF, 0x00, 0x33, 0x01};

// The boot-mode request the application firmware accepts unless configured
// otherwise; family 6 ends it in 0x81.
inline std::array<std::uint8_t, 8> DefaultBootCommand(int family) {
    return {0xAA, 0x55, 0xA5, 0x5A,
            0xFF, 0x00, 0x33, static_cast<std::uint8_t>(family == 6 ? 0x81 : 0xCC)};
}

}  // namespace txisp::sim
