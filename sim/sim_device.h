#pragma once

// One simulated device, seen from its own side of the cable: the
// application firmware it ships with, and the chip's boot loader in one of
// its three command sets. It is fed the payload of every SET_REPORT and asked
// for the payload of every GET_REPORT (report-ID byte removed); the bus
// (sim_bus.h) does the addressing, the faults of the transport and the
// comings and goings on the bus.
//
// The device holds only what a real one could: flash, code options and
// security bytes survive a power cycle, everything else is lost. A request it
// does not expect in its current state is refused the way a boot loader
// would: its header echoed with a NAK status, never an ACK.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/result.h"
#include "sim/chip_memory.h"
#include "sim/chip_tables.h"
#include "sim/isp_packets.h"
#include "sim/sim_device_config.h"

namespace txisp::sim {

enum class DeviceMode { Application, BootLoader };

// A mode switch the last request caused.
enum class ModeChange { None, ToBootLoader, ToApplication };

class SimDevice {
public:
    // Fails with a message naming the setting when the configuration names no
    // known chip or variant or carries values the chip cannot hold.
    static Result<SimDevice> Create(SimDeviceConfig config);

    // Starts the application, or the boot loader when no intact application
    // is in flash (erased, or its programming never finished).
    void PowerOn();

    ModeChange Receive(std::span<const std::uint8_t> payload, std::int64_t now_ms);
    void Answer(std::span<std::uint8_t> payload, std::int64_t now_ms);

    DeviceMode Mode() const { return mode_; }

    // The identity the device enumerates with now: the configured one, or
    // the boot loader's (VID 0x5E3A, the family's boot PID, one HID
    // interface) after a power-on into the boot loader or a re-enumerating
    // switch.
    bool UsesBootIdentity() const { return boot_identity_; }
    std::uint16_t VendorId() const;
    std::uint16_t ProductId() const;
    const std::vector<SimInterface>& Interfaces() const&;
    // A reference into a temporary copy (SimBus::Device) would dangle.
    const std::vector<SimInterface>& Interfaces() const&& = delete;

    const SimDeviceConfig& Config() const& { return config_; }
    const SimDeviceConfig& Config() const&& = delete;
    int Family() const { return family_->Family; }
    const ChipFamilyData& FamilyInfo() const { return *family_; }
    const ChipRow& Row() const { return *row_; }
    const ChipMemory& Memory() const& { return memory_; }
    const ChipMemory& Memory() const&& = delete;
    std::array<std::uint8_t, 4> BootVersion() const;
    std::array<std::uint8_t, 4> SecurityBytes() const { return security_; }
    std::uint8_t EncryptionAlgorithm() const { return algorithm_; }
    bool ApplicationIntact() const { return app_intact_; }

private:
    // How a GET_REPORT is answered: a stored reply, or one that depends on
    // when it is read.
    enum class ReplyKind { Fixed, EraseResult, StatusPoll, BlockAck };

    // What a TX5 command did, before the command set decides how the host
    // gets to see it.
    struct Outcome {
        ReplyBlock Reply{};
        bool Erasing = false;
        bool StartsDataPhase = false;
        bool Silent = false;  // no reply: the device is leaving the boot loader, or stays mute
        ModeChange Change = ModeChange::None;
    };

    struct DataPhase {
        int BlocksLeft = 0;
        std::size_t NextOffset = 0;
        ChipMemory::Area Area = ChipMemory::Area::None;
        Header ProgramHeader{};
    };

    // Lost at every power cycle and mode switch.
    struct Session {
        ReplyBlock Reply{};
        ReplyKind Kind = ReplyKind::Fixed;
        bool Unlocked = false;
        bool IspMode = false;  // status-polled set: 0x20 received
        DataPhase Data;
        DataPhase ArmedData;  // status-polled set: starts once the 0x25 result is read
        std::int64_t EraseUntilMs = 0;
        ReplyBlock EraseDone{};
        Header EraseHeader{};
        ReplyBlock Pending{};  // status-polled set: the result the next 0x2A delivers
        bool HasPending = false;
        bool PendingErasing = false;
        bool PendingStartsData = false;
        int BusyReadsLeft = 0;
        std::optional<Word> FirstOptionWord;
    };

    SimDevice(SimDeviceConfig config, const ChipFamilyData& family, const ChipRow& row);

    ModeChange ReceiveApplication(std::span<const std::uint8_t> payload);
    ModeChange ReceiveByte8(const Request& request, std::int64_t now_ms);
    ModeChange ReceiveStatusPolled(const Request& request, std::int64_t now_ms);
    ModeChange ReceiveByte64(const Request& request, std::int64_t now_ms);
    void ReceiveDataBlock(std::span<const std::uint8_t> payload);
    void AnswerBootLoader(std::span<std::uint8_t> payload, std::int64_t now_ms);

    // TX5 commands in 8-byte-set numbering (the status-polled set's minus 0x20).
    Outcome ExecuteTx5(std::uint8_t code, const Request& request, std::int64_t now_ms);
    Outcome EraseTx5(const Request& request, std::int64_t now_ms);
    Outcome ProgramTx5(const Request& request);
    Outcome ChecksumTx5(const Request& request);
    Outcome SetCodeOption(const Request& request);
    Outcome GetCodeOption(const Request& request);
    Outcome ReturnToApplication();

    ReplyBlock Erase64(const Request& request, std::int64_t now_ms);
    ReplyBlock Program64(const Request& request);

    void SwitchTo(DeviceMode mode);
    Header Echo(const Request& request) const;
    ReplyBlock Ack(const Request& request) const;
    ReplyBlock Refuse(const Request& request) const;
    bool EraseBusy(std::int64_t now_ms) const { return now_ms < session_.EraseUntilMs; }
    std::int64_t EraseEnd(std::int64_t now_ms, int duration_ms) const;
    bool CodeOptionsProtected() const;
    std::uint16_t MainChecksum(std::size_t from) const;
    std::uint16_t Faulty(std::uint16_t checksum, ChecksumFault where) const;

    SimDeviceConfig config_;
    const ChipFamilyData* family_;
    const ChipRow* row_;
    ChipMemory memory_;
    std::vector<SimInterface> boot_interfaces_;
    std::array<std::uint8_t, 4> security_{};
    std::uint8_t algorithm_ = 0;
    bool app_intact_ = true;
    DeviceMode mode_ = DeviceMode::Application;
    bool boot_identity_ = false;
    ReplyBlock app_reply_{};
    Session session_;
};

}  // namespace txisp::sim
