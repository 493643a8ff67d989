// hidraw ioctls belong to one file: every other layer reaches devices through
// the backend interface, so the simulator can stand in for the kernel.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace txisp::hid {
namespace {

namespace fs = std::filesystem;

fs::path SourceRoot() {
    const char* from_environment = std::getenv("TXISP_SOURCE_DIR");
    return from_environment != nullptr ? fs::path(from_environment) : testing::SourceDir();
}

TEST(HidiocConfinement, OnlyTheHidrawBackendUsesHidrawIoctls) {
    const fs::path src = SourceRoot() / "src";
    ASSERT_TRUE(fs::is_directory(src)) << src;
    const fs::path allowed = src / "hid" / "hidraw_backend.cpp";
    const std::string needle = std::string("HID") + "IOC";

    std::vector<std::string> offenders;
    bool saw_allowed_use = false;
    for (const auto& entry : fs::recursive_directory_iterator(src)) {
        if (!entry.is_regular_file()) continue;
        const bool uses = testing::ReadText(entry.path()).find(needle) != std::string::npos;
        if (!uses) continue;
        if (entry.path() == allowed) {
            saw_allowed_use = true;
        } else {
            offenders.push_back(entry.path().lexically_relative(src).string());
        }
    }
    EXPECT_TRUE(offenders.empty()) << ::testing::PrintToString(offenders);
    // A scan that finds nothing anywhere proves nothing.
    EXPECT_TRUE(saw_allowed_use);
}

}  // namespace
}  // namespace txisp::hid
