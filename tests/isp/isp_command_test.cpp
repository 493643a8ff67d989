// The command layer against a scripted device: the bytes of every request,
// the waits between request and reply, and how each reply is judged.

#include "isp/isp_command.h"

#include <gtest/gtest.h>

#include <functional>

#include "hid/hid_device_table.h"
#include "support/fake_hid_backend.h"
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
constexpr std::uint16_t kPid = 0x7300;
const std::string kPath = "/dev/hidraw7";

constexpr PasswordBytes kPassword = {0x40, 0x17, 0x29, 0x58};
constexpr CodeOptions kOptions = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};

class IspCommandTest : public ::testing::Test {
protected:
    // One device with reports of `length` bytes, found and selected.
    void Plug(int length) {
        fake_.AddInterface(FakeHidBackend::Interface(kPath, kVid, kPid, length));
        table_.SetReportBlockSize(length - 1);
        ASSERT_EQ(table_.OpenHidDevice(kVid, kPid), hid::kHidOk);
        table_.SelectDevice(0);
        backend_.SetShownBytes(length == 9 ? 8 : 16);
        timeline_.Clear();
    }
    void Reply(std::string_view hex) { fake_.QueueReply(kPath, Hex(hex)); }
    void Replies(const std::vector<const char*>& replies) {
        for (const char* reply : replies)
            Reply(reply);
    }
    Steps Wire() const { return timeline_.Entries(); }
    long Count(std::string_view step) const {
        const Steps steps = Wire();
        return std::count(steps.begin(), steps.end(), step);
    }

    FakeHidBackend fake_;
    Timeline timeline_;
    TimelineBackend backend_{fake_, timeline_};
    hid::HidDeviceTable table_{backend_};
    TimelineClock clock_{timeline_};
    ISP_Command isp_{table_, clock_};
};

struct WireCase {
    const char* name;
    std::function<int(ISP_Command&)> run;
    std::vector<const char*> replies;
    Steps steps;
};

