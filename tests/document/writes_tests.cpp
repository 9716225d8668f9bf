// Writes: the one writer (whole file or old file kept, the system's reason on failure), the
// document save's all-or-nothing commit with put-back, the clean-up of killed saves, and the
// text window's Save Contents, which asks before it replaces anything.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include <unistd.h>

#include "atomicfile.h"
#include "docfixture.h"
#include "filesizelimit.h"
#include "savetransaction.h"
#include "tivaneview.h"

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
    {"", "new.txt", 100, 0, "", ""},
    {"cwd/old.txt", "old.txt", 100, 0, "", ""},
    {"cwd/folder/ cwd/folder/inside", "folder", 10, 0, "Is a directory", ""},
    {"", "missing/new.txt", 10, 0, "No such file or directory", ""},
    {"cwd/old.txt", "old.txt", 64 * 1024, 16 * 1024, "File too large", "x"},
    {"cwd/old.txt", "old.txt", 16 * 1024, 16 * 1024, "", ""},
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

// A replaced file keeps its permissions, a read-only one is not replaced even in a writable
// folder, and the temporaries are hidden beside their target.
TEST_F(WritesTest, PermissionsAreKeptAndTemporariesHidden) {
    Write("cwd/script.sh cwd/locked.txt");
    const fs::perms mode = fs::perms::owner_all | fs::perms::group_read;
    fs::permissions(Path("script.sh"), mode);
    ASSERT_TRUE(WriteFileAtomically(Path("script.sh"), "#!/bin/sh\n").Ok());
    EXPECT_EQ(fs::status(Path("script.sh")).permissions(), mode);
    fs::permissions(Path("locked.txt"), fs::perms::owner_read);
    if (geteuid() != 0) { // root may write any file
        EXPECT_EQ(WriteFileAtomically(Path("locked.txt"), "new").error, "Permission denied");
        EXPECT_EQ(ReadFile("locked.txt"), "x");
    }
    EXPECT_EQ(TemporaryPattern("/a/b/model.tvd"), "/a/b/.model.tvd.tivane-XXXXXX");
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

// ---- Save Contents of a text window -------------------------------------------------------

struct SaveTextRow {
    const char* existing; // the file before, or nullptr for none; "/" for a folder
    Answer answer;        // to "already exists"
    const char* after;    // the file afterwards
    const char* lastBox;  // "" when no box, "$ROOT" standing for the root
};

const SaveTextRow kSaveTextRows[] = {
    // clang-format off
    {nullptr, Answer::Cancel, "shown text", "The text file $ROOT/cwd/out.txt has been saved successfully."},
    {"earlier", Answer::Ok, "shown text", "The text file $ROOT/cwd/out.txt has been saved successfully."},
    {"earlier", Answer::Cancel, "earlier", "The file $ROOT/cwd/out.txt already exists.\nDo you want to replace it?"},
    {"/", Answer::Ok, "", "Could not save the text file $ROOT/cwd/out.txt: Is a directory."},
    // clang-format on
};

TEST_F(WritesTest, SaveContentsOfTextAsksBeforeReplacingAndWritesWholeFiles) {
    for (const SaveTextRow& row : kSaveTextRows) {
        SCOPED_TRACE(row.existing ? row.existing : "none");
        Clear();
        Model("shown text", "[Description]\nNoOfViews=0\n", LayoutOf({}));
        const std::string name = Path("out.txt");
        if (row.existing && std::string_view(row.existing) == "/")
            Write("cwd/out.txt/inside");
        else if (row.existing)
            Write("cwd/out.txt", row.existing);
        Open();
        ui.boxes.clear();
        ui.saveRequests.clear();
        ui.inputs = {name};
        ui.answers = {row.answer};
        doc->MainInputView()->SaveContents();
        ASSERT_FALSE(ui.boxes.empty());
        // The save dialog opens in the document's folder and proposes its name as text.
        ASSERT_EQ(ui.saveRequests.size(), 1u);
        EXPECT_EQ(std::pair(ui.saveRequests[0].folder, ui.saveRequests[0].name),
                  std::pair(fs::path(name).parent_path().string(), std::string("model.txt")));
        EXPECT_EQ(ui.boxes.back().text, Expand(row.lastBox));
        if (fs::is_regular_file(name)) {
            EXPECT_EQ(ReadFile("out.txt"), row.after);
        }
        EXPECT_TRUE(Temporaries().empty());
    }
}

} // namespace
} // namespace tivane::testing
