#pragma once

// The version text the main window shows: "Version %d.%d.%d.%d" of the
// program's version, the project version with a fourth number of 0 when it
// has only three.

#include <string>

namespace txisp::app {

std::string ToolVersionText();

}  // namespace txisp::app
