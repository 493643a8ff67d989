#include "platform/resources.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

#include "support/temp_dir.h"

namespace txisp::platform {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

constexpr std::size_t kTrailerSize = 32;
constexpr std::size_t kIndexEntrySize = 12;
constexpr std::size_t kMaxBundleSize = 64 * 1024 * 1024;

// Trailer fields, from the trailer's first byte.
constexpr std::size_t kVersionField = 8;
constexpr std::size_t kCountField = 12;
constexpr std::size_t kSizeField = 16;
constexpr std::size_t kIndexOffsetField = 24;
constexpr std::size_t kCrcField = 28;

Bytes Pattern(std::size_t size, unsigned seed) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 31 + seed);
    return bytes;
}

Bytes Concat(Bytes front, const Bytes& back) {
    front.insert(front.end(), back.begin(), back.end());
    return front;
}

// Stands for the executable in front of a bundle.
const Bytes kProgram = Pattern(40, 7);

// A program followed by a bundle, with the means to damage the bundle field
// by field and, where a case wants it, repair the CRC afterwards so that only
// the structural check under test can notice.
struct BundleFile {
    Bytes bytes;
    std::size_t start = 0;  // of the bundle within bytes

    static BundleFile Of(const Bytes& program, const ResourceMap& entries) {
        return {Concat(program, BuildResourceBundle(entries)), program.size()};
    }

    std::size_t BundleSize() const { return bytes.size() - start; }
    std::size_t Trailer() const { return start + BundleSize() - kTrailerSize; }
    std::size_t IndexEntry(std::size_t i) const {
        return Trailer() - (EntryCount() - i) * kIndexEntrySize;
    }
    std::size_t EntryCount() const { return Load(Trailer() + kCountField, 4); }

    std::uint64_t Load(std::size_t at, std::size_t width) const {
        std::uint64_t value = 0;
        for (std::size_t i = width; i > 0; --i)
            value = (value << 8) | bytes.at(at + i - 1);
        return value;
    }
    void Store(std::size_t at, std::uint64_t value, std::size_t width) {
        for (std::size_t i = 0; i < width; ++i)
            bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
    }
    void FixCrc() {
        const uLong crc = crc32(0L, bytes.data() + start, static_cast<uInt>(BundleSize() - 4));
        Store(Trailer() + kCrcField, crc, 4);
    }

    // Puts `count` zero bytes in front of the entry data, moving every
    // offset, so the bundle stays valid but grows.
    void InsertGap(std::size_t count) {
        const std::size_t entry_count = EntryCount();
        bytes.insert(bytes.begin() + static_cast<std::ptrdiff_t>(start), count, 0);
        for (std::size_t i = 0; i < entry_count; ++i) {
            Store(IndexEntry(i) + 4, Load(IndexEntry(i) + 4, 4) + count, 4);
        }
        Store(Trailer() + kSizeField, BundleSize(), 8);
        Store(Trailer() + kIndexOffsetField, Load(Trailer() + kIndexOffsetField, 4) + count, 4);
        FixCrc();
    }
};

// Three entries, the middle one empty: data 0..5, 5..5, 5..12.
const ResourceMap kSample = {{10, Pattern(5, 1)}, {20, {}}, {30, Pattern(7, 2)}};

ResourceBundle ReadThroughFile(const Bytes& file_bytes) {
    TempDir temp;
    WriteBytes(temp / "program", file_bytes);
    return ResourceBundle::FromFile(temp / "program");
}

TEST(ResourceBundle, RoundTripsEntriesThroughBytesAndFile) {
    const ResourceMap entries = {
        {0, Pattern(1, 3)},    {4000, Pattern(1024 * 1024 + 3, 5)}, {4007, {}},
        {4010, Pattern(6, 9)}, {0xFFFF, Pattern(300, 11)},
    };
    const Bytes bundle = BuildResourceBundle(entries);
    const Bytes file = Concat(kProgram, bundle);

    for (const ResourceBundle& read :
         {ResourceBundle::FromFileBytes(file), ReadThroughFile(file)}) {
        EXPECT_EQ(read.entries(), entries);
        ASSERT_TRUE(read.Find(4007).has_value());
        EXPECT_TRUE(read.Find(4007)->empty());
        ASSERT_TRUE(read.Find(4010).has_value());
        EXPECT_EQ(Bytes(read.Find(4010)->begin(), read.Find(4010)->end()), entries.at(4010));
        EXPECT_FALSE(read.Find(4011).has_value());
    }
    EXPECT_EQ(TrailingBundleSize(file), bundle.size());
    // A bundle is self-contained: it reads the same without a program in front.
    EXPECT_EQ(ResourceBundle::FromFileBytes(bundle).entries(), entries);
}

