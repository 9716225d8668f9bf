#include "evaluator.h"

#include <cassert>
#include <memory>
#include <new>
#include <vector>

#include <sys/resource.h>

#include "arithmetic.h"
#include "builtintable.h"
#include "errors.h"
#include "interpreter.h"
#include "programcode.h"
#include "values.h"

namespace tivane {

namespace {

// Evaluation-stack storage shared by all runs. Nested runs take frames above their caller's;
// blocks never move, so a handler's stack pointer stays valid while it runs nested programs,
// and a run allocates nothing once the blocks it needs exist.
class StackArena {
public:
    struct Mark {
        size_t block;
        size_t used;
    };

    CellIndex* Acquire(size_t n, Mark& mark) {
        mark = {m_block, m_used};
        if (m_used + n <= m_size) {
            CellIndex* frame = m_data + m_used;
            m_used += n;
            return frame;
        }
        return AcquireInNextBlock(n);
    }

    void ReleaseTo(const Mark& mark) {
        if (mark.block != m_block) {
            m_block = mark.block;
            m_data = m_blocks[m_block].data.get();
            m_size = m_blocks[m_block].size;
        }
        m_used = mark.used;
    }

private:
    [[gnu::noinline]] CellIndex* AcquireInNextBlock(size_t n) {
        const size_t next = m_data ? m_block + 1 : 0;
        if (next >= m_blocks.size() || m_blocks[next].size < n) {
            const size_t size = std::max(n, kBlockSlots);
            std::unique_ptr<CellIndex[]> data(new (std::nothrow) CellIndex[size]);
            if (!data) return nullptr;
            try {
                if (next >= m_blocks.size()) m_blocks.push_back({nullptr, 0});
            } catch (const std::bad_alloc&) {
                return nullptr;
            }
            m_blocks[next] = {std::move(data), size};
        }
        m_block = next;
        m_data = m_blocks[next].data.get();
        m_size = m_blocks[next].size;
        m_used = n;
        return m_data;
    }

