#include "engine/tx64_sequence.h"

#include <optional>

#include "firmware/checksums.h"
#include "isp/command_names.h"

namespace txisp::engine {
namespace {

// Families 13 and 14 need this long after Enable Program before the first
// block.
constexpr std::uint32_t kProgramStartWaitMs = 20;
constexpr std::size_t kReportChecksumByte = 8;

bool ErasesAsItPrograms(firmware::ChipFamily family) {
    return family == 13 || family == 14;
}

// The chip's checksum from a raw report. A report that cannot be read gives
// nothing: the buffer would only hold what an earlier read left there.
std::optional<std::uint16_t> ReadChecksumReport(DeviceRun& run, std::string_view what) {
    isp::Block64 report{};
    if (!run.Isp().ReceiveBlock64(report)) {
        run.Log().Note("device " + std::to_string(run.DeviceNumber()) + ": the " +
                       std::string(what) + " report could not be read");
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(report[kReportChecksumByte] |
                                      (report[kReportChecksumByte + 1] << 8));
}

bool EraseAndBlankCheck(DeviceRun& run) {
    const firmware::ChipParameters& row = run.Row();
    isp::ISP_Command& isp = run.Isp();
    if (!run.Report(isp.CompareIspPasswordBlock64(row.EraseStart, row.EraseValue),
                    isp::kCompareIspPassword))
        return false;
    run.Progress().BeginPhase(0);
    const int erase =
        isp.EnableEraseBlock64(row.EraseStart, static_cast<std::uint8_t>(row.EraseValue));
    if (!run.Report(erase, isp::kEnableErase)) return false;
    for (int p = 1; p <= 100; ++p) {
        run.Progress().SetProgress(p);
        run.Wait(run.Timing().EraseStepDelayMs, row.EraseWaitMultiplier);
    }
    if (ReadChecksumReport(run, "erase") != row.BlankChecksum)
        return run.Fail("Blank Check Failed!!");
    run.Trace("Blank Check OK!!");
    return true;
}

bool ProgramAndVerify(DeviceRun& run) {
    const firmware::ChipParameters& row = run.Row();
    isp::ISP_Command& isp = run.Isp();
    run.Progress().BeginPhase(1);
    if (!run.Report(isp.EnableProgramBlock64(0, row.BlockCount), isp::kEnableProgram)) return false;
    if (ErasesAsItPrograms(run.Family())) run.Wait(kProgramStartWaitMs);
    const std::span<std::uint8_t> image = run.Image();
    const int blocks = row.BlockCount;
    if (64u * row.BlockCount > image.size() || row.ImageLength > image.size())
        return run.FailQuietly("the parameter row's blocks reach past the image");
    for (int i = 0; i < blocks; ++i) {
        if (!isp.SendBlock64(image.subspan(64u * i).first<64>()))
            return run.Fail("Program Failed!!");
        run.Wait(run.Timing().BlockDelayMs);
        run.Progress().SetProgress(i * 100 / blocks + 1);
        run.Wait(run.Timing().ProgressDelayMs);
    }
    run.Trace("Program OK!!");
    run.Progress().SetProgress(100);
    const std::optional<std::uint16_t> checksum = ReadChecksumReport(run, "programming");
    if (checksum != firmware::WordSum16(image.first(row.ImageLength)))
        return run.Fail("Data Verify Failed!!");
    run.Trace("Data Verify OK!!");
    return true;
}

}  // namespace

std::uint16_t SecurityLevelWord(std::int32_t level, firmware::ChipFamily family) {
    switch (level) {
        case 0:
            return ErasesAsItPrograms(family) ? 0x0000 : 0xFFFF;
        case 1:
            return 0x5A5A;
        case 2:
            return 0xA5A5;
        default:
            return 0x55AA;
    }
}

bool SecuritySendNeeded(std::int32_t level, const isp::SecurityBytes& security) {
    const bool at_level_1 = security[2] == 0x5A && security[3] == 0x5A;
    const bool at_level_2 = security[2] == 0xA5 && security[3] == 0xA5;
    return !((level == 1 && at_level_1) || (level == 2 && at_level_2));
}

bool CarriesProtectionLevel(const isp::SecurityBytes& security) {
    return security[2] == security[3] && (security[2] == 0x5A || security[2] == 0xA5);
}

bool RunSequenceG(DeviceRun& run, isp::SecurityBytes security, bool security_send_needed) {
    const firmware::ChipFamily family = run.Family();
    const std::uint16_t level_word = SecurityLevelWord(run.Params().CodeSecurity, family);
    if (!ErasesAsItPrograms(family) && !EraseAndBlankCheck(run)) return false;
    if (!ProgramAndVerify(run)) return false;
    security[2] = static_cast<std::uint8_t>(level_word);
    security[3] = static_cast<std::uint8_t>(level_word >> 8);
    // Family 14 took its level before programming; family 13 only when it
    // did not carry it already.
    const bool send = family != 14 && (family != 13 || security_send_needed);
    if (send && !run.Report(run.Isp().SetEncryptionAlgorithmBlock64(security),
                            isp::kSetEncryptionAlgorithm))
        return false;
    run.Isp().ReturnUserMode();
    return true;
}

}  // namespace txisp::engine
