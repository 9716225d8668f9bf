// What a graphics view records for a program's drawing calls: conversion from the world window
// to clip units, the one-unit tolerance, segment clipping, text positions, CLIPWINDOW checks,
// attribute items, and that no input makes it record a point outside its range.

#include "graphmodel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "drawitems.h"

namespace tivane::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kMax = std::numeric_limits<double>::max();

// One drawing call of a program.
struct Op {
    enum Kind { Move, Line, MoveRel, LineRel, Print, PrintNull } kind;
    double x = 0, y = 0;
    std::string text;
};
Op Mv(double x, double y) {
    return {Op::Move, x, y, {}};
}
Op Ln(double x, double y) {
    return {Op::Line, x, y, {}};
}
Op RMv(double dx, double dy) {
    return {Op::MoveRel, dx, dy, {}};
}
Op RLn(double dx, double dy) {
    return {Op::LineRel, dx, dy, {}};
}
Op Print(std::string text) {
    return {Op::Print, 0, 0, std::move(text)};
}
Op PrintNull() {
    return {Op::PrintNull, 0, 0, {}};
}

void Apply(GraphModel& model, const Op& op) {
    switch (op.kind) {
    case Op::Move:
        EXPECT_TRUE(model.MoveTo(op.x, op.y));
        break;
    case Op::Line:
        EXPECT_TRUE(model.LineTo(op.x, op.y));
        break;
    case Op::MoveRel:
        EXPECT_TRUE(model.MoveRel(op.x, op.y));
        break;
    case Op::LineRel:
        EXPECT_TRUE(model.LineRel(op.x, op.y));
        break;
    case Op::Print:
        EXPECT_TRUE(model.OutputText(op.text.data(), op.text.size()));
        break;
    case Op::PrintNull:
        EXPECT_TRUE(model.OutputText(nullptr, 0));
        break;
    }
}

constexpr DRect kSquare{0, 0, 100, 100};

struct DrawRow {
    const char* name;
    DRect clip;  // kDrawArea: left as ResetContents set it
    DRect world; // likewise
    std::vector<Op> ops;
    std::vector<Item> expected;
    double lastX, lastY; // clip units, before clipping
};

class DrawTest : public testing::TestWithParam<DrawRow> {};

TEST_P(DrawTest, RecordsTheseItems) {
    const DrawRow& row = GetParam();
    GraphModel model;
    if (!(row.clip == kDrawArea)) {
        ASSERT_EQ(model.SetClipWindow(
                      static_cast<int32_t>(row.clip.x1), static_cast<int32_t>(row.clip.y1),
                      static_cast<int32_t>(row.clip.x2), static_cast<int32_t>(row.clip.y2)),
                  0u);
    }
    model.SetWorldWindow(row.world.x1, row.world.y1, row.world.x2, row.world.y2);
    for (const Op& op : row.ops)
        Apply(model, op);
    EXPECT_EQ(ItemsOf(model.List()), row.expected);
    EXPECT_DOUBLE_EQ(model.LastX(), row.lastX);
    EXPECT_DOUBLE_EQ(model.LastY(), row.lastY);
}

