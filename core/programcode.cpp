#include "programcode.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "builtintable.h"
#include "interpreter.h"

namespace tivane {

uint32_t DecodeItem(const ValueCell& c) {
    switch (c.type) {
    case TOK_VARIABLE:
        return MakeOp(K_VARIABLE, c.number);
    case TOK_PARENTVARIABLE:
        return MakeOp(K_PARENTVARIABLE, c.number);
    case TOK_ARRAY:
        return MakeOp(K_ARRAY, c.number);
    case TOK_PARENTARRAY:
        return MakeOp(K_PARENTARRAY, c.number);
    case TOK_USERFUNC:
        return MakeOp(K_USERFUNC, c.number);
    case TOK_PARENTUSERFUNC:
        return MakeOp(K_PARENTUSERFUNC, c.number);
    case TOK_BUILTIN:
        if (c.number == OP_SEQUENCE) return MakeOp(K_SEQUENCE, 0);
        if (c.number >= kBuiltinRows) return MakeOp(K_UNKNOWN, 0);
        return MakeOp(c.number <= OP_OR ? K_BINARY : K_BUILTIN, c.number);
    default:
        return MakeOp(c.type < TOK_VARIABLE ? K_LITERAL : K_UNKNOWN, 0);
    }
}

namespace {

// Finds, by following the stack effect of every item, the item that pushed each assignment's
// target; a target pushed only to be assigned is skipped and its assignment stores directly.
// Gives up (leaving the plain decoding) on anything it does not understand.
void FuseAssignments(const CInterpreter& in, const ProgramBlock* block, uint32_t* ops) {
    const int32_t n = block->count;
    std::vector<int32_t> producers; // for each simulated stack slot, the item that pushed it
    producers.reserve(static_cast<size_t>(n));
    for (int32_t k = 0; k < n; ++k) {
        const uint32_t op = ops[k];
        size_t pops = 0;
        bool pushes = true;
        switch (KindOf(op)) {
        case K_LITERAL:
        case K_VARIABLE:
        case K_PARENTVARIABLE:
            break;
        case K_ARRAY:
        case K_PARENTARRAY:
            pops = 1;
            break;
        case K_USERFUNC:
            pops = static_cast<size_t>(in.functions[NumberOf(op)].nargs);
            break;
        case K_PARENTUSERFUNC:
            if (!in.parent) return;
            pops = static_cast<size_t>(in.parent->functions[NumberOf(op)].nargs);
            break;
        case K_SEQUENCE:
            pops = 1;
            pushes = false;
            break;
        case K_BINARY:
        case K_BUILTIN: {
            const uint32_t row = NumberOf(op);
            pops = BuiltinTable[row].nargs;
            if (row == OP_DEFINE) {
                if (producers.size() < 2) return;
                const ValueCell& target = CellAt(block->items[producers[producers.size() - 2]]);
                if (target.type != TYPE_FUNCREF) return;
                pops += static_cast<size_t>(in.functions[target.number].nargs);
            }
            if ((row == OP_ASSIGN || row == OP_ASSIGN_ELEMENT) && producers.size() >= 2) {
                const int32_t t = producers[producers.size() - 2];
                const ValueCell& target = CellAt(block->items[t]);
                const uint32_t drop = k + 1 < n && KindOf(ops[k + 1]) == K_SEQUENCE ? 1 : 0;
                OpKind kind = K_UNKNOWN;
                if (row == OP_ASSIGN && target.type == TYPE_VARREF) kind = K_ASSIGN_VAR;
                if (row == OP_ASSIGN && target.type == TYPE_PARENTVARREF) kind = K_ASSIGN_PARENTVAR;
                if (row == OP_ASSIGN_ELEMENT && target.type == TYPE_ARRAYREF)
                    kind = K_ASSIGN_ELEMENT;
                if (row == OP_ASSIGN_ELEMENT && target.type == TYPE_PARENTARRAYREF)
                    kind = K_ASSIGN_PARENTELEM;
                if (kind != K_UNKNOWN && KindOf(ops[t]) == K_LITERAL) {
                    ops[t] = MakeOp(K_SKIP, 0);
                    ops[k] = MakeOp(kind, target.number, drop);
                }
            }
            break;
        }
        default:
            return;
        }
        if (pops > producers.size()) return;
        producers.resize(producers.size() - pops);
        if (pushes) producers.push_back(k);
    }
}

bool IsNumberLiteral(const ProgramBlock* block, const uint32_t* ops, int32_t k) {
    if (KindOf(ops[k]) != K_LITERAL) return false;
    const uint16_t t = CellAt(block->items[k]).type;
    return t == TYPE_LONG || t == TYPE_DOUBLE;
}

bool IsProgramLiteral(const ProgramBlock* block, const uint32_t* ops, int32_t k) {
    return k < block->count && KindOf(ops[k]) == K_LITERAL &&
           CellAt(block->items[k]).type == TYPE_PROGRAM;
}

bool IsVariable(uint32_t op) {
    return KindOf(op) == K_VARIABLE || KindOf(op) == K_PARENTVARIABLE;
}

// A function of one double that the evaluator computes itself (SIN, LOG...).
bool IsNumberFunction(uint32_t op) {
    return KindOf(op) == K_BUILTIN && BuiltinTable[NumberOf(op)].number;
}

// How many arguments a call of an own function that number code can make takes (its
// function's count, fixed by the first call site or definition); 0 for any other item.
int32_t CodeCallArgs(const CInterpreter& in, uint32_t op) {
    if (KindOf(op) != K_USERFUNC) return 0;
    const int32_t n = in.functions[NumberOf(op)].nargs;
    return n >= 1 && n <= kMaxCallArgs ? n : 0;
}

bool IsArithmetic(uint32_t op) {
    return KindOf(op) == K_BINARY && NumberOf(op) <= OP_DIV;
}

// The item count of `v := expr` or `a[i] := expr` from its skipped target at k, where expr is
// number literals, variables, own array elements, binary operators, functions of one double
// and calls of own functions, with at least `minOperators` of these operators and calls and a
// shallow stack; 0 otherwise.
int32_t AssignExprSpan(const CInterpreter& in, const ProgramBlock* block, const uint32_t* ops,
                       int32_t k, int32_t minOperators = 1) {
    if (KindOf(ops[k]) != K_SKIP) return 0;
    const ValueCell& target = CellAt(block->items[k]);
    OpKind assignment = K_UNKNOWN;
    if (target.type == TYPE_VARREF) assignment = K_ASSIGN_VAR;
    if (target.type == TYPE_ARRAYREF) assignment = K_ASSIGN_ELEMENT;
    if (assignment == K_UNKNOWN) return 0;
    constexpr int32_t kMaxSpan = 255;
    int32_t depth = 0, operators = 0;
    for (int32_t j = k + 1; j < block->count && j - k < kMaxSpan; ++j) {
        const uint32_t op = ops[j];
        if (IsVariable(op) || IsNumberLiteral(block, ops, j)) {
            if (++depth > kMaxExprDepth) return 0;
        } else if (KindOf(op) == K_ARRAY && depth >= 1) {
            // an element of an own array replaces its index
        } else if (KindOf(op) == K_BINARY && depth >= 2) {
            --depth;
            ++operators;
        } else if (IsNumberFunction(op) && depth >= 1) {
            ++operators;
        } else if (const int32_t n = CodeCallArgs(in, op); n > 0 && depth >= n) {
            depth -= n - 1;
            ++operators;
        } else {
            const bool ends = KindOf(op) == assignment && NumberOf(op) == target.number;
            return ends && depth == 1 && operators >= minOperators ? j - k + 1 : 0;
        }
    }
    return 0;
}

} // namespace

// An operator that follows an own variable or a long literal takes it as its operand, and
// that item's word is left unused.
bool WriteNumberCode(const CInterpreter& in, const ProgramBlock* block, const uint32_t* ops,
                     int32_t from, int32_t to, uint64_t* start, int32_t values) {
    int32_t depth = 0;
    bool fits = to > from;
    uint64_t* out = start;
    for (int32_t j = from; fits && j < to; ++j) {
        const uint32_t op = ops[j];
        const ValueCell& item = CellAt(block->items[j]);
        const bool longLiteral = KindOf(op) == K_LITERAL && item.type == TYPE_LONG;
        const bool doubleLiteral = KindOf(op) == K_LITERAL && item.type == TYPE_DOUBLE;
        if (KindOf(op) == K_BINARY && depth >= 2) {
            const uint32_t row = NumberOf(op);
            const uint64_t previous = out[-1];
            const auto kind = static_cast<uint8_t>(previous);
            const auto operand = static_cast<int32_t>(previous >> 32);
            if (kind == X_VARIABLE || kind == X_LITERAL)
                out[-1] = MakeCode((kind == X_VARIABLE ? X_WITH_VARIABLE : X_WITH_LITERAL) + row,
                                   operand);
            else
                *out++ = MakeCode(X_OPERATOR + row);
            --depth;
        } else if (IsVariable(op) || longLiteral) {
            const auto operand = static_cast<int32_t>(longLiteral ? item.l : NumberOf(op));
            *out++ = MakeCode(longLiteral                ? X_LITERAL
                              : KindOf(op) == K_VARIABLE ? X_VARIABLE
                                                         : X_PARENTVARIABLE,
                              operand);
            fits = ++depth <= kMaxExprDepth;
        } else if (doubleLiteral) {
            *out++ = MakeCode(X_CELL, static_cast<int32_t>(block->items[j]));
            fits = ++depth <= kMaxExprDepth;
        } else if (KindOf(op) == K_ARRAY && depth >= 1) {
            *out++ = MakeCode(X_ELEMENT, static_cast<int32_t>(NumberOf(op)));
        } else if (IsNumberFunction(op) && depth >= 1) {
            *out++ = MakeCode(X_FUNCTION, static_cast<int32_t>(NumberOf(op)));
        } else if (const int32_t n = CodeCallArgs(in, op); n > 0 && depth >= n) {
            *out++ = MakeCode(X_CALL, static_cast<int32_t>(NumberOf(op)) | n << 16);
            depth -= n - 1;
        } else {
            fits = false;
        }
    }
    if (!fits || depth != values) {
        *start = MakeCode(X_NONE);
        return false;
    }
    *out = MakeCode(X_END);
    return true;
}

namespace {

// Writes into `fuse` the operation to run at each position: a fused one or the plain one.
void FuseOperands(const CInterpreter& in, const ProgramBlock* block, const uint32_t* ops,
                  uint32_t* fuse) {
    const int32_t n = block->count;
    for (int32_t k = 0; k < n; ++k) {
        fuse[k] = ops[k];
        const auto at = [&](int32_t d) { return k + d < n ? ops[k + d] : MakeOp(K_UNKNOWN, 0); };
        // v := v op x, on an own variable.
        if (KindOf(at(0)) == K_SKIP && KindOf(at(1)) == K_VARIABLE && IsArithmetic(at(3)) &&
            KindOf(at(4)) == K_ASSIGN_VAR && NumberOf(at(4)) == NumberOf(at(1)) &&
            CellAt(block->items[k]).type == TYPE_VARREF) {
            const bool drop = ExtraOf(at(4)) != 0;
            if (IsNumberLiteral(block, ops, k + 2)) {
                fuse[k] = MakeFuse(F_UPDATE_LIT, 5, drop);
                continue;
            }
            if (IsVariable(at(2))) {
                fuse[k] = MakeFuse(F_UPDATE_VAR, 5, drop);
                continue;
            }
        }
        if (const int32_t span = AssignExprSpan(in, block, ops, k)) {
            fuse[k] = MakeFuse(F_ASSIGN_EXPR, static_cast<uint32_t>(span));
            continue;
        }
        if (IsVariable(at(0)) && KindOf(at(2)) == K_BINARY) {
            if (IsNumberLiteral(block, ops, k + 1)) {
                fuse[k] = MakeFuse(F_VAR_LIT, 3);
                continue;
            }
            if (IsVariable(at(1))) {
                fuse[k] = MakeFuse(F_VAR_VAR, 3);
                continue;
            }
        }
        if (IsProgramLiteral(block, ops, k) && IsProgramLiteral(block, ops, k + 1) &&
            KindOf(at(2)) == K_BUILTIN && NumberOf(at(2)) == kRowIf) {
            fuse[k] = MakeFuse(F_IF_BLOCKS, 3);
            continue;
        }
        if (KindOf(at(1)) == K_BINARY) {
            if (IsNumberLiteral(block, ops, k))
                fuse[k] = MakeFuse(F_LIT_BINARY, 2);
            else if (IsVariable(at(0)))
                fuse[k] = MakeFuse(F_VAR_BINARY, 2);
        }
    }
}

} // namespace

void PrepareProgram(const CInterpreter& in, ProgramBlock* block) {
    uint32_t* ops = ProgramOps(block);
    uint32_t* fuse = ProgramFuse(block);
    for (int32_t k = 0; k < block->count; ++k) {
        ops[k] = DecodeItem(CellAt(block->items[k]));
        fuse[k] = ops[k];
    }
    uint64_t* code = ProgramCode(block);
    std::fill(code, code + block->count + 1, MakeCode(X_NONE));
    FuseAssignments(in, block, ops);
    const int32_t n = block->count;
    // A function body `IF(cond, {..}, {..})` (a literal IF's branches are always programs):
    // its condition's code goes from word 1 to at most word n - 2, words that no assignment's
    // code uses, as a condition holds no assignment.
    if (!WriteNumberCode(in, block, ops, 0, n, code) && n >= 4 &&
        IsProgramLiteral(block, ops, n - 3) && IsProgramLiteral(block, ops, n - 2) &&
        ops[n - 1] == MakeOp(K_BUILTIN, kRowIf) &&
        WriteNumberCode(in, block, ops, 0, n - 3, code + 1))
        code[n] = MakeCode(X_IF_BODY);
    // The value of every assignment to an own variable or element, for loop bodies made of
    // such statements (the evaluator's QuickBody); an F_ASSIGN_EXPR reads the same words.
    for (int32_t k = 0; k < n; ++k) {
        if (const int32_t span = AssignExprSpan(in, block, ops, k, 0))
            WriteNumberCode(in, block, ops, k + 1, k + span - 1, code + k + 1);
    }
    FuseOperands(in, block, ops, fuse);
    for (int32_t k = 0; k < block->count; ++k)
        std::swap(ops[k], fuse[k]);
}

} // namespace tivane
