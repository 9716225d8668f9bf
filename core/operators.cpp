// The operators: rows 0..16 of the built-in table. The evaluator has checked and widened the
// operands, so for rows with a same-type pair both operands have one type.

#include <algorithm>
#include <cstring>

#include "arithmetic.h"
#include "builtintable.h"
#include "errors.h"
#include "interpreter.h"
#include "values.h"

namespace tivane {

namespace {

// Rows 0..11 on two numbers (the argument check made their types agree). The left operand's
// cell takes the result when only the stack holds it.
CellIndex NumberOperator(CInterpreter& in, uint32_t row, CellIndex* stack, int32_t& sp) {
    const CellIndex right = stack[sp--];
    const CellIndex left = stack[sp--];
    ValueCell& l = CellAt(left);
    ValueCell value;
    const bool ok = Compute(row, l, CellAt(right), value);
    Release(right);
    if (!ok) { // the only failure left for numbers
        Release(left);
        SetError(in, ERR_MATH);
        return kNoCell;
    }
    return NumberResult(in, left, value.type, value.raw);
}

// Unsigned byte-wise order; a text that is a prefix of the other is the smaller.
int CompareStrings(const ValueCell& a, const ValueCell& b) {
    const uint32_t n = std::min(StrLength(a), StrLength(b));
    const int r = std::memcmp(StrText(a), StrText(b), n);
    if (r != 0) return r;
    return StrLength(a) < StrLength(b) ? -1 : (StrLength(a) > StrLength(b) ? 1 : 0);
}

// Comparisons: numbers through the shared arithmetic, texts byte-wise.
CellIndex Compare(CInterpreter& in, uint32_t row, CellIndex* stack, int32_t& sp) {
    if (CellAt(stack[sp]).type != TYPE_STRING) return NumberOperator(in, row, stack, sp);
    const CellIndex right = stack[sp--];
    const CellIndex left = stack[sp--];
    const int c = CompareStrings(CellAt(left), CellAt(right));
    bool holds = false;
    switch (row) {
    case OP_GE:
        holds = c >= 0;
        break;
    case OP_LE:
        holds = c <= 0;
        break;
    case OP_NE:
        holds = c != 0;
        break;
    case OP_LT:
        holds = c < 0;
        break;
    case OP_GT:
        holds = c > 0;
        break;
    default:
        holds = c == 0;
        break;
    }
    Release(left);
    Release(right);
    return NewLong(in, holds ? 1 : 0);
}

} // namespace

CellIndex OpAdd(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    if (CellAt(stack[sp]).type != TYPE_STRING) return NumberOperator(in, OP_ADD, stack, sp);
    const CellIndex right = stack[sp--];
    const CellIndex left = stack[sp--];
    const ValueCell& a = CellAt(left);
    const ValueCell& b = CellAt(right);
    const size_t length = static_cast<size_t>(StrLength(a)) + StrLength(b);
    StringBlock* block = AllocString(length);
    if (block) {
        std::memcpy(block->text, StrText(a), StrLength(a));
        std::memcpy(block->text + StrLength(a), StrText(b), StrLength(b));
    }
    Release(left);
    Release(right);
    return NewStringFromBlock(in, block);
}

CellIndex OpSub(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    return NumberOperator(in, OP_SUB, stack, sp);
}
CellIndex OpMul(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    return NumberOperator(in, OP_MUL, stack, sp);
}
CellIndex OpDiv(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    return NumberOperator(in, OP_DIV, stack, sp);
}
CellIndex OpGe(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    return Compare(in, OP_GE, stack, sp);
}
CellIndex OpLe(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    return Compare(in, OP_LE, stack, sp);
}
CellIndex OpNe(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    return Compare(in, OP_NE, stack, sp);
}
CellIndex OpLt(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    return Compare(in, OP_LT, stack, sp);
}
CellIndex OpGt(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    return Compare(in, OP_GT, stack, sp);
}
CellIndex OpEq(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    return Compare(in, OP_EQ, stack, sp);
}

// "&&" and "||" are bitwise: on comparison results (0 and 1) they act as logical and/or.
CellIndex OpAnd(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    return NumberOperator(in, OP_AND, stack, sp);
}
CellIndex OpOr(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    return NumberOperator(in, OP_OR, stack, sp);
}

CellIndex OpNegate(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    const CellIndex x = stack[sp--];
    const ValueCell& c = CellAt(x);
    if (c.type == TYPE_LONG) return LongResult(in, x, Wrap(0u - static_cast<uint32_t>(c.l)));
    return DoubleResult(in, x, -c.d);
}

// The assignments as written; the evaluator's direct assignments use the same checks and
// stores (CheckAssignable, StoreVariable, StoreElement).
CellIndex OpAssign(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    const CellIndex value = stack[sp--];
    const CellIndex target = stack[sp--];
    const ValueCell& t = CellAt(target);
    const bool toParent = t.type == TYPE_PARENTVARREF;
    const uint32_t number = t.number;
    Release(target);
    if (!CheckAssignable(in, toParent, CellAt(value).type)) {
        Release(value);
        return kNoCell;
    }
    AddRef(value);
    StoreVariable(toParent ? *in.parent : in, number, value);
    return value; // the reference taken from the stack
}

CellIndex OpSequence(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    // The evaluator pops the value itself; this row's handler is never called.
    Release(stack[sp--]);
    SetError(in, ERR_NOT_IMPLEMENTED);
    return kNoCell;
}

CellIndex OpAssignElement(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    const CellIndex value = stack[sp--];
    const CellIndex target = stack[sp--];
    const CellIndex index = stack[sp--];
    const ValueCell& t = CellAt(target);
    const bool toParent = t.type == TYPE_PARENTARRAYREF;
    const uint32_t number = t.number;
    const int32_t i = CellAt(index).l;
    Release(target);
    Release(index);
    if (CheckAssignable(in, toParent, CellAt(value).type)) {
        AddRef(value);
        if ((toParent ? *in.parent : in).StoreElement(static_cast<int32_t>(number), i, value))
            return value;
        Release(value);
    }
    Release(value);
    return kNoCell;
}

CellIndex OpDefine(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    const CellIndex body = stack[sp--];
    const CellIndex target = stack[sp--];
    UserFunction& f = in.functions[CellAt(target).number];
    const CellIndex old = f.body;
    f.body = body; // the stack's reference passes to the function
    Release(old);
    Release(target);
    const int32_t n = f.nargs < 0 ? 0 : f.nargs;
    std::vector<int16_t> params(static_cast<size_t>(n));
    for (int32_t k = 0; k < n; ++k) { // entry 0 is the last parameter
        const CellIndex p = stack[sp--];
        params[k] = static_cast<int16_t>(CellAt(p).number);
        Release(p);
    }
    f.params = std::move(params);
    return kNotValid;
}

} // namespace tivane
