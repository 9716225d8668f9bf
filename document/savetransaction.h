#pragma once
// Saving a document writes several files (document, layout, side files). Each is written to
// a temporary file in its own folder first (atomicfile.h); only when every one was written
// completely are they renamed over the old files. A rename that still fails puts back the
// files already replaced, so a failed save leaves the previous files whole.

#include <string>
#include <string_view>
#include <vector>

namespace tivane {

class SaveTransaction {
public:
    SaveTransaction() = default;
    SaveTransaction(const SaveTransaction&) = delete;
    SaveTransaction& operator=(const SaveTransaction&) = delete;
    // Removes the temporary files of an uncommitted save.
    ~SaveTransaction();

    // Stages `bytes` as the new content of `path`. False (and the whole save fails) when the
    // temporary file cannot be written or the target cannot be replaced (a directory, a
    // read-only file).
    bool Write(const std::string& path, std::string_view bytes);
    // Stages the removal of `path` (a side file whose view has nothing to store).
    void Remove(const std::string& path);
    // Renames every staged file over its target, then removes the staged removals. False when
    // a Write failed (nothing renamed) or a rename failed (what was renamed before is put
    // back, and removals are not done); FailureText() then says which file and why.
    bool Commit();
    bool Failed() const { return m_failed; }
    // One sentence about the failure for the user, naming the file and the reason, and saying
    // when files already replaced were put back; empty while nothing failed.
    const std::string& FailureText() const { return m_failure; }

    // Removes the temporary files that killed saves left beside the document `docPath`: those
    // of the document itself, of its layout `layoutPath` and of the layout's side files
    // (the layout's name less "ini" followed by "v", a letter and digits).
    static int RemoveStaleTemporaries(const std::string& docPath, const std::string& layoutPath);

private:
    struct Staged {
        std::string temp, target;
        std::string backup; // a second name of the replaced file while committing
    };
    // Where a save failed, which decides what the message says happened to the other files.
    enum class Stage { Writing, Renaming, RenamingAfterOthers };
    bool Fail(Stage stage, const std::string& path, const std::string& reason);
    // Removes every staged temporary file; the transaction is over.
    void Discard();
    bool KeepOldFiles();
    void PutBack(size_t renamed);
    void RemoveBackups();

    std::vector<Staged> m_writes;
    std::vector<std::string> m_removals;
    std::string m_failure;
    bool m_failed = false;
    bool m_done = false;
};

} // namespace tivane
