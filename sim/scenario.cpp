#include "sim/scenario.h"

#include <algorithm>
#include <initializer_list>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <utility>

#include "platform/files.h"
#include "sim/sim_device.h"

namespace txisp::sim {
namespace {

using nlohmann::json;

constexpr std::uintmax_t kMaxScenarioBytes = 1 << 20;
constexpr int kMaxCount = 64;

constexpr std::string_view kTopKeys[] = {"devices"};
constexpr std::string_view kDeviceKeys[] = {
    "chip",
    "variant",
    "count",
    "vid",
    "pid",
    "app_version",
    "mode",
    "switch",
    "reenumerate_delay_ms",
    "boot_command",
    "password",
    "security",
    "code_options",
    "erase_ms",
    "option_erase_ms",
    "busy_reads",
    "block_busy_reads",
    "interfaces",
    "faults",
    "firmware",
};
constexpr std::string_view kInterfaceKeys[] = {"class",         "report_length", "report_id",
                                               "physical_path", "serial",        "open_error"};
constexpr std::string_view kFaultKeys[] = {
    "fail_send",        "fail_receive",
    "unplug_after",     "latency_ms",
    "wrong_header",     "nak",
    "busy_forever",     "wrong_checksum",
    "wrong_password",   "protected_code_options",
    "crystal_mismatch", "firmware_version",
};

int DigitValue(char c, int base) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    return digit < base ? digit : -1;
}

// Hex text ("FF 3F 00", blanks optional) or an array of byte values.
std::optional<std::vector<std::uint8_t>> ReadBytes(const json& value) {
    std::vector<std::uint8_t> bytes;
    if (value.is_array()) {
        for (const json& item : value) {
            if (!item.is_number_integer() || item.get<std::int64_t>() < 0 ||
                item.get<std::int64_t>() > 255)
                return std::nullopt;
            bytes.push_back(static_cast<std::uint8_t>(item.get<int>()));
        }
        return bytes;
    }
    if (!value.is_string()) return std::nullopt;
    std::string digits;
    for (char c : value.get<std::string>()) {
        if (c == ' ') continue;
        if (DigitValue(c, 16) < 0) return std::nullopt;
        digits += c;
    }
    if (digits.size() % 2 != 0) return std::nullopt;
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(DigitValue(digits[i], 16) * 16 +
                                                  DigitValue(digits[i + 1], 16)));
    return bytes;
}

// Reads the keys of one JSON object. Reading goes on after a bad value, but
// only the first error is kept, so every read can be written as if it
// succeeded and the result is checked once.
class FieldReader {
public:
    FieldReader(const json& object, std::string where) : object_(object), where_(std::move(where)) {
        if (!object_.is_object()) Fail("", "must be an object");
    }

    const Status& status() const { return status_; }
    std::string KeyName(std::string_view key) const {
        if (key.empty()) return where_;
        return where_.empty() ? std::string(key) : where_ + "." + std::string(key);
    }

    void Fail(std::string_view key, const std::string& message) {
        if (status_) status_ = Status::Fail(KeyName(key) + ": " + message);
    }

    // Keeps the first error of a reader of a nested object.
    void Adopt(const Status& nested) {
        if (status_) status_ = nested;
    }

    const json* Find(std::string_view key) const {
        if (!object_.is_object()) return nullptr;
        const auto found = object_.find(key);
        return found == object_.end() ? nullptr : &*found;
    }

    void CheckKeys(std::span<const std::string_view> known) {
        if (!object_.is_object()) return;
        for (const auto& [key, value] : object_.items()) {
            if (key != "comment" && std::find(known.begin(), known.end(), key) == known.end())
                Fail(key, "unknown key");
        }
    }

    // A JSON integer, or a string holding a decimal or "0x" hexadecimal number.
    std::int64_t Integer(std::string_view key, std::int64_t min, std::int64_t max,
                         std::int64_t fallback) {
        const json* value = Find(key);
        if (!value) return fallback;
        std::optional<std::int64_t> number;
        if (value->is_number_integer()) number = value->get<std::int64_t>();
        if (value->is_string()) number = ParseNumber(value->get<std::string>());
        if (!number) {
            Fail(key, "must be a number (JSON integer, or text such as \"0x5E3A\")");
            return fallback;
        }
        if (*number < min || *number > max) {
            Fail(key, "must lie between " + std::to_string(min) + " and " + std::to_string(max));
            return fallback;
        }
        return *number;
    }

