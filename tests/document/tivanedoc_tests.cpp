// The document without a window: Execute, Stop, Compute Expression, the guards, the runs that
// happen inside a message pass, and the layout and side files on restore and save.

#include <gtest/gtest.h>

#include <filesystem>

#include "docfixture.h"
#include "errors.h"
#include "inifile.h"
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

TEST_F(DocTest, ExecuteRunsTheMainInputAndComputeExpressionSeesItsVariables) {
    Model("v := 6 * 7", "[Description]\nNoOfViews=0\n", kOwnLayout);
    Open();
    EXPECT_EQ(doc->Views().size(), 1u);
    EXPECT_TRUE(doc->UpdateViews() && doc->ExecViewTemplates() && doc->ForAllViews("f"));
    ui.inputs = {"v + 1"};
    doc->ComputeExpression(); // before any Execute: nothing at all
    EXPECT_EQ(ui.inputs.size(), 1u);
    doc->Execute();
    EXPECT_EQ(ui.looks, (std::vector<bool>{true, false}));
    EXPECT_EQ(CTivaneDoc::RunningCount(), 0);
    doc->ComputeExpression(); // a failing one is a row of the error details' test
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "The program returned:\n43");
    EXPECT_EQ(ui.boxes[0].icon, MessageIcon::None);
    EXPECT_FALSE(doc->Running());
}

// default.prg runs in the main interpreter Execute made, after it is in place: views it
// starts hang from that interpreter, and starting them makes no second main interpreter.
TEST_F(DocTest, ADefaultProgramThatStartsTheViewsRunsInTheNewMainInterpreter) {
    // default.prg, main.prg, view programs run (counted in the main interpreter).
    const std::tuple<const char*, const char*, const char*> rows[] = {
        {"starts := 0; EXECVIEWTEMPLATES(0)", "EXECVIEWTEMPLATES(0)", "4"},
        {"starts := 0; EXECVIEWTEMPLATES(0)", "1", "2"}};
    for (const auto& [defaultProgram, mainProgram, starts] : rows) {
        SCOPED_TRACE(defaultProgram);
        Model("", kTwoViews, kBothWindows);
        Write("cwd/default.prg", defaultProgram);
        Write("cwd/defaultt.prg cwd/defaultg.prg", "");
        Write("cwd/main.prg", mainProgram);
        Write("cwd/text.prg cwd/graph.prg", "starts := starts + 1");
        OpenAndExecute(false);
        EXPECT_EQ(ui.Texts(), std::vector<std::string>{});
        EXPECT_EQ(Var("starts"), starts);
        for (size_t k = 1; k < doc->Views().size(); ++k)
            EXPECT_EQ(doc->Views()[k]->Interpreter()->parent, doc->MainContext());
        doc.reset();
    }
}

// Execute while running asks: Cancel leaves the run going, Ok stops it with one report, also
// when the stop lands in the default program (looping on j).
TEST_F(DocTest, ExecuteWhileRunningAsksAndOkStopsTheRunWithOneReport) {
    for (const char* loop : {"i", "j"}) {
        SCOPED_TRACE(loop);
        Model(kLoop, "", "");
        Write("cwd/default.prg", *loop == 'j' ? "j := 0; WHILE({j < 10000000}, {j := j + 1})" : "");
        Open().SetBare(false);
        ui.boxes.clear();
        ui.answers = {Answer::Cancel, Answer::Ok};
        int asked = 0;
        ui.everyPump = [&] {
            if (doc->Running() && asked++ < 2) doc->Execute(); // the second Execute asks
        };
        SetRunCounter(1); // the first message pass comes inside the loop
        doc->Execute();
        EXPECT_EQ(ui.Count("The program is still executing the template.\nDo you want to stop it?"),
                  2);
        EXPECT_EQ(ui.Count("User stopped execution."), 1);
        EXPECT_EQ(ui.boxes.back().help, kHelpLanguageError + ERR_USER_STOP);
        EXPECT_LT(std::stoi(Var(loop)), 10000000);
        EXPECT_FALSE(doc->StopRequested());
        ui.everyPump = nullptr;
    }
}

