#include "cli/command_line.h"

#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "cli/chip_names.h"
#include "cli/exit_codes.h"
#include "cli/hid_backend_env.h"
#include "cli/id_text.h"
#include "cli/image_command.h"
#include "cli/info_command.h"
#include "cli/json_output.h"
#include "cli/list_command.h"
#include "cli/pack_command.h"
#include "cli/password_text.h"
#include "cli/program_command.h"
#include "cli/reporter.h"
#include "cli/version.h"
#include "firmware/chip_data.h"
#include "firmware/tool_config.h"
#include "platform/clock.h"

namespace txisp::cli {

struct CommandLineValues {
    int Verbosity = 0;
    std::string LogFile;

    CLI::App* List = nullptr;
    CLI::App* Info = nullptr;
    CLI::App* Image = nullptr;
    CLI::App* Pack = nullptr;
    CLI::App* Program = nullptr;

    std::string Vid = std::string(firmware::kDefaultVid);
    std::string Pid = std::string(firmware::kDefaultPid);
    std::string Chip;
    bool Json = false;

    int Device = 1;
    std::optional<double> WaitSeconds;

    std::string ImageFile;
    bool Dump = false;

    std::string Firmware;
    std::string Password = std::string(firmware::kDefaultPassword);
    int Security = 0;
    std::string Settings;
    std::string WindowProgram;
    std::string Output;

