// The operators: rows 0..16 of the built-in table. The evaluator has checked and widened the
// operands, so for rows with a same-type pair both operands have one type.

#include <algorithm>
#include <cstring>

#include "builtintable.h"
#include "errors.h"
#include "interpreter.h"
#include "values.h"

namespace tivane {

namespace {

// 32-bit wrapping arithmetic without signed overflow.
int32_t Wrap(uint32_t v) {
    return static_cast<int32_t>(v);
}

// A temporary that only the stack holds (a fresh result of an earlier operator) is reused
// for the result, which saves a free and an allocation in arithmetic chains.
bool Reusable(const ValueCell& c) {
    return c.refs == 1 && (c.type == TYPE_LONG || c.type == TYPE_DOUBLE);
}

CellIndex LongResult(CInterpreter& in, CellIndex left, CellIndex right, int32_t v) {
    ValueCell& l = CellAt(left);
    if (Reusable(l)) {
        Release(right);
        l.type = TYPE_LONG;
        l.l = v;
        return left;
    }
    Release(left);
    Release(right);
    return NewLong(in, v);
}

CellIndex DoubleResult(CInterpreter& in, CellIndex left, CellIndex right, double v) {
    ValueCell& l = CellAt(left);
    if (Reusable(l)) {
        Release(right);
        l.type = TYPE_DOUBLE;
        l.d = v;
        return left;
    }
    Release(left);
    Release(right);
    return NewDouble(in, v);
}

// Unsigned byte-wise order; a text that is a prefix of the other is the smaller.
int CompareStrings(const ValueCell& a, const ValueCell& b) {
    const uint32_t n = std::min(StrLength(a), StrLength(b));
    const int r = std::memcmp(StrText(a), StrText(b), n);
    if (r != 0) return r;
    return StrLength(a) < StrLength(b) ? -1 : (StrLength(a) > StrLength(b) ? 1 : 0);
}

enum class Relation { Ge, Le, Ne, Lt, Gt, Eq };

template <typename T>
bool Holds(Relation r, T a, T b) {
    switch (r) {
    case Relation::Ge:
        return a >= b;
    case Relation::Le:
        return a <= b;
    case Relation::Ne:
        return a != b;
    case Relation::Lt:
        return a < b;
    case Relation::Gt:
        return a > b;
    case Relation::Eq:
        return a == b;
    }
    return false;
}

CellIndex Compare(CInterpreter& in, CellIndex* stack, int32_t& sp, Relation r) {
    const CellIndex right = stack[sp--];
    const CellIndex left = stack[sp--];
    const ValueCell& a = CellAt(left);
    const ValueCell& b = CellAt(right);
    bool holds;
    switch (a.type) {
    case TYPE_LONG:
        holds = Holds(r, a.l, b.l);
        break;
    case TYPE_DOUBLE:
        holds = Holds(r, a.d, b.d);
        break;
    default:
        holds = Holds(r, CompareStrings(a, b), 0);
        break;
    }
    return LongResult(in, left, right, holds ? 1 : 0);
}

} // namespace

CellIndex OpAdd(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    const CellIndex right = stack[sp--];
    const CellIndex left = stack[sp--];
    const ValueCell& a = CellAt(left);
    const ValueCell& b = CellAt(right);
    if (a.type == TYPE_LONG)
        return LongResult(in, left, right, Wrap(static_cast<uint32_t>(a.l) + b.l));
    if (a.type == TYPE_DOUBLE) return DoubleResult(in, left, right, a.d + b.d);
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
    const CellIndex right = stack[sp--];
    const CellIndex left = stack[sp--];
    const ValueCell& a = CellAt(left);
    const ValueCell& b = CellAt(right);
    if (a.type == TYPE_LONG)
        return LongResult(in, left, right, Wrap(static_cast<uint32_t>(a.l) - b.l));
    return DoubleResult(in, left, right, a.d - b.d);
}

CellIndex OpMul(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    const CellIndex right = stack[sp--];
    const CellIndex left = stack[sp--];
    const ValueCell& a = CellAt(left);
    const ValueCell& b = CellAt(right);
    if (a.type == TYPE_LONG)
        return LongResult(in, left, right,
                          Wrap(static_cast<uint32_t>(a.l) * static_cast<uint32_t>(b.l)));
    return DoubleResult(in, left, right, a.d * b.d);
}

CellIndex OpDiv(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    const CellIndex right = stack[sp--];
    const CellIndex left = stack[sp--];
    const ValueCell& a = CellAt(left);
    const ValueCell& b = CellAt(right);
    if (a.type == TYPE_LONG) {
        if (b.l == 0) {
            Release(left);
            Release(right);
            SetError(in, ERR_MATH);
            return kNoCell;
        }
        // The smallest long divided by -1 wraps like the other operators instead of trapping.
        const int32_t q = b.l == -1 ? Wrap(0u - static_cast<uint32_t>(a.l)) : a.l / b.l;
        return LongResult(in, left, right, q);
    }
    if (!(b.d < 0.0 || b.d > 0.0)) { // zero, or not a number
        Release(left);
        Release(right);
        SetError(in, ERR_MATH);
        return kNoCell;
    }
    return DoubleResult(in, left, right, a.d / b.d);
}

CellIndex OpGe(CInterpreter& in, CellIndex* s, int32_t& sp) {
    return Compare(in, s, sp, Relation::Ge);
}
CellIndex OpLe(CInterpreter& in, CellIndex* s, int32_t& sp) {
    return Compare(in, s, sp, Relation::Le);
}
CellIndex OpNe(CInterpreter& in, CellIndex* s, int32_t& sp) {
    return Compare(in, s, sp, Relation::Ne);
}
CellIndex OpLt(CInterpreter& in, CellIndex* s, int32_t& sp) {
    return Compare(in, s, sp, Relation::Lt);
}
CellIndex OpGt(CInterpreter& in, CellIndex* s, int32_t& sp) {
    return Compare(in, s, sp, Relation::Gt);
}
CellIndex OpEq(CInterpreter& in, CellIndex* s, int32_t& sp) {
    return Compare(in, s, sp, Relation::Eq);
}

// "&&" and "||" are bitwise: on comparison results (0 and 1) they act as logical and/or.
CellIndex OpAnd(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    const CellIndex right = stack[sp--];
    const CellIndex left = stack[sp--];
    return LongResult(in, left, right, CellAt(left).l & CellAt(right).l);
}

CellIndex OpOr(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    const CellIndex right = stack[sp--];
    const CellIndex left = stack[sp--];
    return LongResult(in, left, right, CellAt(left).l | CellAt(right).l);
}

CellIndex OpNegate(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    const CellIndex x = stack[sp--];
    ValueCell& c = CellAt(x);
    if (Reusable(c)) {
        if (c.type == TYPE_LONG)
            c.l = Wrap(0u - static_cast<uint32_t>(c.l));
        else
            c.d = -c.d;
        return x;
    }
    const CellIndex r = c.type == TYPE_LONG ? NewLong(in, Wrap(0u - static_cast<uint32_t>(c.l)))
                                            : NewDouble(in, -c.d);
    Release(x);
    return r;
}

CellIndex OpAssign(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    const CellIndex value = stack[sp--];
    const CellIndex target = stack[sp--];
    const ValueCell& t = CellAt(target);
    CInterpreter* owner = &in;
    if (t.type == TYPE_PARENTVARREF) {
        if (CellAt(value).type == TYPE_PROGRAM) {
            Release(target);
            Release(value);
            SetError(in, ERR_PROGRAM_TO_PARENT);
            return kNoCell;
        }
        owner = in.parent;
    }
    CellIndex& slot = owner->variableValues[t.number];
    AddRef(value);
    const CellIndex old = slot;
    slot = value;
    Release(old);
    Release(target);
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
    CInterpreter* owner = &in;
    bool ok = true;
    if (t.type == TYPE_PARENTARRAYREF) {
        owner = in.parent;
        if (CellAt(value).type == TYPE_PROGRAM) {
            SetError(in, ERR_PROGRAM_TO_PARENT);
            ok = false;
        }
    }
    if (ok) {
        AddRef(value);
        ok = owner->StoreElement(t.number, CellAt(index).l, value);
        if (!ok) Release(value);
    }
    Release(target);
    Release(index);
    if (ok) return value;
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
