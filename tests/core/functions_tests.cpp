// Arrays, a failed call, and the names a view program shares with the main interpreter.

#include <string>

#include "testsupport.h"

namespace tivane::test {
namespace {

class ArrayTest : public LanguageTest {
protected:
    int32_t SlotCount(const char* name) {
        const int32_t a = main->FindArray(name);
        return a < 0 ? -1 : main->arrays[a].slotCount;
    }
};

// Arrays grow in steps of 2048 slots to the smallest multiple above the index written.
TEST_F(ArrayTest, GrowsInStepsOf2048) {
    EXPECT_EQ(Value("a[2047]:=2"), "2");
    EXPECT_EQ(SlotCount("a"), 2048);
    EXPECT_EQ(Value("a[2048]:=3"), "3");
    EXPECT_EQ(SlotCount("a"), 4096);
    EXPECT_EQ(Value("a[2047]+a[2048]"), "5");
    EXPECT_EQ(Value("a[100]"), "<NOT VALID>");
    EXPECT_EQ(Value("a[-1]"), "<NOT VALID>");
}

// The largest slot count is the largest multiple of 2048 not above 16,000,000; an element
// assignment outside it, or at a negative index, fails with error 3 and writes nothing.
TEST_F(ArrayTest, RefusedElementAssignmentWritesNothing) {
    EXPECT_EQ(ErrorOf("b[-1]:=1"), 3u);
    EXPECT_EQ(SlotCount("b"), 0);
    Value("a[0]:=7");
    EXPECT_EQ(ErrorOf("a[-1]:=1"), 3u);
    EXPECT_EQ(SlotCount("a"), 2048);
    const int32_t a = main->FindArray("a");
    for (int32_t k = 1; k < 2048; ++k)
        ASSERT_EQ(main->arrays[a].Read(k), kNotValid) << "slot " << k;
    EXPECT_EQ(Value("a[15998975]:=9"), "9");
    EXPECT_EQ(SlotCount("a"), 15998976);
    EXPECT_EQ(ErrorOf("a[15998976]:=1"), 3u);
    EXPECT_EQ(SlotCount("a"), 15998976);
    EXPECT_EQ(Value("a[0]+a[15998975]"), "16");
}

// The memory budget is charged by the block of 2048 slots when a block is first written: an
// array's slots that were never written take none of it.
TEST_F(ArrayTest, SlotsNeverWrittenTakeNoBudget) {
    const size_t before = Pool().BytesUsed();
    Value("z[15998975]:=0; z[15998974]:=1");
    EXPECT_EQ(Pool().BytesUsed() - before, 8192u);
    Value("z[0]:=1; z[2047]:=2");
    EXPECT_EQ(Pool().BytesUsed() - before, 16384u);
    EXPECT_EQ(Value("z[0]+z[2047]+z[15998974]+VALID(z[5000])"), "4");
}

TEST_F(LanguageTest, FailedCallLeavesArgumentsInParameters) {
    EXPECT_EQ(ErrorOf("n:=7; f(n):={n/0}; f(3)"), 24u);
    EXPECT_EQ(Value("n"), "3");
}

// The main interpreter knows a, arr, g, p, pw and the unfinished u when each view text is
// compiled.
constexpr const char* kMainSetup =
    "a:=1; arr[0]:={1}; arr[1]:=10; g(x):={x*2}; p:={1}; pw(p):={WHILE(p,{0})}";

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
                      ViewCase{"arr[1]:=a", "1 arr(PARENTARRAYREF) a(PARENT) :=(15)"},
                      ViewCase{"g(arr[1])", "1 arr[](PARENT) g()(PARENT)"},
                      ViewCase{"z:=1", "z(VARREF) 1 :="},
                      // A parent's function may be called, never defined; parameters must be
                      // the view's own variables; a parent's argument count must be known.
                      ViewCase{"g(y):={2}", "error 13"}, ViewCase{"k(a):={1}", "error 14"},
                      ViewCase{"u(1)", "error 17"}));

struct ViewRunCase {
    const char* text;
    const char* result;    // the view's value, or "error N"
    const char* mainCheck; // evaluated in the main interpreter afterwards
    const char* mainValue;
};

class ViewRunTest : public ViewLanguageTest, public ::testing::WithParamInterface<ViewRunCase> {};

TEST_P(ViewRunTest, SharesDataButNotPrograms) {
    const ViewRunCase& c = GetParam();
    ASSERT_TRUE(Eval(kMainSetup).ok);
    const Outcome o = ViewEval(c.text);
    EXPECT_EQ(o.ok ? o.value : "error " + std::to_string(o.error), c.result) << c.text;
    EXPECT_EQ(Value(c.mainCheck), c.mainValue) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Views, ViewRunTest,
    ::testing::Values(
        ViewRunCase{"a:=5", "5", "a", "5"}, ViewRunCase{"arr[5000]:=3", "3", "arr[5000]", "3"},
        // A name the main interpreter does not know makes a view-local object.
        ViewRunCase{"c:=5", "5", "c", "<NOT VALID>"},
        // A parent's function runs in the parent and rebinds the parent's parameter x, which
        // the view shares.
        ViewRunCase{"x:=100; g(4)+x", "108", "x", "100"},
        // 21: reading a PROGRAM from the parent; 20: giving one to it, the parent unchanged.
        ViewRunCase{"q:=p", "error 21", "p", "{1}"},
        ViewRunCase{"arr[0]", "error 21", "arr[1]", "10"},
        ViewRunCase{"a:={2}", "error 20", "a", "1"},
        ViewRunCase{"arr[9000]:={2}", "error 20", "arr[9000]", "<NOT VALID>"},
        // A view's block handed to a parent's function would run against the wrong tables.
        ViewRunCase{"pw({a<0})", "error 20", "a", "1"}, ViewRunCase{"v:={2}; v", "{2}", "a", "1"}));

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
