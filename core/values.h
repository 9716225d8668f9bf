#pragma once
// Making value cells. Each returns a cell with one reference for the caller, or kNoCell after
// setting ERR_NO_MEMORY "Not enough memory".

#include <cstdint>
#include <cstring>
#include <string_view>

#include "cellpool.h"
#include "interpreter.h"

namespace tivane {

CellIndex NewLong(CInterpreter& in, int32_t value);
CellIndex NewDouble(CInterpreter& in, double value);
CellIndex NewString(CInterpreter& in, std::string_view text);
// The result of a number function of x, which takes x's reference: x's own cell takes the
// result when only the caller holds it (a fresh temporary), which saves a free and an
// allocation.
CellIndex NumberResult(CInterpreter& in, CellIndex x, uint16_t type, uint64_t raw);
inline CellIndex LongResult(CInterpreter& in, CellIndex x, int32_t value) {
    return NumberResult(in, x, TYPE_LONG, static_cast<uint32_t>(value));
}
inline CellIndex DoubleResult(CInterpreter& in, CellIndex x, double value) {
    uint64_t raw;
    std::memcpy(&raw, &value, sizeof raw);
    return NumberResult(in, x, TYPE_DOUBLE, raw);
}
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
