#include "engine/tx5_sequences.h"

#include <algorithm>

#include "firmware/checksums.h"
#include "firmware/option_page.h"
#include "isp/command_names.h"
#include "isp/mode_switch.h"

namespace txisp::engine {
namespace {

using isp::ISP_Command;

// The commands a sequence uses and the names their results are reported
// under. The status-polled set reports some of them under the 8-byte set's
// names (password, encryption, erase request, the first option read) and
// the rest under its own.
struct Tx5CommandSet {
    int (ISP_Command::*ComparePassword)(const isp::PasswordBytes&);
    int (ISP_Command::*SetEncryption)(std::uint8_t);
    int (ISP_Command::*EnableErase)(std::uint16_t, std::uint8_t);
    int (ISP_Command::*EraseResult)();
    int (ISP_Command::*EnableProgram)(std::uint16_t, std::uint16_t);
    int (ISP_Command::*CheckSum)(std::uint16_t, std::uint16_t&);
    int (ISP_Command::*GetOptions)(isp::CodeOptions&);
    int (ISP_Command::*SetOptions)(const isp::CodeOptions&);
    int (ISP_Command::*ReturnUserMode)();
    int EraseResultName;
    int EnableProgramName;
    int CheckSumName;
    int UpdateReadName;  // the option reads of the option-word update
    int UpdateWriteName;
    int ReturnUserModeName;
};

// clang-format off
constexpr Tx5CommandSet kByte8Set = {
    &ISP_Command::CompareIspPassword, &ISP_Command::SetEncryptionAlgorithm,
    &ISP_Command::EnableErase,        &ISP_Command::GetChipEraseResult,
    &ISP_Command::EnableProgram,      &ISP_Command::GetCheckSum,
    &ISP_Command::GetCodeOption,      &ISP_Command::SetCodeOption,
    &ISP_Command::ReturnUserMode,
    isp::kEnableErase, isp::kEnableProgram, isp::kGetCheckSum,
    isp::kGetCodeOption, isp::kSetCodeOption, isp::kReturnUserMode,
};

constexpr Tx5CommandSet kStatusPolledSet = {
    &ISP_Command::CompareIspPassword22, &ISP_Command::SetEncryptionAlgorithm23,
    &ISP_Command::EnableErase24,        &ISP_Command::GetChipEraseResult24,
    &ISP_Command::EnableProgram25,      &ISP_Command::GetCheckSum26,
    &ISP_Command::GetCodeOption29,      &ISP_Command::SetCodeOption28,
    &ISP_Command::ReturnUserMode27,
    isp::kEnableErase24, isp::kEnableProgram25, isp::kGetCheckSum26,
    isp::kGetCodeOption29, isp::kSetCodeOption28, isp::kReturnUserMode27,
};
// clang-format on

// The programming phase's shape: blocks of BlockSize image bytes from
// FirstByte on, announced with Enable Program at ProgramStart, the bar
// reaching ProgressScale with the last block.
struct BlockLayout {
    std::size_t BlockSize;
    std::size_t FirstByte;
    std::uint16_t ProgramStart;
    int ProgressScale;
    int ProgressDelays;  // progress delays after each block's update
};

// clang-format off
//                                 Size  First  Start  Scale  Delays
constexpr BlockLayout kLayoutAbd = {8,   16,    8,     100,   1};  // A, B, B', D
constexpr BlockLayout kLayoutC   = {8,    8,    4,     100,   1};
constexpr BlockLayout kLayoutE   = {8,   16,    8,      95,   1};
constexpr BlockLayout kLayoutF   = {64,   0,    0,      95,   2};
// clang-format on

// The option pages of sequences E and F: word address of the page, the
// erased page's checksum (512 bytes of FF), and the page's place in the F
// image.
constexpr std::uint16_t kOptionPageMode = 1;
constexpr std::uint16_t kErasedOptionPageChecksum = 0xFE00;
constexpr int kOptionEraseSteps = 10;
constexpr std::size_t kPacketImageOffset = 2 * firmware::kOptionPacketWordAddress;  // 0x1FF8
constexpr std::uint16_t kPageFWordAddress = 0x3F00;
constexpr std::size_t kPageFImageOffset = 2 * kPageFWordAddress;  // 0x7E00
constexpr std::size_t kPageFBytes = 512;
constexpr std::size_t kPageFOptions = kPageFImageOffset + kPageFBytes - 16;  // 0x7FF0
constexpr std::uint16_t kPageFBlocks = 8;

constexpr std::uint8_t kBlockAck = 0xFA;

class Tx5Programmer {
public:
    Tx5Programmer(DeviceRun& run, const Tx5CommandSet& set)
        : run_(run), set_(set), isp_(run.Isp()), row_(run.Row()) {}

