#include "engine/program_worker.h"

#include <cstdio>
#include <system_error>

#include "engine/device_routine.h"
#include "engine/device_run.h"
#include "engine/production_record.h"
#include "engine/progress.h"
#include "engine/run_log.h"
#include "firmware/checksums.h"
#include "firmware/family_run.h"
#include "isp/isp_command.h"
#include "platform/trace.h"
#include "rolling/rolling_code.h"
#include "rolling/rolling_value.h"

namespace txisp::engine {
namespace {

// The value ApplyRollingCode writes `steps` values on from Count, as the
// settings file stores it.
std::string RollingValueText(const rolling::RollingSettings& settings, rolling::RollingWidth width,
                             std::uint64_t steps) {
    const int digits = static_cast<int>(rolling::RollingDigits(width, settings.WordLength));
    const std::uint64_t value = rolling::AdvanceRollingValue(
        rolling::ReadRollingValue(settings.Count, digits),
        rolling::ReadRollingValue(settings.Step, digits), digits, steps);
    return rolling::FormatRollingValue(value, digits);
}

std::string TotalTimeText(std::int64_t elapsed_ms) {
    char text[48];
    std::snprintf(text, sizeof text, "Total Time = %.1f sec",
                  static_cast<double>(elapsed_ms) / 1000.0);
    return text;
}

class Worker {
public:
    Worker(const RunParams& params, const RunDependencies& deps)
        : params_(params),
          deps_(deps),
          log_(deps.Observer, deps.StateFolder),
          progress_(deps.Observer),
          isp_(deps.Table, deps.Clock),
          env_{isp_, deps.Table, deps.Clock, deps.Prompts, log_, progress_},
          state_(firmware::NewFamilyRunState(params.Family, deps.Image)) {
        if (params.Rolling) rolling_ = rolling::ReadRollingSettings(params.Rolling->SettingsFile);
    }

    RunReport Run() {
        RunReport report;
        const std::int64_t start = deps_.Clock.NowMs();
        {
            hid::HidTableClaim claim(deps_.Table);
            if (claim) {
                RunDevices(report);
            } else {
                log_.Note("the device table belongs to another thread; nothing was programmed");
            }
        }
        report.ElapsedMs = deps_.Clock.NowMs() - start;
        log_.Write(TotalTimeText(report.ElapsedMs));
        report.DevicesProgrammed = programmed_;
        // Every selected device must have made it: the last device alone
        // would hide a failed first one.
        const bool all_programmed = !report.Devices.empty() && programmed_ == report.Devices.size();
        report.Result = all_programmed ? kRunSucceeded : kRunFailed;
        report.Phase = progress_.Phase();
        report.TraceLog = log_.Path();
        return report;
    }

private:
    void RunDevices(RunReport& report) {
        std::int32_t mask = params_.DeviceMask;
        for (int index = 0; mask > 0; ++index, mask >>= 1) {
            if ((mask & 1) != 0) report.Devices.push_back(ProgramDevice(index));
            deps_.Clock.BusyWaitMs(kDevicePauseMs);
        }
    }

    DeviceOutcome ProgramDevice(int index) {
        DeviceOutcome outcome;
        outcome.Device.DeviceNumber = index + 1;
        const std::optional<hid::HidDeviceRecord> record = deps_.Table.GetRecord(index);
        if (record) {
            outcome.Device.DevicePath = record->DevicePath;
            outcome.Device.Location = record->SerialText;
        }
        deps_.Observer.OnDeviceStarted(outcome.Device);
        if (!record) {
            // The table would select its first device for a position it does
            // not have, and program that one twice.
            Refuse(outcome, "no device at this position of the device table");
        } else if (!state_) {
            Refuse(outcome,
                   "chip family " + std::to_string(params_.Family) + " has no programming routine");
        } else if (WriteRollingValue(outcome)) {
            deps_.Table.SelectDevice(index);
            DeviceRun run(params_, env_, *state_, outcome.Device.DeviceNumber);
            outcome.Success = RunDeviceRoutine(run);
            outcome.FirstFailure = run.FirstFailure();
            outcome.DeviceVersion = run.DeviceVersion;
        }
        if (outcome.Success) ++programmed_;
        Record(outcome);
        deps_.Observer.OnDeviceFinished(outcome);
        return outcome;
    }

