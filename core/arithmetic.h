#pragma once
// The numeric operators, shared by the operator handlers and the evaluator's fast paths so
// that both compute exactly alike.

#include <cstdint>

#include "builtintable.h"
#include "cellpool.h"

namespace tivane {

inline int32_t Wrap(uint32_t v) {
    return static_cast<int32_t>(v);
}

// The value of a binary operator on two longs; false for a division by zero, which the
// general path reports.
[[gnu::always_inline]] inline bool LongOperation(uint32_t row, int32_t a, int32_t b, int32_t& v) {
    switch (row) {
    case OP_ADD:
        v = Wrap(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
        return true;
    case OP_SUB:
        v = Wrap(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
        return true;
    case OP_MUL:
        v = Wrap(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
        return true;
    case OP_DIV:
        if (b == 0) return false;
        v = b == -1 ? Wrap(0u - static_cast<uint32_t>(a)) : a / b;
        return true;
    case OP_GE:
        v = a >= b;
        return true;
    case OP_LE:
        v = a <= b;
        return true;
    case OP_NE:
        v = a != b;
        return true;
    case OP_LT:
        v = a < b;
        return true;
    case OP_GT:
        v = a > b;
        return true;
    case OP_EQ:
        v = a == b;
        return true;
    case OP_AND:
        v = a & b;
        return true;
    default:
        v = a | b;
        return true;
    }
}

// Two doubles: the result is a double (arithmetic) or a long (comparisons). False where the
// general path must decide (division by zero, "&&" and "||", which take longs only). Results
// are written as whole 64-bit words: a narrower store followed by a whole-word read of the
// value stalls the processor on the dependency chain of a loop.
[[gnu::always_inline]] inline bool DoubleOperation(uint32_t row, double a, double b,
                                                   ValueCell& out) {
    out.type = TYPE_LONG;
    switch (row) {
    case OP_ADD:
        out.type = TYPE_DOUBLE;
        out.d = a + b;
        return true;
    case OP_SUB:
        out.type = TYPE_DOUBLE;
        out.d = a - b;
        return true;
    case OP_MUL:
        out.type = TYPE_DOUBLE;
        out.d = a * b;
        return true;
    case OP_DIV:
        if (!(b < 0.0 || b > 0.0)) return false;
        out.type = TYPE_DOUBLE;
        out.d = a / b;
        return true;
    case OP_GE:
        out.raw = a >= b;
        return true;
    case OP_LE:
        out.raw = a <= b;
        return true;
    case OP_NE:
        out.raw = a != b;
        return true;
    case OP_LT:
        out.raw = a < b;
        return true;
    case OP_GT:
        out.raw = a > b;
        return true;
    case OP_EQ:
        out.raw = a == b;
        return true;
    default:
        return false;
    }
}

// A binary operator (rows 0..11) on two numbers, as the argument check and the operator
// compute it: two longs stay longs, a long meeting a double is widened. False where the
// general path must decide (other types, a division by zero, "&&" and "||" on doubles).
[[gnu::always_inline]] inline bool Compute(uint32_t row, const ValueCell& a, const ValueCell& b,
                                           ValueCell& out) {
    if (a.type == TYPE_LONG && b.type == TYPE_LONG) {
        int32_t v;
        if (!LongOperation(row, a.l, b.l, v)) return false;
        out.type = TYPE_LONG;
        out.raw = static_cast<uint32_t>(v);
        return true;
    }
    // No helper lambda: the evaluator inlines this many times into its item loop, and an
    // instrumented build gives each inlined closure a stack slot of its own.
    if ((a.type != TYPE_LONG && a.type != TYPE_DOUBLE) ||
        (b.type != TYPE_LONG && b.type != TYPE_DOUBLE))
        return false;
    const double x = a.type == TYPE_LONG ? static_cast<double>(a.l) : a.d;
    const double y = b.type == TYPE_LONG ? static_cast<double>(b.l) : b.d;
    return DoubleOperation(row, x, y, out);
}

} // namespace tivane
