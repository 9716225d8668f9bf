// The application's windows under Qt's offscreen platform: documents opened into the main
// window, Execute and Stop through the actions, the running look, the menus, the guards,
// the dialogs (scripted), placement, and printing.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <fstream>

#include "apptest.h"
#include "childframe.h"
#include "dialogs.h"
#include "helpwindow.h"
#include "mainframe.h"
#include "movierecorder.h"
#include "printing.h"
#include "tivanedoc.h"
#include "tivanegraph.h"
#include "tivaneview.h"
#include "widgets.h"

namespace tivane {
namespace {

TEST_F(AppTest, ExecuteDrawsIntoTheWindowsAndTheLampGoesBackToGreen) {
    CTivaneDoc& doc = Open();
    ASSERT_EQ(doc.Views().size(), 3u);
    EXPECT_FALSE(frame->RunningLook());
    Trigger(ID_EXECUTE);
    QApplication::processEvents();
    EXPECT_TRUE(dialogs->boxes.empty()) << dialogs->boxes.front().text;
    EXPECT_FALSE(frame->RunningLook());
    auto& graph = dynamic_cast<CTivaneGraph&>(*doc.Views()[1]);
    CTivaneFrame* window = frame->FrameOf(graph);
    ASSERT_NE(window, nullptr);
    window->Graph()->repaint();
    const QImage& picture = window->Graph()->Picture();
    ASSERT_FALSE(picture.isNull());
    // The red line from (0, 0) towards (400, 280) in a clip window fitted to the widget.
    const double scale = std::min(picture.width() / 400.0, picture.height() / 300.0);
    const QPoint mid(static_cast<int>(200 * scale + 0.5), static_cast<int>(140 * scale + 0.5));
    int red = 0;
    for (int dx = -2; dx <= 2; ++dx)
        for (int dy = -2; dy <= 2; ++dy)
            red += picture.pixelColor(mid + QPoint(dx, dy)) == QColor(255, 0, 0);
    EXPECT_GT(red, 0);
    EXPECT_EQ(picture.pixelColor(picture.width() - 2, 2), QColor(Qt::white));
    auto& text = dynamic_cast<CTivaneView&>(*doc.Views()[2]);
    EXPECT_EQ(frame->FrameOf(text)->Text()->toPlainText().left(6), "1\n2\n3\n");
}

TEST_F(AppTest, StopDuringARunAndTheStateFollowsIt) {
    Write("model.tvd", "100000000");
    CTivaneDoc& doc = Open();
    bool checked = false;
    DuringRun([&] {
        checked = true;
        EXPECT_TRUE(frame->RunningLook());
        frame->UpdateMenus();
        EXPECT_EQ(frame->Action(ID_EXECUTE)->text(), "Stop &Execution");
        dialogs->answers = {Answer::Ok};
        Trigger(ID_EXECUTE); // asks whether to stop
    });
    Trigger(ID_EXECUTE);
    EXPECT_TRUE(checked);
    EXPECT_EQ(dialogs->Count("Do you want to stop it?"), 1);
    EXPECT_EQ(dialogs->Count("User stopped execution."), 1);
    EXPECT_FALSE(frame->RunningLook());
    EXPECT_FALSE(doc.Running());
    EXPECT_EQ(frame->Action(ID_EXECUTE)->text(), "&Execute");
}

TEST_F(AppTest, GuardsRefuseWhileRunning) {
    Write("model.tvd", "100000000");
    CTivaneDoc& doc = Open();
    struct Row {
        std::function<void()> act;
        const char* message;
    };
    std::vector<Row> rows = {
        {[&] { frame->FrameOf(*doc.Views()[1])->close(); }, doctext::kCloseWindowRunning},
        {[&] { Trigger(ID_FILE_CLOSE); }, doctext::kCloseDocumentRunning},
        {[&] { Trigger(ID_CLEAR_ALL); }, doctext::kClearRunning},
        {[&] { frame->close(); }, doctext::kQuitRunning},
        {[&] { Trigger(ID_CHANGE_TEMPLATE); }, doctext::kChangeTemplateRunning},
        {[&] { Trigger(ID_FILE_PRINT); },
         "Do not use printing while a program is still executing."},
        {[&] { Trigger(ID_COMPUTE_EXPRESSION); }, doctext::kAnotherRunning},
    };
    DuringRun([&] {
        for (const Row& row : rows)
            row.act();
        dialogs->answers = {Answer::Ok};
        Trigger(ID_EXECUTE);
    });
    Trigger(ID_EXECUTE);
    for (const Row& row : rows)
        EXPECT_EQ(dialogs->Count(row.message), 1) << row.message;
    EXPECT_EQ(doc.Views().size(), 3u);
    EXPECT_EQ(frame->Documents().size(), 1u);
    EXPECT_TRUE(frame->isVisible());
}

TEST_F(AppTest, TheViewMenuListsTheTemplatesViews) {
    EXPECT_EQ(frame->ViewMenu()->actions().size(), 2); // the two bars, without a document
    CTivaneDoc& doc = Open();
    frame->UpdateMenus();
    QStringList titles;
    for (QAction* a : frame->ViewMenu()->actions())
        titles << a->text();
    EXPECT_EQ(titles.mid(titles.size() - 3),
              (QStringList{"&Main Input", "Table of values", "Phase plane"}));
    // The same view twice gives two windows.
    frame->Action(static_cast<Command>(ID_VIEW_FIRST + 1))->trigger();
    frame->Action(static_cast<Command>(ID_VIEW_FIRST + 1))->trigger();
    EXPECT_EQ(doc.Views().size(), 5u);
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
    Activate(*doc.Views()[0]);
    Trigger(ID_CONFIGURE);
    EXPECT_EQ(dialogs->boxes.back().text, "The main input view does not need setting up.");
    dialogs->inputs = {"n * 2"};
    Trigger(ID_COMPUTE_EXPRESSION);
    EXPECT_EQ(dialogs->boxes.back().text, "The program returned:\n80");
}

TEST_F(AppTest, PlacementIsSavedAndRestored) {
    CTivaneDoc& doc = Open();
    // The document's second window is that of the section Window1.
    CTivaneFrame* window = frame->FrameOf(*doc.Views()[1]);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->geometry(), QRect(310, 0, 400, 300));
    window->setGeometry(20, 30, 333, 222);
    Trigger(ID_FILE_SAVE);
    EXPECT_NE(Read("model.ini").find("WindowPlacement=0,1,-1,-1,-1,-1,20,30,353,252"),
              std::string::npos)
        << Read("model.ini");
    frame->close();
    frame = std::make_unique<CMainFrame>(SearchContext{});
    frame->SetDialogs(std::make_unique<ScriptedDialogs>());
    frame->show();
    CTivaneDoc* reopened = frame->OpenDocumentFile(root + "/model.tvd");
    ASSERT_NE(reopened, nullptr);
    bool found = false;
    for (const auto& view : reopened->Views())
        found = found || frame->FrameOf(*view)->geometry() == QRect(20, 30, 333, 222);
    EXPECT_TRUE(found);
}

TEST_F(AppTest, AGraphicsWindowPrintsIntoAPdf) {
    CTivaneDoc& doc = Open();
    Trigger(ID_EXECUTE);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(root + "/page.pdf"));
    PrintGraph(dynamic_cast<CTivaneGraph&>(*doc.Views()[1]), printer);
    const std::string pdf = Read("page.pdf");
    EXPECT_EQ(pdf.substr(0, 4), "%PDF");
    EXPECT_GT(pdf.size(), 500u);
}

