#include "platform/ini_profile.h"

#include <algorithm>
#include <array>
#include <span>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/text.h"

namespace txisp::platform {
namespace {

namespace fs = std::filesystem;

// Settings files are a few KiB; a path given by mistake to something huge must
// not be read into memory.
constexpr std::uintmax_t kMaxProfileBytes = 16 * 1024 * 1024;

// GetPrivateProfileIntW reads the value into a small buffer and parses that,
// so digits past this many characters are never seen.
constexpr std::size_t kIntValueUnits = 20;

// ---------------------------------------------------------------------------
// The file as code units

enum class Encoding { kUtf8, kUtf16Le, kUtf16Be };

struct ByteOrderMark {
    std::array<std::uint8_t, 3> bytes;
    std::size_t size;
    Encoding encoding;
};

constexpr std::array<ByteOrderMark, 3> kMarks = {{
    {{0xFF, 0xFE, 0x00}, 2, Encoding::kUtf16Le},
    {{0xFE, 0xFF, 0x00}, 2, Encoding::kUtf16Be},
    {{0xEF, 0xBB, 0xBF}, 3, Encoding::kUtf8},
}};

struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
};

// A file's bytes seen as code units of its encoding (bytes for UTF-8). Every
// character that gives the file its shape ('[', ']', '=', blanks, line ends)
// is ASCII, so lines are found on raw units and only names and values are
// decoded. Edits splice new bytes in and copy the rest, so bytes that do not
// decode (invalid UTF-8, lone surrogates) survive a write untouched.
class UnitText {
public:
    explicit UnitText(std::vector<std::uint8_t> bytes);

    std::size_t size() const { return units_; }
    char16_t operator[](std::size_t unit) const;
    std::u16string Decode(Span span) const;
    // The whole file with the units of `span` replaced by `text`.
    std::vector<std::uint8_t> Splice(Span span, std::u16string_view text) const;

private:
    std::size_t ByteOffset(std::size_t unit) const { return mark_size_ + unit * unit_size_; }
    std::vector<std::uint8_t> Encode(std::u16string_view text) const;