// Square rows: world and clip window both (0, 0, 100, 100), so world points are clip units.
const DrawRow kMoves[] = {
    {"FirstMoveAfterResetIsRecorded", kDrawArea, kDrawArea, {Mv(0, 0)}, {MoveItem(0, 0)}, 0, 0},
    {"RoundsHalfUp", kSquare, kSquare, {Mv(10.5, 20.49)}, {MoveItem(11, 20)}, 10.5, 20.49},
    {"JustLeftOfTheAreaRoundsToZero",
     kSquare,
     kSquare,
     {Mv(-0.4, 50)},
     {MoveItem(0, 50)},
     -0.4,
     50},
    {"FartherLeftRecordsNothing", kSquare, kSquare, {Mv(-0.6, 50)}, {}, -0.6, 50},
    {"HalfUnitBordersAreInside",
     kSquare,
     kSquare,
     {Mv(-0.5, -0.5), Mv(100.5, 100.5)},
     {MoveItem(0, 0), MoveItem(101, 101)},
     100.5,
     100.5},
    {"PastTheFarBorderRecordsNothing", kSquare, kSquare, {Mv(100.6, 50)}, {}, 100.6, 50},
    {"WithinToleranceKeepsTheOldPoint",
     kSquare,
     kSquare,
     {Mv(50, 50), Mv(51, 49)},
     {MoveItem(50, 50)},
     50,
     50},
    {"OneAndAHalfFromTheKeptPointIsRecorded",
     kSquare,
     kSquare,
     {Mv(50, 50), Mv(50.8, 50.8), Mv(51.5, 50)},
     {MoveItem(50, 50), MoveItem(52, 50)},
     51.5,
     50},
    {"TinyStepsAccumulate",
     kSquare,
     kSquare,
     {Mv(50, 50), Mv(50.4, 50), Mv(50.8, 50), Mv(51.2, 50)},
     {MoveItem(50, 50), MoveItem(51, 50)},
     51.2,
     50},
    {"OneAxisBeyondToleranceIsEnough",
     kSquare,
     kSquare,
     {Mv(50, 50), Mv(50.2, 51.1)},
     {MoveItem(50, 50), MoveItem(50, 51)},
     50.2,
     51.1},
    // The last point follows the moves outside (the text item shows where it went).
    {"OutsideStillMovesTheLastPoint",
     kSquare,
     kSquare,
     {Mv(-50, 50), Mv(-49.5, 50.5), Mv(-48.8, 50), Print("t")},
     {MoveItem(-48, 50), TextItem("t")},
     -48.8,
     50},
    {"WorldWindowScalesEachAxisWithoutFlippingY",
     {0, 0, 200, 100},
     {-1, -1, 1, 1},
     {Mv(0, 0), Mv(0.5, -0.5), Mv(-1, 1)},
     {MoveItem(100, 50), MoveItem(150, 25), MoveItem(0, 100)},
     0,
     100},
    {"ClipOffsetDoesNotShiftPoints",
     {10, 20, 110, 70},
     kSquare,
     {Mv(50, 50), Mv(100, 100)},
     {MoveItem(50, 25), MoveItem(100, 50)},
     100,
     50},
    // The dropped move still set the world point that the relative move starts from.
    {"RelativeMoveStartsFromTheLastWorldPointGiven",
     kSquare,
     kSquare,
     {Mv(10, 10), Mv(10.5, 10), RMv(1, 0)},
     {MoveItem(10, 10), MoveItem(12, 10)},
     11.5,
     10},
};