TEST_F(AppTest, SaveContentsIsTheActiveWindowsOwnCommand) {
    struct Row {
        size_t view;
        std::vector<std::string> answers; // to the questions, the file's name last
        std::string saved, start;         // the message, and how the file begins
    };
    const Row rows[] = {
        {1, {"64,48", "p.png"}, "The BMP file has been saved successfully.", "\x89PNG"},
        {2, {"t.txt"}, "The text file has been saved successfully.", "1\r\n2\r\n"},
    };
    CTivaneDoc& doc = Open();
    Trigger(ID_EXECUTE);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.answers.back());
        dialogs->boxes.clear();
        for (const std::string& a : r.answers)
            dialogs->inputs.push_back(a == r.answers.back() ? root + "/" + a : a);
        Activate(*doc.Views()[r.view]);
        Trigger(ID_SAVE_CONTENTS);
        EXPECT_EQ(dialogs->Texts(), std::vector<std::string>{r.saved});
        EXPECT_EQ(Read(r.answers.back()).substr(0, r.start.size()), r.start);
    }
}

TEST_F(AppTest, OpeningAnOpenDocumentOnlyBringsItForward) {
    CTivaneDoc& doc = Open();
    const size_t windows = doc.Views().size();
    EXPECT_EQ(frame->OpenDocumentFile(root + "/model.tvd"), &doc);
    EXPECT_EQ(doc.Views().size(), windows);
    EXPECT_EQ(frame->OpenDocumentFile(root + "/model.tml"), nullptr);
    EXPECT_EQ(dialogs->Count("A template file cannot be opened as a document."), 1);
}

