// The output buffer of a text view: line breaks shown as CR LF, the column of POS, the cuts
// that keep it below 32700 characters, and the help topic of the word at the caret.

#include "outputbuffer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>

#include "builtintable.h"

namespace tivane::test {
namespace {

TEST(OutputBufferTest, ShowMakesEveryLineBreakCrLf) {
    const std::tuple<std::string, std::string> rows[] = {
        {"a\nb", "a\r\nb"},
        {"a\r\nb", "a\r\nb"},
        {"a\rb", "a\r\nb"},
        {"\n\n", "\r\n\r\n"},
        {"\r\r", "\r\n\r\n"},
        {"\n\r", "\r\n\r\n"},
        {"\r\n\n", "\r\n\r\n"},
        {"\n\r\n", "\r\n\r\n"},
        {"a\r", "a\r\n"},
        {"a\n", "a\r\n"},
        {"", ""},
        {"plain", "plain"},
        {"\r\r\n\n", "\r\n\r\n\r\n"},
    };
    for (const auto& [text, expected] : rows) {
        OutputBuffer buffer;
        buffer.Assign(text);
        EXPECT_EQ(buffer.Show(), expected) << testing::PrintToString(text);
        EXPECT_EQ(buffer.Text(), expected) << testing::PrintToString(text);
        // Showing again changes nothing.
        EXPECT_EQ(buffer.Show(), expected) << testing::PrintToString(text);
    }
}

TEST(OutputBufferTest, ColumnCountsCharactersAfterTheLastLineBreak) {
    const std::tuple<std::string, int32_t> rows[] = {
        {"x\nabc", 3}, {"abc", 2},     {"", -1},      {"ab\r", 0},     {"a", 0},
        {"\n", 0},     {"a\r\nbc", 2}, {"a\rbcd", 3}, {"a\nb\rcd", 2},
    };
    for (const auto& [text, expected] : rows) {
        OutputBuffer buffer;
        buffer.Assign(text);
        EXPECT_EQ(buffer.Column(), expected) << testing::PrintToString(text);
    }
}

TEST(OutputBufferTest, AppendCutsTheFrontWhenItWouldReachTheLimit) {
    struct Row {
        size_t before, appended;
        size_t dropped;
    };
    const Row rows[] = {
        {32650, 100, 2800},                  // 32750 would pass the limit
        {32600, 100, 2800},                  // 32700 reaches it
        {32599, 100, 0},                     // 32699 stays below
        {0, 100, 0},        {10, 32700, 10}, // the cut would be longer than the buffer
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.before << " + " << row.appended);
        // Every character tells where it came from, so the cut is checked to the character.
        std::string before;
        for (size_t k = 0; k < row.before; ++k)
            before += static_cast<char>('a' + k % 23);
        const std::string appended(row.appended, '#');
        OutputBuffer buffer;
        buffer.Assign(before);
        buffer.Append(appended);
        EXPECT_EQ(buffer.Text(), before.substr(row.dropped) + appended);
        EXPECT_EQ(buffer.Truncated(), row.dropped > 0);
    }
}

TEST(OutputBufferTest, ShowAfterACutSkipsThePartialFirstLine) {
    const std::string head = std::string(2800, 'x') + "partial\nline2\n";
    const std::string body(32650 - head.size(), 'y');
    const std::string tail(100, 'z');

    OutputBuffer buffer;
    buffer.Assign(head + body);
    buffer.Append(tail);
    ASSERT_TRUE(buffer.Truncated());
    EXPECT_EQ(buffer.Show(), "line2\r\n" + body + tail);
    EXPECT_FALSE(buffer.Truncated());
    EXPECT_EQ(buffer.Text(), "partial\r\nline2\r\n" + body + tail);
    // The mark is gone: the next show is whole.
    EXPECT_EQ(buffer.Show(), "partial\r\nline2\r\n" + body + tail);
}

TEST(OutputBufferTest, ShowAfterACutOfABufferWithoutLineBreaksIsWhole) {
    OutputBuffer buffer;
    buffer.Assign(std::string(32650, 'a'));
    buffer.Append(std::string(100, 'b'));
    ASSERT_TRUE(buffer.Truncated());
    EXPECT_EQ(buffer.Show(), std::string(29850, 'a') + std::string(100, 'b'));
    EXPECT_FALSE(buffer.Truncated());
}

struct Shown {
    std::string buffer;
    std::string shown;
};

// Show done the slow, obvious way: insert each missing CR or LF in place and, whenever the
// buffer passes 32700 characters, drop its first 2700 and move the position back with them.
Shown ReferenceShow(std::string b, bool truncated) {
    size_t pos = 0;
    while (pos < b.size()) {
        if (b[pos] == '\r' && pos + 1 < b.size() && b[pos + 1] == '\n') {
            pos += 2;
            continue;
        }
        if (b[pos] == '\n') {
            b.insert(pos, 1, '\r');
        } else if (b[pos] == '\r') {
            b.insert(pos + 1, 1, '\n');
        } else {
            ++pos;
            continue;
        }
        pos += 2;
        if (b.size() > 32700) {
            b.erase(0, 2700);
            pos = pos > 2700 ? pos - 2700 : 0;
            truncated = true;
        }
    }
    const size_t lf = truncated ? b.find('\n') : std::string::npos;
    return {b, lf == std::string::npos ? b : b.substr(lf + 1)};
}

void ExpectOnlyCrLfPairs(const std::string& text) {
    for (size_t k = 0; k < text.size(); ++k) {
        if (text[k] == '\n') {
            ASSERT_TRUE(k > 0 && text[k - 1] == '\r') << "bare LF at " << k;
        } else if (text[k] == '\r') {
            ASSERT_TRUE(k + 1 < text.size() && text[k + 1] == '\n') << "bare CR at " << k;
        }
    }
}

TEST(OutputBufferTest, ShowCutsWhileConvertingAndLosesNoLineBreak) {
    struct Row {
        const char* what;
        std::string text;
        std::string buffer; // after Show
        std::string shown;
    };
    const Row rows[] = {
        // The first line break pushes it past the limit while the position is still inside
        // the 2700 characters that go.
        {"cut reaches past the position", "ab\n" + std::string(32697, 'c'), std::string(30001, 'c'),
         std::string(30001, 'c')},
        {"cut behind the position", std::string(3000, 'x') + "\n" + std::string(29699, 'y'),
         std::string(300, 'x') + "\r\n" + std::string(29699, 'y'), std::string(29699, 'y')},
    };
    for (const Row& row : rows) {
        OutputBuffer buffer;
        buffer.Assign(row.text);
        EXPECT_EQ(buffer.Show(), row.shown) << row.what;
        EXPECT_EQ(buffer.Text(), row.buffer) << row.what;
        EXPECT_FALSE(buffer.Truncated()) << row.what;
    }
}

// Buffers just below the limit, full of bare LF line breaks (what PRINT leaves), some built
// by appending: whatever the walk cuts, the result is the slow walk's and shows only CR LF.
TEST(OutputBufferTest, ShowNearTheLimitMatchesTheSlowWalk) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 random(seed);
        const size_t length = 30000 + random() % 2701;
        const uint32_t longestLine = seed % 4 == 0 ? 3 : seed % 4 == 1 ? 20 : 200;
        const bool mixed = seed % 5 == 0; // also lone CRs and CR LF pairs
        std::string text;
        while (text.size() < length) {
            const size_t line = random() % (longestLine + 1);
            for (size_t k = 0; k < line; ++k)
                text += static_cast<char>('a' + random() % 26);
            const uint32_t kind = mixed ? random() % 3 : 0;
            text += kind == 0 ? "\n" : kind == 1 ? "\r" : "\r\n";
        }
        text.resize(length);