    bool Password() {
        return run_.Report((isp_.*set_.ComparePassword)(run_.Params().Password),
                           isp::kCompareIspPassword);
    }

    // The read before the erase; reported under the 8-byte name in both sets.
    bool ReadOptionsAndCheckCrystal() {
        isp::CodeOptions options{};
        if (!run_.Report((isp_.*set_.GetOptions)(options), isp::kGetCodeOption)) return false;
        return CheckCrystalOption(run_, options);
    }

    bool ResetEncryption() {
        return run_.Report((isp_.*set_.SetEncryption)(0), isp::kSetEncryptionAlgorithm);
    }

    bool ErasePhase() {
        run_.Progress().BeginPhase(0);
        const int erase = (isp_.*set_.EnableErase)(row_.EraseStart, LowByte(row_.EraseValue));
        if (!run_.Report(erase, isp::kEnableErase)) return false;
        for (int p = 1; p <= 100; ++p) {
            run_.Progress().SetProgress(p);
            run_.Wait(run_.Timing().EraseStepDelayMs);
        }
        if (!run_.Report((isp_.*set_.EraseResult)(), set_.EraseResultName)) return false;
        run_.Trace("Chip Erase OK!!");
        return true;
    }

    bool BlankCheck() {
        std::uint16_t checksum = 0;
        if (!run_.Report((isp_.*set_.CheckSum)(0, checksum), set_.CheckSumName)) return false;
        if (checksum != row_.BlankChecksum) return run_.Fail("Blank Check Failed!!");
        run_.Trace("Blank Check OK!!");
        return true;
    }

    bool ProgrammingPhase(const BlockLayout& layout, bool acknowledged_blocks) {
        run_.Progress().BeginPhase(1);
        const int blocks = row_.BlockCount;
        const int program = (isp_.*set_.EnableProgram)(layout.ProgramStart, row_.BlockCount);
        if (!run_.Report(program, set_.EnableProgramName)) return false;
        const std::span<std::uint8_t> image = run_.Image();
        if (layout.FirstByte + layout.BlockSize * row_.BlockCount > image.size())
            return run_.FailQuietly("the parameter row's blocks reach past the image");
        for (int i = 0; i < blocks; ++i) {
            const auto block = image.subspan(layout.FirstByte + layout.BlockSize * i);
            const bool sent = layout.BlockSize == 8 ? isp_.SendBlock8(block.first<8>())
                                                    : isp_.SendBlock64(block.first<64>());
            if (!sent) return run_.Fail("Program Failed!!");
            const int position = i * layout.ProgressScale / blocks + 1;
            if (acknowledged_blocks) {
                run_.Progress().SetProgress(position);
                run_.Wait(run_.Timing().ProgressDelayMs);
                if (!BlockAcknowledged())
                    return run_.FailQuietly("data block " + std::to_string(i) +
                                            " was not acknowledged");
                continue;
            }
            run_.Wait(run_.Timing().BlockDelayMs);
            run_.Progress().SetProgress(position);
            run_.Wait(run_.Timing().ProgressDelayMs, layout.ProgressDelays);
        }
        run_.Trace("Program OK!!");
        return true;
    }

