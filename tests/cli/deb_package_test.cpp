// The Debian package, built from this build folder with cpack and unpacked
// into a temporary root the way dpkg would lay it out.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/temp_dir.h"
#include "txisp_runner.h"

namespace txisp::cli::testing {
namespace {

using txisp::testing::ReadBytes;
using txisp::testing::ReadText;
using txisp::testing::TempDir;

constexpr const char* kDpkgDeb = "/usr/bin/dpkg-deb";

bool IsExecutableFile(const std::filesystem::path& file) {
    struct stat info {};
    return stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & S_IXOTH);
}

TEST(DebPackage, InstallsTheFilesItPromises) {
    if (!std::filesystem::exists(kDpkgDeb)) GTEST_SKIP() << "dpkg-deb is not installed";
    TempDir dir;
    const ProcessResult packed =
        RunProgram(TXISP_CPACK_COMMAND,
                   {"-G", "DEB", "--config", std::string(TXISP_BINARY_DIR) + "/CPackConfig.cmake",
                    "-B", (dir / "out").string()});
    ASSERT_EQ(packed.ExitCode, 0) << packed;
    std::vector<std::filesystem::path> debs;
    for (const auto& entry : std::filesystem::directory_iterator(dir / "out")) {
        if (entry.path().extension() == ".deb") debs.push_back(entry.path());
    }
    ASSERT_EQ(debs.size(), 1u) << packed;
    const std::string deb = debs.front().string();

    const ProcessResult fields = RunProgram(kDpkgDeb, {"-f", deb, "Package", "Depends"});
    ASSERT_EQ(fields.ExitCode, 0) << fields;
    EXPECT_NE(fields.Out.find("Package: txisp"), std::string::npos) << fields;
    EXPECT_NE(fields.Out.find("libudev1"), std::string::npos) << fields;

    const std::filesystem::path root = dir / "root";
    const ProcessResult extracted = RunProgram(kDpkgDeb, {"-x", deb, root.string()});
    ASSERT_EQ(extracted.ExitCode, 0) << extracted;

    EXPECT_TRUE(IsExecutableFile(root / "usr/bin/txisp"));
    const std::string rule = ReadText(root / "usr/lib/udev/rules.d/70-txisp.rules");
    EXPECT_NE(rule.find(R"(SUBSYSTEM=="hidraw", ATTRS{idVendor}=="5e3a", TAG+="uaccess")"),
              std::string::npos)
        << rule;
    const std::vector<std::uint8_t> man_page = ReadBytes(root / "usr/share/man/man1/txisp.1.gz");
    ASSERT_GE(man_page.size(), 2u);
    EXPECT_EQ(man_page[0], 0x1F);  // gzip
    EXPECT_EQ(man_page[1], 0x8B);
    if (TXISP_HAS_GUI) {
        EXPECT_TRUE(IsExecutableFile(root / "usr/bin/txisp-gui"));
        EXPECT_TRUE(std::filesystem::exists(root / "usr/share/applications/txisp-gui.desktop"));
        EXPECT_TRUE(
            std::filesystem::exists(root / "usr/share/icons/hicolor/scalable/apps/txisp.svg"));
    }

    const ProcessResult version = RunProgram(root / "usr/bin/txisp", {"--version"});
    EXPECT_EQ(version.ExitCode, 0) << version;
}

}  // namespace
}  // namespace txisp::cli::testing