// A Stop must survive a view's run that starts in the same message pass (that run clears the
// error fields when it starts); a view that fails in a message pass reports it, drops its
// update, and the main program goes on.
TEST_F(DocTest, AViewRunInAMessagePassKeepsTheStopAndItsOwnFailure) {
    for (const bool stop : {true, false}) {
        SCOPED_TRACE(stop ? "stop" : "failing view");
        Model("", kOneText, LayoutOf({9999, 0}));
        Write("cwd/main.prg",
              std::string("EXECVIEWTEMPLATES(0); r := 5; ") + (stop ? kLoop : "DISPLAYVIEW(0)"));
        Write("cwd/text.prg", stop ? "ONUPDATE({u := 1})" : "ONUPDATE({1 + \"a\"})");
        Open();
        bool ran = false;
        ui.everyPump = [&] {
            if (!doc->Running()) return;
            CViewBase& view = *doc->Views()[1];
            if (view.UpdateProgram() == kNoCell || std::exchange(ran, true)) return;
            if (stop) doc->RequestStop();
            EXPECT_EQ(view.RunUpdateProgram(), stop);
        };
        doc->Execute();
        ASSERT_TRUE(ran);
        EXPECT_EQ(ui.Count("User stopped execution."), stop ? 1 : 0);
        EXPECT_EQ(ui.Count("Invalid type."), stop ? 0 : 1);
        EXPECT_EQ(Var("r"), "5");
        EXPECT_TRUE(!stop || std::stoi(Var("i")) < 10000000);
        EXPECT_EQ(doc->Views()[1]->UpdateProgram() == kNoCell, !stop);
        ui.everyPump = nullptr;
        doc.reset();
        ui.boxes.clear();
    }
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

// The report's own message pass runs another program, which clears the error fields.
TEST_F(DocTest, AnErrorReportKeepsItsListingWhenItsMessagePassRunsAProgram) {
    Model("x := 1; x + \"a\"", "", "");
    Open();
    ui.everyPump = [&] {
        if (!doc->Running() || !doc->MainContext()) return;
        const CellIndex p = Compile(*doc->MainContext(), "z := 5");
        Release(tivane::Run(*doc->MainContext(), p));
        Release(p);
    };
    doc->Execute();
    ASSERT_EQ(ui.Count("Invalid type."), 1);
    EXPECT_NE(ui.boxes[0].text.find("x+#\"a\""), std::string::npos) << ui.boxes[0].text;
    EXPECT_EQ(ui.boxes[0].help, kHelpLanguageError + ERR_INVALID_TYPE);
}

TEST_F(DocTest, ChangeTemplateAsksAndWritesTheNewOneIntoTheLayout) {
    Model("", kTwoViews, kOwnLayout);
    Write("cwd/other.tml", "[Description]\nNoOfViews=0\nDescriptionText=Other views\n");
    Open();
    ui.inputs = {root + "/cwd/other.tml", root + "/cwd/other.tml"}; // the template chosen
    EXPECT_FALSE(doc->ChangeTemplate());
    EXPECT_NE(ui.boxes.at(0).text.find("this document.\nOther views\nFor the changes"),
              std::string::npos);
    EXPECT_EQ(ui.boxes.at(1).text, "Template has not been changed.");
    EXPECT_EQ(doc->Template().viewCount, 2);
    ui.answers = {Answer::Ok};
    EXPECT_TRUE(doc->ChangeTemplate());
    EXPECT_EQ(doc->Template().viewCount, 0);
    const auto layout = IniFile::Load(root + "/cwd/model.ini");
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->GetString("Description", "TemplateFile", "", 200), root + "/cwd/other.tml");
}

// Opening refuses templates and unreadable files, needs no layout, and restores what a layout
// names, skipping windows beyond the template and sections that are missing.
TEST_F(DocTest, OpeningRefusesBadFilesAndRestoresWhatTheLayoutCan) {
    Write("cwd/t.tml", "[Description]\n");
    Write("cwd/dir.tvd/");
    Write("cwd/p.png", std::string("\x89PNG\r\n\x1a\n\0\0", 10));
    const std::pair<const char*, std::string> rows[] = {
        {"t.tml", doctext::kTemplateAsDocument},
        {"T.TmL", doctext::kTemplateAsDocument},
        {"absent.tvd", doctext::kFailedToOpen},
        {"dir.tvd", doctext::kFailedToOpen},
        {"p.png", "The file p.png is not a Tivane document."}};
    for (const auto& [name, refusal] : rows) {
        ui.boxes.clear();
        EXPECT_FALSE(CTivaneDoc(ui, Context()).OpenDocument(name)) << name;
        EXPECT_EQ(ui.Texts(), std::vector<std::string>{refusal});
    }
    Write("cwd/lone.tvd", "x\r\ny\n");
    Open("lone.tvd");
    ASSERT_EQ(doc->Views().size(), 1u);
    EXPECT_EQ(doc->MainInput(), "x\r\ny\n");
    EXPECT_EQ(doc->Template().templateFileName, "DEFAULT.TML");
    ui.boxes.clear();
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
    EXPECT_EQ(doc->Views()[0]->Surface().Placement(),
              (WindowPlacement{0, 3, -1, -1, -1, -1, 1, 2, 3, 4}));
    EXPECT_EQ(doc->MainInputView()->Surface().Text(), "in");
    EXPECT_EQ(dynamic_cast<HeadlessSurface&>(doc->Views()[1]->Surface()).Caption(),
              "Plot - model.tvd");
    // The setup-text files of the restored windows are missing: each is reported.
    EXPECT_EQ(ui.Count("Could not open the file"), 2);
}