    std::string File;
    std::optional<int> ProgramSecurity;
    std::optional<int> ProgramDevice;
    bool All = false;
    std::string Rolling;
    bool Yes = false;
};

namespace {

constexpr const char* kFooter = R"(Exit codes:
  0  success
  1  the run or the device failed, or a file could not be written
  2  usage: a bad command line, or a TXISP_SIM scenario that cannot be loaded
  3  no matching device
  4  a matching device that the user may not open (see the udev rule 70-txisp.rules)
  5  a firmware file that is refused

Environment:
  TXISP_SIM=SCENARIO.json  work on a simulated bus with the scenario's devices)";

CLI::Validator ChipValidator() {
    return CLI::Validator([](std::string& name) { return CheckChipName(name); }, "NAME",
                          "chip-table name");
}

CLI::Validator IdValidator() {
    return CLI::Validator([](std::string& text) { return CheckIdText(text); }, "HEX", "USB ID");
}

CLI::Validator PasswordValidator() {
    return CLI::Validator([](std::string& text) { return CheckPasswordText(text); }, "8DIGITS",
                          "ISP password");
}

void AddIdOptions(CLI::App& command, CommandLineValues& values, const char* role) {
    command.add_option("--vid", values.Vid, fmt::format("{} vendor ID, hex", role))
        ->check(IdValidator())
        ->capture_default_str();
    command.add_option("--pid", values.Pid, fmt::format("{} product ID, hex", role))
        ->check(IdValidator())
        ->capture_default_str();
}

void AddJsonFlag(CLI::App& command, CommandLineValues& values) {
    command.add_flag("--json", values.Json, "print one JSON document on standard output");
}

void DefineList(CLI::App& app, CommandLineValues& values) {
    CLI::App& list = *app.add_subcommand(
        "list",
        "List the HID interfaces that answer under the given VID/PID or any chip family's "
        "boot-loader identity");
    AddIdOptions(list, values, "the application's");
    list.add_option("--chip", values.Chip, "the chip, to settle the family guess")
        ->check(ChipValidator());
    AddJsonFlag(list, values);
    values.List = &list;
}

void DefineInfo(CLI::App& app, CommandLineValues& values) {
    CLI::App& info = *app.add_subcommand(
        "info",
        "Ask the device's application firmware for its version (the window's VID, PID "
        "and REV boxes)");
    AddIdOptions(info, values, "the device's");
    info.add_option("--chip", values.Chip,
                    "the chip: its report length, and its boot-loader identity searched second")
        ->check(ChipValidator());
    info.add_option("--device", values.Device, "which of several devices found, from 1")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    info.add_option("--wait", values.WaitSeconds,
                    "wait up to SECONDS for a matching device to be plugged in")
        ->check(CLI::NonNegativeNumber)
        ->type_name("SECONDS");
    AddJsonFlag(info, values);
    values.Info = &info;
}

void DefineImage(CLI::App& app, CommandLineValues& values) {
    CLI::App& image = *app.add_subcommand(
        "image", "Load a firmware file as Load File does and show what a run would program");
    image
        .add_option("file", values.ImageFile,
                    "a TX5 file for a TX5 chip; a path containing .hex or .bin for a TX64 chip")
        ->required()
        ->type_name("FILE");
    image.add_option("--chip", values.Chip, "the chip the file is for")
        ->required()
        ->check(ChipValidator());
    image.add_flag("--dump", values.Dump, "add a hex dump of the loaded image");
    AddJsonFlag(image, values);
    values.Image = &image;
}

void DefinePack(CLI::App& app, CommandLineValues& values) {
    CLI::App& pack =
        *app.add_subcommand("pack", "Write a copy of the window program prepared for one product");
    pack.add_option("--chip", values.Chip, "the product's chip")
        ->required()
        ->check(ChipValidator());
    pack.add_option("--firmware", values.Firmware, "the product's firmware file")
        ->required()
        ->type_name("FILE");
    pack.add_option("--password", values.Password, "the ISP password")
        ->check(PasswordValidator())
        ->capture_default_str();
    AddIdOptions(pack, values, "the device's");
    pack.add_option("--security", values.Security, "the code-security level")
        ->check(CLI::Range(0, 3))
        ->capture_default_str()
        ->type_name("0-3");
    pack.add_option("--settings", values.Settings,
                    "the product's settings folder (holding Settings/UISettings.ini), or a zip "
                    "of it")
        ->type_name("FOLDER|ZIP");
    pack.add_option("--program", values.WindowProgram,
                    "the program to prepare (default: txisp-gui beside txisp)")
        ->type_name("PATH");
    pack.add_option("-o,--output", values.Output, "the prepared tool to write")
        ->required()
        ->type_name("OUTPUT");
    AddJsonFlag(pack, values);
    values.Pack = &pack;
}

void DefineProgram(CLI::App& app, CommandLineValues& values) {
    CLI::App& program = *app.add_subcommand(
        "program", "Program the device as the window's Start does, with a firmware file");
    program.add_option("--chip", values.Chip, "the chip, as the chip list names it")
        ->required()
        ->check(ChipValidator());
    program
        .add_option("--file", values.File,
                    "a TX5 file for a TX5 chip; a path containing .hex or .bin for a TX64 chip")
        ->required()
        ->type_name("FW");
    program.add_option("--password", values.Password, "the ISP password (TX5 chips)")
        ->check(PasswordValidator())
        ->capture_default_str();
    AddIdOptions(program, values, "the device's");
    program
        .add_option("--security", values.ProgramSecurity, "the code-security level (TX64 chips)")
        ->check(CLI::Range(0, 3))
        ->type_name("0-3");
    CLI::Option* device =
        program.add_option("--device", values.ProgramDevice, "which of several devices, from 1")
            ->check(CLI::PositiveNumber)
            ->type_name("N");
    program.add_flag("--all", values.All, "program every device found (at most eight)")
        ->excludes(device);
    program
        .add_option("--rolling", values.Rolling,
                    "use the rolling code kept in SETTINGS.INI beside the firmware file")
        ->type_name("SETTINGS.INI");
    program.add_flag("-y,--yes", values.Yes, "answer the run's questions with Yes");
    program
        .add_option("--wait", values.WaitSeconds,
                    "wait up to SECONDS for a matching device to be plugged in")
        ->check(CLI::NonNegativeNumber)
        ->type_name("SECONDS");
    AddJsonFlag(program, values);
    values.Program = &program;
}

std::optional<firmware::ChipFamily> ChipFamilyOf(const std::string& chip) {
    if (chip.empty()) return std::nullopt;
    return firmware::FindChipFamily(chip, firmware::kNoFamily);
}

ProgramRequest ProgramRequestOf(const CommandLineValues& values) {
    ProgramRequest request;
    request.Chip = values.Chip;
    request.File = values.File;
    request.Password = values.Password;
    request.Vid = values.Vid;
    request.Pid = values.Pid;
    request.Security = values.ProgramSecurity;
    request.Device = values.ProgramDevice;
    request.All = values.All;
    if (!values.Rolling.empty()) request.Rolling = values.Rolling;
    request.Yes = values.Yes;
    request.Json = values.Json;
    request.WaitSeconds = values.WaitSeconds;
    request.WindowProgram = WindowProgramBesideThis();
    return request;
}

ExitCode RunDeviceCommand(const CommandLineValues& values, Reporter& reporter) {
    platform::Clock& clock = platform::SteadyClock::Instance();
    Result<std::unique_ptr<hid::HidBackend>> backend = OpenHidBackend(clock);
    if (!backend) return ReportFailure(reporter, values.Json, {ExitCode::Usage, backend.error()});
    const std::uint16_t vid = *ParseIdText(values.Vid);
    const std::uint16_t pid = *ParseIdText(values.Pid);
    if (*values.Program) return RunProgram(ProgramRequestOf(values), **backend, clock, reporter);
    if (*values.List) {
        return RunList({{vid, pid, ChipFamilyOf(values.Chip)}, values.Json}, **backend, reporter);
    }
    InfoRequest request;
    request.Search = {vid, pid, ChipFamilyOf(values.Chip)};
    request.DeviceNumber = values.Device;
    request.WaitSeconds = values.WaitSeconds;
    request.Json = values.Json;
    return RunInfo(request, **backend, clock, reporter);
}

ExitCode RunPackCommand(const CommandLineValues& values, Reporter& reporter) {
    PackRequest request;
    request.ChipName = values.Chip;
    request.Firmware = values.Firmware;
    request.Password = values.Password;
    request.Vid = values.Vid;
    request.Pid = values.Pid;
    request.CodeSecurity = values.Security;
    if (!values.Settings.empty()) request.Settings = values.Settings;
    if (!values.WindowProgram.empty()) request.Program = values.WindowProgram;
    request.Output = values.Output;
    request.Json = values.Json;
    return RunPack(request, reporter);
}

ExitCode Dispatch(const CommandLineValues& values, Reporter& reporter) {
    if (*values.List || *values.Info || *values.Program) return RunDeviceCommand(values, reporter);
    if (*values.Image) {
        return RunImage({values.ImageFile, values.Chip, values.Dump, values.Json}, reporter);
    }
    return RunPackCommand(values, reporter);
}

// A command line that does not parse has no values to ask; a script that
// passed --json still gets its document.
bool AskedForJson(int argc, const char* const* argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--json") return true;
    }
    return false;
}

std::string CommandLineText(int argc, const char* const* argv) {
    std::string text;
    for (int i = 0; i < argc; ++i) {
        if (i > 0) text += ' ';
        text += argv[i];
    }
    return text;
}

}  // namespace

