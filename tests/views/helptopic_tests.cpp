// The help topic of the word at the caret (F1 in a text view).

#include "helptopic.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "builtintable.h"

namespace tivane::test {
namespace {

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