TEST_F(AppTest, ANewDocumentMakesItsFilesAndShowsTheHint) {
    dialogs->inputs = {root + "/fresh.tvd"};
    Trigger(ID_FILE_NEW);
    EXPECT_TRUE(std::filesystem::exists(root + "/fresh.tvd"));
    EXPECT_TRUE(std::filesystem::exists(root + "/fresh.ini"));
    EXPECT_EQ(dialogs->Count("You should now use File/Change Template"), 1);
    ASSERT_EQ(frame->Documents().size(), 1u);
    EXPECT_EQ(frame->Documents()[0]->Views().size(), 1u);
}

TEST_F(AppTest, CtrlAInATextWindowIsClearAllAndTheBareMenusFollowTheDocument) {
    QStringList bare;
    frame->UpdateMenus();
    for (QAction* a : frame->menuBar()->actions())
        if (a->isVisible()) bare << a->text();
    EXPECT_EQ(bare, (QStringList{"&File", "&View", "&Help"}));
    CTivaneDoc& doc = Open();
    Trigger(ID_EXECUTE);
    auto& text = dynamic_cast<CTivaneView&>(*doc.Views()[2]);
    TextWidget* editor = frame->FrameOf(text)->Text();
    Activate(text);
    frame->activateWindow();
    editor->setFocus();
    ASSERT_FALSE(editor->toPlainText().isEmpty());
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    EXPECT_TRUE(editor->toPlainText().isEmpty());
    EXPECT_EQ(dynamic_cast<CTivaneGraph&>(*doc.Views()[1]).List().Count(), 0);
    QStringList menus;
    for (QAction* a : frame->menuBar()->actions())
        if (a->isVisible()) menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Edit", "&View", "&Window", "&Help"}));
}

