// The man page and the README document every option the parser knows, so a
// new option cannot ship undocumented.

#include <gtest/gtest.h>

#include <string>

#include "cli/command_line.h"
#include "support/temp_dir.h"

namespace txisp::cli {
namespace {

using txisp::testing::ReadText;
using txisp::testing::SourceDir;

// roff writes a hyphen that must stay a hyphen as "\-".
std::string RoffText(const std::string& text) {
    std::string roff;
    for (const char c : text)
        roff += c == '-' ? std::string("\\-") : std::string(1, c);
    return roff;
}

TEST(Documentation, ManPageAndReadmeNameEveryCommandAndOption) {
    const std::string man_page = ReadText(SourceDir() / "packaging" / "txisp.1");
    const std::string readme = ReadText(SourceDir() / "README.md");
    for (const auto& [command, options] : CommandLineOptions()) {
        if (!command.empty()) {
            EXPECT_NE(man_page.find(".SS " + command), std::string::npos) << command;
            EXPECT_NE(readme.find("txisp " + command), std::string::npos) << command;
        }
        for (const std::string& option : options) {
            if (option == "--help") continue;
            SCOPED_TRACE(command + " " + option);
            EXPECT_NE(man_page.find(RoffText(option)), std::string::npos);
            EXPECT_NE(readme.find(option), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace txisp::cli
