#pragma once

// The main window's logic on a simulated bus and a virtual clock, with a
// fake view, recorded message boxes, and a program folder of its own (the
// counters beside the program, the temporary and state folders).

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/main_dialog.h"
#include "fake_main_view.h"
#include "firmware/resource_ids.h"
#include "firmware/tx5_file.h"
#include "platform/clock.h"
#include "platform/ini_profile.h"
#include "platform/resources.h"
#include "sim/scenario.h"
#include "sim/sim_bus.h"
#include "support/recording_prompts.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

namespace txisp::app::testing {

namespace fs = std::filesystem;
using txisp::testing::Message;
using txisp::testing::Prompt;
using txisp::testing::Question;

inline std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

// Text resources are UTF-16LE without a byte-order mark or terminator.
inline std::vector<std::uint8_t> TextResource(std::string_view ascii) {
    std::vector<std::uint8_t> bytes;
    for (const char c : ascii) {
        bytes.push_back(static_cast<std::uint8_t>(c));
        bytes.push_back(0);
    }
    return bytes;
}

inline platform::ResourceBundle Bundle(const platform::ResourceMap& entries) {
    return platform::ResourceBundle::FromFileBytes(platform::BuildResourceBundle(entries));
}

inline fs::path Example(std::string_view relative) {
    return txisp::testing::SourceDir() / "examples" / relative;
}

// The image part of a sample TX5 file, as a prepared tool carries it.
inline std::vector<std::uint8_t> SampleTx5Image(std::string_view chip) {
    std::vector<std::uint8_t> file =
        txisp::testing::ReadBytes(Example("firmware/" + std::string(chip) + ".TX5"));
    file.erase(file.begin(), file.begin() + firmware::kTx5HeaderSize);
    return file;
}

// A settings archive holding only UISettings.ini (and `extra` files below
// Settings\), written as products ship it.
inline std::vector<std::uint8_t> SettingsZip(const fs::path& scratch, std::string_view ini,
                                             std::vector<txisp::testing::ZipEntrySpec> extra = {}) {
    const std::vector<std::uint8_t> text = txisp::testing::Utf16LeWithBom(ini);
    extra.push_back({"Settings\\UISettings.ini", std::string(text.begin(), text.end())});
    const fs::path zip = scratch / "settings.zip";
    txisp::testing::WriteZip(zip, extra);
    return txisp::testing::ReadBytes(zip);
}

// A tool prepared for `chip` with the sample image (when it has one) and
// `settings_zip` (when given).
inline platform::ResourceBundle EmbeddedBundle(
    std::string_view chip, bool with_image, std::optional<std::vector<std::uint8_t>> settings_zip) {
    platform::ResourceMap entries;
    entries[firmware::kChipNameResource] = TextResource(chip);
    if (with_image) entries[firmware::kFirmwareImageResource] = SampleTx5Image(chip);
    if (settings_zip) entries[firmware::kSettingsArchiveResource] = std::move(*settings_zip);
    return Bundle(entries);
}

// The sample product: a TX5K3317 tool with the sample settings.
inline platform::ResourceBundle SampleProductBundle() {
    return EmbeddedBundle("TX5K3317", true,
                          txisp::testing::ReadBytes(Example("sample-settings.zip")));
}

inline sim::SimDeviceConfig ScenarioDevice(std::string_view scenario_file) {
    Result<sim::Scenario> scenario = sim::LoadScenario(Example(scenario_file));
    EXPECT_TRUE(scenario.ok()) << scenario.error();
    if (!scenario.ok() || scenario->Devices.empty()) return {};
    return scenario->Devices.front();
}

// One device of the example scenario of `chip`.
inline sim::SimDeviceConfig ExampleDevice(std::string_view chip) {
    return ScenarioDevice("sim/" + std::string(chip) + ".json");
}

// A device of the sample product: it takes the sample settings' boot-mode
// request.
inline sim::SimDeviceConfig SampleProductDevice() {
    return ScenarioDevice("sim/production-line.json");
}

class MainDialogTest : public ::testing::Test {
protected:
    MainDialogTest() { fs::create_directories(TempFolder()); }

