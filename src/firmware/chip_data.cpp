#include "firmware/chip_data.h"

namespace txisp::firmware {

ChipFamily FindChipFamily(std::string_view name, ChipFamily not_found) {
    for (const ChipTableEntry& entry : ChipTable) {
        if (entry.Name == name) return entry.Family;
    }
    return not_found;
}

bool IsChipFamily(ChipFamily family) {
    return family >= 0 && family < kChipFamilyCount;
}

bool IsTx64Kind(ChipFamily family) {
    switch (family) {
        case 9:
        case 10:
        case 11:
        case 13:
        case 14:
            return true;
        default:
            return false;
    }
}

std::uint8_t Tx64FillValue(ChipFamily family) {
    return family == 13 || family == 14 ? 0x00 : 0xFF;
}

std::size_t ReportBlockSize(ChipFamily family) {
    return family <= 8 ? 8 : 64;
}

const FamilyDescriptor* FindFamilyDescriptor(ChipFamily family) {
    if (!IsChipFamily(family)) return nullptr;
    return &FamilyDescriptorTable[static_cast<std::size_t>(family)];
}

const ChipParameters* FindChipParameters(std::size_t row) {
    if (row >= ChipParameterTable.size()) return nullptr;
    return &ChipParameterTable[row];
}

}  // namespace txisp::firmware
