// What a graphics view records for a program's drawing calls: conversion from the world window
// to clip units, the one-unit tolerance, segment clipping, text positions, CLIPWINDOW checks,
// attribute items, and that no input makes it record a point outside its range.

#include "graphmodel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "drawitems.h"

namespace tivane::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMax = std::numeric_limits<double>::max();
constexpr DRect A = kDrawArea;
constexpr DRect S{0, 0, 100, 100};

// Runs the calls of `ops`, separated by blanks: m/l/r/d x,y (move, line, relative move,
// relative line), p<text>, n (null text), f/b r,g,b (fore, back colour), z size (pen),
// F<face>,size,flags (font), D (defaults), U (run start).
void Apply(GraphModel& m, const std::string& ops) {
    std::istringstream in(ops);
    for (std::string t; in >> t;) {
        double v[3] = {};
        std::sscanf(t.c_str() + 1, "%lf,%lf,%lf", &v[0], &v[1], &v[2]);
        const char k = t[0];
        bool ok = std::strchr("mlrdpnfbzFDU", k) != nullptr;
        if (k == 'm') ok = m.MoveTo(v[0], v[1]);
        if (k == 'l') ok = m.LineTo(v[0], v[1]);
        if (k == 'r') ok = m.MoveRel(v[0], v[1]);
        if (k == 'd') ok = m.LineRel(v[0], v[1]);
        if (k == 'p') ok = m.OutputText(t.data() + 1, t.size() - 1);
        if (k == 'n') ok = m.OutputText(nullptr, 0);
        if (k == 'f') ok = m.SetForeColor(int32_t(v[0]), int32_t(v[1]), int32_t(v[2]));
        if (k == 'b') ok = m.SetBackColor(int32_t(v[0]), int32_t(v[1]), int32_t(v[2]));
        if (k == 'z') ok = m.SetPenSize(v[0]);
        const size_t comma = t.find(',');
        if (k == 'F') std::sscanf(t.c_str() + comma + 1, "%lf,%lf", &v[0], &v[1]);
        if (k == 'F') ok = m.ChangeFont(t.substr(1, comma - 1), v[0], uint16_t(v[1]));
        if (k == 'D') ok = m.RecordDefaults();
        if (k == 'U') ok = m.RecordRunStart();
        EXPECT_TRUE(ok) << t;
    }
}

struct DrawRow {
    const char* name;
    DRect clip, world; // A: left as ResetContents set it
    const char* ops;
    const char* items;   // Items()
    double lastX, lastY; // clip units, before clipping
};

class DrawTest : public testing::TestWithParam<DrawRow> {};

TEST_P(DrawTest, RecordsTheseItems) {
    const DrawRow& row = GetParam();
    GraphModel model;
    const DRect& c = row.clip;
    if (!(c == A)) {
        ASSERT_EQ(model.SetClipWindow(int32_t(c.x1), int32_t(c.y1), int32_t(c.x2), int32_t(c.y2)),
                  0u);
    }
    model.SetWorldWindow(row.world.x1, row.world.y1, row.world.x2, row.world.y2);
    Apply(model, row.ops);
    EXPECT_EQ(ItemsOf(model.List()), Items(row.items));
    EXPECT_DOUBLE_EQ(model.LastX(), row.lastX);
    EXPECT_DOUBLE_EQ(model.LastY(), row.lastY);
}

// With S as both windows, world points are clip units.
// clang-format off
const DrawRow kMoves[] = {
    {"RoundsHalfUp", S, S, "m10.5,20.49", "M11,20", 10.5, 20.49},
    {"HalfUnitBorderIsInside", S, S, "m-0.4,50 m-0.5,-0.5 m100.5,100.5", "M0,50 M0,0 M101,101", 100.5, 100.5},
    {"PastTheBorderNothing", S, S, "m-0.6,50 m100.6,50", "", 100.6, 50},
    {"ToleranceOfOneUnit", S, S, "m50,50 m51,49 m50.8,50.8 m51.5,50", "M50,50 M52,50", 51.5, 50},
    {"OutsideMovesTheLastPoint", S, S, "m-50,50 m-49.5,50.5 m-48.8,50 pt", "M-48,50 Tt", -48.8, 50},
    {"WorldScalesNoFlip", {0, 0, 200, 100}, {-1, -1, 1, 1}, "m0,0 m0.5,-0.5 m-1,1", "M100,50 M150,25 M0,100", 0, 100},
    {"ClipOffsetDoesNotShift", {10, 20, 110, 70}, S, "m50,50 m100,100", "M50,25 M100,50", 100, 50},
    // The dropped move still set the world point that the relative move starts from.
    {"RelativeFromLastWorldPoint", S, S, "m10,10 m10.5,10 r1,0", "M10,10 M12,10", 11.5, 10},
};

