#pragma once
// F1 in a text view: the help page of the built-in function under the caret.

#include <cstdint>
#include <string_view>

namespace tivane {

// The help topic of the word at a column of a line (F1 in a text view): 204800 plus the
// built-in's table row for a named built-in function, else 206848 (also for columns of 480
// and beyond).
inline constexpr int32_t kHelpBuiltinBase = 204800;
inline constexpr int32_t kHelpNoTopic = 206848;
int32_t HelpTopicAt(std::string_view line, int32_t column);

} // namespace tivane
