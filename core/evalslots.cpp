#include "evalslots.h"

#include <bit>

#include <cassert>

#include "arithmetic.h"
#include "errors.h"
#include "evaluator.h"
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

// How number code holds its values: longs alone, each in a register, or longs and doubles,
// computed as the operators compute them.
struct LongValues {
    using Value = int32_t;
    using Result = CodeValue;
    [[gnu::always_inline]] static bool Read(const ValueCell& v, Value& out) {
        out = v.l;
        return v.type == TYPE_LONG;
    }
    static Value Long(int32_t l) { return l; }

    static bool Function(double (*)(double), Value&) { return false; }
    static void Point(CInterpreter& in, PointProcedure point, Value x, Value y) {
        point(in, static_cast<double>(x), static_cast<double>(y));
    }
    [[gnu::always_inline]] static bool Operate(uint32_t row, Value a, Value b, Value& out) {
        return LongOperation(row, a, b, out);
    }
    static bool Index(Value v, uint32_t& i) {
        i = static_cast<uint32_t>(v);
        return true;
    }
    static bool Truth(Value v, bool& truth) {
        truth = v != 0;
        return true;
    }
    static void Write(ValueCell& w, Value v) {
        w.type = TYPE_LONG;
        w.raw = static_cast<uint32_t>(v);
    }
    static ValueCell Cell(Value v) {
        ValueCell c;
        c.type = TYPE_LONG;
        c.raw = static_cast<uint32_t>(v);
        return c;
    }
    static Result Done(Value v) { return {true, false, false, v}; }
    static Result GiveUp(int32_t stored, bool refused) { return {false, false, refused, stored}; }
    static Result Fail(int32_t stored) { return {false, true, false, stored}; }
};

struct NumberValues {
    // What the code keeps of a cell; two registers.
    struct Value {
        uint64_t raw;
        uint16_t type;
    };
    using Result = NumberValue;
    [[gnu::always_inline]] static bool Read(const ValueCell& v, Value& out) {
        out = {v.raw, v.type};
        return IsNumber(v.type);
    }
    static Value Long(int32_t l) { return {static_cast<uint32_t>(l), TYPE_LONG}; }

    static double AsDouble(Value v) {
        return v.type == TYPE_LONG ? static_cast<double>(static_cast<int32_t>(v.raw))
                                   : std::bit_cast<double>(v.raw);
    }
    // As the evaluator computes it in place: always a double.
    [[gnu::always_inline]] static bool Function(double (*function)(double), Value& v) {
        v = {std::bit_cast<uint64_t>(function(AsDouble(v))), TYPE_DOUBLE};
        return true;
    }
    static void Point(CInterpreter& in, PointProcedure point, Value x, Value y) {
        point(in, AsDouble(x), AsDouble(y));
    }
    // As Compute, for values that are numbers.
    [[gnu::always_inline]] static bool Operate(uint32_t row, Value a, Value b, Value& out) {
        if (a.type == TYPE_LONG && b.type == TYPE_LONG) {
            int32_t v;
            if (!LongOperation(row, static_cast<int32_t>(a.raw), static_cast<int32_t>(b.raw), v))
                return false;
            out = Long(v);
            return true;
        }
        ValueCell v;
        if (!DoubleOperation(row, AsDouble(a), AsDouble(b), v)) return false;
        out = {v.raw, v.type};
        return true;
    }
    static bool Index(Value v, uint32_t& i) {
        i = static_cast<uint32_t>(v.raw);
        return v.type == TYPE_LONG;
    }
    static bool Truth(Value v, bool& truth) {
        truth = static_cast<uint32_t>(v.raw) != 0;
        return v.type == TYPE_LONG;
    }
    static void Write(ValueCell& w, Value v) {
        w.type = v.type;
        w.raw = v.raw;
    }
    static ValueCell Cell(Value v) {
        ValueCell c;
        c.type = v.type;
        c.raw = v.raw;
        return c;
    }
    static Result Done(Value v) {
        Result r{true, false, false, 0, {}};
        r.value.type = v.type;
        r.value.raw = v.raw;
        return r;
    }
    static Result GiveUp(int32_t stored, bool refused) {
        return {false, false, refused, stored, {}};
    }
    static Result Fail(int32_t stored) { return {false, true, false, stored, {}}; }
};

