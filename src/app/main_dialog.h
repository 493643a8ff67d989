#pragma once

// The main window's logic without a toolkit: start-up and shutdown, the Start
// command, device presence and device-change handling, Load File, the rolling
// code, the radio buttons and the end of a programming run. It drives a
// MainView; the Qt window and the command-line tool each provide one, so both
// run the very same checks, messages, detection order and engine.
//
// Threads: everything here runs on the thread that created the dialog (the
// window thread), which also owns the device table. A run hands the table to
// the programming worker and takes it back when the run has finished; what
// the worker reports reaches the window thread through
// MainView::PostToWindowThread.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/main_dialog_state.h"
#include "app/main_view.h"
#include "app/run_forwarder.h"
#include "app/window_thread_prompts.h"
#include "engine/counters.h"
#include "engine/program_worker.h"
#include "engine/run_params.h"
#include "firmware/firmware_image.h"
#include "hid/hid_backend.h"
#include "hid/hid_device_table.h"
#include "platform/clock.h"
#include "platform/prompts.h"
#include "platform/resources.h"

namespace txisp::app {

// The device-change events the handler is given. Only arrival and removal
// lead to a search; anything else a platform reports (a configuration change,
// a removal query) is Other.
enum class DeviceChangeEvent { Arrival, RemoveComplete, Other };

inline constexpr std::string_view kDeviceNotFound = "Can't Find USB HID Device!!";
inline constexpr std::string_view kQuitWhenFinished =
    "A device is being programmed. Quit when it has finished?";
// The rolling-code settings file could not take the next value after a run.
inline constexpr std::string_view kSaveRollingCodeFailed = "Save Rolling Code Failed!!";

struct MainDialogDeps {
    MainView& View;
    // Shows the message boxes and questions on the window thread.
    platform::Prompts& Prompts;
    // Device searches, transfers and device-change notifications.
    hid::HidBackend& Backend;
    // Every wait: the Start command's, the run's, the end of a run's.
    platform::Clock& Clock;
    // The program's resources: the embedded configuration.
    const platform::ResourceBundle& Resources;
    // Where the settings archive is unpacked (SettingFiles.zip and
    // SettingFiles); nullopt: nowhere, so the product's settings are not read.
    std::optional<std::filesystem::path> TempFolder;
    // Where runs keep their trace logs and the production record; nullopt:
    // neither is written.
    std::optional<std::filesystem::path> StateFolder;
    // The counters live beside the program.
    std::filesystem::path ProgramPath;
    engine::CounterFolders CounterFolders = {};
};

class MainDialog {
public:
    explicit MainDialog(MainDialogDeps deps);
    // Shutdown, when it has not run.
    ~MainDialog();
    MainDialog(const MainDialog&) = delete;
    MainDialog& operator=(const MainDialog&) = delete;

    // --- Start-up and end --------------------------------------------------------

    // Everything the window does before the operator can act, in order: the
    // version text, the controls' first state, ControlMask 0xF2, the embedded
    // configuration (with the settings archive, the UI settings and the
    // special VID/PID table in embedded mode), the counters, and one search
    // as if a device had arrived.
    void Initialize();

    // The exit button or the window's Close: true when the window may close
    // now. During a run the operator is asked whether to quit when it has
    // finished; the window then closes (MainView::CloseWindow) when it has,
    // and stays open otherwise.
    bool OnClose();

    // The window's end: waits for a run still going (answering the worker's
    // questions No, since nobody will see them), counts its result, deletes
    // the unpacked settings folder and stops the device notifications. Runs
    // once; later calls do nothing. The view must still be there: the end of
    // a run it waited for is shown.
    void Shutdown();

    // --- Commands -------------------------------------------------------------------

    // The Start button.
    void OnStart();
    // Enter: the Start command, whose button is never disabled.
    void OnEnterKey();
    // Checks the password box; the message on failure, PasswordBytes on
    // success.
    bool CheckPasswordFormat();

