#pragma once

// The programming phases driven by hand from the protocol's tables: what a
// host sends for erase, blank check, programming and verification in each
// command set, reduced to what the device must see. Deliberately not the
// host's code.

#include <string>

#include "sim_test_support.h"

namespace txisp::sim::testing {

enum class Wire { Byte8, StatusPolled, Byte64 };

struct ProgramPlan {
    Wire Set;
    std::uint8_t EraseValue;
    int Blocks;
    int BlockSize;
    int FirstByte;       // first image byte sent; the programming start address follows from it
    bool Erases = true;  // families 13 and 14 are programmed without an erase
};

struct ProgramResult {
    std::string Failure;  // empty when every step was acknowledged
    std::uint16_t Blank = 0;
    std::uint16_t Checksum = 0;
};

inline Bytes Block(std::initializer_list<std::uint8_t> head, std::size_t size = 8) {
    Bytes block(head);
    block.resize(size, 0);
    return block;
}

inline bool Acked(const Bytes& reply) {
    return reply.size() >= 8 && reply[4] == 0xFA && reply[5] == 0xFA && reply[6] == 0xFA &&
           reply[7] == 0xFA;
}

inline ProgramResult ProgramByte8(SimHarness& h, const Bytes& image, const ProgramPlan& plan) {
    ProgramResult result;
    if (!Acked(h.Exchange(Hex("02 AA 55 00 40 17 29 58")))) return {"password"};
    h.Send(Block({0x04, 0xAA, 0x55, 0x00, 0x00, 0x00, plan.EraseValue, 0x00}));
    h.clock.BusyWaitMs(2000);
    if (!Acked(h.Receive().value_or(Bytes{}))) return {"erase"};
    Bytes reply = h.Exchange(Hex("06 AA 55 00 00 00 00 00"), 150);
    if (reply.size() < 8) return {"blank check"};
    result.Blank = Le16(reply, 6);
    const int start = plan.FirstByte / 2;
    reply = h.Exchange(
        Block({0x05, 0xAA, 0x55, 0x00, static_cast<std::uint8_t>(start),
               static_cast<std::uint8_t>(start >> 8), static_cast<std::uint8_t>(plan.Blocks),
               static_cast<std::uint8_t>(plan.Blocks >> 8)}));
    if (!Acked(reply)) return {"enable program"};
    for (int i = 0; i < plan.Blocks; ++i) {
        const auto from = image.begin() + plan.FirstByte + i * plan.BlockSize;
        if (!h.Send(Bytes(from, from + plan.BlockSize))) return {"block " + std::to_string(i)};
    }
    reply = h.Exchange(Hex("06 AA 55 00 00 00 00 00"), 150);
    if (reply.size() < 8 || reply[4] != 0xFA || reply[5] != 0xFA) return {"checksum"};
    result.Checksum = Le16(reply, 6);
    return result;
}

inline ProgramResult ProgramStatusPolled(SimHarness& h, const Bytes& image,
                                         const ProgramPlan& plan) {
    ProgramResult result;
    if (!Acked(Hex(h.PolledText("20 AA 55 00 00 00 00 00")))) return {"enter ISP mode"};
    if (!Acked(Hex(h.PolledText("22 AA 55 00 40 17 29 58")))) return {"password"};
    h.Send(Block({0x24, 0xAA, 0x55, 0x00, 0x00, 0x00, plan.EraseValue, 0x00}));
    h.clock.BusyWaitMs(3800);
    if (!Acked(h.Poll())) return {"erase"};
    Bytes reply = Hex(h.PolledText("26 AA 55 00 00 00 00 00", 80));
    if (reply.size() < 8) return {"blank check"};
    result.Blank = Le16(reply, 6);
    const int start = plan.FirstByte / 2;
    h.Send(Block({0x25, 0xAA, 0x55, 0x00, static_cast<std::uint8_t>(start),
                  static_cast<std::uint8_t>(start >> 8), static_cast<std::uint8_t>(plan.Blocks),
                  static_cast<std::uint8_t>(plan.Blocks >> 8)}));
    h.clock.DelayMs(5);
    if (!Acked(h.Poll())) return {"enable program"};
    for (int i = 0; i < plan.Blocks; ++i) {
        const auto from = image.begin() + plan.FirstByte + i * plan.BlockSize;
        if (!h.Send(Bytes(from, from + plan.BlockSize))) return {"block " + std::to_string(i)};
        Bytes ack = h.Receive().value_or(Bytes{});
        if (ack.empty() || ack[0] != 0xFA) ack = h.Receive().value_or(Bytes{});
        if (ack.empty() || ack[0] != 0xFA) return {"block acknowledgement " + std::to_string(i)};
    }
    reply = Hex(h.PolledText("26 AA 55 00 00 00 00 00", 80));
    if (reply.size() < 8 || reply[4] != 0xFA || reply[5] != 0xFA) return {"checksum"};
    result.Checksum = Le16(reply, 6);
    return result;
}

inline ProgramResult ProgramByte64(SimHarness& h, const Bytes& image, const ProgramPlan& plan) {
    ProgramResult result;
    if (plan.Erases) {
        h.Send(Block({0x02, 0xAA, 0x55, 0x00}, 64));
        h.Send(Block({0x04, 0xAA, 0x55, 0x00, 0x00, 0x00, 0x00, 0x00, plan.EraseValue}, 64));
        h.clock.BusyWaitMs(2200);
        const Bytes report = h.Receive().value_or(Bytes{});
        if (report.size() < 64) return {"erase report"};
        result.Blank = Le16(report, 8);
    }
    const Bytes reply = h.Exchange(
        Block({0x05, 0xAA, 0x55, 0x00, 0x00, 0x00, 0x00, 0x00,
               static_cast<std::uint8_t>(plan.Blocks), static_cast<std::uint8_t>(plan.Blocks >> 8)},
              64),
        10);
    if (!Acked(reply)) return {"enable program"};
    for (int i = 0; i < plan.Blocks; ++i) {
        const auto from = image.begin() + i * 64;
        if (!h.Send(Bytes(from, from + 64))) return {"block " + std::to_string(i)};
    }
    const Bytes report = h.Receive().value_or(Bytes{});
    if (report.size() < 64) return {"programming report"};
    result.Checksum = Le16(report, 8);
    return result;
}

inline ProgramResult Program(SimHarness& h, const Bytes& image, const ProgramPlan& plan) {
    switch (plan.Set) {
        case Wire::Byte8:
            return ProgramByte8(h, image, plan);
        case Wire::StatusPolled:
            return ProgramStatusPolled(h, image, plan);
        case Wire::Byte64:
            return ProgramByte64(h, image, plan);
    }
    return {"no command set"};
}

// The application's boot-mode request, then Return User Mode after the work.
inline bool EnterBootLoader(SimHarness& h, int family) {
    return h.Send(Block({0xAA, 0x55, 0xA5, 0x5A, 0xFF, 0x00, 0x33,
                         static_cast<std::uint8_t>(family == 6 ? 0x81 : 0xCC)}));
}

inline bool ReturnUserMode(SimHarness& h, Wire set) {
    return h.Send(
        Hex(set == Wire::StatusPolled ? "27 AA 55 00 00 00 00 00" : "07 AA 55 00 00 00 00 00"));
}

// The application's version as the device-information request reads it.
inline std::optional<std::uint16_t> ApplicationVersion(SimHarness& h) {
    Bytes request = Hex("AA 55 A5 5A FF 00 33 01");
    request.resize(64, 0);
    if (!h.Send(request)) return std::nullopt;
    h.clock.BusyWaitMs(10);
    const std::optional<Bytes> reply = h.Receive();
    if (!reply) return std::nullopt;
    return Le16(*reply, 0);
}

}  // namespace txisp::sim::testing
