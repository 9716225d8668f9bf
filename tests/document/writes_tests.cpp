// Writes: the one writer (whole file or old file kept, the system's reason on failure), the
// document save's all-or-nothing commit with put-back, and the clean-up of killed saves.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "atomicfile.h"
#include "docfixture.h"
#include "filesizelimit.h"
#include "savetransaction.h"

namespace tivane::testing {
namespace {

namespace fs = std::filesystem;

class WritesTest : public DocTest {
protected:
    std::string Path(const std::string& name) const { return root + "/cwd/" + name; }
    // The names in cwd that a writer left behind.
    std::vector<std::string> Temporaries() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(root + "/cwd")) {
            const std::string name = entry.path().filename().string();
            if (name.find(".tivane-") != std::string::npos) found.push_back(name);
        }
        return found;
    }
};

// ---- The writer -------------------------------------------------------------------------

struct WriteRow {
    const char* setup; // files below the root before the write ("a/" is a folder)
    const char* target;
    size_t size;       // bytes written
    size_t sizeLimit;  // RLIMIT_FSIZE during the write, 0 for none
    const char* error; // "" for success
    const char* kept;  // what the target holds afterwards ("" when written, or nothing)
};

const WriteRow kWriteRows[] = {
    {"cwd/old.txt", "old.txt", 100, 0, "", ""},
    {"cwd/folder/ cwd/folder/inside", "folder", 10, 0, "Is a directory", ""},
    {"cwd/old.txt", "old.txt", 64 * 1024, 16 * 1024, "File too large", "x"},
};

TEST_F(WritesTest, AWriteIsWholeOrLeavesTheOldFileAndNoTemporary) {
    for (const WriteRow& row : kWriteRows) {
        SCOPED_TRACE(std::string(row.target) + " " + std::to_string(row.size));
        Clear();
        Write(row.setup);
        const std::string bytes(row.size, 'n');
        WriteResult result;
        {
            std::optional<FileSizeLimit> limit;
            if (row.sizeLimit) limit.emplace(row.sizeLimit);
            result = WriteFileAtomically(Path(row.target), bytes);
        }
        EXPECT_EQ(result.error, row.error);
        if (result.Ok()) {
            EXPECT_EQ(ReadFile(row.target), bytes);
        } else if (*row.kept) {
            EXPECT_EQ(ReadFile(row.target), row.kept);
        }
        EXPECT_TRUE(Temporaries().empty());
    }
}

TEST_F(WritesTest, AReplacedFileKeepsItsPermissions) {
    Write("cwd/script.sh");
    const fs::perms mode = fs::perms::owner_all | fs::perms::group_read;
    fs::permissions(Path("script.sh"), mode);
    ASSERT_TRUE(WriteFileAtomically(Path("script.sh"), "#!/bin/sh\n").Ok());
    EXPECT_EQ(fs::status(Path("script.sh")).permissions(), mode);
}

// ---- Killed saves -------------------------------------------------------------------------

const std::pair<const char*, bool> kStaleRows[] = {
    // name, removed by the save
    {".model.tvd.tivane-Ab12Cd", true},  // the document
    {".model.ini.tivane-x1y2z3", true},  // its layout
    {".model.vw1.tivane-abcdef", true},  // a setup side file
    {".other.tvd.tivane-abcdef", false}, // another document's
    {".model.vwx.tivane-abcdef", false}, // not a window number
    {"model.tvd.tivane-abcdef", false},  // not hidden: not ours
    {".model.tvd.XXXXXX", false},        {"model.tvd", false},
};

TEST_F(WritesTest, ASaveRemovesOnlyTheTemporariesOfItsOwnFiles) {
    for (const auto& [name, removed] : kStaleRows)
        Write(std::string("cwd/") + name);
    EXPECT_EQ(SaveTransaction::RemoveStaleTemporaries(Path("model.tvd"), Path("model.ini")), 3);
    for (const auto& [name, removed] : kStaleRows)
        EXPECT_EQ(fs::exists(Path(name)), !removed) << name;
}

// ---- The document save --------------------------------------------------------------------

// Every save starts from a.txt = "old a" and b.txt = "old b".
struct CommitRow {
    const char* staged;  // files written, in order, each with the content "new <name>"
    const char* removed; // files staged for removal
    const char* between; // made after staging, before the commit
    const char* failure; // FailureText(), "$ROOT" standing for the root
    const char* after;   // "name=content;..." of the files afterwards, "-" for none
};

const CommitRow kCommitRows[] = {
    // clang-format off
    {"a.txt new.txt", "b.txt", "", "", "a.txt=new a.txt;b.txt=-;new.txt=new new.txt"},
    // A folder that holds a file takes c's place after staging: no file renames over it.
    {"new.txt a.txt c b.txt", "b.txt", "cwd/c/inside", "Could not replace $ROOT/cwd/c: Is a directory; the files saved before it were put back.", "a.txt=old a;b.txt=old b;new.txt=-"},
    {"c a.txt", "", "cwd/c/inside", "Could not replace $ROOT/cwd/c: Is a directory.", "a.txt=old a;b.txt=old b"},
    {"a.txt c/ b.txt", "", "", "Could not write $ROOT/cwd/c: Is a directory.", "a.txt=old a;b.txt=old b"},
    // clang-format on
};

TEST_F(WritesTest, ACommitReplacesAllOrPutsBackWhatItReplaced) {
    for (const CommitRow& row : kCommitRows) {
        SCOPED_TRACE(row.staged);
        Clear();
        Write("cwd/a.txt", "old a");
        Write("cwd/b.txt", "old b");
        SaveTransaction save;
        std::istringstream staged(row.staged);
        for (std::string name; staged >> name;) {
            // "c/": c is a folder before the save starts.
            if (name.ends_with('/')) Write("cwd/" + name + "inside");
            save.Write(Path(name.ends_with('/') ? name.substr(0, name.size() - 1) : name),
                       "new " + name);
        }
        std::istringstream removed(row.removed);
        for (std::string name; removed >> name;)
            save.Remove(Path(name));
        Write(row.between);
        EXPECT_EQ(save.Commit(), !*row.failure);
        EXPECT_EQ(save.FailureText(), Expand(row.failure));
        std::istringstream after(row.after);
        for (std::string item; std::getline(after, item, ';');) {
            const std::string name = item.substr(0, item.find('='));
            const std::string content = item.substr(item.find('=') + 1);
            if (content == "-")
                EXPECT_FALSE(fs::exists(Path(name))) << name;
            else
                EXPECT_EQ(ReadFile(name), content) << name;
        }
        EXPECT_TRUE(Temporaries().empty());
    }
}

} // namespace
} // namespace tivane::testing
