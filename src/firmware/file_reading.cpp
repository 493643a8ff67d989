#include "firmware/file_reading.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace txisp::firmware {

Status FileReader::Open(const std::filesystem::path& path) {
    path_ = path;
    // O_NONBLOCK keeps the open of a FIFO from waiting for a writer.
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) {
        return Status::Fail("cannot open " + path.string() + ": " + platform::ErrnoText(errno));
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return Status::Fail(path.string() + " is not a regular file");
    }
    fd_ = std::move(fd);
    size_ = static_cast<std::uintmax_t>(info.st_size);
    return Status::Ok();
}

Status FileReader::Seek(std::uintmax_t offset) {
    if (::lseek(fd_.get(), static_cast<off_t>(offset), SEEK_SET) < 0) {
        return Status::Fail("cannot seek in " + path_.string() + ": " + platform::ErrnoText(errno));
    }
    return Status::Ok();
}

Result<std::size_t> FileReader::Read(std::span<std::uint8_t> buffer) {
    std::size_t done = 0;
    while (done < buffer.size()) {
        const ssize_t got = ::read(fd_.get(), buffer.data() + done, buffer.size() - done);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            return Result<std::size_t>::Fail("cannot read " + path_.string() + ": " +
                                             platform::ErrnoText(errno));
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

Result<FileSlice> ReadFileSlice(const std::filesystem::path& path, std::uintmax_t offset,
                                std::size_t max_bytes) {
    FileReader reader;
    if (Status opened = reader.Open(path); !opened) return opened;
    FileSlice slice;
    slice.FileSize = reader.size();
    if (offset >= reader.size()) return slice;
    if (Status sought = reader.Seek(offset); !sought) return sought;
    const std::uintmax_t left = reader.size() - offset;
    slice.Bytes.resize(left < max_bytes ? static_cast<std::size_t>(left) : max_bytes);
    Result<std::size_t> got = reader.Read(slice.Bytes);
    if (!got) return got.status();
    // A file that shrank since it was opened gives what it still has.
    slice.Bytes.resize(*got);
    return slice;
}

}  // namespace txisp::firmware
