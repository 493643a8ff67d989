#pragma once

// txisp's command line: the subcommands, their options and how a parsed
// command line becomes a run of one of them.

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace txisp::cli {

struct CommandLineValues;

// The parser with every subcommand and option, bound to `values`.
std::unique_ptr<CLI::App> DefineCommandLine(CommandLineValues& values);

// Every long option ("--json") by subcommand name; "" holds the program's
// own. For documentation that must keep up with the parser.
std::map<std::string, std::vector<std::string>> CommandLineOptions();

// Parses and runs; the process's exit code (exit_codes.h). Results go to
// `out`, everything else to `err`.
int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

}  // namespace txisp::cli
