// The built-in table's rows: every operator and named function with the types of its
// arguments and its handler. The core reaches the handlers only through this table.

#include <initializer_list>
#include <string_view>

#include "builtins.h"
#include "builtintable.h"

namespace tivane {

namespace {

constexpr uint16_t L = TYPE_LONG;
constexpr uint16_t D = TYPE_DOUBLE;
constexpr uint16_t S = TYPE_STRING;
constexpr uint16_t F = TYPE_FILEID;
constexpr uint16_t P = TYPE_PROGRAM;
constexpr uint16_t ANY = MASK_ANY;
constexpr uint16_t NUM = L | D;                                        // 0x03
constexpr uint16_t NUM_S = L | D | S;                                  // 0x07
constexpr uint16_t NUM_SP = L | D | S | P;                             // 0x17
constexpr uint16_t SP = S | P;                                         // 0x14
constexpr uint16_t VAR_TARGET = TYPE_VARREF | TYPE_PARENTVARREF;       // 0x240
constexpr uint16_t ARRAY_TARGET = TYPE_ARRAYREF | TYPE_PARENTARRAYREF; // 0x480

enum class Same { None, Pair01 };

// Masks are given in the order a program writes the arguments; the stored record counts
// from the top of the stack, so they are reversed here.
constexpr BuiltinEntry Row(const char* name, std::initializer_list<uint16_t> written,
                           BuiltinHandler handler, Same same = Same::None,
                           double (*number)(double) = nullptr) {
    BuiltinEntry e{name,         static_cast<uint16_t>(written.size()),
                   {0, 0, 0, 0}, {kSameTypeEnd, 0, 0, 0, 0},
                   handler,      number,
                   nullptr};
    int k = static_cast<int>(written.size());
    for (uint16_t m : written)
        e.argMask[--k] = m;
    if (same == Same::Pair01) {
        e.sameType[0] = 0;
        e.sameType[1] = 1;
        e.sameType[2] = kSameTypeEnd;
    }
    return e;
}

// A drawing procedure of a point: two doubles, NOT VALID, and a direct path for numbers.
constexpr BuiltinEntry PointRow(const char* name, BuiltinHandler handler, PointProcedure point) {
    BuiltinEntry e = Row(name, {D, D}, handler);
    e.point = point;
    return e;
}

} // namespace

constexpr std::array<BuiltinEntry, kBuiltinRows> BuiltinTable = {{
    // Operators, in the order of the operator table.
    Row("+", {NUM_S, NUM_S}, OpAdd, Same::Pair01),
    Row("-", {NUM, NUM}, OpSub, Same::Pair01),
    Row("*", {NUM, NUM}, OpMul, Same::Pair01),
    Row("/", {NUM, NUM}, OpDiv, Same::Pair01),
    Row(">=", {NUM_S, NUM_S}, OpGe, Same::Pair01),
    Row("<=", {NUM_S, NUM_S}, OpLe, Same::Pair01),
    Row("!=", {NUM_S, NUM_S}, OpNe, Same::Pair01),
    Row("<", {NUM_S, NUM_S}, OpLt, Same::Pair01),
    Row(">", {NUM_S, NUM_S}, OpGt, Same::Pair01),
    Row("==", {NUM_S, NUM_S}, OpEq, Same::Pair01),
    Row("&&", {L, L}, OpAnd),
    Row("||", {L, L}, OpOr),
    Row("--", {NUM}, OpNegate),
    Row(":=", {VAR_TARGET, ANY}, OpAssign),
    Row(";", {ANY}, OpSequence),
    Row(":=", {L, ARRAY_TARGET, ANY}, OpAssignElement),
    Row(":=", {TYPE_FUNCREF, P}, OpDefine),
    // Named functions.
    Row("SIN", {D}, BiSin, Same::None, MathSin),
    Row("COS", {D}, BiCos, Same::None, MathCos),
    Row("TAN", {D}, BiTan, Same::None, MathTan),
    Row("ATAN", {D}, BiAtan, Same::None, MathAtan),
    Row("LOG", {D}, BiLog, Same::None, MathLog),
    Row("EXP", {D}, BiExp, Same::None, MathExp),
    Row("MIN", {NUM, NUM}, BiMin, Same::Pair01),
    Row("MAX", {NUM, NUM}, BiMax, Same::Pair01),
    Row("ABS", {NUM}, BiAbs),
    Row("IF", {L, NUM_SP, NUM_SP}, BiIf, Same::Pair01),
    Row("LOG10", {D}, BiLog10, Same::None, MathLog10),
    Row("POW", {D, D}, BiPow),
    Row("LONG", {D}, BiLong),
    Row("STRMID", {S, L, L}, BiStrMid),
    Row("STRLEN", {S}, BiStrLen),
    Row("ASC", {S}, BiAsc),
    Row("CHR", {L}, BiChr),
    Row("OPENFILE", {S, S}, BiOpenFile),
    Row("CLOSEFILE", {F}, BiCloseFile),
    Row("READCHAR", {F}, BiReadChar),
    Row("READTEXT", {F}, BiReadText),
    Row("READSHORT", {F, L}, BiReadShort),
    Row("READLONG", {F, L}, BiReadLong),
    Row("ATOL", {S}, BiAtol),
    Row("ATOF", {S}, BiAtof),
    Row("ANYTOS", {S, ANY}, BiAnyToS),
    Row("PRINT", {ANY}, BiPrint),
    Row("VALID", {ANY}, BiValid),
    Row("FPRINT", {F, ANY}, BiFPrint),
    Row("FINDCHAR", {S, S}, BiFindChar),
    Row("FSEEK", {F, L, L}, BiFSeek),
    Row("WHILE", {P, P}, BiWhile),
    Row("EXECUTE", {SP}, BiExecute),
    Row("UPDATEVIEWS", {L}, BiUpdateViews),
    PointRow("LINETO", BiLineTo, DrawLineTo),
    PointRow("MOVETO", BiMoveTo, DrawMoveTo),
    Row("FGRCOLOR", {L, L, L}, BiFgrColor),
    Row("BGRCOLOR", {L, L, L}, BiBgrColor),
    Row("EXECVIEWTEMPLATES", {L}, BiExecViewTemplates),
    Row("FORALLVIEWS", {S}, BiForAllViews),
    Row("GETCONFIG", {L}, BiGetConfig),
    Row("SETCONFIG", {S}, BiSetConfig),
    Row("ONUPDATE", {P}, BiOnUpdate),
    Row("DISPLAYVIEW", {L}, BiDisplayView),
    Row("SENDMSG", {S}, BiSendMsg),
    Row("UPDFREQUENCY", {L}, BiUpdFrequency),
    Row("WINDOWEXT", {D, D, D, D}, BiWindowExt),
    Row("CLIPWINDOW", {L, L, L, L}, BiClipWindow),
    Row("GETWINSIZE", {L}, BiGetWinSize),
    PointRow("RLINETO", BiRLineTo, DrawRLineTo),
    PointRow("RMOVETO", BiRMoveTo, DrawRMoveTo),
    Row("ABORT", {S}, BiAbort),
    Row("PRINTF", {S, ANY}, BiPrintF),
    Row("POS", {L}, BiPos),
    Row("PENSIZE", {D}, BiPenSize),
    Row("PUSH", {ANY}, BiPush),
    Row("POP", {ANY}, BiPop),
    Row("CLEAR", {S}, BiClear),
    Row("TRUNC", {D}, BiTrunc),
    Row("CHANGEFONT", {S, D, L}, BiChangeFont),
    Row("GETUSERINPUT", {S}, BiGetUserInput),
    Row("ASKUSERYESNO", {S}, BiAskUserYesNo),
    Row("SAVEVALUE", {F, S}, BiSaveValue),
    Row("GETFUNCDEF", {S}, BiGetFuncDef),
    Row("WRITECHAR", {F, S}, BiWriteChar),
    Row("WRITETEXT", {F, S}, BiWriteText),
    Row("WRITESHORT", {F, L, L}, BiWriteShort),
    Row("WRITELONG", {F, L, L}, BiWriteLong),
    Row("READFLOAT", {F}, BiReadFloat),
    Row("WRITEFLOAT", {F, D}, BiWriteFloat),
    Row("CLEARVIEW", {L}, BiClearView),
}};

// Rows other code relies on by number.
static_assert(BuiltinTable.size() == 88);
static_assert(std::string_view(BuiltinTable[17].name) == "SIN");
static_assert(std::string_view(BuiltinTable[kRowIf].name) == "IF");
static_assert(std::string_view(BuiltinTable[kRowWhile].name) == "WHILE");
static_assert(std::string_view(BuiltinTable[49].name) == "EXECUTE");
static_assert(std::string_view(BuiltinTable[87].name) == "CLEARVIEW");
static_assert(BuiltinTable[OP_ASSIGN_ELEMENT].argMask[1] == 0x480);

} // namespace tivane
