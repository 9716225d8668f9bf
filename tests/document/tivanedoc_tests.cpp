// The document without a window: Execute and Stop, the guards, a run inside a message pass,
// error details, and the layout and side files on restore and save.

#include <gtest/gtest.h>

#include <filesystem>

#include "docfixture.h"
#include "errors.h"
#include "tivanegraph.h"
#include "tivaneview.h"

namespace tivane::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kTwoViews = "[Description]\nNoOfViews=2\nMainProgramFileName=main.prg\n"
                                  "[View0]\nProgramFileName=text.prg\nTitleText=Table\n"
                                  "[View1]\nProgramFileName=graph.prg\nTitleText=Plot\n"
                                  "TypeOfView=2\n";
const std::string kBothWindows = LayoutOf({9999, 0, 1}), kOwnLayout = LayoutOf({});
constexpr const char* kOneText =
    "[Description]\nNoOfViews=1\nMainProgramFileName=main.prg\n[View0]\nProgramFileName=text.prg\n";
constexpr const char* kLoop = "i := 0; WHILE({i < 10000000}, {i := i + 1}); i";

// Execute while running asks: Cancel leaves the run going, Ok stops it with one report.
TEST_F(DocTest, ExecuteWhileRunningAsksAndOkStopsTheRunWithOneReport) {
    Model(kLoop, "", "");
    Open().SetBare(false);
    ui.boxes.clear();
    ui.answers = {Answer::Cancel, Answer::Ok};
    int asked = 0;
    ui.everyPump = [&] {
        if (doc->Running() && asked++ < 2) doc->Execute(); // the second Execute asks
    };
    SetRunCounter(1); // the first message pass comes inside the loop
    doc->Execute();
    EXPECT_EQ(ui.Count("The program is still executing the template.\nDo you want to stop it?"), 2);
    EXPECT_EQ(ui.Count("User stopped execution."), 1);
    EXPECT_EQ(ui.boxes.back().help, kHelpLanguageError + ERR_USER_STOP);
    EXPECT_LT(std::stoi(Var("i")), 10000000);
    EXPECT_FALSE(doc->StopRequested());
    ui.everyPump = nullptr;
}

// A function redefined during the message pass at the start of its own body's run.
TEST_F(DocTest, AFunctionBodyRedefinedDuringItsOwnRunStaysAlive) {
    Model("f(x) := {y := x + 1; y * 2}; 0", "", "");
    Open();
    doc->Execute();
    CInterpreter& in = *doc->MainContext();
    const CellIndex call = Compile(in, "f(1)");
    bool redefined = false;
    ui.everyPump = [&] {
        if (std::exchange(redefined, true)) return;
        const CellIndex p = Compile(in, "f(x) := {0}");
        Release(tivane::Run(in, p));
        Release(p);
    };
    SetRunCounter(4095); // this run does not pump; the body's, next, does
    const CellIndex result = tivane::Run(in, call);
    Release(call);
    ASSERT_TRUE(redefined);
    ASSERT_NE(result, kNoCell);
    EXPECT_EQ(CellAt(result).l, 4); // the old body ran to its end
    Release(result);
    EXPECT_EQ(Var("f(1)"), "0");
}

// Opening refuses templates and unreadable files, and restores what a layout names, skipping
// windows beyond the template and sections that are missing.
TEST_F(DocTest, OpeningRefusesBadFilesAndRestoresWhatTheLayoutCan) {
    Write("cwd/t.tml", "[Description]\n");
    Write("cwd/dir.tvd/");
    Write("cwd/p.png", std::string("\x89PNG\r\n\x1a\n\0\0", 10));
    const std::pair<const char*, std::string> rows[] = {
        {"t.tml", doctext::kTemplateAsDocument},
        {"dir.tvd", doctext::kFailedToOpen},
        {"p.png", "The file p.png is not a Tivane document."}};
    for (const auto& [name, refusal] : rows) {
        ui.boxes.clear();
        EXPECT_FALSE(CTivaneDoc(ui, Context()).OpenDocument(name)) << name;
        EXPECT_EQ(ui.Texts(), std::vector<std::string>{refusal});
    }
    // Window sections: 9999 (the main input's placement), 4 (no such view), 1, 0; then a
    // count far beyond the sections that exist.
    Model("in", kTwoViews,
          "[Description]\nNoOfWindows=100000\nTemplateFile=model.tml\n"
          "[Window0]\nWindowType=9999\nWindowPlacement=0,3,-1,-1,-1,-1,1,2,3,4\n"
          "[Window1]\nWindowType=4\n[Window2]\nWindowType=1\n[Window3]\nWindowType=0\n"
          "[Window4]\nWindowType=-1\n");
    Open();
    ASSERT_EQ(doc->Views().size(), 3u);
    EXPECT_EQ(doc->Views()[0]->ViewIndex(), kMainInputIndex);
    EXPECT_EQ(doc->Views()[1]->Kind(), ViewKind::Graphics); // Window2
    EXPECT_EQ(doc->Views()[2]->ViewIndex(), 0);             // Window3
    EXPECT_EQ(doc->MainInputView()->Surface().Text(), "in");
    // The setup-text files of the restored windows are missing: each is reported.
    EXPECT_EQ(ui.Count("Could not open the file"), 2);
}

