#pragma once
// A throw-away directory tree for the file tests: the current directory is $ROOT/cwd, the
// executable's directory $ROOT/exe, and the command line names $ROOT/cmd/doc.tvd.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "filesearch.h"

namespace tivane::testing {

class TreeTest : public ::testing::Test {
protected:
    TreeTest() {
        std::string dir = (std::filesystem::temp_directory_path() / "tivane-doc-XXXXXX").string();
        if (mkdtemp(dir.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
        // Canonical, so that expected paths compare equal to what the search reports.
        root = std::filesystem::canonical(dir).string();
        Clear();
    }
    ~TreeTest() override {
        std::error_code ec;
        std::filesystem::current_path(saved, ec);
        std::filesystem::remove_all(root, ec);
    }

    // Empties the tree, leaving only the current directory.
    void Clear() const {
        for (const auto& entry : std::filesystem::directory_iterator(root))
            std::filesystem::remove_all(entry);
        std::filesystem::create_directories(root + "/cwd");
        std::filesystem::current_path(root + "/cwd");
    }

    // Writes each space-separated file of `names` below the root; "a/" makes a directory.
    void Write(const std::string& names, std::string_view bytes = "x") const {
        std::istringstream in(names);
        for (std::string name; in >> name;) {
            const std::filesystem::path path = root + "/" + name;
            std::filesystem::create_directories(name.ends_with('/') ? path : path.parent_path());
            if (!name.ends_with('/')) std::ofstream(path, std::ios::binary) << bytes;
        }
    }

    // `text` with every "$ROOT" replaced by the root.
    std::string Expand(std::string text) const {
        for (size_t at; (at = text.find("$ROOT")) != std::string::npos;)
            text.replace(at, 5, root);
        return text;
    }
    SearchContext Context() const { return {root + "/exe", root + "/cmd/doc.tvd"}; }

    const std::filesystem::path saved = std::filesystem::current_path();
    std::string root;
};

} // namespace tivane::testing
