#pragma once
// The one way the application writes a file: the bytes go to a temporary file beside the
// target, every write is checked, the file is flushed to the disk (fsync) and only then
// renamed over the target. A failure at any point leaves the target as it was and removes the
// temporary file, so a full disk or a refused write never costs the user a good file.
//
// Temporaries are hidden and recognisable: "model.tvd" is written through
// ".model.tvd.tivane-XXXXXX" in the same folder (same folder, so the rename cannot cross file
// systems). A process killed mid-write leaves such a file; RemoveStaleTemporaries clears them.

#include <functional>
#include <string>
#include <string_view>

namespace tivane {

// The outcome of a write: nothing on success, otherwise the reason as the system words it
// ("No space left on device"). Callers add the file name.
struct WriteResult {
    std::string error;
    bool Ok() const { return error.empty(); }
};

// The reason text of an errno value, as strerror gives it.
std::string ErrnoText(int code);

// The mkstemp pattern of the temporary files of `target`: "dir/.name.tivane-XXXXXX".
std::string TemporaryPattern(const std::string& target);

// Checks that `target` may be replaced: not a directory, and writable when it exists (a
// read-only file stays read-only even though its folder would let us rename over it).
WriteResult CheckReplaceable(const std::string& target);

// Writes `bytes` into a new temporary file beside `target` (written, fsync'd, closed) and
// sets `temp` to its name; the target is not touched. The file gets the target's permission
// bits when the target exists, else 0666 less the umask. On failure nothing is left behind.
WriteResult StageFile(const std::string& target, std::string_view bytes, std::string& temp);

// Creates an empty temporary file beside `target` for a writer that fills it itself (the
// movie encoder) and sets `temp` to its name; finish it with CommitFile.
WriteResult CreateTemporary(const std::string& target, std::string& temp);

// Makes the finished file `temp` durable (fsync) and renames it over `target`, then syncs
// the folder so the rename survives a crash. On failure `temp` is removed and the target is
// as it was.
WriteResult CommitFile(const std::string& temp, const std::string& target);

// Renames a temporary that StageFile wrote (and so made durable already) over `target`, then
// syncs the folder. On failure `temp` is removed and the target is as it was.
WriteResult RenameIntoPlace(const std::string& temp, const std::string& target);

// StageFile, then RenameIntoPlace: the whole file or nothing.
WriteResult WriteFileAtomically(const std::string& target, std::string_view bytes);

// A file written in pieces through the same path: Open, Write as often as needed, Commit.
// For output too large to hold twice in memory (a bitmap of a gigabyte). Destroyed without a
// successful Commit, it removes its temporary file and the target stays as it was.
class AtomicFile {
public:
    explicit AtomicFile(std::string target) : m_target(std::move(target)) {}
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Checks the target and creates the temporary file. False with Error() set.
    bool Open();
    // Appends `bytes`. False after any failure, this one or an earlier one.
    bool Write(std::string_view bytes);
    // Flushes (fsync), closes and renames over the target; the first failure on the way.
    WriteResult Commit();
    const std::string& Error() const { return m_error; }

private:
    bool Failed(int code);

    std::string m_target;
    std::string m_temp;
    std::string m_error;
    int m_fd = -1;
};

// Removes, in `folder`, the temporary files left by writes that were killed: the hidden
// names of TemporaryPattern whose target name (the part between the leading dot and
// ".tivane-XXXXXX") `belongs` accepts. Returns how many were removed. Only the caller knows
// which names are its own, so another program's (or document's) files are left alone.
int RemoveStaleTemporaries(const std::string& folder,
                           const std::function<bool(std::string_view target)>& belongs);

} // namespace tivane
