#include "savetransaction.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "atomicfile.h"

namespace tivane {

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A second name for the file `target` beside it, so that it can be put back after it was
// renamed over. A hard link costs nothing; where the file system has none, a copy.
WriteResult KeepCopy(const std::string& target, std::string& backup) {
    std::string name = TemporaryPattern(target);
    const int fd = ::mkstemp(name.data());
    if (fd >= 0) {
        ::close(fd);
        ::unlink(name.c_str());
        if (::link(target.c_str(), name.c_str()) == 0) {
            backup = std::move(name);
            return {};
        }
    }
    std::ifstream in(target, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in) return {ErrnoText(errno ? errno : EIO)};
    return StageFile(target, bytes.str(), backup);
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

SaveTransaction::~SaveTransaction() {
    Discard();
}

void SaveTransaction::Discard() {
    if (m_done) return;
    m_done = true;
    for (const Staged& s : m_writes)
        ::unlink(s.temp.c_str());
}

bool SaveTransaction::Fail(Stage stage, const std::string& path, const std::string& reason) {
    m_failed = true;
    m_failure =
        (stage == Stage::Writing ? "Could not write " : "Could not replace ") + path + ": " +
        reason +
        (stage == Stage::RenamingAfterOthers ? "; the files saved before it were put back." : ".");
    return false;
}

bool SaveTransaction::Write(const std::string& path, std::string_view bytes) {
    if (m_failed) return false;
    std::string temp;
    if (const WriteResult r = StageFile(path, bytes, temp); !r.Ok())
        return Fail(Stage::Writing, path, r.error);
    m_writes.push_back({std::move(temp), path, {}});
    return true;
}

void SaveTransaction::Remove(const std::string& path) {
    m_removals.push_back(path);
}

bool SaveTransaction::KeepOldFiles() {
    for (Staged& s : m_writes) {
        // A missing target has nothing to keep; a directory makes the rename fail, and that
        // failure is reported there.
        if (!IsRegularFile(s.target)) continue;
        if (const WriteResult r = KeepCopy(s.target, s.backup); !r.Ok()) {
            RemoveBackups();
            return Fail(Stage::Writing, s.target, r.error);
        }
    }
    return true;
}

void SaveTransaction::PutBack(size_t renamed) {
    for (size_t j = 0; j < renamed; ++j) {
        Staged& s = m_writes[j];
        if (s.backup.empty()) {
            ::unlink(s.target.c_str()); // it did not exist before this save
        } else if (::rename(s.backup.c_str(), s.target.c_str()) == 0) {
            s.backup.clear();
        }
    }
}

void SaveTransaction::RemoveBackups() {
    for (Staged& s : m_writes) {
        if (!s.backup.empty()) ::unlink(s.backup.c_str());
        s.backup.clear();
    }
}

bool SaveTransaction::Commit() {
    if (m_failed || !KeepOldFiles()) {
        Discard();
        return false;
    }
    m_done = true;
    for (size_t i = 0; i < m_writes.size(); ++i) {
        const WriteResult r = RenameIntoPlace(m_writes[i].temp, m_writes[i].target);
        if (r.Ok()) continue;
        PutBack(i);
        for (size_t j = i + 1; j < m_writes.size(); ++j)
            ::unlink(m_writes[j].temp.c_str());
        RemoveBackups();
        return Fail(i > 0 ? Stage::RenamingAfterOthers : Stage::Renaming, m_writes[i].target,
                    r.error);
    }
    RemoveBackups();
    for (const std::string& path : m_removals)
        ::unlink(path.c_str());
    return true;
}

int SaveTransaction::RemoveStaleTemporaries(const std::string& docPath,
                                            const std::string& layoutPath) {
    const std::string doc = NameOf(docPath);
    const std::string layout = NameOf(layoutPath);
    // SideFileName: the layout's name without its last three characters, then 'v', the kind
    // letter and the window number.
    const std::string sideStem = layout.substr(0, layout.size() >= 3 ? layout.size() - 3 : 0) + "v";
    auto isSideFile = [&sideStem](std::string_view name) {
        if (!name.starts_with(sideStem) || name.size() < sideStem.size() + 2) return false;
        const std::string_view number = name.substr(sideStem.size() + 1);
        return number.find_first_not_of("0123456789") == std::string_view::npos;
    };
    return tivane::RemoveStaleTemporaries(FolderOf(docPath), [&](std::string_view name) {
        return name == doc || name == layout || isSideFile(name);
    });
}

} // namespace tivane
