// The output buffer of a text view: line breaks shown as CR LF, the column of POS, and the
// cuts of whole lines that keep it below 32700 characters. (How much the last Show cut only
// saves the window work: it checks the cut before it appends, and the app's tests check that.)

#include "outputbuffer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>

namespace tivane::test {
namespace {

TEST(OutputBufferTest, ShowMakesEveryLineBreakCrLfAndColumnCountsAfterTheLast) {
    // Text, shown, column of POS.
    // clang-format off
    const std::tuple<std::string, std::string, int32_t> rows[] = {
        {"a\nb", "a\r\nb", 1}, {"a\r\nbc", "a\r\nbc", 2}, {"a\rbcd", "a\r\nbcd", 3}, {"a\r", "a\r\n", 0},
        {"\n\n", "\r\n\r\n", 0}, {"\n\r", "\r\n\r\n", 0}, {"\n\r\n", "\r\n\r\n", 0}, {"\r\r\n\n", "\r\n\r\n\r\n", 0},
        {"", "", -1}, {"abc", "abc", 2}, {"x\nb\rcd", "x\r\nb\r\ncd", 2}};
    // clang-format on
    for (const auto& [text, shown, column] : rows) {
        OutputBuffer buffer;
        buffer.Assign(text);
        SCOPED_TRACE(testing::PrintToString(text));
        EXPECT_EQ(buffer.Column(), column);
        EXPECT_EQ(buffer.Show(), shown);
        EXPECT_EQ(buffer.Text(), shown);
    }
}

// `count` lines of `length` characters each, the last of them the line break `end`.
std::string Lines(size_t count, size_t length, std::string_view end = "\n") {
    std::string text;
    for (size_t k = 0; k < count; ++k)
        text += std::string(length - end.size(), static_cast<char>('a' + k % 26)) += end;
    return text;
}

// Show done the slow, obvious way: insert each missing CR or LF in place and, whenever the
// buffer passes 32700 characters, drop its first 2700 and the rest of the line they end in
// (unless that line is the last) and move the position back with them.
std::string ReferenceShow(std::string b) {
    for (size_t pos = 0; pos < b.size();) {
        if (b.compare(pos, 2, "\r\n") == 0) {
            pos += 2;
            continue;
        }
        if (b[pos] != '\n' && b[pos] != '\r') {
            ++pos;
            continue;
        }
        b.insert(b[pos] == '\n' ? pos : pos + 1, 1, b[pos] == '\n' ? '\r' : '\n');
        pos += 2;
        if (b.size() > 32700) {
            size_t cut = 2700;
            size_t end = std::min(b.find('\n', cut - 1), b.find('\r', cut - 1));
            if (end != std::string::npos) end += b.compare(end, 2, "\r\n") == 0 ? 2 : 1;
            if (end < b.size()) cut = end;
            b.erase(0, cut);
            pos = pos > cut ? pos - cut : 0;
        }
    }
    return b;
}

// Show's result, checked against the slow walk: it is the same text, and its line breaks are all
// CR LF.
void ExpectShown(OutputBuffer& buffer, const std::string& text) {
    const std::string shown = buffer.Show();
    EXPECT_EQ(shown, ReferenceShow(text));
    EXPECT_EQ(buffer.Text(), shown);
    EXPECT_FALSE(buffer.Truncated());
    for (size_t k = 0; k < shown.size(); ++k) {
        ASSERT_TRUE(shown[k] != '\n' || (k > 0 && shown[k - 1] == '\r')) << "bare LF at " << k;
        ASSERT_TRUE(shown[k] != '\r' || shown[k + 1] == '\n') << "bare CR at " << k;
    }
}

// Append cuts whole lines off the front when the text would reach the limit.
TEST(OutputBufferTest, AppendCutsWholeLinesOffTheFrontWhenItWouldReachTheLimit) {
    const std::string h100(100, '#'), h2750(2750, '#');
    const std::tuple<const char*, std::string, std::string, size_t> rows[] = {
        // What, before, appended, how much of before + appended goes.
        {"32750 would pass the limit", std::string(32650, 'a'), h100, 2800},
        {"32700 reaches it", std::string(32600, 'a'), h100, 2800},
        {"one piece as long as the limit: its last 30000 stay", "ab", std::string(32700, '#'),
         2702},
        {"the cut goes on to its line's end", Lines(100, 300), h2750, 5700},
        {"CR LF is one break", Lines(100, 300, "\r\n"), h2750, 5700},
        {"one piece, cut inside a line", "", Lines(300, 300) + "end", 60300},
        {"last line too long", Lines(10, 100), std::string(40000, '#'), 11000}};
    for (const auto& [what, before, appended, dropped] : rows) {
        OutputBuffer buffer;
        buffer.Assign(before);
        buffer.Append(appended);
        EXPECT_EQ(buffer.Text(), (before + appended).substr(dropped)) << what;
        EXPECT_EQ(buffer.Truncated(), dropped > 0) << what;
        // Then Show starts with the whole line the cut left, and clears the cut.
        const std::string kept = buffer.Text();
        ExpectShown(buffer, kept);
    }
}

// Buffers just below the limit, full of bare LF line breaks (what PRINT leaves), some built
// by appending: whatever the walk cuts, the result is the slow walk's. The first line break
// can push it past the limit while the position is still inside the 2700 characters that go
// (short lines) or past them, and the cut goes on to a line's end.
TEST(OutputBufferTest, ShowNearTheLimitMatchesTheSlowWalk) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 random(seed);
        const size_t length = 30000 + random() % 2701;
        const uint32_t longestLine = seed % 4 == 0 ? 3 : seed % 4 == 1 ? 20 : 200;
        const bool mixed = seed % 5 == 0; // also lone CRs and CR LF pairs
        std::string text;
        while (text.size() < length) {
            for (size_t k = random() % (longestLine + 1); k > 0; --k)
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
            ASSERT_TRUE(kept.size() < 32700 && text.ends_with(kept));
            const char before =
                kept.size() < text.size() ? text[text.size() - kept.size() - 1] : '\n';
            ASSERT_TRUE(before == '\n' || (before == '\r' && kept.front() != '\n'));
            text = kept;
        }
        ExpectShown(buffer, text);
    }
}

} // namespace
} // namespace tivane::test
