#include "firmware/hex_image.h"

#include <algorithm>
#include <string>

#include "firmware/file_reading.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace txisp::firmware {

namespace {

constexpr std::size_t kCountDigit = 1;
constexpr std::size_t kAddressDigit = 3;
constexpr std::size_t kTypeDigit = 7;
constexpr std::size_t kDataDigit = 9;
constexpr std::uint8_t kDataRecord = 0x00;

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The value of `digits` hex digits at `at`; nullopt when one is not a digit.
std::optional<std::uint32_t> HexValue(std::string_view line, std::size_t at, std::size_t digits) {
    std::uint32_t value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        const int digit = HexDigit(line[i]);
        if (digit < 0) return std::nullopt;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return value;
}

// Reads a file the way a Windows text-mode stream does: CR LF arrives
// as LF, and a line comes in pieces of at most 259 characters, each ending
// after its LF when one comes first.
class LinePieceReader {
public:
    explicit LinePieceReader(FileReader& file) : file_(file) {}

    // The next piece; nullopt at the end of the file.
    Result<std::optional<std::string>> Next() {
        std::string piece;
        while (piece.size() < kHexLinePieceChars) {
            Result<int> c = Get();
            if (!c) return c.status();
            if (*c < 0) break;
            if (*c == '\r') {
                Result<int> after = Peek();
                if (!after) return after.status();
                if (*after == '\n') continue;
            }
            piece.push_back(static_cast<char>(*c));
            if (*c == '\n') break;
        }
        if (piece.empty()) return std::optional<std::string>();
        return std::optional(std::move(piece));
    }

private:
    Result<int> Peek() {
        if (at_ == size_) {
            Result<std::size_t> got = file_.Read(buffer_);
            if (!got) return got.status();
            at_ = 0;
            size_ = *got;
            if (size_ == 0) return -1;
        }
        return static_cast<int>(buffer_[at_]);
    }

    Result<int> Get() {
        Result<int> c = Peek();
        if (c && *c >= 0) ++at_;
        return c;
    }

    FileReader& file_;
    std::vector<std::uint8_t> buffer_ = std::vector<std::uint8_t>(64 * 1024);
    std::size_t at_ = 0;
    std::size_t size_ = 0;
};

void StoreLine(std::string_view text, std::size_t line, FirmwareImage& image,
               HexLoadReport& report) {
    // Blank lines (a trailing empty line is common) are no records at all.
    if (platform::TrimBlanks(text).empty()) return;
    Result<HexRecord> record = ParseHexLine(text);
    if (!record) {
        report.MalformedLines.push_back(line);
        platform::Trace(platform::TraceLevel::Debug,
                        "HEX line " + std::to_string(line) + " skipped: " + record.error());
        return;
    }
    const std::vector<std::uint8_t>& data = record->Data;
    if (data.empty()) return;
    const std::size_t room = kTx64ImageSize - record->Address;
    const std::size_t stored = std::min(data.size(), room);
    std::copy_n(data.begin(), stored, image.Tx64ImageBuffer.begin() + record->Address);
    report.DataBytes += stored;
    if (stored < data.size()) report.ClippedLines.push_back(line);
}

}  // namespace

Result<HexRecord> ParseHexLine(std::string_view line) {
    if (line.size() < kDataDigit) {
        return Result<HexRecord>::Fail("shorter than a record header");
    }
    const auto count = HexValue(line, kCountDigit, 2);
    const auto address = HexValue(line, kAddressDigit, 4);
    const auto type = HexValue(line, kTypeDigit, 2);
    if (!count || !address || !type) {
        return Result<HexRecord>::Fail("a record header character is not a hex digit");
    }
    HexRecord record;
    record.Address = static_cast<std::uint16_t>(*address);
    record.RecordType = static_cast<std::uint8_t>(*type);
    if (record.RecordType != kDataRecord) return record;

    const std::size_t digits = 2 * *count;
    if (line.size() - kDataDigit < digits) {
        return Result<HexRecord>::Fail("byte count " + std::to_string(*count) +
                                       " asks for more data digits than the line holds");
    }
    record.Data.reserve(*count);
    for (std::size_t i = kDataDigit; i < kDataDigit + digits; i += 2) {
        const auto byte = HexValue(line, i, 2);
        if (!byte) return Result<HexRecord>::Fail("a data character is not a hex digit");
        record.Data.push_back(static_cast<std::uint8_t>(*byte));
    }
    return record;
}

Result<HexLoadReport> LoadHexImage(const std::filesystem::path& file, ChipFamily family,
                                   FirmwareImage& image) {
    image.Tx64ImageBuffer.fill(Tx64FillValue(family));
    FileReader reader;
    if (Status opened = reader.Open(file); !opened) return opened;

    LinePieceReader pieces(reader);
    HexLoadReport report;
    std::size_t line = 1;
    bool in_pieces = false;    // earlier pieces of this line came without its end
    bool pieces_blank = true;  // and held nothing but blanks
    for (;;) {
        Result<std::optional<std::string>> next = pieces.Next();
        if (!next) return next.status();
        if (!next->has_value()) break;
        const std::string& piece = **next;
        if (piece.back() != '\n') {
            in_pieces = true;
            pieces_blank = pieces_blank && platform::TrimBlanks(piece).empty();
            continue;
        }
        if (in_pieces) report.LongLines.push_back(line);
        StoreLine(std::string_view(piece).substr(0, piece.size() - 1), line, image, report);
        ++line;
        in_pieces = false;
        pieces_blank = true;
    }
    if (in_pieces && !pieces_blank) report.UnterminatedLine = line;
    return report;
}

}  // namespace txisp::firmware
