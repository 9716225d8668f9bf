// What the user reads: error reports, formatted values and program listings.

#include <string>

#include "testsupport.h"

namespace tivane::test {
namespace {

struct ReportCase {
    std::string text; // run in the view when `inView`, else in the main interpreter, after
                      // the main interpreter has defined g(x):={x/0}
    bool inView;
    std::string report;
};

class ReportTest : public ViewLanguageTest, public ::testing::WithParamInterface<ReportCase> {};

TEST_P(ReportTest, ShowsTheSourceAroundThePlace) {
    const ReportCase& c = GetParam();
    ASSERT_TRUE(Eval("g(x):={x/0}").ok);
    const Outcome o = c.inView ? ViewEval(c.text) : Eval(c.text);
    ASSERT_FALSE(o.ok);
    EXPECT_EQ(o.report, c.report) << c.text;
}

// A compile error shows 30 characters of normalised source before the stop, "#", and the
// source on to 60 characters after the start of that window. A run-time error lists every
// running program, outermost first, each marked after its failing item; the main program's
// function body is listed by the main interpreter even under a view's program.
INSTANTIATE_TEST_SUITE_P(
    Errors, ReportTest,
    ::testing::Values(
        ReportCase{"abcd1\"" + std::string(100, 'q') + "\"", false,
                   "Operator expected.\n\nabcd1#\"" + std::string(54, 'q') + "\n"},
        ReportCase{"a" + std::string(99, 'b') + "\"" + std::string(100, 'q') + "\"", false,
                   "Operator expected.\n\n" + std::string(30, 'b') + "#\"" + std::string(29, 'q') +
                       "\n"},
        ReportCase{"f(x):={x+\"a\"}; 1+f(2)", false,
                   "Invalid type.\n\n{f(x):={x+\"a\"};1+f#(2)}\n{x+#\"a\"}\n"},
        ReportCase{"1+g(1)", true,
                   "Invalid mathematical expression encountered.\n\n{1+g#(1)}\n{x/#0}\n"},
        // The byte 0xFF is both the listing's mark and a byte a string may hold.
        ReportCase{"b:=\"\xFF\"; c:=b+1", false, "Invalid type.\n\n{b:=\"\xFF\";c:=b+#1}\n"}));

// The message pass happens every 4096 runs; a stop there ends the run with only a short text.
TEST_F(LanguageTest, StopDuringARunIsReportedWithoutListing) {
    doc.errorOnPump = ERR_USER_STOP;
    const Outcome o = Eval("f(n):={f(n+1)}; f(0)");
    EXPECT_EQ(o.error, 19u);
    EXPECT_EQ(o.report, "User stopped execution.");
}

struct FormatCase {
    const char* value; // program text whose result is formatted
    const char* format;
    const char* text; // the expected text, or "error N"
};

class FormatValueTest : public LanguageTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(FormatValueTest, Formats) {
    const FormatCase& c = GetParam();
    const CellIndex program = Compile(*main, c.value);
    ASSERT_NE(program, kNoCell) << c.value;
    const CellIndex value = tivane::Run(*main, program);
    Release(program);
    ASSERT_NE(value, kNoCell) << c.value;
    const std::string_view format = c.format;
    std::string out;
    if (!FormatValue(*main, value, &format, out)) out = "error " + std::to_string(doc.errorCode);
    Release(value);
    EXPECT_EQ(out, c.text) << c.value << " with " << c.format;
}

INSTANTIATE_TEST_SUITE_P(
    Format, FormatValueTest,
    ::testing::Values(FormatCase{"7", "%5ld", "    7"}, FormatCase{"42", "%05ld", "00042"},
                      FormatCase{"7", "%5.2ld", "   07"}, FormatCase{"-1", "%lx", "ffffffff"},
                      FormatCase{"1.5", "%8.3lf", "   1.500"}, FormatCase{"\"ab\"", "[%s]", "[ab]"},
                      FormatCase{"\"ab\"", "100%% %s", "100% ab"},
                      // 22: more than one conversion.
                      FormatCase{"7", "%ld %ld", "error 22"},
                      // 23: no conversion, an unknown or unfinished one, a flag or precision not
                      // allowed, or one for another type.
                      FormatCase{"7", "abc", "error 23"}, FormatCase{"7", "%%ld", "error 23"},
                      FormatCase{"7", "%d", "error 23"}, FormatCase{"7", "%l", "error 23"},
                      FormatCase{"7", "%-5ld", "error 23"}, FormatCase{"7", "%.2ld", "error 23"},
                      FormatCase{"7", "%lg", "error 23"}, FormatCase{"1.5", "%ld", "error 23"},
                      FormatCase{"a", "%s", "error 23"}, FormatCase{"{1}", "%s", "error 23"},
                      // Beyond the longest string: refused, not attempted.
                      FormatCase{"7", "%16777217ld", "error 3"}));

struct ListingCase {
    const char* text;
    const char* listing;
};

class ListingTest : public LanguageTest, public ::testing::WithParamInterface<ListingCase> {};

// A block's value is shown as its listing: parentheses only where needed, and program text
// that compiles to the same listing again.
TEST_P(ListingTest, ListsProgramTextThatCompilesBackToItself) {
    const std::string listing = GetParam().listing;
    EXPECT_EQ(Value("{" + std::string(GetParam().text) + "}"), listing);
    EXPECT_EQ(Value(listing), listing);
}

INSTANTIATE_TEST_SUITE_P(
    Listing, ListingTest,
    ::testing::Values(ListingCase{"A := (B+E)*2; x[i] := -(a-1); f(p,q) := {p/(q*2)}; SIN(x)",
                                  "{a:=(b+e)*2;x[i]:=-(a-1);f(p,q):={p/(q*2)};sin(x)}"},
                      ListingCase{"a - (b - c)", "{a-(b-c)}"},
                      ListingCase{"(a - b) - c", "{a-b-c}"}, ListingCase{"a/(b/c)", "{a/(b/c)}"},
                      ListingCase{"a*(b*c)", "{a*(b*c)}"}, ListingCase{"- -a", "{-(-a)}"},
                      ListingCase{"-(-a)", "{-(-a)}"}, ListingCase{"-(a*b)", "{-(a*b)}"},
                      ListingCase{"a:=(b:=1)", "{a:=(b:=1)}"},
                      ListingCase{"(a||b)&&c", "{a||b&&c}"},
                      ListingCase{"\"A b\"+2.50;", "{\"A b\"+2.5;}"}));

// Every binary operator groups to the left: a right operand of its own precedence keeps its
// parentheses, a left one needs none. Statements inside an operand stay there, so that they
// still run after what comes before them.
INSTANTIATE_TEST_SUITE_P(
    Grouping, ListingTest,
    ::testing::Values(ListingCase{"a+(b+c)", "{a+(b+c)}"}, ListingCase{"(a+b)+c", "{a+b+c}"},
                      ListingCase{"a*(b/c)", "{a*(b/c)}"}, ListingCase{"(a*b)+c", "{a*b+c}"},
                      ListingCase{"(a+b)*c", "{(a+b)*c}"}, ListingCase{"a<(b<c)", "{a<(b<c)}"},
                      ListingCase{"(a<b)<c", "{a<b<c}"}, ListingCase{"a==(b!=c)", "{a==(b!=c)}"},
                      ListingCase{"a&&(b||c)", "{a&&(b||c)}"}, ListingCase{"a:=b:=1", "{a:=b:=1}"},
                      // A minus before a digit would become part of the number.
                      ListingCase{"-(0)", "{-(0)}"}, ListingCase{"-(2.5)*a", "{-(2.5)*a}"},
                      ListingCase{"a-(-b)", "{a--b}"}, ListingCase{"- -3", "{--3}"},
                      ListingCase{"x*(a;b)", "{x*(a;b)}"},
                      ListingCase{"x-(a;b;c)+1", "{x-(a;b;c)+1}"},
                      ListingCase{"max(x,(a:=1;a))", "{max(x,a:=1;a)}"},
                      ListingCase{"(a;b)*x;c", "{a;b*x;c}"},
                      ListingCase{"sin((a;b))", "{a;sin(b)}"}));

// Each compiled item knows where it stands in the text it came from, blanks and line breaks
// included: operators at their sign, calls at their name, blocks at their "{".
TEST_F(LanguageTest, ItemsKnowTheirLineAndColumn) {
    const std::string text = "a := 1;\n  b := A + 2.5;\n\tIF(b, {\n  x}, {\"s t\"} )";
    const CellIndex program = Compile(*main, text);
    ASSERT_NE(program, kNoCell);
    const ProgramBlock* block = CellAt(program).prog;
    const struct {
        int32_t position;
        int32_t line, column;
    } rows[] = {{1, 1, 1},  {2, 1, 6}, {3, 1, 3},   {4, 1, 7},  {5, 2, 3},  {6, 2, 8},  {7, 2, 12},
                {8, 2, 10}, {9, 2, 5}, {10, 2, 15}, {11, 3, 5}, {12, 3, 8}, {13, 4, 7}, {14, 3, 2}};
    for (const auto& r : rows) {
        int32_t line = 0, column = 0;
        EXPECT_TRUE(ItemLineAndColumn(text, program, r.position, line, column)) << r.position;
        EXPECT_EQ(line, r.line) << "item " << r.position;
        EXPECT_EQ(column, r.column) << "item " << r.position;
    }
    // The block {x} is item 12; its own item x stands on line 4.
    int32_t line = 0, column = 0;
    EXPECT_TRUE(ItemLineAndColumn(text, block->items[11], 1, line, column));
    EXPECT_EQ(line, 4);
    EXPECT_EQ(column, 3);
    EXPECT_EQ(ItemSourceOffset(program, 0), -1);
    EXPECT_EQ(ItemSourceOffset(program, block->count + 1), -1);
    Release(program);
}

} // namespace
} // namespace tivane::test