    bool Flag(std::string_view key) {
        const json* value = Find(key);
        if (!value) return false;
        if (!value->is_boolean()) {
            Fail(key, "must be true or false");
            return false;
        }
        return value->get<bool>();
    }

    std::string Text(std::string_view key) {
        const json* value = Find(key);
        if (!value) return {};
        if (!value->is_string()) {
            Fail(key, "must be text");
            return {};
        }
        return value->get<std::string>();
    }

    // One of `names`; the index of the name given, or `fallback` when absent.
    int Choice(std::string_view key, std::initializer_list<std::string_view> names, int fallback) {
        if (!Find(key)) return fallback;
        const std::string text = Text(key);
        const auto found = std::find(names.begin(), names.end(), text);
        if (found != names.end()) return static_cast<int>(found - names.begin());
        std::string list;
        for (std::string_view name : names)
            list += (list.empty() ? "\"" : ", \"") + std::string(name) + "\"";
        Fail(key, "must be one of " + list);
        return fallback;
    }

    // Hex text ("FF 3F 00", blanks optional) or an array of byte values;
    // empty when absent. `lengths` lists the lengths allowed, none: any.
    std::vector<std::uint8_t> Bytes(std::string_view key,
                                    std::initializer_list<std::size_t> lengths) {
        const json* value = Find(key);
        if (!value) return {};
        std::optional<std::vector<std::uint8_t>> bytes = ReadBytes(*value);
        if (!bytes) {
            Fail(key, "must be hex text such as \"FF 3F\" or an array of byte values");
            return {};
        }
        if (lengths.size() != 0 &&
            std::find(lengths.begin(), lengths.end(), bytes->size()) == lengths.end()) {
            std::string allowed;
            for (std::size_t length : lengths)
                allowed += (allowed.empty() ? "" : " or ") + std::to_string(length);
            Fail(key, "must hold " + allowed + " bytes, not " + std::to_string(bytes->size()));
            return {};
        }
        return *bytes;
    }

private:
    static std::optional<std::int64_t> ParseNumber(const std::string& text) {
        const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        const std::string digits = hex ? text.substr(2) : text;
        if (digits.empty() || digits.size() > 15) return std::nullopt;
        std::int64_t number = 0;
        for (char c : digits) {
            const int digit = DigitValue(c, hex ? 16 : 10);
            if (digit < 0) return std::nullopt;
            number = number * (hex ? 16 : 10) + digit;
        }
        return number;
    }

    const json& object_;
    std::string where_;
    Status status_ = Status::Ok();
};

template <std::size_t N>
std::array<std::uint8_t, N> ToArray(const std::vector<std::uint8_t>& bytes) {
    std::array<std::uint8_t, N> array{};
    std::copy_n(bytes.begin(), std::min(N, bytes.size()), array.begin());
    return array;
}