        OutputBuffer buffer;
        bool truncated = false;
        if (seed % 2 == 0) {
            buffer.Assign(text);
        } else {
            // Appended in pieces: earlier cuts count toward what the show skips.
            std::string expected;
            for (size_t at = 0; at < text.size(); at += 997) {
                const std::string piece = text.substr(at, 997);
                if (expected.size() + piece.size() >= 32700) {
                    expected.erase(0, piece.size() + 2700);
                    truncated = true;
                }
                expected += piece;
                buffer.Append(piece);
            }
            ASSERT_EQ(buffer.Text(), expected);
            ASSERT_EQ(buffer.Truncated(), truncated);
            text = expected;
        }
        const Shown reference = ReferenceShow(text, truncated);
        const std::string shown = buffer.Show();
        EXPECT_EQ(shown, reference.shown);
        EXPECT_EQ(buffer.Text(), reference.buffer);
        EXPECT_LE(buffer.Text().size(), size_t{32700});
        ExpectOnlyCrLfPairs(shown);
        EXPECT_FALSE(buffer.Truncated());
    }
}

int32_t TopicOf(const char* name) {
    const int32_t found = FindBuiltin(name);
    EXPECT_GE(found, 0) << name;
    return 204800 + found + kFirstNamedRow;
}

TEST(HelpTopicTest, WordAtTheCaretNamesItsBuiltin) {
    const int32_t sin = TopicOf("SIN");
    const int32_t cos = TopicOf("COS");
    const int32_t none = 206848;
    const std::string far = std::string(477, ' ') + "sin";
    const std::tuple<std::string, int32_t, int32_t> rows[] = {
        {"sin", 3, sin},        // right after the word, at the end of the line
        {"SIN(x)", 3, sin},     // on the parenthesis: one step left
        {"y = Sin(x)", 7, sin}, // any case
        {"y = sIn(x)", 4, sin}, // on its first letter
        {"sin", 1, sin},        // inside it: the whole word counts
        {"a+cos(b)", 5, cos},   //
        {"foo(x)", 3, none},    // no built-in
        {"sinx", 2, none},      // the whole word is looked up
        {"xsin", 4, none},      //
        {"a + b", 2, none},     // an operator between blanks
        {"x:=y", 1, none},      // an operator after a one-letter word: "X" is no built-in
        {"sin + 1", 4, none},   // only one step left, onto the blank
        {"(sin)", 0, none},     // column 0 does not step
        {"", 0, none},          //
        {"sin", 4, none},       // beyond the line: one step left is still past it
        {far, 479, sin},        // on the last letter, the last column that counts
        {far, 480, none},       // right after it, but column 480
        {far, 1000, none},      //
    };
    for (const auto& [line, column, expected] : rows)
        EXPECT_EQ(HelpTopicAt(line, column), expected) << "\"" << line << "\" at " << column;
}

} // namespace
} // namespace tivane::test
