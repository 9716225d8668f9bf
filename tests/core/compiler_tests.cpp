// The compiler: item order, number syntax, names, and every compile error a text can cause.

#include <string>
#include <vector>

#include "testsupport.h"

namespace tivane::test {
namespace {

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
    ::testing::Values(
        ItemsCase{"a:=b+c*2", "a(VARREF) b c 2 * + :="},
        ItemsCase{"x[i]:=5", "i x(ARRAYREF) 5 :=(15)"},
        ItemsCase{"f(a,b):={a*b}", "a(VARREF) b(VARREF) f(FUNCREF) {a b *} :=(16)"},
        ItemsCase{"a:=1;a+2", "a(VARREF) 1 := ; a 2 +"},
        ItemsCase{"sin(x)+max(a,b)", "x SIN a b MAX +"},
        // Case and blanks do not matter outside strings; inside they are kept.
        ItemsCase{"SIN ( X )", "x SIN"}, ItemsCase{"Sin\t(\nx )", "x SIN"},
        ItemsCase{"\"A b\"", "\"A b\""}, ItemsCase{"1 2", "12"}, ItemsCase{"x\xC3\xA9y", "xy"},
        // The first assignment's value is the reference b.
        ItemsCase{"a:=b:=1", "a(VARREF) b(VARREF) := 1 :="},
        // A minus before a name or parenthesis is the prefix operator, before a number it
        // belongs to the literal, and after an operand it subtracts.
        ItemsCase{"- -a", "a -- --"}, ItemsCase{"-x*2", "x -- 2 *"}, ItemsCase{"-(1)", "1 --"},
        ItemsCase{"a-5", "a 5 -"}, ItemsCase{"a*-5", "a -5 *"}, ItemsCase{"1-2-3", "1 2 - 3 -"},
        ItemsCase{"8/4/2", "8 4 / 2 /"}, ItemsCase{"(1+2)*3", "1 2 + 3 *"},
        ItemsCase{"1<2&&3>=2||0", "1 2 < 3 2 >= && 0 ||"}, ItemsCase{"x[a+1]", "a 1 + x[]"},
        ItemsCase{"g(1,x[2])", "1 2 x[] g()"},
        ItemsCase{"f(a):={b:={1}}", "a(VARREF) f(FUNCREF) {b(VARREF) {1} :=} :=(16)"},
        ItemsCase{"1;", "1 ;"}, ItemsCase{"", ""}, ItemsCase{"{}", "{}"}, ItemsCase{"e5", "e5"},
        ItemsCase{"a.b_c'1", "a.b_c'1"}, ItemsCase{"x;x[0];x(0)", "x ; 0 x[] ; 0 x()"}));

struct NumberCase {
    const char* text;
    uint16_t type;
    const char* value;
};

class NumberTest : public LanguageTest, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(NumberTest, ReadsTypeAndValue) {
    const Outcome o = Eval(GetParam().text);
    ASSERT_TRUE(o.ok) << GetParam().text << ": " << o.report;
    EXPECT_EQ(o.type, GetParam().type) << GetParam().text;
    EXPECT_EQ(o.value, GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Compiler, NumberTest,
    ::testing::Values(
        NumberCase{"1000", TYPE_LONG, "1000"}, NumberCase{"1e3", TYPE_DOUBLE, "1000"},
        NumberCase{"1E+2", TYPE_DOUBLE, "100"}, NumberCase{"15e-1", TYPE_DOUBLE, "1.5"},
        NumberCase{"-.5", TYPE_DOUBLE, "-0.5"}, NumberCase{".5", TYPE_DOUBLE, "0.5"},
        NumberCase{"5.", TYPE_DOUBLE, "5"}, NumberCase{"0.001", TYPE_DOUBLE, "0.001"},
        NumberCase{"2147483647", TYPE_LONG, "2147483647"},
        NumberCase{"2147483648", TYPE_LONG, "-2147483648"},
        NumberCase{"-2147483648", TYPE_LONG, "-2147483648"},
        NumberCase{"-2147483649", TYPE_LONG, "2147483647"},
        NumberCase{"4294967296", TYPE_LONG, "0"}, NumberCase{"4294967301", TYPE_LONG, "5"},
        // Beyond what 64 bits hold: no undefined conversion, and a long all the same.
        NumberCase{"99999999999999999999", TYPE_LONG, "0"}, NumberCase{"1 2", TYPE_LONG, "12"},
        NumberCase{"1 . 5", TYPE_DOUBLE, "1.5"}, NumberCase{"e5:=3; e5*2", TYPE_LONG, "6"},
        NumberCase{"2--3", TYPE_LONG, "5"}, NumberCase{"- -5", TYPE_LONG, "5"}));

struct CompileErrorCase {
    const char* text;
    uint32_t code;
};

class CompileErrorTest : public LanguageTest,
                         public ::testing::WithParamInterface<CompileErrorCase> {};

TEST_P(CompileErrorTest, FailsWhileCompiling) {
    const Outcome o = Eval(GetParam().text);
    ASSERT_FALSE(o.ok) << GetParam().text << " gave " << o.value;
    EXPECT_EQ(o.error, GetParam().code) << GetParam().text;
    EXPECT_EQ(o.phase, 1) << GetParam().text;
    EXPECT_NE(o.report.find('#'), std::string::npos) << o.report;
}

INSTANTIATE_TEST_SUITE_P(
    Compiler, CompileErrorTest,
    ::testing::Values(
        // 1 "Operand expected"
        CompileErrorCase{"f()", 1}, CompileErrorCase{"1+", 1}, CompileErrorCase{"a:=", 1},
        CompileErrorCase{"{1*}", 1}, CompileErrorCase{";", 1}, CompileErrorCase{"a;;", 1},
        CompileErrorCase{"*2", 1}, CompileErrorCase{")", 1}, CompileErrorCase{"a[]", 1},
        CompileErrorCase{"-", 1}, CompileErrorCase{".", 1}, CompileErrorCase{"1e", 1},
        CompileErrorCase{"1e+", 1}, CompileErrorCase{"f(1,", 1}, CompileErrorCase{"#", 1},
        // 2 "Operator expected"
        CompileErrorCase{"1\"a\"", 2}, CompileErrorCase{"a=1", 2}, CompileErrorCase{"2(3)", 2},
        CompileErrorCase{"a(1)(2)", 2}, CompileErrorCase{"1{2}", 2}, CompileErrorCase{"(1)2", 2},
        CompileErrorCase{"1 a", 2}, CompileErrorCase{"a!b", 2},
        // 4 "Too many operators/beginning parentheses"
        CompileErrorCase{"(1", 4}, CompileErrorCase{"((1)", 4}, CompileErrorCase{"sin(1", 4},
        CompileErrorCase{"a[1", 4},
        // 5 "Too many ending parentheses", also for a closer of the wrong kind
        CompileErrorCase{"1)", 5}, CompileErrorCase{"1]", 5}, CompileErrorCase{"(1))", 5},
        CompileErrorCase{"a[1)", 5}, CompileErrorCase{"(1]", 5}, CompileErrorCase{"sin(1]", 5},
        CompileErrorCase{"f(a[1)]", 5},
        // 6 "No end apostrophe"
        CompileErrorCase{"\"abc", 6}, CompileErrorCase{"a:=\"x\"+\"y", 6},
        // 7 "Invalid number of arguments"
        CompileErrorCase{"sin(1,2)", 7}, CompileErrorCase{"max(1)", 7},
        CompileErrorCase{"f(1);f(1,2)", 7}, CompileErrorCase{"f(1);f(a,b):={1}", 7},
        // 9 "Invalid use of ','"
        CompileErrorCase{"(a,b)", 9}, CompileErrorCase{"a[1,2]", 9},
        // 11 "Invalid use of an operator ( , ; )"
        CompileErrorCase{"1,2", 11}, CompileErrorCase{"a:=1,2", 11},
        // 13 "Can modify only variables and user defined functions"
        CompileErrorCase{"3:=4", 13}, CompileErrorCase{"\"s\":=1", 13},
        CompileErrorCase{"sin(1):=2", 13}, CompileErrorCase{"{1}:=2", 13},
        // 14 "In function definitions arguments should be local variables"
        CompileErrorCase{"f(1):={1}", 14}, CompileErrorCase{"f(a+b):={1}", 14},
        CompileErrorCase{"f(sin(x)):={1}", 14},
        // 15 "Unexpected '}' has been found"
        CompileErrorCase{"1}", 15}, CompileErrorCase{"}", 15}, CompileErrorCase{"{1}}", 15},
        // 16 "Too many '{'"
        CompileErrorCase{"{1", 16}, CompileErrorCase{"{{1}", 16}, CompileErrorCase{"a:={", 16}));

TEST_F(LanguageTest, AbsentTextIsOperandExpected) {
    EXPECT_EQ(Compile(*main, nullptr, 0), kNoCell);
    EXPECT_EQ(doc.errorCode, 1u);
    EXPECT_EQ(doc.errorPhase, 1);
    ErrorReport(*main);
}

// Positions are 16-bit: the limit is on the text as given, blanks included.
TEST_F(LanguageTest, TextLengthLimitIs32767Bytes) {
    const std::string fits = "\"" + std::string(32765, 'x') + "\"";
    ASSERT_EQ(fits.size(), 32767u);
    const Outcome o = Eval(fits);
    ASSERT_TRUE(o.ok) << o.report;
    EXPECT_EQ(o.value.size(), 32767u);

    EXPECT_EQ(ErrorOf(std::string(32767, ' ') + "1"), 3u);
    EXPECT_EQ(ErrorOf("\"" + std::string(32766, 'x') + "\""), 3u);
}

TEST_F(LanguageTest, BlockNestingIsLimited) {
    const auto nested = [](int depth) {
        return std::string(depth, '{') + "1" + std::string(depth, '}');
    };
    // The value is the outermost block, listed with all the blocks inside it.
    EXPECT_EQ(Value(nested(kMaxBlockDepth)), nested(kMaxBlockDepth));
    const Outcome o = Eval(nested(kMaxBlockDepth + 1));
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.error, 3u);
    EXPECT_EQ(o.phase, 1);
}

// A string that would pass 16 MiB is refused. Doubling a 32000-byte literal nine times gives
// 16,384,000 bytes; a tenth doubling would pass the limit.
TEST_F(LanguageTest, StringsStopAt16MiB) {
    std::string text = "s:=\"" + std::string(32000, 'x') + "\";";
    for (int k = 0; k < 9; ++k)
        text += "s:=s+s;";
    EXPECT_EQ(Value(text + "strlen(s)"), "16384000");
    EXPECT_EQ(ErrorOf(text + "s:=s+s;1"), 3u);
    EXPECT_EQ(Value("strlen(s)"), "16384000") << "a failed concatenation must not change s";
}

// Table counts are 16-bit: the 32768th name of a kind fails the compile with error 3.
TEST_F(LanguageTest, NameTablesStopAt32767Entries) {
    const struct {
        const char* prefix;
        const char* suffix;
    } kinds[] = {{"v", ""}, {"a", "[0]"}, {"f", "(0)"}};
    for (const auto& kind : kinds) {
        Outcome o;
        for (int next = 0; o.error == 0 && next < 40000;) {
            std::string text;
            while (text.size() < 30000)
                text += kind.prefix + std::to_string(next++) + kind.suffix + ";";
            text += "0";
            o = Eval(text);
        }
        EXPECT_EQ(o.error, 3u) << kind.prefix;
        EXPECT_EQ(o.phase, 1) << kind.prefix;
    }
    EXPECT_EQ(main->variableNames.size(), 32767u);
    EXPECT_EQ(main->arrays.size(), 32767u);
    EXPECT_EQ(main->functions.size(), 32767u);
    EXPECT_EQ(Value("v0:=5; v0+1"), "6") << "known names still compile";
}

TEST_F(LanguageTest, NamesEnteredByAFailedCompileStay) {
    EXPECT_EQ(ErrorOf("q:=1+"), 1u);
    EXPECT_GE(main->FindVariable("q"), 0);
    EXPECT_EQ(ErrorOf("w[1"), 4u);
    EXPECT_GE(main->FindArray("w"), 0);
}

TEST_F(LanguageTest, OneNameMayBeVariableArrayAndFunction) {
    EXPECT_EQ(Value("x:=1; x[0]:=2; x(x):={x*2}; x(5)"), "10");
    EXPECT_EQ(Value("x"), "1");
    EXPECT_EQ(Value("x[0]"), "2");
    EXPECT_EQ(main->variableNames.size(), 1u);
    EXPECT_EQ(main->arrays.size(), 1u);
    EXPECT_EQ(main->functions.size(), 1u);
}

// The first call site fixes the argument count; a later definition or call must agree.
TEST_F(LanguageTest, FirstCallSiteFixesArgumentCount) {
    EXPECT_EQ(Value("f(7)"), "<NOT VALID>");
    EXPECT_EQ(Value("f(y):={y+1}; f(2)"), "3");
    const Outcome o = Eval("f(1,2)");
    EXPECT_EQ(o.error, 7u);
    EXPECT_EQ(o.phase, 1);
    EXPECT_EQ(ErrorOf("f(a,b):={1}"), 7u);
    EXPECT_EQ(Value("f(4)"), "5") << "the failed compiles must not touch the definition";
}

} // namespace
} // namespace tivane::test
