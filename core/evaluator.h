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

// The same for a caller that itself holds a reference to the program for the whole run (the
// built-ins that run their PROGRAM arguments), which spares the run its own.
CellIndex RunHeld(CInterpreter& in, CellIndex program);

// WHILE's loop on its two PROGRAM arguments, which the caller holds: false with the error set
// when a run fails or a condition is not a long.
bool RunWhileLoop(CInterpreter& in, CellIndex condition, CellIndex body);

// A condition program that is one comparison of numbers (`i < n`), evaluated without a run
// of its own when that cannot make a difference; false when the program must be run.
bool QuickCondition(CInterpreter& in, CellIndex program, bool& truth);

// Runs pass pending window messages once every this many runs (a Stop chosen there ends any
// loop). Tests set the counter to make a chosen run the one that passes them.
inline constexpr uint16_t kMessagePassInterval = 4096;
void SetRunCounter(uint16_t value);

// The plain evaluation runs each item as the compiler wrote it, calling the operators'
// handlers and holding every value as a cell, and takes no quick path. Programs cannot tell
// the two apart; the fuzzer runs every input both ways and compares.
void SetPlainEvaluation(bool plain);

} // namespace tivane