    // Two frames of the largest program fit in one block.
    static constexpr size_t kBlockSlots = 65536;
    struct Block {
        std::unique_ptr<CellIndex[]> data;
        size_t size;
    };
    std::vector<Block> m_blocks;
    size_t m_block = 0;
    CellIndex* m_data = nullptr; // the current block
    size_t m_size = 0;
    size_t m_used = 0;
};

StackArena g_arena;
uint16_t g_runCounter = 0;
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

bool StackExhausted(size_t margin = 0) {
    const auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    if (g_runDepth == 0) {
        g_stackFloor = here > StackBudget() ? here - StackBudget() : 0;
        return false;
    }
    return here < g_stackFloor + margin;
}

// Replaces a long on the stack by a double of the same value.
bool Widen(CInterpreter& in, CellIndex& slot) {
    ValueCell& c = CellAt(slot);
    if (c.refs == 1) { // only the stack holds it: convert in place
        c.d = static_cast<double>(c.l);
        c.type = TYPE_DOUBLE;
        return true;
    }
    const CellIndex d = NewDouble(in, static_cast<double>(c.l));
    if (d == kNoCell) return false;
    Release(slot);
    slot = d;
    return true;
}

// Checks and widens the arguments of a built-in row in place.
bool CheckArguments(CInterpreter& in, const BuiltinEntry& e, CellIndex* stack, int32_t sp) {
    for (int32_t k = e.nargs - 1; k >= 0; --k) {
        CellIndex& slot = stack[sp - k];
        const uint16_t type = CellAt(slot).type;
        if (type & e.argMask[k]) continue;
        if (type == TYPE_LONG && (e.argMask[k] & TYPE_DOUBLE)) {
            if (!Widen(in, slot)) return false;
            continue;
        }
        SetError(in, ERR_INVALID_TYPE);
        return false;
    }
    for (int p = 0; e.sameType[p] != kSameTypeEnd && p < 4; p += 2) {
        CellIndex& a = stack[sp - e.sameType[p]];
        CellIndex& b = stack[sp - e.sameType[p + 1]];
        if (CellAt(a).type & CellAt(b).type) continue;
        if (CellAt(a).type == TYPE_LONG && !Widen(in, a)) return false;
        if (CellAt(b).type == TYPE_LONG && !Widen(in, b)) return false;
        if (CellAt(a).type != CellAt(b).type) {
            SetError(in, ERR_INVALID_TYPE);
            return false;
        }
    }
    return true;
}

// Parameter numbers are copied before the call: the body may redefine its own function.
class ParamCopy {
public:
    explicit ParamCopy(const std::vector<int16_t>& params) {
        if (params.size() <= kInline) {
            std::copy(params.begin(), params.end(), m_inline);
            m_data = m_inline;
        } else {
            m_heap = params;
            m_data = m_heap.data();
        }
    }
    int16_t operator[](size_t k) const { return m_data[k]; }

private:
    static constexpr size_t kInline = 8;
    int16_t m_inline[kInline];
    std::vector<int16_t> m_heap;
    const int16_t* m_data;
};

// Replaces the two operands on top of the stack by the result. An operand that only the
// stack holds takes the result in place, which saves a free and an allocation.
[[gnu::always_inline]] inline bool StoreBinaryResult(CInterpreter& in, CellIndex* stack,
                                                     int32_t& sp, const ValueCell& value) {
    const CellIndex li = stack[sp - 1];
    const CellIndex ri = stack[sp];
    ValueCell& l = CellAt(li);
    ValueCell& r = CellAt(ri);
    CellIndex target;
    if (l.refs == 1) {
        target = li;
        Release(ri);
    } else if (r.refs == 1) {
        target = ri;
        Release(li);
    } else {
        target = Pool().NewCell();
        if (target == kNoCell) {
            SetError(in, ERR_NO_MEMORY);
            return false;
        }
        Release(li);
        Release(ri);
    }
    ValueCell& t = CellAt(target);
    t.type = value.type;
    t.raw = value.raw;
    stack[--sp] = target;
    return true;
}

[[gnu::always_inline]] inline bool AssignVariable(CInterpreter& in, bool parentVariable,
                                                  uint32_t number, bool drop, CellIndex* stack,
                                                  int32_t& sp) {
    const CellIndex value = stack[sp];
    const uint16_t type = CellAt(value).type;
    if (!(type & MASK_ANY)) {
        SetError(in, ERR_INVALID_TYPE);
        return false;
    }
    if (parentVariable && type == TYPE_PROGRAM) {
        SetError(in, ERR_PROGRAM_TO_PARENT);
        return false;
    }
    CellIndex& slot = (parentVariable ? *in.parent : in).variableValues[number];
    const CellIndex old = slot;
    if (drop)
        --sp; // the stack's reference passes to the variable
    else
        AddRef(value);
    slot = value;
    Release(old);
    return true;
}

bool AssignElement(CInterpreter& in, bool parentArray, uint32_t number, bool drop, CellIndex* stack,
                   int32_t& sp) {
    const CellIndex value = stack[sp];
    const CellIndex index = stack[sp - 1];
    const uint16_t type = CellAt(value).type;
    if (CellAt(index).type != TYPE_LONG || !(type & MASK_ANY)) {
        SetError(in, ERR_INVALID_TYPE);
        return false;
    }
    if (parentArray && type == TYPE_PROGRAM) {
        SetError(in, ERR_PROGRAM_TO_PARENT);
        return false;
    }
    AddRef(value);
    if (!(parentArray ? *in.parent : in).StoreElement(number, CellAt(index).l, value)) {
        Release(value);
        return false;
    }
    Release(index);
    if (drop) {
        Release(value);
        sp -= 2;
    } else {
        stack[--sp] = value;
    }
    return true;
}

[[gnu::always_inline]] inline CellIndex NewNumber(CInterpreter& in, const ValueCell& value) {
    const CellIndex c = Pool().NewCell();
    if (c == kNoCell) {
        SetError(in, ERR_NO_MEMORY);
        return kNoCell;
    }
    ValueCell& t = CellAt(c);
    t.type = value.type;
    t.raw = value.raw;
    return c;
}

// The fast path of a fused operation; false when its items must run one by one (the error
// code is then set only when a cell could not be had).
template <typename Variable>
[[gnu::always_inline]] inline bool RunFused(CInterpreter& in, uint32_t f, const CellIndex* items,
                                            const uint32_t* ops, CellIndex* stack, int32_t& sp,
                                            Variable variable) {
    ValueCell v;
    switch (FuseKindOf(f)) {
    case F_VAR_LIT:
    case F_VAR_VAR: {
        const ValueCell& a = CellAt(variable(ops[0]));
        const ValueCell& b = CellAt(FuseKindOf(f) == F_VAR_LIT ? items[1] : variable(ops[1]));
        if (!Compute(NumberOf(ops[2]), a, b, v)) return false;
        const CellIndex c = NewNumber(in, v);
        if (c == kNoCell) return false;
        stack[++sp] = c;
        return true;
    }
    case F_LIT_BINARY:
    case F_VAR_BINARY: {
        const CellIndex li = stack[sp];
        ValueCell& a = CellAt(li);
        const ValueCell& b = CellAt(FuseKindOf(f) == F_LIT_BINARY ? items[0] : variable(ops[0]));
        if (!Compute(NumberOf(ops[1]), a, b, v)) return false;
        if (a.refs == 1) { // a temporary only the stack holds takes the result
            a.type = v.type;
            a.raw = v.raw;
            return true;
        }
        const CellIndex c = NewNumber(in, v);
        if (c == kNoCell) return false;
        Release(li);
        stack[sp] = c;
        return true;
    }
    case F_UPDATE_LIT:
    case F_UPDATE_VAR: {
        // v := v op x changes v's cell in place when nothing else holds it.
        const CellIndex slot = in.variableValues[NumberOf(ops[1])];
        ValueCell& a = CellAt(slot);
        if (a.refs != 1) return false;
        const ValueCell& b = CellAt(FuseKindOf(f) == F_UPDATE_LIT ? items[2] : variable(ops[2]));
        if (!Compute(NumberOf(ops[3]), a, b, v)) return false;
        a.type = v.type;
        a.raw = v.raw;
        if (!DropsOf(f)) {
            AddRef(slot);
            stack[++sp] = slot;
        }
        return true;
    }
    default:
        return false;
    }
}

// Calls a user function of `owner` with its arguments on top of the stack: the parameter
// variables are bound by exchange with the stack and restored afterwards.
bool CallUserFunction(CInterpreter& owner, int32_t function, bool parentCall, CellIndex* stack,
                      int32_t& sp) {
    const UserFunction& f = owner.functions[function];
    const int32_t n = f.nargs;
    const CellIndex body = f.body;
    if (body == kNotValid) { // called but never defined: not an error
        for (int32_t k = 0; k < n; ++k)
            Release(stack[sp--]);
        stack[++sp] = kNotValid;
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
            if (CellAt(stack[sp - k]).type == TYPE_PROGRAM) {
                SetError(owner, ERR_PROGRAM_TO_PARENT);
                return false;
            }
        }
    }
    const ParamCopy params(f.params);
    std::vector<CellIndex>& vars = owner.variableValues;
    // Bind: the parameter variables take the arguments, the stack keeps their old values.
    for (int32_t k = n - 1; k >= 0; --k)
        std::swap(stack[sp - k], vars[params[k]]);
    const CellIndex result = Run(owner, body);
    if (result == kNoCell) return false; // the parameters keep the arguments
    for (int32_t k = 0; k < n; ++k) {
        const CellIndex old = vars[params[k]];
        vars[params[k]] = stack[sp--];
        Release(old);
    }
    if (parentCall && CellAt(result).type == TYPE_PROGRAM) {
        Release(result);
        SetError(owner, ERR_PROGRAM_FROM_PARENT);
        return false;
    }
    stack[++sp] = result;
    return true;
}

template <bool Held>
CellIndex RunProgram(CInterpreter& in, CellIndex program) {
    DocumentHost& doc = *in.document;
    if (doc.errorCode) ClearErrors(doc);
    doc.errorPhase = ErrorPhase::Run;
    const ValueCell& pc = CellAt(program);
    // A program runs only in the interpreter that compiled it: its items index those tables.
    if (pc.type != TYPE_PROGRAM || pc.prog->owner != in.serial) {
        SetError(in, ERR_INVALID_TYPE);
        return kNoCell;
    }
    if (g_runDepth >= kMaxRunDepth || StackExhausted()) {
        SetError(in, ERR_NO_MEMORY);
        PushTrace(doc, program, 0);
        return kNoCell;
    }
    // The run holds the program, so that it outlives a redefinition or CLEAR from inside,
    // including one made by a program that runs during the message pass just below.
    if constexpr (!Held) AddRef(program);
    if (g_runCounter++ % 4096 == 0) {
        doc.PumpMessages();
        if (doc.errorCode) {
            PushTrace(doc, program, 0);
            if constexpr (!Held) Release(program);
            return kNoCell;
        }
    }
    const ProgramBlock* block = pc.prog;
    const int32_t n = block->count;
    const CellIndex* items = block->items;
    const uint32_t* ops = ProgramOps(block);
    StackArena::Mark mark;
    CellIndex* stack = g_arena.Acquire(static_cast<size_t>(n) + 1, mark);
    if (!stack) {
        if constexpr (!Held) Release(program);
        SetError(in, ERR_NO_MEMORY);
        PushTrace(doc, program, 0);
        return kNoCell;
    }
    ++g_runDepth;
    const uint32_t* fuse = ProgramFuse(block);
    int32_t sp = -1;
    int32_t pos = 0;  // the next item
    int32_t fail = 0; // the failing item's position (1-based)
    CInterpreter* parent = in.parent;
    auto variable = [&](uint32_t op) -> CellIndex {
        return KindOf(op) == K_VARIABLE ? in.variableValues[NumberOf(op)]
                                        : parent->variableValues[NumberOf(op)];
    };
    while (pos < n) {
        uint32_t op = ops[pos];
        if (KindOf(op) == K_FUSED) {
            if (RunFused(in, op, items + pos, fuse + pos, stack, sp, variable)) {
                pos += static_cast<int32_t>(SpanOf(op) + (DropsOf(op) ? 1 : 0));
                continue;
            }
            if (in.document->errorCode) { // only "Not enough memory" can get here
                fail = pos + static_cast<int32_t>(SpanOf(op)); // the operator's item
                break;
            }
            op = fuse[pos]; // the item's own operation
        }
        const CellIndex item = items[pos];
        const uint32_t number = NumberOf(op);
        bool ok = true;
        switch (KindOf(op)) {
        case K_LITERAL:
            AddRef(item);
            stack[++sp] = item;
            break;
        case K_SKIP:
            break;
        case K_VARIABLE: {
            const CellIndex v = in.variableValues[number];
            AddRef(v);
            stack[++sp] = v;
            break;
        }
        case K_PARENTVARIABLE: {
            const CellIndex v = parent->variableValues[number];
            if (CellAt(v).type == TYPE_PROGRAM) {
                SetError(in, ERR_PROGRAM_FROM_PARENT);
                ok = false;
                break;
            }
            AddRef(v);
            stack[++sp] = v;
            break;
        }
        case K_ARRAY:
        case K_PARENTARRAY: {
            const ValueCell& index = CellAt(stack[sp]);
            if (index.type != TYPE_LONG) {
                SetError(in, ERR_INVALID_TYPE);
                ok = false;
                break;
            }
            const bool own = KindOf(op) == K_ARRAY;
            const ArrayEntry& a = (own ? in : *parent).arrays[number];
            const auto i = static_cast<uint32_t>(index.l);
            const CellIndex v = i < static_cast<uint32_t>(a.slotCount) ? a.slots[i] : kNotValid;
            if (!own && CellAt(v).type == TYPE_PROGRAM) {
                SetError(in, ERR_PROGRAM_FROM_PARENT);
                ok = false;
                break;
            }
            AddRef(v);
            Release(stack[sp]);
            stack[sp] = v;
            break;
        }
        case K_USERFUNC:
            ok = CallUserFunction(in, static_cast<int32_t>(number), false, stack, sp);
            break;
        case K_PARENTUSERFUNC:
            ok = CallUserFunction(*parent, static_cast<int32_t>(number), true, stack, sp);
            break;
        case K_SEQUENCE:
            Release(stack[sp--]);
            break;
        case K_ASSIGN_VAR:
        case K_ASSIGN_PARENTVAR:
            ok = AssignVariable(in, KindOf(op) == K_ASSIGN_PARENTVAR, number, ExtraOf(op) != 0,
                                stack, sp);
            break;
        case K_ASSIGN_ELEMENT:
        case K_ASSIGN_PARENTELEM:
            ok = AssignElement(in, KindOf(op) == K_ASSIGN_PARENTELEM, number, ExtraOf(op) != 0,
                               stack, sp);
            break;
        case K_BINARY: {
            ValueCell value;
            if (Compute(number, CellAt(stack[sp - 1]), CellAt(stack[sp]), value)) {
                ok = StoreBinaryResult(in, stack, sp, value);
                break;
            }
            [[fallthrough]];
        }
        case K_BUILTIN: {
            const BuiltinEntry& e = BuiltinTable[number];
            assert(sp + 1 >= e.nargs);
            if (!CheckArguments(in, e, stack, sp)) {
                ok = false;
                break;
            }
            const CellIndex r = e.handler(in, stack, sp);
            if (r == kNoCell) {
                ok = false;
                break;
            }
            stack[++sp] = r;
            ok = doc.errorCode == 0;
            break;
        }
        case K_FUSED: // replaced above by the item's own operation
        case K_UNKNOWN:
            SetError(in, ERR_NOT_IMPLEMENTED);
            ok = false;
            break;
        }
        if (!ok) {
            fail = pos + 1;
            break;
        }
        pos += 1 + static_cast<int32_t>(ExtraOf(op));
    }
    --g_runDepth;
    CellIndex result = kNotValid;
    if (fail == 0) {
        if (sp >= 0) result = stack[sp--];
    } else {
        result = kNoCell;
        PushTrace(doc, program, static_cast<int16_t>(in.parent ? fail : -fail));
    }
    while (sp >= 0)
        Release(stack[sp--]);
    g_arena.ReleaseTo(mark);
    if constexpr (!Held) Release(program);
    return result;
}

} // namespace

