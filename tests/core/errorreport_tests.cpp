// Error messages and the report the user sees: the source around a compile error, and one
// listing line per running program for a run-time error.

#include <string>

#include "testsupport.h"

namespace tivane::test {
namespace {

TEST(ErrorMessages, EveryCodeHasItsTextAndOthersAreGeneral) {
    const char* const texts[] = {
        "No error",
        "Operand expected",
        "Operator expected",
        "Not enough memory",
        "Too many operators/beginning parentheses",
        "Too many ending parentheses",
        "No end apostrophe",
        "Invalid number of arguments",
        "Invalid text input",
        "Invalid use of ','",
        "Invalid type",
        "Invalid use of an operator ( , ; )",
        "Not implemented",
        "Can modify only variables and user defined functions",
        "In function definitions arguments should be local variables",
        "Unexpected '}' has been found",
        "Too many '{'",
        "Function not defined",
        "Program abort",
        "User stopped execution",
        "Cannot give a PROGRAM type value to the parents variable",
        "Do not use a PROGRAM type value from the parents variable",
        "Only one format specifier is allowed",
        "Invalid format specifier",
        "Invalid mathematical expression encountered",
        "Use the ClipWindow function before drawing to the screen",
        "Invalid ClipWindow size",
    };
    for (uint32_t code = 0; code < std::size(texts); ++code)
        EXPECT_STREQ(ErrorMessage(code), texts[code]) << code;
    for (uint32_t code : {27u, 100u, 0xFFFFFFFFu})
        EXPECT_STREQ(ErrorMessage(code), "General error") << code;
}

struct ReportCase {
    const char* name;
    std::string text;
    std::string report;
};

class CompileReportTest : public LanguageTest, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(CompileReportTest, ShowsSourceAroundThePlace) {
    const Outcome o = Eval(GetParam().text);
    ASSERT_FALSE(o.ok);
    EXPECT_EQ(o.report, GetParam().report);
}

// The place is 30 characters of normalised source before the stop, "#", and the source on
// to 60 characters after the start of that window.
INSTANTIATE_TEST_SUITE_P(
    Errors, CompileReportTest,
    ::testing::Values(
        ReportCase{"Position5", "abcd1\"" + std::string(100, 'q') + "\"",
                   "Operator expected.\n\nabcd1#\"" + std::string(54, 'q') + "\n"},
        ReportCase{"Position100", "a" + std::string(99, 'b') + "\"" + std::string(100, 'q') + "\"",
                   "Operator expected.\n\n" + std::string(30, 'b') + "#\"" + std::string(29, 'q') +
                       "\n"},
        ReportCase{"Normalised", "A := 1 \"X y\"", "Operator expected.\n\na:=1#\"X y\"\n"},
        ReportCase{"AtEnd", "b:=1+", "Operand expected.\n\nb:=1+#\n"},
        ReportCase{"Comma", "f(1,2)+(3,4)", "Invalid use of ','.\n\nf(1,2)+(3,4)#\n"}),
    [](const auto& info) { return std::string(info.param.name); });

class RunReportTest : public ViewLanguageTest {};

// The mark follows the failing item's own text; for an operator, the operator.
TEST_F(RunReportTest, ViewProgramLineIsMarkedAfterTheFailingItem) {
    const Outcome o = ViewEval("a:=1; b:=\"x\"+a");
    EXPECT_EQ(o.error, 10u);
    EXPECT_EQ(o.report, "Invalid type.\n\n{a:=1;b:=\"x\"+#a}\n");
}

// Lines run from the outermost program to the innermost.
TEST_F(RunReportTest, ErrorInsideUserFunctionListsCallerThenBody) {
    const CellIndex program = Compile(*main, "f(x):={x+\"a\"}; 1+f(2)");
    ASSERT_NE(program, kNoCell);
    EXPECT_EQ(tivane::Run(*main, program), kNoCell);
    Release(program);
    ASSERT_EQ(doc.errorTrace.Count(), 2u);
    TraceRecord inner, outer;
    doc.errorTrace.Peek(1, inner);
    doc.errorTrace.Peek(0, outer);
    EXPECT_EQ(inner.position, -3) << "the body's '+', in the main interpreter";
    EXPECT_EQ(outer.position, -8) << "the call of f";
    EXPECT_EQ(ErrorReport(*main).value_or(""),
              "Invalid type.\n\n{f(x):={x+\"a\"};1+f#(2)}\n{x+#\"a\"}\n");
}

// A view's program is listed by the view; the main program's function body by the main
// interpreter, which the negative position selects.
TEST_F(RunReportTest, ParentFunctionBodyIsListedByTheParent) {
    Value("g(x):={x/0}");
    const CellIndex program = Compile(ViewInterpreter(), "1+g(1)");
    ASSERT_NE(program, kNoCell);
    EXPECT_EQ(tivane::Run(ViewInterpreter(), program), kNoCell);
    Release(program);
    ASSERT_EQ(doc.errorTrace.Count(), 2u);
    TraceRecord inner, outer;
    doc.errorTrace.Peek(1, inner);
    doc.errorTrace.Peek(0, outer);
    EXPECT_EQ(inner.position, -3);
    EXPECT_EQ(outer.position, 3);
    EXPECT_EQ(ErrorReport(ViewInterpreter()).value_or(""),
              "Invalid mathematical expression encountered.\n\n{1+g#(1)}\n{x/#0}\n");
}

// The byte 0xFF is both the listing's mark and a byte a string may hold.
TEST_F(RunReportTest, StringHoldingMarkByteDoesNotMoveTheMark) {
    const Outcome o = Eval("b:=\"\xFF\"; c:=b+1");
    EXPECT_EQ(o.error, 10u);
    EXPECT_EQ(o.report, "Invalid type.\n\n{b:=\"\xFF\";c:=b+#1}\n");
}

// Each line shows the listing from 30 characters before the mark to 60 after its place.
TEST_F(RunReportTest, LongListingsAreCutAroundTheMark) {
    std::string many;
    for (int k = 0; k < 20; ++k)
        many += "a:=1;";
    Outcome o = Eval(many + "b:=\"x\"+1");
    const std::string before = "{" + many + "b:=\"x\"+";
    EXPECT_EQ(o.report, "Invalid type.\n\n" + before.substr(before.size() - 30) + "#1}\n");

    o = Eval("b:=\"x\"+1;" + many);
    const std::string line = "{b:=\"x\"+#1;" + many + "}";
    EXPECT_EQ(o.report, "Invalid type.\n\n" + line.substr(0, 68) + "\n");
}

TEST_F(LanguageTest, ReportResetsPhaseAndEmptiesTrace) {
    const CellIndex program = Compile(*main, "f(x):={1/x}; f(0)");
    ASSERT_NE(program, kNoCell);
    EXPECT_EQ(tivane::Run(*main, program), kNoCell);
    Release(program);
    EXPECT_EQ(doc.errorPhase, 2);
    EXPECT_EQ(doc.errorTrace.Count(), 2u);
    const auto report = ErrorReport(*main);
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(main->message, *report);
    EXPECT_EQ(doc.errorPhase, 0);
    EXPECT_EQ(doc.errorTrace.Count(), 0u);
    EXPECT_EQ(doc.errorCode, 24u) << "a report does not clear the code";
    EXPECT_FALSE(ErrorReport(*main).has_value()) << "nothing is left to report";
}

TEST_F(LanguageTest, CodesOutsideTheTableReportGeneralError) {
    doc.errorCode = 99;
    doc.errorPhase = 2;
    EXPECT_EQ(ErrorReport(*main).value_or(""), "General error.\n\n");
    const Outcome before = Eval("1+");
    EXPECT_EQ(before.error, 1u);
    doc.errorCode = 27;
    doc.errorPhase = 1;
    EXPECT_EQ(ErrorReport(*main).value_or(""), "General error.\n\n1+#\n");
}

// The next compile or run clears a pending error and its trace.
TEST_F(LanguageTest, NextCompileOrRunClearsThePendingError) {
    const CellIndex program = Compile(*main, "1/0");
    ASSERT_NE(program, kNoCell);
    EXPECT_EQ(tivane::Run(*main, program), kNoCell);
    EXPECT_EQ(doc.errorTrace.Count(), 1u);
    const CellIndex fine = Compile(*main, "2");
    EXPECT_EQ(doc.errorCode, 0u);
    EXPECT_EQ(doc.errorTrace.Count(), 0u);
    EXPECT_EQ(tivane::Run(*main, program), kNoCell);
    EXPECT_EQ(doc.errorTrace.Count(), 1u);
    const CellIndex two = tivane::Run(*main, fine);
    EXPECT_EQ(doc.errorCode, 0u);
    EXPECT_EQ(doc.errorTrace.Count(), 0u);
    Release(two);
    Release(fine);
    Release(program);
}

} // namespace
} // namespace tivane::test