const DrawRow kLines[] = {
    {"ClippedStartGetsAMove",
     kSquare,
     kSquare,
     {Mv(-10, 50), Ln(50, 50)},
     {MoveItem(0, 50), LineItem(50, 50)},
     50,
     50},
    {"UnclippedStartGetsNoMove",
     kSquare,
     kSquare,
     {Mv(10, 10), Ln(20, 30)},
     {MoveItem(10, 10), LineItem(20, 30)},
     20,
     30},
    {"FirstLineAfterResetStartsAtTheCorner",
     kDrawArea,
     kDrawArea,
     {Ln(100, 100)},
     {MoveItem(0, 0), LineItem(100, 100)},
     100,
     100},
    // Slope 1/2 from (-20, 20): crosses x = 0 at y = 30.
    {"StartClippedAtTheLeft",
     kSquare,
     kSquare,
     {Mv(-20, 20), Ln(80, 70)},
     {MoveItem(0, 30), LineItem(80, 70)},
     80,
     70},
    {"StartClippedAtTheTop",
     kSquare,
     kSquare,
     {Mv(20, -40), Ln(60, 40)},
     {MoveItem(40, 0), LineItem(60, 40)},
     60,
     40},
    {"StartClippedAtTheRight",
     kSquare,
     kSquare,
     {Mv(140, 10), Ln(60, 50)},
     {MoveItem(100, 30), LineItem(60, 50)},
     60,
     50},
    {"StartClippedAtTheBottom",
     kSquare,
     kSquare,
     {Mv(10, 130), Ln(50, 70)},
     {MoveItem(30, 100), LineItem(50, 70)},
     50,
     70},
    {"EndClippedAtTheRight",
     kSquare,
     kSquare,
     {Mv(20, 20), Ln(180, 60)},
     {MoveItem(20, 20), LineItem(100, 40)},
     180,
     60},
    {"EndClippedAtTheLeft",
     kSquare,
     kSquare,
     {Mv(60, 20), Ln(-20, 60)},
     {MoveItem(60, 20), LineItem(0, 50)},
     -20,
     60},
    {"EndClippedAtTheTop",
     kSquare,
     kSquare,
     {Mv(20, 60), Ln(60, -20)},
     {MoveItem(20, 60), LineItem(50, 0)},
     60,
     -20},
    {"EndClippedAtTheBottom",
     kSquare,
     kSquare,
     {Mv(20, 60), Ln(60, 140)},
     {MoveItem(20, 60), LineItem(40, 100)},
     60,
     140},
    // x + y = 100 from (-20, 120) to (120, -20): the start is clipped first, then the end.
    {"BothEndsClipped",
     kSquare,
     kSquare,
     {Mv(-20, 120), Ln(120, -20)},
     {MoveItem(0, 100), LineItem(100, 0)},
     120,
     -20},
    {"SegmentMissingTheCornerRecordsNothing",
     kSquare,
     kSquare,
     {Mv(-10, -30), Ln(30, -10)},
     {},
     30,
     -10},
    // (-20, 20) to (50, 50) crosses x = 0 at y = 20 + 20 * 30 / 70 = 28.57.
    {"SegmentWhollyLeftMovesTheLastPoint",
     kSquare,
     kSquare,
     {Mv(-30, 10), Ln(-20, 20), Ln(50, 50)},
     {MoveItem(0, 29), LineItem(50, 50)},
     50,
     50},
    {"OutAcrossTheRightAndBackIn",
     kSquare,
     kSquare,
     {Mv(50, 50), Ln(150, 100), Ln(150, 20), Ln(50, 20)},
     {MoveItem(50, 50), LineItem(100, 75), MoveItem(100, 20), LineItem(50, 20)},
     50,
     20},
    {"WithinToleranceRecordsNothing",
     kSquare,
     kSquare,
     {Mv(50, 50), Ln(50.5, 50.5), Ln(52, 50)},
     {MoveItem(50, 50), LineItem(52, 50)},
     52,
     50},
    {"RelativeLinesAddToTheWorldPoint",
     kSquare,
     kSquare,
     {Mv(10, 10), RLn(10, 5), RLn(-5, 0)},
     {MoveItem(10, 10), LineItem(20, 15), LineItem(15, 15)},
     15,
     15},
    {"LineEndRoundsHalfUp",
     kSquare,
     kSquare,
     {Mv(0.4, 0.4), Ln(10.5, 20.5)},
     {MoveItem(0, 0), LineItem(11, 21)},
     10.5,
     20.5},
};