TEST_F(DocTest, ExecuteWithViewsAndTheirUpdatesThenSaveAndReopen) {
    Model("3", kTwoViews, kBothWindows);
    Write("cwd/main.prg", "n := ATOL(GETCONFIG(0)); EXECVIEWTEMPLATES(0); i := 0;"
                          "WHILE({i < n}, {i := i + 1; UPDATEVIEWS(0)}); SETCONFIG(\"done\")");
    Write("cwd/text.prg", "ONUPDATE({PRINTF(\"%ld\", i); PRINTF(\"%s\", CHR(13))})");
    Write("cwd/graph.prg", "CLEARVIEW(0); CHANGEFONT(\"DejaVu Sans\", 10, 1); MOVETO(0, 0);"
                           "ONUPDATE({LINETO(i * 1000, i * 500)}); SETCONFIG(\"graph setup\")");
    OpenAndExecute();
    ASSERT_EQ(doc->Views().size(), 3u);
    ASSERT_EQ(ui.Texts(), std::vector<std::string>{});
    // The document's order is that of the window sections.
    const std::string picture = dynamic_cast<CTivaneGraph&>(*doc->Views()[2]).List().Serialize();
    EXPECT_TRUE(doc->IsModified());
    ASSERT_TRUE(doc->OnSaveDocument(doc->PathName()));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(ReadFile("model.tvd"), "done");
    Open();
    ASSERT_EQ(doc->Views().size(), 3u);
    auto& graph = dynamic_cast<CTivaneGraph&>(*doc->Views()[2]);
    EXPECT_EQ(graph.List().Serialize(), picture);
    EXPECT_EQ(graph.SetupText(), "graph setup");
    EXPECT_EQ(doc->Views()[1]->Surface().Text(), "1\r\n2\r\n3\r\n");
    EXPECT_EQ(ui.Texts(), std::vector<std::string>{});
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

TEST_F(DocTest, AFailedSaveLeavesThePreviousFilesWholeAndSaveAsRenames) {
    Model("old", "", kOwnLayout);
    Open();
    doc->MainInputView()->Surface().SetText("new");
    // A directory where the layout file should go: nothing can be renamed over it.
    fs::remove(root + "/cwd/model.ini");
    Write("cwd/model.ini/");
    EXPECT_FALSE(doc->OnSaveDocument(doc->PathName()));
    EXPECT_EQ(ui.boxes.back().text, "Failed to save document. Could not write " + root +
                                        "/cwd/model.ini: Is a directory.");
    EXPECT_EQ(ReadFile("model.tvd"), "old");
    ASSERT_TRUE(doc->OnSaveDocument(root + "/cwd/copy.tvd"));
    EXPECT_EQ(ReadFile("copy.tvd"), "new");
    const auto layout = IniFile::Load(root + "/cwd/copy.ini");
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->GetString("Window0", "WindowType", "", 9), "9999");
    EXPECT_EQ(dynamic_cast<HeadlessSurface&>(doc->Views()[0]->Surface()).Caption(),
              "Main Input - copy.tvd");
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
        {"Y := \"A  B\" */ 2", "", "", "", "Main input, line 1, column 14:\nY := \"A  B\" */ 2\n             ^\n"},
        {"a := 1;\nb := 2;\n\tc := a / \"x\"", "", "", "", "Main input, line 3, column 9:\n\tc := a / \"x\"\n\t       ^\n"},
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
