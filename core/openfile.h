#pragma once
// The payload of an open-file value: one buffered stream shared by every copy of the value.

#include <cstdio>

namespace tivane {

struct OpenFile {
    std::FILE* stream; // nullptr once CLOSEFILE closed it
};

// Opens a data file for OPENFILE: std::fopen unless a host that must confine programs to a
// directory (the fuzzer) installs its own; nullptr restores std::fopen.
using FileOpener = std::FILE* (*)(const char* name, const char* mode);
void SetFileOpener(FileOpener opener);

// Called when the last reference to an open-file value goes: the stream is flushed and
// closed (nothing written is lost) and the payload freed.
void FreeOpenFile(OpenFile* file);

} // namespace tivane
