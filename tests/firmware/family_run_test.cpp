#include "firmware/family_run.h"

#include <gtest/gtest.h>

#include <memory>

namespace txisp::firmware {
namespace {

class FamilyRunTest : public ::testing::Test {
protected:
    std::unique_ptr<FirmwareImage> image_ = std::make_unique<FirmwareImage>();
};

TEST_F(FamilyRunTest, StartsOnTheFirstRowAndTheBufferOfTheKind) {
    const struct {
        ChipFamily family;
        std::size_t first_row;
        bool tx64;
        std::uint8_t version2, version3;
    } kCases[] = {
        {0, 0, false, 0, 0}, {8, 10, false, 0, 0}, {12, 15, false, 0, 0},
        {9, 12, true, 0, 3}, {14, 17, true, 0, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.family);
        const auto state = NewFamilyRunState(c.family, *image_);
        ASSERT_TRUE(state.has_value());
        EXPECT_EQ(state->Descriptor, &FamilyDescriptorTable[c.family]);
        EXPECT_EQ(state->SelectedParameterRow, c.first_row);
        EXPECT_EQ(state->Parameters, &ChipParameterTable[c.first_row]);
        EXPECT_EQ(state->Image.data(),
                  c.tx64 ? image_->Tx64ImageBuffer.data() : image_->Tx5ImageBuffer.data());
        EXPECT_EQ(state->Image.size(), c.tx64 ? kTx64ImageSize : kTx5ImageSize);
        EXPECT_EQ(state->VersionByte2, c.version2);
        EXPECT_EQ(state->VersionByte3, c.version3);
    }
    EXPECT_FALSE(NewFamilyRunState(kNoFamily, *image_).has_value());
    EXPECT_FALSE(NewFamilyRunState(15, *image_).has_value());
}

// What one run records must not leak into the next.
TEST_F(FamilyRunTest, ARunsValuesStayWithThatRun) {
    auto first = NewFamilyRunState(8, *image_);
    ASSERT_TRUE(first.has_value());
    first->VersionByte2 = 0x12;
    first->VersionByte3 = 0x01;
    ASSERT_TRUE(SelectParameterRow(*first, 1));
    first->OptionPageBlock.Packet()[0] = 0x00;

    const auto second = NewFamilyRunState(8, *image_);
    EXPECT_EQ(second->VersionByte2, 0);
    EXPECT_EQ(second->VersionByte3, 0);
    EXPECT_EQ(second->SelectedParameterRow, 10u);
    EXPECT_EQ(second->OptionPageBlock.Bytes, InitialOptionPage().Bytes);
}

TEST_F(FamilyRunTest, AVariantBeyondTheTableSelectsNothing) {
    const struct {
        ChipFamily family;
        std::size_t variant;
        bool selected;
        std::size_t row;
    } kCases[] = {
        {0, 1, true, 1},   {8, 1, true, 11},   {14, 0, true, 17},  {14, 1, false, 17},
        {12, 2, true, 17}, {12, 3, false, 15}, {0, 255, false, 0},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(::testing::Message() << "family " << c.family << " variant " << c.variant);
        auto state = NewFamilyRunState(c.family, *image_);
        EXPECT_EQ(SelectParameterRow(*state, c.variant), c.selected);
        EXPECT_EQ(state->SelectedParameterRow, c.row);
        EXPECT_EQ(state->Parameters, &ChipParameterTable[c.row]);
    }
}

}  // namespace
}  // namespace txisp::firmware
