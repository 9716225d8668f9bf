#include "builtintable.h"

#include <cstring>
#include <initializer_list>

#include "builtins.h"

namespace tivane {

namespace {

constexpr uint16_t L = TYPE_LONG;
constexpr uint16_t D = TYPE_DOUBLE;
constexpr uint16_t S = TYPE_STRING;
constexpr uint16_t F = TYPE_FILEID;
constexpr uint16_t P = TYPE_PROGRAM;
constexpr uint16_t ANY = MASK_ANY;

constexpr Associativity kLeft = Associativity::Left;
constexpr Associativity kRight = Associativity::Right;

enum class Same { None, Pair01 };

// Masks are given in the order a program writes the arguments; the stored record counts
// from the top of the stack, so they are reversed here.
constexpr BuiltinEntry Row(const char* name, std::initializer_list<uint16_t> written,
                           BuiltinHandler handler, Same same = Same::None) {
    BuiltinEntry e{name,
                   static_cast<uint16_t>(written.size()),
                   {0, 0, 0, 0},
                   {kSameTypeEnd, 0, 0, 0, 0},
                   handler};
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

} // namespace

// A prefix minus is right-associative: it comes where an operand is expected, so nothing
// before it is complete and it takes nothing off the operator list.
constexpr std::array<OperatorEntry, kOperatorCount + 1> OperatorTable = {{
    {"+", 3, kLeft},
    {"-", 3, kLeft},
    {"*", 4, kLeft},
    {"/", 4, kLeft},
    {">=", 2, kLeft},
    {"<=", 2, kLeft},
    {"!=", 2, kLeft},
    {"<", 2, kLeft},
    {">", 2, kLeft},
    {"==", 2, kLeft},
    {"&&", 1, kLeft},
    {"||", 1, kLeft},
    {"--", 5, kRight},
    {":=", 0, kLeft},
    {";", 0, kLeft},
    {":=", 0, kLeft},
    {":=", 0, kLeft},
    {",", 0, kLeft},
    {"(", kPrecedenceNone, kLeft},
    {"", kPrecedenceNone, kLeft},
}};

constexpr std::array<BuiltinEntry, kBuiltinRows> BuiltinTable = {{
    // Operators, in the order of the operator table.
    Row("+", {0x07, 0x07}, OpAdd, Same::Pair01),
    Row("-", {0x03, 0x03}, OpSub, Same::Pair01),
    Row("*", {0x03, 0x03}, OpMul, Same::Pair01),
    Row("/", {0x03, 0x03}, OpDiv, Same::Pair01),
    Row(">=", {0x07, 0x07}, OpGe, Same::Pair01),
    Row("<=", {0x07, 0x07}, OpLe, Same::Pair01),
    Row("!=", {0x07, 0x07}, OpNe, Same::Pair01),
    Row("<", {0x07, 0x07}, OpLt, Same::Pair01),
    Row(">", {0x07, 0x07}, OpGt, Same::Pair01),
    Row("==", {0x07, 0x07}, OpEq, Same::Pair01),
    Row("&&", {L, L}, OpAnd),
    Row("||", {L, L}, OpOr),
    Row("--", {0x03}, OpNegate),
    Row(":=", {0x240, ANY}, OpAssign),
    Row(";", {ANY}, OpSequence),
    Row(":=", {L, 0x480, ANY}, OpAssignElement),
    Row(":=", {0x100, P}, OpDefine),
    // Named functions.
    Row("SIN", {D}, BiSin),
    Row("COS", {D}, BiCos),
    Row("TAN", {D}, BiTan),
    Row("ATAN", {D}, BiAtan),
    Row("LOG", {D}, BiLog),
    Row("EXP", {D}, BiExp),
    Row("MIN", {0x03, 0x03}, BiMin, Same::Pair01),
    Row("MAX", {0x03, 0x03}, BiMax, Same::Pair01),
    Row("ABS", {0x03}, BiAbs),
    Row("IF", {L, 0x17, 0x17}, BiIf, Same::Pair01),
    Row("LOG10", {D}, BiLog10),
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
    Row("EXECUTE", {0x14}, BiExecute),
    Row("UPDATEVIEWS", {L}, BiUpdateViews),
    Row("LINETO", {D, D}, BiLineTo),
    Row("MOVETO", {D, D}, BiMoveTo),
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
    Row("RLINETO", {D, D}, BiRLineTo),
    Row("RMOVETO", {D, D}, BiRMoveTo),
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
static_assert(std::string_view(BuiltinTable[26].name) == "IF");
static_assert(std::string_view(BuiltinTable[49].name) == "EXECUTE");
static_assert(std::string_view(BuiltinTable[87].name) == "CLEARVIEW");
static_assert(BuiltinTable[OP_ASSIGN_ELEMENT].argMask[1] == 0x480);
static_assert(OperatorTable[kOperatorCount].text[0] == '\0');

namespace {

// Operators of one precedence must group the same way, or a chain mixing them ("a-b+c") would
// have no single reading.
constexpr bool EachLevelGroupsOneWay() {
    for (int32_t a = 0; a < kOperatorCount; ++a) {
        for (int32_t b = 0; b < kOperatorCount; ++b) {
            if (OperatorTable[a].precedence == OperatorTable[b].precedence &&
                OperatorTable[a].associativity != OperatorTable[b].associativity)
                return false;
        }
    }
    return true;
}

constexpr bool NegateBindsTightest() {
    for (int32_t op = 0; op < kOperatorCount; ++op) {
        if (op != OP_NEGATE && OperatorTable[op].precedence != kPrecedenceNone &&
            OperatorTable[op].precedence >= OperatorTable[OP_NEGATE].precedence)
            return false;
    }
    return true;
}

} // namespace

static_assert(EachLevelGroupsOneWay());
// The prefix minus binds tightest and groups to the right, so the compiler's precedence rule
// alone keeps it from taking anything off the operator list.
static_assert(OperatorTable[OP_NEGATE].precedence == 5);
static_assert(OperatorTable[OP_NEGATE].associativity == Associativity::Right);
static_assert(NegateBindsTightest());
// ";" completes every operator before it, so its value is a whole statement.
static_assert(OperatorTable[OP_SEQUENCE].precedence == 0);
// The compiler scans every ":=" as OP_ASSIGN and learns from the target which row it is.
static_assert(OperatorTable[OP_ASSIGN_ELEMENT].precedence == OperatorTable[OP_ASSIGN].precedence);
static_assert(OperatorTable[OP_DEFINE].precedence == OperatorTable[OP_ASSIGN].precedence);

int32_t FindBuiltin(std::string_view name) {
    char upper[32];
    if (name.size() >= sizeof upper) return -1;
    for (size_t k = 0; k < name.size(); ++k) {
        char c = name[k];
        upper[k] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    const std::string_view key(upper, name.size());
    for (int32_t row = kFirstNamedRow; row < kBuiltinRows; ++row) {
        if (key == BuiltinTable[row].name) return row - kFirstNamedRow;
    }
    return -1;
}

} // namespace tivane