    // Searches for the device: the VID and PID boxes, or each special
    // VID/PID entry in turn, then the family's boot-loader identity unless
    // the product's settings turned that off.
    bool DetectDevice();
    // The device-information command: searches and queries the device and
    // shows its VID, PID and firmware version (embedded mode only).
    void RefreshDeviceInfo();
    // A device came or went. During a run nothing is searched: one search
    // follows when the run has ended, so the boxes show the device as it is
    // after programming.
    void OnDeviceChange(DeviceChangeEvent event);
    // The descriptor that becomes readable while device notifications are
    // pending; -1 without notifications.
    int DeviceNotificationFd() const;
    // Reads the pending notifications and handles them as one change.
    void OnDeviceNotifications();
    // The hidden test button.
    void OnTestButton();

    // The end of a run, on the window thread: controls back, the rolling
    // code advanced, the result line, the counters.
    void OnRunFinished(const engine::RunReport& report);

    void LoadFileCommand();
    void SetRollingCodeCommand();
    // 1004 "Noruk ISP Device": the maker's VID and PID in the boxes, which
    // are then disabled; 1005 "Customer Device": the boxes enabled.
    void OnIspDeviceRadio();
    void OnCustomerRadio();
    // CS0 .. CS3.
    void OnCodeSecurityRadio(std::int32_t level);
    // The system menu's about item.
    void OnAboutCommand();

    // Applies ControlMask to the controls.
    void RefreshControls();

    // --- State ------------------------------------------------------------------------

    const MainDialogState& State() const { return state_; }
    const firmware::FirmwareImage& Image() const { return *image_; }
    // The report of the last run that finished; nullopt before any.
    const std::optional<engine::RunReport>& LastRunReport() const { return last_report_; }
    // The caption of input-check boxes: the product's title, or the
    // program's name when there is none.
    std::string ToolTitle() const;

private:
    // Start-up pieces.
    void SetUpControls();
    void ReadEmbeddedConfiguration();
    void ApplyUiSettings(const UiSettings& settings);
    void HideUnusedControls();
    void LoadCounters();

    // Start command pieces.
    std::optional<std::int32_t> ChooseDeviceMask();
    bool PrepareImage(firmware::ChipFamily family);
    void StartRun(std::int32_t device_mask);
    void FinishRun(const engine::RunReport& report);
    void TakeFinishedRun();

    // Device presence pieces.
    void SetReportBlockSizeFor(std::string_view chip_name);
    bool SearchBoxIdentity();
    bool SearchBootLoaderIdentity(std::string_view chip_name);
    bool SearchSpecialEntries();
    bool Open(std::uint16_t vid, std::uint16_t pid);
    bool QueryDeviceInfo();
    void ShowDeviceTexts();
    void ColourStartCaption();

    // Load File pieces.
    void LoadHexBinFile(firmware::ChipFamily family);
    void LoadTx5File();
    void ApplyRollingLocation(const firmware::RollingSettingsLocation& location);
    void SetFirmwareLoaded(bool loaded);

    void PostGuarded(std::function<void()> task);
    void TraceInaccessibleDevices() const;

    MainView& view_;
    platform::Prompts& prompts_;
    hid::HidBackend& backend_;
    platform::Clock& clock_;
    const platform::ResourceBundle& resources_;
    std::optional<std::filesystem::path> temp_folder_;
    std::optional<std::filesystem::path> state_folder_;
    std::filesystem::path program_path_;
    engine::CounterFolders counter_folders_;

    // Tasks queued to the window thread run only while the dialog exists.
    std::shared_ptr<char> alive_;
    hid::HidDeviceTable table_;
    std::unique_ptr<firmware::FirmwareImage> image_;
    std::unique_ptr<hid::DeviceNotifications> notifications_;
    MainDialogState state_;
    std::filesystem::path counter_ini_;

    WindowThreadPrompts worker_prompts_;
    RunForwarder forwarder_;
    // The rolling code of the run going on.
    std::optional<engine::RollingPlan> run_rolling_;
    bool device_change_pending_ = false;
    bool close_when_finished_ = false;
    bool shut_down_ = false;
    std::optional<engine::RunReport> last_report_;
    // Last, so that it goes first: its end waits for the worker, which uses
    // the members above.
    engine::ProgramRun run_;
};

}  // namespace txisp::app
