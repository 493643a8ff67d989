#include "platform/trace.h"

#include <atomic>

namespace txisp::platform {

namespace {
std::atomic<TraceSink*> g_sink{nullptr};
}

TraceSink* SetTraceSink(TraceSink* sink) {
    return g_sink.exchange(sink);
}

void Trace(TraceLevel level, std::string_view line) {
    if (TraceSink* sink = g_sink.load()) sink->Write(level, line);
}

bool TraceActive() {
    return g_sink.load() != nullptr;
}

std::string HexBytes(const std::uint8_t* data, std::size_t size) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(size * 3);
    for (std::size_t i = 0; i < size; ++i) {
        if (i > 0) text += ' ';
        text += kDigits[data[i] >> 4];
        text += kDigits[data[i] & 0x0F];
    }
    return text;
}

}  // namespace txisp::platform
