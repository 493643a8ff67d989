// The end of a run on the window thread: the worker joined and the device
// table taken back, the controls restored with the phase the run reached,
// the rolling code advanced, the result line and the counters.

#include "app/main_dialog.h"
#include "firmware/tx5_file.h"
#include "platform/trace.h"
#include "rolling/rolling_code.h"

namespace txisp::app {

void MainDialog::TakeFinishedRun() {
    if (std::optional<engine::RunReport> report = forwarder_.TakeReport()) OnRunFinished(*report);
}

void MainDialog::OnRunFinished(const engine::RunReport& report) {
    if (!state_.Busy) return;
    FinishRun(report);
    if (shut_down_) return;
    if (device_change_pending_) {
        device_change_pending_ = false;
        OnDeviceChange(DeviceChangeEvent::Arrival);
    }
    if (close_when_finished_) view_.CloseWindow();
}

void MainDialog::FinishRun(const engine::RunReport& report) {
    run_.Wait();
    table_.Claim();
    table_.CloseHidDevice();
    last_report_ = report;
    state_.ControlMask = engine::ApplyPhaseBits(state_.SavedControlMask, report.Phase);
    // Every device programmed carries its own value, also when another
    // device of the run failed: the next run must not give it again.
    if (state_.RollingEnabled && run_rolling_ && report.DevicesProgrammed > 0) {
        const rolling::RollingOutcome advanced = rolling::AdvanceRollingCode(
            run_rolling_->SettingsFile, run_rolling_->Width, report.DevicesProgrammed);
        if (advanced == rolling::RollingOutcome::WriteFailed) {
            // Left unsaid, the next run would program the same numbers again.
            platform::Trace(platform::TraceLevel::Info,
                            "rolling code not advanced: " + run_rolling_->SettingsFile.string() +
                                " could not be written");
            prompts_.ShowMessage(firmware::kErrorCaption, kSaveRollingCodeFailed);
        }
    }
    clock_.BusyWaitMs(engine::kRunFinishedPauseMs);
    RefreshControls();
    const bool succeeded = report.Result != engine::kRunFailed;
    view_.AddLogLine(succeeded ? state_.SuccessMessage : state_.FailMessage);
    const engine::CounterUpdate counts = engine::UpdateCounters(counter_ini_, succeeded);
    if (!counts.Written) {
        platform::Trace(platform::TraceLevel::Info,
                        "counters not written to " + counter_ini_.string());
    }
    view_.SetText(ControlId::SuccessCount, counts.Texts.Success);
    view_.SetText(ControlId::FailCount, counts.Texts.Fail);
    state_.Busy = false;
}

}  // namespace txisp::app
