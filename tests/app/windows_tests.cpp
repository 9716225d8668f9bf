// What users of a desktop application expect of its windows: text windows that take program
// output by appending, the running document in the status bar and the title, Clear All's
// question, Find and Replace, the Window menu, cascading, and the recent files.

#include <QTest>

#include "apptest.h"
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

} // namespace
} // namespace tivane
