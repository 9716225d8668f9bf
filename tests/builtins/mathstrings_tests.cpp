// Mathematical and string functions, ANYTOS and VALID: each row is one call a program makes
// and the value (with its type) or the error the user sees.

#include "builtins/builtinsupport.h"

namespace tivane::test {
namespace {

constexpr uint16_t L = TYPE_LONG;
constexpr uint16_t D = TYPE_DOUBLE;
constexpr uint16_t S = TYPE_STRING;
constexpr uint16_t P = TYPE_PROGRAM;

class MathValueTest : public LanguageTest, public ::testing::WithParamInterface<ValueRow> {};

TEST_P(MathValueTest, Gives) {
    ExpectValue(Eval(GetParam().text), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Trigonometry, MathValueTest,
                         ::testing::Values(ValueRow{"SIN(0)", "0", D}, ValueRow{"COS(0)", "1", D},
                                           ValueRow{"SIN(1)", "0.841471", D}, // the long is widened
                                           ValueRow{"TAN(0.5)", "0.546302", D},
                                           ValueRow{"ATAN(1)", "0.785398", D},
                                           ValueRow{"ATAN(1e300)", "1.5708", D},
                                           ValueRow{"sin(0)", "0", D}));

// Out-of-domain arguments give the IEEE results and never stop the program.
INSTANTIATE_TEST_SUITE_P(
    LogExp, MathValueTest,
    ::testing::Values(ValueRow{"LOG(1)", "0", D}, ValueRow{"LOG(0)", "-inf", D},
                      ValueRow{"LOG(-1)", "nan", D}, ValueRow{"LOG10(1000)", "3", D},
                      ValueRow{"LOG10(0)", "-inf", D}, ValueRow{"EXP(0)", "1", D},
                      ValueRow{"EXP(1000)", "inf", D}, ValueRow{"LOG(-1); 5", "5", L}));

INSTANTIATE_TEST_SUITE_P(
    Pow, MathValueTest,
    ::testing::Values(ValueRow{"POW(2, 10)", "1024", D}, ValueRow{"POW(2, 0.5)", "1.41421", D},
                      ValueRow{"POW(-2, 3)", "-8", D}, ValueRow{"POW(0, 0)", "1", D},
                      // An earlier NaN leaves no trace that a later POW could trip over.
                      ValueRow{"x := LOG(-1); POW(3, 2)", "9", D}));

INSTANTIATE_TEST_SUITE_P(
    MinMax, MathValueTest,
    ::testing::Values(ValueRow{"MIN(2, 3)", "2", L}, ValueRow{"MIN(2, 3.5)", "2", D},
                      ValueRow{"MIN(3.5, 2)", "2", D}, ValueRow{"MAX(2, 3)", "3", L},
                      ValueRow{"MAX(-1, -2)", "-1", L},
                      ValueRow{"MIN(-2147483648, 2147483647)", "-2147483648", L},
                      ValueRow{"MAX(-2147483648, 0)", "0", L},
                      // With a NaN, MIN gives its second operand and MAX its first.
                      ValueRow{"MIN(LOG(-1), 1.0)", "1", D},
                      ValueRow{"MIN(1.0, LOG(-1))", "nan", D},
                      ValueRow{"MAX(LOG(-1), 1.0)", "nan", D},
                      ValueRow{"MAX(1.0, LOG(-1))", "1", D}));

INSTANTIATE_TEST_SUITE_P(Abs, MathValueTest,
                         ::testing::Values(ValueRow{"ABS(-5)", "5", L}, ValueRow{"ABS(5)", "5", L},
                                           ValueRow{"ABS(-2.5)", "2.5", D},
                                           ValueRow{"ABS(0)", "0", L},
                                           ValueRow{"ABS(-2147483648)", "-2147483648", L}));

INSTANTIATE_TEST_SUITE_P(
    LongAndTrunc, MathValueTest,
    ::testing::Values(ValueRow{"LONG(2.5)", "3", L}, ValueRow{"LONG(-2.5)", "-3", L},
                      ValueRow{"LONG(2.4999)", "2", L}, ValueRow{"LONG(0.5)", "1", L},
                      ValueRow{"LONG(-0.5)", "-1", L}, ValueRow{"LONG(7)", "7", L},
                      ValueRow{"LONG(2147483648.0)", "-2147483648", L}, // the low 32 bits
                      ValueRow{"LONG(4294967301.0)", "5", L}, ValueRow{"LONG(LOG(-1))", "0", L},
                      ValueRow{"LONG(1e19)", "0", L}, ValueRow{"LONG(-1e300)", "0", L},
                      ValueRow{"LONG(EXP(1000))", "0", L}, ValueRow{"TRUNC(2.7)", "2", L},
                      ValueRow{"TRUNC(-2.3)", "-3", L}, ValueRow{"TRUNC(-2.0)", "-2", L},
                      ValueRow{"TRUNC(-0.5)", "-1", L}, ValueRow{"TRUNC(2.5)", "2", L},
                      ValueRow{"TRUNC(-2.5)", "-3", L}, ValueRow{"TRUNC(7)", "7", L},
                      ValueRow{"TRUNC(LOG(-1))", "0", L}, ValueRow{"TRUNC(1e300)", "0", L},
                      ValueRow{"TRUNC(-EXP(1000))", "0", L}));

// Results may reuse an argument's cell; a value that a variable, an array or a program still
// holds must come through a call unchanged.
INSTANTIATE_TEST_SUITE_P(
    ArgumentsStayUnchanged, MathValueTest,
    ::testing::Values(
        ValueRow{"x := 2; y := SIN(x); x", "2", L}, ValueRow{"x := -5; ABS(x) + x", "0", L},
        ValueRow{"a[0] := 2.5; b := LONG(a[0]); a[0]", "2.5", D},
        ValueRow{"p := {MIN(2, 3.5)}; EXECUTE(p); p", "{min(2,3.5)}", P},
        ValueRow{"i := 0; s := 0; WHILE({i < 3}, {s := s + LONG(2.6); i := i + 1}); s", "9", L}));

class MathErrorTest : public LanguageTest, public ::testing::WithParamInterface<ErrorRow> {};

TEST_P(MathErrorTest, FailsWith) {
    const Outcome o = Eval(GetParam().text);
    ExpectError(o, GetParam());
    EXPECT_EQ(o.phase, 2) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Math, MathErrorTest,
                         ::testing::Values(ErrorRow{"POW(-8, 0.5)", 24},
                                           ErrorRow{"POW(-8, 1.0 / 3.0)", 24},
                                           ErrorRow{"POW(0, -1)", 24}, ErrorRow{"POW(10, 400)", 24},
                                           ErrorRow{"MAX(\"a\", 1)", 10},
                                           ErrorRow{"MIN(1, {2})", 10}, ErrorRow{"SIN(\"x\")", 10},
                                           ErrorRow{"ABS(\"a\")", 10}, ErrorRow{"LONG(\"1\")", 10},
                                           ErrorRow{"STRLEN(5)", 10}, ErrorRow{"CHR(65.0)", 10},
                                           ErrorRow{"STRMID(\"abc\", 0.0, 1)", 10}));

using MathTest = LanguageTest;

TEST_F(MathTest, ErrorStopsTheProgram) {
    EXPECT_EQ(ErrorOf("x := 1; y := POW(-8, 0.5); x := 2"), 24u);
    EXPECT_EQ(Value("x"), "1");
    EXPECT_EQ(Value("VALID(y)"), "0");
    EXPECT_NE(Eval("POW(0, -1)").report.find("pow#(0,-1)"), std::string::npos);
}

class StringFunctionTest : public LanguageTest, public ::testing::WithParamInterface<ValueRow> {};

TEST_P(StringFunctionTest, Gives) {
    ExpectValue(Eval(GetParam().text), GetParam());
}

INSTANTIATE_TEST_SUITE_P(StrMid, StringFunctionTest,
                         ::testing::Values(ValueRow{"STRMID(\"hello\", 1, 3)", "\"ell\"", S},
                                           ValueRow{"STRMID(\"hello\", 5, 1)", "\"\"", S},
                                           ValueRow{"STRMID(\"hello\", -1, 2)", "\"\"", S},
                                           ValueRow{"STRMID(\"hello\", 3, -1)", "\"lo\"", S},
                                           ValueRow{"STRMID(\"hello\", 0, 0)", "\"\"", S},
                                           ValueRow{"STRMID(\"hello\", 0, 99)", "\"hello\"", S},
                                           ValueRow{"STRMID(\"hello\", 4, 1)", "\"o\"", S},
                                           ValueRow{"STRMID(\"\", 0, 1)", "\"\"", S},
                                           ValueRow{"STRMID(\"hello\", 2147483647, 1)", "\"\"", S},
                                           ValueRow{"s := \"abc\"; STRMID(s, 1, 1) + s", "\"babc\"",
                                                    S}));

INSTANTIATE_TEST_SUITE_P(
    Bytes, StringFunctionTest,
    ::testing::Values(ValueRow{"STRLEN(\"\")", "0", L}, ValueRow{"STRLEN(\"hello\")", "5", L},
                      ValueRow{"STRLEN(CHR(233) + \"a\")", "2", L}, ValueRow{"ASC(\"\")", "0", L},
                      ValueRow{"ASC(\"AB\")", "65", L}, ValueRow{"ASC(CHR(233))", "-23", L},
                      ValueRow{"ASC(CHR(127))", "127", L}, ValueRow{"ASC(CHR(128))", "-128", L},
                      ValueRow{"ASC(CHR(255))", "-1", L}, ValueRow{"CHR(65)", "\"A\"", S},
                      ValueRow{"CHR(321)", "\"A\"", S}, ValueRow{"CHR(-191)", "\"A\"", S},
                      ValueRow{"CHR(0)", "\"\"", S}, ValueRow{"CHR(256)", "\"\"", S},
                      ValueRow{"STRLEN(\"a\" + CHR(0) + \"b\")", "2", L},
                      ValueRow{"CHR(233)", "\"\xE9\"", S}));

INSTANTIATE_TEST_SUITE_P(FindChar, StringFunctionTest,
                         ::testing::Values(ValueRow{"FINDCHAR(\"abcabc\", \"c\")", "2", L},
                                           ValueRow{"FINDCHAR(\"abc\", \"x\")", "-1", L},
                                           ValueRow{"FINDCHAR(\"abc\", \"\")", "3", L},
                                           ValueRow{"FINDCHAR(\"abc\", \"cb\")", "2", L},
                                           ValueRow{"FINDCHAR(\"\", \"\")", "0", L},
                                           ValueRow{"FINDCHAR(\"\", \"a\")", "-1", L},
                                           ValueRow{"FINDCHAR(\"a\" + CHR(233), CHR(233))", "1",
                                                    L}));

INSTANTIATE_TEST_SUITE_P(
    Conversions, StringFunctionTest,
    ::testing::Values(ValueRow{"ATOL(\"  -12abc\")", "-12", L}, ValueRow{"ATOL(\"x\")", "0", L},
                      ValueRow{"ATOL(\"\")", "0", L}, ValueRow{"ATOL(\"+7\")", "7", L},
                      ValueRow{"ATOL(\"12.9\")", "12", L},
                      ValueRow{"ATOL(\"2147483648\")", "2147483647", L},
                      ValueRow{"ATOL(\"99999999999\")", "2147483647", L},
                      ValueRow{"ATOL(\"-99999999999\")", "-2147483648", L},
                      ValueRow{"ATOF(\"1e3\")", "1000", D}, ValueRow{"ATOF(\"x\")", "0", D},
                      ValueRow{"ATOF(\".5\")", "0.5", D},
                      ValueRow{"ATOF(\"  -2.5e-1z\")", "-0.25", D},
                      // Decimal only: no hexadecimal numbers, no words for infinity.
                      ValueRow{"ATOF(\"0x10\")", "0", D}, ValueRow{"ATOF(\"infinity\")", "0", D}));

// ANYTOS and PRINTF share these format rules.
class StringFormatTest : public LanguageTest, public ::testing::WithParamInterface<ValueRow> {};

TEST_P(StringFormatTest, Gives) {
    ExpectValue(Eval(GetParam().text), GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    AnyToS, StringFormatTest,
    ::testing::Values(ValueRow{"ANYTOS(\"%5ld\", 42)", "\"   42\"", S},
                      ValueRow{"ANYTOS(\"x=%lg\", 2.5)", "\"x=2.5\"", S},
                      ValueRow{"ANYTOS(\"100%% %s\", \"ok\")", "\"100% ok\"", S},
                      ValueRow{"ANYTOS(\"%05ld\", 42)", "\"00042\"", S},
                      ValueRow{"ANYTOS(\"%ld\", -7)", "\"-7\"", S},
                      ValueRow{"ANYTOS(\"%lx\", 255)", "\"ff\"", S},
                      ValueRow{"ANYTOS(\"%lx\", -1)", "\"ffffffff\"", S},
                      ValueRow{"ANYTOS(\"%10.4lf\", 3.14159)", "\"    3.1416\"", S},
                      ValueRow{"ANYTOS(\"%lf\", 2.0)", "\"2.000000\"", S},
                      ValueRow{"ANYTOS(\"%le\", 1.5)", "\"1.500000e+00\"", S},
                      ValueRow{"ANYTOS(\"[%3s]\", \"abcdef\")", "\"[abcdef]\"", S},
                      ValueRow{"ANYTOS(\"%s\", \"\")", "\"\"", S},
                      ValueRow{"ANYTOS(\"%5.2s\", \"abc\")", "\"   ab\"", S},
                      ValueRow{"ANYTOS(\"%08lx\", 255)", "\"000000ff\"", S},
                      ValueRow{"STRLEN(ANYTOS(\"%300ld\", 1))", "300", L}));

class StringFormatErrorTest : public LanguageTest,
                              public ::testing::WithParamInterface<ErrorRow> {};

TEST_P(StringFormatErrorTest, FailsWith) {
    ExpectError(Eval(GetParam().text), GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    AnyToS, StringFormatErrorTest,
    ::testing::Values(ErrorRow{"ANYTOS(\"%ld\", 2.5)", 23}, ErrorRow{"ANYTOS(\"%lg\", 1)", 23},
                      ErrorRow{"ANYTOS(\"%s\", 1)", 23}, ErrorRow{"ANYTOS(\"%ld %ld\", 1)", 22},
                      ErrorRow{"ANYTOS(\"%d\", 1)", 23}, ErrorRow{"ANYTOS(\"\", 1)", 23},
                      ErrorRow{"ANYTOS(\"abc\", 1)", 23}, ErrorRow{"ANYTOS(\"100%%\", 1)", 23},
                      ErrorRow{"ANYTOS(\"%\", 1)", 23}, ErrorRow{"ANYTOS(\"%.3lg\", 1.5)", 23},
                      ErrorRow{"ANYTOS(\"%-5ld\", 1)", 23}, ErrorRow{"ANYTOS(\"%+ld\", 1)", 23},
                      ErrorRow{"ANYTOS(\"%ld\", {1})", 23}));

class BuiltinValidTest : public LanguageTest, public ::testing::WithParamInterface<ValueRow> {};

TEST_P(BuiltinValidTest, TellsTheType) {
    ExpectValue(Eval(GetParam().text), GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    EveryType, BuiltinValidTest,
    ::testing::Values(ValueRow{"VALID(1)", "-1", L}, ValueRow{"VALID(1.5)", "-2", L},
                      ValueRow{"VALID(\"\")", "-4", L},
                      ValueRow{"VALID(OPENFILE(\"/dev/null\", \"r\"))", "-8", L},
                      ValueRow{"VALID({1})", "-16", L}, ValueRow{"VALID(POP(0))", "0", L},
                      ValueRow{"VALID(never_assigned)", "0", L},
                      ValueRow{"VALID(OPENFILE(\"/no/such/dir/file\", \"r\"))", "0", L}));

} // namespace
} // namespace tivane::test
