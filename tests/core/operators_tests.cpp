// Operators and argument checks: what a program computes, and which run-time errors stop it.

#include <limits>
#include <string>

#include "testsupport.h"
#include "values.h"

namespace tivane::test {
namespace {

constexpr uint16_t L = TYPE_LONG;
constexpr uint16_t D = TYPE_DOUBLE;
constexpr uint16_t S = TYPE_STRING;
constexpr uint16_t N = TYPE_NOTVALID;
constexpr uint16_t P = TYPE_PROGRAM;

struct ResultCase {
    const char* text;
    uint16_t type;
    const char* value;
};

class ResultTest : public LanguageTest, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(ResultTest, ComputesTypedValue) {
    const Outcome o = Eval(GetParam().text);
    ASSERT_TRUE(o.ok) << GetParam().text << " failed with " << o.error << ": " << o.report;
    EXPECT_EQ(o.value, GetParam().value) << GetParam().text;
    EXPECT_EQ(o.type, GetParam().type) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Arithmetic, ResultTest,
    ::testing::Values(
        ResultCase{"7/2", L, "3"}, ResultCase{"-7/2", L, "-3"}, ResultCase{"7/-2", L, "-3"},
        ResultCase{"7/2.0", D, "3.5"}, ResultCase{"1+2*3", L, "7"}, ResultCase{"(1+2)*3", L, "9"},
        ResultCase{"10-2-3", L, "5"}, ResultCase{"100/10/5", L, "2"}, ResultCase{"1+2.5", D, "3.5"},
        ResultCase{"2.5*2", D, "5"}, ResultCase{"1.5-2", D, "-0.5"},
        ResultCase{"-(1.5)", D, "-1.5"},
        // 32-bit wrapping, and no trap for the one quotient that overflows.
        ResultCase{"2147483647+1", L, "-2147483648"}, ResultCase{"-2147483648-1", L, "2147483647"},
        ResultCase{"65536*65536", L, "0"}, ResultCase{"65537*65537", L, "131073"},
        ResultCase{"-2147483648/-1", L, "-2147483648"},
        ResultCase{"(-2147483647-1)/-1", L, "-2147483648"},
        ResultCase{"-(-2147483647-1)", L, "-2147483648"},
        ResultCase{"-2147483648/1", L, "-2147483648"}, ResultCase{"a:=4; - -a", L, "4"},
        ResultCase{"a:=4; -a*2", L, "-8"}, ResultCase{"a:=4; 2*-a", L, "-8"}));

INSTANTIATE_TEST_SUITE_P(
    Comparisons, ResultTest,
    ::testing::Values(ResultCase{"1<2", L, "1"}, ResultCase{"2<1", L, "0"},
                      ResultCase{"1==1.0", L, "1"}, ResultCase{"1.5>1", L, "1"},
                      ResultCase{"2>=2", L, "1"}, ResultCase{"2<=1", L, "0"},
                      ResultCase{"3!=3", L, "0"}, ResultCase{"-1<0", L, "1"},
                      ResultCase{"2*3==6", L, "1"}, ResultCase{"1<2==1", L, "1"},
                      ResultCase{"\"ab\"+\"c\"", S, "\"abc\""},
                      ResultCase{"\"x\"+\"\"", S, "\"x\""}, ResultCase{"\"b\">\"abc\"", L, "1"},
                      ResultCase{"\"ab\"<\"abc\"", L, "1"}, ResultCase{"\"abc\"<\"ab\"", L, "0"},
                      ResultCase{"\"A\"<\"a\"", L, "1"}, ResultCase{"\"\"<\"a\"", L, "1"},
                      ResultCase{"\"a\"==\"a\"", L, "1"}, ResultCase{"\"a\"!=\"a\"", L, "0"},
                      // Bytes compare unsigned: 0xE9 sorts after "z".
                      ResultCase{"\"\xE9\">\"z\"", L, "1"}));

INSTANTIATE_TEST_SUITE_P(Logic, ResultTest,
                         ::testing::Values(ResultCase{"3&&5", L, "1"}, ResultCase{"3&&4", L, "0"},
                                           ResultCase{"2&&1", L, "0"}, ResultCase{"2||1", L, "3"},
                                           ResultCase{"-1&&255", L, "255"},
                                           ResultCase{"1<2&&2<3", L, "1"},
                                           ResultCase{"1<2&&3<2", L, "0"},
                                           ResultCase{"1>2||3>2", L, "1"}));

INSTANTIATE_TEST_SUITE_P(
    Evaluation, ResultTest,
    ::testing::Values(ResultCase{"", N, "<NOT VALID>"}, ResultCase{"1;", N, "<NOT VALID>"},
                      ResultCase{"1;2", L, "2"}, ResultCase{"a:=5", L, "5"},
                      ResultCase{"a:=b; a", N, "<NOT VALID>"}, ResultCase{"a", N, "<NOT VALID>"},
                      ResultCase{"a:=1; a:=a+1; a", L, "2"}, ResultCase{"x:={1}; x", P, "{1}"},
                      ResultCase{"{1+2}", P, "{1+2}"}, ResultCase{"SIN(1)", D, "0.841471"},
                      ResultCase{"MIN(2,3.5)", D, "2"}, ResultCase{"MAX(2,3)", L, "3"},
                      ResultCase{"1\xFF+\x80 2", L, "3"}, ResultCase{"ABC:=2; abc", L, "2"},
                      ResultCase{"x\t y:=3; xy", L, "3"},
                      ResultCase{"a1:=1; a.b_c':=2; a1+a.b_c'", L, "3"}));

struct RunErrorCase {
    const char* text;
    uint32_t code;
};

class RunErrorTest : public LanguageTest, public ::testing::WithParamInterface<RunErrorCase> {};

TEST_P(RunErrorTest, CompilesButFailsWhileRunning) {
    const Outcome o = Eval(GetParam().text);
    ASSERT_FALSE(o.ok) << GetParam().text << " gave " << o.value;
    EXPECT_EQ(o.error, GetParam().code) << GetParam().text << ": " << o.report;
    EXPECT_EQ(o.phase, 2) << GetParam().text;
    EXPECT_EQ(doc.errorTrace.Count(), 0u) << "the report empties the trace";
}

INSTANTIATE_TEST_SUITE_P(
    Evaluator, RunErrorTest,
    ::testing::Values(RunErrorCase{"1/0", 24}, RunErrorCase{"1.0/0", 24},
                      RunErrorCase{"0.0/0.0", 24}, RunErrorCase{"5/(2-2)", 24},
                      // Types that no widening fixes.
                      RunErrorCase{"\"1\"==1", 10}, RunErrorCase{"\"a\"+1", 10},
                      RunErrorCase{"\"a\"*2", 10}, RunErrorCase{"\"a\"-\"b\"", 10},
                      RunErrorCase{"-\"a\"", 10}, RunErrorCase{"2&&1.0", 10},
                      RunErrorCase{"1.5||1", 10}, RunErrorCase{"sin(\"a\")", 10},
                      RunErrorCase{"min(1,\"a\")", 10}, RunErrorCase{"x:={1}; x+1", 10},
                      RunErrorCase{"a+1", 10}, RunErrorCase{"a:=b:=1", 10},
                      // Array indexes must be longs.
                      RunErrorCase{"a[1.5]", 10}, RunErrorCase{"a[\"x\"]", 10},
                      RunErrorCase{"a[b]", 10}, RunErrorCase{"a[1.0]:=1", 10},
                      // Element assignments outside the array's possible range.
                      RunErrorCase{"a[-1]:=1", 3}, RunErrorCase{"a[-2147483648]:=1", 3},
                      RunErrorCase{"a[16000000]:=1", 3}, RunErrorCase{"a[2147483647]:=1", 3}));

// The value of the first operand stays on the stack while the error unwinds; a failing
// program releases what it had made (checked by the fixture) and leaves earlier work done.
TEST_F(LanguageTest, FailedRunKeepsEarlierAssignments) {
    EXPECT_EQ(ErrorOf("a:=1; b:=\"s\"+\"t\"; c:=1/0; d:=4"), 24u);
    EXPECT_EQ(Value("a"), "1");
    EXPECT_EQ(Value("b"), "\"st\"");
    EXPECT_EQ(Value("c"), "<NOT VALID>");
    EXPECT_EQ(Value("d"), "<NOT VALID>");
}

TEST_F(LanguageTest, RunOfANonProgramIsInvalidType) {
    const CellIndex five = Compile(*main, "5");
    ASSERT_NE(five, kNoCell);
    const CellIndex value = tivane::Run(*main, five);
    ASSERT_NE(value, kNoCell);
    EXPECT_EQ(tivane::Run(*main, value), kNoCell);
    EXPECT_EQ(doc.errorCode, 10u);
    ErrorReport(*main);
    Release(value);
    Release(five);
}

// Double to long conversions: halves away from zero, the low 32 bits of the 64-bit integer,
// and 0 for NaN and for magnitudes a 64-bit integer cannot hold.
TEST(Conversions, DoubleToLongHasNoUndefinedCases) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double x;
        int32_t rounded;
    } rounding[] = {
        {2.5, 3},
        {-2.5, -3},
        {2.4999, 2},
        {-0.5, -1},
        {0.5, 1},
        {2147483648.0, -2147483647 - 1},
        {4294967301.0, 5},
        {-4294967301.0, -5},
        {9223372036854775808.0, 0},
        {-9223372036854775808.0, 0},
        {1e300, 0},
        {-1e300, 0},
        {inf, 0},
        {-inf, 0},
        {nan, 0},
    };
    for (const auto& r : rounding)
        EXPECT_EQ(RoundToLong(r.x), r.rounded) << r.x;
    const struct {
        double x;
        int32_t floored;
    } flooring[] = {{2.7, 2}, {-2.3, -3}, {-2.0, -2}, {-0.5, -1}, {7.0, 7}, {0.0, 0}};
    for (const auto& r : flooring)
        EXPECT_EQ(FloorToLong(r.x), r.floored) << r.x;
}

} // namespace
} // namespace tivane::test
