#pragma once
// Compiles and runs one arbitrary program text in a fresh interpreter, with a run budget so
// that endless loops end, and file functions confined to a temporary directory. Traps when
// the cell pool does not come back to where it started.

#include <cstddef>
#include <cstdint>

namespace tivane::fuzz {

void RunInput(const uint8_t* data, size_t size);

} // namespace tivane::fuzz
