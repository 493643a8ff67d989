#include "hid/hid_device_table.h"

#include <algorithm>
#include <cassert>

#include "hid/open_error.h"
#include "platform/trace.h"

namespace txisp::hid {

namespace {

using platform::Trace;
using platform::TraceLevel;

constexpr InterfaceClass kSearchOrder[] = {
    InterfaceClass::Hid,
    InterfaceClass::Mouse,
    InterfaceClass::Keyboard,
};

void Skipped(const std::string& path, const std::string& why) {
    Trace(TraceLevel::Debug, "skipped " + path + ": " + why);
}

}  // namespace

std::string SerialTextOf(const HidInterfaceInfo& info) {
    // Virtual devices may have no physical location; the node still tells
    // them apart.
    std::string text = info.PhysicalPath.empty() ? info.Path : info.PhysicalPath;
    if (!info.Serial.empty()) text += " " + info.Serial;
    return text;
}

HidDeviceTable::HidDeviceTable(HidBackend& backend)
    : backend_(backend), owner_(std::this_thread::get_id()) {}

// --- Ownership -----------------------------------------------------------

bool HidDeviceTable::OwnedByThisThread() const {
    return owner_.load(std::memory_order_acquire) == std::this_thread::get_id();
}

bool HidDeviceTable::CheckOwner(const char* operation) const {
    if (OwnedByThisThread()) return true;
    Trace(TraceLevel::Debug,
          std::string("HID ") + operation + " refused: the device table belongs to another thread");
    assert(!"HID device table used by a thread that does not own it");
    return false;
}

bool HidDeviceTable::Release() {
    std::thread::id self = std::this_thread::get_id();
    return owner_.compare_exchange_strong(self, std::thread::id(), std::memory_order_acq_rel);
}

bool HidDeviceTable::Claim() {
    std::thread::id nobody;
    if (owner_.compare_exchange_strong(nobody, std::this_thread::get_id(),
                                       std::memory_order_acq_rel)) {
        return true;
    }
    return nobody == std::this_thread::get_id();
}

// --- Searching -----------------------------------------------------------

std::int32_t HidDeviceTable::OpenHidDevice(std::uint16_t vid, std::uint16_t pid) {
    if (!CheckOwner("search")) return kHidFail;
    permission_denied_.clear();
    for (InterfaceClass interface_class : kSearchOrder) {
        interface_class_ = interface_class;
        if (Search(vid, pid) == kHidOk) return kHidOk;
    }
    return kHidFail;
}

std::int32_t HidDeviceTable::FindHidDevices(std::uint16_t vid, std::uint16_t pid) {
    if (!CheckOwner("search")) return kHidFail;
    permission_denied_.clear();
    return Search(vid, pid);
}

void HidDeviceTable::SetInterfaceClass(InterfaceClass interface_class) {
    if (CheckOwner("search")) interface_class_ = interface_class;
}

InterfaceClass HidDeviceTable::CurrentInterfaceClass() const {
    return CheckOwner("query") ? interface_class_ : InterfaceClass::Hid;
}

std::int32_t HidDeviceTable::Search(std::uint16_t vid, std::uint16_t pid) {
    records_.clear();
    current_ = 0;
    for (const HidInterfaceInfo& info : backend_.Enumerate(interface_class_)) {
        Consider(info, vid, pid);
    }
    return records_.empty() ? kHidFail : kHidOk;
}

void HidDeviceTable::Consider(const HidInterfaceInfo& info, std::uint16_t vid, std::uint16_t pid) {
    if (info.VendorId != vid || info.ProductId != pid) return;
    if (info.OpenError) {
        Skipped(info.Path, *info.OpenError);
        if (*info.OpenError == kPermissionDenied) permission_denied_.push_back(info.Path);
        return;
    }
    if (info.FeatureReportByteLength != expected_length_ || info.FeatureReportId != 0) {
        Skipped(info.Path, "feature report of " + std::to_string(info.FeatureReportByteLength) +
                               " bytes with ID " + std::to_string(info.FeatureReportId) +
                               ", looking for " + std::to_string(expected_length_) +
                               " bytes with ID 0");
        return;
    }
    // The device list offers at most eight devices; the first ones found win.
    if (records_.size() == static_cast<std::size_t>(kMaxDevices)) {
        Skipped(info.Path, "already eight devices found");
        return;
    }
    HidDeviceRecord record;
    record.Index = static_cast<int>(records_.size());
    record.DevicePath = info.Path;
    record.SerialText = SerialTextOf(info);
    record.FeatureReportByteLength = info.FeatureReportByteLength;
    record.VendorId = info.VendorId;
    record.ProductId = info.ProductId;
    record.VersionNumber = info.Version;
    records_.push_back(std::move(record));
}

int HidDeviceTable::SetReportBlockSize(int block_size) {
    if (!CheckOwner("search")) return 0;
    constexpr int kLargestBlock = static_cast<int>(kReportBufferSize) - 1;
    expected_length_ = std::clamp(block_size, 0, kLargestBlock) + 1;
    return expected_length_;
}

int HidDeviceTable::ExpectedReportLength() const {
    return CheckOwner("query") ? expected_length_ : 0;
}

int HidDeviceTable::GetDeviceCount() const {
    if (!CheckOwner("query")) return 0;
    return static_cast<int>(records_.size());
}

void HidDeviceTable::SelectDevice(int index) {
    if (!CheckOwner("select")) return;
    current_ = index >= 0 && index < static_cast<int>(records_.size()) ? index : 0;
}

int HidDeviceTable::CurrentIndex() const {
    return CheckOwner("query") ? current_ : 0;
}

bool HidDeviceTable::GetDeviceSerial(int index, std::string& text) const {
    auto record = GetRecord(index);
    if (!record) return false;
    text = record->SerialText;
    return true;
}

std::optional<HidDeviceRecord> HidDeviceTable::GetRecord(int index) const {
    if (!CheckOwner("query")) return std::nullopt;
    if (index < 0 || index >= static_cast<int>(records_.size())) return std::nullopt;
    return records_[static_cast<std::size_t>(index)];
}

std::vector<std::string> HidDeviceTable::PermissionDeniedPaths() const {
    if (!CheckOwner("query")) return {};
    return permission_denied_;
}

// --- Transfers -----------------------------------------------------------

const HidDeviceRecord* HidDeviceTable::CurrentRecord(const char* direction) const {
    if (!CheckOwner(direction)) return nullptr;
    if (current_ >= static_cast<int>(records_.size())) {
        Trace(TraceLevel::Debug, std::string(direction) + " refused: no device selected");
        return nullptr;
    }
    const HidDeviceRecord& record = records_[static_cast<std::size_t>(current_)];
    // Only lengths a search accepted get here, and SetReportBlockSize keeps
    // those inside the buffer; this guards the buffer should that change.
    if (record.FeatureReportByteLength < 1 ||
        record.FeatureReportByteLength > static_cast<int>(kReportBufferSize)) {
        Trace(TraceLevel::Debug, std::string(direction) + " refused: report length " +
                                     std::to_string(record.FeatureReportByteLength));
        return nullptr;
    }
    return &record;
}

bool HidDeviceTable::SendFeatureBlock(std::uint16_t, std::uint16_t,
                                      std::span<const std::uint8_t> block) {
    const HidDeviceRecord* record = CurrentRecord("send");
    if (record == nullptr) return false;
    const auto length = static_cast<std::size_t>(record->FeatureReportByteLength);
    report_[0] = 0;
    std::copy_n(block.begin(), std::min(block.size(), length - 1), report_.begin() + 1);
    const std::span<const std::uint8_t> report(report_.data(), length);
    const bool ok = backend_.SetFeature(record->DevicePath, report);
    if (platform::TraceActive()) {
        Trace(TraceLevel::Raw, "send " + record->DevicePath + (ok ? ": " : " failed: ") +
                                   platform::HexBytes(report.data(), report.size()));
    }
    return ok;
}

bool HidDeviceTable::ReceiveFeatureBlock(std::uint16_t, std::uint16_t,
                                         std::span<std::uint8_t> block) {
    const HidDeviceRecord* record = CurrentRecord("receive");
    if (record == nullptr) return false;
    const auto length = static_cast<std::size_t>(record->FeatureReportByteLength);
    report_[0] = 0;
    const std::span<std::uint8_t> report(report_.data(), length);
    if (!backend_.GetFeature(record->DevicePath, report)) {
        Trace(TraceLevel::Raw, "receive " + record->DevicePath + " failed");
        return false;
    }
    if (platform::TraceActive()) {
        Trace(TraceLevel::Raw,
              "receive " + record->DevicePath + ": " + platform::HexBytes(report.data(), length));
    }
    std::copy_n(report_.begin() + 1, std::min(block.size(), length - 1), block.begin());
    return true;
}

}  // namespace txisp::hid
