// Control and program functions: IF, WHILE, EXECUTE, ABORT, PUSH/POP, and the functions that
// name the interpreter's objects by program text (CLEAR, SAVEVALUE, GETFUNCDEF).

#include <string>
#include <vector>

#include "builtins/builtinsupport.h"

namespace tivane::test {
namespace {

constexpr uint16_t L = TYPE_LONG;
constexpr uint16_t D = TYPE_DOUBLE;
constexpr uint16_t S = TYPE_STRING;
constexpr uint16_t NV = TYPE_NOTVALID;

class ControlValueTest : public LanguageTest, public ::testing::WithParamInterface<ValueRow> {};

TEST_P(ControlValueTest, Gives) {
    ExpectValue(Eval(GetParam().text), GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    If, ControlValueTest,
    ::testing::Values(ValueRow{"IF(1, 2, 3)", "2", L}, ValueRow{"IF(0, 2, 3.5)", "3.5", D},
                      ValueRow{"IF(1, 2, 3.5)", "2", D},
                      ValueRow{"IF(-1, \"y\", \"n\")", "\"y\"", S},
                      ValueRow{"IF(0, {a := 1}, {a := 2})", "2", L},
                      ValueRow{"IF(0, {a := 1}, {a := 2}); a", "2", L},
                      ValueRow{"a := 0; IF(1, {a := 1}, {a := 2}); a", "1", L},
                      ValueRow{"IF(0, {1 / 0}, {7})", "7", L}, // the other block never runs
                      ValueRow{"IF(2 > 1, {\"big\"}, {\"small\"})", "\"big\"", S}));

INSTANTIATE_TEST_SUITE_P(
    While, ControlValueTest,
    ::testing::Values(ValueRow{"i := 0; WHILE({i < 3}, {i := i + 1})", "<NOT VALID>", NV},
                      ValueRow{"i := 0; WHILE({i < 3}, {i := i + 1}); i", "3", L},
                      ValueRow{"WHILE({0}, {1 / 0})", "<NOT VALID>", NV},
                      ValueRow{"i := 0; s := 0; WHILE({i < 10}, {s := s + i; i := i + 1}); s", "45",
                               L}));

INSTANTIATE_TEST_SUITE_P(
    Execute, ControlValueTest,
    ::testing::Values(ValueRow{"EXECUTE(\"1+2\")", "3", L}, ValueRow{"EXECUTE({4})", "4", L},
                      ValueRow{"EXECUTE(\"\")", "<NOT VALID>", NV},
                      ValueRow{"EXECUTE(\"z:=9\"); z", "9", L},
                      // Names of an executed text become the caller's.
                      ValueRow{"EXECUTE(\"q(x):={x*x}\"); q(5)", "25", L},
                      ValueRow{"p := {2 * 3}; EXECUTE(p) + EXECUTE(p)", "12", L}));

INSTANTIATE_TEST_SUITE_P(PushPop, ControlValueTest,
                         ::testing::Values(ValueRow{"PUSH(1); PUSH(\"a\"); POP(0)", "\"a\"", S},
                                           ValueRow{"PUSH(1); PUSH(\"a\"); POP(0); POP(0)", "1", L},
                                           ValueRow{"PUSH(1); POP(0); POP(0)", "<NOT VALID>", NV},
                                           ValueRow{"PUSH(2.5)", "2.5", D},
                                           ValueRow{"PUSH({3 * 4}); EXECUTE(POP(0))", "12", L},
                                           ValueRow{"x := 1; PUSH(x); x := 2; POP(0)", "1", L},
                                           ValueRow{"PUSH(7); CLEAR(\"\"); POP(0)", "7", L}));

INSTANTIATE_TEST_SUITE_P(
    Clear, ControlValueTest,
    ::testing::Values(
        ValueRow{"x := 5; CLEAR(\"x\")", "<NOT VALID>", NV},
        ValueRow{"x := 5; CLEAR(\"x\"); VALID(x)", "0", L},
        ValueRow{"x := 5; y := 6; CLEAR(\"x\"); y", "6", L},
        ValueRow{"a[0] := 1; a[1] := 2; CLEAR(\"a[0]\"); VALID(a[1])", "0", L},
        ValueRow{"f(x) := {x * 2}; CLEAR(\"f(0)\"); VALID(f(1))", "0", L},
        ValueRow{"x := 1; a[0] := 2; f(y) := {y}; CLEAR(\"\"); VALID(x) + VALID(a[0]) + "
                 "VALID(f(1))",
                 "0", L},
        ValueRow{"x := 5; CLEAR(\"3\"); x", "5", L},
        // Clearing or redefining the running function or program: the run keeps what it runs.
        ValueRow{"f(x) := {CLEAR(\"\"); x}; f(3)", "<NOT VALID>", NV},
        ValueRow{"g(x) := {CLEAR(\"g(0)\"); x + 1}; g(1)", "2", L},
        ValueRow{"g(x) := {CLEAR(\"g(0)\"); x + 1}; g(1); VALID(g(1))", "0", L},
        ValueRow{"f(x) := {f(y) := {y * 10}; x + 1}; f(1)", "2", L},
        ValueRow{"f(x) := {f(y) := {y * 10}; x + 1}; f(1); f(1)", "10", L},
        ValueRow{"p := {CLEAR(\"p\"); \"still\" + \"here\"}; EXECUTE(p)", "\"stillhere\"", S},
        ValueRow{"p := {CLEAR(\"\"); 6}; EXECUTE(p)", "6", L},
        ValueRow{"p := {p := 0; 7}; EXECUTE(p)", "7", L}));

INSTANTIATE_TEST_SUITE_P(
    GetFuncDef, ControlValueTest,
    ::testing::Values(
        ValueRow{"f(a, b) := {a - b}; GETFUNCDEF(\"f(0,0)\")", "\"f(a,b):={a-b}\"", S},
        ValueRow{"g(c, a, b) := {c}; GETFUNCDEF(\"g(0,0,0)\")", "\"g(c,a,b):={c}\"", S},
        ValueRow{"f(a, b) := {a - b}; GETFUNCDEF(\"F(1,2)\")", "\"f(a,b):={a-b}\"", S},
        ValueRow{"GETFUNCDEF(\"h(0)\")", "\"\"", S},
        ValueRow{"x := 1; GETFUNCDEF(\"x\")", "\"\"", S},
        ValueRow{"f(x) := {x}; CLEAR(\"f(0)\"); GETFUNCDEF(\"f(0)\")", "\"\"", S}));

class ControlErrorTest : public LanguageTest, public ::testing::WithParamInterface<ErrorRow> {};

TEST_P(ControlErrorTest, FailsWith) {
    ExpectError(Eval(GetParam().text), GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Control, ControlErrorTest,
    ::testing::Values(ErrorRow{"IF(1.0, 2, 3)", 10}, ErrorRow{"IF(1, {2}, 3)", 10},
                      ErrorRow{"IF(1, \"a\", 2)", 10}, ErrorRow{"IF(1, {1 / 0}, {0})", 24},
                      ErrorRow{"WHILE({1.5}, {0})", 10}, ErrorRow{"WHILE({\"a\"}, {0})", 10},
                      ErrorRow{"WHILE({never_set}, {0})", 10}, ErrorRow{"WHILE(1, {0})", 10},
                      ErrorRow{"WHILE({1 / 0}, {0})", 24}, ErrorRow{"EXECUTE(\"1+\")", 1},
                      ErrorRow{"EXECUTE(5)", 10}, ErrorRow{"EXECUTE(\"1/0\")", 24},
                      // A text that executes itself ends at the nesting limit.
                      ErrorRow{"t := \"EXECUTE(t)\"; EXECUTE(t)", 3},
                      ErrorRow{"f(a, b) := {a - b}; CLEAR(\"f(0)\")", 7},
                      ErrorRow{"f(a, b) := {a - b}; GETFUNCDEF(\"f(0)\")", 7},
                      ErrorRow{"CLEAR(\"1+\")", 1}, ErrorRow{"ABORT(\"stop\")", 18}));

using ControlTest = LanguageTest;

TEST_F(ControlTest, FailingLoopBodyKeepsWhatItDid) {
    EXPECT_EQ(ErrorOf("i := 0; WHILE({1}, {i := i + 1; IF(i == 5, {1 / 0}, {0})}); i := 99"), 24u);
    EXPECT_EQ(Value("i"), "5");
}

TEST_F(ControlTest, ExecuteCompileErrorIsReportedAsOne) {
    const Outcome o = Eval("EXECUTE(\"1+\")");
    EXPECT_EQ(o.error, 1u);
    EXPECT_EQ(o.phase, 1);
    EXPECT_EQ(o.report.rfind("Operand expected.\n\n", 0), 0u) << o.report;
    EXPECT_NE(o.report.find("1+#"), std::string::npos) << o.report;
}

// A failure inside a block or an executed text lists every level, the innermost last.
struct TraceRow {
    const char* text;
    const char* levels; // the report after its message
};

void PrintTo(const TraceRow& r, std::ostream* os) {
    *os << r.text;
}

class ControlTraceTest : public LanguageTest, public ::testing::WithParamInterface<TraceRow> {};

TEST_P(ControlTraceTest, ReportListsEachLevel) {
    const Outcome o = Eval(GetParam().text);
    EXPECT_EQ(o.error, 24u) << GetParam().text;
    EXPECT_EQ(o.report,
              std::string("Invalid mathematical expression encountered.\n\n") + GetParam().levels);
}

INSTANTIATE_TEST_SUITE_P(
    Control, ControlTraceTest,
    ::testing::Values(TraceRow{"IF(1, {1 / 0}, {0})", "{if#(1,{1/0},{0})}\n{1/#0}\n"},
                      TraceRow{"WHILE({1}, {1 / 0})", "{while#({1},{1/0})}\n{1/#0}\n"},
                      TraceRow{"EXECUTE(\"1/0\")", "{execute#(\"1/0\")}\n{1/#0}\n"},
                      TraceRow{"EXECUTE({EXECUTE(\"1/0\")})",
                               "{execute#({execute(\"1/0\")})}\n{execute#(\"1/0\")}\n{1/#0}\n"}));

// Naming an object compiles a text inside the run; a later run-time error is still reported
// with the listing of the running program, not as a compile error of the name.
class ControlNameThenFailTest : public LanguageTest,
                                public ::testing::WithParamInterface<const char*> {};

TEST_P(ControlNameThenFailTest, ReportsTheRunningProgram) {
    const std::string text = std::string(GetParam()) + ";1/0";
    const Outcome o = Eval(text);
    EXPECT_EQ(o.error, 24u) << text;
    EXPECT_EQ(o.phase, 2) << text;
    EXPECT_NE(o.report.find(";1/#0}"), std::string::npos) << o.report;
}

INSTANTIATE_TEST_SUITE_P(Control, ControlNameThenFailTest,
                         ::testing::Values("GETFUNCDEF(\"x\")", "CLEAR(\"x\")", "EXECUTE(\"2\")"));

TEST_F(ControlTest, AbortShowsItsMessageOnceWithoutReport) {
    const Outcome o = Eval("x := 1; EXECUTE({ABORT(\"stop here\")}); x := 2");
    EXPECT_EQ(o.error, 18u);
    EXPECT_EQ(o.report, "");
    EXPECT_EQ(doc.boxes, std::vector<std::string>{"stop here"});
    EXPECT_EQ(Value("x"), "1");
}

TEST_F(ControlTest, PushedValuesOutliveTheRun) {
    const size_t before = Pool().LiveCells();
    ASSERT_TRUE(Eval("PUSH(\"ab\" + \"cd\"); PUSH({1})").ok);
    EXPECT_GT(Pool().LiveCells(), before); // held by the stack; the fixture checks they go
    EXPECT_EQ(Value("EXECUTE(POP(0))"), "1");
    EXPECT_EQ(Value("POP(0)"), "\"abcd\"");
    EXPECT_EQ(Value("PUSH(\"left for the destructor\")"), "\"left for the destructor\"");
}

using ControlViewTest = ViewLanguageTest;

TEST_F(ControlViewTest, ViewHasItsOwnStackAndNamesOnlyItsOwnObjects) {
    ASSERT_TRUE(Eval("PUSH(1); m := 1; g(x) := {x}").ok);
    EXPECT_EQ(ViewEval("GETFUNCDEF(\"g(0)\")").value, "\"\""); // not the view's own
    EXPECT_EQ(ViewEval("VALID(POP(0))").value, "0");
    EXPECT_EQ(ViewEval("v := 2; CLEAR(\"\"); VALID(v)").value, "0");
    EXPECT_EQ(ViewEval("CLEAR(\"m\"); m").value, "1"); // a parent's object is left alone
    EXPECT_EQ(Value("m"), "1");
    EXPECT_EQ(Value("POP(0)"), "1");
}

// SAVEVALUE writes into a real file; each row names what a program defined and saved.
struct SaveRow {
    const char* setup;
    const char* name;
    const char* text; // the file's content
};

void PrintTo(const SaveRow& r, std::ostream* os) {
    *os << r.setup << " / " << r.name;
}

class ControlSaveValueTest : public LanguageTest, public ::testing::WithParamInterface<SaveRow> {
protected:
    // Opens the file first, so fh is the first variable and is skipped as an open file.
    Outcome Save(const std::string& setup, const std::string& name) {
        return Eval(dir.In("fh := OPENFILE(\"@/saved.txt\", \"w\"); " + setup +
                           "; SAVEVALUE(fh, \"" + name + "\"); CLOSEFILE(fh)"));
    }
    TempDir dir;
};

TEST_P(ControlSaveValueTest, Writes) {
    const Outcome o = Save(GetParam().setup, GetParam().name);
    ASSERT_TRUE(o.ok) << o.report;
    EXPECT_EQ(dir.Read("saved.txt"), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    SaveValue, ControlSaveValueTest,
    ::testing::Values(SaveRow{"x := 2.0", "x", "x:=2;\n"},
                      SaveRow{"x := 3.14159265", "x", "x:=3.14159;\n"},
                      SaveRow{"x := -7", "X", "x:=-7;\n"},
                      SaveRow{"s := \"hi\"", "s", "s:=\"hi\";\n"},
                      SaveRow{"p := {1 + 2}", "p", "p:={1+2};\n"},
                      SaveRow{"a[0] := 1; a[3] := 2.5", "a[0]", "a[0]:=1;\na[3]:=2.5;\n"},
                      SaveRow{"0", "b[0]", ""}, SaveRow{"b[0] := b[0]", "b[0]", ""},
                      SaveRow{"f(a, b) := {a - b}", "f(0,0)", "f(a,b):={a-b}\n"},
                      SaveRow{"h(z) := {z}; CLEAR(\"h(0)\")", "h(0)", ""},
                      SaveRow{"g := OPENFILE(\"/dev/null\", \"r\")", "g", ""},
                      SaveRow{"n := POP(0)", "n", ""}, SaveRow{"x := 7", "3", ""},
                      SaveRow{"x := 1; s := \"t\"; a[1] := 5; g(q) := {q + 1}", "",
                              "x:=1;\ns:=\"t\";\na[1]:=5;\ng(q):={q+1}\n"}));

TEST_F(ControlSaveValueTest, SavedTextReadsBack) {
    ASSERT_TRUE(
        Save("x := 2.0; y := 3.14159265; z := -1e20; s := \"hi\"; a[2] := 4; f(u) := {u * 3}", "")
            .ok);
    ASSERT_TRUE(Eval("CLEAR(\"\")").ok);
    ASSERT_TRUE(Eval(dir.Read("saved.txt")).ok) << dir.Read("saved.txt");
    EXPECT_EQ(Value("VALID(x)"), "-1"); // 2.0 was written as 2
    EXPECT_EQ(Value("y"), "3.14159");
    EXPECT_EQ(Value("z"), "-1e+20");
    EXPECT_EQ(Value("s + \"!\""), "\"hi!\"");
    EXPECT_EQ(Value("a[2] + f(2)"), "10");
}

} // namespace
} // namespace tivane::test
