#include "hid/report_descriptor.h"

#include <algorithm>
#include <array>
#include <string>

namespace txisp::hid {

namespace {

constexpr std::uint8_t kLongItemPrefix = 0xFE;

enum class ItemType : std::uint8_t { Main = 0, Global = 1, Local = 2, Reserved = 3 };

namespace main_tag {
constexpr std::uint8_t kFeature = 0xB;
constexpr std::uint8_t kCollection = 0xA;
constexpr std::uint8_t kEndCollection = 0xC;
}  // namespace main_tag

namespace global_tag {
constexpr std::uint8_t kUsagePage = 0x0;
constexpr std::uint8_t kReportSize = 0x7;
constexpr std::uint8_t kReportId = 0x8;
constexpr std::uint8_t kReportCount = 0x9;
constexpr std::uint8_t kPush = 0xA;
constexpr std::uint8_t kPop = 0xB;
}  // namespace global_tag

namespace local_tag {
constexpr std::uint8_t kUsage = 0x0;
}

constexpr std::uint32_t kApplicationCollection = 0x01;
constexpr std::uint32_t kMaxReportId = 0xFF;
constexpr std::uint64_t kMaxReportBits = std::uint64_t{kMaxReportBytes} * 8;

struct Item {
    ItemType Type = ItemType::Main;
    std::uint8_t Tag = 0;
    std::uint8_t Size = 0;  // data bytes: 0, 1, 2 or 4
    std::uint32_t Data = 0;
};

// The global items a search cares about; Push and Pop save and restore them
// as a whole.
struct GlobalState {
    std::uint32_t UsagePage = 0;
    std::uint32_t ReportSize = 0;
    std::uint32_t ReportCount = 0;
    std::uint32_t ReportId = 0;
};

class Parser {
public:
    explicit Parser(std::span<const std::uint8_t> descriptor) : bytes_(descriptor) {}

    Result<ReportDescriptorInfo> Run();

private:
    Status MainItem(const Item& item);
    Status GlobalItem(const Item& item);
    void LocalItem(const Item& item);
    Status Feature();
    Status Collection(const Item& item);

