#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>
#include <utility>

#include "platform/text.h"

namespace txisp::platform {

namespace fs = std::filesystem;

std::string ToNativeSeparators(std::string_view path) {
    std::string out(path);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

std::optional<fs::path> ModuleFileName() {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return std::nullopt;
    return self;
}

bool MakeFolderPath(const fs::path& path) {
    std::string text = path.string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    if (text.empty()) return false;

    std::error_code ec;
    fs::file_status status = fs::status(text, ec);
    if (fs::exists(status)) return fs::is_directory(status);

    // A bare name has nothing to create above it; the system reports success
    // without creating it, and callers only ever pass full paths.
    std::size_t slash = text.rfind('/');
    if (slash == std::string::npos) return true;

    std::string parent = slash == 0 ? "/" : text.substr(0, slash);
    if (!MakeFolderPath(parent)) return false;
    if (::mkdir(text.c_str(), 0777) == 0) return true;
    return errno == EEXIST && fs::is_directory(text, ec);
}

bool DeleteTree(const fs::path& path) {
    std::error_code ec;
    fs::remove_all(path, ec);  // removes links themselves, never their targets
    return !fs::exists(fs::symlink_status(path, ec));
}

std::optional<std::time_t> DosDateTimeToTime(std::uint32_t dos_date_time) {
    const unsigned date = dos_date_time >> 16;
    const unsigned time = dos_date_time & 0xFFFF;
    const int year = 1980 + static_cast<int>(date >> 9);
    const int month = static_cast<int>((date >> 5) & 0x0F);
    const int day = static_cast<int>(date & 0x1F);
    const int hour = static_cast<int>(time >> 11);
    const int minute = static_cast<int>((time >> 5) & 0x3F);
    const int second = static_cast<int>(time & 0x1F) * 2;

    static constexpr int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDaysInMonth[month - 1]) return std::nullopt;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap) return std::nullopt;
    if (hour > 23 || minute > 59 || second > 59) return std::nullopt;

    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;  // let the time zone decide, as a local time does
    std::time_t result = std::mktime(&local);
    if (result == static_cast<std::time_t>(-1)) return std::nullopt;
    return result;
}

bool SetFileModificationTime(const fs::path& file, std::time_t time) {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;  // keep the access time
    times[1].tv_sec = time;
    times[1].tv_nsec = 0;
    return ::utimensat(AT_FDCWD, file.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

std::string ErrnoText(int error) {
    return std::error_code(error, std::generic_category()).message();
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.Release();
    }
    return *this;
}

int UniqueFd::Release() {
    return std::exchange(fd_, -1);
}

bool UniqueFd::Close() {
    if (fd_ < 0) return true;
    return ::close(std::exchange(fd_, -1)) == 0;
}

int WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return errno;
        if (written == 0) return EIO;
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return 0;
}

Result<std::optional<std::vector<std::uint8_t>>> ReadFileIfExists(const fs::path& file,
                                                                  std::uintmax_t max_bytes) {
    using Read = Result<std::optional<std::vector<std::uint8_t>>>;
    // O_NONBLOCK so that a FIFO at the path cannot hang the open.
    UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) {
        if (errno == ENOENT) return std::optional<std::vector<std::uint8_t>>();
        return Read::Fail("cannot open " + file.string() + ": " + ErrnoText(errno));
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return Read::Fail(file.string() + " is not a regular file");
    }
    if (static_cast<std::uintmax_t>(info.st_size) > max_bytes) {
        return Read::Fail(file.string() + " is larger than " + std::to_string(max_bytes) +
                          " bytes");
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return Read::Fail("cannot read " + file.string() + ": " + ErrnoText(errno));
        if (got == 0) break;  // shrunk since fstat
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return std::optional(std::move(bytes));
}

Result<std::vector<std::uint8_t>> ReadFileBytes(const fs::path& file, std::uintmax_t max_bytes) {
    auto read = ReadFileIfExists(file, max_bytes);
    if (!read) return read.status();
    if (!read->has_value())
        return Result<std::vector<std::uint8_t>>::Fail(file.string() + " does not exist");
    return std::move(**read);
}