    bool Verify() {
        std::uint16_t checksum = 0;
        if (!run_.Report((isp_.*set_.CheckSum)(0, checksum), set_.CheckSumName)) return false;
        const std::span<std::uint8_t> image = run_.Image();
        if (row_.ByteSumLength > image.size())
            return run_.FailQuietly("the parameter row's checksum length reaches past the image");
        if (firmware::ByteSum16(image.first(row_.ByteSumLength)) != checksum)
            return run_.Fail("Data Verify Failed!!");
        return true;
    }

    // Rewrites the two option words from the image when the chip's security
    // bits allow it. B and B' keep the chip's own c0 and c1, writing them into
    // the image first; they stay there for the next device.
    bool OptionWordUpdate(bool keep_chip_c0_c1) {
        isp::CodeOptions chip{};
        if (!run_.Report((isp_.*set_.GetOptions)(chip), set_.UpdateReadName)) return false;
        const std::uint8_t mask = LowByte(row_.SecurityMask);
        if ((chip[6] & mask) != mask) {
            run_.Trace("Security bit is Enabled. Code Option can not be updated!!");
            return true;
        }
        const auto image_options = run_.Image().subspan(2 * row_.CodeOptionAddress, 8);
        if (keep_chip_c0_c1) {
            image_options[0] = chip[0];
            image_options[1] = chip[1];
        }
        isp::CodeOptions wanted{};
        std::copy(image_options.begin(), image_options.end(), wanted.begin());
        if (!run_.Report((isp_.*set_.SetOptions)(wanted), set_.UpdateWriteName)) return false;
        if (!run_.Report((isp_.*set_.GetOptions)(chip), set_.UpdateReadName)) return false;
        // A mismatch is traced, not a failure: the sequence goes on.
        if (chip != wanted) run_.Trace("Update Code Option failed!!");
        return true;
    }

    // Sequence E's option page: the chip's boot code and boot-loader
    // descriptors with the chip's own option bytes, rewritten as a whole.
    bool OptionPageE() {
        isp::CodeOptions16 chip{};
        if (!OptionPageOpen(chip, firmware::kOptionPageWordAddress)) return false;
        if (!page_writable_) return true;
        firmware::OptionPage& page = run_.State().OptionPageBlock;
        std::copy_n(chip.begin(), 8, page.BlockTail().begin());
        const std::span<std::uint8_t> image = run_.Image();
        const auto packet = page.Packet();
        std::copy_n(image.begin() + kPacketImageOffset, packet.size(), packet.begin());
        packet[2] = chip[10];
        packet[3] = static_cast<std::uint8_t>((chip[11] | 0xFE) & (packet[3] | 0x01));
        packet[6] = static_cast<std::uint8_t>((packet[6] | 0x70) & (chip[14] | 0x1F));
        if (!run_.Report(isp_.EnableProgram(firmware::kOptionPacketWordAddress, 1),
                         isp::kEnableProgram))
            return false;
        if (SendOptionBlocks(packet, 8) && !SendOptionPageBlock(page)) return false;
        return OptionPageVerified(firmware::kOptionPageWordAddress, page.Bytes);
    }

    // Sequence F's option page: the image's own last page, with the chip's
    // option bytes written into it.
    bool OptionPageF() {
        isp::CodeOptions16 chip{};
        if (!OptionPageOpen(chip, kPageFWordAddress)) return false;
        if (!page_writable_) return true;
        const std::span<std::uint8_t> image = run_.Image();
        std::copy_n(chip.begin(), 11, image.begin() + kPageFOptions);
        std::uint8_t& c11 = image[kPageFOptions + 11];
        c11 = static_cast<std::uint8_t>((chip[11] & 0x03) | (c11 & 0xFC));
        image[kPageFOptions + 12] = chip[12];
        image[kPageFOptions + 13] = chip[13];
        if (!run_.Report(isp_.EnableProgram(kPageFWordAddress, kPageFBlocks), isp::kEnableProgram))
            return false;
        SendOptionBlocks(image.subspan(kPageFImageOffset, kPageFBytes), 64);
        return OptionPageVerified(kPageFWordAddress, image.subspan(kPageFImageOffset, kPageFBytes));
    }

