// txisp: the command-line tool.

#include <fmt/core.h>

#include <CLI/CLI.hpp>

#include "cli/version.h"

int main(int argc, char** argv) {
    CLI::App app{"txisp: firmware updater for USB HID devices", "txisp"};
    app.set_version_flag("--version", fmt::format("txisp {}", txisp::cli::kVersion));
    app.require_subcommand(0);
    CLI11_PARSE(app, argc, argv);
    fmt::print("{}\n", app.help());
    return 0;
}