// The cell a value was read from by code word `last`, the last of its expression, as an
// evaluation slot keeps it; kNoCell for a computed value.
[[gnu::always_inline]] inline CellIndex SourceCell(const CInterpreter& in, uint64_t last,
                                                   uint32_t index) {
    const auto operand = static_cast<uint32_t>(last >> 32);
    if (static_cast<uint8_t>(last) >= X_FUNCTION) return kNoCell; // computed
    switch (static_cast<uint8_t>(last)) {
    case X_CELL:
        return operand;
    case X_VARIABLE:
        return in.variableValues[operand];
    case X_PARENTVARIABLE:
        return in.parent->variableValues[operand];
    case X_ELEMENT:
        return in.arrays[operand].Read(static_cast<int32_t>(index));
    default:
        return kNoCell;
    }
}

// Where a loop-body store puts a value into the target `slot` (an own variable or element),
// as the assignment's own step would: a computed number into the target's own cell when no
// one else holds it and it has a number (`cell`); else the cell the value was read from,
// shared, or a fresh cell, in place of the old one (`cell` null when shared). False, with
// nothing changed, when no cell can be had: the assignment's step then fails.
[[gnu::always_inline]] inline bool StoreTarget(CellIndex& slot, CellIndex share, ValueCell*& cell) {
    cell = &CellAt(slot);
    if (cell->refs == 1 && IsNumber(cell->type) && share == kNoCell) return true;
    const CellIndex fresh = share != kNoCell ? share : Pool().NewCell();
    if (fresh == kNoCell) return false;
    cell = fresh == share ? nullptr : &CellAt(fresh);
    if (fresh == slot) return true;
    if (fresh == share) AddRef(share);
    const CellIndex previous = slot;
    slot = fresh;
    Release(previous);
    return true;
}

// The same for element `index` of an own array, in a block written before; false, with
// nothing changed, where the assignment's step must decide.
[[gnu::always_inline]] inline bool ElementTarget(const ArrayEntry& array, uint32_t index,
                                                 CellIndex share, ValueCell*& cell) {
    if (index >= static_cast<uint32_t>(array.slotCount) || !array.Written(index / kArraySlotStep))
        return false;
    return StoreTarget(array.slots.get()[index], share, cell);
}

// X_CALL's step on the arguments, `top` and the rest below it (`below` the one under top):
// the call's value, which a type of `Values` holds, in `result`. Values pass by value: a
// reference would keep RunCode's registers in memory.
template <typename Values>
[[gnu::noinline]] bool CallFromCode(CInterpreter& in, uint32_t operand,
                                    const typename Values::Value* below, typename Values::Value top,
                                    ValueCell& result) {
    const auto n = static_cast<int32_t>(operand >> 16);
    ValueCell args[kMaxCallArgs];
    args[n - 1] = Values::Cell(top);
    for (int32_t k = n - 2; k >= 0; --k)
        args[k] = Values::Cell(*below--);
    return CallInCode(in, operand & 0xFFFF, n, args, result);
}

// The steps of RunCode: the next word's operation, this word's operand, a read that gives up
// on a value that is no number of the kind, and an operator with its right operand from the
// stack, the word or a variable, computed as the operator handlers compute it.
#define TIVANE_NEXT goto* jump[static_cast<uint8_t>(c = *++code)]
#define TIVANE_OPERAND static_cast<int32_t>(c >> 32)
#define TIVANE_READ(CELL, TO)                                                                      \
    if (!Values::Read(CellAt(CELL), TO)) goto giveUp;
#define TIVANE_OPERATOR(ROW)                                                                       \
    stack##ROW : b = acc;                                                                          \
    acc = *below--;                                                                                \
    goto row##ROW;                                                                                 \
    literal##ROW : b = Values::Long(TIVANE_OPERAND);                                               \
    goto row##ROW;                                                                                 \
    variable##ROW : TIVANE_READ(variables[TIVANE_OPERAND], b) row##ROW                             \
        : if (!Values::Operate(ROW, acc, b, acc)) goto giveUp;                                     \
    TIVANE_NEXT;
