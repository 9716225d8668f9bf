// The document without a window: Execute, Stop, Compute Expression, the guards, the runs that
// happen inside a message pass, and the layout and side files on restore and save.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "cellpool.h"
#include "compiler.h"
#include "docfixture.h"
#include "errors.h"
#include "evaluator.h"
#include "format.h"
#include "inifile.h"
#include "tivanedoc.h"
#include "tivanegraph.h"
#include "tivaneview.h"

namespace tivane::testing {
namespace {

constexpr const char* kTwoViews = "[Description]\nNoOfViews=2\nMainProgramFileName=main.prg\n"
                                  "[View0]\nProgramFileName=text.prg\nTitleText=Table\n"
                                  "[View1]\nProgramFileName=graph.prg\nTitleText=Plot\n"
                                  "TypeOfView=2\n";
constexpr const char* kBothWindows = "[Description]\nNoOfWindows=3\nTemplateFile=model.tml\n"
                                     "[Window0]\nWindowType=9999\n[Window1]\nWindowType=0\n"
                                     "[Window2]\nWindowType=1\n";

TEST_F(DocTest, ExecuteRunsTheMainInputWithoutAMainProgramAndSwitchesTheLook) {
    Model("a := 6 * 7", "[Description]\nNoOfViews=0\n", "[Description]\nTemplateFile=model.tml\n");
    Open();
    EXPECT_EQ(doc->Views().size(), 1u);
    doc->Execute();
    EXPECT_EQ(Var("a"), "42");
    EXPECT_EQ(ui.looks, (std::vector<bool>{true, false}));
    EXPECT_FALSE(doc->Running());
    EXPECT_EQ(CTivaneDoc::RunningCount(), 0);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(DocTest, ExecuteTheMainProgramWithItsViewsAndTheirUpdates) {
    Model("3", kTwoViews, kBothWindows);
    Write("cwd/main.prg", "n := ATOL(GETCONFIG(0)); EXECVIEWTEMPLATES(0); i := 0;"
                          "WHILE({i < n}, {i := i + 1; UPDATEVIEWS(0)}); SETCONFIG(\"done\")");
    Write("cwd/text.prg", "ONUPDATE({PRINTF(\"%ld\", i); PRINTF(\"%s\", CHR(13))})");
    Write("cwd/graph.prg", "CLEARVIEW(0); MOVETO(0, 0); ONUPDATE({LINETO(i * 1000, i * 500)})");
    Open();
    ASSERT_EQ(doc->Views().size(), 3u);
    ui.boxes.clear(); // the windows' missing setup files
    doc->Execute();
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes.front().text;
    // The document's order is that of the window sections.
    auto& text = dynamic_cast<CTivaneView&>(*doc->Views()[1]);
    auto& graph = dynamic_cast<CTivaneGraph&>(*doc->Views()[2]);
    EXPECT_EQ(text.Surface().Text(), "1\r\n2\r\n3\r\n");
    // Defaults (5 items), the move and three lines.
    EXPECT_EQ(graph.List().Count(), 5 + 1 + 3);
    EXPECT_EQ(doc->MainInput(), "done");
    EXPECT_EQ(doc->MainInputView()->Surface().Text(), "done");
    EXPECT_TRUE(doc->IsModified());
}

// default.prg runs in the main interpreter Execute made, after it is in place: views it
// starts hang from that interpreter, and starting them makes no second main interpreter.
TEST_F(DocTest, ADefaultProgramThatStartsTheViewsRunsInTheNewMainInterpreter) {
    struct Row {
        const char* defaultProgram;
        const char* mainProgram;
        const char* starts; // view programs run, counted in the main interpreter
    };
    const Row rows[] = {
        {"starts := 0; EXECVIEWTEMPLATES(0)", "EXECVIEWTEMPLATES(0)", "4"},
        {"starts := 0; EXECVIEWTEMPLATES(0)", "1", "2"},
        {"starts := 0; EXECVIEWTEMPLATES(0); EXECVIEWTEMPLATES(0)", "1", "4"},
        {"starts := 0", "EXECVIEWTEMPLATES(0)", "2"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.defaultProgram);
        Model("", kTwoViews, kBothWindows);
        Write("cwd/default.prg", row.defaultProgram);
        Write("cwd/defaultt.prg", "");
        Write("cwd/defaultg.prg", "");
        Write("cwd/main.prg", row.mainProgram);
        Write("cwd/text.prg", "starts := starts + 1");
        Write("cwd/graph.prg", "starts := starts + 1");
        Open();
        doc->SetBare(false);
        ui.boxes.clear(); // the windows' missing setup files
        doc->Execute();
        EXPECT_TRUE(ui.boxes.empty()) << ui.boxes.front().text;
        EXPECT_EQ(Var("starts"), row.starts);
        for (size_t k = 1; k < doc->Views().size(); ++k)
            EXPECT_EQ(doc->Views()[k]->Interpreter()->parent, doc->MainContext());
        doc.reset();
    }
}

TEST_F(DocTest, ExecuteWhileRunningAsksAndOkStopsTheRunWithOneReport) {
    Model("i := 0; WHILE({i < 10000000}, {i := i + 1}); i", "", "");
    Open();
    ui.answers = {Answer::Ok};
    bool asked = false;
    ui.everyPump = [&] {
        if (doc->Running() && !asked) {
            asked = true;
            doc->Execute(); // the second Execute asks whether to stop
        }
    };
    SetRunCounter(1); // the first message pass comes inside the loop
    doc->Execute();
    EXPECT_EQ(CountBoxes("The program is still executing the template.\nDo you want to stop it?"),
              1);
    EXPECT_EQ(CountBoxes("User stopped execution."), 1);
    EXPECT_EQ(ui.boxes.back().help, kHelpLanguageError + ERR_USER_STOP);
    EXPECT_LT(std::stoi(Var("i")), 10000000);
    EXPECT_FALSE(doc->StopRequested());
}

TEST_F(DocTest, AStopThatLandsInADefaultProgramIsReportedOnce) {
    Model("i := 0; WHILE({i < 10000000}, {i := i + 1}); i", "", "");
    Write("cwd/default.prg", "j := 0; WHILE({j < 10000000}, {j := j + 1})");
    Open().SetBare(false);
    ui.everyPump = [&] {
        if (doc->Running()) doc->RequestStop();
    };
    SetRunCounter(1);
    doc->Execute();
    EXPECT_EQ(CountBoxes("User stopped execution."), 1);
}

TEST_F(DocTest, CancelLeavesTheRunGoing) {
    Model("i := 0; WHILE({i < 20000}, {i := i + 1}); i", "", "");
    Open();
    ui.answers = {Answer::Cancel};
    bool asked = false;
    ui.everyPump = [&] {
        if (doc->Running() && !asked) {
            asked = true;
            doc->Execute();
        }
    };
    doc->Execute();
    EXPECT_TRUE(asked);
    EXPECT_EQ(Var("i"), "20000");
    EXPECT_EQ(CountBoxes("User stopped"), 0);
}

// A Stop must survive a view's run that starts in the same message pass: that run clears
// the error fields when it starts.
TEST_F(DocTest, AStopSurvivesAViewRunStartedDuringTheMessagePass) {
    Model("",
          "[Description]\nNoOfViews=1\nMainProgramFileName=main.prg\n[View0]\n"
          "ProgramFileName=text.prg\n",
          "[Description]\nNoOfWindows=2\nTemplateFile=model.tml\n[Window0]\nWindowType=9999\n"
          "[Window1]\nWindowType=0\n");
    Write("cwd/main.prg", "EXECVIEWTEMPLATES(0); i := 0; WHILE({i < 10000000}, {i := i + 1}); i");
    Write("cwd/text.prg", "ONUPDATE({u := 1})");
    Open();
    bool stopped = false;
    ui.everyPump = [&] {
        auto& view = *doc->Views()[1];
        if (doc->Running() && view.UpdateProgram() != kNoCell && !stopped) {
            stopped = true;
            doc->RequestStop();
            EXPECT_TRUE(doc->UpdateViews());
        }
    };
    doc->Execute();
    ASSERT_TRUE(stopped);
    EXPECT_LT(std::stoi(Var("i")), 10000000);
    EXPECT_EQ(CountBoxes("User stopped execution."), 1);
}

// A function redefined during the message pass at the start of its own body's run.
TEST_F(DocTest, AFunctionBodyRedefinedDuringItsOwnRunStaysAlive) {
    Model("f(x) := {y := x + 1; y * 2}; 0", "", "");
    Open();
    doc->Execute();
    CInterpreter& in = *doc->MainContext();
    const CellIndex call = Compile(in, "f(1)");
    ASSERT_NE(call, kNoCell);
    bool redefined = false;
    ui.everyPump = [&] {
        if (redefined) return;
        redefined = true;
        const CellIndex p = Compile(in, "f(x) := {0}");
        const CellIndex r = tivane::Run(in, p);
        Release(p);
        Release(r);
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
        CInterpreter& in = *doc->MainContext();
        const CellIndex p = Compile(in, "z := 5");
        Release(tivane::Run(in, p));
        Release(p);
    };
    doc->Execute();
    ASSERT_EQ(CountBoxes("Invalid type."), 1);
    const Box& box = ui.boxes.front();
    EXPECT_NE(box.text.find("x+#\"a\""), std::string::npos) << box.text;
    EXPECT_EQ(box.help, kHelpLanguageError + ERR_INVALID_TYPE);
}

// A view that fails during a message pass reports it; the main program goes on.
TEST_F(DocTest, AViewFailingDuringAMessagePassDoesNotStopTheMainRun) {
    Model("",
          "[Description]\nNoOfViews=1\nMainProgramFileName=main.prg\n[View0]\n"
          "ProgramFileName=text.prg\n",
          "[Description]\nNoOfWindows=2\nTemplateFile=model.tml\n[Window1]\nWindowType=0\n"
          "[Window0]\nWindowType=9999\n");
    Write("cwd/main.prg", "EXECVIEWTEMPLATES(0); DISPLAYVIEW(0); r := 5");
    Write("cwd/text.prg", "ONUPDATE({1 + \"a\"})");
    Open();
    bool ran = false;
    ui.everyPump = [&] {
        auto& view = *doc->Views()[1];
        if (doc->Running() && view.UpdateProgram() != kNoCell && !ran) {
            ran = true;
            EXPECT_FALSE(view.RunUpdateProgram());
        }
    };
    doc->Execute();
    ASSERT_TRUE(ran);
    EXPECT_EQ(CountBoxes("Invalid type."), 1);
    EXPECT_EQ(Var("r"), "5");
    EXPECT_EQ(doc->Views()[1]->UpdateProgram(), kNoCell); // the failed update is dropped
}

TEST_F(DocTest, GuardsRefuseWhileACommandRunsOrPassesMessages) {
    Model("DISPLAYVIEW(0)", "", "");
    struct Guard {
        std::function<bool()> act; // true when allowed
        const char* message;
    };
    const std::vector<Guard> guards = {
        {[&] { return doc->CanCloseFrame(); }, doctext::kCloseWindowRunning},
        {[&] { return doc->CanCloseDocument(); }, doctext::kCloseDocumentRunning},
        {[&] {
             doc->ClearAll();
             return false;
         },
         doctext::kClearRunning},
        {[&] { return doc->ChangeTemplate(); }, doctext::kChangeTemplateRunning},
    };
    // Each pass that can bring a command: restoring the layout, the run itself, and the
    // last pass after the run ended, where the document is no longer running.
    std::string command = "restore";
    std::map<std::string, std::vector<bool>> allowed;
    ui.everyPump = [&] {
        const std::string phase = doc->Running() ? "run" : command == "run" ? "end" : command;
        if (!allowed[phase].empty()) return;
        for (const Guard& g : guards)
            allowed[phase].push_back(g.act());
    };
    Open();
    command = "run";
    doc->Execute();
    ASSERT_EQ(allowed.size(), 3u);
    for (const auto& [phase, answers] : allowed) {
        ASSERT_EQ(answers.size(), guards.size()) << phase;
        for (size_t k = 0; k < guards.size(); ++k)
            EXPECT_FALSE(answers[k]) << phase << ": " << guards[k].message;
    }
    for (const Guard& g : guards)
        EXPECT_EQ(CountBoxes(g.message), 3) << g.message;
    for (const Box& b : ui.boxes)
        EXPECT_EQ(b.icon, MessageIcon::Stop);
    ui.boxes.clear();
    ui.everyPump = nullptr;
    EXPECT_TRUE(doc->CanCloseFrame());
    EXPECT_TRUE(doc->CanCloseDocument());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(DocTest, OneRunAtATimeOverAllDocuments) {
    Model("i:=0; WHILE({i<20000}, {i:=i+1}); i", "", "");
    CTivaneDoc& first = Open();
    CTivaneDoc second(ui, Context());
    second.SetBare(true);
    ASSERT_TRUE(second.OpenDocument("model.tvd"));
    second.RestoreLayout();
    second.Execute();
    bool tried = false;
    ui.everyPump = [&] {
        if (!first.Running() || std::exchange(tried, true)) return;
        second.Execute();
        ui.inputs = {"1"};
        second.ComputeExpression();
        EXPECT_FALSE(second.Running());
    };
    first.Execute();
    ui.everyPump = nullptr;
    EXPECT_EQ(CountBoxes(doctext::kAnotherRunning), 2);
    EXPECT_EQ(ui.inputs.size(), 1u) << "the refused Compute Expression asked for a program";
    EXPECT_EQ(second.ReportedErrors() + first.ReportedErrors(), 0);
    EXPECT_EQ(Var("i"), "20000");
}

TEST_F(DocTest, ComputeExpressionSeesTheMainProgramsVariables) {
    Model("v := 20", "", "");
    Open();
    ui.inputs = {"v + 1"};
    doc->ComputeExpression(); // before any Execute: nothing at all
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ui.inputs.size(), 1u);
    doc->Execute();
    doc->ComputeExpression();
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "The program returned:\n21");
    EXPECT_EQ(ui.boxes[0].icon, MessageIcon::None);
    ui.inputs = {"1 +"};
    doc->ComputeExpression();
    EXPECT_EQ(CountBoxes("Operand expected."), 1);
    EXPECT_FALSE(doc->Running());
}

TEST_F(DocTest, ChangeTemplateCancelledChangesNothing) {
    Model("", kTwoViews, "[Description]\nTemplateFile=model.tml\n");
    Write("cwd/other.tml", "[Description]\nNoOfViews=0\nDescriptionText=Other views\n");
    Open();
    const std::string templ = doc->Template().templateFileName;
    ui.chosenTemplate = root + "/cwd/other.tml";
    EXPECT_FALSE(doc->ChangeTemplate());
    EXPECT_NE(ui.boxes.at(0).text.find("this document.\nOther views\nIn order"), std::string::npos);
    EXPECT_EQ(ui.boxes.at(1).text, "Template has not been changed.");
    EXPECT_EQ(doc->Template().templateFileName, templ);
    ui.answers = {Answer::Ok};
    EXPECT_TRUE(doc->ChangeTemplate());
    EXPECT_EQ(doc->Template().viewCount, 0);
    const auto layout = IniFile::Load(root + "/cwd/model.ini");
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->GetString("Description", "TemplateFile", "", 200), root + "/cwd/other.tml");
}

TEST_F(DocTest, RestoreSkipsWindowsBeyondTheTemplateAndMissingSections) {
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
    EXPECT_EQ(doc->Views()[1]->ViewIndex(), 1); // Window2
    EXPECT_EQ(doc->Views()[1]->Kind(), ViewKind::Graphics);
    EXPECT_EQ(doc->Views()[2]->ViewIndex(), 0); // Window3
    EXPECT_EQ(doc->Views()[0]->Surface().Placement(),
              (WindowPlacement{0, 3, -1, -1, -1, -1, 1, 2, 3, 4}));
    EXPECT_EQ(doc->MainInputView()->Surface().Text(), "in");
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(dynamic_cast<HeadlessSurface&>(doc->Views()[0]->Surface()).Caption(),
              "Main Input - model.tvd");
    EXPECT_EQ(dynamic_cast<HeadlessSurface&>(doc->Views()[1]->Surface()).Caption(),
              "Plot - model.tvd");
    // The setup-text files of the restored windows are missing: each is reported.
    EXPECT_EQ(CountBoxes("Could not open the file"), 2);
}

TEST_F(DocTest, AMissingLayoutOpensTheMainInputAlone) {
    Write("cwd/lone.tvd", "x\r\ny\n");
    Open("lone.tvd");
    ASSERT_EQ(doc->Views().size(), 1u);
    EXPECT_EQ(doc->MainInput(), "x\r\ny\n");
    EXPECT_EQ(doc->Template().templateFileName, "DEFAULT.TML");
}

TEST_F(DocTest, OpeningRefusesTemplatesAndUnreadableFiles) {
    Write("cwd/t.tml", "[Description]\n");
    Write("cwd/dir.tvd/");
    struct Row {
        const char* name;
        const char* message;
    };
    for (const Row& row :
         {Row{"t.tml", doctext::kTemplateAsDocument}, Row{"T.TmL", doctext::kTemplateAsDocument},
          Row{"absent.tvd", doctext::kFailedToOpen}, Row{"dir.tvd", doctext::kFailedToOpen}}) {
        ui.boxes.clear();
        CTivaneDoc d(ui, Context());
        EXPECT_FALSE(d.OpenDocument(row.name)) << row.name;
        ASSERT_EQ(ui.boxes.size(), 1u) << row.name;
        EXPECT_EQ(ui.boxes[0].text, row.message) << row.name;
    }
}

TEST_F(DocTest, SaveAndReopenGiveTheSameDrawListsSetupTextsAndText) {
    Model("2", kTwoViews, kBothWindows);
    Write("cwd/main.prg", "EXECVIEWTEMPLATES(0); UPDATEVIEWS(0)");
    Write("cwd/text.prg", "PRINTF(\"%s\", \"line\" + CHR(10))");
    Write("cwd/graph.prg", "CLEARVIEW(0); CHANGEFONT(\"DejaVu Sans\", 10, 1); MOVETO(10, 10);"
                           "LINETO(2000, 3000); PRINT(\"label\"); SETCONFIG(\"graph setup\")");
    Open();
    ui.boxes.clear(); // the windows' missing setup files
    doc->Execute();
    ASSERT_TRUE(ui.boxes.empty()) << ui.boxes.front().text;
    auto& text = dynamic_cast<CTivaneView&>(*doc->Views()[1]);
    auto& graph = dynamic_cast<CTivaneGraph&>(*doc->Views()[2]);
    const std::string picture = graph.List().Serialize();
    ASSERT_TRUE(doc->OnSaveDocument(doc->PathName()));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(ReadFile("model.vs2"), picture);
    EXPECT_EQ(ReadFile("model.vw2"), "graph setup");
    EXPECT_EQ(ReadFile("model.vs1"), "line\r\n");
    EXPECT_EQ(ReadFile("model.tvd"), "2");
    const std::string shown = text.Surface().Text();

    doc.reset();
    Open();
    ASSERT_EQ(doc->Views().size(), 3u);
    auto& text2 = dynamic_cast<CTivaneView&>(*doc->Views()[1]);
    auto& graph2 = dynamic_cast<CTivaneGraph&>(*doc->Views()[2]);
    EXPECT_EQ(graph2.List().Serialize(), picture);
    EXPECT_EQ(graph2.SetupText(), "graph setup");
    EXPECT_EQ(graph2.Model().Clip(), kDrawArea);
    EXPECT_EQ(text2.Surface().Text(), shown);
    EXPECT_TRUE(ui.boxes.empty()) << ui.boxes.front().text;
}

TEST_F(DocTest, EmptyViewsDeleteTheirContentsFiles) {
    Model("", kTwoViews, kBothWindows);
    Write("cwd/model.vs1", "stale");
    Write("cwd/model.vs2", "stale");
    Write("cwd/model.vw1", "");
    Write("cwd/model.vw2", "");
    Open(); // model.vs1 ("stale") belongs to the text window, model.vs2 to the graphics one
    EXPECT_EQ(CountBoxes("is damaged"), 1);
    doc->ClearAll();
    ASSERT_TRUE(doc->OnSaveDocument(doc->PathName()));
    EXPECT_FALSE(std::filesystem::exists(root + "/cwd/model.vs1"));
    EXPECT_FALSE(std::filesystem::exists(root + "/cwd/model.vs2"));
}

TEST_F(DocTest, ADamagedPictureIsNotLoadedAndSurvivesSavesUntilThePictureChanges) {
    Model("", kTwoViews,
          "[Description]\nNoOfWindows=2\nTemplateFile=model.tml\n[Window0]\nWindowType=9999\n"
          "[Window1]\nWindowType=1\n");
    const std::string damaged("\x05\x00\x00\x00\x01\x01", 6); // five items, one byte of codes
    Write("cwd/model.vs1", damaged);
    Write("cwd/model.vw1", "setup");
    Open();
    EXPECT_EQ(CountBoxes("model.vs1"), 1);
    auto& graph = dynamic_cast<CTivaneGraph&>(*doc->Views()[1]);
    EXPECT_EQ(graph.List().Count(), 0);
    ASSERT_TRUE(doc->OnSaveDocument(doc->PathName()));
    EXPECT_EQ(ReadFile("model.vs1"), damaged);
    graph.ClearView(); // the picture changes: the next save writes it
    ASSERT_TRUE(doc->OnSaveDocument(doc->PathName()));
    EXPECT_EQ(ReadFile("model.vs1"), graph.List().Serialize());
}

TEST_F(DocTest, AFailedSaveLeavesThePreviousFilesWhole) {
    Model("old", "", "[Description]\nTemplateFile=model.tml\n");
    Open();
    doc->MainInputView()->Surface().SetText("new");
    // A directory where the layout file should go: nothing can be renamed over it.
    std::filesystem::remove(root + "/cwd/model.ini");
    Write("cwd/model.ini/");
    EXPECT_FALSE(doc->OnSaveDocument(doc->PathName()));
    EXPECT_EQ(ui.boxes.back().text, "Failed to save document. Could not write " + root +
                                        "/cwd/model.ini: Is a directory.");
    EXPECT_EQ(ReadFile("model.tvd"), "old");
    for (const auto& entry : std::filesystem::directory_iterator(root + "/cwd"))
        EXPECT_EQ(entry.path().string().find(".XXXXXX"), std::string::npos);
}

TEST_F(DocTest, ASaveClearsWhatKilledSavesLeftAndOnlyThat) {
    Model("text", "", "[Description]\nTemplateFile=model.tml\n");
    Write("cwd/.model.tvd.tivane-k1ll3d cwd/.model.vs0.tivane-k1ll3d cwd/.other.tvd.tivane-k1ll3d");
    Open();
    ASSERT_TRUE(doc->OnSaveDocument(doc->PathName()));
    EXPECT_FALSE(std::filesystem::exists(root + "/cwd/.model.tvd.tivane-k1ll3d"));
    EXPECT_FALSE(std::filesystem::exists(root + "/cwd/.model.vs0.tivane-k1ll3d"));
    EXPECT_TRUE(std::filesystem::exists(root + "/cwd/.other.tvd.tivane-k1ll3d"));
}

TEST_F(DocTest, SaveAsWritesTheLayoutOfTheNewName) {
    Model("x", "", "[Description]\nTemplateFile=model.tml\n");
    Open();
    ASSERT_TRUE(doc->OnSaveDocument(root + "/cwd/copy.tvd"));
    EXPECT_EQ(ReadFile("copy.tvd"), "x");
    const auto layout = IniFile::Load(root + "/cwd/copy.ini");
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->GetString("Description", "NoOfWindows", "", 9), "1");
    EXPECT_EQ(layout->GetString("Window0", "WindowType", "", 9), "9999");
    EXPECT_EQ(dynamic_cast<HeadlessSurface&>(doc->Views()[0]->Surface()).Caption(),
              "Main Input - copy.tvd");
}