const DrawRow kTexts[] = {
    {"InsideTheAreaNeedsNoMoveAndKeepsTheLastPoint",
     kSquare,
     kSquare,
     {Mv(10, 10), Print("hi"), Mv(10.5, 10.5)},
     {MoveItem(10, 10), TextItem("hi")},
     10,
     10},
    // rnd(-50) = trunc(-49.5) = -49.
    {"AfterAPointOutsideMovesThereFirst",
     kSquare,
     kSquare,
     {Mv(-50, 200), Print("x")},
     {MoveItem(-49, 200), TextItem("x")},
     -50,
     200},
    {"AfterResetMovesToTheStartPoint",
     kDrawArea,
     kDrawArea,
     {Print("a")},
     {MoveItem(-9, -9), TextItem("a")},
     -10,
     -10},
    {"AfterAClippedLineGoesToTheUnclippedEnd",
     kSquare,
     kSquare,
     {Mv(50, 50), Ln(150, 50), Print("e")},
     {MoveItem(50, 50), LineItem(100, 50), MoveItem(150, 50), TextItem("e")},
     150,
     50},
    {"FarPointIsClampedTo32700",
     kSquare,
     {0, 0, 1, 1},
     {Mv(1e6, 2e6), Print("f")},
     // rnd(32700) = 32700
     {MoveItem(32700, 32700), TextItem("f")},
     1e8,
     2e8},
    // The clamp comes first, then rnd: rnd(-32700) = trunc(-32699.5) = -32699.
    {"FarNegativePointIsClampedToMinus32700",
     kSquare,
     {0, 0, 1, 1},
     {Mv(-1e6, -3e6), Print("g")},
     {MoveItem(-32699, -32699), TextItem("g")},
     -1e8,
     -3e8},
    {"CutAtTheFirstNul",
     kSquare,
     kSquare,
     {Mv(10, 10), Print(std::string("ab\0cd", 5))},
     {MoveItem(10, 10), TextItem("ab")},
     10,
     10},
    {"NullTextRecordsNothing", kSquare, kSquare, {Mv(-50, -50), PrintNull()}, {}, -50, -50},
};

