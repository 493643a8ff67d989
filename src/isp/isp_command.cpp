#include "isp/isp_command.h"

#include <algorithm>

namespace txisp::isp {
namespace {

// The waits the boot loaders need between a request and its reply.
constexpr std::uint32_t kRequestWaitMs = 5;
constexpr std::uint32_t kBlock64WaitMs = 10;
constexpr std::uint32_t kStatusReadWaitMs = 10;
constexpr std::uint32_t kSecondOptionWordWaitMs = 50;
constexpr std::uint32_t kPolledCheckSumWaitMs = 80;
constexpr std::uint32_t kCheckSumWaitMs = 150;
constexpr std::uint32_t kNoWait = 0;

constexpr std::uint8_t Polled(std::uint8_t code) {
    return static_cast<std::uint8_t>(code + kStatusPolledBase);
}

Block8 AlgorithmRequest(std::uint8_t code, std::uint8_t algorithm) {
    const std::array<std::uint8_t, 4> word = {0, 0, 0, algorithm};
    return WordRequest(code, 0, word);
}

}  // namespace

ISP_Command::ISP_Command(hid::HidDeviceTable& table, platform::Clock& clock)
    : table_(table), clock_(clock) {}

// --- Raw and auxiliary operations -------------------------------------------

void ISP_Command::SetDeviceIds(std::uint16_t vid, std::uint16_t pid) {
    vid_ = vid;
    pid_ = pid;
}

void ISP_Command::DelayMs(std::uint32_t ms) {
    clock_.DelayMs(ms);
}

bool ISP_Command::SendBlock8(std::span<const std::uint8_t, 8> block) {
    return table_.SendFeatureBlock(vid_, pid_, block);
}

bool ISP_Command::SendBlock64(std::span<const std::uint8_t, 64> block) {
    return table_.SendFeatureBlock(vid_, pid_, block);
}

bool ISP_Command::ReceiveBlock8(std::span<std::uint8_t, 8> block) {
    return table_.ReceiveFeatureBlock(vid_, pid_, block);
}

bool ISP_Command::ReceiveBlock64(std::span<std::uint8_t, 64> block) {
    return table_.ReceiveFeatureBlock(vid_, pid_, block);
}

// --- Common patterns -----------------------------------------------------------

void ISP_Command::Wait(std::uint32_t ms) {
    if (ms != kNoWait) DelayMs(ms);
}

int ISP_Command::CheckReply(const Block8& request, const Block8& reply, Check check) const {
    if (!HeaderMatches(reply, request)) return RETURN_HEADER_FAILED;
    switch (check) {
        case Check::None:
            break;
        case Check::Status:
            if (!StatusIs(reply, ISP_ACK)) return RETURN_ACK_FAILED;
            break;
        case Check::Checksum:
            if (!ChecksumAcknowledged(reply)) return RETURN_ACK_FAILED;
            break;
    }
    return RETURN_OK;
}

int ISP_Command::Exchange8(const Block8& request, std::uint32_t wait_ms, Check check,
                           Block8& reply) {
    if (!Send(request)) return RETURN_OUT_FAILED;
    Wait(wait_ms);
    if (!ReceiveBlock8(reply)) return RETURN_IN_FAILED;
    return CheckReply(request, reply, check);
}

int ISP_Command::ExchangePolled(const Block8& request, std::uint32_t wait_ms, Check check,
                                Block8& reply) {
    if (!Send(request)) return RETURN_OUT_FAILED;
    Wait(wait_ms);
    if (const int result = EnableCheckData2A(reply); result != RETURN_OK) return result;
    return CheckReply(request, reply, check);
}

int ISP_Command::SendOnly(const Block8& request) {
    return Send(request) ? RETURN_OK : RETURN_OUT_FAILED;
}

int ISP_Command::ReadOptionWords(std::uint8_t code, std::span<std::uint8_t> options,
                                 std::uint32_t wait_ms, bool polled) {
    for (std::size_t k = 0; k * 4 < options.size(); ++k) {
        const Block8 request = PlainRequest(code, static_cast<std::uint8_t>(k));
        Block8 reply{};
        const int result = polled ? ExchangePolled(request, wait_ms, Check::None, reply)
                                  : Exchange8(request, wait_ms, Check::None, reply);
        if (result != RETURN_OK) return result;
        std::copy_n(reply.begin() + kStatusByte, 4, options.begin() + 4 * k);
    }
    return RETURN_OK;
}

int ISP_Command::WriteOptionWords(std::uint8_t code, const CodeOptions& options,
                                  std::uint32_t first_wait_ms, bool polled) {
    const std::uint32_t waits[2] = {first_wait_ms, kSecondOptionWordWaitMs};
    for (std::size_t k = 0; k < 2; ++k) {
        const Block8 request = WordRequest(code, static_cast<std::uint8_t>(k),
                                           std::span(options).subspan(4 * k).first<4>());
        Block8 reply{};
        const int result = polled ? ExchangePolled(request, waits[k], Check::Status, reply)
                                  : Exchange8(request, waits[k], Check::Status, reply);
        if (result != RETURN_OK) return result;
    }
    return RETURN_OK;
}

// --- 8-byte set ------------------------------------------------------------------

int ISP_Command::GetFirmwareVersion(VersionBytes& version) {
    Block8 reply{};
    const int result =
        Exchange8(PlainRequest(kCodeGetFirmwareVersion), kRequestWaitMs, Check::None, reply);
    if (result == RETURN_OK) version = ReplyWord(reply, kStatusByte);
    return result;
}

int ISP_Command::CompareIspPassword(const PasswordBytes& password) {
    Block8 reply{};
    return Exchange8(WordRequest(kCodeCompareIspPassword, 0, password), kRequestWaitMs,
                     Check::Status, reply);
}

int ISP_Command::SetEncryptionAlgorithm(std::uint8_t algorithm) {
    Block8 reply{};
    return Exchange8(AlgorithmRequest(kCodeSetEncryptionAlgorithm, algorithm), kRequestWaitMs,
                     Check::Status, reply);
}

int ISP_Command::EnableErase(std::uint16_t start, std::uint8_t mode) {
    return SendOnly(AddressRequest(kCodeEnableErase, 0, start, mode));
}

int ISP_Command::GetChipEraseResult() {
    Block8 reply{};
    if (!ReceiveBlock8(reply)) return RETURN_IN_FAILED;
    return CheckReply(PlainRequest(kCodeEnableErase), reply, Check::Status);
}

int ISP_Command::EnableProgram(std::uint16_t start, std::uint16_t blocks) {
    Block8 reply{};
    return Exchange8(AddressRequest(kCodeEnableProgram, 0, start, blocks), kRequestWaitMs,
                     Check::Status, reply);
}

int ISP_Command::GetCheckSum(std::uint16_t start, std::uint16_t& checksum) {
    Block8 reply{};
    const int result = Exchange8(AddressRequest(kCodeGetCheckSum, 0, start, 0), kCheckSumWaitMs,
                                 Check::Checksum, reply);
    if (result == RETURN_OK) checksum = ReplyChecksum(reply);
    return result;
}

int ISP_Command::GetOptionAreaCheckSum(std::uint16_t start, std::uint16_t& checksum) {
    Block8 reply{};
    const int result = Exchange8(AddressRequest(kCodeGetCheckSum, 1, start, 0), kCheckSumWaitMs,
                                 Check::Checksum, reply);
    if (result == RETURN_OK) checksum = ReplyChecksum(reply);
    return result;
}

int ISP_Command::ReturnUserMode() {
    return SendOnly(PlainRequest(kCodeReturnUserMode));
}

int ISP_Command::SetCodeOption(const CodeOptions& options) {
    // The first word is read back at once: the boot loader only stores it.
    return WriteOptionWords(kCodeSetCodeOption, options, kNoWait, false);
}

int ISP_Command::GetCodeOption(CodeOptions& options) {
    return ReadOptionWords(kCodeGetCodeOption, options, kNoWait, false);
}

int ISP_Command::GetCodeOption4(CodeOptions16& options) {
    return ReadOptionWords(kCodeGetCodeOption, options, kNoWait, false);
}

// --- 64-byte set ------------------------------------------------------------------

int ISP_Command::SendOnly64(std::uint32_t first_wait_ms, std::uint32_t second_wait_ms) {
    Wait(first_wait_ms);
    Wait(second_wait_ms);
    return SendBlock64(request64_) ? RETURN_OK : RETURN_OUT_FAILED;
}

int ISP_Command::GetFirmwareVersionBlock64(VersionBytes& version, SecurityBytes& security) {
    WriteGetFirmwareVersion64(request64_);
    if (!SendBlock64(request64_)) return RETURN_OUT_FAILED;
    Wait(kBlock64WaitMs);
    if (!ReceiveBlock64(reply64_)) return RETURN_IN_FAILED;
    if (!HeaderMatches(reply64_, request64_)) return RETURN_HEADER_FAILED;
    version = ReplyWord(reply64_, 8);
    security = ReplyWord(reply64_, 12);
    return RETURN_OK;
}

int ISP_Command::CompareIspPasswordBlock64(std::uint16_t, std::uint16_t) {
    WriteCompareIspPassword64(request64_);
    return SendOnly64(kBlock64WaitMs, kBlock64WaitMs);
}

int ISP_Command::SetEncryptionAlgorithmBlock64(const SecurityBytes& security) {
    WriteSetEncryptionAlgorithm64(request64_, security);
    return SendOnly64(kBlock64WaitMs, kBlock64WaitMs);
}

int ISP_Command::EnableEraseBlock64(std::uint16_t start, std::uint8_t mode) {
    WriteEnableErase64(request64_, start, mode);
    return SendOnly64(kBlock64WaitMs, kNoWait);
}

int ISP_Command::EnableProgramBlock64(std::uint32_t start, std::uint16_t blocks) {
    WriteEnableProgram64(request64_, start, blocks);
    if (!SendBlock64(request64_)) return RETURN_OUT_FAILED;
    Wait(kBlock64WaitMs);
    if (!ReceiveBlock64(reply64_)) return RETURN_IN_FAILED;
    if (!HeaderMatches(reply64_, request64_)) return RETURN_HEADER_FAILED;
    if (!StatusIs(reply64_, ISP_ACK)) return RETURN_ACK_FAILED;
    return RETURN_OK;
}

// --- Status-polled set ------------------------------------------------------------

int ISP_Command::EnableCheckData2A(Block8& reply) {
    if (!Send(PlainRequest(kCodeEnableCheckData))) return RETURN_OUT_FAILED;
    poll_count_ = 0;
    Wait(kStatusReadWaitMs);
    if (!ReceiveBlock8(reply)) return RETURN_IN_FAILED;
    while (StatusIs(reply, ISP_BUSY)) {
        // Out of patience: the caller sees the busy word.
        if (++poll_count_ >= kMaxStatusReads) break;
        Wait(kStatusReadWaitMs);
        if (!ReceiveBlock8(reply)) return RETURN_IN_FAILED;
    }
    return RETURN_OK;
}

int ISP_Command::EnterIspMode20() {
    const Block8 request = PlainRequest(kCodeEnterIspMode);
    // The one command that retries: a reply with a wrong header gets the
    // request sent once more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!Send(request)) return RETURN_OUT_FAILED;
        Wait(kRequestWaitMs);
        Block8 reply{};
        if (const int result = EnableCheckData2A(reply); result != RETURN_OK) return result;
        if (HeaderMatches(reply, request)) return RETURN_OK;
    }
    return RETURN_HEADER_FAILED;
}

