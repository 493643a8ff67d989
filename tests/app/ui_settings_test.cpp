#include "app/ui_settings.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace txisp::app {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

class UiSettingsTest : public ::testing::Test {
protected:
    // Writes UISettings.ini as products ship it: UTF-16LE with a mark, CR LF.
    void WriteIni(std::string_view text) {
        testing::WriteBytes(dir_ / "UISettings.ini", testing::Utf16LeWithBom(text));
    }
    UiSettings Load() const { return LoadUiSettings(dir_.path()); }

    TempDir dir_;
};

TEST_F(UiSettingsTest, ReadsEveryKeyOfTheSampleFile) {
    const auto settings =
        LoadUiSettings(testing::SourceDir() / "examples/sample-settings/Settings");
    EXPECT_FALSE(settings.ISPTitle.empty());
    EXPECT_EQ(settings.StartMessage, "Start program");
    EXPECT_EQ(settings.SuccessMessage, "Program successfully");
    EXPECT_EQ(settings.FailMessage, "Program fail");
    EXPECT_FALSE(settings.StartButtonText.empty());
    EXPECT_EQ(settings.DeviceButtonText, "Get Device Info");
    EXPECT_EQ(settings.CheckDeviceCmd, "ED84D98CAC8616FE");
    EXPECT_EQ(settings.SuccessString, "Success:");
    EXPECT_EQ(settings.FailString, "Fail:");
    EXPECT_TRUE(settings.CheckBootLoaderID);
    EXPECT_EQ(settings.ToolFwVersion, 257);
}

TEST_F(UiSettingsTest, MissingFileLeavesEverythingEmpty) {
    const auto settings = Load();
    for (const std::string* text :
         {&settings.ISPTitle, &settings.StartMessage, &settings.SuccessMessage,
          &settings.FailMessage, &settings.StartButtonText, &settings.DeviceButtonText,
          &settings.CheckDeviceCmd, &settings.SuccessString, &settings.FailString}) {
        EXPECT_EQ(*text, "");
    }
    EXPECT_FALSE(settings.CheckBootLoaderID);
    EXPECT_FALSE(settings.ToolFwVersion.has_value());
    for (const auto& image : settings.SkinImages)
        EXPECT_FALSE(image.has_value());
}

TEST_F(UiSettingsTest, VersionIsReadAsDecimalOrHexAndOtherwiseLeftAlone) {
    const struct {
        const char* value;
        std::optional<std::int32_t> version;
    } kCases[] = {
        {"257", 257},          {"0x0101", 257},
        {"  0x0101", 257},     {"0x0101   //tool version", 257},
        {"abc", std::nullopt}, {"", std::nullopt},
        {"12abc", 12},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.value);
        WriteIni(std::string("[FWVer]\r\nVersion=") + c.value + "\r\n");
        EXPECT_EQ(Load().ToolFwVersion, c.version);
    }
}

TEST_F(UiSettingsTest, CheckBootLoaderIdIsOnlyOnWhenNonZero) {
    const struct {
        const char* line;
        bool on;
    } kCases[] = {
        {"CheckBootLoaderID=0", false},     {"CheckBootLoaderID=1", true},
        {"CheckBootLoaderID=2 //on", true}, {"", false},
        {"CheckBootLoaderID=", false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.line);
        WriteIni(std::string("[UISettings]\r\n") + c.line + "\r\n");
        EXPECT_EQ(Load().CheckBootLoaderID, c.on);
    }
}

TEST_F(UiSettingsTest, TextValuesKeepRemarksAndNamesIgnoreCase) {
    WriteIni(
        "[uisettings]\r\n"
        "isptitle = Line 3   // station B\r\n"
        "CHECKDEVICECMD=ED84D98CAC8616F\r\n");
    const auto settings = Load();
    EXPECT_EQ(settings.ISPTitle, "Line 3   // station B");
    EXPECT_EQ(settings.CheckDeviceCmd, "ED84D98CAC8616F");  // the caller judges its length
}

TEST_F(UiSettingsTest, ImagesAreFoundWithoutRegardToCase) {
    fs::create_directories(dir_ / "Image");
    testing::WriteText(dir_ / "Image/START.BMP", "");
    testing::WriteText(dir_ / "Image/exit_MO.bmp", "");
    const auto settings = Load();
    ASSERT_TRUE(settings.Image(SkinImage::Start).has_value());
    EXPECT_EQ(settings.Image(SkinImage::Start)->filename(), "START.BMP");
    EXPECT_EQ(settings.Image(SkinImage::ExitMo)->filename(), "exit_MO.bmp");
    EXPECT_FALSE(settings.Image(SkinImage::Background).has_value());
}

}  // namespace
}  // namespace txisp::app