#define TIVANE_ROWS(P)                                                                             \
    &&P##0, &&P##1, &&P##2, &&P##3, &&P##4, &&P##5, &&P##6, &&P##7, &&P##8, &&P##9, &&P##10, &&P##11

// One entry per CodeOp, in order.
#define TIVANE_JUMPS                                                                               \
    &&giveUp, &&end, &&variable, &&parentVariable, &&literal, &&element,                           \
        Statements ? &&store : &&giveUp, Statements ? &&storeElement : &&giveUp, &&cell,           \
        &&function, Statements ? &&point : &&giveUp, Calls ? &&call : &&calls,                     \
        Statements ? &&branch : &&giveUp, Statements ? &&jump : &&giveUp,                          \
        Statements ? &&done : &&giveUp, Statements ? &&condition : &&giveUp,                       \
        Statements ? &&test : &&giveUp, TIVANE_ROWS(stack), TIVANE_ROWS(literal),                  \
        TIVANE_ROWS(variable)
// clang-format off
#define TIVANE_OPERATORS                                                                           \
    TIVANE_OPERATOR(0) TIVANE_OPERATOR(1) TIVANE_OPERATOR(2) TIVANE_OPERATOR(3)                    \
    TIVANE_OPERATOR(4) TIVANE_OPERATOR(5) TIVANE_OPERATOR(6) TIVANE_OPERATOR(7)                    \
    TIVANE_OPERATOR(8) TIVANE_OPERATOR(9) TIVANE_OPERATOR(10) TIVANE_OPERATOR(11)
// clang-format on

