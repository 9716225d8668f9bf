#include "builtintable.h"

#include <string_view>

namespace tivane {

namespace {

constexpr Associativity kLeft = Associativity::Left;
constexpr Associativity kRight = Associativity::Right;

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
