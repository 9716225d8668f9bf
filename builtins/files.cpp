// File functions over the C runtime's buffered streams.

#include <cstdio>

#include "builtins.h"
#include "openfile.h"

namespace tivane {

void FreeOpenFile(OpenFile* file) {
    if (!file) return;
    // The last reference is gone: close the stream so pending output reaches the file.
    if (file->stream) std::fclose(file->stream);
    delete file;
}

} // namespace tivane
