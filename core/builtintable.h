#pragma once
// The table of operators (rows 0..16) and named functions (rows 17..87). Compiled programs
// name a call by its row, so rows keep their numbers.

#include <array>
#include <cstdint>
#include <string_view>

#include "cellpool.h"

namespace tivane {

class CInterpreter;

// A handler takes its nargs arguments off the top of the stack itself (the last argument
// first, stack[sp] is the top), owns their references and releases them, and returns a cell
// carrying one reference, or kNoCell after setting the error code.
using BuiltinHandler = CellIndex (*)(CInterpreter& in, CellIndex* stack, int32_t& sp);
// A drawing procedure of a point (LINETO...), on plain numbers; it cannot fail on its own.
using PointProcedure = void (*)(CInterpreter& in, double x, double y);

inline constexpr uint16_t kSameTypeEnd = 0xFFFF;

struct BuiltinEntry {
    const char* name; // upper case; operators carry their text
    uint16_t nargs;
    uint16_t argMask[4];  // argMask[0] is the last argument as written
    uint16_t sameType[5]; // pairs of argument depths whose types must agree, then 0xFFFF
    BuiltinHandler handler;
    // For a function of one double that cannot fail (SIN, LOG...): the function itself, which
    // the evaluator calls on a number directly, sparing the handler's cells.
    double (*number)(double);
    // For a drawing procedure of a point, which gives NOT VALID: the procedure itself, which
    // the evaluator calls on two numbers directly.
    PointProcedure point;
};

inline constexpr int32_t kBuiltinRows = 88;
// Rows the evaluator runs itself.
inline constexpr uint32_t kRowIf = 26;
inline constexpr uint32_t kRowWhile = 48;
inline constexpr int32_t kFirstNamedRow = 17;

// Defined with the handlers of the named functions (builtins/table.cpp): the compiler and
// the evaluator reach every built-in through this table only.
extern const std::array<BuiltinEntry, kBuiltinRows> BuiltinTable;

// How a chain of operators of one precedence groups: "a-b-c" is "(a-b)-c" for a
// left-associative operator, "a-(b-c)" for a right-associative one. The compiler builds its
// items by it, and the lister puts back the parentheses that grouping the other way needs.
enum class Associativity : uint8_t { Left, Right };

struct OperatorEntry {
    const char* text;
    uint16_t precedence;
    Associativity associativity;
};

// Operator numbers that other code relies on.
enum OperatorRow : uint16_t {
    OP_ADD = 0,
    OP_SUB = 1,
    OP_MUL = 2,
    OP_DIV = 3,
    OP_GE = 4,
    OP_LE = 5,
    OP_NE = 6,
    OP_LT = 7,
    OP_GT = 8,
    OP_EQ = 9,
    OP_AND = 10,
    OP_OR = 11,
    OP_NEGATE = 12,
    OP_ASSIGN = 13,
    OP_SEQUENCE = 14,
    OP_ASSIGN_ELEMENT = 15,
    OP_DEFINE = 16,
    OP_COMMA = 17,
    OP_LPAREN = 18,
};

// The ranges that code relies on: rows up to OP_OR are the binary operators the evaluator
// computes itself, up to OP_DIV the arithmetic ones, OP_GE..OP_EQ the comparisons.
static_assert(OP_ADD == 0 && OP_SUB == 1 && OP_MUL == 2 && OP_DIV == 3);
static_assert(OP_GE == OP_DIV + 1 && OP_LE == OP_GE + 1 && OP_NE == OP_LE + 1 &&
              OP_LT == OP_NE + 1 && OP_GT == OP_LT + 1 && OP_EQ == OP_GT + 1);
static_assert(OP_AND == OP_EQ + 1 && OP_OR == OP_AND + 1 && OP_NEGATE == OP_OR + 1);

inline constexpr int32_t kOperatorCount = 19;
inline constexpr uint16_t kPrecedenceNone = 65535;

// 19 operators, then an empty entry that ends the table.
extern const std::array<OperatorEntry, kOperatorCount + 1> OperatorTable;

// Row - 17 of the named function, or -1. Matching is exact on the upper-cased name.
int32_t FindBuiltin(std::string_view name);

// The handlers, one source per group.
CellIndex OpAdd(CInterpreter&, CellIndex*, int32_t&);
CellIndex OpSub(CInterpreter&, CellIndex*, int32_t&);
CellIndex OpMul(CInterpreter&, CellIndex*, int32_t&);
CellIndex OpDiv(CInterpreter&, CellIndex*, int32_t&);
CellIndex OpGe(CInterpreter&, CellIndex*, int32_t&);
CellIndex OpLe(CInterpreter&, CellIndex*, int32_t&);
CellIndex OpNe(CInterpreter&, CellIndex*, int32_t&);
CellIndex OpLt(CInterpreter&, CellIndex*, int32_t&);
CellIndex OpGt(CInterpreter&, CellIndex*, int32_t&);
CellIndex OpEq(CInterpreter&, CellIndex*, int32_t&);
CellIndex OpAnd(CInterpreter&, CellIndex*, int32_t&);
CellIndex OpOr(CInterpreter&, CellIndex*, int32_t&);
CellIndex OpNegate(CInterpreter&, CellIndex*, int32_t&);
CellIndex OpAssign(CInterpreter&, CellIndex*, int32_t&);
CellIndex OpSequence(CInterpreter&, CellIndex*, int32_t&);
CellIndex OpAssignElement(CInterpreter&, CellIndex*, int32_t&);
CellIndex OpDefine(CInterpreter&, CellIndex*, int32_t&);

} // namespace tivane
