#pragma once
// Handlers of the named functions (rows 17..87 of the built-in table).

#include <cstdint>

#include "builtintable.h"
#include "cellpool.h"
#include "interpreter.h"

namespace tivane {

#define TIVANE_HANDLER(name) CellIndex name(CInterpreter& in, CellIndex* stack, int32_t& sp)

// Mathematics and strings.
double MathSin(double x);
double MathCos(double x);
double MathTan(double x);
double MathAtan(double x);
double MathLog(double x);
double MathLog10(double x);
double MathExp(double x);
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

// Control and program functions.
TIVANE_HANDLER(BiIf);
TIVANE_HANDLER(BiWhile);
TIVANE_HANDLER(BiExecute);
TIVANE_HANDLER(BiAbort);
TIVANE_HANDLER(BiPush);
TIVANE_HANDLER(BiPop);
TIVANE_HANDLER(BiClear);
TIVANE_HANDLER(BiSaveValue);
TIVANE_HANDLER(BiGetFuncDef);

// Files, output, drawing, view control and dialogs.
TIVANE_HANDLER(BiOpenFile);
TIVANE_HANDLER(BiCloseFile);
TIVANE_HANDLER(BiReadChar);
TIVANE_HANDLER(BiReadText);
TIVANE_HANDLER(BiReadShort);
TIVANE_HANDLER(BiReadLong);
TIVANE_HANDLER(BiPrint);
TIVANE_HANDLER(BiFPrint);
TIVANE_HANDLER(BiFSeek);
TIVANE_HANDLER(BiUpdateViews);
TIVANE_HANDLER(BiLineTo);
// The drawing procedures of a point on plain numbers, which the handlers above and below call.
void DrawMoveTo(CInterpreter& in, double x, double y);
void DrawLineTo(CInterpreter& in, double x, double y);
void DrawRMoveTo(CInterpreter& in, double x, double y);
void DrawRLineTo(CInterpreter& in, double x, double y);
TIVANE_HANDLER(BiMoveTo);
TIVANE_HANDLER(BiFgrColor);
TIVANE_HANDLER(BiBgrColor);
TIVANE_HANDLER(BiExecViewTemplates);
TIVANE_HANDLER(BiForAllViews);
TIVANE_HANDLER(BiGetConfig);
TIVANE_HANDLER(BiSetConfig);
TIVANE_HANDLER(BiOnUpdate);
TIVANE_HANDLER(BiDisplayView);
TIVANE_HANDLER(BiSendMsg);
TIVANE_HANDLER(BiUpdFrequency);
TIVANE_HANDLER(BiWindowExt);
TIVANE_HANDLER(BiClipWindow);
TIVANE_HANDLER(BiGetWinSize);
TIVANE_HANDLER(BiRLineTo);
TIVANE_HANDLER(BiRMoveTo);
TIVANE_HANDLER(BiPrintF);
TIVANE_HANDLER(BiPos);
TIVANE_HANDLER(BiPenSize);
TIVANE_HANDLER(BiChangeFont);
TIVANE_HANDLER(BiGetUserInput);
TIVANE_HANDLER(BiAskUserYesNo);
TIVANE_HANDLER(BiWriteChar);
TIVANE_HANDLER(BiWriteText);
TIVANE_HANDLER(BiWriteShort);
TIVANE_HANDLER(BiWriteLong);
TIVANE_HANDLER(BiReadFloat);
TIVANE_HANDLER(BiWriteFloat);
TIVANE_HANDLER(BiClearView);

// Takes the top argument off the stack; the caller owns its reference.
inline CellIndex PopArg(CellIndex* stack, int32_t& sp) {
    return stack[sp--];
}

// Takes n arguments off the stack into args[0..n-1] in written order, and releases them when
// it goes out of scope; Keep(k) hands argument k's reference to the caller instead.
template <int N>
class Args {
public:
    Args(CellIndex* stack, int32_t& sp) {
        for (int k = N - 1; k >= 0; --k)
            m_args[k] = PopArg(stack, sp);
    }
    ~Args() {
        for (CellIndex c : m_args)
            Release(c);
    }
    Args(const Args&) = delete;
    Args& operator=(const Args&) = delete;
    CellIndex operator[](int k) const { return m_args[k]; }
    CellIndex Keep(int k) {
        const CellIndex c = m_args[k];
        m_args[k] = kNotValid;
        return c;
    }

private:
    CellIndex m_args[N];
};

} // namespace tivane
