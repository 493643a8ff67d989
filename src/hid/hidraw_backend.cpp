#include "hid/hidraw_backend.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string_view>

#include "hid/open_error.h"
#include "hid/report_descriptor.h"
#include "hid/udev_notifications.h"
#include "platform/files.h"
#include "platform/trace.h"

namespace txisp::hid {

namespace fs = std::filesystem;

namespace {

using platform::Trace;
using platform::TraceLevel;
using platform::UniqueFd;

constexpr std::uintmax_t kMaxSysfsFileBytes = 64 * 1024;
// The ioctl encodes the length in 14 bits.
constexpr std::size_t kMaxFeatureReportBytes = (1u << 14) - 1;

constexpr std::uint16_t kGenericDesktopPage = 0x01;
constexpr std::uint16_t kMouseUsage = 0x02;
constexpr std::uint16_t kKeyboardUsage = 0x06;

struct Node {
    unsigned long Number = 0;
    std::string Name;  // "hidraw3"
};

// hidrawN numbering follows creation order and is not stable across plugs;
// sorting by N at least keeps one search's order repeatable.
std::vector<Node> ListNodes(const fs::path& class_folder) {
    std::vector<Node> nodes;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(class_folder, error)) {
        const std::string name = entry.path().filename().string();
        constexpr std::string_view kPrefix = "hidraw";
        if (name.size() <= kPrefix.size() || name.compare(0, kPrefix.size(), kPrefix) != 0) {
            continue;
        }
        const char* first = name.data() + kPrefix.size();
        const char* last = name.data() + name.size();
        Node node{0, name};
        const auto [end, parsed] = std::from_chars(first, last, node.Number);
        if (parsed == std::errc() && end == last) nodes.push_back(std::move(node));
    }
    std::sort(nodes.begin(), nodes.end(),
              [](const Node& a, const Node& b) { return a.Number < b.Number; });
    return nodes;
}

struct Uevent {
    std::optional<std::string> Id;  // HID_ID
    std::string Phys;               // HID_PHYS
    std::string Uniq;               // HID_UNIQ
};

Uevent ParseUevent(std::string_view text) {
    Uevent uevent;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, equals);
        const std::string value(line.substr(equals + 1));
        if (key == "HID_ID") uevent.Id = value;
        if (key == "HID_PHYS") uevent.Phys = value;
        if (key == "HID_UNIQ") uevent.Uniq = value;
    }
    return uevent;
}

std::optional<std::uint32_t> ParseHex(std::string_view text) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// "0003:00005E3A:00007300": bus, vendor and product in hex.
bool ParseHidId(std::string_view text, HidInterfaceInfo& info) {
    const std::size_t first = text.find(':');
    const std::size_t second = text.find(':', first == std::string_view::npos ? 0 : first + 1);
    if (first == std::string_view::npos || second == std::string_view::npos) return false;
    const auto bus = ParseHex(text.substr(0, first));
    const auto vendor = ParseHex(text.substr(first + 1, second - first - 1));
    const auto product = ParseHex(text.substr(second + 1));
    if (!bus || !vendor || !product || *vendor > 0xFFFF || *product > 0xFFFF) return false;
    info.VendorId = static_cast<std::uint16_t>(*vendor);
    info.ProductId = static_cast<std::uint16_t>(*product);
    return true;
}

// O_NONBLOCK only keeps a stray FIFO from hanging the open; the feature
// requests do not block on it.
UniqueFd OpenNode(const std::string& path, int& error) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK));
    // Read access is enough for feature requests, and a udev rule may grant
    // no more than that.
    if (!fd.valid()) fd = UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    error = fd.valid() ? 0 : errno;
    return fd;
}

std::string OpenErrorText(int error) {
    if (error == EACCES || error == EPERM) return std::string(kPermissionDenied);
    return platform::ErrnoText(error);
}

std::optional<std::string> ProbeOpen(const std::string& path) {
    int error = 0;
    if (OpenNode(path, error).valid()) return std::nullopt;
    return OpenErrorText(error);
}

void ReadDescriptor(const fs::path& device_folder, const std::string& node,
                    HidInterfaceInfo& info) {
    auto bytes = platform::ReadFileBytes(device_folder / "report_descriptor", kMaxSysfsFileBytes);
    if (!bytes) {
        Trace(TraceLevel::Debug, node + ": " + bytes.error());
        return;
    }
    auto parsed = ParseReportDescriptor(*bytes);
    if (!parsed) {
        // Left without a feature report, so no search accepts it.
        Trace(TraceLevel::Debug, node + ": report descriptor: " + parsed.error());
        return;
    }
    info.FeatureReportByteLength = parsed->FeatureReportByteLength;
    info.FeatureReportId = parsed->FeatureReportId;
    info.Class = ClassOfUsage(parsed->UsagePage, parsed->Usage);
}

