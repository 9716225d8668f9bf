#pragma once
// A throw-away directory tree for the file tests, and a guard that makes one of its
// directories the current directory for the length of a test.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace tivane::testing {

class TestTree {
public:
    TestTree() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tivane-doc-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
        // Canonical, so that expected paths compare equal to what the search reports.
        m_root = std::filesystem::canonical(pattern).string();
    }
    ~TestTree() {
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    TestTree(const TestTree&) = delete;
    TestTree& operator=(const TestTree&) = delete;

    const std::string& Root() const { return m_root; }
    std::string Path(std::string_view relative) const {
        return m_root + "/" + std::string(relative);
    }

    // Writes a file, making its directories; a name ending in '/' makes just a directory.
    void Write(std::string_view relative, std::string_view bytes = "x") const {
        const std::filesystem::path path = Path(relative);
        if (relative.ends_with('/')) {
            std::filesystem::create_directories(path);
            return;
        }
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
    }

    void Link(std::string_view relative, std::string_view target) const {
        std::filesystem::create_directories(std::filesystem::path(Path(relative)).parent_path());
        std::filesystem::create_symlink(Path(target), Path(relative));
    }

    // "$ROOT" in `text` becomes the tree's root.
    std::string Expand(std::string_view text) const {
        std::string out(text);
        for (size_t at = out.find("$ROOT"); at != std::string::npos; at = out.find("$ROOT")) {
            out.replace(at, 5, m_root);
        }
        return out;
    }

private:
    std::string m_root;
};

class CurrentDirectoryGuard {
public:
    explicit CurrentDirectoryGuard(const std::string& dir)
        : m_saved(std::filesystem::current_path()) {
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
    }
    ~CurrentDirectoryGuard() {
        std::error_code ec;
        std::filesystem::current_path(m_saved, ec);
    }
    CurrentDirectoryGuard(const CurrentDirectoryGuard&) = delete;
    CurrentDirectoryGuard& operator=(const CurrentDirectoryGuard&) = delete;

private:
    std::filesystem::path m_saved;
};

} // namespace tivane::testing