TEST_F(DocTest, AnEndlessDrawingLoopEndsWithNotEnoughMemory) {
    Model("", kTwoViews,
          "[Description]\nNoOfWindows=1\nTemplateFile=model.tml\n[Window0]\nWindowType=1\n");
    Write("cwd/main.prg", "EXECVIEWTEMPLATES(0); done := 1");
    Write("cwd/graph.prg", "i := 0; WHILE({1}, {i := 1 - i; LINETO(i * 20000, 100)})");
    Write("cwd/model.vw0", "");
    Open();
    const size_t used = Pool().BytesUsed();
    const size_t limit = Pool().ByteLimit();
    Pool().SetByteLimit(used + (size_t{1} << 20));
    doc->Execute();
    Pool().SetByteLimit(limit);
    EXPECT_EQ(CountBoxes("Not enough memory."), 1);
    EXPECT_EQ(Var("done"), "1"); // the view's failure is its own
    const auto& graph = dynamic_cast<CTivaneGraph&>(*doc->Views()[1]);
    EXPECT_GT(graph.List().Count(), 100000);
    doc.reset();
    EXPECT_EQ(Pool().BytesUsed(), used);
}

TEST_F(DocTest, UpdateViewsWithOnlyTheMainInputSucceeds) {
    Model("", "", "");
    Open();
    EXPECT_TRUE(doc->UpdateViews());
    EXPECT_TRUE(doc->ExecViewTemplates());
    EXPECT_TRUE(doc->ForAllViews("f"));
}

} // namespace
} // namespace tivane::testing
