// What users of a desktop application expect of its windows: text windows that take program
// output by appending, the running document in the status bar and the title, Clear All's
// question, Find and Replace, the Window menu, cascading, and the recent files.

#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTest>

#include "apptest.h"
#include "documentlist.h"
#include "tivanegraph.h"
#include "tivaneview.h"
#include "widgets.h"

namespace tivane {
namespace {

// Program output reaches a text window as the old text with its front cut and an end added;
// the window shows exactly what taking the whole text would show, whether it cut and
// appended or had to take it all (a cut inside a line or a CR LF, encodings that change).
TEST(TextWindowTest, OutputShowsWhatTheWholeTextWouldShow) {
    const std::tuple<const char*, std::string, std::string, size_t> rows[] = {
        {"append", "a\r\nb\r\n", "a\r\nb\r\nc\r\n", 0},
        {"cut two lines", "a\r\nb\r\nc", "c\r\nd", 6},
        {"cut all", "a\r\nb", "xyz", 4},
        {"cut inside a line", "abc\r\ndef", "c\r\ndefg", 2},
        {"cut inside CR LF", "a\r\nb", "\nb!", 2},
        {"LF after a closing CR", "a\r", "a\r\nb", 0},
        {"lone CRs", "a\rb\rc", "b\rc\rd", 2},
        {"Latin-1 stays",
         "\xb0"
         "C\r\n",
         "\xb0"
         "C\r\n\xb0"
         "F",
         0},
        {"Latin-1 cut off", "\xb0\r\nok", "ok\xc3\xa9", 3},
        {"Latin-1 completed", "x\xc3", "x\xc3\xa9", 0},
        {"UTF-8 broken", "\xc3\xa9\r\n", "\xc3\xa9\r\n\xe9", 0},
        {"cut beyond the text", "ab", "ab", 5}};
    for (const auto& [what, before, after, dropped] : rows) {
        TextWidget window, whole;
        window.SetTextBytes(before);
        window.ShowOutputBytes(after, dropped);
        EXPECT_EQ(window.TextBytes(), after) << what;
        window.ShowPendingOutput();
        whole.SetTextBytes(after);
        EXPECT_EQ(window.toPlainText(), whole.toPlainText()) << what;
        EXPECT_FALSE(window.document()->isUndoAvailable()) << what;
    }
}

// Shows between two turns of the event loop come as one; output replaces what the user typed.
TEST(TextWindowTest, OutputWaitsForTheEventLoopAndReplacesEdits) {
    TextWidget window;
    window.SetTextBytes("1\r\n2\r\n");
    window.ShowOutputBytes("2\r\n3\r\n", 3);
    window.ShowOutputBytes("3\r\n4\r\n", 3);
    EXPECT_EQ(window.toPlainText(), "1\n2\n");
    QApplication::processEvents();
    EXPECT_EQ(window.toPlainText(), "3\n4\n");
    window.moveCursor(QTextCursor::End);
    window.insertPlainText("typed");
    window.ShowOutputBytes("4\r\n5\r\n", 3);
    QApplication::processEvents();
    EXPECT_EQ(window.toPlainText(), "4\n5\n");
}

using WindowsTest = AppTest;

// The keys users know from other applications work beside the old ones.
TEST_F(WindowsTest, KeysOfOtherApplicationsComeBesideTheOldOnes) {
    const std::tuple<Command, const char*> rows[] = {
        {ID_EDIT_REPLACE, "Alt+F4"}, {ID_EDIT_REPLACE, "Ctrl+H"}, {ID_EDIT_REPEAT, "F3"},
        {ID_FILE_CLOSE, "Ctrl+W"},   {ID_APP_EXIT, "Ctrl+Q"},     {ID_EDIT_FIND, "Alt+F3"},
        {ID_CLEAR_ALL, "Ctrl+A"}};
    for (const auto& [command, key] : rows)
        EXPECT_TRUE(frame->Action(command)->shortcuts().contains(QKeySequence(key))) << key;
}

// Clear All asks first when a window holds output, and No keeps it; with nothing to lose it
// clears without asking.
TEST_F(WindowsTest, ClearAllAsksWhenThereIsSomethingToLose) {
    CTivaneDoc& doc = Open();
    Trigger(ID_EXECUTE);
    QApplication::processEvents();
    TextWidget* table = frame->FrameOf(*doc.Views()[2])->Text();
    const QString shown = table->toPlainText();
    ASSERT_FALSE(shown.isEmpty());
    const std::vector<std::string> question{"Clear the contents of all windows of model.tvd?"};
    Trigger(ID_CLEAR_ALL); // No
    EXPECT_EQ(dialogs->Texts(), question);
    EXPECT_EQ(table->toPlainText(), shown);
    dialogs->answers.push_back(Answer::Ok);
    Trigger(ID_CLEAR_ALL);
    EXPECT_TRUE(table->toPlainText().isEmpty());
    EXPECT_FALSE(dynamic_cast<CTivaneGraph&>(*doc.Views()[1]).List().HasDrawingItems());
    dialogs->boxes.clear();
    Trigger(ID_CLEAR_ALL);
    EXPECT_TRUE(dialogs->boxes.empty());
}

// Find: a label's '&' underlines its field's key, Tab goes from the fields to the buttons,
// a search goes round to the start, a miss says so, and F3 repeats the last search.
TEST_F(WindowsTest, FindAndReplaceBehaveAsUsersKnowThem) {
    CTivaneDoc& doc = Open();
    Trigger(ID_EXECUTE);
    QApplication::processEvents();
    Activate(*doc.Views()[2]);
    TextWidget* table = frame->FrameOf(*doc.Views()[2])->Text();
    table->moveCursor(QTextCursor::End);
    Trigger(ID_EDIT_REPLACE);
    auto* dialog = frame->findChild<QDialog*>("replaceDialog");
    ASSERT_NE(dialog, nullptr);
    auto* find = dialog->findChild<QLineEdit*>("findWhat");
    auto* replace = dialog->findChild<QLineEdit*>("replaceWith");
    for (QLabel* label : dialog->findChildren<QLabel*>())
        EXPECT_NE(label->buddy(), nullptr) << label->text().toStdString();
    // The widget Tab goes to next.
    const auto tab = [](QWidget* w) {
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus));
        return w;
    };
    EXPECT_EQ(tab(find), replace);
    EXPECT_EQ(qobject_cast<QPushButton*>(tab(replace))->text(), "&Find Next");
    find->setText("3");
    dialog->findChild<QPushButton*>()->click(); // Find Next: round from the end
    EXPECT_EQ(table->textCursor().selectedText(), "3");
    EXPECT_TRUE(dialogs->boxes.empty());
    dialog->close();
    const int at = table->textCursor().position();
    Trigger(ID_EDIT_REPEAT);
    EXPECT_GT(table->textCursor().position(), at);
    Trigger(ID_EDIT_FIND);
    auto* finder = frame->findChild<QDialog*>("findDialog");
    ASSERT_NE(finder, nullptr);
    finder->findChild<QLineEdit*>("findWhat")->setText("never");
    finder->findChild<QPushButton*>()->click();
    EXPECT_EQ(dialogs->Texts(), std::vector<std::string>{"Cannot find \"never\"."});
}