std::string RowName(const testing::TestParamInfo<DrawRow>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(MoveTo, DrawTest, testing::ValuesIn(kMoves), RowName);
INSTANTIATE_TEST_SUITE_P(LineTo, DrawTest, testing::ValuesIn(kLines), RowName);
INSTANTIATE_TEST_SUITE_P(OutputText, DrawTest, testing::ValuesIn(kTexts), RowName);

TEST(GraphModelTest, ResetContentsRestoresWindowsListAndLastPoint) {
    GraphModel model;
    ASSERT_EQ(model.SetClipWindow(10, 20, 300, 400), 0u);
    model.SetWorldWindow(-1, -2, 3, 4);
    model.MoveTo(0, 0);
    model.LineTo(1, 1);
    model.ResetContents();

    for (int32_t i = 0; i < 12; ++i) {
        const double expected = i % 4 < 2 ? 0 : 30000;
        EXPECT_EQ(model.GetWindowValue(i), expected) << i;
    }
    EXPECT_EQ(model.LastX(), -10);
    EXPECT_EQ(model.LastY(), -10);
    EXPECT_EQ(model.List().Count(), 0);
    EXPECT_FALSE(model.List().HasStorage());
    // The list is empty again, so CLIPWINDOW is allowed; and the first move is recorded.
    EXPECT_EQ(model.SetClipWindow(0, 0, 100, 100), 0u);
    model.MoveTo(0, 0);
    EXPECT_EQ(ItemsOf(model.List()), std::vector<Item>{MoveItem(0, 0)});
}

TEST(GraphModelTest, APictureAndARunStartWithTheirAttributes) {
    const std::vector<Item> picture = {
        {DI_BACKCOLOR, 0xFFFFFF, {}}, {DI_FORECOLOR, 0, {}},   {DI_PENSIZE, 0x3F800000, {}}, // 1.0f
        {DI_FONTNAME, 0, "Fixedsys"}, {DI_FONTSIZE, 1200, {}},
    };
    // A run's pen is one device pixel at any scale: size 0, not 1.0.
    const std::vector<Item> run = {{DI_FORECOLOR, 0, {}}, {DI_PENSIZE, 0, {}}};
    GraphModel model;
    ASSERT_TRUE(model.RecordDefaults());
    EXPECT_EQ(ItemsOf(model.List()), picture);
    GraphModel rerun;
    ASSERT_TRUE(rerun.RecordRunStart());
    EXPECT_EQ(ItemsOf(rerun.List()), run);
}

TEST(GraphModelTest, TheGenerationChangesWhenReplayedPixelsNoLongerMatch) {
    using Change = void (*)(GraphModel&);
    // clang-format off
    const std::pair<Change, bool> rows[] = {
        {[](GraphModel& m) { m.ResetContents(); }, true},
        {[](GraphModel& m) { m.Load(DrawList()); }, true},
        {[](GraphModel& m) { m.SetClipWindow(0, 0, 600, 400); }, true},
        {[](GraphModel& m) { m.RestoreWindows(DRect{0, 0, 60, 40}, DRect{0, 0, 1, 1}); }, true},
        {[](GraphModel& m) { m.SetClipWindow(0, 0, 100, 100); }, false},   // the same window
        {[](GraphModel& m) { m.SetClipWindow(0, 0, 30000, 100); }, false}, // refused
        {[](GraphModel& m) { m.SetWorldWindow(0, 0, 5, 5); }, false},
        {[](GraphModel& m) { m.LineTo(50, 50); }, false},
        {[](GraphModel& m) { m.SetBackColor(1, 2, 3); }, false},
        {[](GraphModel& m) { m.RecordDefaults(); }, false},
        {[](GraphModel& m) { m.RecordRunStart(); }, false},
    };
    // clang-format on
    for (size_t i = 0; i < std::size(rows); ++i) {
        GraphModel model;
        ASSERT_EQ(model.SetClipWindow(0, 0, 100, 100), 0u);
        const uint64_t before = model.Generation();
        rows[i].first(model);
        EXPECT_EQ(model.Generation() != before, rows[i].second) << "row " << i;
    }
}

TEST(GraphModelTest, SetClipWindowChecksBoundsThenDrawingItems) {
    enum Before { Nothing, Moved, Lined, Printed, MovedOutside, Attributes, Font };
    struct Row {
        Before before;
        int32_t x1, y1, x2, y2;
        uint32_t error;
    };
    const Row rows[] = {
        {Nothing, 0, 0, 29999, 100, 0},   {Nothing, 0, 0, 100, 29999, 0},
        {Nothing, 1, 2, 3, 4, 0},         {Nothing, 0, 0, 30000, 100, 26},
        {Nothing, 0, 0, 100, 30000, 26},  {Nothing, 5, 0, 5, 100, 26},
        {Nothing, 6, 0, 5, 100, 26},      {Nothing, 0, 10, 100, 10, 26},
        {Nothing, 0, 11, 100, 10, 26},    {Nothing, -1, 0, 100, 100, 26},
        {Nothing, 0, -1, 100, 100, 26},   {Moved, 0, 0, 100, 100, 25},
        {Lined, 0, 0, 100, 100, 25},      {Printed, 0, 0, 100, 100, 25},
        {Moved, 0, 0, 30000, 100, 26},    {MovedOutside, 0, 0, 100, 100, 0},
        {Attributes, 0, 0, 100, 100, 0},  {Font, 0, 0, 100, 100, 0},
        {Attributes, 0, 0, 30000, 0, 26},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "before " << row.before << ": " << row.x1 << ","
                                        << row.y1 << "," << row.x2 << "," << row.y2);
        GraphModel model;
        switch (row.before) {
        case Nothing:
            break;
        case Moved:
            model.MoveTo(10, 10);
            break;
        case Lined:
            model.MoveTo(-100, -100);
            model.LineTo(10, 10);
            break;
        case Printed:
            model.OutputText("x", 1);
            break;
        case MovedOutside:
            model.MoveTo(-100, -100);
            break;
        case Attributes:
            model.SetForeColor(1, 2, 3);
            model.SetPenSize(2);
            break;
        case Font:
            model.SetBackColor(1, 2, 3);
            model.ChangeFont("Arial", 10, 0);
            break;
        }
        EXPECT_EQ(model.SetClipWindow(row.x1, row.y1, row.x2, row.y2), row.error);
        const DRect expected = row.error == 0
                                   ? DRect{static_cast<double>(row.x1), static_cast<double>(row.y1),
                                           static_cast<double>(row.x2), static_cast<double>(row.y2)}
                                   : kDrawArea;
        EXPECT_EQ(model.Clip(), expected);
    }
}

