#pragma once
// Handlers of the named functions (rows 17..87 of the built-in table).

#include <cstdint>

#include "builtintable.h"
#include "cellpool.h"
#include "interpreter.h"

namespace tivane {

#define TIVANE_HANDLER(name) CellIndex name(CInterpreter& in, CellIndex* stack, int32_t& sp)

// Mathematics and strings.
TIVANE_HANDLER(BiSin);
TIVANE_HANDLER(BiCos);
TIVANE_HANDLER(BiTan);
TIVANE_HANDLER(BiAtan);
TIVANE_HANDLER(BiLog);
TIVANE_HANDLER(BiExp);
TIVANE_HANDLER(BiMin);
TIVANE_HANDLER(BiMax);
TIVANE_HANDLER(BiAbs);
TIVANE_HANDLER(BiLog10);
TIVANE_HANDLER(BiPow);
TIVANE_HANDLER(BiLong);
TIVANE_HANDLER(BiStrMid);
TIVANE_HANDLER(BiStrLen);
TIVANE_HANDLER(BiAsc);
TIVANE_HANDLER(BiChr);
TIVANE_HANDLER(BiAtol);
TIVANE_HANDLER(BiAtof);
TIVANE_HANDLER(BiAnyToS);
TIVANE_HANDLER(BiValid);
TIVANE_HANDLER(BiFindChar);
TIVANE_HANDLER(BiTrunc);

// Functions whose group is not built yet: they release their arguments and fail with
// "Not implemented".
template <int NArgs>
CellIndex BiNotImplemented(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    for (int k = 0; k < NArgs; ++k)
        Release(stack[sp--]);
    SetError(in, 12);
    return kNoCell;
}

// Takes the top argument off the stack; the caller owns its reference.
inline CellIndex PopArg(CellIndex* stack, int32_t& sp) {
    return stack[sp--];
}

} // namespace tivane
