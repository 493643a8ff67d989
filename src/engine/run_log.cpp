#include "engine/run_log.h"

#include "platform/trace.h"

namespace txisp::engine {

RunLog::RunLog(RunObserver& observer, const std::optional<std::filesystem::path>& state_folder)
    : observer_(observer) {
    if (!state_folder) return;
    if (Status opened = file_.Open(*state_folder); !opened)
        platform::Trace(platform::TraceLevel::Info, opened.message());
}

void RunLog::Write(std::string_view text) {
    observer_.OnTrace(text);
    file_.WriteLine(text);
    platform::Trace(platform::TraceLevel::Info, text);
}

void RunLog::Note(std::string_view text) {
    file_.WriteLine(text);
    platform::Trace(platform::TraceLevel::Info, text);
}

}  // namespace txisp::engine
