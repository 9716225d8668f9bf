#include "savetransaction.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tivane {

namespace {

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

} // namespace

SaveTransaction::~SaveTransaction() {
    if (m_done) return;
    for (const Staged& s : m_writes)
        ::unlink(s.temp.c_str());
}

bool SaveTransaction::Write(const std::string& path, std::string_view bytes) {
    if (m_failed) return false;
    // Nothing can be renamed over a directory: fail now, before any file is replaced.
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        m_failed = true;
        return false;
    }
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        m_failed = true;
        return false;
    }
    // mkstemp makes the file for its owner only; a saved document is as readable as any file.
    static const mode_t umaskBits = [] {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return mask;
    }();
    ::fchmod(fd, 0666 & ~umaskBits);
    const bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok) {
        ::unlink(temp.c_str());
        m_failed = true;
        return false;
    }
    m_writes.push_back({std::move(temp), path});
    return true;
}

void SaveTransaction::Remove(const std::string& path) {
    m_removals.push_back(path);
}

bool SaveTransaction::Commit() {
    if (m_failed) return false;
    m_done = true;
    bool ok = true;
    for (const Staged& s : m_writes) {
        if (::rename(s.temp.c_str(), s.target.c_str()) != 0) {
            ::unlink(s.temp.c_str());
            ok = false;
        }
    }
    for (const std::string& path : m_removals)
        ::unlink(path.c_str());
    return ok;
}

} // namespace tivane
