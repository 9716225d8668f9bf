#pragma once
// The evaluator's code for a compiled program: each item decoded once into an operation, and
// short runs of items that recur in loops (a variable and a literal into an operator, an
// assignment whose value is dropped, `i := i + 1;`) marked as fused operations.
//
// A fused operation only takes a fast path when it cannot fail and has the same effect as its
// items; otherwise the evaluator runs the items one by one. Error positions are item
// positions either way, so reports do not change.

#include <cstddef>
#include <cstdint>

#include "cellpool.h"

namespace tivane {

class CInterpreter;

enum OpKind : uint8_t {
    K_LITERAL,
    K_VARIABLE,
    K_PARENTVARIABLE,
    K_ARRAY,
    K_PARENTARRAY,
    K_USERFUNC,
    K_PARENTUSERFUNC,
    K_SEQUENCE,
    K_BUILTIN,
    K_BINARY, // rows 0..11: computed in place when both operands are longs or doubles
    K_UNKNOWN,
    // An assignment target pushed only for the assignment that consumes it; that assignment
    // is one of the next kinds and knows the target itself.
    K_SKIP,
    K_ASSIGN_VAR,        // number: own variable
    K_ASSIGN_PARENTVAR,  // number: parent's variable
    K_ASSIGN_ELEMENT,    // number: own array
    K_ASSIGN_PARENTELEM, // number: parent's array
    K_FUSED,             // plus a FuseKind: a fused operation (below); the item's own operation
                         // is kept aside
};

// An operation: kind in bits 0..7, table number in bits 8..23, and in bits 24..31 how many
// following items it also consumes (a ";" that drops an assignment's value).
constexpr uint32_t MakeOp(OpKind kind, uint32_t number, uint32_t extra = 0) {
    return kind | number << 8 | extra << 24;
}
constexpr OpKind KindOf(uint32_t op) {
    return static_cast<OpKind>(op & 0xFF);
}
constexpr uint32_t NumberOf(uint32_t op) {
    return (op >> 8) & 0xFFFF;
}
constexpr uint32_t ExtraOf(uint32_t op) {
    return op >> 24;
}

enum FuseKind : uint8_t {
    F_NONE,
    F_LIT_BINARY,  // LIT op: the top of the stack op a literal
    F_VAR_BINARY,  // VAR op: the top of the stack op an own variable
    F_VAR_LIT,     // VAR LIT op
    F_VAR_VAR,     // VAR VAR op
    F_UPDATE_LIT,  // v := v op LIT, with v's cell changed in place
    F_UPDATE_VAR,  // v := v op w
    F_IF_BLOCKS,   // IF(c, {...}, {...}): the branch chosen by the long on top is run directly
    F_ASSIGN_EXPR, // v := expr or a[i] := expr on numbers, variables, elements and operators
};

// The deepest stack an F_ASSIGN_EXPR expression may need.
inline constexpr int32_t kMaxExprDepth = 8;
// The most arguments of a function that number code calls.
inline constexpr int32_t kMaxCallArgs = 4;

// A fused operation replaces the first item's operation: K_FUSED plus the fused kind in bits
// 0..7, so that the evaluator dispatches on it in one step, the number of items it covers in
// bits 16..23, and whether the value is dropped by a following ";" in bit 24. The first
// item's own operation moves to the second word list, for when the fast path does not apply.
constexpr uint32_t FusedOp(FuseKind kind) {
    return K_FUSED + static_cast<uint32_t>(kind);
}
constexpr uint32_t MakeFuse(FuseKind kind, uint32_t span, bool drop = false) {
    return FusedOp(kind) | span << 16 | (drop ? 1u : 0u) << 24;
}
constexpr bool IsFused(uint32_t op) {
    return (op & 0xFF) > K_FUSED;
}
constexpr FuseKind FuseKindOf(uint32_t f) {
    return static_cast<FuseKind>((f & 0xFF) - K_FUSED);
}
constexpr uint32_t SpanOf(uint32_t f) {
    return (f >> 16) & 0xFF;
}
constexpr bool DropsOf(uint32_t f) {
    return (f >> 24) & 1;
}

// Item list, then the operations to run, then each item's own operation: n words each.
inline uint32_t* ProgramOps(ProgramBlock* p) {
    return p->items + p->count;
}
inline const uint32_t* ProgramOps(const ProgramBlock* p) {
    return p->items + p->count;
}
inline uint32_t* ProgramFuse(ProgramBlock* p) {
    return p->items + 2 * p->count;
}
inline const uint32_t* ProgramFuse(const ProgramBlock* p) {
    return p->items + 2 * p->count;
}

// The plain operation of one item.
uint32_t DecodeItem(const ValueCell& c);

// Then, beside what runs, each item's offset in the text it was compiled from (-1 unknown).
inline int32_t* ProgramSourceOffsets(ProgramBlock* p) {
    return reinterpret_cast<int32_t*>(p->items + 3 * p->count);
}
inline const int32_t* ProgramSourceOffsets(const ProgramBlock* p) {
    return reinterpret_cast<const int32_t*>(p->items + 3 * p->count);
}

// Number code: the items of an expression on numbers (own and parent's variables, long and
// double literals, own array elements, binary operators, functions of one double, calls of
// own functions) as one word each, the opcode in the
// low byte and the operand (table number, long value or literal cell) in the high half, ended
// by X_END; an operator whose right operand is an own variable or a long literal takes it in
// the same word. It
// is kept for the value of each assignment of such an expression to an own variable or
// element (each F_ASSIGN_EXPR among them), starting at the item after the target, and for a
// whole program that is one such expression (a loop's condition), starting at 0.
// It computes what the items would, or gives up where the items decide: a value that is no
// number (no long, for the code run on longs alone), a division by zero, "&&" or "||" on a
// double.
enum CodeOp : uint8_t {
    X_NONE, // no code here
    X_END,
    X_VARIABLE,
    X_PARENTVARIABLE,
    X_LITERAL,
    X_ELEMENT,
    // Ends a statement of a loop body's code (the evaluator joins the statements' code): the
    // value goes into an own variable, or into an own array's element at the index below it,
    // whose cell no one else holds and has a number; otherwise the code gives up there.
    X_STORE,
    X_STORE_ELEMENT,
    X_CELL,     // a literal by its cell in the operand: a double, or a statement's lone value
    X_FUNCTION, // a function of one double (SIN...): the operand is its row; code on longs
                // alone gives up here
    // Ends a drawing statement of a loop body's code (LINETO(x, y);): calls the point
    // procedure of the row in the operand on the two values.
    X_POINT,
    // A call of an own function: the operand is its number, plus its argument count (1 to
    // kMaxCallArgs, the arguments on the stack) times 65536. Its body's number code gives
    // the value, with the parameters bound; the code gives up where the body has none or
    // the call must run.
    X_CALL,
    // An IF statement of a loop body's code: X_BRANCH takes the condition and passes over the
    // number of words in its operand when it is 0 (to the second branch), counting the branch
    // as a run; X_JUMP passes over its operand's words (the second branch); X_DONE ends a
    // branch that is no assignment, dropping its value when the operand is 1.
    X_BRANCH,
    X_JUMP,
    X_DONE,
    // A whole WHILE loop of such statements: X_CONDITION counts the condition's run, whose
    // code follows; X_TEST ends the loop where its value is 0, else counts the body's run;
    // an X_JUMP back to X_CONDITION ends the body. Where a message pass is due, the code
    // gives up before that run.
    X_CONDITION,
    X_TEST,
    X_OPERATOR,                       // plus the operator's row (OP_ADD..OP_OR): both on the stack
    X_WITH_LITERAL = X_OPERATOR + 12, // plus the row: the right operand is the literal
    X_WITH_VARIABLE = X_WITH_LITERAL + 12, // plus the row: the right operand an own variable
    X_CODES = X_WITH_VARIABLE + 12,
    // Never run: in word n of a program `cond {..} {..} IF` whose condition is an expression
    // on longs, saying that the condition's code starts at word 1 (word 0 says the whole
    // program is one expression, which this one is not).
    X_IF_BODY = X_CODES,
};
constexpr uint64_t MakeCode(uint32_t op, int32_t operand = 0) {
    return op | static_cast<uint64_t>(static_cast<uint32_t>(operand)) << 32;
}

// n + 1 code words after the source offsets (the block's word count is even up to there).
inline uint64_t* ProgramCode(ProgramBlock* p) {
    return reinterpret_cast<uint64_t*>(p->items + 4 * p->count);
}
inline const uint64_t* ProgramCode(const ProgramBlock* p) {
    return reinterpret_cast<const uint64_t*>(p->items + 4 * p->count);
}
static_assert(offsetof(ProgramBlock, items) % alignof(uint64_t) == 0);

// Writes at `start` the number code of items [from, to) of a program, given each item's own
// operation (`ops`), ending with X_END: at most to - from + 1 words. False (X_NONE at
// `start`) when they are not expressions of numbers leaving `values` values.
bool WriteNumberCode(const CInterpreter& in, const ProgramBlock* block, const uint32_t* ops,
                     int32_t from, int32_t to, uint64_t* start, int32_t values = 1);

// Decodes a freshly compiled program of `in` (its items are final).
void PrepareProgram(const CInterpreter& in, ProgramBlock* block);

} // namespace tivane
