#pragma once
// Making value cells. Each returns a cell with one reference for the caller, or kNoCell after
// setting error 3 "Not enough memory".

#include <cstdint>
#include <string_view>

#include "cellpool.h"
#include "interpreter.h"

namespace tivane {

CellIndex NewLong(CInterpreter& in, int32_t value);
CellIndex NewDouble(CInterpreter& in, double value);
CellIndex NewString(CInterpreter& in, std::string_view text);
// A cell for a string block the caller made; frees the block when no cell can be had.
CellIndex NewStringFromBlock(CInterpreter& in, StringBlock* block);

inline std::string_view StrView(const ValueCell& c) {
    return {c.str->text, c.str->length};
}

// Double to long conversions that never invoke undefined behaviour.
// Rounds halves away from zero; the low 32 bits of the 64-bit integer are the long; NaN and
// magnitudes of 2^63 or more give 0.
int32_t RoundToLong(double x);
// The greatest integer not above x, as a long, with the same rules for huge values and NaN.
int32_t FloorToLong(double x);

} // namespace tivane
