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
    const int32_t none = 206848;
    const std::string far = std::string(477, ' ') + "sin";
    // The word under the caret or one step left of it, any case, whole words only; column 0
    // does not step, and only the first 480 columns count.
    const std::tuple<std::string, int32_t, int32_t> rows[] = {
        {"SIN(x)", 3, sin}, {"y = sIn(x)", 4, sin}, {"foo(x)", 3, none}, {"sinx", 2, none},
        {"(sin)", 0, none}, {far, 479, sin},        {far, 480, none}};
    for (const auto& [line, column, expected] : rows)
        EXPECT_EQ(HelpTopicAt(line, column), expected) << "\"" << line << "\" at " << column;
}

} // namespace
} // namespace tivane::test