// Every command of the 8-byte and status-polled sets, given replies that
// acknowledge it: the request bytes, the waits and the reads, in order.
TEST_F(IspCommandTest, EightByteRequestsGoOutAsTheTablesLayThemOut) {
    const CodeOptions options = kOptions;
    const WireCase kCases[] = {
        {"GetFirmwareVersion",
         [](ISP_Command& c) {
             VersionBytes v;
             return c.GetFirmwareVersion(v);
         },
         {"01 AA 55 00 00 01 00 00"},
         {"> 01 AA 55 00 00 00 00 00", "delay 5", "<"}},
        {"CompareIspPassword",
         [](ISP_Command& c) { return c.CompareIspPassword(kPassword); },
         {"02 AA 55 00 FA FA FA FA"},
         {"> 02 AA 55 00 40 17 29 58", "delay 5", "<"}},
        {"SetEncryptionAlgorithm",
         [](ISP_Command& c) { return c.SetEncryptionAlgorithm(7); },
         {"03 AA 55 00 FA FA FA FA"},
         {"> 03 AA 55 00 00 00 00 07", "delay 5", "<"}},
        {"EnableErase",
         [](ISP_Command& c) { return c.EnableErase(0x1234, 0x40); },
         {},
         {"> 04 AA 55 00 34 12 40 00"}},
        {"GetChipEraseResult",
         [](ISP_Command& c) { return c.GetChipEraseResult(); },
         {"04 AA 55 00 FA FA FA FA"},
         {"<"}},
        {"EnableProgram",
         [](ISP_Command& c) { return c.EnableProgram(8, 2046); },
         {"05 AA 55 00 FA FA FA FA"},
         {"> 05 AA 55 00 08 00 FE 07", "delay 5", "<"}},
        {"GetCheckSum",
         [](ISP_Command& c) {
             std::uint16_t s;
             return c.GetCheckSum(0, s);
         },
         {"06 AA 55 00 FA FA B0 B0"},
         {"> 06 AA 55 00 00 00 00 00", "delay 150", "<"}},
        {"GetOptionAreaCheckSum",
         [](ISP_Command& c) {
             std::uint16_t s;
             return c.GetOptionAreaCheckSum(0x0F00, s);
         },
         {"06 AA 55 01 FA FA 00 FE"},
         {"> 06 AA 55 01 00 0F 00 00", "delay 150", "<"}},
        {"ReturnUserMode",
         [](ISP_Command& c) { return c.ReturnUserMode(); },
         {},
         {"> 07 AA 55 00 00 00 00 00"}},
        {"SetCodeOption",
         [&](ISP_Command& c) { return c.SetCodeOption(options); },
         {"08 AA 55 00 FA FA FA FA", "08 AA 55 01 FA FA FA FA"},
         {"> 08 AA 55 00 11 22 33 44", "<", "> 08 AA 55 01 55 66 77 88", "delay 50", "<"}},
        {"GetCodeOption",
         [](ISP_Command& c) {
             CodeOptions o;
             return c.GetCodeOption(o);
         },
         {"09 AA 55 00 11 22 33 44", "09 AA 55 01 55 66 77 88"},
         {"> 09 AA 55 00 00 00 00 00", "<", "> 09 AA 55 01 00 00 00 00", "<"}},
        {"GetCodeOption4",
         [](ISP_Command& c) {
             CodeOptions16 o;
             return c.GetCodeOption4(o);
         },
         {"09 AA 55 00 00 00 00 00", "09 AA 55 01 00 00 00 00", "09 AA 55 02 00 00 00 00",
          "09 AA 55 03 00 00 00 00"},
         {"> 09 AA 55 00 00 00 00 00", "<", "> 09 AA 55 01 00 00 00 00", "<",
          "> 09 AA 55 02 00 00 00 00", "<", "> 09 AA 55 03 00 00 00 00", "<"}},
        {"EnterIspMode20",
         [](ISP_Command& c) { return c.EnterIspMode20(); },
         {"20 AA 55 00 FA FA FA FA"},
         {"> 20 AA 55 00 00 00 00 00", "delay 5", "> 2A AA 55 00 00 00 00 00", "delay 10", "<"}},
        {"GetFirmwareVersion21",
         [](ISP_Command& c) {
             VersionBytes v;
             return c.GetFirmwareVersion21(v);
         },
         {"21 AA 55 00 00 07 00 00"},
         {"> 21 AA 55 00 00 00 00 00", "delay 5", "> 2A AA 55 00 00 00 00 00", "delay 10", "<"}},
        {"CompareIspPassword22",
         [](ISP_Command& c) { return c.CompareIspPassword22(kPassword); },
         {"22 AA 55 00 FA FA FA FA"},
         {"> 22 AA 55 00 40 17 29 58", "delay 5", "> 2A AA 55 00 00 00 00 00", "delay 10", "<"}},
        {"SetEncryptionAlgorithm23",
         [](ISP_Command& c) { return c.SetEncryptionAlgorithm23(0); },
         {"23 AA 55 00 FA FA FA FA"},
         {"> 23 AA 55 00 00 00 00 00", "delay 5", "> 2A AA 55 00 00 00 00 00", "delay 10", "<"}},
        {"EnableErase24",
         [](ISP_Command& c) { return c.EnableErase24(0, 0x74); },
         {},
         {"> 24 AA 55 00 00 00 74 00"}},
        {"GetChipEraseResult24",
         [](ISP_Command& c) { return c.GetChipEraseResult24(); },
         {"24 AA 55 00 FA FA FA FA"},
         {"> 2A AA 55 00 00 00 00 00", "delay 10", "<"}},
        {"EnableProgram25",
         [](ISP_Command& c) { return c.EnableProgram25(4, 3711); },
         {"25 AA 55 00 FA FA FA FA"},
         {"> 25 AA 55 00 04 00 7F 0E", "delay 5", "> 2A AA 55 00 00 00 00 00", "delay 10", "<"}},
        {"GetCheckSum26",
         [](ISP_Command& c) {
             std::uint16_t s;
             return c.GetCheckSum26(0, s);
         },
         {"26 AA 55 00 FA FA 42 85"},
         {"> 26 AA 55 00 00 00 00 00", "delay 80", "> 2A AA 55 00 00 00 00 00", "delay 10", "<"}},
        {"ReturnUserMode27",
         [](ISP_Command& c) { return c.ReturnUserMode27(); },
         {},
         {"> 27 AA 55 00 00 00 00 00"}},
        {"SetCodeOption28",
         [&](ISP_Command& c) { return c.SetCodeOption28(options); },
         {"28 AA 55 00 FA FA FA FA", "28 AA 55 01 FA FA FA FA"},
         {"> 28 AA 55 00 11 22 33 44", "delay 5", "> 2A AA 55 00 00 00 00 00", "delay 10", "<",
          "> 28 AA 55 01 55 66 77 88", "delay 50", "> 2A AA 55 00 00 00 00 00", "delay 10", "<"}},
        {"GetCodeOption29",
         [](ISP_Command& c) {
             CodeOptions o;
             return c.GetCodeOption29(o);
         },
         {"29 AA 55 00 00 00 00 00", "29 AA 55 01 00 00 00 00"},
         {"> 29 AA 55 00 00 00 00 00", "delay 5", "> 2A AA 55 00 00 00 00 00", "delay 10", "<",
          "> 29 AA 55 01 00 00 00 00", "delay 5", "> 2A AA 55 00 00 00 00 00", "delay 10", "<"}},
    };
    for (const WireCase& c : kCases) {
        SCOPED_TRACE(c.name);
        FakeHidBackend fake;
        Timeline timeline;
        TimelineBackend backend(fake, timeline);
        hid::HidDeviceTable table(backend);
        TimelineClock clock(timeline);
        ISP_Command isp(table, clock);
        fake.AddInterface(FakeHidBackend::Interface(kPath, kVid, kPid, 9));
        ASSERT_EQ(table.OpenHidDevice(kVid, kPid), hid::kHidOk);
        for (const char* reply : c.replies)
            fake.QueueReply(kPath, Hex(reply));

        EXPECT_EQ(c.run(isp), RETURN_OK);
        EXPECT_EQ(timeline.Entries(), c.steps);
    }
}

