#include "output/atomic_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace blocknest {
namespace {

std::string reason(const std::filesystem::path& path, int error) {
    return "cannot write '" + path.string() + "': " + std::strerror(error);
}

// The mode a newly created file gets, or the mode of the file being replaced.
mode_t modeFor(const std::filesystem::path& target) {
    struct stat existing {};
    if (stat(target.c_str(), &existing) == 0) return existing.st_mode & 07777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

std::optional<std::string> replaceFile(const std::filesystem::path& target,
                                       std::string_view contents) {
    const std::filesystem::path directory =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::string pattern = (directory / ("." + target.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) return reason(target, errno);
    const std::filesystem::path temporary(name.data());
    int error = 0;
    if (fchmod(fd, modeFor(target)) != 0) error = errno;
    std::size_t written = 0;
    while (error == 0 && written < contents.size()) {
        const ssize_t n = write(fd, contents.data() + written, contents.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
        } else {
            written += static_cast<std::size_t>(n);
        }
    }
    if (error == 0 && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && std::rename(temporary.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        unlink(temporary.c_str());
        return reason(target, error);
    }
    return std::nullopt;
}

}  // namespace blocknest
