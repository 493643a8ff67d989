// The TX64 boot loader: 64-byte requests, and raw 64-byte reports that carry
// the chip's checksum in bytes 8 and 9 after an erase and after the last data
// block. Return User Mode arrives as an 8-byte block in a 65-byte report; the
// bytes behind it are whatever the host's buffer held and are ignored.

#include "sim/sim_device.h"

namespace txisp::sim {
namespace {

// Families 13 and 14 are never erased by the host; their boot loader erases
// each page as the data reaches it.
bool ErasesAsItPrograms(int family) {
    return family == 13 || family == 14;
}

}  // namespace

ModeChange SimDevice::ReceiveByte64(const Request& request, std::int64_t now_ms) {
    Session& session = session_;
    session.Kind = ReplyKind::Fixed;
    if (request.Bytes.size() < 64) {
        session.Reply = Refuse(request);
        return ModeChange::None;
    }
    if (EraseBusy(now_ms)) {
        session.Reply = MakeReply(Echo(request), StatusWord(kBusy));
        return ModeChange::None;
    }
    if (config_.Faults.Nak == request.Code()) {
        session.Reply = Refuse(request);
        return ModeChange::None;
    }
    switch (request.Code()) {
        case kGetFirmwareVersion: {
            session.Reply = Ack(request);
            const std::array<std::uint8_t, 4> version = BootVersion();
            std::copy(version.begin(), version.end(), session.Reply.begin() + 8);
            std::copy(security_.begin(), security_.end(), session.Reply.begin() + 12);
            break;
        }
        case kCompareIspPassword:
            // The TX64 boot loader has no password: the request unlocks the
            // erase, and whatever stands in its parameter bytes is ignored.
            session.Unlocked = !config_.Faults.WrongPassword;
            session.Reply = session.Unlocked ? Ack(request) : Refuse(request);
            break;
        case kSetEncryptionAlgorithm:
            security_ = request.WordAt(4);
            session.Reply = Ack(request);
            break;
        case kEnableErase:
            session.Reply = Erase64(request, now_ms);
            break;
        case kEnableProgram:
            session.Reply = Program64(request);
            break;
        case kReturnUserMode:
            return ReturnToApplication().Change;
        default:
            session.Reply = Refuse(request);
            break;
    }
    return ModeChange::None;
}

ReplyBlock SimDevice::Erase64(const Request& request, std::int64_t now_ms) {
    const bool accepted = session_.Unlocked && request.U16(4) == 0 &&
                          request.Bytes[8] == static_cast<std::uint8_t>(row_->EraseValue);
    if (!accepted) return Refuse(request);
    memory_.EraseMain();
    app_intact_ = false;
    session_.EraseUntilMs = EraseEnd(now_ms, config_.EraseMs);
    // The erase report: read once the erase is done, it carries the checksum
    // of the erased flash.
    session_.EraseHeader = Echo(request);
    session_.EraseDone = Ack(request);
    PutLe16(session_.EraseDone, 8, MainChecksum(0));
    session_.Kind = ReplyKind::EraseResult;
    return MakeReply(session_.EraseHeader, StatusWord(kBusy));
}

ReplyBlock SimDevice::Program64(const Request& request) {
    const std::uint32_t address = request.U32(4);
    const int blocks = request.U16(8);
    const std::size_t length = static_cast<std::size_t>(blocks) * family_->DataBlockSize;
    if (memory_.AreaOf(address, length) != ChipMemory::Area::Main) return Refuse(request);
    if (ErasesAsItPrograms(family_->Family)) {
        memory_.EraseRange(address, length);
        app_intact_ = false;
    }
    session_.Data = {blocks, address, ChipMemory::Area::Main, Echo(request)};
    return Ack(request);
}

}  // namespace txisp::sim