// The 64-byte set on a fresh object: the request block starts as zeros, and
// each command writes its own bytes only.
TEST_F(IspCommandTest, SixtyFourByteRequestsGoOutAsTheTablesLayThemOut) {
    const SecurityBytes security = {0x01, 0x02, 0x5A, 0x5A};
    const WireCase kCases[] = {
        {"GetFirmwareVersionBlock64",
         [](ISP_Command& c) {
             VersionBytes v;
             SecurityBytes s;
             return c.GetFirmwareVersionBlock64(v, s);
         },
         {"01 AA 55 00 FA FA FA FA 20 01 00 03 FF FF FF FF"},
         {"> 01 AA 55 00 00 00 00 00 00 00 00 00 00 00 00 00", "delay 10", "<"}},
        {"CompareIspPasswordBlock64",
         [](ISP_Command& c) { return c.CompareIspPasswordBlock64(0, 0x40); },
         {},
         {"delay 10", "delay 10", "> 02 AA 55 00 00 00 00 00 00 00 00 00 00 00 00 00"}},
        {"SetEncryptionAlgorithmBlock64",
         [&](ISP_Command& c) { return c.SetEncryptionAlgorithmBlock64(security); },
         {},
         {"delay 10", "delay 10", "> 03 AA 55 00 01 02 5A 5A 00 00 00 00 00 00 00 00"}},
        {"EnableEraseBlock64",
         [](ISP_Command& c) { return c.EnableEraseBlock64(0, 0x40); },
         {},
         {"delay 10", "> 04 AA 55 00 00 00 00 00 40 00 00 00 00 00 00 00"}},
        {"EnableProgramBlock64",
         [](ISP_Command& c) { return c.EnableProgramBlock64(0, 1024); },
         {"05 AA 55 00 FA FA FA FA"},
         {"> 05 AA 55 00 00 00 00 00 00 04 00 00 00 00 00 00", "delay 10", "<"}},
    };
    for (const WireCase& c : kCases) {
        SCOPED_TRACE(c.name);
        FakeHidBackend fake;
        Timeline timeline;
        TimelineBackend backend(fake, timeline, 16);
        hid::HidDeviceTable table(backend);
        table.SetReportBlockSize(64);
        TimelineClock clock(timeline);
        ISP_Command isp(table, clock);
        fake.AddInterface(FakeHidBackend::Interface(kPath, kVid, kPid, 65));
        ASSERT_EQ(table.OpenHidDevice(kVid, kPid), hid::kHidOk);
        for (const char* reply : c.replies)
            fake.QueueReply(kPath, Hex(reply));

        EXPECT_EQ(c.run(isp), RETURN_OK);
        EXPECT_EQ(timeline.Entries(), c.steps);
    }
}

