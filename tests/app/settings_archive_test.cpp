#include "app/settings_archive.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "support/zip_builder.h"

namespace txisp::app {
namespace {

namespace fs = std::filesystem;
using testing::ListFiles;
using testing::ReadBytes;
using testing::SourceDir;
using testing::TempDir;

platform::ResourceBundle BundleWithArchive(const std::vector<std::uint8_t>& zip) {
    platform::ResourceMap entries{{kSettingsArchiveResource, zip}, {4010, {'T', 0}}};
    return platform::ResourceBundle::FromFileBytes(platform::BuildResourceBundle(entries));
}

std::vector<std::uint8_t> SampleArchive() {
    return ReadBytes(SourceDir() / "examples/sample-settings.zip");
}

TEST(SettingsArchive, SampleUnpacksToExactlyItsFilesAndIsRead) {
    TempDir temp;
    const auto settings = UnpackSettingsArchive(BundleWithArchive(SampleArchive()), temp.path());
    ASSERT_TRUE(settings.has_value());

    const fs::path sample = SourceDir() / "examples/sample-settings";
    const auto expected = ListFiles(sample);
    ASSERT_EQ(ListFiles(SettingsUnpackFolder(temp.path())), expected);
    for (const std::string& file : expected) {
        EXPECT_EQ(ReadBytes(SettingsUnpackFolder(temp.path()) / file), ReadBytes(sample / file))
            << file;
    }
    EXPECT_EQ(ReadBytes(SettingsArchiveCopyPath(temp.path())), SampleArchive());

    EXPECT_EQ(settings->SettingsFolder, SettingsFolderPath(temp.path()));
    EXPECT_EQ(settings->ToolFwVersion, 0x0101);
    EXPECT_EQ(settings->CheckDeviceCmd, "ED84D98CAC8616FE");
    EXPECT_TRUE(settings->CheckBootLoaderID);
    // The sample names its Start pictures start.bmp and start_mo.bmp.
    ASSERT_TRUE(settings->Image(SkinImage::Start).has_value());
    EXPECT_EQ(settings->Image(SkinImage::Start)->filename(), "start.bmp");
    for (const auto& image : settings->SkinImages)
        EXPECT_TRUE(image.has_value());
}

TEST(SettingsArchive, ASecondStartRemovesWhatTheFirstLeftBehind) {
    TempDir temp;
    const fs::path stale = SettingsFolderPath(temp.path()) / "Image/stale.bmp";
    fs::create_directories(stale.parent_path());
    testing::WriteText(stale, "left by a crashed run");

    ASSERT_TRUE(UnpackSettingsArchive(BundleWithArchive(SampleArchive()), temp.path()));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(SettingsFolderPath(temp.path()) / "UISettings.ini"));
}

TEST(SettingsArchive, NothingHappensWithoutTheArchiveResource) {
    TempDir temp;
    platform::ResourceMap entries{{4010, {'T', 0}}};
    const auto bundle =
        platform::ResourceBundle::FromFileBytes(platform::BuildResourceBundle(entries));
    EXPECT_FALSE(UnpackSettingsArchive(bundle, temp.path()).has_value());
    EXPECT_FALSE(UnpackSettingsArchive(platform::ResourceBundle(), temp.path()).has_value());
    EXPECT_TRUE(ListFiles(temp.path()).empty());
}

TEST(SettingsArchive, AFailedEntryMeansNoSettingsButKeepsWhatWasWritten) {
    TempDir temp, source;
    testing::WriteZip(
        source / "a.zip",
        {{"Settings\\UISettings.ini", "[UISettings]\r\nISPTitle=T\r\n"}, {"..\\escape.txt", "x"}});
    EXPECT_FALSE(
        UnpackSettingsArchive(BundleWithArchive(ReadBytes(source / "a.zip")), temp.path()));
    EXPECT_TRUE(fs::exists(SettingsFolderPath(temp.path()) / "UISettings.ini"));
    EXPECT_FALSE(fs::exists(temp / "escape.txt"));
}

TEST(SettingsArchive, ANonArchiveResourceIsIgnored) {
    TempDir temp;
    EXPECT_FALSE(UnpackSettingsArchive(BundleWithArchive({'n', 'o', 'p', 'e'}), temp.path()));
    EXPECT_FALSE(fs::exists(SettingsFolderPath(temp.path())));
}

TEST(SettingsArchive, ClosingDeletesTheFolderAndKeepsTheArchiveCopy) {
    TempDir temp;
    ASSERT_TRUE(UnpackSettingsArchive(BundleWithArchive(SampleArchive()), temp.path()));
    EXPECT_TRUE(DeleteFolderTree(SettingsUnpackFolder(temp.path()), true));
    EXPECT_FALSE(fs::exists(SettingsUnpackFolder(temp.path())));
    EXPECT_TRUE(fs::exists(SettingsArchiveCopyPath(temp.path())));
}

TEST(SettingsArchive, DeletingToATrashIsNotOfferedAndTouchesNothing) {
    TempDir temp;
    fs::create_directories(temp / "keep/inner");
    EXPECT_FALSE(DeleteFolderTree(temp / "keep", false));
    EXPECT_TRUE(fs::exists(temp / "keep/inner"));
}

}  // namespace
}  // namespace txisp::app
