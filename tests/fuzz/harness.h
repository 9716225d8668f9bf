#pragma once
// Compiles and runs one arbitrary program text in a fresh interpreter, with a run budget so
// that endless loops end, and file functions confined to a temporary directory. Traps when
// the cell pool does not come back to where it started, and when the evaluator's fast paths
// and its plain item-by-item evaluation (run one after the other) differ in value, error
// code or report.

#include <cstddef>
#include <cstdint>

namespace tivane::fuzz {

void RunInput(const uint8_t* data, size_t size);

} // namespace tivane::fuzz