    std::vector<std::uint8_t> bytes_;
    Encoding encoding_ = Encoding::kUtf8;
    std::size_t mark_size_ = 0;
    std::size_t unit_size_ = 1;
    std::size_t units_ = 0;
};

UnitText::UnitText(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {
    for (const ByteOrderMark& mark : kMarks) {
        if (bytes_.size() < mark.size ||
            !std::equal(mark.bytes.begin(), mark.bytes.begin() + mark.size, bytes_.begin())) {
            continue;
        }
        encoding_ = mark.encoding;
        mark_size_ = mark.size;
        unit_size_ = encoding_ == Encoding::kUtf8 ? 1 : 2;
        break;
    }
    // A stray odd last byte of a UTF-16 file is no unit: it stays at the end.
    units_ = (bytes_.size() - mark_size_) / unit_size_;
}

char16_t UnitText::operator[](std::size_t unit) const {
    const std::size_t at = ByteOffset(unit);
    switch (encoding_) {
        case Encoding::kUtf16Le:
            return static_cast<char16_t>(bytes_[at] | (bytes_[at + 1] << 8));
        case Encoding::kUtf16Be:
            return static_cast<char16_t>((bytes_[at] << 8) | bytes_[at + 1]);
        case Encoding::kUtf8:
            break;
    }
    return bytes_[at];
}

std::u16string UnitText::Decode(Span span) const {
    if (encoding_ == Encoding::kUtf8) {
        const auto* data = reinterpret_cast<const char*>(bytes_.data() + ByteOffset(span.begin));
        return Utf8ToUtf16(std::string_view(data, span.end - span.begin));
    }
    std::u16string text;
    for (std::size_t unit = span.begin; unit < span.end; ++unit)
        text.push_back((*this)[unit]);
    return text;
}

std::vector<std::uint8_t> UnitText::Encode(std::u16string_view text) const {
    if (encoding_ == Encoding::kUtf8) {
        const std::string utf8 = Utf16ToUtf8(text);
        return {utf8.begin(), utf8.end()};
    }
    std::vector<std::uint8_t> bytes;
    for (char16_t unit : text) {
        const auto low = static_cast<std::uint8_t>(unit & 0xFF);
        const auto high = static_cast<std::uint8_t>(unit >> 8);
        bytes.push_back(encoding_ == Encoding::kUtf16Le ? low : high);
        bytes.push_back(encoding_ == Encoding::kUtf16Le ? high : low);
    }
    return bytes;
}

std::vector<std::uint8_t> UnitText::Splice(Span span, std::u16string_view text) const {
    const auto begin = bytes_.begin() + static_cast<std::ptrdiff_t>(ByteOffset(span.begin));
    const auto end = bytes_.begin() + static_cast<std::ptrdiff_t>(ByteOffset(span.end));
    std::vector<std::uint8_t> out(bytes_.begin(), begin);
    const std::vector<std::uint8_t> inserted = Encode(text);
    out.insert(out.end(), inserted.begin(), inserted.end());
    out.insert(out.end(), end, bytes_.end());
    return out;
}

// ---------------------------------------------------------------------------
// Lines

enum class LineKind { kOther, kSection, kKey };

struct Line {
    Span text;             // without the line end
    std::size_t next = 0;  // one past the line end
    LineKind kind = LineKind::kOther;
    Span name;               // of the section or key, trimmed
    std::size_t equals = 0;  // keys: the first '='
    Span value;              // keys: trimmed

    bool HasLineEnd() const { return next > text.end; }
};

bool IsBlankUnit(char16_t unit) {
    return unit == u' ' || unit == u'\t';
}

Span Trim(const UnitText& text, Span span) {
    while (span.begin < span.end && IsBlankUnit(text[span.begin]))
        ++span.begin;
    while (span.end > span.begin && IsBlankUnit(text[span.end - 1]))
        --span.end;
    return span;
}

std::optional<std::size_t> FindFirst(const UnitText& text, Span span, char16_t unit) {
    for (std::size_t at = span.begin; at < span.end; ++at) {
        if (text[at] == unit) return at;
    }
    return std::nullopt;
}

std::optional<std::size_t> FindLast(const UnitText& text, Span span, char16_t unit) {
    for (std::size_t at = span.end; at > span.begin; --at) {
        if (text[at - 1] == unit) return at - 1;
    }
    return std::nullopt;
}

// CR LF, LF and CR each end a line.
std::size_t SkipLineEnd(const UnitText& text, std::size_t at) {
    if (at < text.size() && text[at] == u'\r') ++at;
    if (at < text.size() && text[at] == u'\n') ++at;
    return at;
}

void Classify(const UnitText& text, Line& line) {
    const Span trimmed = Trim(text, line.text);
    if (trimmed.begin < trimmed.end && text[trimmed.begin] == u'[') {
        // The name runs to the last ']', so "[Name] ; remark" is section
        // "Name". Without any ']' the line is no header and stays part of the
        // section above.
        if (const auto close = FindLast(text, trimmed, u']')) {
            line.kind = LineKind::kSection;
            line.name = Trim(text, {trimmed.begin + 1, *close});
            return;
        }
    }
    if (const auto equals = FindFirst(text, trimmed, u'=')) {
        line.kind = LineKind::kKey;
        line.equals = *equals;
        line.name = Trim(text, {trimmed.begin, *equals});
        line.value = Trim(text, {*equals + 1, trimmed.end});
    }
}

std::vector<Line> SplitLines(const UnitText& text) {
    std::vector<Line> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        Line line;
        line.text.begin = at;
        while (at < text.size() && text[at] != u'\r' && text[at] != u'\n')
            ++at;
        line.text.end = at;
        at = SkipLineEnd(text, at);
        line.next = at;
        Classify(text, line);
        lines.push_back(line);
    }
    return lines;
}

// One enclosing pair of the same quote is removed; quotes that do not enclose
// the whole value ("a" ; b) are part of it.
Span Unquote(const UnitText& text, Span value) {
    if (value.end - value.begin < 2) return value;
    const char16_t first = text[value.begin];
    if ((first != u'"' && first != u'\'') || text[value.end - 1] != first) return value;
    return {value.begin + 1, value.end - 1};
}

// ---------------------------------------------------------------------------
// A profile: lookups and edits

class Profile {
public:
    explicit Profile(std::vector<std::uint8_t> bytes)
        : text_(std::move(bytes)), lines_(SplitLines(text_)) {}