std::unique_ptr<CLI::App> DefineCommandLine(CommandLineValues& values) {
    auto app = std::make_unique<CLI::App>(
        "txisp: updates the firmware of USB HID devices built on TX5 and TX64 chips", "txisp");
    app->set_version_flag("--version", fmt::format("txisp {}", kVersion));
    app->footer(kFooter);
    app->require_subcommand(0, 1);
    // -v and --log may follow the subcommand as well.
    app->fallthrough();
    app->add_flag("-v,--verbose", values.Verbosity,
                  "print the trace as it happens; -vv adds decisions, -vvv every report");
    app->add_option("--log", values.LogFile, "append the whole trace and every message to FILE")
        ->type_name("FILE");
    DefineList(*app, values);
    DefineInfo(*app, values);
    DefineImage(*app, values);
    DefinePack(*app, values);
    DefineProgram(*app, values);
    return app;
}

std::map<std::string, std::vector<std::string>> CommandLineOptions() {
    CommandLineValues values;
    const std::unique_ptr<CLI::App> app = DefineCommandLine(values);
    std::map<std::string, std::vector<std::string>> options;
    const auto collect = [&options](const CLI::App& command, const std::string& key) {
        std::vector<std::string>& names = options[key];
        for (const CLI::Option* option : command.get_options()) {
            for (const std::string& name : option->get_lnames()) {
                names.push_back("--" + name);
            }
        }
    };
    collect(*app, "");
    for (const CLI::App* command : app->get_subcommands({})) {
        collect(*command, command->get_name());
    }
    return options;
}

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
    CommandLineValues values;
    const std::unique_ptr<CLI::App> app = DefineCommandLine(values);
    try {
        app->parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        if (app->exit(error, out, err) == 0) return ToInt(ExitCode::Success);
        if (AskedForJson(argc, argv)) {
            out << nlohmann::ordered_json{{"error", error.what()},
                                          {"exit_code", ToInt(ExitCode::Usage)}}
                       .dump(2)
                << std::endl;
        }
        return ToInt(ExitCode::Usage);
    }
    if (app->get_subcommands().empty()) {
        err << app->help();
        return ToInt(ExitCode::Usage);
    }
    Reporter reporter(out, err);
    reporter.SetVerbosity(values.Verbosity);
    if (!values.LogFile.empty()) {
        if (Status opened = reporter.OpenLog(values.LogFile); !opened) {
            reporter.Error(opened.message());
            return ToInt(ExitCode::Usage);
        }
    }
    reporter.InstallAsTraceSink();
    reporter.LogOnly(CommandLineText(argc, argv));
    const ExitCode code = Dispatch(values, reporter);
    reporter.LogOnly(fmt::format("exit code {}", ToInt(code)));
    return ToInt(code);
}

}  // namespace txisp::cli
