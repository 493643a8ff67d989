#include "engine/progress.h"

namespace txisp::engine {

void RunProgress::ShowStep(int index) {
    if ((index & 0x04) != 0) return;
    if (index < 0 || index >= static_cast<int>(kStepTexts.size())) return;
    observer_.OnStep(index);
}

void RunProgress::SetProgress(int position) {
    observer_.OnProgress(position);
}

void RunProgress::BeginPhase(int phase) {
    ShowStep(phase);
    phase_ = phase & 0x03;
    SetProgress(0);
}

std::uint8_t ApplyPhaseBits(std::uint8_t saved_mask, std::optional<int> phase) {
    if (!phase) return saved_mask;
    return static_cast<std::uint8_t>((saved_mask & ~0x03) | (*phase & 0x03));
}

}  // namespace txisp::engine