    fs::path TempFolder() const { return dir_ / "temp"; }
    fs::path StateFolder() const { return dir_ / "state"; }
    fs::path ProgramPath() const { return dir_ / "txisp-gui"; }
    fs::path CounterFile() const { return dir_ / "txisp.ini"; }

    // The window comes up: construction and start-up.
    void Open(platform::ResourceBundle resources = {}) {
        resources_ = std::move(resources);
        dialog_ = std::make_unique<MainDialog>(MainDialogDeps{
            view_, prompts_, bus_, clock_, resources_, TempFolder(), StateFolder(), ProgramPath()});
        dialog_->Initialize();
    }

    // The next case of a table: no window, an empty bus, a fresh view and
    // no counters.
    void Restart() {
        dialog_.reset();
        view_.RunQueued();
        for (int i = 0; i < bus_.DeviceCount(); ++i)
            bus_.Unplug(i);
        bus_.ClearTranscript();
        view_.Reset();
        prompts_.Clear();
        clock_.ClearWaits();
        fs::remove(CounterFile());
    }

    MainDialog& Dialog() { return *dialog_; }
    const MainDialogState& State() const { return dialog_->State(); }

    int Plug(sim::SimDeviceConfig config) {
        Result<int> plugged = bus_.Plug(std::move(config));
        EXPECT_TRUE(plugged.ok()) << plugged.error();
        return plugged.ok() ? *plugged : -1;
    }

    // A copy of the sample firmware of `chip` in the test's folder, so that a
    // rolling-code file can lie beside it.
    fs::path CopyFirmware(std::string_view file_name) {
        const fs::path copy = dir_ / file_name;
        fs::copy_file(Example("firmware/" + std::string(file_name)), copy);
        return copy;
    }

    // Load File as the operator does it: the chip, then the file.
    void LoadFile(std::string_view chip, std::optional<fs::path> file) {
        view_.AnswerChip(std::string(chip));
        if (firmware::IsTx64Kind(firmware::FindChipFamily(chip, 0))) {
            view_.AnswerHexBinFile(std::move(file));
        } else {
            view_.AnswerTx5File(std::move(file));
        }
        dialog_->LoadFileCommand();
    }

    // Runs what the worker posts until the run has ended.
    void FinishRun() {
        ASSERT_TRUE(view_.PumpUntil([&] { return !State().Busy; })) << "the run did not end";
    }
    // Start, and the whole run.
    void StartAndFinish() {
        Dialog().OnStart();
        ASSERT_TRUE(State().Busy) << "no run started";
        FinishRun();
    }

    std::vector<Prompt> Prompts() const { return prompts_.prompts(); }
    std::string Counter(std::string_view key) const {
        return platform::ReadProfileString(CounterFile(), "CountInfo", key, "");
    }

    // Waits of `ms` on the clock, in order.
    std::vector<std::uint32_t> BusyWaitsOf(std::initializer_list<std::uint32_t> of) const {
        std::vector<std::uint32_t> waits;
        for (const platform::RecordedWait& wait : clock_.Waits()) {
            if (wait.Kind != platform::WaitKind::Busy) continue;
            if (std::find(of.begin(), of.end(), wait.Ms) != of.end()) waits.push_back(wait.Ms);
        }
        return waits;
    }

    platform::VirtualClock clock_;
    sim::SimBus bus_{clock_};
    FakeMainView view_;
    txisp::testing::RecordingPrompts prompts_;
    txisp::testing::TempDir dir_;
    platform::ResourceBundle resources_;
    // Last, so it goes first: its end may wait for a run that uses the rest.
    std::unique_ptr<MainDialog> dialog_;
};

}  // namespace txisp::app::testing
