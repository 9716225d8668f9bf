#include "evaluator.h"

#include <cassert>
#include <memory>
#include <new>
#include <vector>

#include "builtintable.h"
#include "errors.h"
#include "interpreter.h"
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
        if (m_blocks.empty() || m_used + n > m_blocks[m_block].size) {
            const size_t next = m_blocks.empty() ? 0 : m_block + 1;
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
            m_used = 0;
        }
        CellIndex* frame = m_blocks[m_block].data.get() + m_used;
        m_used += n;
        return frame;
    }

    void ReleaseTo(const Mark& mark) {
        m_block = mark.block;
        m_used = mark.used;
    }

private:
    // Two frames of the largest program fit in one block.
    static constexpr size_t kBlockSlots = 65536;
    struct Block {
        std::unique_ptr<CellIndex[]> data;
        size_t size;
    };
    std::vector<Block> m_blocks;
    size_t m_block = 0;
    size_t m_used = 0;
};

StackArena g_arena;
uint16_t g_runCounter = 0;
int32_t g_runDepth = 0;

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

} // namespace

uint16_t RunCounter() {
    return g_runCounter;
}

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

CellIndex Run(CInterpreter& in, CellIndex program) {
    DocumentHost& doc = *in.document;
    if (doc.errorCode) ClearErrors(doc);
    doc.errorPhase = 2;
    const ValueCell& pc = CellAt(program);
    if (pc.type != TYPE_PROGRAM) {
        SetError(in, ERR_INVALID_TYPE);
        return kNoCell;
    }
    if (g_runCounter++ % 4096 == 0) {
        doc.PumpMessages();
        if (doc.errorCode) {
            PushTrace(doc, program, 0);
            return kNoCell;
        }
    }
    if (g_runDepth >= kMaxRunDepth) {
        SetError(in, ERR_NO_MEMORY);
        PushTrace(doc, program, 0);
        return kNoCell;
    }

    // The run holds the program, so that it outlives a redefinition or CLEAR from inside.
    AddRef(program);
    const ProgramBlock* block = pc.prog;
    const int32_t n = block->count;
    StackArena::Mark mark;
    CellIndex* stack = g_arena.Acquire(static_cast<size_t>(n) + 1, mark);
    if (!stack) {
        Release(program);
        SetError(in, ERR_NO_MEMORY);
        PushTrace(doc, program, 0);
        return kNoCell;
    }
    ++g_runDepth;
    int32_t sp = -1;
    int32_t pos = 0;
    bool ok = true;
    CInterpreter* parent = in.parent;
    while (++pos <= n) {
        const CellIndex item = block->items[pos - 1];
        const ValueCell& c = CellAt(item);
        switch (c.type) {
        case TOK_VARIABLE: {
            const CellIndex v = in.variableValues[c.number];
            AddRef(v);
            stack[++sp] = v;
            continue;
        }
        case TOK_PARENTVARIABLE: {
            const CellIndex v = parent->variableValues[c.number];
            if (CellAt(v).type == TYPE_PROGRAM) {
                SetError(in, ERR_PROGRAM_FROM_PARENT);
                ok = false;
                break;
            }
            AddRef(v);
            stack[++sp] = v;
            continue;
        }
        case TOK_ARRAY:
        case TOK_PARENTARRAY: {
            const ValueCell& index = CellAt(stack[sp]);
            if (index.type != TYPE_LONG) {
                SetError(in, ERR_INVALID_TYPE);
                ok = false;
                break;
            }
            const ArrayEntry& a = (c.type == TOK_ARRAY ? in : *parent).arrays[c.number];
            const auto i = static_cast<uint32_t>(index.l);
            const CellIndex v = i < static_cast<uint32_t>(a.slotCount) ? a.slots[i] : kNotValid;
            if (c.type == TOK_PARENTARRAY && CellAt(v).type == TYPE_PROGRAM) {
                SetError(in, ERR_PROGRAM_FROM_PARENT);
                ok = false;
                break;
            }
            AddRef(v);
            Release(stack[sp]);
            stack[sp] = v;
            continue;
        }
        case TOK_USERFUNC:
            ok = CallUserFunction(in, c.number, false, stack, sp);
            break;
        case TOK_PARENTUSERFUNC:
            ok = CallUserFunction(*parent, c.number, true, stack, sp);
            break;
        case TOK_BUILTIN: {
            if (c.number == OP_SEQUENCE) {
                Release(stack[sp--]);
                continue;
            }
            const BuiltinEntry& e = BuiltinTable[c.number];
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
        default:
            if (c.type < TOK_VARIABLE) { // a literal or a reference
                AddRef(item);
                stack[++sp] = item;
                continue;
            }
            SetError(in, ERR_NOT_IMPLEMENTED);
            ok = false;
            break;
        }
        if (!ok) break;
    }
    --g_runDepth;
    CellIndex result = kNotValid;
    if (ok) {
        if (sp >= 0) result = stack[sp--];
    } else {
        result = kNoCell;
        PushTrace(doc, program, static_cast<int16_t>(parent ? pos : -pos));
    }
    while (sp >= 0)
        Release(stack[sp--]);
    g_arena.ReleaseTo(mark);
    Release(program);
    return result;
}

} // namespace tivane
