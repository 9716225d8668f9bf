#include "evalslots.h"

#include <cassert>

#include "arithmetic.h"
#include "errors.h"
#include "interpreter.h"
#include "values.h"

namespace tivane::evaluation {

// A cell with one reference for the caller holding the slot's value; `take` passes the
// slot's own reference instead of adding one. A number shares the cell it was read from when
// that still holds the same number: a cell with more than one holder is never changed in
// place, so the share cannot be told from a copy. kNoCell with error 3 set when a cell is
// needed and none can be had.
CellIndex Box(CInterpreter& in, const Slot& s, bool take) {
    if (s.type == kBoxed) {
        if (!take) AddRef(s.self);
        return s.self;
    }
    if (s.self != kNoCell) {
        const ValueCell& from = CellAt(s.self);
        if (from.refs != 0 && from.type == s.type &&
            (s.type == TYPE_LONG ? from.l == s.l : from.raw == s.raw)) {
            AddRef(s.self);
            return s.self;
        }
    }
    const CellIndex c = Pool().NewCell();
    if (c == kNoCell) {
        SetError(in, ERR_NO_MEMORY);
        return kNoCell;
    }
    ValueCell& t = CellAt(c);
    t.type = s.type;
    t.raw = s.raw;
    return c;
}

bool BoxInPlace(CInterpreter& in, Slot* stack, int32_t from, int32_t to) {
    for (int32_t k = from; k <= to; ++k) {
        Slot& s = stack[k];
        if (s.type == kBoxed) continue;
        const CellIndex c = Box(in, s, true);
        if (c == kNoCell) return false;
        SetCell(s, c);
    }
    return true;
}

namespace {

// Replaces a long argument by a double of the same value.
void Widen(Slot& s) {
    const double d = static_cast<double>(Val(s).l);
    Drop(s);
    s.type = TYPE_DOUBLE;
    s.self = kNoCell;
    s.d = d;
}

} // namespace

bool CheckArguments(CInterpreter& in, const BuiltinEntry& e, Slot* stack, int32_t sp) {
    for (int32_t k = e.nargs - 1; k >= 0; --k) {
        Slot& slot = stack[sp - k];
        const uint16_t type = Val(slot).type;
        if (type & e.argMask[k]) continue;
        if (type == TYPE_LONG && (e.argMask[k] & TYPE_DOUBLE)) {
            Widen(slot);
            continue;
        }
        SetError(in, ERR_INVALID_TYPE);
        return false;
    }
    for (int p = 0; e.sameType[p] != kSameTypeEnd && p < 4; p += 2) {
        Slot& a = stack[sp - e.sameType[p]];
        Slot& b = stack[sp - e.sameType[p + 1]];
        if (Val(a).type & Val(b).type) continue;
        if (Val(a).type == TYPE_LONG) Widen(a);
        if (Val(b).type == TYPE_LONG) Widen(b);
        if (Val(a).type != Val(b).type) {
            SetError(in, ERR_INVALID_TYPE);
            return false;
        }
    }
    return true;
}

namespace {

// How many stack entries a row's handler takes: its arguments, and for a definition also the
// parameter names below them.
int32_t HandlerTakes(const CInterpreter& in, uint32_t row, const Slot* stack, int32_t sp) {
    const int32_t n = BuiltinTable[row].nargs;
    if (row != OP_DEFINE) return n;
    const int32_t params = in.functions[Val(stack[sp - 1]).number].nargs;
    return n + (params > 0 ? params : 0);
}

} // namespace

// Calls a built-in row's handler on the cells of the top entries, and pushes its result.
// This and the other steps that may start nested runs are kept out of the item loop: its
// frame is paid once for each nesting level, so it holds only what the quick steps need.
template <bool Plain>
bool CallBuiltin(CInterpreter& in, uint32_t row, Slot* stack, int32_t& sp) {
    const BuiltinEntry& e = BuiltinTable[row];
    assert(sp + 1 >= e.nargs);
    if (!CheckArguments(in, e, stack, sp)) return false;
    const int32_t count = HandlerTakes(in, row, stack, sp);
    const int32_t base = sp - count + 1;
    if (!BoxInPlace(in, stack, base, sp)) return false;
    // The handler works on a stack of cells of its own; what it leaves there is dropped.
    CellIndex local[8];
    std::vector<CellIndex> many;
    CellIndex* cells = local;
    if (count > 8) {
        many.resize(static_cast<size_t>(count));
        cells = many.data();
    }
    for (int32_t k = 0; k < count; ++k)
        cells[k] = stack[base + k].self;
    sp = base - 1;
    int32_t top = count - 1;
    const CellIndex r = e.handler(in, cells, top);
    while (top >= 0)
        Release(cells[top--]);
    if (r == kNoCell) return false;
    PushOwned<Plain>(stack, sp, r);
    return in.document->errorCode == 0;
}

// The value of an expression of number literals, variables, own array elements and binary
// operators (the items of an F_ASSIGN_EXPR between target and assignment), computed on a few
// values with the operators the items would use; a value of type 0 where the items must run
// one by one (an operand that is no number, a division by zero...), which then start afresh,
// as nothing was changed. Returned by value, so that the caller's values stay in registers.
[[gnu::noinline]] ValueCell ComputeExpression(const CInterpreter& in, const CellIndex* items,
                                              const uint32_t* plain, int32_t count) {
    ValueCell values[kMaxExprDepth];
    ValueCell aside{};
    int32_t d = -1;
    for (int32_t k = 0; k < count; ++k) {
        const uint32_t op = plain[k];
        switch (KindOf(op)) {
        case K_LITERAL:
            values[++d] = CellAt(items[k]);
            break;
        case K_VARIABLE:
        case K_PARENTVARIABLE:
            values[++d] = CellAt(VariableCell(in, op));
            break;
        case K_ARRAY:
            if (values[d].type != TYPE_LONG) return aside;
            values[d] = CellAt(in.arrays[NumberOf(op)].Read(values[d].l));
            break;
        default: {
            ValueCell v;
            if (!Compute(NumberOf(op), values[d - 1], values[d], v)) return aside;
            values[--d] = v;
            break;
        }
        }
    }
    return values[0];
}

// Threaded: each operation jumps straight to the next one's. Not inlined: its value stack
// would otherwise enlarge the item loop's frame. Expressions are run by an instance without
// the stores, whose count would cost every expression registers.
template <bool Statements>
[[gnu::noinline]] CodeValue RunCode(const CInterpreter& in, const uint64_t* code) {
    // One entry per CodeOp, in order.
#define TIVANE_ROWS(P)                                                                             \
    &&P##0, &&P##1, &&P##2, &&P##3, &&P##4, &&P##5, &&P##6, &&P##7, &&P##8, &&P##9, &&P##10, &&P##11
    static const void* const jump[X_CODES] = {&&none,
                                              &&end,
                                              &&variable,
                                              &&parentVariable,
                                              &&literal,
                                              &&element,
                                              Statements ? &&store : &&none,
                                              Statements ? &&storeElement : &&none,
                                              TIVANE_ROWS(stack),
                                              TIVANE_ROWS(literal),
                                              TIVANE_ROWS(variable)};
#undef TIVANE_ROWS
    static_assert(OP_OR == 11 && X_CODES == X_OPERATOR + 36);
    const CellIndex* variables = in.variableValues.data();
    // The top value stays in `acc`, out of memory, the rest below it in `values` (an element
    // store's index under its expression).
    int32_t values[kMaxExprDepth + 2];
    int32_t* below = values;
    int32_t acc = 0;
    int32_t stored = 0; // stays 0 in expressions
    uint64_t c = *code;
    const ValueCell* v;
    ValueCell* w;
    int32_t b;
    uint32_t u;
#define TIVANE_NEXT goto* jump[static_cast<uint8_t>(c = *++code)]
#define TIVANE_OPERAND static_cast<int32_t>(c >> 32)
#define TIVANE_READ(CELL)                                                                          \
    v = &CellAt(CELL);                                                                             \
    if (v->type != TYPE_LONG) return {false, stored};
    // The right operand from the stack, the word or a variable, then the operator itself,
    // computed as the operator handlers compute it.
#define TIVANE_OPERATOR(ROW)                                                                       \
    stack##ROW : b = acc;                                                                          \
    acc = *below--;                                                                                \
    goto row##ROW;                                                                                 \
    literal##ROW : b = TIVANE_OPERAND;                                                             \
    goto row##ROW;                                                                                 \
    variable##ROW : TIVANE_READ(variables[TIVANE_OPERAND]) b = v->l;                               \
    row##ROW : if (!LongOperation(ROW, acc, b, acc)) return {false, stored};                       \
    TIVANE_NEXT;
    goto* jump[static_cast<uint8_t>(c)];
none:
    return {};
end:
    return {true, acc};
variable:
    TIVANE_READ(variables[TIVANE_OPERAND])
    *++below = acc;
    acc = v->l;
    TIVANE_NEXT;
parentVariable:
    TIVANE_READ(in.parent->variableValues[TIVANE_OPERAND])
    *++below = acc;
    acc = v->l;
    TIVANE_NEXT;
literal:
    *++below = acc;
    acc = TIVANE_OPERAND;
    TIVANE_NEXT;
element:
    TIVANE_READ(in.arrays[TIVANE_OPERAND].Read(acc))
    acc = v->l;
    TIVANE_NEXT;
    // A store writes the cell the assignment's own step would write in place, and leaves the
    // stack as it was before the statement. A slot of a written block whose cell is shared or
    // holds no number (never written itself) gets a fresh cell, as that step gives it.
store:
    w = &CellAt(variables[TIVANE_OPERAND]);
    if (w->refs != 1 || (w->type != TYPE_LONG && w->type != TYPE_DOUBLE)) return {false, stored};
    goto write;
storeElement : {
    const ArrayEntry& array = in.arrays[TIVANE_OPERAND];
    u = static_cast<uint32_t>(*below--);
    if (u >= static_cast<uint32_t>(array.slotCount) || !array.Written(u / kArraySlotStep))
        return {false, stored};
    CellIndex& slot = array.slots.get()[u];
    w = &CellAt(slot);
    if (w->refs != 1 || (w->type != TYPE_LONG && w->type != TYPE_DOUBLE)) {
        const CellIndex fresh = Pool().NewCell();
        if (fresh == kNoCell) return {false, stored};
        const CellIndex previous = slot;
        slot = fresh;
        Release(previous);
        w = &CellAt(fresh);
    }
}
write:
    w->type = TYPE_LONG;
    w->raw = static_cast<uint32_t>(acc);
    stored += Statements ? 1 : 0;
    acc = *below--;
    TIVANE_NEXT;
    TIVANE_OPERATOR(0)
    TIVANE_OPERATOR(1)
    TIVANE_OPERATOR(2)
    TIVANE_OPERATOR(3)
    TIVANE_OPERATOR(4)
    TIVANE_OPERATOR(5)
    TIVANE_OPERATOR(6)
    TIVANE_OPERATOR(7)
    TIVANE_OPERATOR(8)
    TIVANE_OPERATOR(9)
    TIVANE_OPERATOR(10)
    TIVANE_OPERATOR(11)
#undef TIVANE_OPERATOR
#undef TIVANE_READ
#undef TIVANE_OPERAND
#undef TIVANE_NEXT
}

CodeValue RunLongCode(const CInterpreter& in, const uint64_t* code) {
    return RunCode<false>(in, code);
}

CodeValue RunStatementCode(const CInterpreter& in, const uint64_t* code) {
    return RunCode<true>(in, code);
}

template bool CallBuiltin<false>(CInterpreter&, uint32_t, Slot*, int32_t&);
template bool CallBuiltin<true>(CInterpreter&, uint32_t, Slot*, int32_t&);

} // namespace tivane::evaluation
