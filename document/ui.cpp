#include "ui.h"

#include <sys/stat.h>

namespace tivane {

bool MayReplaceFile(DialogSeam& ui, const std::string& path) {
    // lstat: a dangling link is still a name the write would replace.
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return true;
    const std::string question =
        "The file " + path + " already exists.\nDo you want to replace it?";
    return ui.AskOkCancel(question, MessageIcon::Question) == Answer::Ok;
}

std::string SavedMessage(std::string_view kind, const std::string& path) {
    return "The " + std::string(kind) + " file " + path + " has been saved successfully.";
}

std::string NotSavedMessage(std::string_view kind, const std::string& path,
                            std::string_view reason) {
    return "Could not save the " + std::string(kind) + " file " + path + ": " +
           std::string(reason) + ".";
}

std::string FolderOf(const std::string& documentPath) {
    const size_t slash = documentPath.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? "/" : documentPath.substr(0, slash);
}

std::string_view EndingOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    // A leading dot names a hidden file; it is not an ending.
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? std::string_view() : name.substr(dot);
}

std::string WithEnding(const std::string& path, std::string_view ending) {
    return EndingOf(path).empty() ? path + std::string(ending) : path;
}

SaveFileRequest SaveBesideDocument(const std::string& documentPath, std::string title,
                                   std::vector<FileKind> kinds, size_t selected,
                                   std::string_view fallback) {
    const size_t slash = documentPath.rfind('/');
    std::string stem = documentPath.substr(slash == std::string::npos ? 0 : slash + 1);
    stem.resize(stem.size() - EndingOf(stem).size());
    if (stem.empty()) stem = fallback;
    std::string name = stem + kinds.at(selected).endings.at(0);
    return SaveFileRequest{std::move(title), FolderOf(documentPath), std::move(name),
                           std::move(kinds), selected};
}

} // namespace tivane