// The title names the active document and marks it modified while its main input differs
// from the text opened: undoing the edit takes the mark away. During a run the status bar
// names the document and the time it has run.
TEST_F(WindowsTest, TitleAndStatusBarShowTheDocumentAndItsRun) {
    CTivaneDoc& doc = Open();
    EXPECT_EQ(frame->windowTitle(), "model.tvd[*] \u2014 Tivane");
    EXPECT_FALSE(frame->isWindowModified());
    TextWidget* input = frame->FrameOf(*doc.MainInputView())->Text();
    input->moveCursor(QTextCursor::End);
    input->insertPlainText("0");
    EXPECT_TRUE(frame->isWindowModified());
    EXPECT_TRUE(doc.IsModified());
    input->undo();
    EXPECT_FALSE(frame->isWindowModified());
    EXPECT_FALSE(doc.IsModified());

    auto* run = frame->findChild<QLabel*>("runLabel");
    QString during;
    // A run long enough for a message pass, stopped from it.
    input->SetTextBytes("1000000");
    DuringRun([&] {
        during = run->isVisible() ? run->text() : QString();
        doc.RequestStop();
    });
    Trigger(ID_EXECUTE);
    EXPECT_TRUE(during.startsWith("Running model.tvd: ")) << during.toStdString();
    EXPECT_FALSE(run->isVisible());
    EXPECT_TRUE(frame->statusBar()->currentMessage().startsWith("model.tvd ran for "));
}

