// txisp: the command-line tool.

#include <iostream>

#include "cli/command_line.h"

int main(int argc, char** argv) {
    return txisp::cli::RunCommandLine(argc, argv, std::cout, std::cerr);
}
