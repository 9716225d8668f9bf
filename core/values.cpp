#include "values.h"

#include <cmath>

#include "errors.h"

namespace tivane {

namespace {

CellIndex NewCellOrFail(CInterpreter& in) {
    const CellIndex c = Pool().NewCell();
    if (c == kNoCell) SetError(in, ERR_NO_MEMORY);
    return c;
}

// 2^63: the first magnitude a 64-bit integer cannot hold.
constexpr double kTwo63 = 9223372036854775808.0;

int32_t Low32(int64_t v) {
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}

} // namespace

CellIndex NewLong(CInterpreter& in, int32_t value) {
    const CellIndex c = NewCellOrFail(in);
    if (c != kNoCell) {
        ValueCell& v = CellAt(c);
        v.type = TYPE_LONG;
        v.raw = 0;
        v.l = value;
    }
    return c;
}

CellIndex NumberResult(CInterpreter& in, CellIndex x, uint16_t type, uint64_t raw) {
    ValueCell& c = CellAt(x);
    if (c.refs == 1 && (c.type == TYPE_LONG || c.type == TYPE_DOUBLE)) {
        c.type = type;
        c.raw = raw;
        return x;
    }
    Release(x);
    const CellIndex r = NewCellOrFail(in);
    if (r != kNoCell) {
        CellAt(r).type = type;
        CellAt(r).raw = raw;
    }
    return r;
}

CellIndex NewDouble(CInterpreter& in, double value) {
    const CellIndex c = NewCellOrFail(in);
    if (c != kNoCell) {
        ValueCell& v = CellAt(c);
        v.type = TYPE_DOUBLE;
        v.d = value;
    }
    return c;
}

CellIndex NewStringFromBlock(CInterpreter& in, StringBlock* block) {
    if (!block) {
        SetError(in, ERR_NO_MEMORY);
        return kNoCell;
    }
    const CellIndex c = NewCellOrFail(in);
    if (c == kNoCell) {
        FreeString(block);
        return kNoCell;
    }
    ValueCell& v = CellAt(c);
    v.type = TYPE_STRING;
    v.str = block;
    return c;
}

CellIndex NewString(CInterpreter& in, std::string_view text) {
    return NewStringFromBlock(in, AllocString(text.data(), text.size()));
}

int32_t RoundToLong(double x) {
    if (!(std::fabs(x) < kTwo63)) return 0; // NaN too
    const double r = std::round(x);         // halves away from zero
    if (!(std::fabs(r) < kTwo63)) return 0;
    return Low32(static_cast<int64_t>(r));
}

int32_t FloorToLong(double x) {
    if (!(std::fabs(x) < kTwo63)) return 0; // NaN too
    return Low32(static_cast<int64_t>(std::floor(x)));
}

} // namespace tivane