// "40172958" as the operator types it: two digits to a byte, the first in
// the high nibble.
std::optional<std::array<std::uint8_t, 4>> PackPassword(const std::string& text) {
    if (text.size() != 8 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::array<std::uint8_t, 4> bytes{};
    for (std::size_t j = 0; j < 4; ++j)
        bytes[j] = static_cast<std::uint8_t>((text[2 * j] - '0') * 16 + (text[2 * j + 1] - '0'));
    return bytes;
}

void ReadBootCommands(FieldReader& reader, SimDeviceConfig& config) {
    const json* value = reader.Find("boot_command");
    if (!value) return;
    const json list = value->is_array() ? *value : json::array({*value});
    for (const json& item : list) {
        const std::optional<std::vector<std::uint8_t>> bytes =
            item.is_string() ? ReadBytes(item) : std::nullopt;
        if (!bytes || bytes->size() != 8) {
            reader.Fail("boot_command", "each must be 16 hex digits such as \"AA55A55AFF0033CC\"");
            return;
        }
        config.BootCommands.push_back(ToArray<8>(*bytes));
    }
}

void ReadInterfaces(FieldReader& reader, SimDeviceConfig& config) {
    const json* list = reader.Find("interfaces");
    if (!list) return;
    if (!list->is_array() || list->empty()) {
        reader.Fail("interfaces", "must be a non-empty array");
        return;
    }
    for (std::size_t i = 0; i < list->size(); ++i) {
        FieldReader item(list->at(i), reader.KeyName("interfaces[" + std::to_string(i) + "]"));
        item.CheckKeys(kInterfaceKeys);
        SimInterface interface;
        interface.Class =
            static_cast<hid::InterfaceClass>(item.Choice("class", {"hid", "mouse", "keyboard"}, 0));
        interface.ReportLength = static_cast<int>(item.Integer("report_length", 1, 4096, 0));
        interface.ReportId = static_cast<int>(item.Integer("report_id", 0, 255, 0));
        interface.PhysicalPath = item.Text("physical_path");
        interface.Serial = item.Text("serial");
        if (item.Find("open_error")) interface.OpenError = item.Text("open_error");
        if (!item.status()) {
            reader.Adopt(item.status());
            return;
        }
        config.Interfaces.push_back(std::move(interface));
    }
}

void ReadFaults(FieldReader& reader, SimFaults& faults) {
    const json* object = reader.Find("faults");
    if (!object) return;
    FieldReader item(*object, reader.KeyName("faults"));
    item.CheckKeys(kFaultKeys);
    constexpr std::int64_t kMaxCountValue = 1'000'000'000;
    faults.FailSend = static_cast<int>(item.Integer("fail_send", 0, kMaxCountValue, 0));
    faults.FailReceive = static_cast<int>(item.Integer("fail_receive", 0, kMaxCountValue, 0));
    faults.UnplugAfter = static_cast<int>(item.Integer("unplug_after", 0, kMaxCountValue, 0));
    faults.LatencyMs = static_cast<int>(item.Integer("latency_ms", 0, 60'000, 0));
    if (item.Find("wrong_header"))
        faults.WrongHeader = static_cast<std::uint8_t>(item.Integer("wrong_header", 0, 255, 0));
    if (item.Find("nak")) faults.Nak = static_cast<std::uint8_t>(item.Integer("nak", 0, 255, 0));
    faults.BusyForever = item.Flag("busy_forever");
    faults.WrongChecksum = static_cast<ChecksumFault>(
        item.Choice("wrong_checksum", {"none", "blank", "verify", "option"}, 0));
    faults.WrongPassword = item.Flag("wrong_password");
    faults.ProtectedCodeOptions = item.Flag("protected_code_options");
    faults.CrystalMismatch = item.Flag("crystal_mismatch");
    if (item.Find("firmware_version"))
        faults.FirmwareVersion = ToArray<4>(item.Bytes("firmware_version", {4}));
    reader.Adopt(item.status());
}

std::string ReplaceCopyNumber(std::string text, int copy) {
    const std::string placeholder = "{n}";
    for (std::size_t at = text.find(placeholder); at != std::string::npos;
         at = text.find(placeholder, at))
        text.replace(at, placeholder.size(), std::to_string(copy));
    return text;
}

// The device's keys; `count` is read by the caller.
SimDeviceConfig ReadDeviceConfig(FieldReader& reader, const std::filesystem::path& folder) {
    constexpr std::int64_t kMaxMs = 600'000;
    SimDeviceConfig config;
    config.Chip = reader.Text("chip");
    if (reader.status() && !FindChipFamily(config.Chip))
        reader.Fail("chip", "unknown chip \"" + config.Chip + "\"");
    config.Variant = static_cast<int>(reader.Integer("variant", 0, 255, 0));
    config.VendorId = static_cast<std::uint16_t>(reader.Integer("vid", 0, 0xFFFF, config.VendorId));
    config.ProductId =
        static_cast<std::uint16_t>(reader.Integer("pid", 0, 0xFFFF, config.ProductId));
    config.AppVersion =
        static_cast<std::uint16_t>(reader.Integer("app_version", 0, 0xFFFF, config.AppVersion));
    config.StartInBootLoader = reader.Choice("mode", {"application", "boot-loader"}, 0) == 1;
    config.Switch =
        static_cast<SwitchStyle>(reader.Choice("switch", {"in-place", "reenumerate"}, 0));
    config.ReenumerateDelayMs = static_cast<int>(
        reader.Integer("reenumerate_delay_ms", 0, kMaxMs, config.ReenumerateDelayMs));
    ReadBootCommands(reader, config);
    if (reader.Find("password")) {
        const auto password = PackPassword(reader.Text("password"));
        if (!password) reader.Fail("password", "must be 8 decimal digits");
        config.Password = password.value_or(config.Password);
    }
    if (reader.Find("security")) config.Security = ToArray<4>(reader.Bytes("security", {4}));
    config.CodeOptions = reader.Bytes("code_options", {8, 16});
    config.EraseMs = static_cast<int>(reader.Integer("erase_ms", 0, kMaxMs, config.EraseMs));
    config.OptionEraseMs =
        static_cast<int>(reader.Integer("option_erase_ms", 0, kMaxMs, config.OptionEraseMs));
    config.BusyReads = static_cast<int>(reader.Integer("busy_reads", 0, 1000, 0));
    config.BlockBusyReads = static_cast<int>(reader.Integer("block_busy_reads", 0, 1000, 0));
    ReadInterfaces(reader, config);
    ReadFaults(reader, config.Faults);
    if (reader.Find("firmware")) config.Firmware = folder / reader.Text("firmware");
    return config;
}

Status ReadDevice(const json& object, const std::string& where, const std::filesystem::path& folder,
                  Scenario& scenario) {
    FieldReader reader(object, where);
    reader.CheckKeys(kDeviceKeys);
    if (reader.status() && !reader.Find("chip")) reader.Fail("chip", "missing");
    if (!reader.status()) return reader.status();
    const SimDeviceConfig config = ReadDeviceConfig(reader, folder);
    const int count = static_cast<int>(reader.Integer("count", 1, kMaxCount, 1));
    if (!reader.status()) return reader.status();

    // What the JSON types allow may still be more than the chip can hold.
    if (Result<SimDevice> device = SimDevice::Create(config); !device)
        return Status::Fail(where + "." + device.error());
    for (int copy = 1; copy <= count; ++copy) {
        SimDeviceConfig copy_config = config;
        for (SimInterface& interface : copy_config.Interfaces) {
            interface.Serial = ReplaceCopyNumber(interface.Serial, copy);
            interface.PhysicalPath = ReplaceCopyNumber(interface.PhysicalPath, copy);
        }
        scenario.Devices.push_back(std::move(copy_config));
    }
    return Status::Ok();
}

}  // namespace

Result<Scenario> ParseScenario(std::string_view json_text, const std::filesystem::path& folder) {
    json document;
    try {
        document = json::parse(json_text);
    } catch (const json::parse_error& error) {
        return Result<Scenario>::Fail(std::string("not valid JSON: ") + error.what());
    }
    if (!document.is_object())
        return Result<Scenario>::Fail("a scenario is a JSON object with a \"devices\" array");
    FieldReader top(document, "");
    top.CheckKeys(kTopKeys);
    if (!top.status()) return top.status();
    const json* devices = top.Find("devices");
    if (!devices || !devices->is_array())
        return Result<Scenario>::Fail("devices: missing, or not an array");
    Scenario scenario;
    for (std::size_t i = 0; i < devices->size(); ++i) {
        Status status =
            ReadDevice(devices->at(i), "devices[" + std::to_string(i) + "]", folder, scenario);
        if (!status) return status;
    }
    return scenario;
}

Result<Scenario> LoadScenario(const std::filesystem::path& file) {
    Result<std::vector<std::uint8_t>> bytes = platform::ReadFileBytes(file, kMaxScenarioBytes);
    if (!bytes) return bytes.status().Context("scenario " + file.string());
    const std::string text(bytes->begin(), bytes->end());
    Result<Scenario> scenario = ParseScenario(text, file.parent_path());
    scenario.Context(file.string());
    return scenario;
}

Status PlugScenario(SimBus& bus, const Scenario& scenario) {
    for (std::size_t i = 0; i < scenario.Devices.size(); ++i) {
        Result<int> plugged = bus.Plug(scenario.Devices[i]);
        if (!plugged) return plugged.status().Context("device " + std::to_string(i));
    }
    return Status::Ok();
}

Status LoadScenarioInto(SimBus& bus, const std::filesystem::path& file) {
    Result<Scenario> scenario = LoadScenario(file);
    if (!scenario) return scenario.status();
    return PlugScenario(bus, *scenario);
}

}  // namespace txisp::sim