// Recent files show their names, with the folder where two share one; a file that is gone
// is said so by name and leaves the list.
TEST_F(WindowsTest, RecentFilesShowSharedNamesFoldersAndDropMissingOnes) {
    const QString home = QDir::homePath();
    const std::tuple<QStringList, QStringList> rows[] = {
        {{"/a/p.tvd", "/b/q.tvd"}, {"p.tvd", "q.tvd"}},
        {{"/a/p.tvd", "/b/p.tvd", "/c/q.tvd"}, {"p.tvd (/a)", "p.tvd (/b)", "q.tvd"}},
        {{home + "/m/p.tvd", "/p.tvd"}, {"p.tvd (~/m)", "p.tvd (/)"}},
        {{"/a/R&D.tvd"}, {"R&&D.tvd"}}};
    for (const auto& [paths, labels] : rows)
        EXPECT_EQ(RecentFileLabels(paths), labels) << paths.join(' ').toStdString();

    const QString gone = QString::fromStdString(root + "/gone.tvd");
    QSettings().setValue("recentFiles", QStringList{gone});
    frame = std::make_unique<CMainFrame>(SearchContext{});
    auto scripted = std::make_unique<ScriptedDialogs>();
    dialogs = scripted.get();
    frame->SetDialogs(std::move(scripted));
    QAction* entry = nullptr;
    for (QAction* a : frame->menuBar()->actions().front()->menu()->actions())
        if (a->data().toString() == gone) entry = a;
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->text(), "&1 gone.tvd");
    entry->trigger();
    EXPECT_EQ(dialogs->Texts(), std::vector<std::string>{"The file " + gone.toStdString() +
                                                         " cannot be found. It is removed from "
                                                         "the list of recent files."});
    EXPECT_TRUE(QSettings().value("recentFiles").toStringList().isEmpty());
    EXPECT_FALSE(entry->isVisible());
}

// A second document with the same layout opens its windows a step down and right of the
// first's, not on top of them; the Window menu lists every window, the active one checked.
TEST_F(WindowsTest, SecondDocumentCascadesAndTheWindowMenuListsWindows) {
    CTivaneDoc& first = Open();
    Write("model2.tvd", "40");
    Write("model2.ini", Read("model.ini"));
    CTivaneDoc* second = frame->OpenDocumentFile(root + "/model2.tvd");
    ASSERT_NE(second, nullptr);
    QApplication::processEvents();
    // The first two windows have the same placement in both layouts; the third none.
    for (size_t k = 0; k < first.Views().size(); ++k) {
        const QPoint a = frame->FrameOf(*first.Views()[k])->pos();
        const QPoint b = frame->FrameOf(*second->Views()[k])->pos();
        EXPECT_NE(a, b) << k;
        if (k < 2) {
            EXPECT_EQ(b - a, QPoint(b.x() - a.x(), b.x() - a.x())) << k;
        }
    }
    QMenu* window = nullptr;
    for (QAction* a : frame->menuBar()->actions())
        if (a->text() == "&Window") window = a->menu();
    ASSERT_NE(window, nullptr);
    Q_EMIT window->aboutToShow();
    QStringList listed, checked;
    for (QAction* a : window->actions()) {
        if (a->isCheckable()) listed << a->text();
        if (a->isChecked()) checked << a->text();
    }
    EXPECT_EQ(listed.size(), 6);
    ASSERT_EQ(checked.size(), 1);
    EXPECT_TRUE(
        checked.front().endsWith(frame->findChild<QMdiArea*>()->activeSubWindow()->windowTitle()));
    EXPECT_TRUE(listed.front().startsWith("&1 "));
}

} // namespace
} // namespace tivane
