#include "engine/device_run.h"

#include "isp/check_command_result.h"

namespace txisp::engine {

bool DeviceRun::Report(int result, int command) {
    if (isp::CheckCommandResult(result, command, env_.Log)) return true;
    Failed(isp::CommandResultText(result, command) + " Failed!!");
    return false;
}

bool DeviceRun::Fail(std::string_view text) {
    Trace(text);
    Failed(text);
    return false;
}

bool DeviceRun::FailQuietly(std::string_view why) {
    const std::string note = "device " + std::to_string(device_number_) + ": " + std::string(why);
    env_.Log.Note(note);
    Failed(why);
    return false;
}

void DeviceRun::Failed(std::string_view text) {
    if (first_failure_.empty()) first_failure_ = text;
}

void DeviceRun::Wait(std::uint32_t ms) {
    if (ms > 0) env_.Clock.BusyWaitMs(ms);
}

void DeviceRun::Wait(std::uint32_t ms, int times) {
    for (int i = 0; i < times; ++i)
        Wait(ms);
}

}  // namespace txisp::engine