    // The end of every sequence but C: the result of Return User Mode is not
    // consulted.
    bool Finish() {
        run_.Trace("Data Verify OK!!");
        isp_.ReturnUserMode();
        return true;
    }

    bool FinishReported() {
        run_.Trace("Data Verify OK!!");
        return run_.Report((isp_.*set_.ReturnUserMode)(), set_.ReturnUserModeName);
    }

private:
    static std::uint8_t LowByte(std::uint16_t value) { return static_cast<std::uint8_t>(value); }

    // A status-polled chip confirms each block with FA in byte 0; a slow
    // chip gets a second read. A read that fails counts as no confirmation:
    // the buffer would still hold the previous block's FA.
    bool BlockAcknowledged() {
        for (int read = 0; read < 2; ++read) {
            isp::Block8 reply{};
            if (isp_.ReceiveBlock8(reply) && reply[0] == kBlockAck) return true;
        }
        return false;
    }

    // Reads the 16 option bytes; with the page's security bit clear it
    // erases the page and checks that it is blank. page_writable_ says
    // whether the page is to be written.
    bool OptionPageOpen(isp::CodeOptions16& chip, std::uint16_t page_address) {
        page_writable_ = false;
        if (!run_.Report(isp_.GetCodeOption4(chip), isp::kGetCodeOption)) return false;
        if ((chip[14] & LowByte(row_.SecurityMask)) == 0) {
            run_.Trace("Security bit is Enabled. Code Option can not be updated!!");
            return true;
        }
        run_.Trace("Security bit is disable. Code Option will be updated!!");
        if (!run_.Report(isp_.EnableErase(page_address, kOptionPageMode), isp::kEnableErase))
            return false;
        // No erase result is read: the blank check below tells.
        run_.Wait(run_.Timing().EraseStepDelayMs, kOptionEraseSteps);
        std::uint16_t checksum = 0;
        if (!run_.Report(isp_.GetOptionAreaCheckSum(page_address, checksum), isp::kGetCheckSum))
            return false;
        if (checksum != kErasedOptionPageChecksum)
            return run_.Fail("Code Option Blank Check Failed!!");
        run_.Trace("Code Option Blank Check OK!!");
        page_writable_ = true;
        return true;
    }

    // Sends `bytes` in blocks of `size`. A block that cannot be sent is
    // traced but is no failure of its own: the page checksum decides.
    bool SendOptionBlocks(std::span<const std::uint8_t> bytes, std::size_t size) {
        for (std::size_t at = 0; at < bytes.size(); at += size) {
            const auto block = bytes.subspan(at);
            const bool sent =
                size == 8 ? isp_.SendBlock8(block.first<8>()) : isp_.SendBlock64(block.first<64>());
            if (!sent) {
                run_.Trace("Code Option Program Failed!!");
                return false;
            }
            run_.Wait(run_.Timing().BlockDelayMs);
            run_.Wait(run_.Timing().ProgressDelayMs);
        }
        return true;
    }

    // Sequence E's 63 blocks of the page proper, after the packet went in.
    // False only when the Enable Program fails.
    bool SendOptionPageBlock(firmware::OptionPage& page) {
        constexpr auto kBlocks = static_cast<std::uint16_t>(firmware::kOptionPageBlockSize / 8);
        if (!run_.Report(isp_.EnableProgram(firmware::kOptionPageWordAddress, kBlocks),
                         isp::kEnableProgram))
            return false;
        SendOptionBlocks(page.Block(), 8);
        return true;
    }

    bool OptionPageVerified(std::uint16_t page_address, std::span<const std::uint8_t> page) {
        std::uint16_t checksum = 0;
        if (!run_.Report(isp_.GetOptionAreaCheckSum(page_address, checksum), isp::kGetCheckSum))
            return false;
        if (checksum != firmware::ByteSum16(page))
            return run_.Fail("Code Option Data Verify Failed!!");
        run_.Trace("Code Option Data Verify OK!!");
        return true;
    }