TEST(ResourceBundle, EmptyMapBuildsATrailerOnlyBundleThatIsRecognised) {
    const Bytes bundle = BuildResourceBundle({});
    ASSERT_EQ(bundle.size(), kTrailerSize);
    const Bytes file = Concat(kProgram, bundle);
    EXPECT_TRUE(ResourceBundle::FromFileBytes(file).empty());
    // Recognised, so replacing it does not leave it stacked under the new one.
    EXPECT_EQ(TrailingBundleSize(file), kTrailerSize);
}

TEST(ResourceBundle, ProgramWithoutBundleOrMissingFileHasNoResources) {
    TempDir temp;
    EXPECT_TRUE(ResourceBundle::FromFileBytes(kProgram).empty());
    EXPECT_EQ(TrailingBundleSize(kProgram), 0U);
    EXPECT_TRUE(ResourceBundle::FromFile(temp / "missing").empty());
    EXPECT_TRUE(ResourceBundle::FromFile(temp.path()).empty());
}

TEST(ResourceBundle, GapsBetweenEntriesAreAccepted) {
    BundleFile file = BundleFile::Of(kProgram, kSample);
    file.InsertGap(3);
    EXPECT_EQ(ResourceBundle::FromFileBytes(file.bytes).entries(), kSample);
    EXPECT_EQ(TrailingBundleSize(file.bytes), file.BundleSize());
}

TEST(ResourceBundle, SizeIsCappedAt64MiBForWritersAndReaders) {
    const std::size_t largest_entry = kMaxBundleSize - kTrailerSize - kIndexEntrySize;
    BundleFile file = BundleFile::Of({}, {{1, Bytes(largest_entry, 0x5A)}});
    ASSERT_EQ(file.BundleSize(), kMaxBundleSize);
    EXPECT_EQ(ResourceBundle::FromFileBytes(file.bytes).size(), 1U);

    // Valid in every other respect, one byte too large.
    file.InsertGap(1);
    EXPECT_TRUE(ResourceBundle::FromFileBytes(file.bytes).empty());
    EXPECT_EQ(TrailingBundleSize(file.bytes), 0U);

    EXPECT_TRUE(BuildResourceBundle({{1, Bytes(largest_entry + 1)}}).empty());
    TempDir temp;
    WriteBytes(temp / "program", kProgram);
    const Status written =
        WriteProgramWithResources(temp / "program", temp / "out", {{1, Bytes(largest_entry + 1)}});
    EXPECT_FALSE(written.ok());
    EXPECT_NE(written.message().find("64 MiB"), std::string::npos) << written.message();
    EXPECT_FALSE(fs::exists(temp / "out"));
}

// Reading must look at the tail only: a whole-file read of this sparse file
// would need 64 GiB.
TEST(ResourceBundle, FromFileReadsOnlyTheTail) {
    TempDir temp;
    const fs::path file = temp / "huge";
    WriteBytes(file, kProgram);
    std::error_code error;
    fs::resize_file(file, std::uint64_t{64} << 30, error);
    if (error) GTEST_SKIP() << "no sparse files here: " << error.message();
    {
        std::ofstream out(file, std::ios::binary | std::ios::app);
        const Bytes bundle = BuildResourceBundle(kSample);
        out.write(reinterpret_cast<const char*>(bundle.data()),
                  static_cast<std::streamsize>(bundle.size()));
        ASSERT_TRUE(out.good());
    }
    EXPECT_EQ(ResourceBundle::FromFile(file).entries(), kSample);
}

struct Corruption {
    const char* name;
    std::function<void(BundleFile&)> damage;
    bool fix_crc;  // so that the CRC cannot be what catches the damage
};

void PutTrailer(BundleFile& f, std::size_t field, std::uint64_t value, std::size_t width) {
    f.Store(f.Trailer() + field, value, width);
}
void PutIndex(BundleFile& f, std::size_t entry, std::size_t field, std::uint64_t value,
              std::size_t width) {
    f.Store(f.IndexEntry(entry) + field, value, width);
}
void Truncate(BundleFile& f, std::size_t keep_from_end) {
    f.bytes.erase(f.bytes.begin(), f.bytes.end() - static_cast<std::ptrdiff_t>(keep_from_end));
    f.start = 0;
}

