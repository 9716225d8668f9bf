#pragma once
// Running PROGRAM values on the value stack.

#include <cstdint>

#include "cellpool.h"

namespace tivane {

class CInterpreter;

// Runs nested deeper than this (user-function recursion, IF, WHILE, EXECUTE) fail with
// "Not enough memory" instead of exhausting the machine stack.
inline constexpr int32_t kMaxRunDepth = 6000;

// The value left on top (one reference for the caller; NOT VALID for an empty stack), or
// kNoCell with the document's error code set and one trace record added by each failing
// level.
CellIndex Run(CInterpreter& in, CellIndex program);

// The process-wide run counter; the message pass happens when it passes a multiple of 4096.
uint16_t RunCounter();

// Calls a user function of `owner` with its arguments on top of `stack` (the same protocol
// as a call item). Used by the evaluator; exposed for the built-ins that call functions.
bool CallUserFunction(CInterpreter& owner, int32_t function, bool parentCall, CellIndex* stack,
                      int32_t& sp);

} // namespace tivane