namespace {

// As many links as the kernel follows before it gives up with ELOOP.
constexpr int kMaxLinkHops = 40;

// Writing to the link's target keeps the link, and whatever else shares that
// target sees the change; renaming over the link would turn it into a plain
// file. A dangling link gets its target created.
std::optional<fs::path> ResolveLinks(fs::path path) {
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        std::error_code error;
        const fs::file_status status = fs::symlink_status(path, error);
        if (status.type() == fs::file_type::not_found) return path;
        if (error) return std::nullopt;
        if (status.type() != fs::file_type::symlink) return path;
        const fs::path target = fs::read_symlink(path, error);
        if (error) return std::nullopt;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return std::nullopt;
}

// umask() can only be read by setting it, which races with other threads
// creating files; the kernel shows it here instead.
mode_t CurrentUmask() {
    constexpr mode_t kUsual = 022;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0) {
            return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
        }
    }
    return kUsual;
}

fs::path FolderOf(const fs::path& file) {
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

// The rename only survives a crash once the folder's entry is on disk. The
// file is already replaced by then, so a failure here is not reported.
void SyncFolder(const fs::path& folder) {
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) ::fsync(fd.get());
}

}  // namespace

AtomicFileWriter::~AtomicFileWriter() {
    if (!temp_.empty()) ::unlink(temp_.c_str());
}

Status AtomicFileWriter::Open(const fs::path& target) {
    const auto resolved = ResolveLinks(target);
    if (!resolved) return Status::Fail("cannot resolve the links of " + target.string());
    target_ = *resolved;
    const fs::path folder = FolderOf(target_);
    std::string pattern = (folder / ("." + target_.filename().string() + ".XXXXXX")).string();
    fd_ = UniqueFd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!fd_.valid()) {
        return Status::Fail("cannot create a file in " + folder.string() + ": " + ErrnoText(errno));
    }
    temp_ = pattern;
    return Status::Ok();
}

Status AtomicFileWriter::Write(std::span<const std::uint8_t> bytes) {
    if (int error = WriteAll(fd_.get(), bytes); error != 0) {
        return Status::Fail("cannot write " + target_.string() + ": " + ErrnoText(error));
    }
    return Status::Ok();
}

Status AtomicFileWriter::Commit(std::optional<unsigned> mode) {
    auto fail = [&](const char* what) {
        return Status::Fail(std::string(what) + " " + target_.string() + ": " + ErrnoText(errno));
    };
    mode_t final_mode = 0;
    struct stat existing {};
    if (mode) {
        final_mode = static_cast<mode_t>(*mode);
    } else if (::stat(target_.c_str(), &existing) == 0) {
        final_mode = existing.st_mode & 07777;
    } else {
        final_mode = 0666 & ~CurrentUmask();
    }
    if (::fchmod(fd_.get(), final_mode) != 0) return fail("cannot set the mode of");
    if (::fsync(fd_.get()) != 0) return fail("cannot flush");
    if (!fd_.Close()) return fail("cannot write");
    if (::rename(temp_.c_str(), target_.c_str()) != 0) return fail("cannot replace");
    temp_.clear();
    SyncFolder(FolderOf(target_));
    return Status::Ok();
}

Status WriteFileAtomically(const fs::path& file, std::span<const std::uint8_t> bytes,
                           unsigned mode) {
    AtomicFileWriter writer;
    Status status = writer.Open(file);
    if (status) status = writer.Write(bytes);
    if (!status) return status;
    struct stat existing {};
    if (::stat(file.c_str(), &existing) == 0) return writer.Commit();
    return writer.Commit(mode & ~CurrentUmask());
}

std::optional<fs::path> FindFileIgnoringCase(const fs::path& folder, std::string_view name) {
    std::error_code ec;
    fs::path exact = folder / name;
    if (fs::exists(exact, ec)) return exact;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (EqualsIgnoreAsciiCase(it->path().filename().string(), name)) return it->path();
    }
    return std::nullopt;
}

}  // namespace txisp::platform
