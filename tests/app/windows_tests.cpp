// Text windows take program output by appending.

#include "apptest.h"
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
        {"abc\r\ndef", "c\r\ndefg", 2},
        {"a\r", "a\r\nb", 0},
        {"a\rb\rc", "b\rc\rd", 2},
        {"\xb0\r\nok", "ok\xc3\xa9", 3},
        {"x\xc3", "x\xc3\xa9", 0},
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

} // namespace
} // namespace tivane
