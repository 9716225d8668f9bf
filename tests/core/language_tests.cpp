// The compiler's item order, what programs compute, and which errors stop them where.

#include <string>
#include <utility>

#include "testsupport.h"

namespace tivane::test {
namespace {

constexpr uint16_t L = TYPE_LONG;
constexpr uint16_t D = TYPE_DOUBLE;
constexpr uint16_t S = TYPE_STRING;
constexpr uint16_t N = TYPE_NOTVALID;
constexpr uint16_t P = TYPE_PROGRAM;

struct ItemsCase {
    const char* text;
    const char* items;
};

class ItemOrderTest : public LanguageTest, public ::testing::WithParamInterface<ItemsCase> {};

TEST_P(ItemOrderTest, CompilesToPostfixItems) {
    EXPECT_EQ(Items(GetParam().text), GetParam().items) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Compiler, ItemOrderTest,
    ::testing::Values(ItemsCase{"a:=b+c*2", "a(VARREF) b c 2 * + :="},
                      ItemsCase{"x[i]:=5", "i x(ARRAYREF) 5 :=(15)"},
                      ItemsCase{"f(a,b):={a*b}", "a(VARREF) b(VARREF) f(FUNCREF) {a b *} :=(16)"},
                      ItemsCase{"Sin\t(\nX )+max(a,b)", "x SIN a b MAX +"},
                      ItemsCase{"\"A b\"", "\"A b\""},
                      // A minus before a name is the prefix operator, before a number it belongs to
                      // the literal, and after an operand it subtracts.
                      ItemsCase{"-x*2", "x -- 2 *"}, ItemsCase{"a*-5", "a -5 *"},
                      ItemsCase{"1-2-3", "1 2 - 3 -"},
                      ItemsCase{"a:=b:=1", "a(VARREF) b(VARREF) := 1 :="},
                      ItemsCase{"1<2&&3>=2||0", "1 2 < 3 2 >= && 0 ||"},
                      ItemsCase{"x;x[0];x(0)", "x ; 0 x[] ; 0 x()"}));

// Every binary operator groups to the left, the prefix minus to the right; statements inside
// an operand run where they stand.
INSTANTIATE_TEST_SUITE_P(Grouping, ItemOrderTest,
                         ::testing::Values(ItemsCase{"a*b/c", "a b * c /"},
                                           ItemsCase{"a<b<c", "a b < c <"},
                                           ItemsCase{"a&&b||c", "a b && c ||"},
                                           ItemsCase{"- -a", "a -- --"},
                                           ItemsCase{"x*(a;b)", "x a ; b *"}));

struct ValueCase {
    const char* text;
    uint16_t type;
    const char* value;
};

class ValueTest : public LanguageTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(ValueTest, ComputesTypedValue) {
    const Outcome o = Eval(GetParam().text);
    ASSERT_TRUE(o.ok) << GetParam().text << " failed with " << o.error << ": " << o.report;
    EXPECT_EQ(o.value, GetParam().value) << GetParam().text;
    EXPECT_EQ(o.type, GetParam().type) << GetParam().text;
}

// A point or exponent makes a double; a long keeps the low 32 bits; e5 is a name.
INSTANTIATE_TEST_SUITE_P(Numbers, ValueTest,
                         ::testing::Values(ValueCase{"1000", L, "1000"},
                                           ValueCase{"1e3", D, "1000"}, ValueCase{"-.5", D, "-0.5"},
                                           ValueCase{"2147483648", L, "-2147483648"},
                                           ValueCase{"4294967296", L, "0"},
                                           ValueCase{"e5:=3; e5*2", L, "6"}));

// Decimal numbers read correctly rounded whatever their digits; zero scaled stays zero, and
// past the range of doubles a number is infinite or zero.
TEST_F(LanguageTest, NumbersReadCorrectlyRounded) {
    const std::string zeros(5000, '0');
    const std::pair<std::string, const char*> rows[] = {{"4.219e21==4219e18", "1"},
                                                        {"1." + zeros, "1"},
                                                        {"0." + zeros + "1e5000", "0.1"},
                                                        {"1" + zeros + "e-5000", "1"},
                                                        {"0e4933", "0"},
                                                        {"0." + zeros + "e99999", "0"},
                                                        {"0.1+0.2==0.3", "0"},
                                                        {"4.9e-324>0", "1"},
                                                        {"1e-400==0", "1"},
                                                        {"1e400>1.7976931348623157e308", "1"}};
    for (const auto& [text, value] : rows)
        EXPECT_EQ(Eval(text).value, value) << text.substr(0, 40);
}

INSTANTIATE_TEST_SUITE_P(
    Operators, ValueTest,
    ::testing::Values(
        // Longs wrap at 32 bits and divide toward zero; the one quotient that overflows does
        // not trap.
        ValueCase{"2147483647+1", L, "-2147483648"}, ValueCase{"65537*65537", L, "131073"},
        ValueCase{"-2147483648/-1", L, "-2147483648"}, ValueCase{"-7/2", L, "-3"},
        // A double operand widens the other.
        ValueCase{"7/2.0", D, "3.5"}, ValueCase{"1==1.0", L, "1"},
        // The prefix minus negates a computed double in place.
        ValueCase{"x:=1; -(x+0.5)", D, "-1.5"},
        // Strings compare bytewise and unsigned; a prefix sorts first.
        ValueCase{"\"ab\"+\"c\"", S, "\"abc\""}, ValueCase{"\"b\">\"abc\"", L, "1"},
        ValueCase{"\"ab\"<\"abc\"", L, "1"}, ValueCase{"\"abc\"<\"ab\"", L, "0"},
        ValueCase{"\"A\"<\"a\"", L, "1"}, ValueCase{"\"\xE9\">\"z\"", L, "1"},
        ValueCase{"\"ab\"<=\"ab\"", L, "1"}, ValueCase{"\"ab\">=\"ab\"", L, "1"},
        ValueCase{"\"ab\"==\"ab\"", L, "1"}, ValueCase{"\"ab\"!=\"ab\"", L, "0"},
        // && and || are bitwise.
        ValueCase{"3&&5", L, "1"}, ValueCase{"2||1", L, "3"},
        // A statement's value is dropped; names ignore case; a block is a value.
        ValueCase{"1;", N, "<NOT VALID>"}, ValueCase{"ABC:=2; abc", L, "2"},
        ValueCase{"x:={1+2}; x", P, "{1+2}"}));

INSTANTIATE_TEST_SUITE_P(
    Functions, ValueTest,
    ::testing::Values(
        // Parameters are the interpreter's variables, rebound only during the call.
        ValueCase{"x:=1; x[0]:=2; x(x):={x*2}; x(5)", L, "10"},
        ValueCase{"x:=1; x[0]:=2; x(x):={x*2}; x(5); x*10+x[0]", L, "12"},
        ValueCase{"f(x):={x:=x+1; x}; x:=9; f(1)*10+x", L, "29"},
        ValueCase{"f(a,b):={a-b}; f(f(10,3),2)", L, "5"},
        // A call before any definition gives NOT VALID; a redefinition replaces the body.
        ValueCase{"a:=f(2); f(x):={x+1}; a", N, "<NOT VALID>"},
        ValueCase{"f(x):={1}; f(x):={2}; f(0)", L, "2"},
        // The running body stays alive while it replaces or clears its own definition.
        ValueCase{"f(x):={f(y):={y*3}; x+1}; f(5)*100+f(5)", L, "615"},
        ValueCase{"f(x):={CLEAR(\"f(0)\"); x+1}; f(5)*10+VALID(f(5))", L, "60"},
        // Each recursion level sees its own argument; 2000 levels through IF work.
        ValueCase{"f(n):={IF(n>0,{n+f(n-1)},{0})}; f(2000)", L, "2001000"},
        ValueCase{"f(n):={IF(n>0,{n+f(n-1)},{0})}; f(20); n", N, "<NOT VALID>"}));

struct ErrorCase {
    const char* text;
    uint32_t code;
    uint16_t phase; // 1 compile, 2 run
};

class ErrorTest : public LanguageTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(ErrorTest, FailsWithCodeInPhase) {
    const Outcome o = Eval(GetParam().text);
    ASSERT_FALSE(o.ok) << GetParam().text << " gave " << o.value;
    EXPECT_EQ(o.error, GetParam().code) << GetParam().text << ": " << o.report;
    EXPECT_EQ(o.phase, GetParam().phase) << GetParam().text;
    EXPECT_EQ(doc.errorTrace.Count(), 0u) << "the report empties the trace";
}

INSTANTIATE_TEST_SUITE_P(Compile, ErrorTest,
                         ::testing::Values(ErrorCase{"1+", 1, 1}, ErrorCase{"a=1", 2, 1},
                                           ErrorCase{"(1", 4, 1}, ErrorCase{"a[1)", 5, 1},
                                           ErrorCase{"\"abc", 6, 1}, ErrorCase{"f(1);f(1,2)", 7, 1},
                                           ErrorCase{"(a,b)", 9, 1}, ErrorCase{"1,2", 11, 1},
                                           ErrorCase{"3:=4", 13, 1}, ErrorCase{"f(1):={1}", 14, 1},
                                           ErrorCase{"1}", 15, 1}, ErrorCase{"{1", 16, 1}));

INSTANTIATE_TEST_SUITE_P(
    Run, ErrorTest,
    ::testing::Values(ErrorCase{"1/0", 24, 2}, ErrorCase{"1.0/0", 24, 2},
                      ErrorCase{"\"a\"+1", 10, 2}, ErrorCase{"2&&1.0", 10, 2},
                      ErrorCase{"a[1.5]", 10, 2}, ErrorCase{"a[1.0]:=1", 10, 2},
                      // Unbounded recursion runs out of memory and unwinds cleanly.
                      ErrorCase{"f(n):={f(n+1)}; f(0)", 3, 2}));

TEST_F(LanguageTest, BlockNestingIsLimited) {
    const auto nested = [](int depth) {
        return std::string(depth, '{') + "1" + std::string(depth, '}');
    };
    EXPECT_EQ(Value(nested(kMaxBlockDepth)), nested(kMaxBlockDepth));
    const Outcome o = Eval(nested(kMaxBlockDepth + 1));
    EXPECT_EQ(o.error, 3u);
    EXPECT_EQ(o.phase, 1);
}

// "1+1+...+1" with `ones` ones, each "+1" spread over `unit` bytes by blanks and line breaks.
std::string SpreadSum(int ones, int unit, const std::string& head = "1") {
    std::string text = head;
    const std::string plusOne = "\t+" + std::string(unit - 5, ' ') + "\r\n1";
    for (int k = 1; k < ones; ++k)
        text += plusOne;
    return text;
}

// The limit counts the normalised text: blanks outside strings do not count, blanks inside
// strings do.
TEST_F(LanguageTest, SourceLimitAppliesToTheNormalisedText) {
    struct Row {
        std::string text;
        std::string value; // or "error 3"
    };
    const std::string blanks(kMaxSourceLength - 2, ' ');
    const Row rows[] = {
        // 72,001 bytes, 16,001 after normalisation.
        {SpreadSum(8001, 9), "8001"},
        // Exactly at the limit, and one byte over it.
        {SpreadSum(16384, 6), "16384"},
        {SpreadSum(16384, 6, "11"), "error 3"},
        {"\"" + blanks + "\"", "\"" + blanks + "\""},
        {"\"" + blanks + " \"", "error 3"},
        // 16 MiB of blanks around one digit.
        {std::string(8 << 20, ' ') + "7" + std::string(8 << 20, '\n'), "7"},
    };
    ASSERT_EQ(rows[0].text.size(), 72001u);
    for (const Row& row : rows) {
        const Outcome o = Eval(row.text);
        EXPECT_EQ(o.ok ? o.value : "error " + std::to_string(o.error), row.value)
            << row.text.size() << " bytes";
        EXPECT_EQ(o.phase, o.ok ? 0 : 1);
    }
}

// However long the text, normalising it keeps no more than the limit and one byte.
TEST_F(LanguageTest, AnOverlongTextIsRefusedWithoutCopyingIt) {
    const std::string text(16 << 20, 'a');
    EXPECT_EQ(Compile(*main, text), kNoCell);
    EXPECT_EQ(doc.errorCode, 3u);
    EXPECT_LE(main->source.capacity(), kMaxSourceLength + 1);
    ErrorReport(*main);
}

} // namespace
} // namespace tivane::test
