#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

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
    if (ec)
        return std::nullopt;
    return self;
}

bool MakeFolderPath(const fs::path& path) {
    std::string text = path.string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    if (text.empty())
        return false;

    std::error_code ec;
    fs::file_status status = fs::status(text, ec);
    if (fs::exists(status))
        return fs::is_directory(status);

    // A bare name has nothing to create above it; the system reports success
    // without creating it, and callers only ever pass full paths.
    std::size_t slash = text.rfind('/');
    if (slash == std::string::npos)
        return true;

    std::string parent = slash == 0 ? "/" : text.substr(0, slash);
    if (!MakeFolderPath(parent))
        return false;
    if (::mkdir(text.c_str(), 0777) == 0)
        return true;
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
    if (month < 1 || month > 12 || day < 1 || day > kDaysInMonth[month - 1])
        return std::nullopt;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap)
        return std::nullopt;
    if (hour > 23 || minute > 59 || second > 59)
        return std::nullopt;

    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;  // let the time zone decide, as a local time does
    std::time_t result = std::mktime(&local);
    if (result == static_cast<std::time_t>(-1))
        return std::nullopt;
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

Result<std::vector<std::uint8_t>> ReadFileBytes(const fs::path& file, std::uintmax_t max_bytes) {
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return Result<std::vector<std::uint8_t>>::Fail("cannot open " + file.string() + ": " +
                                                       std::strerror(errno));
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0)
        return Result<std::vector<std::uint8_t>>::Fail("cannot read " + file.string());
    if (static_cast<std::uintmax_t>(size) > max_bytes) {
        return Result<std::vector<std::uint8_t>>::Fail(file.string() + " is larger than " +
                                                       std::to_string(max_bytes) + " bytes");
    }
    in.seekg(0, std::ios::beg);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) {
        return Result<std::vector<std::uint8_t>>::Fail("cannot read " + file.string());
    }
    return bytes;
}

namespace {

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

Status WriteFileAtomically(const fs::path& target, std::span<const std::uint8_t> bytes,
                           unsigned mode) {
    // Writing through a link replaces what it points to, as an in-place write
    // would; renaming over the link itself would silently cut it.
    std::error_code ec;
    fs::path file = target;
    if (fs::is_symlink(target, ec)) {
        file = fs::weakly_canonical(target, ec);
        if (ec)
            return Status::Fail("cannot resolve " + target.string() + ": " + ec.message());
    }

    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    std::string temp = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return Status::Fail("cannot create a file in " + folder.string() + ": " +
                            std::strerror(errno));
    }

    struct stat existing {};
    mode_t final_mode;
    if (::stat(file.c_str(), &existing) == 0) {
        final_mode = existing.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        final_mode = static_cast<mode_t>(mode) & ~mask;
    }

    const bool written = WriteAll(fd, bytes) && ::fchmod(fd, final_mode) == 0 && ::fsync(fd) == 0;
    const int saved_errno = errno;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.c_str(), file.c_str()) != 0) {
        const int error = !written ? saved_errno : errno;
        ::unlink(temp.c_str());
        return Status::Fail("cannot write " + file.string() + ": " + std::strerror(error));
    }
    return Status::Ok();
}

std::optional<fs::path> FindFileIgnoringCase(const fs::path& folder, std::string_view name) {
    std::error_code ec;
    fs::path exact = folder / name;
    if (fs::exists(exact, ec))
        return exact;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (EqualsIgnoreAsciiCase(it->path().filename().string(), name))
            return it->path();
    }
    return std::nullopt;
}

}  // namespace txisp::platform