TEST_F(IspCommandTest, SixtyFourByteRequestKeepsWhatEarlierCommandsLeft) {
    Plug(65);
    Reply("05 AA 55 00 FA FA FA FA");
    ASSERT_EQ(isp_.EnableProgramBlock64(0x00345678, 0x0400), RETURN_OK);
    ASSERT_EQ(isp_.CompareIspPasswordBlock64(0x0000, 0x0040), RETURN_OK);
    ASSERT_EQ(isp_.SetEncryptionAlgorithmBlock64({0xA1, 0xA2, 0xA3, 0xA4}), RETURN_OK);
    ASSERT_EQ(isp_.EnableEraseBlock64(0x0102, 0x20), RETURN_OK);

    std::vector<Bytes> sent;
    for (const auto& transfer : fake_.Log()) {
        if (transfer.Kind == testing::TransferKind::Set)
            sent.emplace_back(transfer.Report.begin() + 1, transfer.Report.end());
    }
    ASSERT_EQ(sent.size(), 4u);
    const auto expect = [](std::string_view head) {
        Bytes block = Hex(head);
        block.resize(64, 0);
        return block;
    };
    EXPECT_EQ(sent[0], expect("05 AA 55 00 78 56 34 00 00 04"));
    // The erase start and value are not placed: bytes 4 and 5 are the
    // program address's, 6 .. 9 are cleared.
    EXPECT_EQ(sent[1], expect("02 AA 55 00 78 56 00 00 00 00"));
    EXPECT_EQ(sent[2], expect("03 AA 55 00 A1 A2 A3 A4 00 00 00 00 00"));
    EXPECT_EQ(sent[3], expect("04 AA 55 00 02 01 00 00 20 00 00 00 00"));
}

TEST_F(IspCommandTest, ValuesComeFromTheirReplyBytes) {
    Plug(65);
    Reply("01 AA 55 00 FA FA FA FA 20 01 00 03 11 22 5A 5A");
    VersionBytes version{};
    SecurityBytes security{};
    ASSERT_EQ(isp_.GetFirmwareVersionBlock64(version, security), RETURN_OK);
    EXPECT_EQ(version, (VersionBytes{0x20, 0x01, 0x00, 0x03}));
    EXPECT_EQ(security, (SecurityBytes{0x11, 0x22, 0x5A, 0x5A}));

    Reply("09 AA 55 00 C0 C1 C2 C3");
    Reply("09 AA 55 01 C4 C5 C6 C7");
    Reply("09 AA 55 02 C8 C9 CA CB");
    Reply("09 AA 55 03 CC CD CE CF");
    CodeOptions16 options{};
    ASSERT_EQ(isp_.GetCodeOption4(options), RETURN_OK);
    for (std::size_t i = 0; i < options.size(); ++i)
        EXPECT_EQ(options[i], 0xC0 + i) << i;
}

