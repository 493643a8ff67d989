#pragma once

// Where the command layer and the programming run hand their trace texts:
// the per-device header line, each step's "... OK!!" and every failure line.
// The operator never sees them in the window; the run keeps them so that an
// engineer can read afterwards why a device failed.

#include <string_view>

namespace txisp::isp {

class StepLog {
public:
    virtual ~StepLog() = default;
    virtual void Write(std::string_view text) = 0;
};

// Drops every text; for callers that have nowhere to keep them.
class NullStepLog final : public StepLog {
public:
    void Write(std::string_view) override {}
};

}  // namespace txisp::isp