const Corruption kCorruptions[] = {
    {"MagicFirstByte", [](BundleFile& f) { f.bytes[f.Trailer()] ^= 0x20; }, true},
    {"MagicLastByte", [](BundleFile& f) { f.bytes[f.Trailer() + 7] ^= 0x01; }, true},
    {"VersionZero", [](BundleFile& f) { PutTrailer(f, kVersionField, 0, 4); }, true},
    {"VersionTwo", [](BundleFile& f) { PutTrailer(f, kVersionField, 2, 4); }, true},
    {"EntryCountOneMore", [](BundleFile& f) { PutTrailer(f, kCountField, 4, 4); }, true},
    {"EntryCountHuge", [](BundleFile& f) { PutTrailer(f, kCountField, 0xFFFFFFFF, 4); }, true},
    {"BundleSizeBeyondFile",
     [](BundleFile& f) { PutTrailer(f, kSizeField, f.bytes.size() + 1, 8); }, true},
    {"BundleSizeWrapsAround",
     [](BundleFile& f) { PutTrailer(f, kSizeField, 0xFFFFFFFFFFFFFFF0, 8); }, true},
    {"BundleSizeBelowTrailer", [](BundleFile& f) { PutTrailer(f, kSizeField, 16, 8); }, true},
    {"BundleSizeBelowIndex",
     [](BundleFile& f) { PutTrailer(f, kSizeField, kTrailerSize + 2 * kIndexEntrySize, 8); }, true},
    {"IndexOffsetPlusOne", [](BundleFile& f) { PutTrailer(f, kIndexOffsetField, 12 + 1, 4); },
     true},
    {"IndexOffsetHuge", [](BundleFile& f) { PutTrailer(f, kIndexOffsetField, 0xFFFFFFF0, 4); },
     true},
    {"EntryEndsInIndex", [](BundleFile& f) { PutIndex(f, 2, 8, 8, 4); }, true},
    {"EntryOffsetInIndex", [](BundleFile& f) { PutIndex(f, 2, 4, 13, 4); }, true},
    // 0xFFFFFFF0 + 0x10 is 0 in 32 bits: only wide sums see the entry leave.
    {"EntryEndWrapsAround",
     [](BundleFile& f) {
         PutIndex(f, 2, 4, 0xFFFFFFF0, 4);
         PutIndex(f, 2, 8, 0x10, 4);
     },
     true},
    {"EntriesOverlap", [](BundleFile& f) { PutIndex(f, 2, 4, 4, 4); }, true},
    {"DuplicateId", [](BundleFile& f) { PutIndex(f, 1, 0, 10, 2); }, true},
    {"IdsOutOfOrder", [](BundleFile& f) { PutIndex(f, 0, 0, 25, 2); }, true},
    {"ReservedSet", [](BundleFile& f) { PutIndex(f, 0, 2, 1, 2); }, true},
    {"DataChanged", [](BundleFile& f) { f.bytes[f.start] ^= 0xFF; }, false},
    {"IndexChanged", [](BundleFile& f) { PutIndex(f, 0, 8, 4, 4); }, false},
    {"CrcChanged", [](BundleFile& f) { f.bytes[f.Trailer() + kCrcField] ^= 0x01; }, false},
    {"LastByteCut", [](BundleFile& f) { f.bytes.pop_back(); }, false},
    {"BundleStartCut", [](BundleFile& f) { Truncate(f, f.BundleSize() - 1); }, false},
    {"TrailerOnly", [](BundleFile& f) { Truncate(f, kTrailerSize); }, false},
    {"ShorterThanTrailer", [](BundleFile& f) { Truncate(f, kTrailerSize - 1); }, false},
    {"EmptyFile", [](BundleFile& f) { f.bytes.clear(); }, false},
};

void PrintTo(const Corruption& corruption, std::ostream* out) {
    *out << corruption.name;
}

class CorruptBundle : public ::testing::TestWithParam<Corruption> {};

TEST_P(CorruptBundle, MeansNoResources) {
    BundleFile file = BundleFile::Of(kProgram, kSample);
    // The damage must be all that stands between the file and its resources.
    ASSERT_EQ(ResourceBundle::FromFileBytes(file.bytes).entries(), kSample);

    GetParam().damage(file);
    if (GetParam().fix_crc) file.FixCrc();

    EXPECT_TRUE(ResourceBundle::FromFileBytes(file.bytes).empty());
    EXPECT_EQ(TrailingBundleSize(file.bytes), 0U);
    EXPECT_TRUE(ReadThroughFile(file.bytes).empty());
}

