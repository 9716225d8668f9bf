#include "qtenv.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tivane {

void PrepareQtEnvironment() {
    if (std::getenv("XDG_RUNTIME_DIR")) return;
    const std::string dir = "/tmp/runtime-" + std::to_string(::getuid());
    ::mkdir(dir.c_str(), 0700);
    struct stat st;
    // Only a directory of our own that nobody else can enter will do.
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) return;
    if ((st.st_mode & 0777) != 0700 && ::chmod(dir.c_str(), 0700) != 0) return;
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
}

} // namespace tivane
