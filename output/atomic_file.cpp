#include "output/atomic_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace blocknest {
namespace {

std::string reason(const std::filesystem::path& path, int error) {
    return "cannot write '" + path.string() + "': " + std::strerror(error);
}

// The mode a newly created file gets, or the permission bits of the file being replaced (never
// its set-user-ID, set-group-ID or sticky bit, as an editor would).
mode_t modeFor(const std::filesystem::path& target) {
    struct stat existing {};
    if (stat(target.c_str(), &existing) == 0) return existing.st_mode & 0777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

std::filesystem::path directoryOf(const std::filesystem::path& target) {
    return target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
}

// A fresh hidden name beside target, made by creating an empty file there.
std::optional<std::filesystem::path> hiddenName(const std::filesystem::path& target, int& fd) {
    const std::string pattern =
        (directoryOf(target) / ("." + target.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd = mkstemp(name.data());
    if (fd < 0) return std::nullopt;
    return std::filesystem::path(name.data());
}

int writeAll(int fd, std::string_view contents) {
    std::size_t written = 0;
    while (written < contents.size()) {
        const ssize_t n = write(fd, contents.data() + written, contents.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        written += static_cast<std::size_t>(n);
    }
    // On the disk before the rename, so that after a power loss the name never points to an
    // empty file. Only a lost power shows this, so no test can.
    if (fsync(fd) != 0) return errno;
    return 0;
}

bool unnamedFilesAllowed() {
    const char* named = std::getenv("BLOCKNEST_NAMED_TEMPORARIES");
    return named == nullptr || std::string_view(named) != "1";
}

// Exclusive locks on folders, held until it goes out of scope. A folder is locked through a
// descriptor of its own, so that no lock file is left in it. Folders are taken in sorted
// order, so two sets that share folders cannot wait for each other. A folder that cannot be
// opened or locked (a file system without locks) is written unlocked.
class FolderLocks {
public:
    explicit FolderLocks(std::vector<std::filesystem::path> folders) {
        for (std::filesystem::path& folder : folders) {
            std::error_code error;
            const std::filesystem::path canonical =
                std::filesystem::weakly_canonical(folder, error);
            if (!error) folder = canonical;
        }
        std::sort(folders.begin(), folders.end());
        folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
        for (const std::filesystem::path& folder : folders) {
            const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0) continue;
            int locked = 0;
            do {
                locked = flock(fd, LOCK_EX);
            } while (locked != 0 && errno == EINTR);
            if (locked != 0) {
                close(fd);
                continue;
            }
            fds_.push_back(fd);
        }
    }
    FolderLocks(const FolderLocks&) = delete;
    FolderLocks& operator=(const FolderLocks&) = delete;
    ~FolderLocks() {
        for (const int fd : fds_) close(fd);  // closing the descriptor releases its lock
    }

private:
    std::vector<int> fds_;
};

}  // namespace

OutputSet::~OutputSet() {
    for (const Staged& s : staged_) {
        if (s.fd >= 0) close(s.fd);
        if (!s.named.empty()) unlink(s.named.c_str());
    }
}

std::optional<std::string> OutputSet::stage(const std::filesystem::path& target,
                                            std::string_view contents) {
    Staged staged{target, -1, {}};
    // A folder in the target's place would fail only at the rename, after other files of the
    // set may have been replaced.
    if (std::error_code e; std::filesystem::is_directory(target, e)) return reason(target, EISDIR);
    const mode_t mode = modeFor(target);
#ifdef O_TMPFILE
    if (unnamedFilesAllowed())
        staged.fd = open(directoryOf(target).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
#endif
    if (staged.fd < 0) {
        // No unnamed files here (an older kernel, or a file system without them).
        const std::optional<std::filesystem::path> name = hiddenName(target, staged.fd);
        if (!name) return reason(target, errno);
        staged.named = *name;
    }
    int error = 0;
    if (fchmod(staged.fd, mode) != 0) error = errno;
    if (error == 0) error = writeAll(staged.fd, contents);
    if (!staged.named.empty()) {
        if (close(staged.fd) != 0 && error == 0) error = errno;
        staged.fd = -1;
    }
    staged_.push_back(staged);  // the destructor removes it whatever happens next
    if (error != 0) return reason(target, error);
    return std::nullopt;
}

std::optional<std::string> OutputSet::commit() {
    // First every file gets its hidden name; then the renames, which take no space and
    // hardly any time, put them in place one after another.
    for (Staged& s : staged_) {
        if (s.fd < 0) continue;
        int unused = -1;
        const std::optional<std::filesystem::path> name = hiddenName(s.target, unused);
        if (!name) return reason(s.target, errno);
        close(unused);
        unlink(name->c_str());
        // Linking a file by its descriptor needs a privilege; its /proc entry does not.
        const std::string self = "/proc/self/fd/" + std::to_string(s.fd);
        if (linkat(s.fd, "", AT_FDCWD, name->c_str(), AT_EMPTY_PATH) != 0 &&
            linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name->c_str(), AT_SYMLINK_FOLLOW) != 0) {
            return reason(s.target, errno);
        }
        s.named = *name;
        close(s.fd);
        s.fd = -1;
    }
    std::vector<std::filesystem::path> folders;
    for (const Staged& s : staged_) folders.push_back(directoryOf(s.target));
    for (const std::filesystem::path& target : removals_) folders.push_back(directoryOf(target));
    const FolderLocks locks(std::move(folders));
    // A stale file goes first: a run stopped between leaves it missing rather than beside
    // outputs it does not belong to.
    for (const std::filesystem::path& target : removals_) {
        if (unlink(target.c_str()) != 0 && errno != ENOENT) return reason(target, errno);
    }
    removals_.clear();
    for (Staged& s : staged_) {
        if (std::rename(s.named.c_str(), s.target.c_str()) != 0) return reason(s.target, errno);
        s.named.clear();
    }
    staged_.clear();
    return std::nullopt;
}

void OutputSet::stageRemoval(const std::filesystem::path& target) { removals_.push_back(target); }

std::optional<std::string> replaceFile(const std::filesystem::path& target,
                                       std::string_view contents) {
    OutputSet set;
    if (std::optional<std::string> failure = set.stage(target, contents)) return failure;
    return set.commit();
}

}  // namespace blocknest
