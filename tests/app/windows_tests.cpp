// What users of a desktop application expect of its windows: text windows that take program
// output by appending, the title and the status bar, Clear All's question, Find, cascading
// with the Window menu, and the recent files.

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>

#include "apptest.h"
#include "documentlist.h"
#include "tivanegraph.h"
#include "tivaneview.h"
#include "widgets.h"

namespace tivane {
namespace {

// Output comes as the old text with its front cut and an end added; the window shows what
// taking the whole text would (also where it cannot cut and append: inside a line or a CR LF,
// encodings that change), with nothing to undo, once the event loop turns.
TEST(TextWindowTest, OutputShowsWhatTheWholeTextWould) {
    const std::tuple<std::string, std::string, size_t> rows[] = {
        {"a\r\nb\r\n", "a\r\nb\r\nc\r\n", 0},
        {"a\r\nb\r\nc", "c\r\nd", 6},
        {"a\r\nb", "xyz", 4},
        {"abc\r\ndef", "c\r\ndefg", 2},
        {"a\r\nb", "\nb!", 2},
        {"a\r", "a\r\nb", 0},
        {"a\rb\rc", "b\rc\rd", 2},
        {"\xb0\r\n", "\xb0\r\n\xb0!", 0},
        {"\xb0\r\nok", "ok\xc3\xa9", 3},
        {"x\xc3", "x\xc3\xa9", 0},
        {"\xc3\xa9\r\n", "\xc3\xa9\r\n\xe9", 0},
        {"ab", "ab", 5}};
    for (const auto& [before, after, dropped] : rows) {
        TextWidget window, whole;
        window.SetTextBytes(before);
        window.ShowOutputBytes(after, dropped);
        EXPECT_EQ(window.TextBytes(), after);
        QApplication::processEvents();
        whole.SetTextBytes(after);
        EXPECT_EQ(window.toPlainText(), whole.toPlainText()) << ::testing::PrintToString(after);
        EXPECT_FALSE(window.document()->isUndoAvailable());
    }
}

using WindowsTest = AppTest;

// Clear All asks when a window holds output, No keeps it; with nothing to lose it asks nothing.
// A run shows its document and time in the status bar; the title marks an edit of the main
// input until it is undone.
TEST_F(WindowsTest, ClearAllAsksAndTheTitleAndStatusBarFollowTheDocument) {
    CTivaneDoc& doc = Open();
    EXPECT_EQ(frame->windowTitle(), "model.tvd[*] \u2014 Tivane");
    TextWidget* input = frame->FrameOf(*doc.MainInputView())->Text();
    input->SetTextBytes("1000000");
    input->insertPlainText("0");
    EXPECT_TRUE(frame->isWindowModified() && doc.IsModified());
    input->undo();
    EXPECT_FALSE(frame->isWindowModified() || doc.IsModified());
    QString during;
    DuringRun([&] {
        during = frame->findChild<QLabel*>("runLabel")->text();
        doc.RequestStop();
    });
    Trigger(ID_EXECUTE);
    EXPECT_TRUE(during.startsWith("Running model.tvd: ")) << during.toStdString();
    EXPECT_TRUE(frame->statusBar()->currentMessage().startsWith("model.tvd ran for "));

    dialogs->boxes.clear();
    Trigger(ID_CLEAR_ALL); // No
    EXPECT_EQ(dialogs->Texts(),
              std::vector<std::string>{"Clear the contents of all windows of model.tvd?"});
    EXPECT_TRUE(dynamic_cast<CTivaneGraph&>(*doc.Views()[1]).List().HasDrawingItems());
    dialogs->answers.push_back(Answer::Ok);
    Trigger(ID_CLEAR_ALL);
    EXPECT_FALSE(dynamic_cast<CTivaneGraph&>(*doc.Views()[1]).List().HasDrawingItems());
    Trigger(ID_CLEAR_ALL);
    EXPECT_EQ(dialogs->boxes.size(), 2u);
}

// Find goes round to the start, says so on a miss, and F3 looks again; Tab goes from the
// fields to the buttons.
TEST_F(WindowsTest, FindGoesRoundSaysAMissAndRepeatsOnF3) {
    CTivaneDoc& doc = Open();
    Trigger(ID_EXECUTE);
    Activate(*doc.Views()[2]);
    TextWidget* table = frame->FrameOf(*doc.Views()[2])->Text();
    Trigger(ID_EDIT_REPLACE);
    auto* dialog = frame->findChild<QDialog*>("replaceDialog");
    auto* find = dialog->findChild<QLineEdit*>("findWhat");
    QWidget* next = find;
    for (const char* name : {"replaceWith", "&Find Next"}) {
        do
            next = next->nextInFocusChain();
        while (!(next->focusPolicy() & Qt::TabFocus));
        auto* button = qobject_cast<QPushButton*>(next);
        EXPECT_EQ(button ? button->text() : next->objectName(), name);
    }
    find->setText("3");
    dialog->findChild<QPushButton*>()->click(); // from the end, round to the start
    EXPECT_EQ(table->textCursor().selectedText(), "3");
    const int at = table->textCursor().position();
    Trigger(ID_EDIT_REPEAT);
    EXPECT_GT(table->textCursor().position(), at);
    find->setText("never");
    dialog->findChild<QPushButton*>()->click();
    EXPECT_EQ(dialogs->Texts(), std::vector<std::string>{"Cannot find \"never\"."});
}

// A second document with the same layout opens a step down and right of the first; the
// Window menu lists every window, the active one checked.
TEST_F(WindowsTest, SecondDocumentCascadesAndTheWindowMenuListsWindows) {
    CTivaneDoc& first = Open();
    Write("model2.tvd", "40");
    Write("model2.ini", Read("model.ini"));
    CTivaneDoc* second = frame->OpenDocumentFile(root + "/model2.tvd");
    for (size_t k = 0; k < 2; ++k) { // the windows the layouts place
        const QPoint d =
            frame->FrameOf(*second->Views()[k])->pos() - frame->FrameOf(*first.Views()[k])->pos();
        EXPECT_TRUE(d.x() > 0 && d.x() == d.y()) << k;
    }
    QMenu* window = frame->menuBar()->actions()[3]->menu();
    Q_EMIT window->aboutToShow();
    QStringList listed, checked;
    for (QAction* a : window->actions()) {
        if (a->isCheckable()) listed << a->text();
        if (a->isChecked()) checked << a->text();
    }
    EXPECT_EQ(listed.size(), 6);
    EXPECT_EQ(checked, QStringList{"&4 Main Input - model2.tvd"});
}

// Recent files show the folders of names two share; one that is gone is said so and dropped.
TEST_F(WindowsTest, RecentFilesShowSharedNamesFoldersAndDropMissingOnes) {
    EXPECT_EQ(RecentFileLabels({"/a/p.tvd", "/b/p.tvd", "/c/R&D.tvd"}),
              (QStringList{"p.tvd (/a)", "p.tvd (/b)", "R&&D.tvd"}));
    const QString gone = QString::fromStdString(root + "/gone.tvd");
    QSettings().setValue("recentFiles", QStringList{gone});
    MakeFrame(SearchContext{});
    for (QAction* a : frame->menuBar()->actions().front()->menu()->actions())
        if (a->data().toString() == gone) a->trigger();
    EXPECT_EQ(dialogs->Texts(), std::vector<std::string>{"The file " + gone.toStdString() +
                                                         " cannot be found. It is removed from "
                                                         "the list of recent files."});
    EXPECT_TRUE(QSettings().value("recentFiles").toStringList().isEmpty());
}

} // namespace
} // namespace tivane