// A damaged picture is not loaded and is kept through saves until the picture changes; then
// empty windows delete their contents files.
TEST_F(DocTest, ADamagedPictureSurvivesSavesUntilThePictureChanges) {
    Model("", kTwoViews, kBothWindows);
    const std::string damaged("\x05\x00\x00\x00\x01\x01", 6); // five items, one byte of codes
    Write("cwd/model.vs2", damaged);
    Write("cwd/model.vs1", "stale");
    Write("cwd/model.vw1 cwd/model.vw2", "");
    Open();
    EXPECT_EQ(ui.Texts().size(), 1u);
    EXPECT_EQ(ui.Count("model.vs2 is damaged"), 1);
    EXPECT_EQ(dynamic_cast<CTivaneGraph&>(*doc->Views()[2]).List().Count(), 0);
    ASSERT_TRUE(doc->OnSaveDocument(doc->PathName()));
    EXPECT_EQ(ReadFile("model.vs2"), damaged);
    EXPECT_EQ(ReadFile("model.vs1"), "stale");
    doc->ClearAll();
    ASSERT_TRUE(doc->OnSaveDocument(doc->PathName()));
    EXPECT_FALSE(fs::exists(root + "/cwd/model.vs1") || fs::exists(root + "/cwd/model.vs2"));
}

TEST_F(DocTest, AnEndlessDrawingLoopEndsWithNotEnoughMemory) {
    Model("", kTwoViews, LayoutOf({1}));
    Write("cwd/main.prg", "EXECVIEWTEMPLATES(0); done := 1");
    Write("cwd/graph.prg", "i := 0; WHILE({1}, {i := 1 - i; LINETO(i * 20000, 100)})");
    Write("cwd/model.vw0", "");
    Open();
    const size_t used = Pool().BytesUsed(), limit = Pool().ByteLimit();
    Pool().SetByteLimit(used + (size_t{1} << 20));
    doc->Execute();
    Pool().SetByteLimit(limit);
    EXPECT_EQ(ui.Count("Not enough memory."), 1);
    EXPECT_EQ(Var("done"), "1"); // the view's failure is its own
    EXPECT_GT(dynamic_cast<CTivaneGraph&>(*doc->Views()[1]).List().Count(), 100000);
    doc.reset();
    EXPECT_EQ(Pool().BytesUsed(), used);
}

// A report's details point into the text the user wrote: its name, the line and column, that
// line and a caret; a call lists the caller's place first, then the body's.
TEST_F(DocTest, ErrorDetailsPointAtTheLineTheUserWrote) {
    const struct {
        const char *input, *mainProgram, *viewProgram, *compute, *details;
    } rows[] = {
        // clang-format off
        {"dt := 0.1;\ndt = abc", "", "", "", "Main input, line 2, column 4:\ndt = abc\n   ^\n"},
        {"", "a := 1;\nb := \"x\" + a", "", "", "Main program file main.prg, line 2, column 10:\nb := \"x\" + a\n         ^\n"},
        {"", "EXECVIEWTEMPLATES(0)", "u := 2;  1 + \"a\"", "", "View program file text.prg, line 1, column 12:\nu := 2;  1 + \"a\"\n           ^\n"},
        {"v := 1", "", "", "v *", "Compute Expression, line 1, column 4:\nv *\n   ^\n"},
        {"f(x) := {\n  x + \"s\"\n};\nf(2)", "", "", "", "Main input, line 4, column 1:\nf(2)\n^\n\nMain input, line 2, column 5:\n  x + \"s\"\n    ^\n"},
        {"x := \"s\";\nEXECUTE(\"1 +\n 2 + x\")", "", "", "", "Main input, line 2, column 1:\nEXECUTE(\"1 +\n^\n\nText run by EXECUTE, line 2, column 4:\n 2 + x\n   ^\n"},
        // clang-format on
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.details);
        std::string templ = kOneText;
        if (!*r.mainProgram) templ.erase(templ.find("Main"), 29); // the main input runs
        Model(r.input, templ, LayoutOf({9999, 0}));
        Write("cwd/main.prg", r.mainProgram);
        Write("cwd/text.prg", r.viewProgram);
        OpenAndExecute();
        if (*r.compute) {
            ui.inputs = {r.compute};
            doc->ComputeExpression();
        }
        ASSERT_FALSE(ui.boxes.empty());
        EXPECT_EQ(ui.boxes.back().details, r.details) << ui.boxes.back().text;
        doc.reset();
    }
}

} // namespace
} // namespace tivane::testing