    DeviceRun& run_;
    const Tx5CommandSet& set_;
    ISP_Command& isp_;
    const firmware::ChipParameters& row_;
    bool page_writable_ = false;
};

bool SequenceA(Tx5Programmer& p, DeviceRun& run) {
    if (!p.Password() || !p.ReadOptionsAndCheckCrystal() || !p.ResetEncryption()) return false;
    if (!p.ErasePhase() || !p.BlankCheck()) return false;
    if (!p.ProgrammingPhase(kLayoutAbd, false)) return false;
    run.Progress().SetProgress(100);
    if (!p.OptionWordUpdate(false) || !p.Verify()) return false;
    return p.Finish();
}

bool SequenceB(Tx5Programmer& p, DeviceRun& run, bool reset_encryption) {
    if (!p.Password()) return false;
    if (reset_encryption && !p.ResetEncryption()) return false;
    if (!p.ErasePhase() || !p.BlankCheck()) return false;
    if (!p.ProgrammingPhase(kLayoutAbd, false)) return false;
    run.Progress().SetProgress(100);
    if (!p.OptionWordUpdate(true) || !p.Verify()) return false;
    return p.Finish();
}

bool SequenceC(Tx5Programmer& p, DeviceRun& run) {
    if (!p.Password() || !p.ReadOptionsAndCheckCrystal() || !p.ResetEncryption()) return false;
    if (!p.ErasePhase() || !p.BlankCheck()) return false;
    if (!p.ProgrammingPhase(kLayoutC, true)) return false;
    run.Progress().SetProgress(100);
    if (!p.OptionWordUpdate(false) || !p.Verify()) return false;
    return p.FinishReported();
}

bool SequenceD(Tx5Programmer& p, DeviceRun& run) {
    if (!p.Password() || !p.ErasePhase() || !p.BlankCheck()) return false;
    if (!p.ProgrammingPhase(kLayoutAbd, false)) return false;
    run.Progress().SetProgress(100);
    if (!p.Verify()) return false;
    return p.Finish();
}

// E and F: the bar stops at 95 with the last block and reaches 100 only
// once the option page is done.
bool SequenceEF(Tx5Programmer& p, DeviceRun& run, bool sequence_f) {
    if (!p.Password() || !p.ErasePhase() || !p.BlankCheck()) return false;
    if (!p.ProgrammingPhase(sequence_f ? kLayoutF : kLayoutE, false)) return false;
    if (!p.Verify()) return false;
    if (!(sequence_f ? p.OptionPageF() : p.OptionPageE())) return false;
    run.Trace("Data Verify OK!!");
    run.Progress().SetProgress(100);
    run.Isp().ReturnUserMode();
    return true;
}

}  // namespace

bool CheckCrystalOption(DeviceRun& run, const isp::CodeOptions& options) {
    const firmware::ChipParameters& row = run.Row();
    const auto crystal = static_cast<std::uint8_t>(row.CrystalMask);
    const std::uint8_t image_byte = run.Image()[2 * row.CodeOptionAddress + 6];
    if ((options[6] & crystal) == (image_byte & crystal)) return true;
    if (run.Prompts().AskYesNo(isp::kErrorCaption, kCrystalQuestion)) return true;
    return run.FailQuietly(
        "the crystal setting differs from the image's and the operator chose No");
}

bool RunTx5Sequence(DeviceRun& run, Tx5Sequence sequence) {
    Tx5Programmer programmer(run, sequence == Tx5Sequence::C ? kStatusPolledSet : kByte8Set);
    switch (sequence) {
        case Tx5Sequence::A:
            return SequenceA(programmer, run);
        case Tx5Sequence::B:
            return SequenceB(programmer, run, false);
        case Tx5Sequence::BPrime:
            return SequenceB(programmer, run, true);
        case Tx5Sequence::C:
            return SequenceC(programmer, run);
        case Tx5Sequence::D:
            return SequenceD(programmer, run);
        case Tx5Sequence::E:
            return SequenceEF(programmer, run, false);
        case Tx5Sequence::F:
            return SequenceEF(programmer, run, true);
    }
    return false;
}

}  // namespace txisp::engine
