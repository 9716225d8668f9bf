// What Save Contents reads from its answers before it writes: the numbers of the size answer,
// and the sizes a picture may have.

#include "picturewriter.h"

#include <gtest/gtest.h>

#include <string_view>
#include <tuple>
#include <utility>

namespace tivane {
namespace {

TEST(PictureWriterTest, LeadingIntegerReadsLikeTheCLibraryButNeverOverflows) {
    // "18446744073709551621" is 2^64 + 5: wrapping would give 5.
    const std::pair<std::string_view, int32_t> rows[] = {{"640", 640},
                                                         {"800 ", 800},
                                                         {"\t 7x", 7},
                                                         {"+12", 12},
                                                         {"-5", -5},
                                                         {"abc", 0},
                                                         {"", 0},
                                                         {"-", 0},
                                                         {"+-3", 0},
                                                         {"2147483647", 2147483647},
                                                         {"2147483648", 2147483647},
                                                         {"-99999999999999999999", -2147483647 - 1},
                                                         {"0000000000000000000000042", 42},
                                                         {"18446744073709551621", 2147483647}};
    for (const auto& [text, value] : rows)
        EXPECT_EQ(LeadingInteger(text), value) << text;
}

TEST(PictureWriterTest, SizesUpTo256MegapixelsAreAllowed) {
    const std::tuple<int64_t, int64_t, bool> rows[] = {
        {1, 1, true},          {16384, 16384, true},   {16384, 16385, false}, {268435456, 1, true},
        {268435457, 1, false}, {2147483647, 5, false}, {0, 5, false},         {5, -1, false}};
    for (const auto& [w, h, allowed] : rows)
        EXPECT_EQ(PictureSizeAllowed(w, h), allowed) << w << " x " << h;
}

} // namespace
} // namespace tivane
