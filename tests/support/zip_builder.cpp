#include "support/zip_builder.h"

#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <stdexcept>

namespace txisp::testing {

void WriteZip(const std::filesystem::path& file, const std::vector<ZipEntrySpec>& entries) {
    zipFile zip = zipOpen64(file.c_str(), APPEND_STATUS_CREATE);
    if (zip == nullptr) throw std::runtime_error("zipOpen64 failed for " + file.string());
    for (const ZipEntrySpec& entry : entries) {
        zip_fileinfo info{};
        info.dosDate = entry.DosDateTime;
        constexpr uLong kMadeByDos = 20;
        constexpr uLong kMadeByUnix = (3u << 8) | 20;
        if (entry.UnixSymlink) info.external_fa = static_cast<uLong>(S_IFLNK | 0777) << 16;
        const int opened = zipOpenNewFileInZip4_64(
            zip, entry.Name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
            Z_DEFAULT_COMPRESSION, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0,
            entry.UnixSymlink ? kMadeByUnix : kMadeByDos, 0, 0);
        if (opened != ZIP_OK) throw std::runtime_error("cannot add " + entry.Name);
        if (!entry.Data.empty() &&
            zipWriteInFileInZip(zip, entry.Data.data(), static_cast<unsigned>(entry.Data.size())) !=
                ZIP_OK) {
            throw std::runtime_error("cannot write " + entry.Name);
        }
        zipCloseFileInZip(zip);
    }
    if (zipClose(zip, nullptr) != ZIP_OK) throw std::runtime_error("zipClose failed");
}

std::vector<std::string> ListFiles(const std::filesystem::path& root) {
    std::vector<std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file() || it->is_symlink()) {
            files.push_back(std::filesystem::relative(it->path(), root).string());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

}  // namespace txisp::testing
