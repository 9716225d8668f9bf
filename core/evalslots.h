#pragma once
// The evaluator's value stack: slots that hold numbers by value and other values as cells,
// the storage they live in, and the steps on slots that need no run of their own (boxing,
// argument checks, built-in calls, number code). Internal to the evaluator.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <vector>

#include "builtintable.h"
#include "cellpool.h"
#include "interpreter.h"
#include "programcode.h"

namespace tivane::evaluation {

// An evaluation-stack slot, laid out as a cell so that the arithmetic reads both alike. A
// number is held by value (type TYPE_LONG or TYPE_DOUBLE), which spares arithmetic the pool
// and the reference counts; `self` then names the cell it was read from, a hint that holds
// no reference. Anything else is a cell the slot holds one reference to (type kBoxed, `self`
// the cell).
using Slot = ValueCell;
constexpr uint16_t kBoxed = 0;

// Evaluation-stack storage shared by all runs. Nested runs take frames above their caller's;
// blocks never move, so a handler's stack pointer stays valid while it runs nested programs,
// and a run allocates nothing once the blocks it needs exist.
class StackArena {
public:
    struct Mark {
        size_t block;
        size_t used;
    };

    // Where the next frame starts, for ReleaseTo once that frame is done.
    Mark Top() const { return {m_block, m_used}; }

