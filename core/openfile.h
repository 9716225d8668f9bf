#pragma once
// The payload of an open-file value: one buffered stream shared by every copy of the value.

#include <cstdio>

namespace tivane {

struct OpenFile {
    std::FILE* stream; // nullptr once CLOSEFILE closed it
};

// Called when the last reference to an open-file value goes: the stream is flushed and
// closed (nothing written is lost) and the payload freed.
void FreeOpenFile(OpenFile* file);

} // namespace tivane
