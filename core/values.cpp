#include "values.h"

#include <cmath>

namespace tivane {

namespace {

CellIndex NewCellOrFail(CInterpreter& in) {
    const CellIndex c = Pool().NewCell();
    if (c == kNoCell) SetError(in, 3);
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
        SetError(in, 3);
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
