#pragma once
// Saving a document writes several files (document, layout, side files). Each is written to
// a temporary file in its own folder first; only when every one was written completely are
// they renamed over the old files, so a failed save leaves the previous files whole.

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
    // temporary file cannot be written.
    bool Write(const std::string& path, std::string_view bytes);
    // Stages the removal of `path` (a side file whose view has nothing to store).
    void Remove(const std::string& path);
    // Renames every staged file over its target and removes the staged removals. False,
    // with nothing changed, when any Write failed.
    bool Commit();
    bool Failed() const { return m_failed; }

private:
    struct Staged {
        std::string temp, target;
    };
    std::vector<Staged> m_writes;
    std::vector<std::string> m_removals;
    bool m_failed = false;
    bool m_done = false;
};

} // namespace tivane