// Threaded: each operation jumps straight to the next one's. Not inlined: its value stack
// would otherwise enlarge the item loop's frame. Expressions are run by instances without
// the stores, whose count would cost every expression registers, and without calls, which
// would have it save registers on every entry: at a call, such an instance hands the whole
// expression, which has changed nothing yet, to the instance with calls.
template <bool Statements, typename Values, bool Calls = Statements>
[[gnu::noinline]] typename Values::Result RunCode(CInterpreter& in, const uint64_t* code,
                                                  int32_t first = 0) {
    using Value = typename Values::Value;
    static const void* const jump[X_CODES] = {TIVANE_JUMPS};
    const uint64_t* const start = code;
    static_assert(OP_OR == 11 && X_CODES == X_OPERATOR + 36 && X_TEST + 1 == X_OPERATOR);
    CellIndex* variables = in.variableValues.data();
    // The top value stays in `acc`, out of memory, the rest below it in `values` (an element
    // store's index under its expression).
    Value values[kMaxExprDepth + 2];
    Value* below = values;
    Value acc = Values::Long(0);
    int32_t stored = first;                      // stays 0 in expressions
    uint64_t counted = Calls ? g_runCounter : 0; // the run count where the statement began
    uint64_t c = *code;
    Value b;
    ValueCell* w;
    uint32_t u = 0; // an element read's index
    uint32_t index = 0;
    CellIndex share;
    ValueCell result; // a call's
    bool truth;
    goto* jump[static_cast<uint8_t>(c)];
giveUp:
    if (Calls) g_runCounter = counted;
    return Values::GiveUp(stored, false);
refused:
    if (Calls) g_runCounter = counted;
    return Values::GiveUp(stored, true);
calls:
    if constexpr (!Calls) return RunCode<Statements, Values, true>(in, start);
failed:
    return Values::Fail(stored);
end:
    return Values::Done(acc);
variable:
    *++below = acc;
    TIVANE_READ(variables[TIVANE_OPERAND], acc)
    TIVANE_NEXT;
parentVariable:
    *++below = acc;
    TIVANE_READ(in.parent->variableValues[TIVANE_OPERAND], acc)
    TIVANE_NEXT;
literal:
    *++below = acc;
    acc = Values::Long(TIVANE_OPERAND);
    TIVANE_NEXT;
cell:
    *++below = acc;
    TIVANE_READ(static_cast<CellIndex>(TIVANE_OPERAND), acc)
    TIVANE_NEXT;
function:
    if (!Values::Function(BuiltinTable[static_cast<uint32_t>(TIVANE_OPERAND)].number, acc))
        goto giveUp;
    TIVANE_NEXT;
element:
    if (!Values::Index(acc, u)) goto giveUp;
    TIVANE_READ(in.arrays[TIVANE_OPERAND].Read(static_cast<int32_t>(u)), acc)
    TIVANE_NEXT;
    // A loop-body statement's store, into the cell in `w` if any; the stack is left as it
    // was before the statement.
store:
    if (!StoreTarget(variables[TIVANE_OPERAND], SourceCell(in, code[-1], u), w)) goto giveUp;
    goto write;
storeElement:
    share = SourceCell(in, code[-1], u);
    if (!Values::Index(*below--, index) ||
        !ElementTarget(in.arrays[TIVANE_OPERAND], index, share, w))
        goto giveUp;
write:
    if (w) Values::Write(*w, acc);
    goto drop;
    // A drawing statement's value (NOT VALID) is dropped; an error it sets is its failure.
point:
    b = *below--;
    Values::Point(in, BuiltinTable[static_cast<uint32_t>(TIVANE_OPERAND)].point, b, acc);
    if (in.document->errorCode != 0) goto failed;
    goto drop;
    // The end of a branch that is no assignment, and with a store or a call, of a statement.
done:
    if (TIVANE_OPERAND == 0) goto count;
drop:
    acc = *below--;
count:
    stored += Statements ? 1 : 0;
    counted = Calls ? g_runCounter : 0;
    TIVANE_NEXT;
call:
    if (!Calls ||
        !CallFromCode<Values>(in, static_cast<uint32_t>(TIVANE_OPERAND), below, acc, result))
        goto refused;
    if (!Values::Read(result, acc)) goto giveUp;
    below -= (c >> 48) - 1;               // the arguments under the top one
    variables = in.variableValues.data(); // a message pass may have run a compilation
    TIVANE_NEXT;
    // An IF statement's branch is chosen by a long, and is run where no message pass is due.
branch:
    if (!Values::Truth(acc, truth)) goto giveUp;
    if (g_runCounter % kMessagePassInterval == 0) goto refused;
    ++g_runCounter;
    acc = *below--;
    if (!truth) code += TIVANE_OPERAND;
    TIVANE_NEXT;
jump:
    code += TIVANE_OPERAND;
    TIVANE_NEXT;
condition:
    stored = -1;
    counted = g_runCounter;
    if (g_runCounter % kMessagePassInterval == 0) goto refused;
    ++g_runCounter;
    TIVANE_NEXT;
test:
    if (!Values::Truth(acc, truth)) goto giveUp;
    if (!truth) goto end;
    acc = *below--;
    stored = -2;
    counted = g_runCounter;
    if (g_runCounter % kMessagePassInterval == 0) goto refused;
    ++g_runCounter;
    stored = 0;
    counted = g_runCounter;
    TIVANE_NEXT;
    TIVANE_OPERATORS
}
#undef TIVANE_OPERATORS
#undef TIVANE_OPERATOR
#undef TIVANE_JUMPS
#undef TIVANE_ROWS
#undef TIVANE_READ
#undef TIVANE_OPERAND
#undef TIVANE_NEXT

CodeValue RunLongCode(CInterpreter& in, const uint64_t* code) {
    return RunCode<false, LongValues>(in, code);
}

CodeValue RunStatementCode(CInterpreter& in, const uint64_t* code, int32_t first) {
    return RunCode<true, LongValues>(in, code, first);
}

NumberValue RunNumberCode(CInterpreter& in, const uint64_t* code) {
    return RunCode<false, NumberValues>(in, code);
}

NumberValue RunNumberCallCode(CInterpreter& in, const uint64_t* code) {
    return RunCode<false, NumberValues, true>(in, code);
}

NumberValue RunNumberStatementCode(CInterpreter& in, const uint64_t* code, int32_t first) {
    return RunCode<true, NumberValues>(in, code, first);
}

template bool CallBuiltin<false>(CInterpreter&, uint32_t, Slot*, int32_t&);
template bool CallBuiltin<true>(CInterpreter&, uint32_t, Slot*, int32_t&);

} // namespace tivane::evaluation
