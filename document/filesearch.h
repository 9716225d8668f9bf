#pragma once
// File search for templates and program files, and whole-file reading of program texts.
//
// Names come from templates and layout files written on systems whose separator is '\', and
// from users who type names in any case. So names accept both '\' and '/' as separators, and
// when a path component does not exist exactly, a directory entry that matches it without
// regard to (ASCII) case is taken instead.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "hosts.h"

namespace tivane {

// Byte-wise comparison that folds only the ASCII letters: names are bytes, and the language
// knows no other case.
bool EqualIgnoringCase(std::string_view a, std::string_view b);
// A file name ending (".tml", ".png") compared the same way.
inline bool EndsWithIgnoringCase(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() &&
           EqualIgnoringCase(text.substr(text.size() - tail.size()), tail);
}

// Where LocateFile looks besides the current directory.
struct SearchContext {
    std::string executableDir;   // the directory holding the program's executable
    std::string commandLineFile; // the document path given on the command line; may be empty
    // The folder of the document's template, once found; may be empty. A model's programs
    // lie beside its template, which a document saved elsewhere no longer is.
    std::string templateDir = {};
    // The application's data folder (share/tivane), which holds the application's own default
    // programs; may be empty.
    std::string dataDir = {};
};

// The directory of the running executable, or "" when the system does not tell.
std::string ExecutableDirectory();

// The application's data folder for a program in `executableDir`: "../share/tivane" from an
// installed program's bin folder, else the "share/tivane" that a build tree keeps beside its
// programs; "" when neither is a folder. An installed program never reaches the sources.
std::string ApplicationDataDirectory(const std::string& executableDir);

// The places of the running program: its executable's folder and its data folder, and the
// document named on its command line.
SearchContext ApplicationSearch(std::string commandLineFile);

// "default.prg", "defaultt.prg" or "defaultg.prg", compared without regard to case.
bool IsDefaultProgramName(std::string_view bareName);

// Searches for `name`, then for its bare file name in the current directory, the executable's
// directory, the command-line file's directory, the template's directory and, for a default
// program only, the data folder (a failed search leaves the candidate of the command-line
// file's directory, as if the last two were not there); when none exists
// and `fallback` is neither empty nor the bare name (ignoring case), the same search is made
// once more for `fallback`.
// On success `name` becomes the file's absolute, lexically normal path (symlinks are kept as
// named, and the case is that of the directory entries found) and the result is true. On
// failure `name` holds the last candidate tried, as it was composed, and the result is false.
// Only a regular file counts (a name leading to a directory, a device or a pipe is missing),
// and an empty name never does.
bool LocateFile(std::string& name, std::string_view fallback, const SearchContext& ctx);

// The absolute path of an existing regular file named `name` (either separator, case fallback
// per component), or nothing.
std::optional<std::string> FindExistingFile(std::string_view name);

// Files are read whole only up to the longest string a program can hold; the bound also keeps
// a file that grows while it is read from taking all memory.
inline constexpr size_t kMaxFileSize = size_t{16} * 1024 * 1024;

enum class ReadStatus {
    Ok,
    CannotOpen, // missing, not a regular file, or unreadable
    TooLarge,   // more than kMaxFileSize bytes
};

struct FileContents {
    ReadStatus status = ReadStatus::CannotOpen;
    std::string bytes; // empty unless status is Ok

    explicit operator bool() const { return status == ReadStatus::Ok; }
};

// All bytes of the file at `path` exactly as named (no separator or case handling). Only a
// regular file is read: the name is opened without waiting (a pipe with no writer or a device
// does not block) and the opened file's own type is checked.
FileContents ReadFileContents(const std::string& path);

// The text of a program or side file found by `name` (separators and case handled): its bytes
// up to the first NUL byte, since the language's texts are zero-terminated.
FileContents ReadProgramFile(const std::string& name);

// ReadFileContents and ReadProgramFile without the reason: nothing when the file cannot be
// opened or is too large.
std::optional<std::string> ReadWholeFile(const std::string& path);
std::optional<std::string> ReadProgramText(const std::string& name);

// "Could not open the file <name>."
std::string CouldNotOpenMessage(const std::string& name);

// "The file <name> is too large."
std::string TooLargeMessage(const std::string& name);

// The message for a failed read of `name`: one of the two above.
std::string ReadFailureMessage(ReadStatus status, const std::string& name);

// ReadProgramFile for hosts: when the file cannot be read the result is "" and, unless
// `failure` is Silent, `showStopMessage` receives the failure's message ("Could not open the
// file <name>." or "The file <name> is too large.") once. An empty file is not an error.
std::string ReadTextFile(const std::string& name, ReadFailure failure,
                         const std::function<void(const std::string&)>& showStopMessage);

} // namespace tivane
