// The TX5 boot loaders: the 8-byte set, whose replies are read straight
// after the request, and the status-polled set of family 6, whose replies
// come through the status request 0x2A. Both run the same commands.

#include <algorithm>

#include "sim/sim_device.h"

namespace txisp::sim {

ModeChange SimDevice::ReceiveByte8(const Request& request, std::int64_t now_ms) {
    Session& session = session_;
    session.Kind = ReplyKind::Fixed;
    // Busy erasing: the request is not executed, the reply says why.
    if (EraseBusy(now_ms)) {
        session.Reply = MakeReply(Echo(request), StatusWord(kBusy));
        return ModeChange::None;
    }
    if (config_.Faults.Nak == request.Code()) {
        session.Reply = Refuse(request);
        return ModeChange::None;
    }
    const Outcome outcome = ExecuteTx5(request.Code(), request, now_ms);
    if (outcome.Silent) return outcome.Change;
    if (outcome.Erasing) {
        // Enable Erase is answered later: the result is read after the
        // erase time, without a request of its own.
        session.EraseDone = outcome.Reply;
        session.EraseHeader = Echo(request);
        session.Kind = ReplyKind::EraseResult;
        return ModeChange::None;
    }
    session.Reply = outcome.Reply;
    if (outcome.StartsDataPhase) session.Data = session.ArmedData;
    return ModeChange::None;
}

ModeChange SimDevice::ReceiveStatusPolled(const Request& request, std::int64_t now_ms) {
    Session& session = session_;
    const std::uint8_t code = request.Code();
    if (code == kEnableCheckData) {
        if (session.HasPending && config_.Faults.Nak != code) {
            session.Kind = ReplyKind::StatusPoll;
            session.BusyReadsLeft = config_.BusyReads;
        } else {
            session.Reply = Refuse(request);
            session.Kind = ReplyKind::Fixed;
        }
        return ModeChange::None;
    }
    // A new request replaces the undelivered result; reads without a status
    // request keep returning the last reply.
    session.Kind = ReplyKind::Fixed;
    session.HasPending = true;
    session.PendingErasing = false;
    session.PendingStartsData = false;
    if (code < kEnterIspMode || code > kEnterIspMode + kGetCodeOption ||
        config_.Faults.Nak == code) {
        session.Pending = Refuse(request);
        return ModeChange::None;
    }
    if (EraseBusy(now_ms)) {
        session.Pending = MakeReply(Echo(request), StatusWord(kBusy));
        return ModeChange::None;
    }
    if (code == kEnterIspMode) {
        session.IspMode = true;
        session.Pending = Ack(request);
        return ModeChange::None;
    }
    if (!session.IspMode) {
        session.Pending = Refuse(request);
        return ModeChange::None;
    }
    const Outcome outcome =
        ExecuteTx5(static_cast<std::uint8_t>(code - kStatusPolledBase), request, now_ms);
    if (outcome.Silent) {
        session.HasPending = false;
        return outcome.Change;
    }
    session.Pending = outcome.Reply;
    session.PendingErasing = outcome.Erasing;
    session.PendingStartsData = outcome.StartsDataPhase;
    return ModeChange::None;
}

SimDevice::Outcome SimDevice::ExecuteTx5(std::uint8_t code, const Request& request,
                                         std::int64_t now_ms) {
    const bool unlocked = session_.Unlocked;
    switch (code) {
        case kGetFirmwareVersion:
            return {.Reply = MakeReply(Echo(request), BootVersion())};
        case kCompareIspPassword: {
            session_.Unlocked =
                !config_.Faults.WrongPassword && request.WordAt(4) == config_.Password;
            return {.Reply = session_.Unlocked ? Ack(request) : Refuse(request)};
        }
        case kSetEncryptionAlgorithm:
            if (!unlocked) break;
            algorithm_ = request.Bytes[7];
            return {.Reply = Ack(request)};
        case kEnableErase:
            if (!unlocked) break;
            return EraseTx5(request, now_ms);
        case kEnableProgram:
            if (!unlocked) break;
            return ProgramTx5(request);
        case kGetCheckSum:
            return ChecksumTx5(request);
        case kReturnUserMode:
            return ReturnToApplication();
        case kSetCodeOption:
            if (!unlocked) break;
            return SetCodeOption(request);
        case kGetCodeOption:
            return GetCodeOption(request);
        default:
            break;
    }
    return {.Reply = Refuse(request)};
}

SimDevice::Outcome SimDevice::EraseTx5(const Request& request, std::int64_t now_ms) {
    const std::uint16_t address = request.U16(4);
    const std::uint8_t mode = request.Bytes[6];
    if (address == 0 && mode == static_cast<std::uint8_t>(row_->EraseValue)) {
        memory_.EraseMain();
        app_intact_ = false;
        session_.EraseUntilMs = EraseEnd(now_ms, config_.EraseMs);
        return {.Reply = Ack(request), .Erasing = true};
    }
    // The option page is erased with mode 1 at its own address, and only
    // while the security bits allow the code options to change.
    if (memory_.HasOptionPage() && address == row_->OptionPage && mode == 1 &&
        !CodeOptionsProtected()) {
        memory_.EraseOptionPage();
        session_.EraseUntilMs = EraseEnd(now_ms, config_.OptionEraseMs);
        return {.Reply = Ack(request), .Erasing = true};
    }
    return {.Reply = Refuse(request)};
}

SimDevice::Outcome SimDevice::ProgramTx5(const Request& request) {
    const std::size_t offset = 2 * static_cast<std::size_t>(request.U16(4));
    const int blocks = request.U16(6);
    const ChipMemory::Area area =
        memory_.AreaOf(offset, static_cast<std::size_t>(blocks) * family_->DataBlockSize);
    const bool refused = area == ChipMemory::Area::None ||
                         (area == ChipMemory::Area::OptionPage && CodeOptionsProtected());
    if (refused) return {.Reply = Refuse(request)};
    session_.ArmedData = {blocks, offset, area, Echo(request)};
    return {.Reply = Ack(request), .StartsDataPhase = true};
}

SimDevice::Outcome SimDevice::ChecksumTx5(const Request& request) {
    const std::uint16_t address = request.U16(4);
    std::uint16_t checksum = 0;
    if (request.Sub() == 0 && 2 * static_cast<std::size_t>(address) < memory_.MainEnd()) {
        checksum = MainChecksum(2 * static_cast<std::size_t>(address));
    } else if (request.Sub() == 1 && memory_.HasOptionPage() && address == row_->OptionPage) {
        const auto page = memory_.Bytes().subspan(memory_.OptionPageOffset(), kOptionPageBytes);
        checksum = Faulty(ByteSum16(page), ChecksumFault::Option);
    } else {
        return {.Reply = Refuse(request)};
    }
    ReplyBlock reply = MakeReply(Echo(request), StatusWord(kAck));
    PutLe16(reply, 6, checksum);
    return {.Reply = reply};
}

SimDevice::Outcome SimDevice::SetCodeOption(const Request& request) {
    // Chips with an option page take their code options with the page.
    if (memory_.CodeOptions().size() != 8 || CodeOptionsProtected())
        return {.Reply = Refuse(request)};
    if (request.Sub() == 0) {
        session_.FirstOptionWord = request.WordAt(4);
        return {.Reply = Ack(request)};
    }
    if (request.Sub() != 1 || !session_.FirstOptionWord) return {.Reply = Refuse(request)};
    const Word first = *session_.FirstOptionWord;
    const Word second = request.WordAt(4);
    const std::uint8_t options[8] = {first[0],  first[1],  first[2],  first[3],
                                     second[0], second[1], second[2], second[3]};
    memory_.SetCodeOptions(options);
    session_.FirstOptionWord.reset();
    return {.Reply = Ack(request)};
}

SimDevice::Outcome SimDevice::GetCodeOption(const Request& request) {
    const std::span<const std::uint8_t> options = memory_.CodeOptions();
    const std::size_t at = 4 * static_cast<std::size_t>(request.Sub());
    if (at + 4 > options.size()) return {.Reply = Refuse(request)};
    return {.Reply = MakeReply(Echo(request),
                               {options[at], options[at + 1], options[at + 2], options[at + 3]})};
}

SimDevice::Outcome SimDevice::ReturnToApplication() {
    // A boot loader does not start an application that is not all there.
    if (!app_intact_) return {.Silent = true};
    SwitchTo(DeviceMode::Application);
    return {.Silent = true, .Change = ModeChange::ToApplication};
}

}  // namespace txisp::sim