    Slot* Acquire(size_t n) {
        if (m_used + n <= m_size) {
            Slot* frame = m_data + m_used;
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
    [[gnu::noinline]] Slot* AcquireInNextBlock(size_t n) {
        const size_t next = m_data ? m_block + 1 : 0;
        if (next >= m_blocks.size() || m_blocks[next].size < n) {
            const size_t size = std::max(n, kBlockSlots);
            std::unique_ptr<Slot[]> data(new (std::nothrow) Slot[size]);
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
        std::unique_ptr<Slot[]> data;
        size_t size;
    };
    std::vector<Block> m_blocks;
    size_t m_block = 0;
    Slot* m_data = nullptr; // the current block
    size_t m_size = 0;
    size_t m_used = 0;
};

// What a fused step did: stepped aside (nothing changed; the items must run one by one), or ran
// and failed or succeeded.
enum class Step { Aside, Failed, Done };

inline bool IsNumber(uint16_t type) {
    return type == TYPE_LONG || type == TYPE_DOUBLE;
}

// The value a slot stands for.
[[gnu::always_inline]] inline const ValueCell& Val(const Slot& s) {
    return s.type != kBoxed ? s : CellAt(s.self);
}

[[gnu::always_inline]] inline void Drop(const Slot& s) {
    if (s.type == kBoxed) Release(s.self);
}

[[gnu::always_inline]] inline void SetNumber(Slot& s, const ValueCell& value, CellIndex from) {
    s.type = value.type;
    s.self = from;
    s.raw = value.raw;
}

[[gnu::always_inline]] inline void SetCell(Slot& s, CellIndex c) {
    s.type = kBoxed;
    s.self = c;
}

// Pushes the value of a cell that a table or the program holds: a number by value, anything
// else with a reference of its own. The plain evaluation holds every value as a cell.
template <bool Plain>
[[gnu::always_inline]] inline void PushHeld(Slot* stack, int32_t& sp, CellIndex c) {
    const ValueCell& v = CellAt(c);
    Slot& s = stack[++sp];
    if (!Plain && IsNumber(v.type)) {
        SetNumber(s, v, c);
        return;
    }
    AddRef(c);
    SetCell(s, c);
}

// Pushes a cell whose reference passes to the stack.
template <bool Plain>
[[gnu::always_inline]] inline void PushOwned(Slot* stack, int32_t& sp, CellIndex c) {
    const ValueCell& v = CellAt(c);
    Slot& s = stack[++sp];
    if (!Plain && IsNumber(v.type)) {
        SetNumber(s, v, c);
        Release(c);
        return;
    }
    SetCell(s, c);
}

// The cell of the own or parent's variable that a K_VARIABLE or K_PARENTVARIABLE operation
// reads.
[[gnu::always_inline]] inline CellIndex VariableCell(const CInterpreter& in, uint32_t op) {
    return KindOf(op) == K_VARIABLE ? in.variableValues[NumberOf(op)]
                                    : in.parent->variableValues[NumberOf(op)];
}

// A cell with one reference for the caller holding the slot's value; `take` passes the
// slot's own reference instead of adding one. kNoCell with error 3 set when a cell is needed
// and none can be had.
CellIndex Box(CInterpreter& in, const Slot& s, bool take);

// Turns slots [from, to] into cells in place, so that they can be handed on as cells. On
// failure the slots stay consistent (some boxed, the rest numbers) for the caller to drop.
bool BoxInPlace(CInterpreter& in, Slot* stack, int32_t from, int32_t to);

// Checks and widens the arguments of a built-in row in place.
bool CheckArguments(CInterpreter& in, const BuiltinEntry& e, Slot* stack, int32_t sp);

// Calls a built-in row's handler on the cells of the top entries, and pushes its result.
template <bool Plain>
bool CallBuiltin(CInterpreter& in, uint32_t row, Slot* stack, int32_t& sp);

// The value of number code (programcode.h) on longs, returned in registers; not `ok` when
// the items must decide, with `value` the count of statements the code carried out before,
// or when a drawing statement `value` failed (`failed`, the error set). `refused`: a call
// from the code was refused, which the code on numbers would meet again.
struct CodeValue {
    bool ok = false;
    bool failed = false;
    bool refused = false;
    int32_t value = 0;
};
CodeValue RunLongCode(CInterpreter& in, const uint64_t* code);
// The same for the joined statements of a loop, which end in stores and drawing calls,
// entered at statement `first` (-1: its condition). Where it gives up, `value` is where:
// -1 the condition, before its run; -2 the body, before its run; k statement k, whose run
// went before.
CodeValue RunStatementCode(CInterpreter& in, const uint64_t* code, int32_t first);

// Number code on longs and doubles: slower than on longs alone, for where a value is a double.
struct NumberValue {
    bool ok = false;
    bool failed = false;
    bool refused = false;
    int32_t stored = 0; // as CodeValue's `value`
    ValueCell value{};  // type and raw
};
NumberValue RunNumberCode(CInterpreter& in, const uint64_t* code);
// The same on numbers for code that is known to make calls, which the instances above hand on.
NumberValue RunNumberCallCode(CInterpreter& in, const uint64_t* code);
NumberValue RunNumberStatementCode(CInterpreter& in, const uint64_t* code, int32_t first);

// Counts runs, for the message pass every kMessagePassInterval runs; it does not wrap. Number
// code that makes calls counts them as runs, and on giving up puts the count back to where its
// statement began, for the items to count them again.
extern uint64_t g_runCounter;

// A call of own function `function` made by number code, on `n` numbers `args` (the first
// argument first): the value of its body's number code, computed as the call's run would
// compute it. False, with nothing changed, where the items must make the call.
bool CallInCode(CInterpreter& in, uint32_t function, int32_t n, const ValueCell* args,
                ValueCell& result);

// Whether every argument is a number and every parameter variable a number cell no one else
// holds: then binding exchanges values instead of cells, and no argument needs a cell.
inline bool BindsInPlace(const std::vector<CellIndex>& vars, const int16_t* params, int32_t n,
                         const Slot* stack, int32_t sp) {
    for (int32_t k = 0; k < n; ++k) {
        const ValueCell& held = CellAt(vars[params[k]]);
        if (stack[sp - k].type == kBoxed || held.refs != 1 || !IsNumber(held.type)) return false;
    }
    return true;
}

// Gives a parameter variable back the value the binding kept on the stack: a number goes
// into the variable's cell when no one else holds it, else into a cell of its own.
[[gnu::always_inline]] inline bool RestoreParameter(CInterpreter& owner, CellIndex& var,
                                                    const Slot& saved) {
    CellIndex value = saved.self;
    if (saved.type != kBoxed) {
        ValueCell& held = CellAt(var);
        if (held.refs == 1 && IsNumber(held.type)) {
            held.type = saved.type;
            held.raw = saved.raw;
            return true;
        }
        value = Box(owner, saved, true);
        if (value == kNoCell) return false;
    }
    const CellIndex old = var;
    var = value;
    Release(old);
    return true;
}

// Parameter numbers are copied before the call: the body may redefine its own function.
class ParamCopy {
public:
    explicit ParamCopy(const std::vector<int16_t>& params) {
        const size_t n = params.size();
        if (n <= kInline) {
            // Not std::copy, which calls memmove for a handful of bytes, and a loop with a
            // fixed bound, which is not vectorised with checks that cost more than it copies.
            const int16_t* from = params.data();
            for (size_t k = 0; k < kInline && k < n; ++k)
                m_inline[k] = from[k];
            m_data = m_inline;
        } else {
            m_heap = params;
            m_data = m_heap.data();
        }
    }
    int16_t operator[](size_t k) const { return m_data[k]; }
    const int16_t* data() const { return m_data; }

private:
    static constexpr size_t kInline = 8;
    int16_t m_inline[kInline];
    std::vector<int16_t> m_heap;
    const int16_t* m_data;
};

} // namespace tivane::evaluation
