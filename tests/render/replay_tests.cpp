// The replay of draw lists onto QImages: scale, size unit, fill, line ends, pens, text, fonts,
// and a replay in increments equal to one replay.

#include "replay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>

namespace tivane {
namespace {

const QRgb kWhite = qRgb(255, 255, 255);

// Builds draw lists item by item, as a graphics view records them.
struct Items {
    Items& Move(int x, int y) { return Add(DI_MOVETO, PackPoint(int16_t(x), int16_t(y))); }
    Items& Line(int x, int y) { return Add(DI_LINETO, PackPoint(int16_t(x), int16_t(y))); }
    Items& Fore(int r, int g, int b) { return Add(DI_FORECOLOR, PackColor(r, g, b)); }
    Items& Back(int r, int g, int b) { return Add(DI_BACKCOLOR, PackColor(r, g, b)); }
    Items& Pen(float size) { return Add(DI_PENSIZE, PackFloat(size)); }
    Items& Text(std::string_view text) { return Add(DI_TEXT, 0, text); }
    Items& FontName(std::string_view face) { return Add(DI_FONTNAME, 0, face); }
    Items& FontSize(int size, int flags = 0) {
        return Add(DI_FONTSIZE, PackFontSize(int16_t(size), uint16_t(flags)));
    }
    Items& Font(std::string_view face, int size, int flags = 0) {
        return FontName(face).FontSize(size, flags);
    }
    Items& Add(uint8_t code, int32_t operand, std::string_view text = {}) {
        EXPECT_TRUE(IsStringCode(code) ? list.AddString(code, text) : list.Add(code, operand));
        return *this;
    }
    DrawList list;
};

QImage WhiteImage(QSize size, QImage::Format format = QImage::Format_RGB32) {
    QImage image(size, format);
    image.fill(Qt::white);
    return image;
}

// One replay call with its own painter, as a widget's paint event makes one.
void ReplayInto(QImage& image, const DrawList& list, const DRect& clip, const ReplayTarget& target,
                ReplayState& state) {
    QPainter painter(&image);
    Replay(list, clip, painter, target, state);
}

// A replay onto a white image of the target's size (or `size`), from a fresh state.
struct Shot {
    Shot(const Items& items, DRect clip, ReplayTarget target, QSize size = {})
        : image(WhiteImage(size.isEmpty() ? target.size : size)) {
        ReplayInto(image, items.list, clip, target, state);
    }
    QImage image;
    ReplayState state;
};

struct Ink {
    QRect box; // of every pixel that is not white
    int count = 0;
    QRgb darkest = kWhite;
};

Ink InkOf(const QImage& image) {
    Ink ink;
    const auto sum = [](QRgb p) { return qRed(p) + qGreen(p) + qBlue(p); };
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (p == kWhite) continue;
            ink.box |= QRect(x, y, 1, 1);
            ++ink.count;
            if (sum(p) < sum(ink.darkest)) ink.darkest = p;
        }
    return ink;
}

int ThicknessAt(const QImage& image, int x) {
    return InkOf(image.copy(x, 0, 1, image.height())).count;
}

// A one-pixel line covers both its end pixels, rnd(v * scale), and nothing else, each way along;
// a line to its own start is a dot.
TEST(ReplayTest, FitsTheClipWindowIntoTheTargetKeepingItsAspect) {
    struct Row {
        DRect clip;
        QSize size;
        double scale;
        QLine line, device; // in clip units, and its end pixels
    };
    // clang-format off
    const Row rows[] = {
        {{0, 0, 100, 50}, {400, 400}, 4.0, {10, 20, 90, 20}, {40, 80, 360, 80}},    // width-bound
        {{50, 50, 150, 100}, {400, 100}, 2.0, {10, 20, 90, 20}, {20, 40, 180, 40}}, // height-bound, clip-relative
        {{0, 0, 300, 200}, {400, 400}, 4.0 / 3, {10, 100, 101, 100}, {13, 133, 135, 133}},
        {{0, 0, 100, 100}, {100, 100}, 1.0, {30, 20, 10, 20}, {30, 20, 10, 20}},
        {{0, 0, 100, 100}, {100, 100}, 1.0, {60, 60, 60, 60}, {60, 60, 60, 60}},
        // An empty clip window or target has no scale.
        {{10, 0, 0, 50}, {400, 400}, 0, {}, {}},
        {{0, 0, 100, 50}, {400, 0}, 0, {}, {}},
    };
    // clang-format on
    for (const Row& r : rows) {
        const QLine& l = r.line;
        SCOPED_TRACE(::testing::Message()
                     << r.size.width() << "x" << r.size.height() << " " << l.x1() << "," << l.y1()
                     << " " << l.x2() << "," << l.y2());
        EXPECT_DOUBLE_EQ(ReplayScale(r.clip, r.size), r.scale);
        if (r.scale == 0) continue;
        const Shot shot(Items().Move(l.x1(), l.y1()).Line(l.x2(), l.y2()), r.clip, {r.size},
                        r.size + QSize(2, 2));
        const QRect span = QRect(r.device.p1(), QSize(1, 1)) | QRect(r.device.p2(), QSize(1, 1));
        const Ink ink = InkOf(shot.image);
        EXPECT_EQ(ink.box, span);
        EXPECT_EQ(ink.count, span.width() * span.height());
        EXPECT_EQ(ink.darkest, qRgb(0, 0, 0));
        EXPECT_EQ(shot.state.point, r.device.p2());
    }
}

// The fill covers the clip window as device pixels (edges truncated), whatever the scale.
TEST(ReplayTest, BackColorFillsTheClipWindowAsUnscaledDevicePixels) {
    for (const auto& [clip, size] : {std::pair<DRect, QSize>{{10, 10, 110, 60}, {50, 25}},
                                     {{10.7, 10.2, 110.9, 60.5}, {400, 400}}}) {
        const Shot shot(Items().Back(0, 128, 255), clip, {size}, {200, 200});
        const Ink ink = InkOf(shot.image);
        EXPECT_EQ(ink.box, QRect(10, 10, 100, 50)) << size.width();
        EXPECT_EQ(ink.count, 100 * 50);
        EXPECT_EQ(ink.darkest, qRgb(0, 128, 255));
    }
}

TEST(ReplayTest, PenSizesAreSizeUnitsOfThePictureOnScreenAndOfThePaperWhenPrinting) {
    struct Row {
        int clip, w, h, dpiX; // the clip window is clip x clip units
        bool printing;
        float pen;
        int thickness; // rnd(pen * k)
    };
    // clang-format off
    const Row rows[] = {
        // On screen k = (dpiX / 72) * (pixels the clip width is shown at) / 600.
        {300, 600, 600, 96, false, 3, 4},  // the window's size counts, not the clip's
        {600, 1200, 300, 96, false, 6, 4}, // height-bound: shown 300 wide
        {600, 600, 600, 96, false, 0, 1}, // zero is one pixel
        // Printing: k = dpiX / 72 whatever the scale.
        {3000, 300, 300, 300, true, 2, 8},
        // Damaged sizes: one pixel, or an infinite pen that covers everything.
        {100, 100, 100, 96, false, std::nanf(""), 1},
        {100, 100, 100, 96, false, HUGE_VALF, 100},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << "pen " << r.pen << " dpi " << r.dpiX << " size " << r.w
                                          << (r.printing ? " printing" : ""));
        const DRect clip{0, 0, double(r.clip), double(r.clip)};
        const int c = r.clip;
        // The colour after the size keeps the width.
        const Shot shot(
            Items().Pen(r.pen).Fore(200, 0, 0).Move(c / 4, c / 2).Line(c * 3 / 4, c / 2), clip,
            {{r.w, r.h}, double(r.dpiX), r.printing});
        const int middle = static_cast<int>(ReplayScale(clip, {r.w, r.h}) * c / 2);
        EXPECT_EQ(ThicknessAt(shot.image, middle), r.thickness);
        EXPECT_EQ(shot.image.pixel(middle, shot.state.point.y()), qRgb(200, 0, 0));
    }
}