    Status Fail(const std::string& what) const {
        return Status::Fail(what + " at offset " + std::to_string(item_offset_));
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t item_offset_ = 0;

    GlobalState global_;
    std::array<GlobalState, kMaxGlobalStackDepth> stack_{};
    int stack_depth_ = 0;

    // Local state: only the first usage matters, for the collection it
    // names. Cleared by every main item.
    bool have_usage_ = false;
    std::uint32_t usage_ = 0;
    std::uint8_t usage_size_ = 0;

    int collection_depth_ = 0;
    bool found_application_ = false;
    bool found_feature_ = false;
    std::array<std::uint64_t, kMaxReportId + 1> feature_bits_{};
    ReportDescriptorInfo info_;
};

Result<ReportDescriptorInfo> Parser::Run() {
    std::size_t pos = 0;
    while (pos < bytes_.size()) {
        item_offset_ = pos;
        const std::uint8_t prefix = bytes_[pos];
        const std::size_t left = bytes_.size() - pos - 1;
        if (prefix == kLongItemPrefix) {
            // Long items carry vendor data no search needs; step over them.
            if (left < 2 || left - 2 < bytes_[pos + 1]) return Fail("truncated long item");
            pos += 3 + std::size_t{bytes_[pos + 1]};
            continue;
        }
        static constexpr std::uint8_t kDataBytes[] = {0, 1, 2, 4};
        Item item;
        item.Size = kDataBytes[prefix & 0x03];
        item.Type = static_cast<ItemType>((prefix >> 2) & 0x03);
        item.Tag = static_cast<std::uint8_t>(prefix >> 4);
        if (left < item.Size) return Fail("truncated item");
        for (std::uint8_t i = 0; i < item.Size; ++i) {
            item.Data |= std::uint32_t{bytes_[pos + 1 + i]} << (8 * i);
        }
        pos += 1 + std::size_t{item.Size};

        Status status = Status::Ok();
        switch (item.Type) {
            case ItemType::Main:
                status = MainItem(item);
                break;
            case ItemType::Global:
                status = GlobalItem(item);
                break;
            case ItemType::Local:
                LocalItem(item);
                break;
            case ItemType::Reserved:
                break;
        }
        if (!status) return status;
    }
    if (collection_depth_ != 0) {
        item_offset_ = bytes_.size();
        return Fail("collection not closed");
    }
    if (found_feature_) {
        const std::uint64_t longest = *std::max_element(feature_bits_.begin(), feature_bits_.end());
        info_.FeatureReportByteLength = static_cast<int>((longest + 7) / 8) + 1;
    }
    return info_;
}

Status Parser::MainItem(const Item& item) {
    Status status = Status::Ok();
    if (item.Tag == main_tag::kFeature) {
        status = Feature();
    } else if (item.Tag == main_tag::kCollection) {
        status = Collection(item);
    } else if (item.Tag == main_tag::kEndCollection) {
        if (collection_depth_ == 0) return Fail("End Collection without Collection");
        --collection_depth_;
    }
    have_usage_ = false;
    return status;
}

Status Parser::Feature() {
    if (!found_feature_) info_.FeatureReportId = static_cast<int>(global_.ReportId);
    found_feature_ = true;
    // Both factors are below 2^32, so the product fits; the running total is
    // capped before it could grow past that.
    std::uint64_t& bits = feature_bits_[global_.ReportId];
    bits += std::uint64_t{global_.ReportSize} * global_.ReportCount;
    if (bits > kMaxReportBits) return Fail("feature report longer than the limit");
    return Status::Ok();
}

Status Parser::Collection(const Item& item) {
    if (collection_depth_ == 0 && item.Data == kApplicationCollection && !found_application_) {
        found_application_ = true;
        if (have_usage_) {
            // A 4-byte usage carries its own page in the high half.
            const bool extended = usage_size_ == 4;
            info_.UsagePage =
                static_cast<std::uint16_t>(extended ? usage_ >> 16 : global_.UsagePage);
            info_.Usage = static_cast<std::uint16_t>(usage_ & 0xFFFF);
        }
    }
    if (collection_depth_ == kMaxCollectionDepth) return Fail("collections nested too deeply");
    ++collection_depth_;
    return Status::Ok();
}

Status Parser::GlobalItem(const Item& item) {
    switch (item.Tag) {
        case global_tag::kUsagePage:
            global_.UsagePage = item.Data & 0xFFFF;
            break;
        case global_tag::kReportSize:
            global_.ReportSize = item.Data;
            break;
        case global_tag::kReportCount:
            global_.ReportCount = item.Data;
            break;
        case global_tag::kReportId:
            // ID 0 is reserved for descriptors without IDs.
            if (item.Data == 0 || item.Data > kMaxReportId) return Fail("invalid report ID");
            global_.ReportId = item.Data;
            break;
        case global_tag::kPush:
            if (stack_depth_ == kMaxGlobalStackDepth) return Fail("Push nested too deeply");
            stack_[static_cast<std::size_t>(stack_depth_++)] = global_;
            break;
        case global_tag::kPop:
            if (stack_depth_ == 0) return Fail("Pop without Push");
            global_ = stack_[static_cast<std::size_t>(--stack_depth_)];
            break;
        default:
            break;
    }
    return Status::Ok();
}

void Parser::LocalItem(const Item& item) {
    if (item.Tag != local_tag::kUsage || have_usage_) return;
    have_usage_ = true;
    usage_ = item.Data;
    usage_size_ = item.Size;
}

}  // namespace

Result<ReportDescriptorInfo> ParseReportDescriptor(std::span<const std::uint8_t> descriptor) {
    return Parser(descriptor).Run();
}

}  // namespace txisp::hid