    void Refuse(DeviceOutcome& outcome, const std::string& why) {
        log_.Note("device " + std::to_string(outcome.Device.DeviceNumber) + ": " + why);
        outcome.FirstFailure = why;
    }

    // The k-th device that is programmed successfully gets the value k steps
    // on from Count; a failed device's value goes to the next one.
    bool WriteRollingValue(DeviceOutcome& outcome) {
        if (!rolling_) return true;
        const rolling::RollingWidth width = params_.Rolling->Width;
        switch (rolling::ApplyRollingCode(*rolling_, width, state_->Image, programmed_)) {
            case rolling::RollingOutcome::Done:
                outcome.RollingValue = RollingValueText(*rolling_, width, programmed_);
                return true;
            case rolling::RollingOutcome::Off:
                return true;
            case rolling::RollingOutcome::WordLengthTooBig:
                Refuse(outcome, "the rolling code's Word_Length is too big for its value");
                return false;
            case rolling::RollingOutcome::OutsideImage:
                Refuse(outcome, "the rolling code's address lies outside the image");
                return false;
            case rolling::RollingOutcome::WriteFailed:
                break;
        }
        Refuse(outcome, "the rolling value could not be written");
        return false;
    }

    std::optional<std::uint16_t> ImageChecksum() const {
        if (!state_ || state_->Parameters == nullptr) return std::nullopt;
        const firmware::ChipParameters& row = *state_->Parameters;
        const std::span<const std::uint8_t> image = state_->Image;
        if (firmware::IsTx64Kind(params_.Family))
            return firmware::WordSum16(
                image.first(std::min<std::size_t>(row.ImageLength, image.size())));
        return firmware::ByteSum16(
            image.first(std::min<std::size_t>(row.ByteSumLength, image.size())));
    }

    void Record(const DeviceOutcome& outcome) {
        if (!deps_.StateFolder) return;
        ProductionRecord record;
        record.Time = std::chrono::system_clock::now();
        record.DeviceNumber = outcome.Device.DeviceNumber;
        record.DevicePath = outcome.Device.DevicePath;
        record.Location = outcome.Device.Location;
        record.Chip = params_.ChipName;
        record.Family = params_.Family;
        record.DeviceVersion = outcome.DeviceVersion;
        record.ImageChecksum = ImageChecksum();
        record.RollingValue = outcome.RollingValue;
        record.Success = outcome.Success;
        record.Failure = outcome.FirstFailure;
        record.TraceLog = log_.Path();
        if (Status appended = AppendProductionRecord(*deps_.StateFolder, record); !appended)
            log_.Note("production record not written: " + appended.message());
    }

    const RunParams& params_;
    const RunDependencies& deps_;
    RunLog log_;
    RunProgress progress_;
    isp::ISP_Command isp_;
    RunEnvironment env_;
    std::optional<firmware::FamilyRunState> state_;
    std::optional<rolling::RollingSettings> rolling_;
    std::uint64_t programmed_ = 0;
};

}  // namespace

RunReport ProgramWorker(const RunParams& params, const RunDependencies& deps) {
    RunReport report = Worker(params, deps).Run();
    deps.Observer.OnRunFinished(report);
    return report;
}

ProgramRun::~ProgramRun() {
    Wait();
}

bool ProgramRun::Start(RunParams params, RunDependencies deps) {
    if (Running()) return false;
    Wait();
    running_.store(true, std::memory_order_release);
    try {
        thread_ = std::thread([this, params = std::move(params), deps] {
            ProgramWorker(params, deps);
            running_.store(false, std::memory_order_release);
        });
    } catch (const std::system_error& error) {
        running_.store(false, std::memory_order_release);
        platform::Trace(platform::TraceLevel::Info,
                        std::string("programming run not started: ") + error.what());
        return false;
    }
    return true;
}

void ProgramRun::Wait() {
    if (thread_.joinable()) thread_.join();
}

}  // namespace txisp::engine
