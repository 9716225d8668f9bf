// The names of the files beside a document (layout file, side files of its windows) and the
// "WindowPlacement" value of the layout file.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>

#include "tivanedoc.h"
#include "viewbase.h"

namespace tivane::test {
namespace {

TEST(LayoutFileNameTest, PutsIniAfterTheLastDotOfThePath) {
    // The last '.' of the whole path, directories included.
    const std::tuple<std::string, std::string> rows[] = {
        {"/d/a.b.tvd", "/d/a.b.ini"}, {"/d/noext", "/d/noext.ini"}, {"/d.x/noext", "/d.ini"}};
    for (const auto& [path, expected] : rows)
        EXPECT_EQ(CTivaneDoc::LayoutFileNameOf(path), expected) << path;
}

// Ten numbers formatted, and parsed back; parsing a damaged value stops at its first mismatch.
TEST(PlacementTest, FormatsTenNumbersAndParsingStopsAtTheFirstMismatch) {
    const WindowPlacement extremes{-32768, 32767, INT32_MIN, INT32_MAX, 0, 0, 1, 2, 3, 4};
    const std::string text = "-32768,32767,-2147483648,2147483647,0,0,1,2,3,4";
    EXPECT_EQ(FormatPlacement(extremes), text);
    const WindowPlacement before{5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    // The first mismatch ends it (a ',' must follow each number); blanks and a sign before a
    // number are part of it, as for "%d"; anything after the tenth is ignored; the two 16-bit
    // fields take the low 16 bits.
    const std::tuple<std::string, WindowPlacement> rows[] = {
        {text, extremes},
        {"3,x,1,2,3,4,5,6,7,8", {3, 6, 7, 8, 9, 10, 11, 12, 13, 14}},
        {"1,2,3,4,5,6,7,8,9,-", {1, 2, 3, 4, 5, 6, 7, 8, 9, 14}},
        {" 1, 2,+3,\t-4,5,6,7,8,9,10x,11", {1, 2, 3, -4, 5, 6, 7, 8, 9, 10}},
        {"70000,65535,1,2,3,4,5,6,7,8", {4464, -1, 1, 2, 3, 4, 5, 6, 7, 8}}};
    for (const auto& [value, expected] : rows) {
        WindowPlacement placement = before;
        ParsePlacement(value, placement);
        EXPECT_EQ(FormatPlacement(placement), FormatPlacement(expected)) << value; // readable
    }
}

} // namespace
} // namespace tivane::test
