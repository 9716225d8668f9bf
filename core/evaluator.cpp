#include "evaluator.h"

#include <algorithm>
#include <utility>
#include <vector>

#include <sys/resource.h>

#include "arithmetic.h"
#include "builtintable.h"
#include "errors.h"
#include "evalslots.h"
#include "interpreter.h"
#include "programcode.h"
#include "quickloop.h"
#include "values.h"

namespace tivane {

using namespace evaluation;

uint64_t evaluation::g_runCounter = 0;

namespace {

StackArena g_arena;
bool g_plain = false;
int32_t g_runDepth = 0;

// The machine stack a chain of nested runs may use, measured from the outermost run. The
// depth limit alone does not bound it: frames are larger in instrumented builds, and a host
// may start a run deep in its own call stack. What stays free covers the calls below the
// last check (handlers, listing nested blocks).
size_t StackBudget() {
    static const size_t budget = [] {
        constexpr size_t kReserve = size_t{1} << 20;
        rlimit limit{};
        size_t size = size_t{8} << 20;
        if (getrlimit(RLIMIT_STACK, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
            size = std::min<size_t>(limit.rlim_cur, size_t{256} << 20);
        return size > 2 * kReserve ? size - kReserve : size / 2;
    }();
    return budget;
}

// How far below the limits the quick paths step aside, so that a run near the limits is a
// real run and fails exactly where it would.
constexpr int32_t kQuickDepthMargin = 64;
constexpr size_t kQuickStackMargin = size_t{256} << 10;

// The lowest frame address a run may start at, set by each outermost run.
uintptr_t g_stackFloor = 0;

// Where the message passes made so far end: the run count after the last one, and the error
// it brought (a Stop). Code that made passes and then gave up hands its work to the items,
// which count those runs again: a pass they meet below this count was made, and is not made a
// second time; the last one brings its Stop again. The count only goes back where code gives
// up, and starts afresh with each outermost run.
uint64_t g_passesEnd = 0;
uint32_t g_lastPassError = 0;

[[gnu::noinline]] void SetStackFloor(uintptr_t here) {
    g_stackFloor = here > StackBudget() ? here - StackBudget() : 0;
    g_passesEnd = g_runCounter;
}

// The message pass of the run counted `count`: false, with the error set, when it brought one.
[[gnu::noinline]] bool PassMessages(DocumentHost& doc, uint64_t count) {
    if (count < g_passesEnd) {
        const uint32_t error = count + 1 == g_passesEnd ? g_lastPassError : 0;
        if (error) doc.errorCode = error;
        return error == 0;
    }
    doc.PumpMessages();
    g_passesEnd = count + 1;
    g_lastPassError = doc.errorCode;
    return doc.errorCode == 0;
}

[[gnu::always_inline]] inline bool StackExhausted(size_t margin = 0) {
    const auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    if (g_runDepth == 0) {
        SetStackFloor(here);
        return false;
    }
    return here < g_stackFloor + margin;
}

template <bool Held>
bool RunEither(CInterpreter& in, CellIndex program, Slot* result);
template <bool Held, bool Plain>
bool RunSlots(CInterpreter& in, CellIndex program, Slot* result);
bool QuickValue(CInterpreter& in, const ProgramBlock* block, Slot& value);
template <bool Checked>
bool RunBranchValue(CInterpreter& in, CellIndex branch, Slot& value);

// Whether the nesting limits are far enough for a run to start, `deeper` levels down, without
// checking them.
[[gnu::always_inline]] inline bool LimitsFar(int32_t deeper = 0) {
    return g_runDepth + deeper < kMaxRunDepth - kQuickDepthMargin &&
           !StackExhausted(kQuickStackMargin);
}

// A run of a function body `IF(cond, {..}, {..})` whose condition is on longs, where the run
// would start without incident: the condition from its number code, then the chosen branch,
// without the body's item loop. The body's run still counts (nesting depth, message pass,
// its trace record at the IF item). Aside, with nothing changed, where the body must run.
Step RunIfBody(CInterpreter& in, CellIndex body, Slot& result) {
    const ProgramBlock* block = CellAt(body).prog;
    const int32_t n = block->count;
    const uint64_t* code = ProgramCode(block);
    DocumentHost& doc = *in.document;
    if (static_cast<uint8_t>(code[n]) != X_IF_BODY || block->owner != in.serial || doc.errorCode ||
        g_runCounter % kMessagePassInterval == 0)
        return Step::Aside;
    // The body's run is counted before its condition, which may call functions.
    const uint64_t start = g_runCounter++;
    const CodeValue test = RunLongCode(in, code + 1);
    const CellIndex branch = block->items[n - (test.value != 0 ? 3 : 2)];
    if (!test.ok || CellAt(branch).prog->owner != in.serial || !LimitsFar(1)) {
        g_runCounter = start;
        return Step::Aside;
    }
    doc.errorPhase = ErrorPhase::Run;
    AddRef(body); // held as its run would hold it, against a redefinition from inside
    ++g_runDepth;
    const bool ran = RunBranchValue<true>(in, branch, result);
    --g_runDepth;
    const bool ok = ran && doc.errorCode == 0;
    if (!ok) PushTrace(doc, body, static_cast<int16_t>(in.parent ? n : -n));
    if (ran && !ok) Drop(result);
    Release(body);
    return ok ? Step::Done : Step::Failed;
}

// Calls a user function of `owner` with its arguments on top of the stack: the parameter
// variables are bound by exchange with the stack and restored afterwards.
template <bool Plain>
[[gnu::noinline]] bool CallUserFunction(CInterpreter& owner, int32_t function, bool parentCall,
                                        Slot* stack, int32_t& sp) {
    const UserFunction& f = owner.functions[function];
    const int32_t n = f.nargs;
    const CellIndex body = f.body;
    if (body == kNotValid) { // called but never defined: not an error
        for (int32_t k = 0; k < n; ++k)
            Drop(stack[sp--]);
        SetCell(stack[++sp], kNotValid);
        return true;
    }
    if (static_cast<int32_t>(f.params.size()) != n) {
        SetError(owner, ERR_NOT_IMPLEMENTED);
        return false;
    }
    // Binding gives each argument to a parameter variable of the function's interpreter: for
    // a parent's function that is the parent's variable, which takes no PROGRAM.
    if (parentCall) {
        for (int32_t k = 0; k < n; ++k) {
            if (Val(stack[sp - k]).type == TYPE_PROGRAM) {
                SetError(owner, ERR_PROGRAM_TO_PARENT);
                return false;
            }
        }
    }
    const ParamCopy params(f.params);
    std::vector<CellIndex>& vars = owner.variableValues;
    // Kept in a local: stores to the stack could otherwise alias it and force reloads.
    int32_t top = sp;
    // Bind: the parameter variables take the arguments, the stack keeps their old values.
    if (!Plain && BindsInPlace(vars, params.data(), n, stack, top)) {
        for (int32_t k = n - 1; k >= 0; --k) {
            Slot& arg = stack[top - k];
            ValueCell& held = CellAt(vars[params[k]]);
            std::swap(arg.type, held.type);
            std::swap(arg.raw, held.raw);
            arg.self = kNoCell;
        }
    } else {
        if (!BoxInPlace(owner, stack, top - n + 1, top)) return false;
        for (int32_t k = n - 1; k >= 0; --k)
            std::swap(stack[top - k].self, vars[params[k]]);
    }
    Slot result;
    // On failure the parameters keep the arguments.
    if (!(!Plain && QuickValue(owner, CellAt(body).prog, result))) {
        const Step step = Plain ? Step::Aside : RunIfBody(owner, body, result);
        if (step == Step::Failed ||
            (step == Step::Aside && !RunEither<false>(owner, body, &result)))
            return false;
    }
    for (int32_t k = 0; k < n; ++k) {
        if (!RestoreParameter(owner, vars[params[k]], stack[top--])) {
            sp = top;
            Drop(result);
            return false;
        }
    }
    sp = top;
    if (parentCall && Val(result).type == TYPE_PROGRAM) {
        Drop(result);
        SetError(owner, ERR_PROGRAM_FROM_PARENT);
        return false;
    }
    stack[++sp] = result;
    return true;
}

bool RunLoopInFrame(CInterpreter& in, CellIndex condition, CellIndex body);

// Runs IF's chosen branch, which the caller holds, and pushes its value (the evaluation with
// fast paths only).
[[gnu::noinline]] bool RunBranch(CInterpreter& in, CellIndex branch, Slot* stack, int32_t& sp) {
    Slot value;
    if (!RunBranchValue<false>(in, branch, value)) return false;
    stack[++sp] = value;
    return in.document->errorCode == 0;
}

// Whether IF's arguments are what CheckArguments would leave unchanged, as they mostly are: a
// condition and two branches its masks accept as they are, the branches of one type.
[[gnu::always_inline]] inline bool IfArgumentsFit(const Slot* stack, int32_t sp) {
    const uint16_t* mask = BuiltinTable[kRowIf].argMask;
    const uint16_t otherwise = Val(stack[sp]).type;
    const uint16_t then = Val(stack[sp - 1]).type;
    return (Val(stack[sp - 2]).type & mask[2]) && (then & mask[1]) && (otherwise & mask[0]) &&
           then == otherwise;
}

// IF and WHILE as their handlers run them, but without cells for their arguments and values:
// the condition and a branch's value stay slots, and the loop body's value is dropped.
[[gnu::noinline]] bool RunControl(CInterpreter& in, uint32_t row, Slot* stack, int32_t& sp) {
    if (!(row == kRowIf && IfArgumentsFit(stack, sp)) &&
        !CheckArguments(in, BuiltinTable[row], stack, sp))
        return false;
    if (row == kRowWhile) {
        const CellIndex body = stack[sp--].self;
        const CellIndex condition = stack[sp--].self;
        const bool ok = RunLoopInFrame(in, condition, body);
        Release(body);
        Release(condition);
        if (!ok) return false;
        SetCell(stack[++sp], kNotValid);
        return in.document->errorCode == 0;
    }
    const Slot otherwise = stack[sp--];
    const Slot then = stack[sp--];
    const Slot condition = stack[sp--];
    const bool yes = Val(condition).l != 0;
    const Slot chosen = yes ? then : otherwise;
    Drop(yes ? otherwise : then);
    Drop(condition);
    if (Val(chosen).type != TYPE_PROGRAM) {
        stack[++sp] = chosen;
        return true;
    }
    const bool ok = RunBranch(in, chosen.self, stack, sp);
    Release(chosen.self);
    return ok;
}

// The fast path of a fused operation; false when its items must run one by one.
template <FuseKind Kind>
[[gnu::always_inline]] inline bool RunFused(CInterpreter& in, uint32_t f, const CellIndex* items,
                                            const uint32_t* ops, Slot* stack, int32_t& sp,
                                            ValueCell& v) {
    switch (Kind) {
    case F_VAR_LIT:
    case F_VAR_VAR: {
        const ValueCell& a = CellAt(VariableCell(in, ops[0]));
        const ValueCell& b = CellAt(Kind == F_VAR_LIT ? items[1] : VariableCell(in, ops[1]));
        if (!Compute(NumberOf(ops[2]), a, b, v)) return false;
        SetNumber(stack[++sp], v, kNoCell);
        return true;
    }
    case F_LIT_BINARY:
    case F_VAR_BINARY: {
        Slot& top = stack[sp];
        const ValueCell& b = CellAt(Kind == F_LIT_BINARY ? items[0] : VariableCell(in, ops[0]));
        if (!Compute(NumberOf(ops[1]), Val(top), b, v)) return false;
        Drop(top);
        SetNumber(top, v, kNoCell);
        return true;
    }
    case F_UPDATE_LIT:
    case F_UPDATE_VAR: {
        // v := v op x changes v's cell in place when nothing else holds it.
        const CellIndex slot = in.variableValues[NumberOf(ops[1])];
        ValueCell& a = CellAt(slot);
        if (a.refs != 1) return false;
        const ValueCell& b = CellAt(Kind == F_UPDATE_LIT ? items[2] : VariableCell(in, ops[2]));
        if (!Compute(NumberOf(ops[3]), a, b, v)) return false;
        a.type = v.type;
        a.raw = v.raw;
        if (!DropsOf(f)) SetNumber(stack[++sp], v, slot);
        return true;
    }
    default:
        return false;
    }
}

// The assignments the compiler marked, on their own kind of target. A number assigned to a
// variable whose cell no one else holds is written into that cell.
[[gnu::always_inline]] inline bool AssignVariableOp(CInterpreter& in, bool parentVariable,
                                                    uint32_t number, bool drop, Slot* stack,
                                                    int32_t& sp) {
    Slot& s = stack[sp];
    const uint16_t type = Val(s).type;
    if (!CheckAssignable(in, parentVariable, type)) return false;
    CInterpreter& owner = parentVariable ? *in.parent : in;
    // A computed number goes into the variable's own cell; one read from a cell is shared,
    // as the plain evaluation shares it, so that neither holds more cells than the other.
    if (s.type != kBoxed && s.self == kNoCell) {
        ValueCell& old = CellAt(owner.variableValues[number]);
        if (old.refs == 1 && IsNumber(old.type)) {
            old.type = s.type;
            old.raw = s.raw;
            if (drop) --sp;
            return true;
        }
    }
    const CellIndex value = Box(in, s, drop);
    if (value == kNoCell) return false;
    if (drop) --sp;
    StoreVariable(owner, number, value);
    return true;
}

// What StoreElement does for a slot below the slot count whose block was written before, the
// common case, where nothing can fail but finding a cell: a number goes into the slot's cell
// when no one else holds it. Aside, with nothing changed, where StoreElement must decide.
[[gnu::always_inline]] inline Step StoreInWrittenSlot(CInterpreter& in, ArrayEntry& array,
                                                      int32_t i, const Slot& s) {
    const auto u = static_cast<uint32_t>(i);
    if (u >= static_cast<uint32_t>(array.slotCount) || !array.Written(u / kArraySlotStep))
        return Step::Aside;
    CellIndex& slot = array.slots.get()[u];
    ValueCell& old = CellAt(slot);
    if (s.type != kBoxed && s.self == kNoCell && old.refs == 1 && IsNumber(old.type)) {
        old.type = s.type;
        old.raw = s.raw;
        return Step::Done;
    }
    const CellIndex value = Box(in, s, false);
    if (value == kNoCell) return Step::Failed;
    const CellIndex previous = slot;
    slot = value;
    Release(previous);
    return Step::Done;
}

bool AssignElementOp(CInterpreter& in, bool parentArray, uint32_t number, bool drop, Slot* stack,
                     int32_t& sp) {
    const Slot& s = stack[sp];
    const Slot& index = stack[sp - 1];
    if (Val(index).type != TYPE_LONG) {
        SetError(in, ERR_INVALID_TYPE);
        return false;
    }
    if (!CheckAssignable(in, parentArray, Val(s).type)) return false;
    CInterpreter& owner = parentArray ? *in.parent : in;
    const Step stored = StoreInWrittenSlot(in, owner.arrays[number], Val(index).l, s);
    if (stored == Step::Failed) return false;
    if (stored == Step::Aside) {
        const CellIndex value = Box(in, s, false);
        if (value == kNoCell) return false;
        if (!owner.StoreElement(number, Val(index).l, value)) {
            Release(value);
            return false;
        }
    }
    Drop(index);
    if (drop) {
        Drop(s);
        sp -= 2;
    } else {
        stack[sp - 1] = s;
        --sp;
    }
    return true;
}

// The value of number code, on longs alone where it can be; false where there is no code or
// the items must decide.
[[gnu::always_inline]] inline bool CodeNumber(CInterpreter& in, const uint64_t* code,
                                              ValueCell& value) {
    if (static_cast<uint8_t>(code[0]) == X_NONE) return false;
    const CodeValue quick = RunLongCode(in, code);
    if (quick.ok) {
        value.type = TYPE_LONG;
        value.raw = static_cast<uint32_t>(quick.value);
        return true;
    }
    if (quick.refused) return false;
    const NumberValue number = RunNumberCode(in, code);
    value.type = number.value.type;
    value.raw = number.value.raw;
    return number.ok;
}

// v := expr or a[i] := expr, for the items of an F_ASSIGN_EXPR (`last` is the assignment's
// offset from the target).
[[gnu::always_inline]] inline Step AssignExpression(CInterpreter& in, const uint32_t* plain,
                                                    const uint64_t* code, int32_t last, Slot* stack,
                                                    int32_t& sp, ValueCell& value) {
    if (!CodeNumber(in, code + 1, value)) return Step::Aside;
    const uint32_t assignment = plain[last];
    const bool drop = ExtraOf(assignment) != 0;
    if (KindOf(assignment) == K_ASSIGN_VAR) {
        // What AssignVariableOp does for a number into a cell no one else holds.
        ValueCell& old = CellAt(in.variableValues[NumberOf(assignment)]);
        if (old.refs == 1 && IsNumber(old.type)) {
            old.type = value.type;
            old.raw = value.raw;
            if (!drop) SetNumber(stack[++sp], value, kNoCell);
            return Step::Done;
        }
    }
    SetNumber(stack[++sp], value, kNoCell);
    const bool ok = KindOf(assignment) == K_ASSIGN_VAR
                        ? AssignVariableOp(in, false, NumberOf(assignment), drop, stack, sp)
                        : AssignElementOp(in, false, NumberOf(assignment), drop, stack, sp);
    return ok ? Step::Done : Step::Failed;
}

// The checks and the message pass that start a run: false, with the error set and a trace
// record added, when the run cannot start.
template <bool Held>
[[gnu::always_inline]] inline bool StartRun(CInterpreter& in, CellIndex program) {
    DocumentHost& doc = *in.document;
    if (doc.errorCode) ClearErrors(doc);
    doc.errorPhase = ErrorPhase::Run;
    const ValueCell& pc = CellAt(program);
    // A program runs only in the interpreter that compiled it: its items index those tables.
    if (pc.type != TYPE_PROGRAM || pc.prog->owner != in.serial) {
        SetError(in, ERR_INVALID_TYPE);
        return false;
    }
    if (g_runDepth >= kMaxRunDepth || StackExhausted()) {
        SetError(in, ERR_NO_MEMORY);
        PushTrace(doc, program, 0);
        return false;
    }
    // The run holds the program (unless its caller does), so that it outlives a
    // redefinition or CLEAR from inside, including one made by a program that runs during
    // the message pass just below.
    if constexpr (!Held) AddRef(program);
    const uint64_t count = g_runCounter++;
    if (count % kMessagePassInterval == 0 && !PassMessages(doc, count)) {
        PushTrace(doc, program, 0);
        if constexpr (!Held) Release(program);
        return false;
    }
    return true;
}

// Pushes variable `number` of the parent; a PROGRAM there cannot be read from here.
template <bool Plain>
[[gnu::always_inline]] inline bool PushParentVariable(CInterpreter& in, uint32_t number,
                                                      Slot* stack, int32_t& sp) {
    const CellIndex v = in.parent->variableValues[number];
    if (CellAt(v).type == TYPE_PROGRAM) {
        SetError(in, ERR_PROGRAM_FROM_PARENT);
        return false;
    }
    PushHeld<Plain>(stack, sp, v);
    return true;
}

// Replaces the index on top of the stack by the element of an own or the parent's array.
template <bool Plain>
[[gnu::always_inline]] inline bool ReadElement(CInterpreter& in, bool own, uint32_t number,
                                               Slot* stack, int32_t& sp) {
    const ValueCell& index = Val(stack[sp]);
    if (index.type != TYPE_LONG) {
        SetError(in, ERR_INVALID_TYPE);
        return false;
    }
    const CellIndex v = (own ? in : *in.parent).arrays[number].Read(index.l);
    if (!own && CellAt(v).type == TYPE_PROGRAM) {
        SetError(in, ERR_PROGRAM_FROM_PARENT);
        return false;
    }
    // The index's cell, if it has one, is let go once the element has taken its slot.
    const CellIndex indexCell = stack[sp].type == kBoxed ? stack[sp].self : kNotValid;
    --sp;
    PushHeld<Plain>(stack, sp, v);
    Release(indexCell);
    return true;
}

// A binary operator on two numbers on top of the stack, computed in place; false where the
// operator's handler must decide.
[[gnu::always_inline]] inline bool ComputeInPlace(uint32_t row, Slot* stack, int32_t& sp) {
    ValueCell value;
    if (!Compute(row, Val(stack[sp - 1]), Val(stack[sp]), value)) return false;
    Drop(stack[sp]);
    Drop(stack[--sp]);
    SetNumber(stack[sp], value, kNoCell);
    return true;
}

// A function of one double (SIN, LOG...) on a number on top of the stack, computed in place;
// false where the handler must run.
[[gnu::always_inline]] inline bool NumberFunctionInPlace(uint32_t row, Slot* stack, int32_t sp) {
    double (*const function)(double) = BuiltinTable[row].number;
    Slot& x = stack[sp];
    if (!function || x.type == kBoxed) return false;
    x.d = function(x.type == TYPE_LONG ? static_cast<double>(x.l) : x.d);
    x.type = TYPE_DOUBLE;
    x.self = kNoCell;
    return true;
}

// A drawing procedure of a point (LINETO...) on two numbers on top of the stack, called
// directly, leaving NOT VALID as its handler would; false where the handler must run.
[[gnu::always_inline]] inline bool PointProcedureInPlace(CInterpreter& in, uint32_t row,
                                                         Slot* stack, int32_t& sp) {
    const PointProcedure procedure = BuiltinTable[row].point;
    if (!procedure) return false;
    const Slot& x = stack[sp - 1];
    const Slot& y = stack[sp];
    if (x.type == kBoxed || y.type == kBoxed) return false;
    procedure(in, x.type == TYPE_LONG ? static_cast<double>(x.l) : x.d,
              y.type == TYPE_LONG ? static_cast<double>(y.l) : y.d);
    SetCell(stack[--sp], kNotValid);
    return true;
}

// A built-in row on the top entries: the evaluator runs IF and WHILE itself, everything else
// goes to the row's handler.
template <bool Plain>
[[gnu::noinline]] bool RunOperator(CInterpreter& in, uint32_t row, Slot* stack, int32_t& sp) {
    if (!Plain && (row == kRowIf || row == kRowWhile)) return RunControl(in, row, stack, sp);
    return CallBuiltin<Plain>(in, row, stack, sp);
}

// How a program's items ended: 0 or the failing item's position (1-based), and the top of
// their stack.
struct ItemsEnd {
    int32_t fail;
    int32_t sp;
};

// One item's own operation (no fused one); false when it failed.
template <bool Plain>
[[gnu::always_inline]] inline bool RunItem(CInterpreter& in, uint32_t op, CellIndex item,
                                           Slot* stack, int32_t& sp) {
    const uint32_t number = NumberOf(op);
    // The calls that are not inlined work on a copy, so that `sp` stays in a register.
    int32_t top = sp;
    bool ok = true;
    switch (KindOf(op)) {
    case K_LITERAL:
        PushHeld<Plain>(stack, sp, item);
        return true;
    case K_SKIP:
        return true;
    case K_VARIABLE:
        PushHeld<Plain>(stack, sp, in.variableValues[number]);
        return true;
    case K_PARENTVARIABLE:
        return PushParentVariable<Plain>(in, number, stack, sp);
    case K_ARRAY:
    case K_PARENTARRAY:
        return ReadElement<Plain>(in, KindOf(op) == K_ARRAY, number, stack, sp);
    case K_SEQUENCE:
        Drop(stack[sp--]);
        return true;
    case K_ASSIGN_VAR:
    case K_ASSIGN_PARENTVAR:
        return AssignVariableOp(in, KindOf(op) == K_ASSIGN_PARENTVAR, number, ExtraOf(op) != 0,
                                stack, sp);
    case K_ASSIGN_ELEMENT:
    case K_ASSIGN_PARENTELEM:
        ok = AssignElementOp(in, KindOf(op) == K_ASSIGN_PARENTELEM, number, ExtraOf(op) != 0, stack,
                             top);
        break;
    case K_USERFUNC:
    case K_PARENTUSERFUNC:
        ok = CallUserFunction<Plain>(KindOf(op) == K_USERFUNC ? in : *in.parent,
                                     static_cast<int32_t>(number), KindOf(op) == K_PARENTUSERFUNC,
                                     stack, top);
        break;
    case K_BINARY: // the quick paths were tried by the caller
    case K_BUILTIN:
        ok = RunOperator<Plain>(in, number, stack, top);
        break;
    default:
        SetError(in, ERR_NOT_IMPLEMENTED);
        return false;
    }
    sp = top;
    return ok;
}

// The evaluator's code of one program: its items, the operations to run (some fused), each
// item's own operation, and the number code.
struct Code {
    const CellIndex* items;
    const uint32_t* ops;
    const uint32_t* plain;
    const uint64_t* numbers;
};

// A fused operation of kind `Kind` at `pos`. Done: its items ran and `pos` is the last item
// it consumed. Failed: `pos` is the failing item. Aside: nothing changed; the item's own
// operation runs.
template <FuseKind Kind>
[[gnu::always_inline]] inline Step RunFusedItems(CInterpreter& in, const Code& code, int32_t& pos,
                                                 Slot* stack, int32_t& sp) {
    const uint32_t op = code.ops[pos];
    const CellIndex* items = code.items + pos;
    const uint32_t* plain = code.plain + pos;
    ValueCell value; // the value computed by a quick step
    if constexpr (Kind == F_ASSIGN_EXPR) {
        const auto last = static_cast<int32_t>(SpanOf(op)) - 1; // the assignment
        const Step step = AssignExpression(in, plain, code.numbers + pos, last, stack, sp, value);
        if (step == Step::Failed) pos += last; // the assignment's failure
        if (step == Step::Done) pos += last + static_cast<int32_t>(ExtraOf(plain[last]));
        return step;
    } else if constexpr (Kind == F_IF_BLOCKS) {
        if (Val(stack[sp]).type != TYPE_LONG) return Step::Aside;
        const CellIndex chosen = items[Val(stack[sp]).l != 0 ? 0 : 1];
        Drop(stack[sp--]);
        pos += 2; // a failure in the branch is the IF item's
        int32_t top = sp;
        const bool ok = RunBranch(in, chosen, stack, top);
        sp = top;
        return ok ? Step::Done : Step::Failed;
    } else {
        if (!RunFused<Kind>(in, op, items, plain, stack, sp, value)) return Step::Aside;
        pos += static_cast<int32_t>(SpanOf(op) + (DropsOf(op) ? 1 : 0)) - 1;
        return Step::Done;
    }
}

// Runs the items of one program from position `first` (where nothing is on the stack) on
// `stack` (a frame of at least count + 1 slots), leaving what they push there. The plain evaluation
// takes each item as the compiler wrote it and calls a handler for every operator; the other uses
// the evaluator's code: fused operations, assignments that store directly, and numbers held by
// value. The most frequent steps are dispatched here directly, the rest by RunItem. No lambdas and
// few locals here: each nesting level of runs pays for this frame.
template <bool Plain>
ItemsEnd RunItems(CInterpreter& in, const ProgramBlock* block, Slot* stack, int32_t first = 0) {
    // Kept in locals: stores to the stack could otherwise alias them and force reloads.
    const int32_t n = block->count;
    const Code code{block->items, ProgramOps(block), ProgramFuse(block), ProgramCode(block)};
    int32_t sp = -1;
    int32_t pos = first;
    Step step;
    for (; pos < n; ++pos) {
        uint32_t op = Plain ? DecodeItem(CellAt(code.items[pos])) : code.ops[pos];
    dispatch:
        switch (op & 0xFF) {
        case K_LITERAL:
            PushHeld<Plain>(stack, sp, code.items[pos]);
            continue;
        case K_VARIABLE:
            PushHeld<Plain>(stack, sp, in.variableValues[NumberOf(op)]);
            continue;
        case K_SKIP:
            continue;
        case K_SEQUENCE:
            Drop(stack[sp--]);
            continue;
            // The plain evaluation never sees a fused operation; where the fast path does not
            // apply, the item's own operation runs.
#define TIVANE_FUSED(KIND)                                                                         \
    case FusedOp(KIND):                                                                            \
        step = RunFusedItems<KIND>(in, code, pos, stack, sp);                                      \
        goto fused;
            TIVANE_FUSED(F_LIT_BINARY)
            TIVANE_FUSED(F_VAR_BINARY)
            TIVANE_FUSED(F_VAR_LIT)
            TIVANE_FUSED(F_VAR_VAR)
            TIVANE_FUSED(F_UPDATE_LIT)
            TIVANE_FUSED(F_UPDATE_VAR)
            TIVANE_FUSED(F_IF_BLOCKS)
            TIVANE_FUSED(F_ASSIGN_EXPR)
#undef TIVANE_FUSED
        case K_BINARY:
            if (!Plain && ComputeInPlace(NumberOf(op), stack, sp)) continue;
            goto other;
        case K_BUILTIN:
            if (!Plain && NumberFunctionInPlace(NumberOf(op), stack, sp)) continue;
            if (!Plain && PointProcedureInPlace(in, NumberOf(op), stack, sp)) {
                if (in.document->errorCode == 0) continue;
                break; // failed, as the handler's call would
            }
            goto other;
        default:
        other:
            if (!RunItem<Plain>(in, op, code.items[pos], stack, sp)) break;
            pos += static_cast<int32_t>(ExtraOf(op));
            continue;
        }
        break; // failed
    fused:
        if (step == Step::Done) continue;
        if (step == Step::Failed) break;
        op = code.plain[pos];
        goto dispatch;
    }
    return {pos < n ? pos + 1 : 0, sp};
}

// Ends a run on its frame: a failure adds the run's trace record; otherwise the top entry is
// the value (NOT VALID for an empty stack), and the rest is dropped.
[[gnu::always_inline]] inline void FinishRun(CInterpreter& in, CellIndex program, ItemsEnd end,
                                             Slot* stack, Slot* result) {
    const int32_t fail = end.fail;
    int32_t sp = end.sp;
    if (fail != 0) {
        PushTrace(*in.document, program, static_cast<int16_t>(in.parent ? fail : -fail));
    } else if (result) {
        if (sp >= 0)
            *result = stack[sp--];
        else
            SetCell(*result, kNotValid);
    }
    while (sp >= 0)
        Drop(stack[sp--]);
}

// One run of a program: the checks that start it, a frame, its items, its end.
template <bool Held, bool Plain>
bool RunSlots(CInterpreter& in, CellIndex program, Slot* result) {
    if (!StartRun<Held>(in, program)) return false;
    const ProgramBlock* block = CellAt(program).prog;
    const StackArena::Mark mark = g_arena.Top();
    Slot* stack = g_arena.Acquire(static_cast<size_t>(block->count) + 1);
    if (!stack) {
        if constexpr (!Held) Release(program);
        SetError(in, ERR_NO_MEMORY);
        PushTrace(*in.document, program, 0);
        return false;
    }
    ++g_runDepth;
    const ItemsEnd end = RunItems<Plain>(in, block, stack);
    --g_runDepth;
    FinishRun(in, program, end, stack, result);
    g_arena.ReleaseTo(mark);
    if constexpr (!Held) Release(program);
    return end.fail == 0;
}

// A condition program computed without running it, by its number code (a comparison such as
// `i < 1.5` has it now that the code takes doubles); decoded once.
class QuickTest {
public:
    explicit QuickTest(const ProgramBlock* block) {
        if (static_cast<uint8_t>(ProgramCode(block)[0]) != X_NONE) m_code = ProgramCode(block);
    }

    bool Usable() const { return m_code; }

    // The condition's truth, counted as its run; false, with nothing counted, when the
    // program must run instead. Leaves the limits and the message pass to the caller.
    [[gnu::always_inline]] bool Compute(CInterpreter& in, bool& truth) const {
        ValueCell result;
        // Counted before the code, which may call functions, as the run counts itself first.
        const uint64_t start = g_runCounter++;
        // A condition whose value is no long fails in its run.
        if (m_code && CodeNumber(in, m_code, result) && result.type == TYPE_LONG) {
            truth = result.l != 0;
            return true;
        }
        g_runCounter = start;
        return false;
    }

private:
    const uint64_t* m_code = nullptr;
};

// One run of a program the caller holds, on a frame the caller provides, once the caller has
// made sure that the program is its interpreter's and that the nesting limits are far: the
// rest of a run's start (errors, the message pass) and its end are as in RunSlots.
[[gnu::always_inline]] inline bool RunInFrame(CInterpreter& in, CellIndex program, Slot* stack,
                                              Slot* result) {
    DocumentHost& doc = *in.document;
    if (doc.errorCode) ClearErrors(doc);
    doc.errorPhase = ErrorPhase::Run;
    const uint64_t count = g_runCounter++;
    if (count % kMessagePassInterval == 0 && !PassMessages(doc, count)) {
        PushTrace(doc, program, 0);
        return false;
    }
    ++g_runDepth;
    const ItemsEnd end = RunItems<false>(in, CellAt(program).prog, stack);
    --g_runDepth;
    FinishRun(in, program, end, stack, result);
    return end.fail == 0;
}

// Whether a condition's value lets the loop go on; false with the error set when it is no long.
bool ConditionHolds(CInterpreter& in, const Slot& test, bool& goOn) {
    const ValueCell& t = Val(test);
    const bool isLong = t.type == TYPE_LONG;
    goOn = isLong && t.l != 0;
    Drop(test);
    if (!isLong) SetError(in, ERR_INVALID_TYPE);
    return isLong;
}

// A WHILE condition's run, or its quick computation where that cannot make a difference:
// false with the error set when it failed or its value is no long.
[[gnu::always_inline]] inline bool TestCondition(CInterpreter& in, const QuickTest& quick,
                                                 CellIndex condition, Slot* stack, bool& goOn) {
    if (quick.Usable() && g_runCounter % kMessagePassInterval != 0 && quick.Compute(in, goOn))
        return true;
    Slot value;
    return RunInFrame(in, condition, stack, &value) && ConditionHolds(in, value, goOn);
}

// WHILE on a loop QuickLoop decodes; Aside, with nothing run, for any other loop. The code
// runs whole turns, the condition's run and the body's each counted (nesting depth, the
// message pass); where it gives up, that run, or the rest of the body from the statement where
// it gave up, goes the ordinary way, and the code takes over again at the next condition. Its
// frame holds the loop's code; the item loop's frames stay small.
[[gnu::noinline]] Step RunStatementLoop(CInterpreter& in, const QuickTest& quick,
                                        CellIndex condition, CellIndex body, Slot* stack) {
    if (!quick.Usable()) return Step::Aside;
    QuickLoop loop(in, CellAt(condition).prog, CellAt(body).prog);
    if (!loop.Usable()) return Step::Aside;
    DocumentHost& doc = *in.document;
    int32_t from = -1;
    for (;;) {
        QuickLoop::End end{Step::Aside, -1, 0};
        if (doc.errorCode == 0) {
            doc.errorPhase = ErrorPhase::Run;
            ++g_runDepth;
            end = loop.Run(in, from);
            --g_runDepth;
        }
        if (end.step == Step::Done) return Step::Done;
        from = -1;
        if (end.at >= 0) {
            // The rest of the body from the statement where the code gave up or failed.
            ItemsEnd rest{end.pos + 1, -1};
            ++g_runDepth;
            if (end.step == Step::Aside)
                rest = RunItems<false>(in, CellAt(body).prog, stack, end.pos);
            --g_runDepth;
            FinishRun(in, body, rest, stack, nullptr);
            if (rest.fail != 0) return Step::Failed;
            continue;
        }
        if (end.at == -1) {
            bool goOn;
            if (!TestCondition(in, quick, condition, stack, goOn)) return Step::Failed;
            if (!goOn) return Step::Done;
            // The body's run starts as a run would: the code takes it where nothing is due.
            if (doc.errorCode == 0 && g_runCounter % kMessagePassInterval != 0) {
                ++g_runCounter;
                from = 0;
                continue;
            }
        }
        if (!RunInFrame(in, body, stack, nullptr)) return Step::Failed;
    }
}

// WHILE with its condition and body run one after the other on one frame taken for the whole
// loop, instead of a nested run each. Every run is still counted as one (nesting depth, the
// message pass, traces), and the loop steps aside to RunWhileLoop where a run could fail at
// its start: another interpreter's program, a frame that cannot be had, nesting near a limit.
bool RunLoopInFrame(CInterpreter& in, CellIndex condition, CellIndex body) {
    const ProgramBlock* test = CellAt(condition).prog;
    const ProgramBlock* work = CellAt(body).prog;
    if (test->owner != in.serial || work->owner != in.serial ||
        g_runDepth >= kMaxRunDepth - kQuickDepthMargin || StackExhausted(kQuickStackMargin))
        return RunWhileLoop(in, condition, body);
    const StackArena::Mark mark = g_arena.Top();
    Slot* stack = g_arena.Acquire(static_cast<size_t>(std::max(test->count, work->count)) + 1);
    if (!stack) return RunWhileLoop(in, condition, body);
    const QuickTest quick(test);
    const Step statements = RunStatementLoop(in, quick, condition, body, stack);
    bool ok = statements == Step::Done;
    if (statements == Step::Aside) {
        for (;;) {
            bool goOn;
            ok = TestCondition(in, quick, condition, stack, goOn);
            if (!ok || !goOn) break;
            ok = RunInFrame(in, body, stack, nullptr);
            if (!ok) break;
        }
    }
    g_arena.ReleaseTo(mark);
    return ok;
}

// The value of a program that is one expression on numbers, computed without running it where
// the run would start and end without incident: false when it must run. It still counts as a
// run for the message pass.
// QuickValue once the program is known to be its interpreter's, the error fields clear and
// the nesting limits far.
[[gnu::always_inline]] inline bool CodeValueOf(CInterpreter& in, const ProgramBlock* block,
                                               Slot& value) {
    const uint64_t* code = ProgramCode(block);
    if (static_cast<uint8_t>(code[0]) == X_NONE || g_runCounter % kMessagePassInterval == 0)
        return false;
    if (static_cast<uint8_t>(code[0]) == X_VARIABLE && static_cast<uint8_t>(code[1]) == X_END) {
        // `{n}`, a recursion's usual base case: the variable's number as its push leaves it.
        const CellIndex c = in.variableValues[code[0] >> 32];
        if (!IsNumber(CellAt(c).type)) return false;
        SetNumber(value, CellAt(c), c);
        ++g_runCounter;
    } else {
        // Counted before the code, which may call functions, as the run counts itself first.
        const uint64_t start = g_runCounter++;
        ValueCell result;
        if (!CodeNumber(in, code, result)) {
            g_runCounter = start;
            return false;
        }
        value.type = result.type;
        value.self = kNoCell;
        value.raw = result.raw;
    }
    in.document->errorPhase = ErrorPhase::Run;
    return true;
}

bool QuickValue(CInterpreter& in, const ProgramBlock* block, Slot& value) {
    return static_cast<uint8_t>(ProgramCode(block)[0]) != X_NONE && block->owner == in.serial &&
           !in.document->errorCode && LimitsFar() && CodeValueOf(in, block, value);
}

// A run of IF's chosen branch, which the caller holds, giving its value: computed when it is
// one expression, else run on a frame of its own without the start's checks of nesting where
// those provably pass (QuickValue's margins). `Checked`: the caller has made sure of the
// branch's interpreter, the limits and the error fields.
template <bool Checked>
bool RunBranchValue(CInterpreter& in, CellIndex branch, Slot& value) {
    const ProgramBlock* block = CellAt(branch).prog;
    if (Checked ? CodeValueOf(in, block, value) : QuickValue(in, block, value)) return true;
    if (Checked || (block->owner == in.serial && LimitsFar())) {
        const StackArena::Mark mark = g_arena.Top();
        if (Slot* stack = g_arena.Acquire(static_cast<size_t>(block->count) + 1)) {
            const bool ok = RunInFrame(in, branch, stack, &value);
            g_arena.ReleaseTo(mark);
            return ok;
        }
    }
    return RunSlots<true, false>(in, branch, &value);
}

// A run's value as a slot (nullptr drops it), in the evaluation the switch selects.
template <bool Held>
bool RunEither(CInterpreter& in, CellIndex program, Slot* result) {
    return g_plain ? RunSlots<Held, true>(in, program, result)
                   : RunSlots<Held, false>(in, program, result);
}

// A run's value as a cell. A number that ends the run needs one; without one the run's last
// item fails.
template <bool Held>
CellIndex RunToCell(CInterpreter& in, CellIndex program) {
    Slot value;
    if (!RunEither<Held>(in, program, &value)) return kNoCell;
    const CellIndex c = Box(in, value, true);
    if (c == kNoCell) {
        const int32_t n = CellAt(program).prog->count;
        PushTrace(*in.document, program, static_cast<int16_t>(in.parent ? n : -n));
    }
    return c;
}

// Gives the parameters of a call from number code the values they had: a number back into
// the variable's cell while no one else holds it (a program that ran during a message pass
// may have changed that), else into a cell of its own.
[[gnu::always_inline]] inline void Unbind(std::vector<CellIndex>& vars, const int16_t* params,
                                          int32_t bound, const ValueCell* saved,
                                          const CellIndex* replaced) {
    for (int32_t k = 0; k < bound; ++k) {
        CellIndex& var = vars[params[k]];
        if (replaced[k] != kNoCell) {
            Release(std::exchange(var, replaced[k]));
            continue;
        }
        ValueCell& held = CellAt(var);
        if (held.refs == 1 && IsNumber(held.type)) {
            held.type = saved[k].type;
            held.raw = saved[k].raw;
            continue;
        }
        // Without a cell to be had the variable keeps what it holds.
        const CellIndex own = Pool().NewCell();
        if (own == kNoCell) continue;
        CellAt(own).type = saved[k].type;
        CellAt(own).raw = saved[k].raw;
        Release(std::exchange(var, own));
    }
}

// Whether a function's parameter variables are all different, as binding by exchange needs.
bool DistinctParameters(const int16_t* params, int32_t n) {
    for (int32_t k = 1; k < n; ++k)
        for (int32_t j = 0; j < k; ++j)
            if (params[j] == params[k]) return false;
    return true;
}

// Calls from number code under way, and the run depth where the outermost of them began.
int32_t g_codeNesting = 0;
int32_t g_codeOuterDepth = 0;

// The message pass of a run started from number code, where the count says so: false, with
// nothing changed, when it brought a Stop, which the items that take over meet at this same
// pass.
bool PassInCode(CInterpreter& in) {
    if (g_runCounter % kMessagePassInterval != 0) return true;
    DocumentHost& doc = *in.document;
    if (PassMessages(doc, g_runCounter)) return true;
    doc.errorCode = 0;
    return false;
}

// The value of a called body's code. Below the outermost call it is on numbers from the
// start: code on longs that gave up for a double would make the calls below it again, at
// every level of a recursion; so only the outermost call's value may be computed twice.
[[gnu::always_inline]] inline bool CalledValue(CInterpreter& in, const uint64_t* code,
                                               ValueCell& result) {
    if (g_codeNesting == 1) return CodeNumber(in, code, result);
    const NumberValue number = RunNumberCallCode(in, code);
    result.type = number.value.type;
    result.raw = number.value.raw;
    return number.ok;
}

// The body of a call from number code, its parameters bound and its run counted: its number
// code, or for `IF(cond, {..}, {..})` the condition's code and the chosen branch's, that
// branch counted as the run it is.
bool BodyInCode(CInterpreter& in, const ProgramBlock* block, ValueCell& result) {
    const uint64_t* code = ProgramCode(block);
    if (static_cast<uint8_t>(code[0]) != X_NONE) return CalledValue(in, code, result);
    const int32_t n = block->count;
    const CodeValue test = RunLongCode(in, code + 1);
    if (!test.ok) return false;
    const ProgramBlock* branch = CellAt(block->items[n - (test.value != 0 ? 3 : 2)]).prog;
    const uint64_t* value = ProgramCode(branch);
    if (static_cast<uint8_t>(value[0]) == X_NONE || branch->owner != in.serial || !PassInCode(in))
        return false;
    ++g_runCounter;
    if (static_cast<uint8_t>(value[0]) == X_VARIABLE && static_cast<uint8_t>(value[1]) == X_END) {
        // `{n}`, a recursion's usual base case.
        const ValueCell& v = CellAt(in.variableValues[value[0] >> 32]);
        result.type = v.type;
        result.raw = v.raw;
        return IsNumber(v.type);
    }
    ++g_runDepth;
    const bool ok = CalledValue(in, value, result);
    --g_runDepth;
    return ok;
}

// Whether calls from number code are refused above a run depth: one was refused where the
// items, taking over, would try the code again at every level of theirs (nesting limits near,
// or deep in a recursion whose base case has no code), which would cost each level the whole
// depth. The items below that depth end before code calls are tried again.
bool g_codeCallsOff = false;
int32_t g_codeCallsOffAbove = 0;
constexpr int32_t kRetriedNesting = 4;

// CallInCode's call; `near` when the nesting limits refused it.
bool MakeCodeCall(CInterpreter& in, uint32_t function, int32_t n, const ValueCell* args,
                  ValueCell& result, bool& near) {
    const UserFunction& f = in.functions[function];
    if (f.nargs != n || f.body == kNotValid || static_cast<int32_t>(f.params.size()) != n ||
        CellAt(f.body).type != TYPE_PROGRAM)
        return false;
    const CellIndex body = f.body;
    const ProgramBlock* block = CellAt(body).prog;
    const uint64_t* code = ProgramCode(block);
    if ((static_cast<uint8_t>(code[0]) == X_NONE &&
         static_cast<uint8_t>(code[block->count]) != X_IF_BODY) ||
        block->owner != in.serial || in.document->errorCode ||
        !DistinctParameters(f.params.data(), n))
        return false;
    near = !LimitsFar(2);
    if (near) return false;
    // The parameters, the last one first, as the binding of a call takes them from its stack.
    const int16_t* params = f.params.data();
    std::vector<CellIndex>& vars = in.variableValues;
    ValueCell saved[kMaxCallArgs];
    CellIndex replaced[kMaxCallArgs];
    for (int32_t k = 0; k < n; ++k) {
        const ValueCell& arg = args[n - 1 - k];
        ValueCell& held = CellAt(vars[params[k]]);
        replaced[k] = kNoCell;
        if (held.refs == 1 && IsNumber(held.type)) {
            saved[k].type = held.type;
            saved[k].raw = held.raw;
            held.type = arg.type;
            held.raw = arg.raw;
            continue;
        }
        const CellIndex own = Pool().NewCell();
        if (own == kNoCell) {
            Unbind(vars, params, k, saved, replaced);
            return false;
        }
        CellAt(own).type = arg.type;
        CellAt(own).raw = arg.raw;
        replaced[k] = std::exchange(vars[params[k]], own);
    }
    const uint64_t start = g_runCounter;
    bool ok = PassInCode(in);
    if (ok) {
        ++g_runCounter;
        AddRef(body); // held as its run would hold it, against a redefinition in a message pass
        ++g_runDepth;
        ++g_codeNesting;
        ok = BodyInCode(in, block, result);
        --g_codeNesting;
        --g_runDepth;
        Release(body);
    }
    Unbind(vars, params, n, saved, replaced);
    if (!ok) {
        g_runCounter = start;
        return false;
    }
    in.document->errorPhase = ErrorPhase::Run;
    return true;
}

} // namespace

// What CallUserFunction does for a body with number code or an IF body whose condition and
// chosen branch have it, without a stack: a parameter variable whose cell no one else holds
// takes its argument in that cell, any other takes a cell of its own (the argument's cell in
// a call's own binding), and each gets back what it had. Such a body changes nothing but the
// run count, so where it gives up the items can make the call again.
bool evaluation::CallInCode(CInterpreter& in, uint32_t function, int32_t n, const ValueCell* args,
                            ValueCell& result) {
    if (g_codeCallsOff) {
        if (g_runDepth > g_codeCallsOffAbove) return false;
        g_codeCallsOff = false;
    }
    if (g_codeNesting == 0) g_codeOuterDepth = g_runDepth;
    bool near = false;
    if (MakeCodeCall(in, function, n, args, result, near)) return true;
    if (near || g_codeNesting >= kRetriedNesting) {
        g_codeCallsOff = true;
        g_codeCallsOffAbove = g_codeOuterDepth;
    }
    return false;
}

void SetRunCounter(uint16_t value) {
    g_runCounter = value;
    g_passesEnd = value;
}

void SetPlainEvaluation(bool plain) {
    g_plain = plain;
}

CellIndex Run(CInterpreter& in, CellIndex program) {
    return RunToCell<false>(in, program);
}

CellIndex RunHeld(CInterpreter& in, CellIndex program) {
    return RunToCell<true>(in, program);
}

bool RunWhileLoop(CInterpreter& in, CellIndex condition, CellIndex body) {
    for (;;) {
        bool goOn;
        if (!QuickCondition(in, condition, goOn)) {
            Slot test;
            if (!RunEither<true>(in, condition, &test) || !ConditionHolds(in, test, goOn))
                return false;
        }
        if (!goOn) return true;
        if (!RunEither<true>(in, body, nullptr)) return false;
    }
}

bool QuickCondition(CInterpreter& in, CellIndex program, bool& truth) {
    const ProgramBlock* block = CellAt(program).prog;
    if (g_plain || block->owner != in.serial) return false;
    // The message pass and the nesting limits belong to a real run: leave those to Run.
    if (g_runCounter % kMessagePassInterval == 0 ||
        g_runDepth >= kMaxRunDepth - kQuickDepthMargin || StackExhausted(kQuickStackMargin))
        return false;
    return QuickTest(block).Compute(in, truth);
}

} // namespace tivane
