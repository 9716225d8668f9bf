#include "quickloop.h"

#include <algorithm>

#include "builtintable.h"
#include "programcode.h"

namespace tivane::evaluation {

bool QuickLoop::Decode(const ProgramBlock* condition, const ProgramBlock* block) {
    const uint64_t* test = ProgramCode(condition);
    if (static_cast<uint8_t>(test[0]) == X_NONE) return false;
    const int32_t length = CodeLength(test);
    if (!Room(0, length + 2)) return false;
    int32_t out = 0;
    m_code[out++] = MakeCode(X_CONDITION);
    std::copy(test, test + length, m_code + out);
    out += length;
    m_code[out++] = MakeCode(X_TEST);
    const uint32_t* plain = ProgramFuse(block);
    const int32_t n = block->count;
    int32_t pos = 0;
    while (pos < n) {
        if (m_count == kMaxStatements) return false;
        m_start[m_count] = out;
        m_first[m_count] = pos;
        const int32_t mark = out;
        int32_t last = Assignment(block, pos, out);
        if (last < 0) {
            out = mark;
            last = Drawing(block, pos, out);
        }
        if (last < 0) {
            out = mark;
            last = If(block, pos, out);
        }
        if (last < 0) return false;
        pos = last;
        m_last[m_count++] = pos;
        // Every statement but the last drops its value with a ";": an assignment's own
        // operation consumes it, a call is followed by it.
        if (ExtraOf(plain[pos]) != 0 || (KindOf(plain[pos]) == K_BUILTIN && pos + 1 < n &&
                                         KindOf(plain[pos + 1]) == K_SEQUENCE))
            pos += 2;
        else if (pos == n - 1)
            ++pos;
        else
            return false;
    }
    if (m_count == 0 || !Room(out, 1)) return false;
    m_code[out] = MakeCode(X_JUMP, -out - 1); // back to X_CONDITION
    m_code[++out] = MakeCode(X_END);
    return true;
}

int32_t QuickLoop::Assignment(const ProgramBlock* block, int32_t pos, int32_t& out) {
    const uint32_t* plain = ProgramFuse(block);
    const uint64_t* code = ProgramCode(block);
    const CellIndex* items = block->items;
    const int32_t n = block->count;
    const OpKind kind = KindOf(plain[pos]);
    const bool element =
        pos + 1 < n &&
        (kind == K_VARIABLE || (kind == K_LITERAL && CellAt(items[pos]).type == TYPE_LONG));
    const int32_t target = pos + (element ? 1 : 0);
    // Number code after a skipped target covers the items up to its assignment.
    if (KindOf(plain[target]) != K_SKIP ||
        CellAt(items[target]).type != (element ? TYPE_ARRAYREF : TYPE_VARREF) ||
        static_cast<uint8_t>(code[target + 1]) == X_NONE)
        return -1;
    const int32_t length = CodeLength(code + target + 1);
    if (!Room(out, length + (element ? 2 : 1))) return -1;
    if (element) {
        const int32_t index =
            kind == K_VARIABLE ? static_cast<int32_t>(NumberOf(plain[pos])) : CellAt(items[pos]).l;
        m_code[out++] = MakeCode(kind == K_VARIABLE ? X_VARIABLE : X_LITERAL, index);
    }
    std::copy(code + target + 1, code + target + 1 + length, m_code + out);
    // A lone literal is read from its cell, which a store may then share.
    if (length == 1 && static_cast<uint8_t>(m_code[out]) == X_LITERAL)
        m_code[out] = MakeCode(X_CELL, static_cast<int32_t>(items[target + 1]));
    out += length;
    pos = target;
    const OpKind assignment = element ? K_ASSIGN_ELEMENT : K_ASSIGN_VAR;
    while (++pos < n && KindOf(plain[pos]) != assignment) {
    }
    if (pos == n) return -1;
    m_code[out++] =
        MakeCode(element ? X_STORE_ELEMENT : X_STORE, static_cast<int32_t>(NumberOf(plain[pos])));
    return pos;
}

int32_t QuickLoop::Drawing(const ProgramBlock* block, int32_t pos, int32_t& out) {
    const uint32_t* plain = ProgramFuse(block);
    // The call ends the first run of items that can be expressions.
    const auto isCall = [&](int32_t k) {
        return KindOf(plain[k]) == K_BUILTIN && BuiltinTable[NumberOf(plain[k])].point;
    };
    const int32_t call = ExpressionEnd(block, pos);
    if (call == block->count || !isCall(call) || !Room(out, call - pos + 1) ||
        !WriteNumberCode(m_in, block, plain, pos, call, m_code + out, 2))
        return -1;
    while (static_cast<uint8_t>(m_code[out]) != X_END)
        ++out;
    m_code[out++] = MakeCode(X_POINT, static_cast<int32_t>(NumberOf(plain[call])));
    return call;
}

int32_t QuickLoop::If(const ProgramBlock* block, int32_t pos, int32_t& out) {
    const uint32_t* plain = ProgramFuse(block);
    const int32_t blocks = ExpressionEnd(block, pos);
    if (blocks + 2 >= block->count || KindOf(plain[blocks + 2]) != K_BUILTIN ||
        NumberOf(plain[blocks + 2]) != kRowIf || !Room(out, blocks - pos + 1) ||
        !WriteNumberCode(m_in, block, plain, pos, blocks, m_code + out))
        return -1;
    while (static_cast<uint8_t>(m_code[out]) != X_END)
        ++out;
    const ProgramBlock* branches[2];
    for (int32_t b = 0; b < 2; ++b) {
        const ValueCell& literal = CellAt(block->items[blocks + b]);
        if (KindOf(plain[blocks + b]) != K_LITERAL || literal.type != TYPE_PROGRAM ||
            literal.prog->owner != block->owner)
            return -1;
        branches[b] = literal.prog;
    }
    // Each jump's operand is the count of words it passes over.
    const int32_t branch = out++;
    if (!Branch(branches[0], out) || !Room(out, 1)) return -1;
    const int32_t jump = out++;
    m_code[branch] = MakeCode(X_BRANCH, out - branch - 1);
    if (!Branch(branches[1], out)) return -1;
    m_code[jump] = MakeCode(X_JUMP, out - jump - 1);
    return blocks + 2;
}

bool QuickLoop::Branch(const ProgramBlock* branch, int32_t& out) {
    const int32_t n = branch->count;
    if (n == 0) {
        if (!Room(out, 1)) return false;
        m_code[out++] = MakeCode(X_DONE, 0);
        return true;
    }
    const int32_t mark = out;
    const int32_t last = Assignment(branch, 0, out);
    if (last >= 0 && (last == n - 1 || (last == n - 2 && ExtraOf(ProgramFuse(branch)[last]))))
        return true;
    out = mark;
    const uint64_t* code = ProgramCode(branch);
    if (static_cast<uint8_t>(code[0]) == X_NONE) return false;
    const int32_t length = CodeLength(code);
    if (!Room(out, length + 1)) return false;
    std::copy(code, code + length, m_code + out);
    out += length;
    m_code[out++] = MakeCode(X_DONE, 1);
    return true;
}

int32_t QuickLoop::CodeLength(const uint64_t* code) {
    int32_t length = 0;
    while (static_cast<uint8_t>(code[length]) != X_END)
        ++length;
    return length;
}

int32_t QuickLoop::ExpressionEnd(const ProgramBlock* block, int32_t pos) {
    const uint32_t* plain = ProgramFuse(block);
    while (pos < block->count) {
        const uint32_t op = plain[pos];
        const bool literal = KindOf(op) == K_LITERAL;
        if (literal ? !IsNumber(CellAt(block->items[pos]).type)
                    : !(KindOf(op) <= K_USERFUNC || KindOf(op) == K_BINARY ||
                        (KindOf(op) == K_BUILTIN && BuiltinTable[NumberOf(op)].number)))
            break;
        ++pos;
    }
    return pos;
}

} // namespace tivane::evaluation
