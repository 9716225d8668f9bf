// The output buffer of a text view: line breaks shown as CR LF, the column of POS, and the
// cuts of whole lines that keep it below 32700 characters.

#include "outputbuffer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>

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
        {32650, 100, 2800}, // 32750 would pass the limit
        {32600, 100, 2800}, // 32700 reaches it
        {32599, 100, 0},    // 32699 stays below
        {0, 100, 0},
        {10, 32700, 2710},  // one piece as long as the limit: the last 30000 characters stay
        {0, 100000, 70000}, //
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
        EXPECT_EQ(buffer.Text(), (before + appended).substr(row.dropped));
        EXPECT_EQ(buffer.Truncated(), row.dropped > 0);
    }
}

// `count` lines of `length` characters each, the last of them the line break `end`.
std::string Lines(size_t count, size_t length, std::string_view end = "\n") {
    std::string text;
    for (size_t k = 0; k < count; ++k)
        text += std::string(length - end.size(), static_cast<char>('a' + k % 26)) += end;
    return text;
}

TEST(OutputBufferTest, AppendCutsWholeLinesOffTheFront) {
    struct Row {
        const char* what;
        std::string before, appended;
        size_t dropped; // from before + appended
    };
    const Row rows[] = {
        {"the cut ends on a line break", Lines(326, 100), std::string(100, '#'), 2800},
        {"the cut goes on to its line's end", Lines(100, 300), std::string(2750, '#'), 5700},
        {"CR LF is one break", Lines(100, 300, "\r\n"), std::string(2750, '#'), 5700},
        {"lone CRs break lines", Lines(100, 300, "\r"), std::string(2750, '#'), 5700},
        {"one piece of many lines", "", Lines(1000, 100), 70000},
        {"one piece, cut inside a line", "", Lines(300, 300) + "end", 60300},
        {"one line: its end stays", "", std::string(99999, '#') + "\n", 70000},
        {"last line too long", Lines(10, 100), std::string(40000, '#'), 11000},
    };
    for (const Row& row : rows) {
        OutputBuffer buffer;
        buffer.Assign(row.before);
        buffer.Append(row.appended);
        EXPECT_EQ(buffer.Text(), (row.before + row.appended).substr(row.dropped)) << row.what;
        EXPECT_LT(buffer.Text().size(), OutputBuffer::kLimit) << row.what;
        EXPECT_TRUE(buffer.Truncated()) << row.what;
    }
}

TEST(OutputBufferTest, ShowAfterACutStartsWithAWholeLine) {
    const std::string head = std::string(2800, 'x') + "partial\nline2\n";
    const std::string body(32650 - head.size(), 'y');
    const std::string tail(100, 'z');

    OutputBuffer buffer;
    buffer.Assign(head + body);
    buffer.Append(tail);
    ASSERT_TRUE(buffer.Truncated());
    EXPECT_EQ(buffer.Show(), "line2\r\n" + body + tail);
    EXPECT_FALSE(buffer.Truncated());
    EXPECT_EQ(buffer.Text(), "line2\r\n" + body + tail);
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
// buffer passes 32700 characters, drop its first 2700 and the rest of the line they end in
// (unless that line is the last) and move the position back with them.
Shown ReferenceShow(std::string b) {
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
            size_t cut = 2700;
            const size_t lf = b.find('\n', cut - 1);
            const size_t cr = b.find('\r', cut - 1);
            size_t end = std::min(lf, cr);
            if (end != std::string::npos) end += b.compare(end, 2, "\r\n") == 0 ? 2 : 1;
            if (end < b.size()) cut = end;
            b.erase(0, cut);
            pos = pos > cut ? pos - cut : 0;
        }
    }
    return {b, b};
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
         std::string(29699, 'y'), std::string(29699, 'y')},
        {"cut on through the rest to a line's end",
         "ab\n" + std::string(3000, 'c') + "\n" + std::string(29696, 'd'), std::string(29696, 'd'),
         std::string(29696, 'd')},
        {"cut into the last line keeps its end",
         "ab\n" + std::string(2000, 'c') + "\n" + std::string(30696, 'd'), std::string(30001, 'd'),
         std::string(30001, 'd')},
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
        if (seed % 2 == 0) {
            buffer.Assign(text);
        } else {
            // Appended in pieces: what stays is the end of what came, from a line's start.
            for (size_t at = 0; at < text.size(); at += 997)
                buffer.Append(text.substr(at, 997));
            const std::string& kept = buffer.Text();
            ASSERT_LT(kept.size(), size_t{32700});
            ASSERT_TRUE(text.ends_with(kept));
            if (kept.size() < text.size()) {
                const char before = text[text.size() - kept.size() - 1];
                ASSERT_TRUE(before == '\n' || (before == '\r' && kept.front() != '\n'));
            }
            text = kept;
        }
        const Shown reference = ReferenceShow(text);
        const std::string shown = buffer.Show();
        EXPECT_EQ(shown, reference.shown);
        EXPECT_EQ(buffer.Text(), reference.buffer);
        EXPECT_LE(buffer.Text().size(), size_t{32700});
        ExpectOnlyCrLfPairs(shown);
        EXPECT_FALSE(buffer.Truncated());
    }
}

} // namespace
} // namespace tivane::test
