#include "filesearch.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace tivane {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kSeparators = "/\\";

bool HasKind(const fs::path& p, bool wantDirectory) {
    std::error_code ec;
    const fs::file_status st = fs::status(p, ec);
    return fs::exists(st) && fs::is_directory(st) == wantDirectory;
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

        if (pass == 1 || fallback.empty() || EqualIgnoringCase(fallback, bare)) return false;
        searched = std::string(fallback);
        if (found(searched)) return true;
    }
    return false;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::error_code ec;
    // A directory opens as a stream on Linux and then fails on the first read.
    if (fs::is_directory(path, ec)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return bytes;
}

std::optional<std::string> ReadProgramText(const std::string& name) {
    std::optional<std::string> text;
    if (std::optional<std::string> path = FindExistingFile(name)) text = ReadWholeFile(*path);
    if (text) {
        const size_t nul = text->find('\0');
        if (nul != std::string::npos) text->resize(nul);
    }
    return text;
}

std::string CouldNotOpenMessage(const std::string& name) {
    return "Could not open the file " + name + ".";
}

std::string ReadTextFile(const std::string& name, int16_t messageLevel,
                         const std::function<void(const std::string&)>& showStopMessage) {
    std::optional<std::string> text = ReadProgramText(name);
    if (text) return std::move(*text);
    if (messageLevel > kSilentReadLevel && showStopMessage)
        showStopMessage(CouldNotOpenMessage(name));
    return {};
}

} // namespace tivane
