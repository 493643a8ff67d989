#pragma once

// A fresh folder per test, removed with everything in it when the test ends.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace txisp::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// The source tree's root (for examples/ and tests/data/).
std::filesystem::path SourceDir();

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file);
std::string ReadText(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);
void WriteText(const std::filesystem::path& file, std::string_view text);

// Encodes UTF-8 text as UTF-16LE with a byte-order mark, as settings files ship.
std::vector<std::uint8_t> Utf16LeWithBom(std::string_view utf8);

}  // namespace txisp::testing
