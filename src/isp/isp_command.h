#pragma once

// The boot loader's request/reply protocol, one operation per request of its
// three command sets. Each command builds its block, sends it as one feature
// report to the current device of the table, waits the time the boot loader
// needs, reads the reply, checks that it echoes the request's header and
// status, and returns a result code (isp_result.h). The programming
// sequences are written in these operations and never build a request
// themselves; they only send the raw data blocks of the programming phase.
//
// The three sets:
//   8-byte set (0x01 .. 0x09): 8-byte requests, the reply read straight
//     after a fixed wait. TX5 chips; family 12 sends them in 65-byte reports.
//   64-byte set (0x01 .. 0x05 in 64-byte blocks, plus the 8-byte 0x07): TX64
//     chips. The request is a member block that persists between commands.
//   status-polled set (0x20 .. 0x2A): family 6. Replies are fetched with the
//     status request 0x2A and re-read while the chip reports busy.
//
// Waits go through DelayMs: a sleep, then a spin of the same length, so a
// wait of 5 ms or more lasts twice its value. The boot loaders were tuned to
// that pacing.
//
// One command at a time, on one thread; no other transfer may run between a
// command's send and its read.

#include <cstdint>
#include <span>

#include "hid/hid_device_table.h"
#include "isp/isp_blocks.h"
#include "isp/isp_result.h"
#include "platform/clock.h"

namespace txisp::isp {

class ISP_Command {
public:
    static constexpr std::uint16_t kInitialVid = 0x5E3A;
    static constexpr std::uint16_t kInitialPid = 0x7300;
    // EnableCheckData2A gives up after this many busy replies.
    static constexpr int kMaxStatusReads = 50;

    ISP_Command(hid::HidDeviceTable& table, platform::Clock& clock);
    ISP_Command(const ISP_Command&) = delete;
    ISP_Command& operator=(const ISP_Command&) = delete;

    // --- Raw and auxiliary operations -------------------------------------

    // Handed to every transfer; the table's current device is addressed.
    void SetDeviceIds(std::uint16_t vid, std::uint16_t pid);
    std::uint16_t Vid() const { return vid_; }
    std::uint16_t Pid() const { return pid_; }

    // n >= 5: sleep n ms, then spin n ms; n <= 4: spin only.
    void DelayMs(std::uint32_t ms);

    bool SendBlock8(std::span<const std::uint8_t, 8> block);
    bool SendBlock64(std::span<const std::uint8_t, 64> block);
    // On failure `block` keeps its content.
    bool ReceiveBlock8(std::span<std::uint8_t, 8> block);
    bool ReceiveBlock64(std::span<std::uint8_t, 64> block);

    // --- 8-byte set -------------------------------------------------------
    //
    // An out-parameter is written only on RETURN_OK, except that the
    // multi-block reads write each word as soon as its block passed the
    // header check.

    int GetFirmwareVersion(VersionBytes& version);
    int CompareIspPassword(const PasswordBytes& password);
    int SetEncryptionAlgorithm(std::uint8_t algorithm);
    // Send-only; the chip answers when the erase is done (GetChipEraseResult).
    int EnableErase(std::uint16_t start, std::uint8_t mode);
    // Reads the answer to EnableErase without sending anything.
    int GetChipEraseResult();
    int EnableProgram(std::uint16_t start, std::uint16_t blocks);
    int GetCheckSum(std::uint16_t start, std::uint16_t& checksum);
    int GetOptionAreaCheckSum(std::uint16_t start, std::uint16_t& checksum);
    // Send-only: the chip leaves the boot loader and does not answer.
    int ReturnUserMode();
    int SetCodeOption(const CodeOptions& options);
    int GetCodeOption(CodeOptions& options);
    int GetCodeOption4(CodeOptions16& options);

    // --- 64-byte set ------------------------------------------------------

    // version = reply bytes 8 .. 11, security = reply bytes 12 .. 15.
    int GetFirmwareVersionBlock64(VersionBytes& version, SecurityBytes& security);
    // The erase start and value are taken but not placed: bytes 4 and 5 go
    // out as the previous 64-byte request left them, which the boot loader
    // ignores. Send-only.
    int CompareIspPasswordBlock64(std::uint16_t erase_start, std::uint16_t erase_value);
    // Send-only.
    int SetEncryptionAlgorithmBlock64(const SecurityBytes& security);
    // Send-only; the outcome arrives as a raw report (ReceiveBlock64).
    int EnableEraseBlock64(std::uint16_t start, std::uint8_t mode);
    int EnableProgramBlock64(std::uint32_t start, std::uint16_t blocks);

    // --- Status-polled set ------------------------------------------------

    // Sends the request once more when the first reply's header is wrong.
    int EnterIspMode20();
    int GetFirmwareVersion21(VersionBytes& version);
    int CompareIspPassword22(const PasswordBytes& password);
    int SetEncryptionAlgorithm23(std::uint8_t algorithm);
    int EnableErase24(std::uint16_t start, std::uint8_t mode);  // send-only
    int GetChipEraseResult24();
    int EnableProgram25(std::uint16_t start, std::uint16_t blocks);
    int GetCheckSum26(std::uint16_t start, std::uint16_t& checksum);
    int ReturnUserMode27();  // send-only
    int SetCodeOption28(const CodeOptions& options);
    int GetCodeOption29(CodeOptions& options);
    // Sends the status request once and reads until the reply is not busy, at
    // most kMaxStatusReads times. After that many busy replies it still
    // returns RETURN_OK with the busy word in `reply`, so a command that
    // checks the status fails it and one that does not delivers F0F0F0F0.
    int EnableCheckData2A(Block8& reply);
    // Busy replies seen by the last EnableCheckData2A.
    int PollCount() const { return poll_count_; }

private:
    enum class Check {
        None,      // only the header
        Status,    // bytes 4 .. 7 must be ISP_ACK
        Checksum,  // bytes 4 and 5 must be FA FA
    };

    void Wait(std::uint32_t ms);
    bool Send(const Block8& request) { return SendBlock8(request); }
    int CheckReply(const Block8& request, const Block8& reply, Check check) const;
    // 8-byte set: send, wait, read, check.
    int Exchange8(const Block8& request, std::uint32_t wait_ms, Check check, Block8& reply);
    // Status-polled set: send, wait, fetch the reply with 0x2A, check.
    int ExchangePolled(const Block8& request, std::uint32_t wait_ms, Check check, Block8& reply);
    // One exchange per 4-byte word, sub-index k for word k.
    int ReadOptionWords(std::uint8_t code, std::span<std::uint8_t> options, std::uint32_t wait_ms,
                        bool polled);
    int WriteOptionWords(std::uint8_t code, const CodeOptions& options, std::uint32_t first_wait_ms,
                         bool polled);
    int SendOnly(const Block8& request);
    int SendOnly64(std::uint32_t first_wait_ms, std::uint32_t second_wait_ms);

    hid::HidDeviceTable& table_;
    platform::Clock& clock_;
    // Zero at construction: the bytes no 64-byte command writes then go out
    // as zeros instead of whatever memory held.
    Block64 request64_{};
    Block64 reply64_{};
    std::uint16_t vid_ = kInitialVid;
    std::uint16_t pid_ = kInitialPid;
    int poll_count_ = 0;
};

}  // namespace txisp::isp
