#include "isp/isp_blocks.h"

#include <algorithm>

namespace txisp::isp {
namespace {

constexpr std::uint8_t kSignature0 = 0xAA;
constexpr std::uint8_t kSignature1 = 0x55;

template <std::size_t N>
void WriteHeader(std::array<std::uint8_t, N>& block, std::uint8_t code, std::uint8_t sub) {
    block[0] = code;
    block[1] = kSignature0;
    block[2] = kSignature1;
    block[3] = sub;
}

template <std::size_t N>
void PutLe16(std::array<std::uint8_t, N>& block, std::size_t at, std::uint16_t value) {
    block[at] = static_cast<std::uint8_t>(value);
    block[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

Block8 PlainRequest(std::uint8_t code, std::uint8_t sub) {
    Block8 block{};
    WriteHeader(block, code, sub);
    return block;
}

Block8 WordRequest(std::uint8_t code, std::uint8_t sub, std::span<const std::uint8_t, 4> word) {
    Block8 block = PlainRequest(code, sub);
    std::copy(word.begin(), word.end(), block.begin() + kParameterByte);
    return block;
}

Block8 AddressRequest(std::uint8_t code, std::uint8_t sub, std::uint16_t address,
                      std::uint16_t value) {
    Block8 block = PlainRequest(code, sub);
    PutLe16(block, 4, address);
    PutLe16(block, 6, value);
    return block;
}

void WriteGetFirmwareVersion64(Block64& request) {
    WriteHeader(request, kCodeGetFirmwareVersion, 0);
}

void WriteCompareIspPassword64(Block64& request) {
    WriteHeader(request, kCodeCompareIspPassword, 0);
    std::fill(request.begin() + 6, request.begin() + 10, 0);
}

void WriteSetEncryptionAlgorithm64(Block64& request, const SecurityBytes& security) {
    WriteHeader(request, kCodeSetEncryptionAlgorithm, 0);
    std::copy(security.begin(), security.end(), request.begin() + 4);
    std::fill(request.begin() + 8, request.begin() + 13, 0);
}

void WriteEnableErase64(Block64& request, std::uint16_t address, std::uint8_t mode) {
    WriteHeader(request, kCodeEnableErase, 0);
    PutLe16(request, 4, address);
    PutLe16(request, 6, 0);
    request[8] = mode;
    request[9] = 0;
}

void WriteEnableProgram64(Block64& request, std::uint32_t address, std::uint16_t blocks) {
    WriteHeader(request, kCodeEnableProgram, 0);
    PutLe16(request, 4, static_cast<std::uint16_t>(address));
    PutLe16(request, 6, static_cast<std::uint16_t>(address >> 16));
    PutLe16(request, 8, blocks);
}

bool HeaderMatches(std::span<const std::uint8_t> reply, std::span<const std::uint8_t> request) {
    return std::equal(reply.begin(), reply.begin() + kHeaderSize, request.begin());
}

bool StatusIs(std::span<const std::uint8_t> reply, const StatusWord& status) {
    return std::equal(status.begin(), status.end(), reply.begin() + kStatusByte);
}

bool ChecksumAcknowledged(std::span<const std::uint8_t> reply) {
    return reply[kStatusByte] == ISP_ACK[0] && reply[kStatusByte + 1] == ISP_ACK[1];
}

std::uint16_t ReplyChecksum(std::span<const std::uint8_t> reply) {
    return static_cast<std::uint16_t>(reply[kChecksumByte] | (reply[kChecksumByte + 1] << 8));
}

std::array<std::uint8_t, 4> ReplyWord(std::span<const std::uint8_t> reply, std::size_t at) {
    return {reply[at], reply[at + 1], reply[at + 2], reply[at + 3]};
}

}  // namespace txisp::isp