std::optional<HidInterfaceInfo> Describe(const fs::path& class_folder, const fs::path& dev_root,
                                         const Node& node) {
    const fs::path device_folder = class_folder / node.Name / "device";
    auto uevent_bytes = platform::ReadFileBytes(device_folder / "uevent", kMaxSysfsFileBytes);
    if (!uevent_bytes) {
        Trace(TraceLevel::Debug, "skipped " + node.Name + ": " + uevent_bytes.error());
        return std::nullopt;
    }
    const Uevent uevent = ParseUevent(std::string_view(
        reinterpret_cast<const char*>(uevent_bytes->data()), uevent_bytes->size()));
    HidInterfaceInfo info;
    if (!uevent.Id || !ParseHidId(*uevent.Id, info)) {
        Trace(TraceLevel::Debug, "skipped " + node.Name + ": no usable HID_ID");
        return std::nullopt;
    }
    info.Path = (dev_root / node.Name).string();
    info.PhysicalPath = uevent.Phys;
    info.Serial = uevent.Uniq;
    ReadDescriptor(device_folder, node.Name, info);
    info.OpenError = ProbeOpen(info.Path);
    return info;
}

bool Ioctl(int fd, unsigned long request, void* data, int& result) {
    do {
        result = ::ioctl(fd, request, data);
    } while (result < 0 && errno == EINTR);
    return result >= 0;
}

}  // namespace

InterfaceClass ClassOfUsage(std::uint16_t usage_page, std::uint16_t usage) {
    if (usage_page != kGenericDesktopPage) return InterfaceClass::Hid;
    if (usage == kMouseUsage) return InterfaceClass::Mouse;
    if (usage == kKeyboardUsage) return InterfaceClass::Keyboard;
    return InterfaceClass::Hid;
}

HidrawBackend::HidrawBackend(fs::path sysfs_root, fs::path dev_root)
    : sysfs_root_(std::move(sysfs_root)), dev_root_(std::move(dev_root)) {}

std::vector<HidInterfaceInfo> HidrawBackend::Enumerate(InterfaceClass interface_class) {
    const fs::path class_folder = sysfs_root_ / "class" / "hidraw";
    std::vector<HidInterfaceInfo> found;
    for (const Node& node : ListNodes(class_folder)) {
        auto info = Describe(class_folder, dev_root_, node);
        if (info && info->Class == interface_class) found.push_back(std::move(*info));
    }
    return found;
}

bool HidrawBackend::SetFeature(const std::string& path, std::span<const std::uint8_t> report) {
    if (report.empty() || report.size() > kMaxFeatureReportBytes) return false;
    int error = 0;
    UniqueFd fd = OpenNode(path, error);
    if (!fd.valid()) {
        Trace(TraceLevel::Debug, "open " + path + ": " + OpenErrorText(error));
        return false;
    }
    int sent = 0;
    // The kernel only reads the buffer of a set request.
    void* data = const_cast<std::uint8_t*>(report.data());
    if (!Ioctl(fd.get(), HIDIOCSFEATURE(report.size()), data, sent)) {
        Trace(TraceLevel::Debug, "set feature on " + path + ": " + platform::ErrnoText(errno));
        return false;
    }
    return true;
}

bool HidrawBackend::GetFeature(const std::string& path, std::span<std::uint8_t> report) {
    if (report.empty() || report.size() > kMaxFeatureReportBytes) return false;
    int error = 0;
    UniqueFd fd = OpenNode(path, error);
    if (!fd.valid()) {
        Trace(TraceLevel::Debug, "open " + path + ": " + OpenErrorText(error));
        return false;
    }
    // The kernel copies the reply out only when the request succeeded, so a
    // failure leaves `report` as it was.
    int got = 0;
    if (!Ioctl(fd.get(), HIDIOCGFEATURE(report.size()), report.data(), got)) {
        Trace(TraceLevel::Debug, "get feature on " + path + ": " + platform::ErrnoText(errno));
        return false;
    }
    if (got == 0) {
        Trace(TraceLevel::Debug, "get feature on " + path + ": empty reply");
        return false;
    }
    // Bytes behind a short reply keep their content, as they would on the
    // system the protocol was written for; the trace shows it happened.
    if (static_cast<std::size_t>(got) < report.size()) {
        Trace(TraceLevel::Debug, "get feature on " + path + ": short reply of " +
                                     std::to_string(got) + " of " + std::to_string(report.size()) +
                                     " bytes");
    }
    return true;
}

std::unique_ptr<DeviceNotifications> HidrawBackend::RegisterUsbNotification() {
    return OpenUdevNotifications(dev_root_);
}

}  // namespace txisp::hid
