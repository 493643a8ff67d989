#pragma once

// txisp image: loads a firmware file as Load File does and shows what a run
// would program: kind, size, the checksum line a prepared tool logs, the
// version bytes, a fingerprint and, on request, a hex dump.

#include <filesystem>
#include <string>

#include "cli/exit_codes.h"
#include "cli/reporter.h"

namespace txisp::cli {

struct ImageRequest {
    std::filesystem::path File;
    std::string ChipName;
    bool Dump = false;
    bool Json = false;
};

ExitCode RunImage(const ImageRequest& request, Reporter& reporter);

}  // namespace txisp::cli
