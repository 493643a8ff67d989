#include "engine/device_routine.h"

#include <array>
#include <cstdio>
#include <optional>

#include "engine/tx5_sequences.h"
#include "engine/tx64_sequence.h"
#include "isp/command_names.h"
#include "isp/mode_switch.h"

namespace txisp::engine {
namespace {

using isp::RETURN_ACK_FAILED;

enum class VersionRule { R1, R2, R3 };

// The family's sequence for variant 0, for variant 1, and for a version-free
// image; nullopt where the family takes none.
struct FamilyRoutine {
    VersionRule Rule;
    std::optional<Tx5Sequence> Variant0;
    std::optional<Tx5Sequence> Variant1;
    std::optional<Tx5Sequence> ZeroImage;
};

using enum Tx5Sequence;
constexpr std::nullopt_t kNone = std::nullopt;

// clang-format off
const std::array<FamilyRoutine, firmware::kChipFamilyCount> kFamilyRoutines = {{
//   Rule              Variant 0  Variant 1  Zero image
    {VersionRule::R1,  A,         A,         A},       // 0
    {VersionRule::R1,  BPrime,    B,         BPrime},  // 1
    {VersionRule::R1,  A,         kNone,     kNone},   // 2
    {VersionRule::R1,  A,         kNone,     A},       // 3
    {VersionRule::R1,  B,         kNone,     BPrime},  // 4
    {VersionRule::R1,  A,         kNone,     kNone},   // 5
    {VersionRule::R1,  C,         kNone,     kNone},   // 6
    {VersionRule::R1,  B,         kNone,     BPrime},  // 7
    {VersionRule::R2,  D,         E,         kNone},   // 8
    {VersionRule::R3,  kNone,     kNone,     kNone},   // 9: sequence G
    {VersionRule::R3,  kNone,     kNone,     kNone},   // 10
    {VersionRule::R3,  kNone,     kNone,     kNone},   // 11
    {VersionRule::R2,  F,         kNone,     kNone},   // 12
    {VersionRule::R3,  kNone,     kNone,     kNone},   // 13
    {VersionRule::R3,  kNone,     kNone,     kNone},   // 14
}};
// clang-format on

constexpr firmware::ChipFamily kPolledFamily = 6;
constexpr std::uint16_t kGuardedPid = 0x7509;

std::optional<Tx5Sequence> SequenceForVariant(const FamilyRoutine& routine, int variant) {
    if (variant == 0) return routine.Variant0;
    if (variant == 1) return routine.Variant1;
    return std::nullopt;
}

bool NotForThisChip(DeviceRun& run) {
    return run.Report(RETURN_ACK_FAILED, isp::kVersionNotForThisChip);
}
bool NotSupported(DeviceRun& run) {
    return run.Report(RETURN_ACK_FAILED, isp::kVersionNotSupported);
}
bool DiffersFromImage(DeviceRun& run) {
    return run.Report(RETURN_ACK_FAILED, isp::kVersionDiffersFromImage);
}

// R1 and R2.
bool CheckTx5Version(DeviceRun& run, const FamilyRoutine& routine, const isp::VersionBytes& d) {
    firmware::FamilyRunState& state = run.State();
    const firmware::FamilyDescriptor& family = *state.Descriptor;
    if (d[0] != family.VersionByte0 || d[1] != family.VersionByte1) return NotForThisChip(run);
    state.VersionByte2 = d[2];
    state.VersionByte3 = d[3];
    const int variant = d[3];
    // A variant past the parameter table has no row to read the image's
    // version address from; no family supports one.
    if (!firmware::SelectParameterRow(state, variant)) return NotSupported(run);

    const std::size_t at = 2 * static_cast<std::size_t>(run.Row().VersionAddress);
    if (at + 4 > run.Image().size()) return NotSupported(run);
    const auto i = run.Image().subspan(at, 4);
    const bool equal = routine.Rule == VersionRule::R1 ? std::equal(d.begin(), d.end(), i.begin())
                                                       : i[0] == d[0] && i[1] == d[1];
    if (equal) {
        const std::optional<Tx5Sequence> sequence = SequenceForVariant(routine, variant);
        if (!sequence) return NotSupported(run);
        return RunTx5Sequence(run, *sequence);
    }
    // A version-free image (bytes 0 .. 2 zero; byte 3 is not looked at) is
    // taken by the families that have a sequence for it, on variant 0.
    const bool version_free = i[0] == 0 && i[1] == 0 && i[2] == 0;
    if (routine.Rule == VersionRule::R1 && routine.ZeroImage && variant == 0 && version_free)
        return RunTx5Sequence(run, *routine.ZeroImage);
    return DiffersFromImage(run);
}

// R3.
bool CheckTx64Version(DeviceRun& run, const isp::VersionBytes& d, isp::SecurityBytes s) {
    firmware::FamilyRunState& state = run.State();
    const firmware::FamilyDescriptor& family = *state.Descriptor;
    if (d[0] != family.VersionByte0 || d[1] != family.VersionByte1) return NotForThisChip(run);
    if (d[2] != family.VersionByte2 || d[3] != family.VersionByte3) return NotForThisChip(run);
    if (s[2] == 0x55 && s[3] == 0xAA) return NotForThisChip(run);

    const std::int32_t level = run.Params().CodeSecurity;
    bool security_send_needed = true;
    if (run.Family() == 13) {
        security_send_needed = SecuritySendNeeded(level, s);
        if (security_send_needed && CarriesProtectionLevel(s)) {
            // The device carries another protection level than the chosen
            // one: it goes back to user mode untouched, with no trace line
            // of the system's own; the run's log file says why.
            run.Isp().ReturnUserMode();
            return run.FailQuietly("protected at another code security level than the chosen one");
        }
    }
    if (run.Family() == 14) {
        const std::uint16_t word = SecurityLevelWord(level, run.Family());
        s[2] = static_cast<std::uint8_t>(word);
        s[3] = static_cast<std::uint8_t>(word >> 8);
        if (!run.Report(run.Isp().SetEncryptionAlgorithmBlock64(s), isp::kSetEncryptionAlgorithm))
            return false;
    }
    state.VersionByte2 = d[2];
    state.VersionByte3 = d[3];
    if (!firmware::SelectParameterRow(state, d[2]) || d[2] != 0) return NotSupported(run);
    return RunSequenceG(run, s, security_send_needed);
}

std::string HeaderLine(const RunParams& params, int device_number) {
    char line[80];
    std::snprintf(line, sizeof line, "----VID: %.4X  PID: %.4X-----  No. %.3d",
                  static_cast<unsigned>(params.Vid), static_cast<unsigned>(params.Pid),
                  device_number);
    return line;
}

// Reads d0 .. d3 (and s0 .. s3 from a TX64 boot loader) with the family's
// command set.
bool ReadVersion(DeviceRun& run, isp::VersionBytes& version, isp::SecurityBytes& security) {
    isp::ISP_Command& isp = run.Isp();
    int result = isp::RETURN_OK;
    if (run.Family() == kPolledFamily) {
        if (!run.Report(isp.EnterIspMode20(), isp::kEnterIspMode20)) return false;
        result = isp.GetFirmwareVersion21(version);
    } else if (firmware::IsTx64Kind(run.Family())) {
        result = isp.GetFirmwareVersionBlock64(version, security);
    } else {
        result = isp.GetFirmwareVersion(version);
    }
    // One name for every command set.
    if (!run.Report(result, isp::kGetFirmwareVersion)) return false;
    run.DeviceVersion = version;
    return true;
}

}  // namespace

bool RunDeviceRoutine(DeviceRun& run) {
    const RunParams& params = run.Params();
    if (run.Family() == kPolledFamily && params.Vid != firmware::kMakerVid &&
        params.Pid == kGuardedPid)
        return run.Fail("No ISP device is found for TX5K33E28!!");
    run.Isp().SetDeviceIds(params.Vid, params.Pid);
    run.Trace(HeaderLine(params, run.DeviceNumber()));
    if (!isp::ReturnBootMode(run.Table(), run.Clock(), run.Prompts(), run.Log(), params.Vid,
                             params.Pid, params.Family, params.CheckDeviceCmd)) {
        run.Failed(isp::kReturnKernelModeFailedTrace);
        return false;
    }
    isp::VersionBytes version{};
    isp::SecurityBytes security{};
    if (!ReadVersion(run, version, security)) return false;
    const FamilyRoutine& routine = kFamilyRoutines[static_cast<std::size_t>(run.Family())];
    if (routine.Rule == VersionRule::R3) return CheckTx64Version(run, version, security);
    return CheckTx5Version(run, routine, version);
}

}  // namespace txisp::engine