TEST(ReplayTest, TextHangsBelowRightOfThePointInTheForeColour) {
    struct Row {          // the target and the clip window are side x side, so the scale is 1
        const char* face; // nullptr: the starting font
        int size, flags, side, dpiX;
        bool printing;
        int pixelHeight; // rnd(points * k), or the starting font's trunc(dpiX / 6)
    };
    // clang-format off
    const Row rows[] = {
        {nullptr, 0, 0, 300, 192, false, 32},
        {"DejaVu Serif", 2400, kFontUnderline, 300, 96, false, 16},
        {"DejaVu Sans", 1200, kFontItalic | kFontStrikeOut, 300, 300, true, 50},
    };
    // clang-format on
    for (const Row& r : rows) {
        SCOPED_TRACE(::testing::Message() << (r.face ? r.face : "start") << " in " << r.side);
        Items items;
        items.Fore(0, 0, 200);
        if (r.face) items.Font(r.face, r.size, r.flags);
        const Shot shot(items.Move(40, 60).Text("HEH"), {0, 0, double(r.side), double(r.side)},
                        {{r.side, r.side}, double(r.dpiX), r.printing});
        const int h = r.pixelHeight;
        EXPECT_EQ(shot.state.font.pixelSize(), h);
        const QRect box = InkOf(shot.image).box;
        // The capitals start in the top half of the line, not a whole line lower.
        EXPECT_TRUE(box.left() >= 40 && box.top() >= 60 && box.top() < 60 + h / 2);
        EXPECT_TRUE(box.bottom() <= 60 + h * 5 / 4 && box.height() > h / 2);
        EXPECT_TRUE(box.width() > h && box.width() < h * 3) << "three glyphs";
        EXPECT_EQ(InkOf(shot.image).darkest, qRgb(0, 0, 200));
    }
}