const DrawRow kLines[] = {
    {"FirstLineFromTheCorner", A, A, "l100,100", "M0,0 L100,100", 100, 100},
    {"StartClippedLeft", S, S, "m-20,20 l80,70", "M0,30 L80,70", 80, 70},
    {"StartClippedTop", S, S, "m20,-40 l60,40", "M40,0 L60,40", 60, 40},
    {"StartClippedBottom", S, S, "m10,130 l50,70", "M30,100 L50,70", 50, 70},
    {"EndClippedRight", S, S, "m20,20 l180,60", "M20,20 L100,40", 180, 60},
    {"EndClippedLeft", S, S, "m60,20 l-20,60", "M60,20 L0,50", -20, 60},
    {"EndClippedBottom", S, S, "m20,60 l60,140", "M20,60 L40,100", 60, 140},
    {"BothEndsClipped", S, S, "m-20,120 l120,-20", "M0,100 L100,0", 120, -20}, // and the end at the top
    {"MissingTheCorner", S, S, "m-10,-30 l30,-10", "", 30, -10},
    {"WhollyLeftMovesLastPoint", S, S, "m-30,10 l-20,20 l50,50", "M0,29 L50,50", 50, 50},
    {"OutAcrossTheRightAndBackIn", S, S, "m50,50 l150,100 l150,20 l50,20", "M50,50 L100,75 M100,20 L50,20", 50, 20},
    {"WithinToleranceNothing", S, S, "m50,50 l50.5,50.5 l52,50", "M50,50 L52,50", 52, 50},
};

const DrawRow kTexts[] = {
    {"InsideNoMoveKeepsLastPoint", S, S, "m10,10 phi m10.5,10.5", "M10,10 Thi", 10, 10},
    {"OutsideMovesThereFirst", S, S, "m-50,200 px", "M-49,200 Tx", -50, 200}, // trunc(-49.5)
    {"AfterAClippedLineAtItsEnd", S, S, "m50,50 l150,50 pe", "M50,50 L100,50 M150,50 Te", 150, 50},
    // The clamp comes first, then rnd: rnd(-32700) = trunc(-32699.5) = -32699.
    {"FarNegativeClamped", S, {0, 0, 1, 1}, "m-1e6,-3e6 pg", "M-32699,-32699 Tg", -1e8, -3e8},
};
// A picture starts white, black, with a pen of 1.0 and 12 points of Fixedsys; a run's pen is
// one device pixel at any scale: size 0, not 1.0.
const DrawRow kAttributes[] = {
    {"PictureStart", A, A, "D", "Bffffff F0 P1 NFixedsys S1200,0", -10, -10},
    {"RunStart", A, A, "U", "F0 P0", -10, -10},
    {"PenClampedTo0Through100", A, A, "z-1 znan z-inf z0 z2.5 z100 z100.0001 zinf", "P0 P0 P0 P0 P2.5 P100 P100 P100", -10, -10},
    {"ColoursModulo256", A, A, "f257,-1,2 b-256,511,1000 f1073741824,-1073741827,2147483647", "F02ff01 Be8ff00 Ffffd00", -10, -10},
    {"FontSizeInHundredths", A, A, "FArial,12,0 FArial,0.5,0 FArial,nan,0 FArial,400,0", "NArial S1200,0 NArial S100,0 NArial S100,0 NArial S32000,0", -10, -10},
};
// clang-format on

std::string RowName(const testing::TestParamInfo<DrawRow>& info) {
    return info.param.name;
}
INSTANTIATE_TEST_SUITE_P(MoveTo, DrawTest, testing::ValuesIn(kMoves), RowName);
INSTANTIATE_TEST_SUITE_P(LineTo, DrawTest, testing::ValuesIn(kLines), RowName);
INSTANTIATE_TEST_SUITE_P(OutputText, DrawTest, testing::ValuesIn(kTexts), RowName);
INSTANTIATE_TEST_SUITE_P(Attributes, DrawTest, testing::ValuesIn(kAttributes), RowName);

TEST(GraphModelTest, WindowValuesAndResetContents) {
    GraphModel model;
    ASSERT_EQ(model.SetClipWindow(10, 20, 300, 400), 0u);
    model.SetWorldWindow(-1, -2, 3, 4);
    Apply(model, "m0,0 l1,1");
    // Area, clip and world window (GETWINSIZE clamps the index).
    const double values[] = {0, 0, 30000, 30000, 10, 20, 300, 400, -1, -2, 3, 4};
    for (int32_t i = 0; i < 12; ++i)
        EXPECT_EQ(model.GetWindowValue(i), values[i]) << i;
    // CLEARVIEW: the whole area again, and the list's storage given back.
    model.ResetContents();
    EXPECT_EQ(model.GetWindowValue(6), 30000);
    EXPECT_FALSE(model.List().HasStorage());
    EXPECT_EQ(model.SetClipWindow(0, 0, 100, 100), 0u); // the list is empty again
}

