// Arrays, user functions and parameter rebinding, and nested runs.

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
    const struct {
        const char* text;
        int32_t slots;
    } steps[] = {{"a[0]:=1", 2048},
                 {"a[2047]:=2", 2048},
                 {"a[2048]:=3", 4096},
                 {"a[5]:=4", 4096},
                 {"a[10000]:=5", 10240}};
    for (const auto& s : steps) {
        Value(s.text);
        EXPECT_EQ(SlotCount("a"), s.slots) << s.text;
    }
    EXPECT_EQ(Value("a[0]+a[2047]+a[2048]+a[5]+a[10000]"), "15");
    EXPECT_EQ(Value("a[100]"), "<NOT VALID>");
    EXPECT_EQ(Value("a[10240]"), "<NOT VALID>");
    EXPECT_EQ(Value("a[-1]"), "<NOT VALID>") << "an index is read as unsigned";
}

TEST_F(ArrayTest, RefusedElementAssignmentWritesNothing) {
    Value("a[0]:=7");
    for (const char* text : {"a[-1]:=1", "a[-2048]:=1", "a[16000000]:=1"}) {
        EXPECT_EQ(ErrorOf(text), 3u) << text;
        EXPECT_EQ(SlotCount("a"), 2048) << text;
    }
    EXPECT_EQ(Value("a[0]"), "7");
    const int32_t a = main->FindArray("a");
    for (int32_t k = 1; k < 2048; ++k)
        ASSERT_EQ(main->arrays[a].slots[k], kNotValid) << "slot " << k;
    EXPECT_EQ(SlotCount("b"), -1);
    EXPECT_EQ(ErrorOf("b[-1]:=1"), 3u);
    EXPECT_EQ(SlotCount("b"), 0);
}

// The largest slot count is the largest multiple of 2048 not above 16,000,000.
TEST_F(ArrayTest, LargestUsableIndex) {
    EXPECT_EQ(Value("a[15998975]:=9"), "9");
    EXPECT_EQ(SlotCount("a"), 15998976);
    EXPECT_EQ(ErrorOf("a[15998976]:=1"), 3u);
    EXPECT_EQ(SlotCount("a"), 15998976);
    EXPECT_EQ(Value("a[15998975]"), "9");
}

// Every slot holding one string: the shared cell is freed once, when the interpreter goes
// (the fixture checks the count of live cells).
TEST_F(ArrayTest, OneValueInManySlots) {
    Value("s:=\"shared\"; a[0]:=s; a[1]:=s; a[4095]:=a[1]");
    EXPECT_EQ(Value("a[4095]+a[0]"), "\"sharedshared\"");
    Value("s:=0; a[0]:=0");
    EXPECT_EQ(Value("a[1]"), "\"shared\"");
}

struct CallCase {
    const char* setup; // run first, in the same interpreter
    const char* text;
    const char* value;
};

class UserFunctionTest : public LanguageTest, public ::testing::WithParamInterface<CallCase> {};

TEST_P(UserFunctionTest, CallGives) {
    const Outcome setup = Eval(GetParam().setup);
    ASSERT_TRUE(setup.ok) << GetParam().setup << ": " << setup.report;
    EXPECT_EQ(Value(GetParam().text), GetParam().value)
        << GetParam().setup << " then " << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Functions, UserFunctionTest,
    ::testing::Values(
        CallCase{"n:=7; f(n):={n*2}", "f(3)", "6"}, CallCase{"n:=7; f(n):={n*2}", "f(3); n", "7"},
        CallCase{"f(a,b):={a-b}", "f(10,3)", "7"}, CallCase{"f(a,b):={a-b}", "f(f(10,3),2)", "5"},
        // Parameters are the interpreter's variables, rebound only during the call.
        CallCase{"x:=1; x[0]:=2; x(x):={x*2}", "x(5)", "10"},
        CallCase{"x:=1; x[0]:=2; x(x):={x*2}", "x(5); x", "1"},
        CallCase{"x:=1; x[0]:=2; x(x):={x*2}", "x(5); x[0]", "2"},
        CallCase{"k:=10; g(x):={x+k}", "g(1)", "11"},
        CallCase{"k:=10; h(x):={k:=x}", "h(4); k", "4"}, CallCase{"f(x):={x:=x+1; x}", "f(1)", "2"},
        CallCase{"f(x):={x:=x+1; x}", "x:=9; f(1); x", "9"},
        // A function called before any definition gives NOT VALID; the definition counts from
        // then on, and a redefinition replaces the body.
        CallCase{"", "f(2)", "<NOT VALID>"},
        CallCase{"a:=f(2); f(x):={x+1}", "b:=f(2); a", "<NOT VALID>"},
        CallCase{"a:=f(2); f(x):={x+1}", "f(2)", "3"},
        CallCase{"f(x):={1}; f(x):={2}", "f(0)", "2"},
        CallCase{"f(x):={1}", "f(y):={y*3}; f(2)", "6"}, CallCase{"f(x):={{x}}", "f(1)", "{x}"},
        CallCase{"f(x):={1}", "f(x):={2}", "<NOT VALID>"}));

TEST_F(LanguageTest, FailedCallLeavesArgumentsInParameters) {
    Value("n:=7; f(n):={n/0}");
    EXPECT_EQ(ErrorOf("f(3)"), 24u);
    EXPECT_EQ(Value("n"), "3");
}

// The body that is running stays alive while it replaces its own definition.
TEST_F(LanguageTest, BodyMayRedefineItsOwnFunction) {
    Value("f(x):={f(y):={y*3}; x+1}");
    EXPECT_EQ(Value("f(5)"), "6");
    EXPECT_EQ(Value("f(5)"), "15");
    EXPECT_EQ(Value("x"), "<NOT VALID>");
    EXPECT_EQ(Value("y"), "<NOT VALID>");
}

TEST_F(LanguageTest, RecursionSeesEachLevelsArgument) {
    Value("f(n):={IF(n>0,{n+f(n-1)},{0})}");
    EXPECT_EQ(Value("f(100)"), "5050");
    EXPECT_EQ(Value("f(2000)"), "2001000");
    EXPECT_EQ(Value("n"), "<NOT VALID>");
}

TEST_F(LanguageTest, UnboundedRecursionFailsCleanly) {
    const Outcome o = Eval("f(n):={f(n+1)}; f(0)");
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.error, 3u);
    EXPECT_EQ(o.report.rfind("Not enough memory.\n\n", 0), 0u) << o.report.substr(0, 80);
    EXPECT_EQ(Value("1+1"), "2") << "runs work normally afterwards";
}

// The message pass happens every 4096 runs; a stop there ends the run with only a short text.
TEST_F(LanguageTest, StopDuringARunIsReportedWithoutListing) {
    doc.errorOnPump = ERR_USER_STOP;
    const Outcome o = Eval("f(n):={f(n+1)}; f(0)");
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.error, 19u);
    EXPECT_EQ(o.report, "User stopped execution.");
    EXPECT_GT(doc.pumps, 0);
}

} // namespace
} // namespace tivane::test
