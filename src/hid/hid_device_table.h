#pragma once

// The devices a search found and the feature-report transfers to the one
// selected among them.
//
// One table exists per program, created by the application and shared by the
// window thread (searches, the device check) and the programming worker (a
// run's transfers). It belongs to one thread at a time: the thread that
// created it, until that thread lets go with Release so the worker can Claim
// it for a run; the window thread takes it back with Claim once the worker
// has finished (after joining it). A call from any other thread is refused:
// an assertion failure in debug builds, a failure result in release builds,
// never a data race.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "hid/hid_backend.h"

namespace txisp::hid {

// Results of the searches. Callers compare them as signed numbers ("0 or more
// means found"), so the failure keeps the sign of the Windows E_FAIL.
inline constexpr std::int32_t kHidOk = 0;
inline constexpr std::int32_t kHidFail = static_cast<std::int32_t>(0x80004005u);

// One accepted interface.
struct HidDeviceRecord {
    int Index = 0;           // order of acceptance, from 0
    std::string DevicePath;  // what the backend opens for each transfer
    // Shown in the device list: the physical location and, when the device
    // has one, its USB serial number, so that two identical devices on
    // different ports differ.
    std::string SerialText;
    int FeatureReportByteLength = 0;  // L of every transfer to this device
    std::uint16_t VendorId = 0;
    std::uint16_t ProductId = 0;
    std::uint16_t VersionNumber = 0;
};

// The serial text of an interface as the device list shows it.
std::string SerialTextOf(const HidInterfaceInfo& info);

class HidDeviceTable {
public:
    static constexpr int kMaxDevices = 8;
    static constexpr std::size_t kReportBufferSize = 4096;
    static constexpr int kInitialReportLength = 9;

    // The calling thread owns the new table.
    explicit HidDeviceTable(HidBackend& backend);
    HidDeviceTable(const HidDeviceTable&) = delete;
    HidDeviceTable& operator=(const HidDeviceTable&) = delete;

    // --- Searching -------------------------------------------------------

    // Searches the HID, mouse and keyboard classes in that order and keeps
    // the devices of the first class that has any. kHidOk or kHidFail.
    std::int32_t OpenHidDevice(std::uint16_t vid, std::uint16_t pid);
    // Searches the current interface class only, after emptying the table.
    std::int32_t FindHidDevices(std::uint16_t vid, std::uint16_t pid);
    void SetInterfaceClass(InterfaceClass interface_class);
    InterfaceClass CurrentInterfaceClass() const;

    // Only devices whose feature report is one report-ID byte plus one block
    // are accepted. Returns the expected report length (block size + 1); a
    // block size beyond the report buffer is cut to fit it. 0 when refused.
    int SetReportBlockSize(int block_size);
    int ExpectedReportLength() const;

    int GetDeviceCount() const;
    // An index outside the table selects record 0.
    void SelectDevice(int index);
    int CurrentIndex() const;
    // False, with `text` unchanged, for an index outside the table.
    bool GetDeviceSerial(int index, std::string& text) const;
    std::optional<HidDeviceRecord> GetRecord(int index) const;

    // Interfaces with the searched IDs that the last search had to skip
    // because the user may not open them.
    std::vector<std::string> PermissionDeniedPaths() const;

    // --- Transfers to the current device -----------------------------------
    //
    // Each is one feature report of the current device's length L through the
    // shared report buffer, whose byte 0 is the report ID 0. At most L - 1
    // block bytes travel; report bytes behind a shorter block go out as the
    // previous transfer, send or receive, left them. The IDs are carried for
    // the protocol layer's sake; the current record decides where the report
    // goes.

    bool SendFeatureBlock(std::uint16_t vid, std::uint16_t pid,
                          std::span<const std::uint8_t> block);
    // On failure `block` keeps its content.
    bool ReceiveFeatureBlock(std::uint16_t vid, std::uint16_t pid, std::span<std::uint8_t> block);

    // The end-of-run call. Nothing stays open between transfers, so there is
    // nothing to release.
    void CloseHidDevice() {}

    // --- Ownership -------------------------------------------------------

    // True when the calling thread may use the table. The window thread reads
    // false during a run: the worker has it, so searches and device checks
    // wait until the run has ended.
    bool OwnedByThisThread() const;
    // The owner lets go; the table then belongs to no thread until a Claim.
    // False (and nothing changes) when the caller is not the owner.
    bool Release();
    // The calling thread takes a table that no thread owns. True also when it
    // owns it already; false while another thread does.
    bool Claim();

private:
    bool CheckOwner(const char* operation) const;
    std::int32_t Search(std::uint16_t vid, std::uint16_t pid);
    void Consider(const HidInterfaceInfo& info, std::uint16_t vid, std::uint16_t pid);
    const HidDeviceRecord* CurrentRecord(const char* direction) const;

    HidBackend& backend_;
    std::atomic<std::thread::id> owner_;

    std::vector<HidDeviceRecord> records_;
    int current_ = 0;
    int expected_length_ = kInitialReportLength;
    InterfaceClass interface_class_ = InterfaceClass::Hid;
    std::vector<std::string> permission_denied_;

    // Never cleared: bytes a short block does not cover keep what the last
    // transfer left. Zero before the first one.
    std::array<std::uint8_t, kReportBufferSize> report_{};
};

// Holds a claim on the table for a scope, typically the worker's whole run.
// A thread that owned the table before keeps owning it afterwards.
class HidTableClaim {
public:
    explicit HidTableClaim(HidDeviceTable& table)
        : table_(table),
          owned_before_(table.OwnedByThisThread()),
          claimed_(owned_before_ || table.Claim()) {}
    ~HidTableClaim() {
        if (claimed_ && !owned_before_) table_.Release();
    }
    HidTableClaim(const HidTableClaim&) = delete;
    HidTableClaim& operator=(const HidTableClaim&) = delete;

    explicit operator bool() const { return claimed_; }

private:
    HidDeviceTable& table_;
    bool owned_before_;
    bool claimed_;
};

}  // namespace txisp::hid
