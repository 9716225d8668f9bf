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
    const std::pair<std::string_view, int32_t> rows[] = {{"\t +7x", 7},
                                                         {"-5", -5},
                                                         {"+-3", 0},
                                                         {"2147483648", 2147483647},
                                                         {"-99999999999999999999", -2147483647 - 1},
                                                         {"18446744073709551621", 2147483647}};
    for (const auto& [text, value] : rows)
        EXPECT_EQ(LeadingInteger(text), value) << text;
}

TEST(PictureWriterTest, SizesUpTo256MegapixelsAreAllowed) {
    const std::tuple<int64_t, int64_t, bool> rows[] = {
        {16384, 16384, true}, {16384, 16385, false}, {2147483647, 5, false}, {0, 5, false}};
    for (const auto& [w, h, allowed] : rows)
        EXPECT_EQ(PictureSizeAllowed(w, h), allowed) << w << " x " << h;
}

} // namespace
} // namespace tivane