TEST(GraphModelTest, SetClipWindowChecksBoundsThenDrawingItems) {
    struct Row {
        const char* before;
        int32_t x1, y1, x2, y2;
        uint32_t error;
    };
    const Row rows[] = {
        {"", 1, 2, 29999, 29999, 0},
        {"", 0, 0, 30000, 100, 26},
        {"", 5, 0, 5, 100, 26},
        {"", 0, -1, 100, 100, 26},
        {"m10,10", 0, 0, 100, 100, 25},
        {"m10,10", 0, 0, 30000, 100, 26},
        {"f1,2,3 z2 FArial,9,0", 0, 0, 100, 100, 0},
    };
    for (const Row& r : rows) {
        GraphModel model;
        Apply(model, r.before);
        SCOPED_TRACE(testing::Message()
                     << r.before << ": " << r.x1 << "," << r.y1 << "," << r.x2 << "," << r.y2);
        EXPECT_EQ(model.SetClipWindow(r.x1, r.y1, r.x2, r.y2), r.error);
        const DRect set{double(r.x1), double(r.y1), double(r.x2), double(r.y2)};
        EXPECT_EQ(model.Clip(), r.error == 0 ? set : A);
    }
}

// Every point item must be one the replay can use: a line end inside [0, W] x [0, H], a move of
// MOVETO inside the half-unit border, a move before a text inside the 16-bit clamp.
void ExpectItemsInRange(const GraphModel& model) {
    const DrawList& list = model.List();
    const int32_t w = static_cast<int32_t>(model.Clip().x2 - model.Clip().x1);
    const int32_t h = static_cast<int32_t>(model.Clip().y2 - model.Clip().y1);
    for (int32_t i = 0; i < list.Count(); ++i) {
        const uint8_t code = list.Code(i);
        if (code != DI_MOVETO && code != DI_LINETO) continue;
        const auto operand = static_cast<uint32_t>(list.Operand(i));
        const int32_t x = int16_t(operand & 0xFFFF), y = int16_t(operand >> 16);
        const bool text = i + 1 < list.Count() && list.Code(i + 1) == DI_TEXT;
        const int32_t lo = text ? -32700 : 0, border = code == DI_MOVETO && !text;
        const int32_t xHi = text ? 32700 : w + border, yHi = text ? 32700 : h + border;
        EXPECT_TRUE(lo <= x && x <= xHi && lo <= y && y <= yHi)
            << int{code} << " at " << x << "," << y;
    }
}

// Division by zero in the conversion, overflow to infinity and NaN anywhere: no crash, no
// undefined conversion (the sanitizer build checks float-to-int casts), no point out of range.
TEST(GraphModelTest, DegenerateWindowsAndHugeCoordinatesStayInRange) {
    // clang-format off
    const DRect worlds[] = {A, {5, 0, 5, 100}, {0, 5, 100, 5}, {1, 1, 1, 1}, {0, 0, 1e-300, 1e-300},
                            {-kMax, -kMax, kMax, kMax}, {0, 0, kInf, kInf}, {kNaN, kNaN, kNaN, kNaN}, {100, 100, 0, 0}};
    const double values[] = {0, 50, -50, 0.25, 1e6, -1e6, 1e300, -1e300, kMax, -kMax, kInf, -kInf, kNaN};
    // clang-format on
    int64_t drawn = 0;
    for (const int32_t clipHeight : {0, 50})
        for (const DRect& world : worlds)
            for (double a : values)
                for (double b : values) {
                    GraphModel model;
                    ASSERT_EQ(clipHeight ? model.SetClipWindow(0, 0, 100, clipHeight) : 0u, 0u);
                    model.SetWorldWindow(world.x1, world.y1, world.x2, world.y2);
                    model.MoveTo(a, b);
                    model.OutputText("m", 1);
                    model.LineTo(b, a);
                    model.LineTo(50, 25);
                    model.LineTo(a, a);
                    model.MoveRel(b, b);
                    model.LineRel(a, b);
                    model.OutputText("t", 1);
                    model.LineTo(b, 10);
                    SCOPED_TRACE(testing::Message()
                                 << FormatRect(world) << " a " << a << " b " << b);
                    ExpectItemsInRange(model);
                    drawn += model.List().Count();
                }
    EXPECT_GT(drawn, 0);
}

} // namespace
} // namespace tivane::test