TEST(GraphModelTest, PenSizeIsClampedTo0Through100) {
    const std::tuple<double, float> rows[] = {
        {-1, 0.0f}, {kNaN, 0.0f},  {250, 100.0f},  {100, 100.0f},      {2.5, 2.5f},
        {0, 0.0f},  {-kInf, 0.0f}, {kInf, 100.0f}, {100.0001, 100.0f},
    };
    for (const auto& [size, expected] : rows) {
        GraphModel model;
        ASSERT_TRUE(model.SetPenSize(size));
        ASSERT_EQ(model.List().Count(), 1);
        EXPECT_EQ(model.List().Code(0), DI_PENSIZE);
        EXPECT_EQ(FloatOf(model.List().Operand(0)), expected) << size;
    }
}

TEST(GraphModelTest, ChangeFontRecordsTheNameThenSizeAndFlags) {
    struct Row {
        std::string face;
        double size;
        uint16_t flags;
        std::string name;
        int32_t hundredths;
        int32_t flagBits;
    };
    const Row rows[] = {
        {"Arial", 12, 0, "Arial", 1200, 0},
        {"Arial", 0.5, 0, "Arial", 100, 0},
        {"Arial", 400, 0, "Arial", 32000, 0},
        {"Arial", 320, 0, "Arial", 32000, 0},
        {"Arial", 1, 0, "Arial", 100, 0},
        {"Arial", kNaN, 0, "Arial", 100, 0},
        {"Arial", 10.999, 0, "Arial", 1099, 0}, // truncated, not rounded
        {"Courier", 9, 7, "Courier", 900, 7},
        {"Courier", 9, 0xFFFF, "Courier", 900, 0xFFFF},
        {std::string("Ari\0al", 6), 8, 2, "Ari", 800, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.name << " " << row.size << " " << row.flags);
        GraphModel model;
        ASSERT_TRUE(model.ChangeFont(row.face, row.size, row.flags));
        ASSERT_EQ(model.List().Count(), 2);
        EXPECT_EQ(model.List().Code(0), DI_FONTNAME);
        EXPECT_EQ(model.List().Text(0), row.name);
        EXPECT_EQ(model.List().Code(1), DI_FONTSIZE);
        EXPECT_EQ(LowHalf(model.List().Operand(1)), row.hundredths);
        EXPECT_EQ(static_cast<uint32_t>(model.List().Operand(1)) >> 16,
                  static_cast<uint32_t>(row.flagBits));
    }
}

TEST(GraphModelTest, ColourComponentsAreTakenModulo256) {
    struct Row {
        bool fore;
        int32_t r, g, b;
        uint32_t red, green, blue;
    };
    const Row rows[] = {
        {true, 256 + 1, -1, 2, 1, 255, 2},
        {false, 256 + 1, -1, 2, 1, 255, 2},
        {true, 0, 0, 0, 0, 0, 0},
        {false, 255, 255, 255, 255, 255, 255},
        {false, -256, 511, 1000, 0, 255, 232},
        {true, 1 << 30, -(1 << 30) - 3, 0x7FFFFFFF, 0, 253, 255},
    };
    for (const Row& row : rows) {
        GraphModel model;
        ASSERT_TRUE(row.fore ? model.SetForeColor(row.r, row.g, row.b)
                             : model.SetBackColor(row.r, row.g, row.b));
        ASSERT_EQ(model.List().Count(), 1);
        EXPECT_EQ(model.List().Code(0), row.fore ? DI_FORECOLOR : DI_BACKCOLOR);
        const auto operand = static_cast<uint32_t>(model.List().Operand(0));
        EXPECT_EQ(operand & 0xFF, row.red) << row.r;
        EXPECT_EQ((operand >> 8) & 0xFF, row.green) << row.g;
        EXPECT_EQ((operand >> 16) & 0xFF, row.blue) << row.b;
    }
}

