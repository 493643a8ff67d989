#include "firmware/family_run.h"

namespace txisp::firmware {

std::optional<FamilyRunState> NewFamilyRunState(ChipFamily family, FirmwareImage& image) {
    const FamilyDescriptor* descriptor = FindFamilyDescriptor(family);
    if (descriptor == nullptr) return std::nullopt;
    FamilyRunState state;
    state.Descriptor = descriptor;
    if (IsTx64Kind(family)) {
        state.VersionByte2 = descriptor->VersionByte2;
        state.VersionByte3 = descriptor->VersionByte3;
    }
    state.SelectedParameterRow = descriptor->FirstParameterRow;
    state.Parameters = FindChipParameters(descriptor->FirstParameterRow);
    state.Image = image.BufferFor(family);
    return state;
}

bool SelectParameterRow(FamilyRunState& state, std::size_t variant) {
    const std::size_t row = state.Descriptor->FirstParameterRow + variant;
    const ChipParameters* parameters = FindChipParameters(row);
    if (parameters == nullptr) return false;
    state.SelectedParameterRow = row;
    state.Parameters = parameters;
    return true;
}

}  // namespace txisp::firmware