int ISP_Command::GetFirmwareVersion21(VersionBytes& version) {
    Block8 reply{};
    const int result = ExchangePolled(PlainRequest(Polled(kCodeGetFirmwareVersion)), kRequestWaitMs,
                                      Check::None, reply);
    if (result == RETURN_OK) version = ReplyWord(reply, kStatusByte);
    return result;
}

int ISP_Command::CompareIspPassword22(const PasswordBytes& password) {
    Block8 reply{};
    return ExchangePolled(WordRequest(Polled(kCodeCompareIspPassword), 0, password), kRequestWaitMs,
                          Check::Status, reply);
}

int ISP_Command::SetEncryptionAlgorithm23(std::uint8_t algorithm) {
    Block8 reply{};
    return ExchangePolled(AlgorithmRequest(Polled(kCodeSetEncryptionAlgorithm), algorithm),
                          kRequestWaitMs, Check::Status, reply);
}

int ISP_Command::EnableErase24(std::uint16_t start, std::uint8_t mode) {
    return SendOnly(AddressRequest(Polled(kCodeEnableErase), 0, start, mode));
}

int ISP_Command::GetChipEraseResult24() {
    Block8 reply{};
    if (const int result = EnableCheckData2A(reply); result != RETURN_OK) return result;
    return CheckReply(PlainRequest(Polled(kCodeEnableErase)), reply, Check::Status);
}

int ISP_Command::EnableProgram25(std::uint16_t start, std::uint16_t blocks) {
    Block8 reply{};
    return ExchangePolled(AddressRequest(Polled(kCodeEnableProgram), 0, start, blocks),
                          kRequestWaitMs, Check::Status, reply);
}

int ISP_Command::GetCheckSum26(std::uint16_t start, std::uint16_t& checksum) {
    Block8 reply{};
    const int result = ExchangePolled(AddressRequest(Polled(kCodeGetCheckSum), 0, start, 0),
                                      kPolledCheckSumWaitMs, Check::Checksum, reply);
    if (result == RETURN_OK) checksum = ReplyChecksum(reply);
    return result;
}

int ISP_Command::ReturnUserMode27() {
    return SendOnly(PlainRequest(Polled(kCodeReturnUserMode)));
}

int ISP_Command::SetCodeOption28(const CodeOptions& options) {
    return WriteOptionWords(Polled(kCodeSetCodeOption), options, kRequestWaitMs, true);
}

int ISP_Command::GetCodeOption29(CodeOptions& options) {
    return ReadOptionWords(Polled(kCodeGetCodeOption), options, kRequestWaitMs, true);
}

}  // namespace txisp::isp
