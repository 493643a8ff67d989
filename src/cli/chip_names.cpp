#include "cli/chip_names.h"

#include <fmt/core.h>

#include "firmware/chip_data.h"

namespace txisp::cli {

std::string ValidChipNamesText() {
    std::string text;
    for (const firmware::ChipTableEntry& entry : firmware::ChipTable) {
        if (!text.empty()) text += ", ";
        text += entry.Name;
    }
    return text;
}

std::string CheckChipName(const std::string& name) {
    if (firmware::FindChipFamily(name, firmware::kNoFamily) != firmware::kNoFamily) return {};
    return fmt::format("unknown chip \"{}\"; valid names (exact, case-sensitive): {}", name,
                       ValidChipNamesText());
}

}  // namespace txisp::cli
