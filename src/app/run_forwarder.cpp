#include "app/run_forwarder.h"

namespace txisp::app {

void RunForwarder::OnProgress(int position) {
    post_([this, position] { handlers_.Progress(position); });
}

void RunForwarder::OnStep(int step_index) {
    post_([this, step_index] { handlers_.Step(step_index); });
}

void RunForwarder::OnDeviceFinished(const engine::DeviceOutcome& outcome) {
    post_([this, outcome] { handlers_.DeviceFinished(outcome); });
}

void RunForwarder::OnRunFinished(const engine::RunReport& report) {
    {
        std::lock_guard lock(mutex_);
        report_ = report;
    }
    post_([this] { handlers_.RunFinished(); });
}

std::optional<engine::RunReport> RunForwarder::TakeReport() {
    std::lock_guard lock(mutex_);
    std::optional<engine::RunReport> report = std::move(report_);
    report_.reset();
    return report;
}

}  // namespace txisp::app
