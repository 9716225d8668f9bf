// View programs and the main interpreter's objects: which names they share, and the rules
// that keep PROGRAM values of one interpreter out of the other.

#include <string>

#include "testsupport.h"

namespace tivane::test {
namespace {

// The main interpreter knows a, arr, g, p, h and the unfinished u when each view text is
// compiled.
constexpr const char* kMainSetup = "a:=1; arr[0]:={1}; arr[1]:=10; g(x):={x*2}; p:={1}; "
                                   "h(x):={{x}}";

struct ViewCase {
    const char* text;
    const char* items; // the compiled items, or "error N"
};

class ViewItemsTest : public ViewLanguageTest, public ::testing::WithParamInterface<ViewCase> {};

TEST_P(ViewItemsTest, ResolvesNamesInParentFirst) {
    ASSERT_TRUE(Eval(kMainSetup).ok);
    EXPECT_EQ(ErrorOf("u("), 4u); // u stays known, its argument count unknown
    EXPECT_EQ(ViewItems(GetParam().text), GetParam().items) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Views, ViewItemsTest,
    ::testing::Values(ViewCase{"a:=5", "a(PARENTVARREF) 5 :="},
                      ViewCase{"arr[1]:=2", "1 arr(PARENTARRAYREF) 2 :=(15)"},
                      ViewCase{"a+arr[1]", "a(PARENT) 1 arr[](PARENT) +"},
                      ViewCase{"g(4)", "4 g()(PARENT)"}, ViewCase{"z:=1", "z(VARREF) 1 :="},
                      ViewCase{"k(z):={z}", "z(VARREF) k(FUNCREF) {z} :=(16)"},
                      // A parent's function may be called, never defined.
                      ViewCase{"g(y):={2}", "error 13"},
                      // Parameters must be the view's own variables.
                      ViewCase{"k(a):={1}", "error 14"},
                      // A parent's function whose argument count is not known yet.
                      ViewCase{"u(1)", "error 17"}, ViewCase{"g(1,2)", "error 7"}));

struct ViewRunCase {
    const char* text;
    uint32_t code; // 0: succeeds with `value`
    const char* value;
    const char* mainCheck; // evaluated in the main interpreter afterwards
    const char* mainValue;
};

class ViewRunTest : public ViewLanguageTest, public ::testing::WithParamInterface<ViewRunCase> {};

TEST_P(ViewRunTest, SharesDataButNotPrograms) {
    const ViewRunCase& c = GetParam();
    ASSERT_TRUE(Eval(kMainSetup).ok);
    const Outcome o = ViewEval(c.text);
    if (c.code == 0) {
        EXPECT_TRUE(o.ok) << c.text << ": " << o.report;
        EXPECT_EQ(o.value, c.value) << c.text;
    } else {
        EXPECT_FALSE(o.ok) << c.text << " gave " << o.value;
        EXPECT_EQ(o.error, c.code) << c.text;
        EXPECT_EQ(o.phase, 2) << c.text;
    }
    EXPECT_EQ(Value(c.mainCheck), c.mainValue) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Views, ViewRunTest,
    ::testing::Values(
        ViewRunCase{"a:=5", 0, "5", "a", "5"},
        ViewRunCase{"arr[1]:=arr[1]+1", 0, "11", "arr[1]", "11"},
        ViewRunCase{"arr[5000]:=3", 0, "3", "arr[5000]", "3"},
        // A name the main interpreter does not know makes a view-local object.
        ViewRunCase{"c:=5", 0, "5", "c", "<NOT VALID>"},
        // A parent's function runs in the parent and rebinds the parent's parameter x, which
        // the view shares.
        ViewRunCase{"x:=100; g(4)+x", 0, "108", "x", "100"},
        // 21: reading a PROGRAM from the parent, as a variable, element or function result.
        ViewRunCase{"p", 21, "", "p", "{1}"}, ViewRunCase{"q:=p", 21, "", "p", "{1}"},
        ViewRunCase{"arr[0]", 21, "", "arr[1]", "10"}, ViewRunCase{"h(1)", 21, "", "a", "1"},
        // 20: giving a PROGRAM to the parent; the parent's object is unchanged.
        ViewRunCase{"a:={2}", 20, "", "a", "1"}, ViewRunCase{"arr[1]:={2}", 20, "", "arr[1]", "10"},
        ViewRunCase{"arr[9000]:={2}", 20, "", "arr[9000]", "<NOT VALID>"},
        // Own objects of the view may hold programs.
        ViewRunCase{"v:={2}; v", 0, "{2}", "a", "1"}));

// A view program compiled before the main interpreter learns a name keeps its own object.
TEST_F(ViewLanguageTest, NamesLearnedLaterAreNotShared) {
    const CellIndex program = Compile(ViewInterpreter(), "w:=3; w");
    ASSERT_NE(program, kNoCell);
    EXPECT_EQ(Value("w:=9"), "9");
    const CellIndex result = tivane::Run(ViewInterpreter(), program);
    ASSERT_NE(result, kNoCell);
    EXPECT_EQ(CellAt(result).l, 3);
    Release(result);
    Release(program);
    EXPECT_EQ(Value("w"), "9");
    EXPECT_EQ(ViewEval("w").value, "9") << "compiled now, w is the main program's";
}

} // namespace
} // namespace tivane::test
