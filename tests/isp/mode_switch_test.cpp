// The requests to the application firmware: into the boot loader, and the
// device-information query.

#include "isp/mode_switch.h"

#include <gtest/gtest.h>

#include "isp/device_info.h"
#include "support/fake_hid_backend.h"
#include "support/recording_prompts.h"
#include "timeline.h"

namespace txisp::isp {
namespace {

using testing::Bytes;
using testing::FakeHidBackend;
using testing::Hex;
using testing::Timeline;
using testing::TimelineBackend;
using testing::TimelineClock;
using Steps = std::vector<std::string>;

constexpr std::uint16_t kVid = 0x5E3A;
constexpr std::uint16_t kPid = 0x3442;
const std::string kPath = "/dev/hidraw2";

TEST(BootModeRequestTest, SettingReplacesTheDefaultOnlyWhenItIsSixteenHexDigits) {
    const struct {
        const char* command;
        int family;
        const char* request;
    } kCases[] = {
        {"", 0, "AA 55 A5 5A FF 00 33 CC"},
        {"", 6, "AA 55 A5 5A FF 00 33 81"},
        {"ED84D98CAC8616F", 6, "AA 55 A5 5A FF 00 33 81"},
        {"ED84D98CAC8616FE0", 0, "AA 55 A5 5A FF 00 33 CC"},
        // Every byte comes from the setting, the family's last byte included.
        {"ED84D98CAC8616FE", 6, "ED 84 D9 8C AC 86 16 FE"},
        {"ed84d98cac8616fe", 0, "ED 84 D9 8C AC 86 16 FE"},
        {"AA55A55AFF0033CC", 6, "AA 55 A5 5A FF 00 33 CC"},
        // Sixteen characters that are not all hex digits name no request.
        {"ED84D98CAC8616FG", 0, "AA 55 A5 5A FF 00 33 CC"},
        {"0x84D98CAC8616FE", 6, "AA 55 A5 5A FF 00 33 81"},
        {"ED84D98CAC8616 E", 0, "AA 55 A5 5A FF 00 33 CC"},
        // Sixteen UTF-16 units, not bytes: "é" is one unit but two bytes.
        {"ED84D98CAC8616F\xC3\xA9", 0, "AA 55 A5 5A FF 00 33 CC"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(::testing::Message() << '"' << c.command << "\", family " << c.family);
        const BootModeRequestBlock request = BootModeRequest(c.family, c.command);
        EXPECT_EQ(testing::HexText(request), c.request);
    }
}

class ModeSwitchTest : public ::testing::Test {
protected:
    void Plug(int length) {
        fake_.AddInterface(FakeHidBackend::Interface(kPath, kVid, kPid, length));
        table_.SetReportBlockSize(length - 1);
        ASSERT_EQ(table_.OpenHidDevice(kVid, kPid), hid::kHidOk);
        timeline_.Clear();
    }

    class Log final : public StepLog {
    public:
        void Write(std::string_view text) override { lines.emplace_back(text); }
        std::vector<std::string> lines;
    };

    FakeHidBackend fake_;
    Timeline timeline_;
    TimelineBackend backend_{fake_, timeline_};
    hid::HidDeviceTable table_{backend_};
    TimelineClock clock_{timeline_};
    testing::RecordingPrompts prompts_;
    Log log_;
};

TEST_F(ModeSwitchTest, AcceptedRequestGivesTheBootLoaderTenMilliseconds) {
    Plug(9);
    EXPECT_TRUE(ReturnBootMode(table_, clock_, prompts_, log_, kVid, kPid, 6, ""));
    EXPECT_EQ(timeline_.Entries(), (Steps{"> AA 55 A5 5A FF 00 33 81", "busy 10"}));
    EXPECT_TRUE(prompts_.prompts().empty());
    EXPECT_TRUE(log_.lines.empty());
}

TEST_F(ModeSwitchTest, RefusedRequestIsTracedAndShown) {
    Plug(9);
    fake_.FailTransfer(1);
    EXPECT_FALSE(ReturnBootMode(table_, clock_, prompts_, log_, kVid, kPid, 0, "ED84D98CAC8616FE"));
    EXPECT_EQ(timeline_.Entries(), (Steps{">! ED 84 D9 8C AC 86 16 FE"}));
    EXPECT_EQ(log_.lines, std::vector<std::string>{"Failed to return Kernel Mode!!"});
    EXPECT_EQ(prompts_.prompts(),
              std::vector{testing::Message("Error", "Return Boot Mode Failed!!")});
}

TEST_F(ModeSwitchTest, DeviceVersionIsReadAfterTheInformationRequest) {
    const struct {
        int length;
        const char* reply;
        std::uint16_t version;
        const char* text;
    } kCases[] = {
        {9, "01 01 00 00 00 00 00 00", 0x0101, "0x101"},
        {9, "05 00", 0x0005, "0x05"},
        {65, "CD AB 77 77", 0xABCD, "0xABCD"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.text);
        FakeHidBackend fake;
        hid::HidDeviceTable table(fake);
        table.SetReportBlockSize(c.length - 1);
        platform::VirtualClock clock;
        fake.AddInterface(FakeHidBackend::Interface(kPath, kVid, kPid, c.length));
        ASSERT_EQ(table.OpenHidDevice(kVid, kPid), hid::kHidOk);
        fake.QueueReply(kPath, Hex(c.reply));

        const std::optional<std::uint16_t> version = QueryDeviceInfo(table, clock, kVid, kPid);
        ASSERT_TRUE(version.has_value());
        EXPECT_EQ(*version, c.version);
        EXPECT_EQ(FormatDeviceRevision(*version), c.text);

        Bytes expected = Hex("AA 55 A5 5A FF 00 33 01");
        expected.resize(static_cast<std::size_t>(c.length - 1), 0);
        expected.insert(expected.begin(), 0);  // report ID
        EXPECT_EQ(fake.Log().front().Report, expected);
        EXPECT_EQ(clock.Waits(),
                  (std::vector<platform::RecordedWait>{{platform::WaitKind::Busy, 10, 0}}));
    }
}

TEST_F(ModeSwitchTest, DeviceVersionNeedsBothTransfers) {
    for (const int failing : {1, 2}) {
        SCOPED_TRACE(failing);
        FakeHidBackend fake;
        hid::HidDeviceTable table(fake);
        platform::VirtualClock clock;
        fake.AddInterface(FakeHidBackend::Interface(kPath, kVid, kPid, 9));
        ASSERT_EQ(table.OpenHidDevice(kVid, kPid), hid::kHidOk);
        fake.QueueReply(kPath, Hex("01 01"));
        fake.FailTransfer(failing);
        EXPECT_EQ(QueryDeviceInfo(table, clock, kVid, kPid), std::nullopt);
    }
}

}  // namespace
}  // namespace txisp::isp
