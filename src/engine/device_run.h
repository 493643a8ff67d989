#pragma once

// One device of a run, as its device routine and programming sequence see
// it: the parameters and things of the run, the family's run state, and the
// conventions every step follows (report a command's result, trace a text,
// fail with a text, wait one of the run's delays).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/progress.h"
#include "engine/run_log.h"
#include "engine/run_params.h"
#include "firmware/family_run.h"
#include "hid/hid_device_table.h"
#include "isp/isp_command.h"
#include "platform/clock.h"
#include "platform/prompts.h"

namespace txisp::engine {

// What a run works with, shared by all its devices.
struct RunEnvironment {
    isp::ISP_Command& Isp;
    hid::HidDeviceTable& Table;
    platform::Clock& Clock;
    platform::Prompts& Prompts;
    RunLog& Log;
    RunProgress& Progress;
};

class DeviceRun {
public:
    DeviceRun(const RunParams& params, RunEnvironment& env, firmware::FamilyRunState& family,
              int device_number)
        : params_(params), env_(env), family_(family), device_number_(device_number) {}

    const RunParams& Params() const { return params_; }
    const IspTiming& Timing() const { return params_.Timing; }
    firmware::ChipFamily Family() const { return params_.Family; }
    int DeviceNumber() const { return device_number_; }

    isp::ISP_Command& Isp() { return env_.Isp; }
    hid::HidDeviceTable& Table() { return env_.Table; }
    platform::Clock& Clock() { return env_.Clock; }
    platform::Prompts& Prompts() { return env_.Prompts; }
    RunLog& Log() { return env_.Log; }
    RunProgress& Progress() { return env_.Progress; }

    firmware::FamilyRunState& State() { return family_; }
    // The selected parameter row.
    const firmware::ChipParameters& Row() const { return *family_.Parameters; }
    // The buffer of the family's kind.
    std::span<std::uint8_t> Image() { return family_.Image; }

    // Passes the result on to CheckCommandResult; a failure ends the device
    // and its text is kept as the device's failure.
    bool Report(int result, int command);
    void Trace(std::string_view text) { env_.Log.Write(text); }
    // Traces `text`, keeps it as the device's failure and gives false.
    bool Fail(std::string_view text);
    // A failure the system traces nothing for: the explanation goes to the
    // run's log file only. Gives false.
    bool FailQuietly(std::string_view why);
    // A failure already traced by someone else.
    void Failed(std::string_view text);

    // The run's busy wait; a delay of 0 is no wait.
    void Wait(std::uint32_t ms);
    void Wait(std::uint32_t ms, int times);

    const std::string& FirstFailure() const { return first_failure_; }
    std::optional<isp::VersionBytes> DeviceVersion;

private:
    const RunParams& params_;
    RunEnvironment& env_;
    firmware::FamilyRunState& family_;
    int device_number_;
    std::string first_failure_;
};

}  // namespace txisp::engine
