#include "platform/ini_profile.h"

#include <gtest/gtest.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace txisp::platform {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::Utf16LeWithBom;
using testing::WriteBytes;
using testing::WriteText;

using Bytes = std::vector<std::uint8_t>;

Bytes Utf8(std::string_view text) {
    return {text.begin(), text.end()};
}

Bytes Utf8WithBom(std::string_view text) {
    return Utf8("\xEF\xBB\xBF" + std::string(text));
}

Bytes Utf16BeWithBom(std::string_view text) {
    Bytes bytes = Utf16LeWithBom(text);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

std::string Repeat(std::string_view text, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i)
        out += text;
    return out;
}

std::vector<std::string> Names(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class IniProfileTest : public ::testing::Test {
protected:
    TempDir dir_;
    fs::path file_ = dir_ / "settings.ini";
};

// ---------------------------------------------------------------------------
// Encodings: the same settings in every form a file may take.

struct EncodingCase {
    const char* name;
    Bytes (*encode)(std::string_view);
    const char* line_end;
};

std::string JoinLines(std::initializer_list<std::string_view> lines, std::string_view line_end) {
    std::string text;
    for (std::string_view line : lines) {
        text += line;
        text += line_end;
    }
    return text;
}

class IniEncodingTest : public IniProfileTest, public ::testing::WithParamInterface<EncodingCase> {
protected:
    Bytes Encode(std::initializer_list<std::string_view> lines) const {
        return GetParam().encode(JoinLines(lines, GetParam().line_end));
    }
};

TEST_P(IniEncodingTest, ReadsTextAndNumbers) {
    WriteBytes(file_, Encode({"[General]", "FWType=HEX        //No1. F/W format.",
                              "Name=\xC3\x84rger \xF0\x9F\x98\x80", "Count=0x1F", "[Other]",
                              "FWType=BIN"}));

    EXPECT_EQ(ReadProfileString(file_, "General", "FWType", "-"), "HEX        //No1. F/W format.");
    EXPECT_EQ(ReadProfileString(file_, "General", "Name", "-"), "\xC3\x84rger \xF0\x9F\x98\x80");
    EXPECT_EQ(ReadProfileString(file_, "Other", "FWType", "-"), "BIN");
    EXPECT_EQ(ReadProfileInt(file_, "General", "Count", -5), 31);
    EXPECT_EQ(ReadProfileInt(file_, "Other", "Count", -5), -5);
}

TEST_P(IniEncodingTest, WriteKeepsEncodingMarkAndLineEnds) {
    WriteBytes(file_, Encode({"; \xC3\xBC remark", "[Device]", "KEY1 = old", "Other=1"}));

    ASSERT_TRUE(WriteProfileString(file_, "device", "key1", "new \xF0\x9F\x98\x80"));
    ASSERT_TRUE(WriteProfileString(file_, "Device", "Added", "2"));
    ASSERT_TRUE(WriteProfileString(file_, "New", "k", "3"));

    EXPECT_EQ(ReadBytes(file_),
              Encode({"; \xC3\xBC remark", "[Device]", "KEY1 =new \xF0\x9F\x98\x80", "Other=1",
                      "Added=2", "[New]", "k=3"}));
}

INSTANTIATE_TEST_SUITE_P(Forms, IniEncodingTest,
                         ::testing::Values(EncodingCase{"Utf16LeCrLf", Utf16LeWithBom, "\r\n"},
                                           EncodingCase{"Utf16BeCrLf", Utf16BeWithBom, "\r\n"},
                                           EncodingCase{"Utf16LeLf", Utf16LeWithBom, "\n"},
                                           EncodingCase{"Utf8WithBomCrLf", Utf8WithBom, "\r\n"},
                                           EncodingCase{"Utf8Lf", Utf8, "\n"},
                                           EncodingCase{"Utf8Cr", Utf8, "\r"}),
                         [](const auto& test) { return std::string(test.param.name); });

// ---------------------------------------------------------------------------
// Reading text values

constexpr std::string_view kSemanticsFile =
    "top=before any section\r\n"
    "[General]\r\n"
    "FWType=HEX        //No1. F/W format.\r\n"
    "Spaced \t=\t  a \t b  \t\r\n"
    "Semi=value ; remark\r\n"
    "Hash=x # y\r\n"
    "Double=\"double quoted\"\r\n"
    "Single='single quoted'\r\n"
    "Partial=\"a\" ; b\r\n"
    "Inner=a \"b\" c\r\n"
    "Opening=\"only opening\r\n"
    "Mismatched=\"a'\r\n"
    "Lone=\"\r\n"
    "Empty=\r\n"
    "EmptyQuotes=\"\"\r\n"
    "NoEquals\r\n"
    "Twice=first\r\n"
    "twice=second\r\n"
    "[ Spaced Section ]\r\n"
    "k=spaced\r\n"
    "[Named] ; remark\r\n"
    "k=named\r\n"
    "[Remarked] ; remark [x]\r\n"
    "k=remarked\r\n"
    "[Above]\r\n"
    "[Unclosed\r\n"
    "below=still above\r\n"
    "[\xC3\x84rger]\r\n"
    "k=umlaut\r\n"
    "[General]\r\n"
    "OnlyInSecond=x\r\n";

struct ReadCase {
    const char* section;
    const char* key;
    const char* expected;
};

TEST_F(IniProfileTest, ReadsValuesAsTheSystemDoes) {
    WriteText(file_, kSemanticsFile);
    const ReadCase cases[] = {
        {"general", "fwtype", "HEX        //No1. F/W format."},
        {"GENERAL", "FWTYPE", "HEX        //No1. F/W format."},
        {" \tGeneral ", " FWType\t", "HEX        //No1. F/W format."},
        {"General", "Spaced", "a \t b"},
        {"General", "Semi", "value ; remark"},
        {"General", "Hash", "x # y"},
        {"General", "Double", "double quoted"},
        {"General", "Single", "single quoted"},
        {"General", "Partial", "\"a\" ; b"},
        {"General", "Inner", "a \"b\" c"},
        {"General", "Opening", "\"only opening"},
        {"General", "Mismatched", "\"a'"},
        {"General", "Lone", "\""},
        {"General", "Empty", ""},
        {"General", "EmptyQuotes", ""},
        {"General", "NoEquals", "default"},
        {"General", "Twice", "first"},
        {"General", "OnlyInSecond", "default"},
        {"General", "top", "default"},
        {"Spaced Section", "k", "spaced"},
        {"Named", "k", "named"},
        {"Remarked] ; remark [x", "k", "remarked"},
        {"Remarked", "k", "default"},
        {"Above", "below", "still above"},
        {"Unclosed", "below", "default"},
        {"\xC3\x84rger", "k", "umlaut"},
        {"\xC3\xA4rger", "k", "default"},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(ReadProfileString(file_, c.section, c.key, "default"), c.expected);
    }
}

TEST_F(IniProfileTest, DefaultLosesTrailingBlanksOnly) {
    WriteText(file_, kSemanticsFile);
    EXPECT_EQ(ReadProfileString(file_, "General", "Missing", " d f  "), " d f");
    EXPECT_EQ(ReadProfileString(file_, "Missing", "k", ""), "");
}

TEST_F(IniProfileTest, FileWithoutTheValueGivesDefaults) {
    const fs::path missing = dir_ / "missing.ini";
    const fs::path empty = dir_ / "empty.ini";
    const fs::path mark_only = dir_ / "mark-only.ini";
    const fs::path folder = dir_ / "folder.ini";
    const fs::path huge = dir_ / "huge.ini";
    WriteText(empty, "");
    WriteBytes(mark_only, Utf16LeWithBom(""));
    fs::create_directory(folder);
    // Readable settings at the start, but past the size a settings file may have.
    WriteText(huge, "[S]\r\nk=v\r\n");
    fs::resize_file(huge, 16 * 1024 * 1024 + 1);

    for (const fs::path& file : {missing, empty, mark_only, folder, huge}) {
        SCOPED_TRACE(file.filename().string());
        EXPECT_EQ(ReadProfileString(file, "S", "k", "dflt "), "dflt");
        EXPECT_EQ(ReadProfileInt(file, "S", "k", 42), 42);
    }
}

struct CutCase {
    const char* name;
    std::string value;
    std::size_t buffer_units;
    std::string expected;
};

TEST_F(IniProfileTest, CutsValuesToTheBuffer) {
    const std::string a = "a";
    const std::string e_acute = "\xC3\xA9";
    const std::string smile = "\xF0\x9F\x98\x80";  // two UTF-16 units
    const CutCase cases[] = {
        {"longer than 259", Repeat(a, 300), kProfileBufferUnits, Repeat(a, 259)},
        {"exactly 259", Repeat(a, 259), kProfileBufferUnits, Repeat(a, 259)},
        {"small buffer", Repeat(a, 30), 10, Repeat(a, 9)},
        {"buffer of one", "abc", 1, ""},
        {"buffer of zero", "abc", 0, ""},
        {"counts units, not bytes", Repeat(e_acute, 300), kProfileBufferUnits,
         Repeat(e_acute, 259)},
        {"pair fits", Repeat(a, 257) + smile, kProfileBufferUnits, Repeat(a, 257) + smile},
        {"pair would be split", Repeat(a, 258) + smile, kProfileBufferUnits, Repeat(a, 258)},
        {"quotes go before the cut", "\"" + Repeat(a, 259) + "\"", kProfileBufferUnits,
         Repeat(a, 259)},
    };
    for (const CutCase& c : cases) {
        SCOPED_TRACE(c.name);
        WriteText(file_, "[S]\r\nk=" + c.value + "\r\n");
        EXPECT_EQ(ReadProfileString(file_, "S", "k", "", c.buffer_units), c.expected);
    }
    EXPECT_EQ(ReadProfileString(file_, "S", "missing", "abcdef", 4), "abc");
}

// ---------------------------------------------------------------------------
// Numbers

struct IntCase {
    const char* value;
    std::int32_t expected;
};

TEST_F(IniProfileTest, ReadsIntegersAsTheSystemDoes) {
    constexpr std::int32_t kDefault = 77;
    const IntCase cases[] = {
        {"12", 12},
        {"  12", 12},
        {"+12", 12},
        {"012", 12},
        {"12abc", 12},
        {"1.9", 1},
        {"-1", -1},
        {"0x1F", 31},
        {"0X1f", 31},
        {"-0x1F", -31},
        {"abc", 0},
        {"0x", 0},
        {"- 5", 0},
        {"+-1", 0},
        {"", kDefault},
        {"\"\"", kDefault},
        {"4294967296", 0},
        {"99999999999", 1215752191},
        {"2147483648", INT32_MIN},
        {"\"42\"", 42},
        {"00000000000000000009", 9},   // 20 characters: all read
        {"000000000000000000009", 0},  // the 21st is never seen
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(std::string("value '") + c.value + "'");
        WriteText(file_, std::string("[S]\r\nk=") + c.value + "\r\n");
        EXPECT_EQ(ReadProfileInt(file_, "S", "k", kDefault), c.expected);
    }
    EXPECT_EQ(ReadProfileInt(file_, "S", "missing", kDefault), kDefault);
}

struct ParseCase {
    const char* text;
    std::optional<std::int32_t> expected;
};

TEST(IniParseIntExTest, ReadsTheLeadingNumber) {
    const ParseCase cases[] = {
        {"12", 12},
        {"+12", 12},
        {" 12", 12},
        {"\t12", 12},
        {"\n\r 12", 12},
        {"0x1F", 31},
        {"+0x1F", 31},
        {"-0x1F", 31},  // the sign does not apply to hexadecimal
        {"-12", -12},
        {"1F", 1},
        {"12abc", 12},
        {"10.0.19041", 10},
        {"4294967296", 0},
        {"0x100000000", 0},
        {"0xFFFFFFFF", -1},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"0x", std::nullopt},
        {"0xG", std::nullopt},
        {"- 5", std::nullopt},
        {"v1", std::nullopt},
        {"+", std::nullopt},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(std::string("text '") + c.text + "'");
        EXPECT_EQ(ParseIntEx(c.text), c.expected);
    }
}

