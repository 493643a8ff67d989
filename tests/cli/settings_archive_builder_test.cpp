// The settings archive pack puts into a prepared tool, unpacked by the very
// code the window runs at start-up.

#include "cli/settings_archive_builder.h"

#include <gtest/gtest.h>

#include "app/settings_archive.h"
#include "firmware/resource_ids.h"
#include "platform/resources.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"

namespace txisp::cli {
namespace {

using txisp::testing::ListFiles;
using txisp::testing::ReadBytes;
using txisp::testing::SourceDir;
using txisp::testing::TempDir;

std::filesystem::path SampleSettings() {
    return SourceDir() / "examples" / "sample-settings";
}

// What the window finds after unpacking the archive from its resources.
std::optional<app::UiSettings> UnpackAsTheWindowDoes(const std::vector<std::uint8_t>& archive,
                                                     const std::filesystem::path& temp) {
    const std::vector<std::uint8_t> bundle =
        platform::BuildResourceBundle({{firmware::kSettingsArchiveResource, archive}});
    return app::UnpackSettingsArchive(platform::ResourceBundle::FromFileBytes(bundle), temp);
}

TEST(SettingsArchiveBuilder, FolderUnpacksToTheSameFiles) {
    // The folder holding Settings/, and the Settings folder itself.
    for (const std::filesystem::path& folder : {SampleSettings(), SampleSettings() / "Settings"}) {
        SCOPED_TRACE(folder.string());
        Result<std::vector<std::uint8_t>> archive = SettingsArchiveBytes(folder);
        ASSERT_TRUE(archive) << archive.error();
        TempDir temp;
        const std::optional<app::UiSettings> settings =
            UnpackAsTheWindowDoes(*archive, temp.path());
        ASSERT_TRUE(settings);
        EXPECT_EQ(settings->ISPTitle, "TX5 ISP Update Tool");
        const std::filesystem::path unpacked = app::SettingsFolderPath(temp.path());
        const std::vector<std::string> files = ListFiles(SampleSettings() / "Settings");
        EXPECT_EQ(ListFiles(unpacked), files);
        for (const std::string& file : files) {
            EXPECT_EQ(ReadBytes(unpacked / file), ReadBytes(SampleSettings() / "Settings" / file))
                << file;
        }
    }
}

TEST(SettingsArchiveBuilder, ExistingZipIsTakenAsItIs) {
    const std::filesystem::path zip = SourceDir() / "examples" / "sample-settings.zip";
    Result<std::vector<std::uint8_t>> archive = SettingsArchiveBytes(zip);
    ASSERT_TRUE(archive) << archive.error();
    EXPECT_EQ(*archive, ReadBytes(zip));
}

TEST(SettingsArchiveBuilder, RefusesWhatHoldsNoUiSettings) {
    TempDir dir;
    std::filesystem::create_directories(dir / "folder" / "Image");
    txisp::testing::WriteText(dir / "folder" / "Image" / "x.bmp", "BM");
    txisp::testing::WriteZip(dir / "other.zip", {{"Settings\\readme.txt", "hello"}});
    txisp::testing::WriteText(dir / "not-a-zip.zip", "PK? no");
    for (const char* name : {"folder", "other.zip", "not-a-zip.zip", "missing"}) {
        SCOPED_TRACE(name);
        Result<std::vector<std::uint8_t>> archive = SettingsArchiveBytes(dir / name);
        EXPECT_FALSE(archive);
        EXPECT_NE(archive.error().find(name), std::string::npos) << archive.error();
    }
}

}  // namespace
}  // namespace txisp::cli
