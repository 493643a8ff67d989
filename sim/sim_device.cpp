#include "sim/sim_device.h"

#include <algorithm>
#include <limits>
#include <string>
#include <utility>

namespace txisp::sim {
namespace {

std::array<std::uint8_t, 4> DefaultSecurity(int family) {
    // Families 13 and 14 take 00 00 as the unprotected level, the others FF FF.
    const std::uint8_t fill = family == 13 || family == 14 ? 0x00 : 0xFF;
    return {fill, fill, fill, fill};
}

Status CheckInterfaces(const std::vector<SimInterface>& interfaces) {
    for (std::size_t i = 0; i < interfaces.size(); ++i) {
        const std::string key = "interfaces[" + std::to_string(i) + "]";
        const SimInterface& interface = interfaces[i];
        if (interface.ReportLength < 0 || interface.ReportLength > 4096)
            return Status::Fail(key +
                                ".report_length: must lie between 1 and 4096 (0: the family's)");
        if (interface.ReportId < 0 || interface.ReportId > 255)
            return Status::Fail(key + ".report_id: must lie between 0 and 255");
    }
    return Status::Ok();
}

Status CheckCounts(const SimDeviceConfig& config) {
    const std::pair<const char*, int> counts[] = {
        {"reenumerate_delay_ms", config.ReenumerateDelayMs},
        {"erase_ms", config.EraseMs},
        {"option_erase_ms", config.OptionEraseMs},
        {"busy_reads", config.BusyReads},
        {"block_busy_reads", config.BlockBusyReads},
        {"faults.fail_send", config.Faults.FailSend},
        {"faults.fail_receive", config.Faults.FailReceive},
        {"faults.unplug_after", config.Faults.UnplugAfter},
        {"faults.latency_ms", config.Faults.LatencyMs},
    };
    for (const auto& [key, value] : counts) {
        if (value < 0) return Status::Fail(std::string(key) + ": must not be negative");
    }
    return Status::Ok();
}

// A GET_REPORT payload: the reply, zeros behind it on a longer report.
void Deliver(const ReplyBlock& reply, std::span<std::uint8_t> payload) {
    const std::size_t n = std::min(payload.size(), reply.size());
    std::copy_n(reply.begin(), n, payload.begin());
    std::fill(payload.begin() + static_cast<std::ptrdiff_t>(n), payload.end(), 0);
}

}  // namespace

Result<SimDevice> SimDevice::Create(SimDeviceConfig config) {
    const std::optional<int> family = FindChipFamily(config.Chip);
    if (!family) return Result<SimDevice>::Fail("chip: unknown chip \"" + config.Chip + "\"");
    const ChipRow* row = FindRow(*family, config.Variant);
    const ChipFamilyData& data = FamilyData(*family);
    if (row == nullptr) {
        return Result<SimDevice>::Fail("variant: " + config.Chip + " has variants 0 to " +
                                       std::to_string(data.Variants - 1) + ", not " +
                                       std::to_string(config.Variant));
    }
    if (Status status = CheckCounts(config); !status) return status;
    if (config.Interfaces.empty()) config.Interfaces.emplace_back();
    if (Status status = CheckInterfaces(config.Interfaces); !status) return status;
    for (SimInterface& interface : config.Interfaces) {
        if (interface.ReportLength == 0) interface.ReportLength = ReportLengthOf(*family);
    }
    if (data.Kind == ChipKind::Tx64 && !config.CodeOptions.empty())
        return Result<SimDevice>::Fail("code_options: TX64 chips have no code options");
    if (data.Kind == ChipKind::Tx5 && config.Security)
        return Result<SimDevice>::Fail("security: only TX64 chips have security bytes");
    const std::size_t option_bytes = ChipMemory(data, *row).CodeOptions().size();
    if (!config.CodeOptions.empty() && config.CodeOptions.size() != option_bytes) {
        return Result<SimDevice>::Fail("code_options: " + config.Chip + " variant " +
                                       std::to_string(config.Variant) + " has " +
                                       std::to_string(option_bytes) + " code-option bytes");
    }
    return SimDevice(std::move(config), data, *row);
}

SimDevice::SimDevice(SimDeviceConfig config, const ChipFamilyData& family, const ChipRow& row)
    : config_(std::move(config)), family_(&family), row_(&row), memory_(family, row) {
    memory_.SetAppVersion(config_.AppVersion);
    std::vector<std::uint8_t> options = config_.CodeOptions;
    if (options.empty()) options.assign(memory_.CodeOptions().size(), 0xFF);
    if (!options.empty()) {
        // Byte 6 holds the security and crystal bits, byte 14 the security
        // bits of chips with an option page.
        const std::size_t security_byte = options.size() == 16 ? 14 : 6;
        if (config_.Faults.ProtectedCodeOptions)
            options[security_byte] &= static_cast<std::uint8_t>(~row.SecurityMask);
        if (config_.Faults.CrystalMismatch) options[6] ^= row.CrystalMask;
        memory_.SetCodeOptions(options);
    }
    security_ = config_.Security.value_or(DefaultSecurity(family.Family));
    app_intact_ = !config_.StartInBootLoader;

    SimInterface boot;
    boot.ReportLength = ReportLengthOf(family.Family);
    boot.PhysicalPath = config_.Interfaces.front().PhysicalPath;
    boot.Serial = config_.Interfaces.front().Serial;
    boot_interfaces_.push_back(std::move(boot));
}

void SimDevice::PowerOn() {
    SwitchTo(app_intact_ ? DeviceMode::Application : DeviceMode::BootLoader);
    boot_identity_ = mode_ == DeviceMode::BootLoader;
}

void SimDevice::SwitchTo(DeviceMode mode) {
    mode_ = mode;
    session_ = Session{};
    app_reply_ = {};
    boot_identity_ = mode == DeviceMode::BootLoader && config_.Switch == SwitchStyle::Reenumerate;
}

std::uint16_t SimDevice::VendorId() const {
    return boot_identity_ ? kBootLoaderVid : config_.VendorId;
}

std::uint16_t SimDevice::ProductId() const {
    return boot_identity_ ? family_->BootPid : config_.ProductId;
}

const std::vector<SimInterface>& SimDevice::Interfaces() const& {
    return boot_identity_ ? boot_interfaces_ : config_.Interfaces;
}

std::array<std::uint8_t, 4> SimDevice::BootVersion() const {
    if (config_.Faults.FirmwareVersion) return *config_.Faults.FirmwareVersion;
    std::array<std::uint8_t, 4> version = family_->Version;
    if (family_->Kind == ChipKind::Tx5) version[3] = static_cast<std::uint8_t>(config_.Variant);
    return version;
}

ModeChange SimDevice::Receive(std::span<const std::uint8_t> payload, std::int64_t now_ms) {
    if (mode_ == DeviceMode::Application) return ReceiveApplication(payload);
    if (session_.Data.BlocksLeft > 0) {
        ReceiveDataBlock(payload);
        return ModeChange::None;
    }
    const std::optional<Request> request = ParseRequest(payload);
    if (!request) return ModeChange::None;  // not a request: nothing to answer
    switch (family_->Set) {
        case CommandSet::Byte8:
            return ReceiveByte8(*request, now_ms);
        case CommandSet::StatusPolled:
            return ReceiveStatusPolled(*request, now_ms);
        case CommandSet::Byte64:
            return ReceiveByte64(*request, now_ms);
    }
    return ModeChange::None;
}

void SimDevice::Answer(std::span<std::uint8_t> payload, std::int64_t now_ms) {
    if (mode_ == DeviceMode::BootLoader) {
        AnswerBootLoader(payload, now_ms);
        return;
    }
    Deliver(app_reply_, payload);
}

ModeChange SimDevice::ReceiveApplication(std::span<const std::uint8_t> payload) {
    if (payload.size() < 8) return ModeChange::None;
    const auto request = payload.first<8>();
    if (std::equal(request.begin(), request.end(), kDeviceInfoRequest.begin())) {
        app_reply_ = {};
        PutLe16(app_reply_, 0, memory_.AppVersion());
        return ModeChange::None;
    }
    std::vector<std::array<std::uint8_t, 8>> accepted = config_.BootCommands;
    if (accepted.empty()) accepted.push_back(DefaultBootCommand(family_->Family));
    const bool boot = std::any_of(accepted.begin(), accepted.end(), [&](const auto& command) {
        return std::equal(request.begin(), request.end(), command.begin());
    });
    if (!boot) return ModeChange::None;  // the application ignores what it does not know
    SwitchTo(DeviceMode::BootLoader);
    return ModeChange::ToBootLoader;
}

void SimDevice::ReceiveDataBlock(std::span<const std::uint8_t> payload) {
    DataPhase& data = session_.Data;
    const auto size = static_cast<std::size_t>(family_->DataBlockSize);
    if (payload.size() < size) {
        // A report too short for a whole block cannot be written; the
        // boot loader gives up on the programming phase.
        data = DataPhase{};
        return;
    }
    memory_.Program(data.NextOffset, payload.first(size));
    data.NextOffset += size;
    --data.BlocksLeft;
    if (family_->Set == CommandSet::StatusPolled) {
        session_.Kind = ReplyKind::BlockAck;
        session_.BusyReadsLeft = config_.BlockBusyReads;
    }
    if (data.BlocksLeft > 0) return;
    if (data.Area == ChipMemory::Area::Main) app_intact_ = true;
    if (family_->Set == CommandSet::Byte64) {
        // The programming report: the chip's word sum over its whole flash.
        session_.Reply = MakeReply(data.ProgramHeader, StatusWord(kAck));
        PutLe16(session_.Reply, 8,
                Faulty(WordSum16(memory_.Bytes().first(memory_.MainEnd())), ChecksumFault::Verify));
        session_.Kind = ReplyKind::Fixed;
    }
}

void SimDevice::AnswerBootLoader(std::span<std::uint8_t> payload, std::int64_t now_ms) {
    Session& session = session_;
    const bool busy_forever = config_.Faults.BusyForever;
    switch (session.Kind) {
        case ReplyKind::Fixed:
            break;
        case ReplyKind::EraseResult:
            if (EraseBusy(now_ms)) {
                session.Reply = MakeReply(session.EraseHeader, StatusWord(kBusy));
            } else {
                session.Reply = session.EraseDone;
                session.Kind = ReplyKind::Fixed;
            }
            break;
        case ReplyKind::StatusPoll: {
            const bool erasing = session.PendingErasing && EraseBusy(now_ms);
            if (busy_forever || erasing || session.BusyReadsLeft > 0) {
                if (!erasing && session.BusyReadsLeft > 0) --session.BusyReadsLeft;
                session.Reply = MakeReply({session.Pending[0], session.Pending[1],
                                           session.Pending[2], session.Pending[3]},
                                          StatusWord(kBusy));
                break;
            }
            session.Reply = session.Pending;
            session.Kind = ReplyKind::Fixed;
            if (session.PendingStartsData) session.Data = session.ArmedData;
            session.HasPending = false;
            break;
        }
        case ReplyKind::BlockAck: {
            const bool busy = busy_forever || session.BusyReadsLeft > 0;
            if (session.BusyReadsLeft > 0) --session.BusyReadsLeft;
            session.Reply.fill(0);
            std::fill_n(session.Reply.begin(), 8, busy ? kBusy : kAck);
            if (!busy) session.Kind = ReplyKind::Fixed;
            break;
        }
    }
    Deliver(session.Reply, payload);
}

Header SimDevice::Echo(const Request& request) const {
    Header header = request.HeaderBytes();
    if (config_.Faults.WrongHeader == request.Code()) header[3] ^= 0x01;
    return header;
}

ReplyBlock SimDevice::Ack(const Request& request) const {
    return MakeReply(Echo(request), StatusWord(kAck));
}

ReplyBlock SimDevice::Refuse(const Request& request) const {
    return MakeReply(Echo(request), StatusWord(kNak));
}

std::int64_t SimDevice::EraseEnd(std::int64_t now_ms, int duration_ms) const {
    if (config_.Faults.BusyForever) return std::numeric_limits<std::int64_t>::max();
    return now_ms + duration_ms;
}

bool SimDevice::CodeOptionsProtected() const {
    const std::span<const std::uint8_t> options = memory_.CodeOptions();
    const std::uint8_t mask = row_->SecurityMask;
    // Chips with an option page keep their security bits in c14; one set bit
    // of the mask leaves them open. The others need every bit of it in c6.
    if (options.size() == 16) return (options[14] & mask) == 0;
    return options.size() == 8 && (options[6] & mask) != mask;
}

std::uint16_t SimDevice::MainChecksum(std::size_t from) const {
    // An erased chip reports its blank checksum whatever it would add up to.
    if (from == 0 && memory_.Erased()) return Faulty(row_->BlankChecksum, ChecksumFault::Blank);
    const auto bytes = memory_.Bytes().subspan(from, memory_.MainEnd() - from);
    return Faulty(family_->Kind == ChipKind::Tx5 ? ByteSum16(bytes) : WordSum16(bytes),
                  ChecksumFault::Verify);
}

std::uint16_t SimDevice::Faulty(std::uint16_t checksum, ChecksumFault where) const {
    if (config_.Faults.WrongChecksum != where) return checksum;
    return static_cast<std::uint16_t>(checksum + 1);
}

}  // namespace txisp::sim
