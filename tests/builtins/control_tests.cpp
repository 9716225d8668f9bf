// Control and program functions: IF, WHILE, EXECUTE, ABORT, PUSH/POP, and the functions that
// name the interpreter's objects by program text (CLEAR, GETFUNCDEF).

#include <string>
#include <vector>

#include "builtins/builtinsupport.h"

namespace tivane::test {
namespace {

class ControlTest : public RowTest {};

TEST_P(ControlTest, Shows) {
    EXPECT_EQ(Shows(GetParam().text), GetParam().shows);
}

const Row kFlow[] = {
    // IF runs only the branch it takes; a double branch makes a double.
    {"IF(1, 2, 3.5)", "double 2"},
    {"IF(0, {1 / 0}, {7})", "7"},
    {"i := 0; s := 0; WHILE({i < 10}, {s := s + i; i := i + 1}); s", "45"},
    // Names an executed text defines become the caller's; a text that executes itself ends at
    // the nesting limit.
    {"EXECUTE(\"q(x):={x*x}\"); q(5)", "25"},
    {"t := \"EXECUTE(t)\"; EXECUTE(t)", "error 3"},
    {"PUSH(1); PUSH(\"a\"); POP(0)", "\"a\""}};

const Row kNames[] = {
    // CLEAR of a variable, a whole array, a function (named with its arity), or everything.
    {"x := 5; y := 6; CLEAR(\"x\"); VALID(x) + y", "6"},
    {"a[0] := 1; a[1] := 2; CLEAR(\"a[0]\"); VALID(a[1])", "0"},
    {"f(x) := {x}; CLEAR(\"f(0)\"); VALID(f(1))", "0"},
    {"f(a, b) := {a - b}; CLEAR(\"f(0)\")", "error 7"},
    // Clearing the running function or program: the run keeps what it runs.
    {"g(x) := {CLEAR(\"g(0)\"); x + 1}; g(1)", "2"},
    {"f(x) := {CLEAR(\"\"); x}; f(3)", "<NOT VALID>"},
    {"p := {CLEAR(\"p\"); \"still\" + \"here\"}; EXECUTE(p)", "\"stillhere\""},
    {"f(a, b) := {a - b}; GETFUNCDEF(\"F(1,2)\")", "\"f(a,b):={a-b}\""}};

INSTANTIATE_TEST_SUITE_P(Flow, ControlTest, ::testing::ValuesIn(kFlow));
INSTANTIATE_TEST_SUITE_P(Names, ControlTest, ::testing::ValuesIn(kNames));

using ControlReportTest = LanguageTest;

// EXECUTE reports the compile error of its text; naming an object compiles a text inside the
// run, and a later failure is still a run-time error with the running program's listing; ABORT
// shows its message once, without a report, and stops at once.
TEST_F(ControlReportTest, ReportsNameTheFailingTextAndAbortShowsOnlyItsMessage) {
    const std::tuple<const char*, uint32_t, uint16_t, const char*> rows[] = {
        // clang-format off
        {"EXECUTE(\"1+\")", 1, 1, "Operand expected.\n\n1+#\n"},
        {"GETFUNCDEF(\"x\");1/0", 24, 2, "Invalid mathematical expression encountered.\n\n{getfuncdef(\"x\");1/#0}\n"},
        {"x := 1; EXECUTE({ABORT(\"stop here\")}); x := 2", 18, 2, ""}};
    // clang-format on
    for (const auto& [text, error, phase, report] : rows) {
        const Outcome o = Evaluate(*main, text);
        EXPECT_EQ(std::tuple(o.error, o.phase, o.report), std::tuple(error, phase, report)) << text;
    }
    EXPECT_EQ(doc.boxes, std::vector<std::string>{"stop here"});
    EXPECT_EQ(Evaluate(*main, "x").value, "1");
}

} // namespace
} // namespace tivane::test
