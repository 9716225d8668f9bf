#pragma once
// Harnesses for the two files a document reads besides its programs: the contents file of a
// graphics view (DrawList::Parse) and the layout file (IniFile and the window placements).
// Each takes arbitrary bytes and aborts, with a line on stderr, when an invariant breaks; the
// libFuzzer targets and the corpus replay in the test suite share them.

#include <cstddef>
#include <cstdint>

namespace tivane::fuzz {

// Parses the bytes as a contents file. When they parse, checks the items against the bytes,
// that Serialize gives a file that parses to the same list, that the list refuses exactly
// when the memory budget would be passed, that it survives being moved into a view's model,
// appended to and cleared, and that every byte of the budget is given back.
void RunDrawListInput(const uint8_t* data, size_t size);

// Reads the bytes as a layout file the way a document restores its windows, then saves the
// keys a document writes and checks that reading the saved text gives them back.
void RunLayoutInput(const uint8_t* data, size_t size);

} // namespace tivane::fuzz
