// Mathematical and string functions, ANYTOS and VALID: each row is one call a program makes
// and what it shows.

#include "builtins/builtinsupport.h"

namespace tivane::test {
namespace {

class MathStringTest : public RowTest {};

TEST_P(MathStringTest, Shows) {
    EXPECT_EQ(Shows(GetParam().text), GetParam().shows);
}

const Row kMaths[] = {
    // Each function of one number reaches its own routine, on a long and on a double.
    {"SIN(1) + COS(0.5)", "double 1.71905"},
    {"TAN(0.5) + ATAN(1)", "double 1.3317"},
    {"EXP(1) + LOG(2) + LOG10(2.0)", "double 3.71246"},
    // A domain error stops the run.
    {"POW(-8, 0.5)", "error 24"},
    // With a NaN, MIN gives its second operand, MAX its first.
    {"MAX(\"a\", 1)", "error 10"},
    {"MIN(LOG(-1), 1.0)", "double 1"},
    {"MAX(LOG(-1), 1.0)", "double nan"},
    {"ABS(-2147483648)", "-2147483648"},
    // A result never overwrites a value that a variable still holds.
    {"x := -5; ABS(x) + x", "0"},
    // LONG rounds halves away from zero, TRUNC rounds down; beyond 64 bits and NaN give 0,
    // otherwise the low 32 bits are kept.
    {"LONG(2.5)", "3"},
    {"TRUNC(-2.5)", "-3"},
    {"LONG(2147483648.0)", "-2147483648"},
    {"LONG(1e19)", "0"},
    {"LONG(LOG(-1))", "0"}};

const Row kStrings[] = {
    // STRMID takes start and count unsigned: a negative start lies past the end, a negative
    // count takes the rest.
    {"STRMID(\"hello\", 1, 3)", "\"ell\""},
    {"STRMID(\"hello\", -1, 2)", "\"\""},
    {"STRMID(\"hello\", 3, -1)", "\"lo\""},
    // Characters are signed bytes; CHR keeps the low byte, and byte 0 ends a string.
    {"ASC(CHR(233))", "-23"},
    {"CHR(321)", "\"A\""},
    {"CHR(0)", "\"\""},
    // FINDCHAR looks for the first character of its second argument; "" finds the end.
    {"FINDCHAR(\"abcabc\", \"c\")", "2"},
    {"FINDCHAR(\"abc\", \"\")", "3"},
    // Leading blanks and trailing junk are skipped; ATOL saturates; ATOF reads decimals only.
    {"ATOL(\"  -12abc\")", "-12"},
    {"ATOL(\"99999999999\")", "2147483647"},
    {"ATOF(\"  -2.5e-1z\")", "double -0.25"},
    {"ANYTOS(\"%5ld\", 42)", "\"   42\""},
    {"ANYTOS(\"100%% %s\", \"ok\")", "\"100% ok\""},
    {"ANYTOS(\"%ld\", 2.5)", "error 23"},
    {"ANYTOS(\"%ld %ld\", 1)", "error 22"},
    {"VALID(1)", "-1"},
    {"VALID(never_assigned)", "0"}};

INSTANTIATE_TEST_SUITE_P(Maths, MathStringTest, ::testing::ValuesIn(kMaths));
INSTANTIATE_TEST_SUITE_P(Strings, MathStringTest, ::testing::ValuesIn(kStrings));

} // namespace
} // namespace tivane::test
