#include "atomicfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tivane {

namespace {

constexpr std::string_view kTempMark = ".tivane-";
constexpr size_t kTempRandom = 6; // the XXXXXX of mkstemp

// The folder part of `path` with its slash ("dir/"), or "" for a bare name.
std::string FolderPart(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

WriteResult Errno() {
    return {ErrnoText(errno)};
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// A replaced file keeps its permissions; a new one gets what open(2) would have given it
// (mkstemp makes it for its owner only).
mode_t ModeFor(const std::string& target) {
    struct stat st;
    if (::stat(target.c_str(), &st) == 0) return st.st_mode & 07777;
    static const mode_t umaskBits = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mask;
    }();
    return 0666 & ~umaskBits;
}

// mkstemp beside `target`, with the target's mode; the open descriptor, or -1 with errno.
int OpenTemporary(const std::string& target, std::string& temp) {
    temp = TemporaryPattern(target);
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return -1;
    ::fchmod(fd, ModeFor(target));
    return fd;
}

// Keeps errno of the failure across the clean-up.
WriteResult RemoveAfterFailure(const std::string& temp) {
    const int code = errno;
    ::unlink(temp.c_str());
    return {ErrnoText(code)};
}

// The rename is durable only when the folder's entry is; file systems that cannot sync a
// folder refuse it, and the rename itself has happened by then, so errors are not failures.
void SyncFolder(const std::string& path) {
    const std::string folder = FolderPart(path);
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool IsRandomPart(std::string_view s) {
    if (s.size() != kTempRandom) return false;
    for (const char c : s) {
        const bool alnum =
            (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!alnum) return false;
    }
    return true;
}

} // namespace

std::string ErrnoText(int code) {
    return std::strerror(code);
}

std::string TemporaryPattern(const std::string& target) {
    const size_t slash = target.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    return target.substr(0, nameStart) + "." + target.substr(nameStart) + std::string(kTempMark) +
           std::string(kTempRandom, 'X');
}

WriteResult CheckReplaceable(const std::string& target) {
    struct stat st;
    if (::stat(target.c_str(), &st) != 0) return errno == ENOENT ? WriteResult{} : Errno();
    if (S_ISDIR(st.st_mode)) return {ErrnoText(EISDIR)};
    if (::access(target.c_str(), W_OK) != 0) return Errno();
    return {};
}

WriteResult StageFile(const std::string& target, std::string_view bytes, std::string& temp) {
    if (WriteResult r = CheckReplaceable(target); !r.Ok()) return r;
    const int fd = OpenTemporary(target, temp);
    if (fd < 0) return Errno();
    if (!WriteAll(fd, bytes) || ::fsync(fd) != 0) {
        const int code = errno;
        ::close(fd);
        errno = code;
        return RemoveAfterFailure(temp);
    }
    // close reports delayed write errors (NFS and some FUSE file systems) here.
    if (::close(fd) != 0) return RemoveAfterFailure(temp);
    return {};
}

WriteResult CreateTemporary(const std::string& target, std::string& temp) {
    if (WriteResult r = CheckReplaceable(target); !r.Ok()) return r;
    const int fd = OpenTemporary(target, temp);
    if (fd < 0) return Errno();
    if (::close(fd) != 0) return RemoveAfterFailure(temp);
    return {};
}

WriteResult RenameIntoPlace(const std::string& temp, const std::string& target) {
    if (WriteResult r = CheckReplaceable(target); !r.Ok()) {
        ::unlink(temp.c_str());
        return r;
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) return RemoveAfterFailure(temp);
    SyncFolder(target);
    return {};
}

WriteResult CommitFile(const std::string& temp, const std::string& target) {
    const int fd = ::open(temp.c_str(), O_RDONLY);
    if (fd < 0) return RemoveAfterFailure(temp);
    const bool synced = ::fsync(fd) == 0;
    const int code = errno;
    ::close(fd);
    if (!synced) {
        errno = code;
        return RemoveAfterFailure(temp);
    }
    return RenameIntoPlace(temp, target);
}

WriteResult WriteFileAtomically(const std::string& target, std::string_view bytes) {
    std::string temp;
    if (WriteResult r = StageFile(target, bytes, temp); !r.Ok()) return r;
    return RenameIntoPlace(temp, target);
}

AtomicFile::~AtomicFile() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_temp.empty()) ::unlink(m_temp.c_str());
}

bool AtomicFile::Failed(int code) {
    if (m_error.empty()) m_error = ErrnoText(code);
    return false;
}

bool AtomicFile::Open() {
    if (WriteResult r = CheckReplaceable(m_target); !r.Ok()) {
        m_error = r.error;
        return false;
    }
    m_fd = OpenTemporary(m_target, m_temp);
    if (m_fd < 0) {
        m_temp.clear();
        return Failed(errno);
    }
    return true;
}

bool AtomicFile::Write(std::string_view bytes) {
    if (m_fd < 0 || !m_error.empty()) return false;
    return WriteAll(m_fd, bytes) || Failed(errno);
}

WriteResult AtomicFile::Commit() {
    if (m_fd < 0 && m_error.empty()) m_error = ErrnoText(EBADF);
    if (!m_error.empty()) return {m_error};
    const bool synced = ::fsync(m_fd) == 0 || Failed(errno);
    const bool closed = ::close(m_fd) == 0 || Failed(errno);
    m_fd = -1;
    if (!synced || !closed) return {m_error};
    const WriteResult r = CommitFile(m_temp, m_target);
    m_temp.clear(); // renamed, or removed by CommitFile
    m_error = r.error;
    return r;
}

int RemoveStaleTemporaries(const std::string& folder,
                           const std::function<bool(std::string_view target)>& belongs) {
    std::error_code ec;
    std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec);
    int removed = 0;
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const size_t minimum = 2 + kTempMark.size() + kTempRandom; // ".x.tivane-XXXXXX"
        if (name.size() < minimum || name[0] != '.') continue;
        const std::string_view tail = std::string_view(name).substr(name.size() - kTempRandom);
        const size_t mark = name.size() - kTempRandom - kTempMark.size();
        if (name.compare(mark, kTempMark.size(), kTempMark) != 0 || !IsRandomPart(tail)) continue;
        if (!belongs(std::string_view(name).substr(1, mark - 1))) continue;
        std::error_code removeError;
        if (it->is_regular_file(removeError) && std::filesystem::remove(it->path(), removeError))
            ++removed;
    }
    return removed;
}

} // namespace tivane