TEST(GraphModelTest, GetWindowValueClampsItsIndex) {
    GraphModel model;
    ASSERT_EQ(model.SetClipWindow(10, 20, 300, 400), 0u);
    model.SetWorldWindow(-1, -2, 3, 4);
    const std::tuple<int32_t, double> rows[] = {
        {std::numeric_limits<int32_t>::min(), 0},
        {-5, 0},
        {0, 0},
        {1, 0},
        {2, 30000},
        {3, 30000},
        {4, 10},
        {5, 20},
        {6, 300},
        {7, 400},
        {8, -1},
        {9, -2},
        {10, 3},
        {11, 4},
        {12, 4},
        {99, 4},
        {std::numeric_limits<int32_t>::max(), 4},
    };
    for (const auto& [index, expected] : rows)
        EXPECT_EQ(model.GetWindowValue(index), expected) << index;
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
        const int32_t x = LowHalf(list.Operand(i));
        const int32_t y = HighHalf(list.Operand(i));
        const bool beforeText = i + 1 < list.Count() && list.Code(i + 1) == DI_TEXT;
        if (code == DI_LINETO) {
            EXPECT_TRUE(0 <= x && x <= w && 0 <= y && y <= h) << "line to " << x << "," << y;
        } else if (beforeText) {
            EXPECT_TRUE(-32700 <= x && x <= 32700 && -32700 <= y && y <= 32700)
                << "text at " << x << "," << y;
        } else {
            EXPECT_TRUE(0 <= x && x <= w + 1 && 0 <= y && y <= h + 1)
                << "move to " << x << "," << y;
        }
    }
}

// Division by zero in the conversion, overflow to infinity and NaN anywhere: no crash, no
// undefined conversion (the sanitizer build checks float-to-int casts), no point out of range.
TEST(GraphModelTest, DegenerateWindowsAndHugeCoordinatesStayInRange) {
    const DRect worlds[] = {
        kDrawArea,
        {5, 0, 5, 100},             // x1 == x2
        {0, 5, 100, 5},             // y1 == y2
        {1, 1, 1, 1},               // both
        {0, 0, 1e-300, 1e-300},     // every conversion overflows
        {-kMax, -kMax, kMax, kMax}, // x2 - x1 is infinite
        {0, 0, kInf, kInf},         // likewise
        {kNaN, kNaN, kNaN, kNaN},   // every conversion is NaN
        {100, 100, 0, 0},           // reversed
    };
    const double values[] = {0,      50,   -50,   0.25, 1e6,   -1e6, 1e300,
                             -1e300, kMax, -kMax, kInf, -kInf, kNaN};
    const DRect clips[] = {kDrawArea, {0, 0, 100, 50}};
    int64_t drawn = 0;
    for (const DRect& clip : clips) {
        for (const DRect& world : worlds) {
            for (double a : values) {
                for (double b : values) {
                    GraphModel model;
                    if (!(clip == kDrawArea)) {
                        ASSERT_EQ(model.SetClipWindow(0, 0, static_cast<int32_t>(clip.x2),
                                                      static_cast<int32_t>(clip.y2)),
                                  0u);
                    }
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
                                 << "world " << world.x1 << "," << world.y1 << "," << world.x2
                                 << "," << world.y2 << " a " << a << " b " << b);
                    ExpectItemsInRange(model);
                    drawn += model.List().Count();
                }
            }
        }
    }
    EXPECT_GT(drawn, 0);
}

} // namespace
} // namespace tivane::test
