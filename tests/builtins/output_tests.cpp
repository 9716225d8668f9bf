// Output, drawing, view-control and dialog functions: where each call goes from the main
// program, a text view's program and a graphics view's program, what it passes on, and what
// it yields. A call in the wrong kind of program does nothing and yields its usual type.

#include <memory>
#include <string>
#include <utility>

#include "builtins/recordingview.h"

namespace tivane::test {
namespace {

constexpr uint16_t L = TYPE_LONG;
constexpr uint16_t D = TYPE_DOUBLE;
constexpr uint16_t S = TYPE_STRING;
constexpr uint16_t NV = TYPE_NOTVALID;

enum class Program { Main, Text, Graphics };

// One main interpreter with a text view's and a graphics view's interpreter below it.
class OutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        Pool().EnsureNotValid();
        m_liveAtStart = Pool().LiveCells();
        doc.mainInput = "m:=1";
        textView.column = 7;
        textView.setupText = "t:=2";
        graphicsView.windowBase = 100;
        graphicsView.setupText = "g:=3";
        main = std::make_unique<CInterpreter>(doc);
        text = std::make_unique<CInterpreter>(*main, textView);
        graphics = std::make_unique<CInterpreter>(*main, graphicsView);
    }
    void TearDown() override {
        textView.DropUpdateProgram();
        graphicsView.DropUpdateProgram();
        text.reset();
        graphics.reset();
        main.reset();
        EXPECT_EQ(Pool().LiveCells(), m_liveAtStart) << "cells leaked or freed twice";
    }

    CInterpreter& In(Program p) {
        return p == Program::Main ? *main : p == Program::Text ? *text : *graphics;
    }
    // Runs `text` and keeps in runLog what the run did, before an error report (which brings
    // the views up to date first) adds to the log.
    Outcome Run(Program p, const std::string& text) {
        CInterpreter& in = In(p);
        doc.log.clear();
        Outcome o;
        const CellIndex program = Compile(in, text);
        CellIndex result = kNoCell;
        if (program != kNoCell) {
            result = tivane::Run(in, program);
            Release(program);
        }
        runLog = doc.Log();
        if (result == kNoCell) {
            o.error = doc.errorCode;
            o.phase = doc.errorPhase;
            o.report = ErrorReport(in).value_or("");
            return o;
        }
        o.type = CellAt(result).type;
        o.ok = FormatValue(in, result, o.value);
        Release(result);
        return o;
    }

    RecordingDocument doc;
    RecordingView textView{doc, ViewKind::Text};
    RecordingView graphicsView{doc, ViewKind::Graphics};
    std::unique_ptr<CInterpreter> main, text, graphics;
    std::string runLog;

private:
    size_t m_liveAtStart = 0;
};

struct Expect {
    const char* value;
    uint16_t type;
    const char* log;
};

constexpr Expect Nothing(const char* log = "") {
    return {"<NOT VALID>", NV, log};
}

struct DispatchRow {
    const char* call;
    Expect main, text, graphics;
};

void PrintTo(const DispatchRow& r, std::ostream* os) {
    *os << r.call;
}

class OutputDispatchTest : public OutputTest, public ::testing::WithParamInterface<DispatchRow> {};