INSTANTIATE_TEST_SUITE_P(ResourceBundle, CorruptBundle, ::testing::ValuesIn(kCorruptions),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

mode_t ModeOf(const fs::path& file) {
    struct stat info {};
    return ::stat(file.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

std::vector<std::string> FolderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : previous_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(previous_); }

private:
    mode_t previous_;
};

TEST(WriteProgramWithResources, AppendsBundleAsExecutableWhateverTheUmask) {
    TempDir temp;
    WriteBytes(temp / "program", kProgram);
    {
        ScopedUmask strict(0077);
        ASSERT_TRUE(WriteProgramWithResources(temp / "program", temp / "out", kSample).ok());
    }
    EXPECT_EQ(ReadBytes(temp / "out"), Concat(kProgram, BuildResourceBundle(kSample)));
    EXPECT_EQ(ModeOf(temp / "out"), 0755U);
    EXPECT_EQ(ReadBytes(temp / "program"), kProgram);
}

TEST(WriteProgramWithResources, ReplacesTheBundleInPlaceWithoutStacking) {
    TempDir temp;
    const fs::path file = temp / "tool";
    WriteBytes(file, kProgram);
    ASSERT_TRUE(WriteProgramWithResources(file, file, kSample).ok());
    const ResourceMap replacement = {{4010, Pattern(9, 4)}};
    ASSERT_TRUE(WriteProgramWithResources(file, file, replacement).ok());

    EXPECT_EQ(ReadBytes(file), Concat(kProgram, BuildResourceBundle(replacement)));
    EXPECT_EQ(FolderNames(temp.path()), std::vector<std::string>{"tool"});
}

TEST(WriteProgramWithResources, KeepsACorruptOldBundleAsProgramBytes) {
    TempDir temp;
    BundleFile damaged = BundleFile::Of(kProgram, kSample);
    damaged.bytes[damaged.start] ^= 0xFF;
    WriteBytes(temp / "program", damaged.bytes);
    ASSERT_TRUE(WriteProgramWithResources(temp / "program", temp / "out", kSample).ok());
    EXPECT_EQ(ReadBytes(temp / "out"), Concat(damaged.bytes, BuildResourceBundle(kSample)));
}

TEST(WriteProgramWithResources, FailsClearlyAndLeavesTheOutputAlone) {
    struct Case {
        const char* name;
        const char* program;
        const char* output;
        const char* message_names;
    };
    const Case cases[] = {
        {"missing program", "missing", "out", "missing"},
        {"program is a folder", "folder", "out", "folder"},
        {"output folder missing", "program", "nowhere/out", "nowhere"},
        {"output is a folder", "program", "folder", "folder"},
    };
    for (const Case& c : cases) {
        TempDir temp;
        WriteBytes(temp / "program", kProgram);
        WriteBytes(temp / "out", {1, 2, 3});
        fs::create_directory(temp / "folder");

        const Status status = WriteProgramWithResources(temp / c.program, temp / c.output, kSample);
        EXPECT_FALSE(status.ok()) << c.name;
        EXPECT_NE(status.message().find(c.message_names), std::string::npos)
            << c.name << ": " << status.message();
        EXPECT_EQ(ReadBytes(temp / "out"), (Bytes{1, 2, 3})) << c.name;
        EXPECT_EQ(FolderNames(temp.path()), (std::vector<std::string>{"folder", "out", "program"}))
            << c.name;
    }
}

struct ProbeRun {
    int exit_code = -1;
    std::string output;
};

ProbeRun RunProbe(const fs::path& probe, const std::string& argument = "") {
    const std::string command = "'" + probe.string() + "' " + argument;
    ProbeRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        run.output += buffer;
    const int status = ::pclose(pipe);
    if (WIFEXITED(status)) run.exit_code = WEXITSTATUS(status);
    return run;
}

TEST(ResourceProbe, PlainProgramHasNoResources) {
    const ProbeRun run = RunProbe(TXISP_RESOURCE_PROBE);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.output, "count 0\n");
}

TEST(ResourceProbe, RunningProgramReadsItsOwnBundle) {
    TempDir temp;
    const fs::path probe = temp / "probe";
    const ResourceMap entries = {{4000, {0x00, 0x01, 0xFF}}, {4007, {'p', 0, 'w', 0}}, {4011, {}}};
    ASSERT_TRUE(WriteProgramWithResources(TXISP_RESOURCE_PROBE, probe, entries).ok());

    ProbeRun run = RunProbe(probe);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.output, "count 3\n4000 3\n4007 4\n4011 0\n");
    run = RunProbe(probe, "4000");
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.output, "0001ff\n");
    EXPECT_EQ(RunProbe(probe, "4010").exit_code, 2);

    const ResourceMap replacement = {{4010, {'T', 0}}};
    ASSERT_TRUE(WriteProgramWithResources(probe, probe, replacement).ok());
    EXPECT_EQ(RunProbe(probe).output, "count 1\n4010 2\n");
    EXPECT_EQ(fs::file_size(probe),
              fs::file_size(TXISP_RESOURCE_PROBE) + BuildResourceBundle(replacement).size());
}

}  // namespace
}  // namespace txisp::platform