TEST_F(AppTest, SaveAsAviRecordsBesideTheDocumentUntilItIsChosenAgainOrTheWindowCloses) {
    struct Row {
        bool execute;       // run the model while recording
        bool closeWindow;   // end by closing the window, else by a second Save as AVI
        const char* status; // at the end; $MOVIE stands for the movie's path
    };
    const Row rows[] = {
        {true, false, "The movie $MOVIE is saved."},
        {true, true, "The movie $MOVIE is saved."},
        {false, false, "No frame was recorded; no movie was written."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.status);
        // An earlier movie beside the document, and one in the current folder: neither is
        // touched.
        std::filesystem::create_directories(root + "/cwd");
        Write("output.avi", "earlier");
        Write("cwd/output.avi", "elsewhere");
        const auto saved = std::filesystem::current_path();
        std::filesystem::current_path(root + "/cwd");
        CTivaneDoc& doc = Open();
        CViewBase& graph = *doc.Views()[1];
        Activate(graph);
        Trigger(ID_SAVE_AVI);
        CTivaneFrame* window = frame->FrameOf(graph);
        ASSERT_NE(window->Recorder(), nullptr);
        const std::string movie = root + "/output1.avi";
        EXPECT_EQ(window->Recorder()->FileName(), movie);
        if (row.execute) {
            Trigger(ID_EXECUTE);
            EXPECT_EQ(window->Recorder()->FramesRecorded(), 40);
        }
        if (row.closeWindow)
            window->close();
        else
            Trigger(ID_SAVE_AVI); // the second choice ends the recording
        QApplication::processEvents();
        std::filesystem::current_path(saved);
        if (!row.closeWindow) {
            EXPECT_EQ(window->Recorder(), nullptr);
        }
        std::string status = row.status;
        if (const size_t at = status.find("$MOVIE"); at != std::string::npos)
            status.replace(at, 6, movie);
        EXPECT_EQ(frame->statusBar()->currentMessage().toStdString(), status);
        EXPECT_EQ(Read("output.avi"), "earlier");
        EXPECT_EQ(Read("cwd/output.avi"), "elsewhere");
        EXPECT_EQ(std::filesystem::exists(movie), row.execute);
        if (row.execute) {
            const std::string bytes = Read("output1.avi");
            EXPECT_EQ(bytes.substr(0, 4), "RIFF");
            EXPECT_NE(bytes.find("XVID"), std::string::npos);
            EXPECT_NE(bytes.find("idx1"), std::string::npos); // the index a finished file ends with
        }
        std::filesystem::remove(movie);
        Activate(*doc.Views()[0]);
        Trigger(ID_FILE_CLOSE);
    }
}

TEST_F(AppTest, LongReportsAreElidedInTheBox) {
    QStringList lines;
    for (int k = 0; k < 100; ++k)
        lines << QString::number(k);
    bool elided = false;
    const QString shown = ElideReport(lines.join('\n'), &elided);
    EXPECT_TRUE(elided);
    const QStringList shownLines = shown.split('\n');
    EXPECT_EQ(shownLines.size(), 41);
    EXPECT_EQ(shownLines[19], "19");
    EXPECT_TRUE(shownLines[20].contains("60 lines left out"));
    EXPECT_EQ(shownLines[21], "80");
    EXPECT_EQ(ElideReport("a\nb", &elided), "a\nb");
    EXPECT_FALSE(elided);
}

TEST_F(AppTest, HelpTopicsOpenTheirPages) {
    HelpWindow help(nullptr);
    EXPECT_EQ(help.PageOf(kHelpIndexTopic), "index.html");
    EXPECT_EQ(help.PageOf(123456789), "index.html");
    ASSERT_TRUE(QFile::exists(":/help/topics.txt"));
    struct Row {
        int32_t topic;
        const char* page;
        const char* shows;
    };
    for (const Row& row :
         {Row{0x2900 + 19, "error-19.html", "User stopped execution"},
          Row{204800 + 17, "fn-SIN.html", "SIN"}, Row{0x202C, "message.html", "SENDMSG"},
          Row{206848, "noword.html", "No help for this word"}}) {
        EXPECT_EQ(help.PageOf(row.topic), row.page);
        help.ShowTopic(row.topic);
        EXPECT_TRUE(help.Browser()->toPlainText().contains(row.shows, Qt::CaseInsensitive))
            << row.page;
    }
    // The guide is the Markdown file itself.
    ASSERT_TRUE(QFile::exists(":/help/getting-started.md"));
    help.Browser()->setSource(QUrl("qrc:/help/getting-started.md"),
                              QTextDocument::MarkdownResource);
    EXPECT_TRUE(help.Browser()->toPlainText().contains("pendulum"));
}

} // namespace
} // namespace tivane
