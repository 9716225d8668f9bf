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

} // namespace tivane
