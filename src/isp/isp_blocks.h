#pragma once

// The request and reply blocks of the three command sets, declared once.
//
// Every request: byte 0 the command code, bytes 1 and 2 AA 55, byte 3 the
// sub-index (0, or 1 .. 3 for the later blocks of a multi-block command),
// parameters from byte 4, least significant byte first. Every reply echoes
// bytes 0 .. 3 and carries a status word or a value in bytes 4 .. 7; the
// checksum replies carry FA FA and then the checksum.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "isp/isp_result.h"

namespace txisp::isp {

using Block8 = std::array<std::uint8_t, 8>;
using Block64 = std::array<std::uint8_t, 64>;

// Command codes of the 8-byte and 64-byte sets; the status-polled set adds
// 0x20 to them, and uses 0x20 itself and 0x2A for its own two commands.
enum CommandCode : std::uint8_t {
    kCodeGetFirmwareVersion = 0x01,
    kCodeCompareIspPassword = 0x02,
    kCodeSetEncryptionAlgorithm = 0x03,
    kCodeEnableErase = 0x04,
    kCodeEnableProgram = 0x05,
    kCodeGetCheckSum = 0x06,
    kCodeReturnUserMode = 0x07,
    kCodeSetCodeOption = 0x08,
    kCodeGetCodeOption = 0x09,
    kCodeEnterIspMode = 0x20,
    kCodeEnableCheckData = 0x2A,
};

inline constexpr std::uint8_t kStatusPolledBase = 0x20;

// Byte positions common to every block.
inline constexpr std::size_t kHeaderSize = 4;
inline constexpr std::size_t kParameterByte = 4;  // requests: first parameter
inline constexpr std::size_t kStatusByte = 4;     // replies: status word or value
inline constexpr std::size_t kChecksumByte = 6;   // checksum replies: after FA FA

// --- 8-byte and status-polled requests: fresh blocks, zero but for what
// --- the command puts in.

// code AA 55 sub 00 00 00 00
Block8 PlainRequest(std::uint8_t code, std::uint8_t sub = 0);
// code AA 55 sub w0 w1 w2 w3: the password, an option word, the algorithm
// (00 00 00 b), copied in memory order.
Block8 WordRequest(std::uint8_t code, std::uint8_t sub, std::span<const std::uint8_t, 4> word);
// code AA 55 sub a-low a-high v-low v-high: a start address and a count or
// an erase mode (an 8-bit mode leaves byte 7 zero).
Block8 AddressRequest(std::uint8_t code, std::uint8_t sub, std::uint16_t address,
                      std::uint16_t value);

// --- 64-byte requests: one block that persists between commands; each
// --- command writes bytes 0 .. 3 and its own parameter bytes, and every other
// --- byte goes out as the previous command left it.

// 01 AA 55 00
void WriteGetFirmwareVersion64(Block64& request);
// 02 AA 55 00; bytes 6 .. 9 zero. The TX64 boot loader takes no password:
// the request only unlocks the erase.
void WriteCompareIspPassword64(Block64& request);
// 03 AA 55 00 s0 s1 s2 s3; bytes 8 .. 12 zero.
void WriteSetEncryptionAlgorithm64(Block64& request, const SecurityBytes& security);
// 04 AA 55 00 a-low a-high 00 00 mode 00
void WriteEnableErase64(Block64& request, std::uint16_t address, std::uint8_t mode);
// 05 AA 55 00 a0 a1 a2 a3 n-low n-high
void WriteEnableProgram64(Block64& request, std::uint32_t address, std::uint16_t blocks);

// --- Replies.

// Bytes 0 .. 3 of both, compared as one unit.
bool HeaderMatches(std::span<const std::uint8_t> reply, std::span<const std::uint8_t> request);
bool StatusIs(std::span<const std::uint8_t> reply, const StatusWord& status);
// Checksum replies are acknowledged by bytes 4 and 5 alone; 6 and 7 are the
// value, whatever they hold.
bool ChecksumAcknowledged(std::span<const std::uint8_t> reply);
std::uint16_t ReplyChecksum(std::span<const std::uint8_t> reply);
// Four reply bytes from `at`, in the order they came.
std::array<std::uint8_t, 4> ReplyWord(std::span<const std::uint8_t> reply, std::size_t at);

}  // namespace txisp::isp