TEST_P(OutputDispatchTest, GoesToItsTarget) {
    const DispatchRow& r = GetParam();
    const std::pair<Program, const Expect*> cases[] = {
        {Program::Main, &r.main}, {Program::Text, &r.text}, {Program::Graphics, &r.graphics}};
    const char* where[] = {"main", "text view", "graphics view"};
    for (const auto& [program, expect] : cases) {
        SCOPED_TRACE(std::string(r.call) + " in the " + where[static_cast<int>(program)]);
        const Outcome o = Run(program, r.call);
        ASSERT_TRUE(o.ok) << o.error << ": " << o.report;
        EXPECT_EQ(o.value, expect->value);
        EXPECT_EQ(o.type, expect->type);
        EXPECT_EQ(runLog, expect->log);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Print, OutputDispatchTest,
    ::testing::Values(
        DispatchRow{"PRINT(5)", {"5", L, ""}, {"5", L, "AppendText(5)"}, {"5", L, "OutputText(5)"}},
        DispatchRow{"PRINT(\"a\")",
                    {"\"a\"", S, ""},
                    {"\"a\"", S, "AppendText(\"a\")"},
                    {"\"a\"", S, "OutputText(\"a\")"}},
        DispatchRow{"PRINT(2.50)",
                    {"2.5", D, ""},
                    {"2.5", D, "AppendText(2.5)"},
                    {"2.5", D, "OutputText(2.5)"}},
        DispatchRow{"PRINTF(\"%s\", \"a\")",
                    {"\"a\"", S, ""},
                    {"\"a\"", S, "AppendText(a)"},
                    {"\"a\"", S, "OutputText(a)"}},
        // The language has no escapes: the format holds a real line break.
        DispatchRow{"PRINTF(\"%ld\n\", 7)",
                    {"7", L, ""},
                    {"7", L, "AppendText(7\n)"},
                    {"7", L, "OutputText(7\n)"}},
        DispatchRow{"POS(0)", {"0", L, ""}, {"7", L, "GetColumn()"}, {"0", L, ""}}));

// Doubles arrive as doubles (longs widened), longs as 32-bit numbers, strings as bytes.
INSTANTIATE_TEST_SUITE_P(
    Drawing, OutputDispatchTest,
    ::testing::Values(
        DispatchRow{"MOVETO(1, 2)", Nothing(), Nothing(), Nothing("DrawMoveTo(1,2)")},
        DispatchRow{"LINETO(0.5, -2)", Nothing(), Nothing(), Nothing("DrawLineTo(0.5,-2)")},
        DispatchRow{"RMOVETO(3, 4.25)", Nothing(), Nothing(), Nothing("DrawMoveRel(3,4.25)")},
        DispatchRow{"RLINETO(-1, 1e10)", Nothing(), Nothing(), Nothing("DrawLineRel(-1,1e+10)")},
        DispatchRow{"FGRCOLOR(-1, 300, 2147483647)", Nothing(), Nothing(),
                    Nothing("SetForeColor(-1,300,2147483647)")},
        DispatchRow{"BGRCOLOR(0, 128, 256)", Nothing(), Nothing(),
                    Nothing("SetBackColor(0,128,256)")},
        DispatchRow{"PENSIZE(3)", Nothing(), Nothing(), Nothing("SetPenSize(3)")},
        DispatchRow{"UPDFREQUENCY(-4)", Nothing(), Nothing(), Nothing("SetUpdateFrequency(-4)")},
        DispatchRow{"WINDOWEXT(0, -1.5, 10, 20)", Nothing(), Nothing(),
                    Nothing("SetWorldWindow(0,-1.5,10,20)")},
        DispatchRow{"CLIPWINDOW(0, 0, 29999, 100)", Nothing(), Nothing(),
                    Nothing("SetClipWindow(0,0,29999,100)")},
        DispatchRow{"GETWINSIZE(5)", {"0", D, ""}, {"0", D, ""}, {"105", D, "GetWindowValue(5)"}},
        DispatchRow{"GETWINSIZE(-5)", {"0", D, ""}, {"0", D, ""}, {"100", D, "GetWindowValue(0)"}},
        DispatchRow{
            "GETWINSIZE(99)", {"0", D, ""}, {"0", D, ""}, {"111", D, "GetWindowValue(11)"}}));

INSTANTIATE_TEST_SUITE_P(
    Views, OutputDispatchTest,
    ::testing::Values(
        DispatchRow{"CHANGEFONT(\"Courier\", 9, 2)", Nothing(), Nothing("ChangeFont(Courier,9,2)"),
                    Nothing("ChangeFont(Courier,9,2)")},
        DispatchRow{"CHANGEFONT(CHR(233) + \"t\", 9.5, -1)", Nothing(),
                    Nothing("ChangeFont(\xE9t,9.5,-1)"), Nothing("ChangeFont(\xE9t,9.5,-1)")},
        DispatchRow{"CLEARVIEW(0)", Nothing(), Nothing("ClearView()"), Nothing("ClearView()")},
        DispatchRow{"ONUPDATE({1})", Nothing(), Nothing("SetUpdateProgram()"),
                    Nothing("SetUpdateProgram()")},
        DispatchRow{"DISPLAYVIEW(0)", Nothing("DisplayViews()"), Nothing("ShowText()"),
                    Nothing("UpdateNow()")},
        DispatchRow{"GETCONFIG(0)",
                    {"\"m:=1\"", S, ""},
                    {"\"t:=2\"", S, "SetupText()"},
                    {"\"g:=3\"", S, "SetupText()"}},
        DispatchRow{"SETCONFIG(\"a:=1\")", Nothing("SetConfig(a:=1)"),
                    Nothing("SetSetupText(a:=1)"), Nothing("SetSetupText(a:=1)")},
        DispatchRow{"SENDMSG(\"hi\")", Nothing("ShowMessage(hi)"), Nothing("ShowMessage(hi)"),
                    Nothing("ShowMessage(hi)")},
        DispatchRow{"UPDATEVIEWS(0)", Nothing("UpdateViews()"), Nothing(), Nothing()},
        DispatchRow{"EXECVIEWTEMPLATES(0)", Nothing("ExecViewTemplates()"), Nothing(), Nothing()},
        DispatchRow{"FORALLVIEWS(\"redraw\")", Nothing("ForAllViews(redraw)"), Nothing(),
                    Nothing()}));

// Outside a view the format is not even looked at; in a view it fails (below).
TEST_F(OutputTest, PrintfFormatIsCheckedOnlyInViews) {
    EXPECT_EQ(Run(Program::Main, "PRINTF(\"%ld\", 1.5)").value, "1.5");
}

struct FailRow {
    Program program;
    uint32_t clipError; // what the graphics view's SetClipWindow answers
    const char* call;
    uint32_t code;
    const char* log;
};

void PrintTo(const FailRow& r, std::ostream* os) {
    *os << r.call;
}

class OutputErrorTest : public OutputTest, public ::testing::WithParamInterface<FailRow> {};

TEST_P(OutputErrorTest, StopsTheRun) {
    const FailRow& r = GetParam();
    graphicsView.clipError = r.clipError;
    const Outcome o = Run(r.program, std::string(r.call) + "; MOVETO(1, 1); PRINT(0)");
    EXPECT_FALSE(o.ok) << r.call;
    EXPECT_EQ(o.error, r.code) << r.call;
    EXPECT_EQ(o.phase, 2) << r.call;
    EXPECT_EQ(runLog, r.log) << r.call; // nothing printed, nothing after the failure
}

INSTANTIATE_TEST_SUITE_P(
    Output, OutputErrorTest,
    ::testing::Values(FailRow{Program::Text, 0, "PRINTF(\"%ld %ld\", 1)", 22, ""},
                      FailRow{Program::Text, 0, "PRINTF(\"%s\", 1)", 23, ""},
                      FailRow{Program::Graphics, 0, "PRINTF(\"%ld\", 1.5)", 23, ""},
                      FailRow{Program::Graphics, 0, "PRINTF(\"%d\", 1)", 23, ""},
                      FailRow{Program::Graphics, 26, "CLIPWINDOW(0, 0, 30000, 100)", 26,
                              "SetClipWindow(0,0,30000,100)"},
                      FailRow{Program::Graphics, 25, "CLIPWINDOW(0, 0, 100, 100)", 25,
                              "SetClipWindow(0,0,100,100)"},
                      FailRow{Program::Graphics, 0, "LINETO(\"a\", 1)", 10, ""},
                      FailRow{Program::Graphics, 0, "CLIPWINDOW(0, 0, 100.5, 100)", 10, ""},
                      FailRow{Program::Graphics, 0, "FGRCOLOR(255.0, 0, 0)", 10, ""},
                      FailRow{Program::Main, 0, "GETWINSIZE(1.0)", 10, ""},
                      FailRow{Program::Graphics, 0, "ABORT(\"bye\")", 18, "ShowMessage(bye)"}));

TEST_F(OutputTest, ClipWindowRefusedInATextViewIsNoError) {
    graphicsView.clipError = 26;
    const Outcome o = Run(Program::Text, "CLIPWINDOW(0, 0, 30000, 100)");
    EXPECT_TRUE(o.ok) << o.report;
    EXPECT_EQ(runLog, "");
}

TEST_F(OutputTest, PosAfterPrintingALineBreak) {
    textView.column = 0;
    const Outcome o = Run(Program::Text, "PRINTF(\"%ld\n\", 7); POS(0)");
    EXPECT_EQ(o.value, "0");
    EXPECT_EQ(runLog, "AppendText(7\n) | GetColumn()");
}

TEST_F(OutputTest, UpdateProgramOutlivesTheRunThatSetIt) {
    ASSERT_TRUE(Run(Program::Text, "n := 0; ONUPDATE({n := n + 1; PRINT(n)})").ok);
    ASSERT_NE(textView.updateProgram, kNotValid);
    std::string listing;
    ASSERT_TRUE(FormatValue(*text, textView.updateProgram, listing));
    EXPECT_EQ(listing, "{n:=n+1;print(n)}");
    doc.log.clear();
    for (int k = 0; k < 2; ++k) {
        const CellIndex r = tivane::Run(*text, textView.updateProgram);
        ASSERT_NE(r, kNoCell);
        Release(r);
    }
    EXPECT_EQ(doc.Log(), "AppendText(1) | AppendText(2)");
    // A second ONUPDATE replaces the first; the view drops its old reference.
    ASSERT_TRUE(Run(Program::Text, "ONUPDATE({0})").ok);
    ASSERT_TRUE(FormatValue(*text, textView.updateProgram, listing));
    EXPECT_EQ(listing, "{0}");
}

TEST_F(OutputTest, FailingViewWalksDoNotStopTheMainProgram) {
    doc.walksSucceed = false;
    const Outcome o = Run(Program::Main, "UPDATEVIEWS(0); EXECVIEWTEMPLATES(0); "
                                         "FORALLVIEWS(\"x\"); 5");
    EXPECT_EQ(o.value, "5");
    EXPECT_EQ(runLog, "UpdateViews() | ExecViewTemplates() | ForAllViews(x)");
}

TEST_F(OutputTest, SetConfigThenGetConfig) {
    EXPECT_EQ(Run(Program::Main, "SETCONFIG(\"a:=1\"); GETCONFIG(0)").value, "\"a:=1\"");
    EXPECT_EQ(doc.mainInput, "a:=1");
    EXPECT_EQ(Run(Program::Graphics, "SETCONFIG(\"w:=4\"); GETCONFIG(0)").value, "\"w:=4\"");
    EXPECT_EQ(doc.mainInput, "a:=1");
}

// Dialogs work in every kind of program and answer with what the user gave.
struct DialogRow {
    Program program;
    const char* answer; // nullptr: the user cancels
    const char* call;
    const char* value;
    const char* log;
};

void PrintTo(const DialogRow& r, std::ostream* os) {
    *os << r.call;
}

class DialogTest : public OutputTest, public ::testing::WithParamInterface<DialogRow> {};

TEST_P(DialogTest, Answers) {
    const DialogRow& r = GetParam();
    if (r.answer) doc.answers = {r.answer};
    const Outcome o = Run(r.program, r.call);
    ASSERT_TRUE(o.ok) << r.call << ": " << o.report;
    EXPECT_EQ(o.value, r.value) << r.call;
    EXPECT_EQ(runLog, r.log) << r.call;
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, DialogTest,
    ::testing::Values(
        DialogRow{Program::Main, "25", "GETUSERINPUT(\"Number of steps:\")", "\"25\"",
                  "GetUserInput(Number of steps:)"},
        DialogRow{Program::Main, "25", "ATOL(GETUSERINPUT(\"n\")) * 2", "50", "GetUserInput(n)"},
        DialogRow{Program::Main, nullptr, "GETUSERINPUT(\"n\")", "\"\"", "GetUserInput(n)"},
        DialogRow{Program::Text, "x y", "GETUSERINPUT(\"?\")", "\"x y\"", "GetUserInput(?)"},
        DialogRow{Program::Main, "yes", "ASKUSERYESNO(\"Continue?\")", "-1",
                  "AskUserYesNo(Continue?)"},
        DialogRow{Program::Main, "no", "ASKUSERYESNO(\"Continue?\")", "0",
                  "AskUserYesNo(Continue?)"},
        DialogRow{Program::Graphics, nullptr, "ASKUSERYESNO(\"q\")", "0", "AskUserYesNo(q)"},
        DialogRow{Program::Main, "yes",
                  "n := 4; IF(ASKUSERYESNO(\"Again?\"), {n := n + 1}, "
                  "{n := 0})",
                  "5", "AskUserYesNo(Again?)"},
        DialogRow{Program::Main, "no",
                  "n := 4; IF(ASKUSERYESNO(\"Again?\"), {n := n + 1}, "
                  "{n := 0})",
                  "0", "AskUserYesNo(Again?)"}));

} // namespace
} // namespace tivane::test