// A reply is the request's when all of bytes 0 .. 3 agree; the sub-index
// counts as much as the command code.
TEST_F(IspCommandTest, HeaderDifferingOnlyInTheSubIndexIsRefused) {
    const struct {
        const char* name;
        int length;
        std::function<int(ISP_Command&)> run;
        std::vector<const char*> replies;
    } kCases[] = {
        {"GetFirmwareVersion",
         9,
         [](ISP_Command& c) {
             VersionBytes v;
             return c.GetFirmwareVersion(v);
         },
         {"01 AA 55 01 00 01 00 00"}},
        {"CompareIspPassword",
         9,
         [](ISP_Command& c) { return c.CompareIspPassword(kPassword); },
         {"02 AA 55 01 FA FA FA FA"}},
        {"GetChipEraseResult",
         9,
         [](ISP_Command& c) { return c.GetChipEraseResult(); },
         {"04 AA 55 01 FA FA FA FA"}},
        {"GetOptionAreaCheckSum",
         9,
         [](ISP_Command& c) {
             std::uint16_t s;
             return c.GetOptionAreaCheckSum(0x0F00, s);
         },
         {"06 AA 55 00 FA FA 00 FE"}},
        {"GetCheckSum26",
         9,
         [](ISP_Command& c) {
             std::uint16_t s;
             return c.GetCheckSum26(0, s);
         },
         {"26 AA 55 01 FA FA 00 00"}},
        {"GetFirmwareVersionBlock64",
         65,
         [](ISP_Command& c) {
             VersionBytes v;
             SecurityBytes s;
             return c.GetFirmwareVersionBlock64(v, s);
         },
         {"01 AA 55 01 FA FA FA FA 20 01 00 03"}},
        {"EnableProgramBlock64",
         65,
         [](ISP_Command& c) { return c.EnableProgramBlock64(0, 1); },
         {"05 AA 55 01 FA FA FA FA"}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        FakeHidBackend fake;
        hid::HidDeviceTable table(fake);
        table.SetReportBlockSize(c.length - 1);
        platform::VirtualClock clock;
        ISP_Command isp(table, clock);
        fake.AddInterface(FakeHidBackend::Interface(kPath, kVid, kPid, c.length));
        ASSERT_EQ(table.OpenHidDevice(kVid, kPid), hid::kHidOk);
        for (const char* reply : c.replies)
            fake.QueueReply(kPath, Hex(reply));
        EXPECT_EQ(c.run(isp), RETURN_HEADER_FAILED);
    }
}

TEST_F(IspCommandTest, ChecksumIsAcknowledgedByBytesFourAndFiveAlone) {
    const struct {
        const char* reply;
        int result;
        std::uint16_t checksum;
    } kCases[] = {
        {"06 AA 55 00 FA FA 34 12", RETURN_OK, 0x1234},
        {"06 AA 55 00 FA FA FA FA", RETURN_OK, 0xFAFA},
        {"06 AA 55 00 FA FA 00 00", RETURN_OK, 0x0000},
        {"06 AA 55 00 FA F0 34 12", RETURN_ACK_FAILED, 0x5555},
        {"06 AA 55 00 F0 FA 34 12", RETURN_ACK_FAILED, 0x5555},
    };
    Plug(9);
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.reply);
        Reply(c.reply);
        std::uint16_t checksum = 0x5555;
        EXPECT_EQ(isp_.GetCheckSum(0, checksum), c.result);
        EXPECT_EQ(checksum, c.checksum);
    }
}

// Reads of values check the header only; everything else wants ACK.
TEST_F(IspCommandTest, StatusIsCheckedOnlyWhereTheCommandAsksForIt) {
    Plug(9);
    Reply("01 AA 55 00 F0 F0 F0 F0");
    VersionBytes version{};
    EXPECT_EQ(isp_.GetFirmwareVersion(version), RETURN_OK);
    EXPECT_EQ(version, (VersionBytes{0xF0, 0xF0, 0xF0, 0xF0}));

    Reply("09 AA 55 00 FB FB FB FB");
    Reply("09 AA 55 01 00 00 00 00");
    CodeOptions options{};
    EXPECT_EQ(isp_.GetCodeOption(options), RETURN_OK);
    EXPECT_EQ(options, (CodeOptions{0xFB, 0xFB, 0xFB, 0xFB, 0, 0, 0, 0}));

    Reply("02 AA 55 00 FA FA FA FB");
    EXPECT_EQ(isp_.CompareIspPassword(kPassword), RETURN_ACK_FAILED);
    Reply("08 AA 55 00 FA FA FA FA");
    Reply("08 AA 55 01 FB FB FB FB");
    EXPECT_EQ(isp_.SetCodeOption(kOptions), RETURN_ACK_FAILED);
}

