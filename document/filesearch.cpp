#include "filesearch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>

namespace tivane {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSeparators = "/\\";

// A directory, or a regular file: a device or a pipe is neither.
bool HasKind(const fs::path& p, bool wantDirectory) {
    std::error_code ec;
    const fs::file_status st = fs::status(p, ec);
    return wantDirectory ? fs::is_directory(st) : fs::is_regular_file(st);
}

// The entry of `dir` named `component` with the wanted kind: the exact name when it exists,
// else the entry equal to it ignoring case. Among several such entries the smallest name wins,
// so the choice does not depend on the order in which the directory lists them.
std::optional<fs::path> FindEntry(const fs::path& dir, const fs::path& component,
                                  bool wantDirectory) {
    const fs::path exact = dir / component;
    if (HasKind(exact, wantDirectory)) return exact;

    const std::string wanted = component.string();
    std::optional<std::string> best;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (!EqualIgnoringCase(entry, wanted) || (best && entry >= *best)) continue;
        if (HasKind(it->path(), wantDirectory)) best = std::move(entry);
    }
    if (!best) return std::nullopt;
    return dir / *best;
}

// The command-line file's directory with its trailing separator, or "" for a bare name, so
// that prefixing it to a name always yields a usable path.
std::string DirectoryPrefix(std::string_view path) {
    const size_t sep = path.find_last_of(kSeparators);
    return sep == std::string_view::npos ? std::string() : std::string(path.substr(0, sep + 1));
}

// Closes the descriptor on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

std::string JoinDirectory(std::string_view dir, std::string_view name) {
    std::string joined(dir);
    if (!joined.empty() && kSeparators.find(joined.back()) == std::string_view::npos) {
        joined += '/';
    }
    joined += name;
    return joined;
}

} // namespace

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    };
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

std::string ExecutableDirectory() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.parent_path().string();
}

std::string ApplicationDataDirectory(const std::string& executableDir) {
    if (executableDir.empty()) return {};
    for (const char* relative : {"../share/tivane", "share/tivane"}) {
        const fs::path dir = (fs::path(executableDir) / relative).lexically_normal();
        if (HasKind(dir, true)) return dir.string();
    }
    return {};
}

SearchContext ApplicationSearch(std::string commandLineFile) {
    SearchContext search{ExecutableDirectory(), std::move(commandLineFile)};
    search.dataDir = ApplicationDataDirectory(search.executableDir);
    return search;
}

bool IsDefaultProgramName(std::string_view bareName) {
    for (std::string_view known : {"default.prg", "defaultt.prg", "defaultg.prg"}) {
        if (EqualIgnoringCase(bareName, known)) return true;
    }
    return false;
}

std::optional<std::string> FindExistingFile(std::string_view name) {
    if (name.empty()) return std::nullopt;

    std::string portable(name);
    for (char& c : portable) {
        if (c == '\\') c = '/';
    }
    fs::path path(portable);
    if (path.is_relative()) {
        std::error_code ec;
        const fs::path cwd = fs::current_path(ec);
        if (ec) return std::nullopt;
        path = cwd / path;
    }
    path = path.lexically_normal();
    // A trailing separator (or a trailing ".") names a directory.
    if (!path.has_filename()) return std::nullopt;
    if (HasKind(path, false)) return path.string();

    const fs::path relative = path.relative_path();
    const std::vector<fs::path> components(relative.begin(), relative.end());
    fs::path found = path.root_path();
    for (size_t i = 0; i < components.size(); ++i) {
        const bool last = i + 1 == components.size();
        std::optional<fs::path> entry = FindEntry(found, components[i], !last);
        if (!entry) return std::nullopt;
        found = std::move(*entry);
    }
    return found.string();
}

