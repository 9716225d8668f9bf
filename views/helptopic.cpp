#include "helptopic.h"

#include "builtintable.h"

namespace tivane {

int32_t HelpTopicAt(std::string_view line, int32_t column) {
    constexpr int32_t kMaxColumn = 480;
    if (column >= kMaxColumn || column < 0) return kHelpNoTopic;
    line = line.substr(0, 500);
    auto isLetter = [&](int32_t k) {
        if (k < 0 || k >= static_cast<int32_t>(line.size())) return false;
        const char c = line[static_cast<size_t>(k)];
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    };
    int32_t k = column;
    if (!isLetter(k) && k > 0) --k;
    if (!isLetter(k)) return kHelpNoTopic;
    int32_t from = k, to = k + 1;
    while (isLetter(from - 1))
        --from;
    while (isLetter(to))
        ++to;
    const int32_t named =
        FindBuiltin(line.substr(static_cast<size_t>(from), static_cast<size_t>(to - from)));
    return named < 0 ? kHelpNoTopic : kHelpBuiltinBase + kFirstNamedRow + named;
}

} // namespace tivane