TEST_F(IspCommandTest, TransferFailuresGiveTheirCodesAndLeaveResultsAlone) {
    const struct {
        const char* name;
        int failing_transfer;
        int result;
    } kCases[] = {
        {"request not sent", 1, RETURN_OUT_FAILED},
        {"reply not read", 2, RETURN_IN_FAILED},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        FakeHidBackend fake;
        hid::HidDeviceTable table(fake);
        platform::VirtualClock clock;
        ISP_Command isp(table, clock);
        fake.AddInterface(FakeHidBackend::Interface(kPath, kVid, kPid, 9));
        ASSERT_EQ(table.OpenHidDevice(kVid, kPid), hid::kHidOk);
        fake.QueueReply(kPath, Hex("01 AA 55 00 00 01 00 00"));
        fake.FailTransfer(c.failing_transfer);
        VersionBytes version = {9, 9, 9, 9};
        EXPECT_EQ(isp.GetFirmwareVersion(version), c.result);
        EXPECT_EQ(version, (VersionBytes{9, 9, 9, 9}));
    }
}

TEST_F(IspCommandTest, MultiBlockReadKeepsTheWordsReadBeforeAFailure) {
    Plug(9);
    Reply("09 AA 55 00 C0 C1 C2 C3");
    Reply("09 AA 55 01 C4 C5 C6 C7");
    Reply("09 AA 55 01 C8 C9 CA CB");  // block 3 answered with block 2's header
    CodeOptions16 options{};
    EXPECT_EQ(isp_.GetCodeOption4(options), RETURN_HEADER_FAILED);
    EXPECT_EQ(options, (CodeOptions16{0xC0, 0xC1, 0xC2, 0xC3, 0xC4, 0xC5, 0xC6, 0xC7}));
    EXPECT_EQ(Count("<"), 3);
}

// A send-only command is done once its report is accepted; nothing is read,
// whatever the device does next.
TEST_F(IspCommandTest, SendOnlyCommandsSucceedWhenTheReportIsAccepted) {
    const struct {
        const char* name;
        int length;
        std::function<int(ISP_Command&)> run;
    } kCases[] = {
        {"EnableErase", 9, [](ISP_Command& c) { return c.EnableErase(0, 0x40); }},
        {"ReturnUserMode", 9, [](ISP_Command& c) { return c.ReturnUserMode(); }},
        {"EnableErase24", 9, [](ISP_Command& c) { return c.EnableErase24(0, 0x74); }},
        {"ReturnUserMode27", 9, [](ISP_Command& c) { return c.ReturnUserMode27(); }},
        {"CompareIspPasswordBlock64", 65,
         [](ISP_Command& c) { return c.CompareIspPasswordBlock64(0, 0x40); }},
        {"SetEncryptionAlgorithmBlock64", 65,
         [](ISP_Command& c) {
             return c.SetEncryptionAlgorithmBlock64({0, 0, 0xFF, 0xFF});
         }},
        {"EnableEraseBlock64", 65, [](ISP_Command& c) { return c.EnableEraseBlock64(0, 0x40); }},
    };
    for (const auto& c : kCases) {
        for (const bool refused : {false, true}) {
            SCOPED_TRACE(::testing::Message() << c.name << (refused ? ", refused" : ""));
            FakeHidBackend fake;  // no replies: any read would fail
            hid::HidDeviceTable table(fake);
            table.SetReportBlockSize(c.length - 1);
            platform::VirtualClock clock;
            ISP_Command isp(table, clock);
            fake.AddInterface(FakeHidBackend::Interface(kPath, kVid, kPid, c.length));
            ASSERT_EQ(table.OpenHidDevice(kVid, kPid), hid::kHidOk);
            if (refused) fake.FailTransfer(1);
            EXPECT_EQ(c.run(isp), refused ? RETURN_OUT_FAILED : RETURN_OK);
            ASSERT_EQ(fake.Log().size(), 1u);
            EXPECT_EQ(fake.Log()[0].Kind, testing::TransferKind::Set);
        }
    }
}