bool LocateFile(std::string& name, std::string_view fallback, const SearchContext& ctx) {
    // Each candidate is stored in `name` before it is tried, so a failed search leaves the
    // last one there for the caller's message.
    auto found = [&name](std::string candidate) {
        name = std::move(candidate);
        std::optional<std::string> path = FindExistingFile(name);
        if (path) name = std::move(*path);
        return path.has_value();
    };
    // The places a model did not name itself are tried without leaving their candidate: a
    // failure message names the place the user knows.
    auto foundQuietly = [&name](const std::string& dir, const std::string& bare) {
        if (dir.empty()) return false;
        std::optional<std::string> path = FindExistingFile(JoinDirectory(dir, bare));
        if (path) name = std::move(*path);
        return path.has_value();
    };

    const std::string commandDir = DirectoryPrefix(ctx.commandLineFile);
    std::string searched = name;
    if (found(searched)) return true;

    // Two passes at most: the name's, then the fallback's. A fallback normally is a bare name,
    // so its own pass would stop anyway when its bare name equals it; a fallback with a
    // directory part must not send the search round forever.
    for (int pass = 0; pass < 2; ++pass) {
        std::string bare = searched;
        const size_t sep = searched.find_last_of(kSeparators);
        if (sep != std::string::npos) {
            bare = searched.substr(sep + 1);
            if (found(bare)) return true;
        }
        if (found(JoinDirectory(ctx.executableDir, bare))) return true;
        if (found(commandDir + bare)) return true;
        if (foundQuietly(ctx.templateDir, bare)) return true;
        // The application's own default programs come after every place of the document, so
        // a model's own ones replace them.
        if (IsDefaultProgramName(bare) && foundQuietly(ctx.dataDir, bare)) return true;

        if (pass == 1 || fallback.empty() || EqualIgnoringCase(fallback, bare)) return false;
        searched = std::string(fallback);
        if (found(searched)) return true;
    }
    return false;
}

FileContents ReadFileContents(const std::string& path) {
    FileContents result;
    // O_NONBLOCK: opening a pipe that has no writer, or some devices, would otherwise wait.
    // The type is checked on the opened file, which a rename cannot swap afterwards.
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return result;
    if (static_cast<uintmax_t>(st.st_size) > kMaxFileSize) {
        result.status = ReadStatus::TooLarge;
        return result;
    }
    // The size is where reading starts, not a promise: the file may grow meanwhile, and some
    // files report 0 bytes and still have text. The byte past the size takes the end of the
    // file without growing; one byte beyond the limit is enough to know it is too large.
    std::string bytes(static_cast<size_t>(st.st_size) + 1, '\0');
    size_t used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (bytes.size() > kMaxFileSize) break;
            bytes.resize(std::min(kMaxFileSize + 1, std::max<size_t>(2 * bytes.size(), 4096)));
        }
        const ssize_t n = ::read(fd.get(), bytes.data() + used, bytes.size() - used);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return result;
        if (n == 0) break;
        used += static_cast<size_t>(n);
    }
    if (used > kMaxFileSize) {
        result.status = ReadStatus::TooLarge;
        return result;
    }
    bytes.resize(used);
    result.bytes = std::move(bytes);
    result.status = ReadStatus::Ok;
    return result;
}

FileContents ReadProgramFile(const std::string& name) {
    std::optional<std::string> path = FindExistingFile(name);
    if (!path) return {};
    FileContents file = ReadFileContents(*path);
    const size_t nul = file.bytes.find('\0');
    if (nul != std::string::npos) file.bytes.resize(nul);
    return file;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    FileContents file = ReadFileContents(path);
    if (!file) return std::nullopt;
    return std::move(file.bytes);
}

std::optional<std::string> ReadProgramText(const std::string& name) {
    FileContents file = ReadProgramFile(name);
    if (!file) return std::nullopt;
    return std::move(file.bytes);
}

std::string CouldNotOpenMessage(const std::string& name) {
    return "Could not open the file " + name + ".";
}

std::string TooLargeMessage(const std::string& name) {
    return "The file " + name + " is too large.";
}

std::string ReadFailureMessage(ReadStatus status, const std::string& name) {
    return status == ReadStatus::TooLarge ? TooLargeMessage(name) : CouldNotOpenMessage(name);
}

std::string ReadTextFile(const std::string& name, ReadFailure failure,
                         const std::function<void(const std::string&)>& showStopMessage) {
    FileContents file = ReadProgramFile(name);
    if (file) return std::move(file.bytes);
    if (failure == ReadFailure::Report && showStopMessage)
        showStopMessage(ReadFailureMessage(file.status, name));
    return {};
}

} // namespace tivane