// A small picture scales text down to 7 pixels and no further: 12 points at 150 wide are 4.
TEST(ReplayTest, TextStaysAtLeastSevenPixelsHigh) {
    const Shot shot(Items().Font("DejaVu Sans", 1200).Move(10, 10).Text("x"), {0, 0, 150, 150},
                    {{150, 150}});
    EXPECT_EQ(shot.state.font.pixelSize(), kMinTextPixels);
}

TEST(ReplayTest, TextBytesShowAsUtf8OrElseAsLatin1) {
    const auto picture = [](const std::string& text) {
        return RenderPicture(Items().Font("DejaVu Sans", 1800).Move(5, 5).Text(text).list,
                             {0, 0, 100, 40}, {600, 240});
    };
    // Each pair must show the same characters: invalid UTF-8 is one byte each, and text cut short
    // is all of it Latin-1.
    for (const auto& [bytes, utf8] :
         {std::pair<std::string, std::string>{"\xC9T\xC9", "\xC3\x89T\xC3\x89"},
          {"\xC3\xA9t\xC3", "\xC3\x83\xC2\xA9t\xC3\x83"}})
        EXPECT_TRUE(picture(bytes) == picture(utf8)) << bytes;
    // Different characters do look different, so the comparisons above can fail.
    EXPECT_FALSE(picture("\xC9T\xC9") == picture("ETE"));
}

TEST(ReplayTest, AReplayGoesOnWhereTheLastStoppedAndAFontNameWaitsForItsSize) {
    const DRect clip{0, 0, 200, 100};
    const ReplayTarget target{{400, 200}};
    Items items;
    items.Fore(200, 0, 0).Pen(20).Move(10, 10).FontName("DejaVu Serif");
    Shot shot(items, clip, target);
    EXPECT_EQ(shot.state.drawnIndex, 3);
    // The second replay goes on with the colour, pen and point of the first.
    items.FontSize(3600, kFontItalic).Text("Tivane").Line(190, 90);
    ReplayInto(shot.image, items.list, clip, target, shot.state);
    EXPECT_EQ(shot.state.drawnIndex, items.list.Count());
    EXPECT_TRUE(shot.state.font.family().startsWith(u"DejaVu Serif") && shot.state.font.italic());
    EXPECT_EQ(shot.state.font.pixelSize(), 32); // 36 points * (96 / 72) * 400 / 600
    EXPECT_EQ(shot.image, RenderPicture(items.list, clip, target.size));
}

