#pragma once

// What the main window's logic needs of a window, and nothing more: texts,
// visibility and enabling of controls by number, the log list, the progress
// bar, the Start caption's colour, and the modal dialogs the commands open.
// The Qt window implements it with widgets; the command-line tool with a
// terminal; tests with a recording fake.
//
// Every call comes on the window thread, the one that created the logic,
// except PostToWindowThread, which any thread may call.

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/control_ids.h"
#include "app/ui_settings.h"
#include "engine/run_observer.h"
#include "rolling/rolling_settings.h"

namespace txisp::app {

struct Rgb {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;

    bool operator==(const Rgb&) const = default;
};

// The Start caption: green when the device's firmware is not newer than the
// tool's, red when it is.
inline constexpr Rgb kDeviceNotNewerColour{0, 255, 0};
inline constexpr Rgb kDeviceNewerColour{255, 0, 0};

using SkinImagePaths = std::array<std::optional<std::filesystem::path>, kSkinImageCount>;

class MainView {
public:
    virtual ~MainView() = default;

    // --- Controls -----------------------------------------------------------

    virtual void SetText(ControlId id, std::string_view text) = 0;
    // What the operator typed into an edit box (password, VID, PID).
    virtual std::string Text(ControlId id) const = 0;
    virtual void SetVisible(ControlId id, bool visible) = 0;
    virtual void SetEnabled(ControlId id, bool enabled) = 0;
    // Radio buttons and check boxes.
    virtual void SetChecked(ControlId id, bool checked) = 0;
    virtual bool IsChecked(ControlId id) const = 0;
    // The most characters an edit box takes.
    virtual void SetTextLimit(ControlId id, int characters) = 0;

    // --- The window -----------------------------------------------------------

    // The task-bar title.
    virtual void SetTitle(std::string_view title) = 0;
    // Background and button pictures; an image that is missing is nullopt.
    virtual void SetSkinImages(const SkinImagePaths& images) = 0;
    // Appends a line to the log list and selects it.
    virtual void AddLogLine(std::string_view line) = 0;
    // 0 .. 100.
    virtual void SetProgress(int position) = 0;
    // The Start button's caption colour, hovered and normal alike.
    virtual void SetStartCaptionColour(Rgb colour) = 0;
    // Closes the window as the exit button does (the logic has agreed).
    virtual void CloseWindow() = 0;

    // --- Modal dialogs --------------------------------------------------------

    // The upgrade warning; true to go on. It reads its texts and pictures
    // from the unpacked settings folder, nullopt when there is none.
    virtual bool ConfirmUpgrade(const std::optional<std::filesystem::path>& settings_folder) = 0;
    // The device list over the serial texts, in device-table order, every
    // row ticked at first; the mask of the ticked rows among the first eight,
    // nullopt when cancelled.
    virtual std::optional<std::int32_t> ChooseDevices(const std::vector<std::string>& serials) = 0;
    // The chip list; the name picked, nullopt when cancelled.
    virtual std::optional<std::string> ChooseChip() = 0;
    // File-open dialogs: "TX5 Files (*.TX5)" with the initial name "*.TX5",
    // and "*.hex,*.bin". nullopt when cancelled.
    virtual std::optional<std::filesystem::path> ChooseTx5File() = 0;
    virtual std::optional<std::filesystem::path> ChooseHexBinFile() = 0;
    // The Rolling Code dialog on the settings file: 4 hex digits per word
    // for Words16, 8 for Words32. OK saves; the result is not used.
    virtual void EditRollingCode(const std::filesystem::path& settings_file,
                                 rolling::RollingWidth width) = 0;
    virtual void ShowAbout() = 0;

    // --- Threads ----------------------------------------------------------------

    // Runs `task` on the window thread, after what is queued already. Called
    // from the programming worker; never blocks. A task queued after the
    // window has gone may be dropped.
    virtual void PostToWindowThread(std::function<void()> task) = 0;

    // What became of one device of a run, on the window thread; the window
    // shows nothing of it, the command-line tool may print it.
    virtual void ShowDeviceOutcome(const engine::DeviceOutcome&) {}
};

}  // namespace txisp::app