void SetRunCounter(uint16_t value) {
    g_runCounter = value;
}

CellIndex Run(CInterpreter& in, CellIndex program) {
    return RunProgram<false>(in, program);
}

CellIndex RunHeld(CInterpreter& in, CellIndex program) {
    return RunProgram<true>(in, program);
}

bool QuickCondition(CInterpreter& in, CellIndex program, bool& truth) {
    const ProgramBlock* block = CellAt(program).prog;
    if (block->count != 3 || block->owner != in.serial) return false;
    const uint32_t op = ProgramOps(block)[0];
    if (KindOf(op) != K_FUSED || (FuseKindOf(op) != F_VAR_LIT && FuseKindOf(op) != F_VAR_VAR))
        return false;
    const uint32_t* plain = ProgramFuse(block);
    const uint32_t row = NumberOf(plain[2]);
    if (row < OP_GE || row > OP_EQ) return false;
    // The message pass and the nesting limits belong to a real run: leave those to Run.
    if (g_runCounter % 4096 == 0 || g_runDepth >= kMaxRunDepth - kQuickDepthMargin ||
        StackExhausted(kQuickStackMargin))
        return false;
    const auto variable = [&](uint32_t v) {
        return KindOf(v) == K_VARIABLE ? in.variableValues[NumberOf(v)]
                                       : in.parent->variableValues[NumberOf(v)];
    };
    const ValueCell& a = CellAt(variable(plain[0]));
    const ValueCell& b = CellAt(FuseKindOf(op) == F_VAR_LIT ? block->items[1] : variable(plain[1]));
    ValueCell value;
    if (!Compute(row, a, b, value)) return false;
    ++g_runCounter;
    truth = value.l != 0;
    return true;
}

} // namespace tivane