// ---------------------------------------------------------------------------
// Writing

struct WriteCase {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

TEST_F(IniProfileTest, WritesIntoTheRightPlace) {
    const WriteCase cases[] = {
        {"empty file", "", "Sec", "Key", "Value", "[Sec]\r\nKey=Value\r\n"},
        {"names trimmed", "", " Sec\t", " Key ", " v ", "[Sec]\r\nKey= v \r\n"},
        {"replaced in place, spelling kept", "[S]\r\nkey1 \t= old ; x\r\nb=2\r\n", "s", "KEY1",
         "new", "[S]\r\nkey1 \t=new\r\nb=2\r\n"},
        {"first of twice", "[A]\r\nk=1\r\nk=2\r\n", "A", "k", "3", "[A]\r\nk=3\r\nk=2\r\n"},
        {"key after the section's last key", "[A]\nk1=1\n; note\n\n[B]\nx=1\n", "a", "k2", "v",
         "[A]\nk1=1\nk2=v\n; note\n\n[B]\nx=1\n"},
        {"key into a section without keys", "[A]\r\n\r\n[B]\r\n", "A", "k", "v",
         "[A]\r\nk=v\r\n\r\n[B]\r\n"},
        {"key after a header without line end", "[A]", "A", "k", "v", "[A]\r\nk=v\r\n"},
        {"key after a last line without line end", "[A]\nx=1", "A", "k", "v", "[A]\nx=1\nk=v\n"},
        {"key into the first of two sections", "[A]\r\nx=1\r\n[A]\r\nk=1\r\n", "A", "k", "2",
         "[A]\r\nx=1\r\nk=2\r\n[A]\r\nk=1\r\n"},
        {"key before any section is not the section's", "k=0\r\n[A]\r\n", "A", "k", "1",
         "k=0\r\n[A]\r\nk=1\r\n"},
        {"section at the end", "[A]\r\nk=1\r\n\r\n", "B", "k", "v",
         "[A]\r\nk=1\r\n\r\n[B]\r\nk=v\r\n"},
        {"section after a last line without line end", "[A]\nk=1", "B", "k", "v",
         "[A]\nk=1\n[B]\nk=v\n"},
        {"line ends of the first line end", "[A]\rk=1\r\n", "A", "j", "2", "[A]\rk=1\r\nj=2\r"},
        {"mark kept", "\xEF\xBB\xBF[A]\r\n", "B", "k", "v", "\xEF\xBB\xBF[A]\r\n[B]\r\nk=v\r\n"},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        WriteText(file_, c.before);
        ASSERT_TRUE(WriteProfileString(file_, c.section, c.key, c.value));
        EXPECT_EQ(testing::ReadText(file_), c.after);
    }
}

TEST_F(IniProfileTest, WriteLeavesUndecodableBytesElsewhereAlone) {
    const std::string before = "[A]\n; caf\xE9 in Latin-1\nk=1\n[B]\nbroken=\xFF\xFE\xC3\n";
    WriteText(file_, before);

    ASSERT_TRUE(WriteProfileString(file_, "A", "k", "2"));
    ASSERT_TRUE(WriteProfileString(file_, "B", "added", "\xC3\xA9"));

    EXPECT_EQ(testing::ReadText(file_),
              "[A]\n; caf\xE9 in Latin-1\nk=2\n[B]\nbroken=\xFF\xFE\xC3\nadded=\xC3\xA9\n");
}

TEST_F(IniProfileTest, NewFileIsCreatedWithTheUsualMode) {
    const mode_t saved = umask(027);
    const bool written = WriteProfileString(file_, "Sec", "Key", "Value");
    umask(saved);

    ASSERT_TRUE(written);
    EXPECT_EQ(testing::ReadText(file_), "[Sec]\r\nKey=Value\r\n");
    EXPECT_EQ(ReadProfileString(file_, "sec", "key", "-"), "Value");
    EXPECT_EQ(fs::status(file_).permissions(), static_cast<fs::perms>(0640));
}

TEST_F(IniProfileTest, ReplacedFileKeepsItsMode) {
    WriteText(file_, "[S]\r\nk=1\r\n");
    fs::permissions(file_, static_cast<fs::perms>(0604));

    ASSERT_TRUE(WriteProfileString(file_, "S", "k", "2"));

    EXPECT_EQ(fs::status(file_).permissions(), static_cast<fs::perms>(0604));
}

TEST_F(IniProfileTest, RefusedWritesLeaveEverythingAsItWas) {
    const fs::path folder = dir_ / "folder.ini";
    fs::create_directory(folder);
    EXPECT_FALSE(WriteProfileString(folder, "S", "k", "v"));
    EXPECT_TRUE(fs::is_directory(folder));

    EXPECT_FALSE(WriteProfileString(dir_ / "no-such-folder" / "a.ini", "S", "k", "v"));

    const fs::path huge = dir_ / "huge.ini";
    WriteText(huge, "[S]\r\nk=1\r\n");
    fs::resize_file(huge, 16 * 1024 * 1024 + 1);
    EXPECT_FALSE(WriteProfileString(huge, "S", "k", "2"));
    EXPECT_EQ(fs::file_size(huge), 16u * 1024 * 1024 + 1);

    WriteText(file_, "[S]\r\nk=1\r\n");
    EXPECT_FALSE(WriteProfileString(file_, "S", "k", "2\r\n[Injected]"));
    EXPECT_FALSE(WriteProfileString(file_, "S\n", "k", "2"));
    EXPECT_EQ(testing::ReadText(file_), "[S]\r\nk=1\r\n");

    EXPECT_EQ(Names(dir_.path()),
              (std::vector<std::string>{"folder.ini", "huge.ini", "settings.ini"}));
}

// Root writes into any folder whatever its mode; without CAP_DAC_OVERRIDE for
// the scope, a test meets an unwritable folder the way an ordinary user does.
// Capabilities belong to the thread, so the test's thread alone is affected.
class ScopedWithoutPermissionOverride {
public:
    ScopedWithoutPermissionOverride() {
        syscall(SYS_capget, &header_, saved_);
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
        syscall(SYS_capset, &header_, reduced);
    }
    ~ScopedWithoutPermissionOverride() { syscall(SYS_capset, &header_, saved_); }
    ScopedWithoutPermissionOverride(const ScopedWithoutPermissionOverride&) = delete;
    ScopedWithoutPermissionOverride& operator=(const ScopedWithoutPermissionOverride&) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2] = {};
};