// A target that keeps its pixels passes on only what changed: whatever a replay changes lies
// inside the rectangle it returns, which stays near what was drawn.
TEST(ReplayTest, EveryPixelAReplayChangesLiesInTheRectangleItReturns) {
    struct Row {
        const char* what;
        void (*add)(Items&);
        int maxHeight; // of the rectangle; 0: nothing may change
    };
    // clang-format off
    const Row rows[] = {
        {"thin lines", [](Items& i) { i.Line(150, 80).Line(152, 81).Line(152, 30); }, 60},
        {"thick line", [](Items& i) { i.Pen(12).Line(200, 120); }, 90},
        {"thick dot", [](Items& i) { i.Pen(30).Line(60, 55); }, 40},
        {"slanted text", [](Items& i) { i.Font("DejaVu Serif", 3600, kFontItalic | kFontUnderline).Move(300, 150).Text("Wgjy_"); }, 999},
        {"text past the edge", [](Items& i) { i.Move(370, 190).Text("WWWW"); }, 999},
        {"line past the edges", [](Items& i) { i.Move(-50, -50).Line(500, 300); }, 999},
        {"back colour", [](Items& i) { i.Back(0, 128, 0); }, 999},
        {"nothing drawn", [](Items& i) { i.Fore(0, 0, 255).Pen(2).Move(10, 10); }, 0},
    };
    // clang-format on
    const DRect clip{0, 0, 400, 200};
    const ReplayTarget target{{400, 200}};
    for (const Row& r : rows)
        for (const QPoint origin : {QPoint(0, 0), QPoint(7, -3)}) {
            SCOPED_TRACE(::testing::Message() << r.what << " at " << origin.x());
            Items items;
            items.Fore(200, 0, 0).Move(50, 50).Line(60, 55);
            QImage image = WhiteImage(target.size);
            ReplayState state;
            QPainter painter(&image);
            Replay(items.list, clip, painter, target, state, origin);
            const QImage before = image.copy();
            r.add(items);
            const QRect painted = Replay(items.list, clip, painter, target, state, origin);
            QRect changed;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    if (image.pixel(x, y) != before.pixel(x, y)) changed |= QRect(x, y, 1, 1);
            EXPECT_EQ(changed.isEmpty(), r.maxHeight == 0);
            EXPECT_TRUE(changed.isEmpty() || painted.contains(changed));
            EXPECT_LE(painted.height(), r.maxHeight);
        }
}

TEST(LookupFontTest, MatchesFamiliesByPrefixAndFallsBackToTheFixedFont) {
    // nullptr: the system's fixed font
    const std::pair<const char*, const char*> rows[] = {
        {"FIXEDSYS", nullptr},
        {"dejavu serif", "DejaVu Serif"},
        {"DEJAVU SANS M", "DejaVu Sans Mono"},
        {"DejaVu Sans Mono Extra", nullptr}, // longer than any family
    };
    const QString fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    for (const auto& [face, family] : rows) {
        const QFont font = LookupFont(face, 20, 0);
        EXPECT_EQ(font.family(), family ? QString::fromLatin1(family) : fixed) << face;
        EXPECT_TRUE(family ? QFontInfo(font).family() == QString::fromLatin1(family)
                           : QFontInfo(font).fixedPitch());
    }
    // The pixel height, at least 1; unknown flag bits are ignored.
    const QFont all = LookupFont("DejaVu Sans", -5, 0xFFFF);
    EXPECT_TRUE(all.italic() && all.underline() && all.strikeOut() && all.pixelSize() == 1);
}

} // namespace
} // namespace tivane
