// The names of the files beside a document (layout file, side files of its windows) and the
// "WindowPlacement" value of the layout file.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <tuple>

#include "tivanedoc.h"
#include "viewbase.h"

namespace tivane {

// Readable failures; found by argument-dependent lookup, hence in the type's namespace.
static void PrintTo(const WindowPlacement& p, std::ostream* os) {
    *os << FormatPlacement(p);
}

namespace test {
namespace {

TEST(LayoutFileNameTest, PutsIniAfterTheLastDotOfThePath) {
    // The last '.' of the whole path, directories included.
    const std::tuple<std::string, std::string> rows[] = {
        {"/d/a.tvd", "/d/a.ini"},     {"/d/noext", "/d/noext.ini"}, {"/d.x/noext", "/d.ini"},
        {"/d/a.b.tvd", "/d/a.b.ini"}, {"/d/a.", "/d/a.ini"},        {"model.TVD", "model.ini"}};
    for (const auto& [path, expected] : rows)
        EXPECT_EQ(CTivaneDoc::LayoutFileNameOf(path), expected) << path;
}

constexpr int32_t kMin32 = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax32 = std::numeric_limits<int32_t>::max();

TEST(PlacementTest, FormatsTenNumbersAndParsesThemBack) {
    const std::tuple<WindowPlacement, std::string> rows[] = {
        {{0, 1, -1, -1, -1, -1, 10, 20, 650, 500}, "0,1,-1,-1,-1,-1,10,20,650,500"},
        {{2, 3, 0, 0, -32000, -32000, -8, -8, 1928, 1048}, "2,3,0,0,-32000,-32000,-8,-8,1928,1048"},
        {{-32768, 32767, kMin32, kMax32, 0, 0, 1, 2, 3, 4},
         "-32768,32767,-2147483648,2147483647,0,0,1,2,3,4"},
    };
    for (const auto& [placement, text] : rows) {
        EXPECT_EQ(FormatPlacement(placement), text);
        WindowPlacement parsed{9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
        ParsePlacement(text, parsed);
        EXPECT_EQ(parsed, placement) << text;
    }
}

TEST(PlacementTest, ParsingStopsAtTheFirstMismatchAndKeepsTheRest) {
    const WindowPlacement before{5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    // The first mismatch ends it (a ',' must follow each number); blanks and a sign before a
    // number are part of it, as for "%d"; anything after the tenth is ignored; the two 16-bit
    // fields take the low 16 bits.
    const std::tuple<std::string, WindowPlacement> rows[] = {
        {"", before},
        {"3,x,1,2,3,4,5,6,7,8", {3, 6, 7, 8, 9, 10, 11, 12, 13, 14}},
        {"1,2,3,", {1, 2, 3, 8, 9, 10, 11, 12, 13, 14}},
        {"1 ,2,3,4,5,6,7,8,9,10", {1, 6, 7, 8, 9, 10, 11, 12, 13, 14}},
        {"1,2,3,4,5,6,7,8,9,-", {1, 2, 3, 4, 5, 6, 7, 8, 9, 14}},
        {"1;2,3,4,5,6,7,8,9,10", {1, 6, 7, 8, 9, 10, 11, 12, 13, 14}},
        {" 1, 2,+3,\t-4,5,6,7,8,9,10x,11", {1, 2, 3, -4, 5, 6, 7, 8, 9, 10}},
        {"70000,65535,1,2,3,4,5,6,7,8", {4464, -1, 1, 2, 3, 4, 5, 6, 7, 8}},
        {"-70000,32768,1,2,3,4,5,6,7,8", {-4464, -32768, 1, 2, 3, 4, 5, 6, 7, 8}}};
    for (const auto& [text, expected] : rows) {
        WindowPlacement placement = before;
        ParsePlacement(text, placement);
        EXPECT_EQ(placement, expected) << text;
    }
}

} // namespace
} // namespace test
} // namespace tivane