// The status request goes out once; the reads repeat 10 ms apart while the
// chip is busy, 50 at most, and the busy word is then the command's reply.
TEST_F(IspCommandTest, BusyDeviceIsReadExactlyFiftyTimes) {
    Plug(9);
    fake_.SetResponder([](const std::string&, std::span<const std::uint8_t> last) {
        return std::optional<Bytes>(last[0] == 0x2A ? Hex("22 AA 55 00 F0 F0 F0 F0")
                                                    : Hex("00 00 00 00 00 00 00 00"));
    });
    EXPECT_EQ(isp_.CompareIspPassword22(kPassword), RETURN_ACK_FAILED);
    EXPECT_EQ(Count("<"), 50);
    EXPECT_EQ(Count("> 2A AA 55 00 00 00 00 00"), 1);
    EXPECT_EQ(Count("delay 10"), 50);
    EXPECT_EQ(isp_.PollCount(), 50);

    timeline_.Clear();
    fake_.SetResponder([](const std::string&, std::span<const std::uint8_t>) {
        return std::optional<Bytes>(Hex("21 AA 55 00 F0 F0 F0 F0"));
    });
    VersionBytes version{};
    EXPECT_EQ(isp_.GetFirmwareVersion21(version), RETURN_OK);
    EXPECT_EQ(version, (VersionBytes{0xF0, 0xF0, 0xF0, 0xF0}));
    EXPECT_EQ(Count("<"), 50);
}

TEST_F(IspCommandTest, BusyRepliesAreReadUntilTheResultArrives) {
    Plug(9);
    Replies({"25 AA 55 00 F0 F0 F0 F0", "25 AA 55 00 F0 F0 F0 F0", "25 AA 55 00 FA FA FA FA"});
    EXPECT_EQ(isp_.EnableProgram25(4, 3711), RETURN_OK);
    EXPECT_EQ(Wire(), (Steps{"> 25 AA 55 00 04 00 7F 0E", "delay 5", "> 2A AA 55 00 00 00 00 00",
                             "delay 10", "<", "delay 10", "<", "delay 10", "<"}));
    EXPECT_EQ(isp_.PollCount(), 2);
}

TEST_F(IspCommandTest, EnterIspModeResendsOnceOnAWrongHeader) {
    const struct {
        const char* name;
        std::vector<const char*> replies;
        int result;
    } kCases[] = {
        {"second reply right", {"2A AA 55 00 FA FA FA FA", "20 AA 55 00 FA FA FA FA"}, RETURN_OK},
        {"both wrong",
         {"2A AA 55 00 FA FA FA FA", "20 AA 55 01 FA FA FA FA"},
         RETURN_HEADER_FAILED},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        FakeHidBackend fake;
        Timeline timeline;
        TimelineBackend backend(fake, timeline);
        hid::HidDeviceTable table(backend);
        TimelineClock clock(timeline);
        ISP_Command isp(table, clock);
        fake.AddInterface(FakeHidBackend::Interface(kPath, kVid, kPid, 9));
        ASSERT_EQ(table.OpenHidDevice(kVid, kPid), hid::kHidOk);
        for (const char* reply : c.replies)
            fake.QueueReply(kPath, Hex(reply));

        EXPECT_EQ(isp.EnterIspMode20(), c.result);
        const Steps once = {"> 20 AA 55 00 00 00 00 00", "delay 5", "> 2A AA 55 00 00 00 00 00",
                            "delay 10", "<"};
        Steps twice = once;
        twice.insert(twice.end(), once.begin(), once.end());
        EXPECT_EQ(timeline.Entries(), twice);
    }
}

TEST_F(IspCommandTest, PolledCommandPassesOnTheStatusRequestsFailure) {
    Plug(9);
    fake_.FailTransfer(2);  // the 0x2A request
    EXPECT_EQ(isp_.CompareIspPassword22(kPassword), RETURN_OUT_FAILED);
    fake_.FailTransfer(5);  // the first read after the next 0x2A
    EXPECT_EQ(isp_.CompareIspPassword22(kPassword), RETURN_IN_FAILED);
}

// The command's own waits: sleep then spin for 5 ms and more, spin only
// below that.
TEST_F(IspCommandTest, DelayTakesTwiceItsValueFromFiveMilliseconds) {
    Plug(9);
    for (const auto& [ms, took] : {std::pair{4u, 4}, {5u, 10}, {150u, 300}}) {
        SCOPED_TRACE(ms);
        const std::int64_t before = clock_.NowMs();
        isp_.DelayMs(ms);
        EXPECT_EQ(clock_.NowMs() - before, took);
    }
}

}  // namespace
}  // namespace txisp::isp