    // Section and key are expected trimmed.
    std::optional<std::u16string> Value(std::string_view section, std::string_view key) const;
    std::vector<std::uint8_t> WithValue(std::string_view section, std::string_view key,
                                        std::string_view value) const;

private:
    // Line indices: the header and one past the section's last line.
    struct SectionLines {
        std::size_t header = 0;
        std::size_t end = 0;
    };

    bool NameIs(Span name, std::string_view wanted) const;
    // Only the first section of a name counts, as for the system's functions.
    std::optional<SectionLines> FindSection(std::string_view name) const;
    std::optional<std::size_t> FindKey(SectionLines section, std::string_view key) const;
    std::size_t LastKeyLine(SectionLines section) const;
    std::u16string LineEnd() const;
    // Whole lines after `line`, or at the start when there is none.
    std::vector<std::uint8_t> InsertAfter(const Line* line, std::u16string_view added,
                                          std::u16string_view eol) const;

    UnitText text_;
    std::vector<Line> lines_;
};

bool Profile::NameIs(Span name, std::string_view wanted) const {
    return EqualsIgnoreAsciiCase(Utf16ToUtf8(text_.Decode(name)), wanted);
}

std::optional<Profile::SectionLines> Profile::FindSection(std::string_view name) const {
    for (std::size_t header = 0; header < lines_.size(); ++header) {
        if (lines_[header].kind != LineKind::kSection || !NameIs(lines_[header].name, name)) {
            continue;
        }
        std::size_t end = header + 1;
        while (end < lines_.size() && lines_[end].kind != LineKind::kSection)
            ++end;
        return SectionLines{header, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> Profile::FindKey(SectionLines section, std::string_view key) const {
    for (std::size_t at = section.header + 1; at < section.end; ++at) {
        if (lines_[at].kind == LineKind::kKey && NameIs(lines_[at].name, key)) return at;
    }
    return std::nullopt;
}

// A new key joins the section's last key rather than its end, so it lands
// before the blank lines and remarks that part it from the next section.
std::size_t Profile::LastKeyLine(SectionLines section) const {
    for (std::size_t at = section.end; at > section.header + 1; --at) {
        if (lines_[at - 1].kind == LineKind::kKey) return at - 1;
    }
    return section.header;
}

// New lines follow the file's own style, judged by its first line end.
std::u16string Profile::LineEnd() const {
    for (const Line& line : lines_) {
        if (line.HasLineEnd()) return text_.Decode({line.text.end, line.next});
    }
    return u"\r\n";
}

std::optional<std::u16string> Profile::Value(std::string_view section, std::string_view key) const {
    const auto lines = FindSection(section);
    if (!lines) return std::nullopt;
    const auto found = FindKey(*lines, key);
    if (!found) return std::nullopt;
    return text_.Decode(Unquote(text_, lines_[*found].value));
}

std::vector<std::uint8_t> Profile::WithValue(std::string_view section, std::string_view key,
                                             std::string_view value) const {
    const std::u16string eol = LineEnd();
    const std::u16string entry = Utf8ToUtf16(key) + u'=' + Utf8ToUtf16(value) + eol;
    const auto lines = FindSection(section);
    if (!lines) {
        const std::u16string header = u'[' + Utf8ToUtf16(section) + u']' + eol;
        return InsertAfter(lines_.empty() ? nullptr : &lines_.back(), header + entry, eol);
    }
    if (const auto found = FindKey(*lines, key)) {
        // Everything up to the '=' stays as written, the key's spelling with it.
        const Line& line = lines_[*found];
        return text_.Splice({line.equals + 1, line.text.end}, Utf8ToUtf16(value));
    }
    return InsertAfter(&lines_[LastKeyLine(*lines)], entry, eol);
}

std::vector<std::uint8_t> Profile::InsertAfter(const Line* line, std::u16string_view added,
                                               std::u16string_view eol) const {
    const std::size_t at = line == nullptr ? 0 : line->next;
    if (line == nullptr || line->HasLineEnd()) return text_.Splice({at, at}, added);
    // The file stopped without ending its last line; end it first.
    return text_.Splice({at, at}, std::u16string(eol) + std::u16string(added));
}

// ---------------------------------------------------------------------------
// Numbers

enum class HexSign { kApplied, kIgnored };

std::optional<unsigned> DigitValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    return std::nullopt;
}

// Unsigned arithmetic wraps modulo 2^32, which is exactly the overflow
// behaviour wanted: no range check.
std::optional<std::uint32_t> ReadDigits(std::string_view text, unsigned base) {
    std::uint32_t value = 0;
    std::size_t count = 0;
    for (char c : text) {
        const auto digit = DigitValue(c);
        if (!digit || *digit >= base) break;
        value = value * base + *digit;
        ++count;
    }
    if (count == 0) return std::nullopt;
    return value;
}

bool IsNumberBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::optional<std::uint32_t> ParseLeadingNumber(std::string_view text, HexSign hex_sign) {
    while (!text.empty() && IsNumberBlank(text.front()))
        text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const bool hex = text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const auto magnitude = hex ? ReadDigits(text.substr(2), 16) : ReadDigits(text, 10);
    if (!magnitude) return std::nullopt;
    if (negative && !(hex && hex_sign == HexSign::kIgnored)) return 0u - *magnitude;
    return magnitude;
}

std::optional<std::u16string> ReadValue(const fs::path& file, std::string_view section,
                                        std::string_view key) {
    auto contents = ReadFileIfExists(file, kMaxProfileBytes);
    if (!contents || !contents->has_value()) return std::nullopt;
    return Profile(std::move(**contents)).Value(TrimBlanks(section), TrimBlanks(key));
}

// Never splits a surrogate pair: a high surrogate left last is dropped.
std::string CutToBuffer(std::u16string text, std::size_t buffer_units) {
    const std::size_t limit = buffer_units == 0 ? 0 : buffer_units - 1;
    if (text.size() > limit) {
        text.resize(limit);
        if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) text.pop_back();
    }
    return Utf16ToUtf8(text);
}

std::string_view WithoutTrailingSpaces(std::string_view text) {
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != text.npos;
}

}  // namespace

std::string ReadProfileString(const fs::path& file, std::string_view section, std::string_view key,
                              std::string_view default_value, std::size_t buffer_units) {
    std::optional<std::u16string> value = ReadValue(file, section, key);
    if (!value) value = Utf8ToUtf16(WithoutTrailingSpaces(default_value));
    return CutToBuffer(std::move(*value), buffer_units);
}

std::int32_t ReadProfileInt(const fs::path& file, std::string_view section, std::string_view key,
                            std::int32_t default_value) {
    const std::optional<std::u16string> value = ReadValue(file, section, key);
    if (!value || value->empty()) return default_value;
    const std::string head = Utf16ToUtf8(std::u16string_view(*value).substr(0, kIntValueUnits));
    return static_cast<std::int32_t>(ParseLeadingNumber(head, HexSign::kApplied).value_or(0));
}

bool WriteProfileString(const fs::path& file, std::string_view section, std::string_view key,
                        std::string_view value) {
    // A line break would add lines of its own that a later read takes for
    // other keys or sections.
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
    // A file that exists but cannot be read is never replaced: its other
    // lines would be lost.
    auto contents = ReadFileIfExists(file, kMaxProfileBytes);
    if (!contents) return false;
    const Profile profile(contents->value_or(std::vector<std::uint8_t>()));
    const auto bytes = profile.WithValue(TrimBlanks(section), TrimBlanks(key), value);
    return WriteFileAtomically(file, bytes).ok();
}

std::optional<std::int32_t> ParseIntEx(std::string_view text) {
    const auto value = ParseLeadingNumber(text, HexSign::kIgnored);
    if (!value) return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

}  // namespace txisp::platform