TEST_F(IniProfileTest, UnwritableFolderLeavesTheFileUntouched) {
    const std::string before = "[S]\r\nk=1\r\n";
    WriteText(file_, before);
    fs::permissions(dir_.path(), static_cast<fs::perms>(0555));
    bool written = true;
    {
        ScopedWithoutPermissionOverride unprivileged;
        ASSERT_FALSE(std::ofstream(dir_ / "probe")) << "the folder is still writable";
        written = WriteProfileString(file_, "S", "k", "2");
    }
    fs::permissions(dir_.path(), static_cast<fs::perms>(0755));

    EXPECT_FALSE(written);
    EXPECT_EQ(testing::ReadText(file_), before);
    EXPECT_EQ(Names(dir_.path()), std::vector<std::string>{"settings.ini"});
}

// A full disk shows up as a failed write after the temporary file exists; a
// file size limit produces that failure on demand.
class ScopedFileSizeLimit {
public:
    explicit ScopedFileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit limited = saved_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
        saved_handler_ = signal(SIGXFSZ, SIG_IGN);
    }
    ~ScopedFileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, saved_handler_);
    }
    ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
    ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

private:
    rlimit saved_{};
    sighandler_t saved_handler_ = SIG_DFL;
};

TEST_F(IniProfileTest, FailedWriteRemovesTheTemporaryFile) {
    const std::string before = "[S]\r\nk=1\r\n; " + Repeat("padding ", 32) + "\r\n";
    WriteText(file_, before);
    bool written = true;
    {
        ScopedFileSizeLimit limit(64);
        written = WriteProfileString(file_, "S", "k", "2");
    }

    EXPECT_FALSE(written);
    EXPECT_EQ(testing::ReadText(file_), before);
    EXPECT_EQ(Names(dir_.path()), std::vector<std::string>{"settings.ini"});
}

struct LinkCase {
    const char* name;
    bool target_exists;
    bool absolute;
};

TEST_F(IniProfileTest, WritesThroughSymbolicLinks) {
    const LinkCase cases[] = {
        {"relative link to a file", true, false},
        {"absolute link to a file", true, true},
        {"link to a file still to be made", false, false},
    };
    for (const LinkCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        fs::create_directory(dir / "real");
        const fs::path target = dir / "real" / "settings.ini";
        const fs::path link = dir / "link.ini";
        if (c.target_exists) WriteText(target, "[S]\r\nk=1\r\n");
        fs::create_symlink(c.absolute ? target : fs::path("real/settings.ini"), link);

        ASSERT_TRUE(WriteProfileString(link, "S", "k", "2"));

        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(testing::ReadText(target), "[S]\r\nk=2\r\n");
        EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"link.ini", "real"}));
        EXPECT_EQ(Names(dir / "real"), std::vector<std::string>{"settings.ini"});
    }
}

}  // namespace
}  // namespace txisp::platform
