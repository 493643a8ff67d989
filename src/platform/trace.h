#pragma once

// The diagnostic trace: what the program did and why it failed, for the
// engineer reading a log afterwards. Nothing here is shown to the operator.
//
// One process-wide sink receives every line; without one, lines are dropped.
// The command-line tool prints them with -v, the window writes them to the
// run's trace log, tests capture them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace txisp::platform {

enum class TraceLevel {
    Info,   // steps and results ("program block 12 of 512")
    Debug,  // decisions ("skipped /dev/hidraw3: permission denied")
    Raw,    // every report as hex, at the transport boundary
};

class TraceSink {
public:
    virtual ~TraceSink() = default;
    // May be called from any thread.
    virtual void Write(TraceLevel level, std::string_view line) = 0;
};

// Installs `sink` (nullptr: none) and returns the one it replaces. The sink
// must outlive its installation.
TraceSink* SetTraceSink(TraceSink* sink);

void Trace(TraceLevel level, std::string_view line);

// Whether a sink is installed: a caller that must build an expensive line
// (a hex dump of every report) asks first.
bool TraceActive();

// "00 1A FF" for the bytes.
std::string HexBytes(const std::uint8_t* data, std::size_t size);

}  // namespace txisp::platform
