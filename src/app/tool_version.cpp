#include "app/tool_version.h"

#include <cstdio>

namespace txisp::app {

std::string ToolVersionText() {
    char text[64];
    std::snprintf(text, sizeof text, "Version %d.%d.%d.%d", TXISP_VERSION_MAJOR,
                  TXISP_VERSION_MINOR, TXISP_VERSION_PATCH, TXISP_VERSION_TWEAK);
    return text;
}

}  // namespace txisp::app
