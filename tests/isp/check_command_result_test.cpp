// Result codes become go or stop, and a stop names the step that failed.

#include "isp/check_command_result.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "isp/command_names.h"
#include "isp/isp_result.h"

namespace txisp::isp {
namespace {

class RecordingLog final : public StepLog {
public:
    void Write(std::string_view text) override { lines.emplace_back(text); }
    std::vector<std::string> lines;
};

TEST(CheckCommandResultTest, FailureIsTracedWithLabelAndName) {
    const struct {
        int code;
        int command;
        const char* line;
    } kCases[] = {
        {RETURN_ACK_FAILED, kCompareIspPassword,
         "Command Response :Compare ISP Password (0x02) Failed!!"},
        // Names that end in a blank leave two before "Failed!!".
        {RETURN_ACK_FAILED, kVersionDiffersFromImage,
         "Command Response :FW Version in TX5 does not match that of USB Device.  Failed!!"},
        {RETURN_ACK_FAILED, kVersionNotSupported,
         "Command Response :This FW Version. is not supported.  Failed!!"},
        {RETURN_OUT_FAILED, kEnterIspMode20, "Command Out :Enter ISP Mode (0x20)  Failed!!"},
        {RETURN_IN_FAILED, kEnableCheckData2A, "Command In :Enable Check Data (0x2A) Failed!!"},
        {RETURN_HEADER_FAILED, kEnableErase24, "Command Header :Enable Erase (0x24) Failed!!"},
        // Never produced by a command, but it has its label.
        {RETURN_SEQUENCE_FAILED, kDummy, "Command Sequence :Dummy Failed!!"},
        // Outside the tables: named by value, nothing read past their ends.
        {9, 24, "Command Result 9 :Command 24 Failed!!"},
        {-1, -3, "Command Result -1 :Command -3 Failed!!"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.line);
        RecordingLog log;
        EXPECT_FALSE(CheckCommandResult(c.code, c.command, log));
        EXPECT_EQ(log.lines, std::vector<std::string>{c.line});
    }
}

TEST(CheckCommandResultTest, SuccessGoesOnSilentlyWhateverTheNumber) {
    for (const int command : {0, 7, 23, 99}) {
        RecordingLog log;
        EXPECT_TRUE(CheckCommandResult(RETURN_OK, command, log));
        EXPECT_TRUE(log.lines.empty());
    }
}

}  // namespace
}  // namespace txisp::isp
