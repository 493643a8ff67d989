#pragma once

// What a programming run learns about its family while it runs: the version
// bytes the device reported, the parameter row its variant selects, and the
// image and option page it programs. The engine creates one for each run, so
// nothing of one run is seen by the next; the tables of chip_data.h stay
// constant.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "firmware/chip_data.h"
#include "firmware/firmware_image.h"
#include "firmware/option_page.h"

namespace txisp::firmware {

struct FamilyRunState {
    const FamilyDescriptor* Descriptor = nullptr;
    // TX5 kind: the bytes the device reported, written by the version check.
    // TX64 kind: start as the expected bytes of the descriptor.
    std::uint8_t VersionByte2 = 0;
    std::uint8_t VersionByte3 = 0;
    // Start as the family's first row.
    std::size_t SelectedParameterRow = 0;
    const ChipParameters* Parameters = nullptr;
    // The buffer of the family's kind inside the application's FirmwareImage.
    std::span<std::uint8_t> Image;
    // This run's copy; the TX5K3390D sequence writes the chip's options into it.
    OptionPage OptionPageBlock = InitialOptionPage();
};

// A fresh state for a run of `family` on `image`; nullopt for a value that is
// not a family (there is no row to take the boot-loader identity from).
std::optional<FamilyRunState> NewFamilyRunState(ChipFamily family, FirmwareImage& image);

// Selects the family's first row + `variant`. A device may report any variant
// byte; one that would select a row past the table leaves the state as it was
// and gives false, so nothing reads outside ChipParameterTable.
bool SelectParameterRow(FamilyRunState& state, std::size_t variant);

}  // namespace txisp::firmware
