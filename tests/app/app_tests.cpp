// The application's windows under Qt's offscreen platform: documents opened into the main
// window, Execute and Stop through the actions, the running look, the menus, the guards,
// the dialogs (scripted), placement, Save Contents, Save as AVI and help pages.

#include <QMenu>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>

#include "apptest.h"
#include "helpwindow.h"
#include "movierecorder.h"
#include "tivanegraph.h"
#include "tivaneview.h"
#include "widgets.h"

namespace tivane {
namespace {

// A run draws into the graphics window and writes into the text window; the lamp is off
// before and after it. Save Contents takes what the windows show; Ctrl+A in a text window is
// Clear All.
TEST_F(AppTest, ARunFillsTheWindowsWhichSaveAndClear) {
    CTivaneDoc& doc = Open();
    ASSERT_EQ(doc.Views().size(), 3u);
    EXPECT_FALSE(frame->RunningLook());
    Trigger(ID_EXECUTE);
    QApplication::processEvents();
    EXPECT_TRUE(dialogs->boxes.empty()) << dialogs->boxes.front().text;
    EXPECT_FALSE(frame->RunningLook());
    GraphWidget* graph = frame->FrameOf(*doc.Views()[1])->Graph();
    graph->repaint();
    const QImage& picture = graph->Picture();
    ASSERT_FALSE(picture.isNull());
    // The red line from (0, 0) towards (400, 280) in a clip window fitted to the widget.
    const double scale = std::min(picture.width() / 400.0, picture.height() / 300.0);
    // The picture is centred in the window.
    const QPoint mid =
        QPoint(static_cast<int>(200 * scale + 0.5), static_cast<int>(140 * scale + 0.5)) +
        CentredOrigin({0, 0, 400, 300}, picture.size());
    int red = 0;
    for (int d = 0; d < 25; ++d)
        red += picture.pixelColor(mid + QPoint(d % 5 - 2, d / 5 - 2)) == QColor(255, 0, 0);
    EXPECT_GT(red, 0);
    EXPECT_EQ(picture.pixelColor(picture.width() - 2, 2), QColor(Qt::white));
    TextWidget* editor = frame->FrameOf(*doc.Views()[2])->Text();
    EXPECT_EQ(editor->toPlainText().left(6), "1\n2\n3\n");

    // The file's name (from the save dialog), then the size of a picture; the format in the
    // message; how the file begins.
    const std::tuple<int, const char*, const char*, const char*, std::string> rows[] = {
        // clang-format off
        {1, "p.png", "64,48", "PNG", "\x89PNG"},
        {2, "t.txt", "", "text", "1\r\n2\r\n"}};
    // clang-format on
    for (const auto& [view, name, size, kind, start] : rows) {
        SCOPED_TRACE(name);
        dialogs->boxes.clear();
        dialogs->inputs = {root + "/" + name, size};
        Activate(*doc.Views()[view]);
        Trigger(ID_SAVE_CONTENTS);
        EXPECT_EQ(dialogs->Texts(),
                  std::vector<std::string>{std::string("The ") + kind + " file " + root + "/" +
                                           name + " has been saved successfully."});
        EXPECT_EQ(Read(name).substr(0, start.size()), start);
    }

    Activate(*doc.Views()[2]);
    frame->activateWindow();
    editor->setFocus();
    dialogs->answers.push_back(Answer::Ok);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(editor->toPlainText().isEmpty());
    EXPECT_EQ(dynamic_cast<CTivaneGraph&>(*doc.Views()[1]).List().Count(), 0);
}

// The View menu lists the template's views, each of which can be opened twice.
TEST_F(AppTest, TheMenusFollowTheDocumentAndListTheTemplatesViews) {
    CTivaneDoc& doc = Open();
    frame->UpdateMenus();
    QStringList titles;
    for (QAction* a : frame->ViewMenu()->actions())
        titles << a->text();
    EXPECT_EQ(titles.mid(titles.size() - 3),
              (QStringList{"&Main Input", "&0 Table of values", "&1 Phase plane"}));
    frame->Action(static_cast<Command>(ID_VIEW_FIRST + 1))->trigger();
    frame->Action(static_cast<Command>(ID_VIEW_FIRST + 1))->trigger();
    EXPECT_EQ(doc.Views().size(), 5u);
    // Regression: Save as AVI, hidden while a text window was active, came back disabled.
    for (const size_t k : {0, 1, 0, 1}) {
        Activate(*doc.Views()[k]);
        frame->UpdateMenus();
        QAction* avi = frame->Action(ID_SAVE_AVI);
        EXPECT_EQ(avi->isVisible() && avi->isEnabled(), k == 1) << k;
    }
}

TEST_F(AppTest, ConfigureAndComputeExpressionGoThroughTheDialogs) {
    CTivaneDoc& doc = Open();
    Trigger(ID_EXECUTE);
    CViewBase& graph = *doc.Views()[1];
    Activate(graph);
    dialogs->inputs = {"line width 3"};
    Trigger(ID_CONFIGURE);
    EXPECT_EQ(graph.SetupText(), "line width 3");
    EXPECT_TRUE(doc.IsModified());
    dialogs->inputs = {"GETWINSIZE(6)"};
    Trigger(ID_COMPUTE_EXPRESSION);
    EXPECT_EQ(dialogs->boxes.back().text, "The program returned:\n400");
    dialogs->inputs = {"n * 2"};
    Trigger(ID_COMPUTE_EXPRESSION);
    EXPECT_EQ(dialogs->boxes.back().text, "The program returned:\n80");
}

TEST_F(AppTest, PlacementIsSavedAndRestored) {
    CTivaneDoc& doc = Open();
    // The document's second window is that of the section Window1.
    CTivaneFrame* window = frame->FrameOf(*doc.Views()[1]);
    EXPECT_EQ(window->geometry(), QRect(310, 0, 400, 300));
    window->setGeometry(20, 30, 333, 222);
    Trigger(ID_FILE_SAVE);
    EXPECT_NE(Read("model.ini").find("WindowPlacement=0,1,-1,-1,-1,-1,20,30,353,252"),
              std::string::npos)
        << Read("model.ini");
    // Reopened, the window is where it was left, and still the second.
    Trigger(ID_FILE_CLOSE);
    QApplication::processEvents();
    EXPECT_EQ(frame->FrameOf(*Open().Views()[1])->geometry(), QRect(20, 30, 333, 222));
}

// Opening an open document only brings it forward; a template is no document; a new document
// makes its files and shows the hint.
TEST_F(AppTest, OpenAndNewDocuments) {
    CTivaneDoc& doc = Open();
    EXPECT_EQ(frame->OpenDocumentFile(root + "/model.tvd"), &doc);
    EXPECT_EQ(doc.Views().size(), 3u);
    EXPECT_EQ(frame->OpenDocumentFile(root + "/model.tml"), nullptr);
    EXPECT_EQ(dialogs->Count("A template file cannot be opened as a document."), 1);
    dialogs->inputs = {root + "/fresh.tvd"};
    Trigger(ID_FILE_NEW);
    EXPECT_TRUE(std::filesystem::exists(root + "/fresh.tvd"));
    EXPECT_TRUE(std::filesystem::exists(root + "/fresh.ini"));
    EXPECT_EQ(dialogs->Count("You should now use File/Change Template"), 1);
    ASSERT_EQ(frame->Documents().size(), 2u);
    EXPECT_EQ(frame->Documents()[1]->Views().size(), 1u);
}

// Save as AVI's dialog proposes the first free outputN.avi beside the document, whatever
// the current folder; the movie is recorded until it is chosen again or the window closes;
// the status bar says what became of it.
TEST_F(AppTest, SaveAsAviRecordsBesideTheDocumentUntilItIsChosenAgainOrTheWindowCloses) {
    const std::string movie = root + "/output1.avi";
    // Whether the model runs; whether the window is closed, else Save as AVI (Ctrl+I) chosen
    // again; the status text at the end.
    const std::string saved = "The movie " + movie + " is saved.";
    for (const auto& [execute, closeWindow, status] :
         {std::tuple{true, false, saved}, std::tuple{true, true, saved},
          std::tuple{false, false, std::string("No frame was recorded; no movie was written.")}}) {
        SCOPED_TRACE(status);
        Write("output.avi", "earlier");
        Write("cwd/output.avi", "elsewhere");
        CTivaneDoc& doc = Open();
        CViewBase& graph = *doc.Views()[1];
        Activate(graph);
        dialogs->saveRequests.clear();
        dialogs->inputs = {movie};
        Trigger(ID_SAVE_AVI);
        ASSERT_EQ(dialogs->saveRequests.size(), 1u);
        EXPECT_EQ(std::pair(dialogs->saveRequests[0].folder, dialogs->saveRequests[0].name),
                  std::pair(root, std::string("output1.avi")));
        CTivaneFrame* window = frame->FrameOf(graph);
        ASSERT_NE(window->Recorder(), nullptr);
        EXPECT_EQ(window->Recorder()->FileName(), movie);
        if (execute) Trigger(ID_EXECUTE);
        EXPECT_EQ(window->Recorder()->FramesRecorded(), execute ? 40 : 0);
        if (closeWindow)
            window->close();
        else
            Trigger(ID_SAVE_AVI);
        QApplication::processEvents();
        EXPECT_TRUE(closeWindow || window->Recorder() == nullptr);
        EXPECT_EQ(frame->statusBar()->currentMessage().toStdString(), status);
        EXPECT_EQ(Read("output.avi") + Read("cwd/output.avi"), "earlierelsewhere");
        // A finished movie ends with its index.
        const std::string bytes = Read("output1.avi");
        EXPECT_EQ(bytes.starts_with("RIFF") && bytes.find("XVID") != std::string::npos &&
                      bytes.find("idx1") != std::string::npos,
                  execute);
        std::filesystem::remove(movie);
        Activate(*doc.Views()[0]);
        Trigger(ID_FILE_CLOSE);
    }
}

// A name the recorder cannot write, or an existing file the person keeps, starts nothing.
TEST_F(AppTest, SaveAsAviRefusesEndingsItCannotWriteAndAsksBeforeReplacing) {
    Write("kept.avi", "earlier");
    CTivaneDoc& doc = Open();
    Activate(*doc.Views()[1]);
    const std::string kept = root + "/kept.avi";
    const std::tuple<std::string, std::string, Answer> rows[] = {
        // clang-format off
        {root + "/m.mkv", "Movies cannot be written as .mkv files: use .avi, .mp4, .webm or .gif.", Answer::Ok},
        {kept, "The file " + kept + " already exists.\nDo you want to replace it?", Answer::Cancel}};
    // clang-format on
    for (const auto& [name, box, answer] : rows) {
        dialogs->boxes.clear();
        dialogs->inputs = {name};
        dialogs->answers = {answer};
        Trigger(ID_SAVE_AVI);
        EXPECT_EQ(dialogs->Texts(), std::vector<std::string>{box});
        EXPECT_EQ(frame->FrameOf(*doc.Views()[1])->Recorder(), nullptr);
    }
    EXPECT_EQ(Read("kept.avi"), "earlier");
}

TEST_F(AppTest, LongReportsAreElidedInTheBox) {
    QStringList lines;
    for (int k = 0; k < 100; ++k)
        lines << QString::number(k);
    bool elided = false;
    const QStringList shown = ElideReport(lines.join('\n'), &elided).split('\n');
    EXPECT_TRUE(elided);
    ASSERT_EQ(shown.size(), 41);
    EXPECT_EQ(shown[19] + shown[21], "1980");
    EXPECT_TRUE(shown[20].contains("60 lines left out"));
    EXPECT_EQ(ElideReport("a\nb", &elided), "a\nb");
    EXPECT_FALSE(elided);
}

// Topics open their pages; installed pages come from the data folder, and a folder without
// them leaves the built-in copy.
TEST_F(AppTest, HelpTopicsOpenTheirPagesFromTheDataFolderWhenItHasThem) {
    HelpWindow help(nullptr, QString());
    help.ShowTopic(206848); // a word without a page of its own
    EXPECT_TRUE(help.Browser()->toPlainText().contains("No help for this word"));
    Write("data/help/topics.txt", "10515 error-19.html\n");
    Write("data/help/error-19.html", "<p>Installed page</p>");
    for (const auto& [folder, shows] :
         {std::pair{"/data/help", "Installed page"}, std::pair{"/cwd", "User stopped execution"}}) {
        HelpWindow installed(nullptr, QString::fromStdString(root + folder));
        installed.ShowTopic(0x2900 + 19);
        EXPECT_TRUE(installed.Browser()->toPlainText().contains(shows)) << folder;
    }
}

} // namespace
} // namespace tivane
