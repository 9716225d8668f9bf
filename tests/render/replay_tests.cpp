#include "replay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>

namespace tivane {
namespace {

const QRgb kWhite = qRgb(255, 255, 255);

// Builds draw lists item by item, as a graphics view records them.
class Items {
public:
    Items& Move(int16_t x, int16_t y) { return Add(DI_MOVETO, PackPoint(x, y)); }
    Items& Line(int16_t x, int16_t y) { return Add(DI_LINETO, PackPoint(x, y)); }
    Items& Fore(uint8_t r, uint8_t g, uint8_t b) { return Add(DI_FORECOLOR, PackColor(r, g, b)); }
    Items& Back(uint8_t r, uint8_t g, uint8_t b) { return Add(DI_BACKCOLOR, PackColor(r, g, b)); }
    Items& Pen(float size) { return Add(DI_PENSIZE, PackFloat(size)); }
    Items& Text(std::string_view text) { return AddString(DI_TEXT, text); }
    Items& FontName(std::string_view face) { return AddString(DI_FONTNAME, face); }
    Items& FontSize(int16_t hundredths, uint16_t flags = 0) {
        return Add(DI_FONTSIZE, PackFontSize(hundredths, flags));
    }
    Items& Font(std::string_view face, int16_t hundredths, uint16_t flags = 0) {
        return FontName(face).FontSize(hundredths, flags);
    }
    Items& Add(uint8_t code, int32_t operand) {
        EXPECT_TRUE(list.Add(code, operand));
        return *this;
    }
    Items& AddString(uint8_t code, std::string_view text) {
        EXPECT_TRUE(list.AddString(code, text));
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

bool Inked(const QImage& image, int x, int y) {
    return image.pixel(x, y) != kWhite;
}

struct Ink {
    QRect box; // of every pixel that is not white
    int count = 0;
};

Ink InkOf(const QImage& image) {
    Ink ink;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (Inked(image, x, y)) {
                ink.box |= QRect(x, y, 1, 1);
                ++ink.count;
            }
    return ink;
}

TEST(ReplayTest, FitsTheClipWindowIntoTheTargetKeepingItsAspect) {
    struct Row {
        DRect clip;
        QSize size;
        double scale;
        int16_t x0, x1, y; // a horizontal line in clip units
        int dx0, dx1, dy;  // its end pixels: rnd(v * scale)
    };
    const Row rows[] = {
        {{0, 0, 100, 50}, {400, 400}, 4.0, 10, 90, 20, 40, 360, 80},    // width-bound
        {{0, 0, 100, 50}, {400, 100}, 2.0, 10, 90, 20, 20, 180, 40},    // height-bound
        {{50, 50, 150, 100}, {400, 400}, 4.0, 10, 90, 20, 40, 360, 80}, // points are clip-relative
        {{0, 0, 300, 200}, {400, 400}, 4.0 / 3, 10, 101, 100, 13, 135, 133},
        {{0, 0, 30, 70}, {100, 100}, 100.0 / 70, 7, 25, 10, 10, 36, 14},
        {{0, 0, 100, 50}, {200, 100}, 2.0, 0, 100, 50, 0, 200, 100}, // both bounds agree
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message()
                     << r.size.width() << "x" << r.size.height() << " x1 " << r.x1);
        EXPECT_DOUBLE_EQ(ReplayScale(r.clip, r.size), r.scale);
        Items items;
        items.Move(r.x0, r.y).Line(r.x1, r.y);
        QImage image = WhiteImage(r.size + QSize(2, 2));
        ReplayState state;
        ReplayInto(image, items.list, r.clip, {r.size}, state);
        EXPECT_TRUE(Inked(image, r.dx0, r.dy));
        EXPECT_TRUE(Inked(image, r.dx1, r.dy));
        EXPECT_FALSE(Inked(image, r.dx1 + 1, r.dy));
        if (r.dx0 > 0) {
            EXPECT_FALSE(Inked(image, r.dx0 - 1, r.dy));
        }
        EXPECT_EQ(state.point, QPoint(r.dx1, r.dy));
    }
}

TEST(ReplayTest, EmptyClipOrTargetHasNoScale) {
    const std::pair<DRect, QSize> rows[] = {
        {{0, 0, 0, 50}, {400, 400}}, {{0, 50, 100, 50}, {400, 400}}, {{10, 0, 0, 50}, {400, 400}},
        {{0, 0, 100, 50}, {0, 400}}, {{0, 0, 100, 50}, {400, 0}},
    };
    for (const auto& [clip, size] : rows)
        EXPECT_EQ(ReplayScale(clip, size), 0.0) << clip.x2 << " " << size.width();
}

TEST(ReplayTest, BackColorFillsTheClipWindowAsUnscaledDevicePixels) {
    // The target size sets the scale, which must make no difference to the fill.
    struct Row {
        DRect clip;
        QSize size;
    };
    const Row rows[] = {
        {{10, 10, 110, 60}, {400, 400}},
        {{10, 10, 110, 60}, {100, 50}},
        {{10, 10, 110, 60}, {50, 25}},
        {{10.7, 10.2, 110.9, 60.5}, {400, 400}}, // each edge truncated
    };
    const QRgb fill = qRgb(0, 128, 255);
    for (const Row& r : rows) {
        SCOPED_TRACE(r.size.width());
        Items items;
        items.Back(0, 128, 255);
        QImage image = WhiteImage({200, 200});
        ReplayState state;
        ReplayInto(image, items.list, r.clip, {r.size}, state);
        for (const QPoint p : {QPoint(10, 10), QPoint(109, 10), QPoint(10, 59), QPoint(109, 59)})
            EXPECT_EQ(image.pixel(p), fill) << p.x() << "," << p.y();
        for (const QPoint p : {QPoint(9, 10), QPoint(10, 9), QPoint(110, 59), QPoint(109, 60),
                               QPoint(110, 60), QPoint(9, 9)})
            EXPECT_EQ(image.pixel(p), kWhite) << p.x() << "," << p.y();
        EXPECT_EQ(InkOf(image).count, 100 * 50);
        EXPECT_EQ(state.back, QColor(0, 128, 255));
    }
}

TEST(ReplayTest, OnePixelLinesCoverBothEndPixels) {
    struct Row {
        QPoint from, to;
        QPoint beyondFrom, beyondTo; // the next pixels past each end
        QPoint side;                 // a pixel beside the middle
        int length;                  // pixels the line covers
    };
    const Row rows[] = {
        {{10, 20}, {30, 20}, {9, 20}, {31, 20}, {20, 21}, 21},
        {{30, 20}, {10, 20}, {31, 20}, {9, 20}, {20, 19}, 21},
        {{40, 5}, {40, 50}, {40, 4}, {40, 51}, {41, 25}, 46},
        {{40, 50}, {40, 5}, {40, 51}, {40, 4}, {39, 25}, 46},
        {{60, 60}, {60, 60}, {59, 60}, {61, 60}, {60, 61}, 1}, // a line to its own start: a dot
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message()
                     << r.from.x() << "," << r.from.y() << " -> " << r.to.x() << "," << r.to.y());
        Items items;
        items.Move(static_cast<int16_t>(r.from.x()), static_cast<int16_t>(r.from.y()))
            .Line(static_cast<int16_t>(r.to.x()), static_cast<int16_t>(r.to.y()));
        QImage image = WhiteImage({100, 100});
        ReplayState state;
        ReplayInto(image, items.list, {0, 0, 100, 100}, {{100, 100}}, state);
        EXPECT_EQ(image.pixel(r.from), qRgb(0, 0, 0));
        EXPECT_EQ(image.pixel(r.to), qRgb(0, 0, 0));
        EXPECT_FALSE(Inked(image, r.beyondFrom.x(), r.beyondFrom.y()));
        EXPECT_FALSE(Inked(image, r.beyondTo.x(), r.beyondTo.y()));
        EXPECT_FALSE(Inked(image, r.side.x(), r.side.y()));
        EXPECT_EQ(InkOf(image).count, r.length);
    }
}

int ThicknessAt(const QImage& image, int x) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        n += Inked(image, x, y);
    return n;
}

TEST(ReplayTest, PenSizesAreSizeUnitsOfThePictureOnScreenAndOfThePaperWhenPrinting) {
    struct Row {
        DRect clip;
        QSize size;
        double dpiX;
        bool printing;
        float pen;
        int thickness; // rnd(pen * k)
    };
    const Row rows[] = {
        // On screen k = (dpiX / 72) * (pixels the clip width is shown at) / 600.
        {{0, 0, 600, 600}, {600, 600}, 96, false, 3, 4},
        {{0, 0, 300, 300}, {600, 600}, 96, false, 3, 4}, // the window's size counts, not the clip's
        {{0, 0, 600, 600}, {300, 300}, 96, false, 3, 2},
        {{0, 0, 600, 300}, {1200, 300}, 96, false, 6, 8}, // height-bound: shown 600 wide
        {{0, 0, 600, 600}, {600, 600}, 72, false, 5, 5},
        {{0, 0, 600, 600}, {600, 600}, 96, false, 0, 1}, // zero is one pixel
        {{0, 0, 600, 600}, {300, 300}, 96, false, 0.5f, 1},
        // Printing: k = dpiX / 72 whatever the scale.
        {{0, 0, 600, 600}, {600, 600}, 600, true, 1, 8},
        {{0, 0, 3000, 3000}, {300, 300}, 300, true, 2, 8},
        {{0, 0, 600, 600}, {600, 600}, 72, true, 2.5f, 3},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "pen " << r.pen << " dpi " << r.dpiX << " size "
                                        << r.size.width() << (r.printing ? " printing" : ""));
        const double w = r.clip.x2 - r.clip.x1, h = r.clip.y2 - r.clip.y1;
        Items items;
        // The colour after the size keeps the width.
        items.Pen(r.pen)
            .Fore(200, 0, 0)
            .Move(static_cast<int16_t>(w / 4), static_cast<int16_t>(h / 2))
            .Line(static_cast<int16_t>(w * 3 / 4), static_cast<int16_t>(h / 2));
        QImage image = WhiteImage(r.size);
        ReplayState state;
        ReplayInto(image, items.list, r.clip, {r.size, r.dpiX, r.printing}, state);
        const int middle = static_cast<int>(ReplayScale(r.clip, r.size) * w / 2);
        EXPECT_EQ(ThicknessAt(image, middle), r.thickness);
        EXPECT_EQ(image.pixel(middle, state.point.y()), qRgb(200, 0, 0));
    }
}

TEST(ReplayTest, DamagedPenSizesGiveOnePixel) {
    for (const float pen : {std::nanf(""), -4.0f, -HUGE_VALF}) {
        Items items;
        items.Pen(pen).Move(0, 50).Line(100, 50);
        QImage image = WhiteImage({100, 100});
        ReplayState state;
        ReplayInto(image, items.list, {0, 0, 100, 100}, {{100, 100}}, state);
        EXPECT_EQ(ThicknessAt(image, 50), 1) << pen;
    }
    Items items;
    items.Pen(HUGE_VALF).Move(0, 50).Line(100, 50);
    QImage image = WhiteImage({100, 100});
    ReplayState state;
    ReplayInto(image, items.list, {0, 0, 100, 100}, {{100, 100}}, state);
    EXPECT_EQ(ThicknessAt(image, 50), 100); // an infinite pen covers everything
}

TEST(ReplayTest, TextHangsBelowRightOfThePointInTheForeColour) {
    struct Row {
        const char* face; // nullptr: the starting font
        int16_t hundredths;
        uint16_t flags;
        QSize size;
        double dpiX;
        bool printing;
        std::string text;
        int pixelHeight; // rnd(points * k), or the starting font's trunc(dpiX / 6)
    };
    const Row rows[] = {
        {nullptr, 0, 0, {300, 300}, 96, false, "HEH", 16},
        {nullptr, 0, 0, {300, 300}, 192, false, "HEH", 32},
        {"DejaVu Sans", 1200, 0, {600, 600}, 96, false, "HEH", 16},
        {"DejaVu Sans", 1200, 0, {1200, 1200}, 96, false, "HEH", 32},
        {"DejaVu Serif", 2400, kFontUnderline, {300, 300}, 96, false, "HEH", 16},
        {"DejaVu Sans", 1200, kFontItalic | kFontStrikeOut, {300, 300}, 300, true, "HEH", 50},
    };
    const QPoint at(40, 60); // the clip window is shown at scale 1 in every row
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << (r.face ? r.face : "start") << " " << r.hundredths
                                        << " in " << r.size.width() << " at " << r.dpiX);
        Items items;
        items.Fore(0, 0, 200);
        if (r.face) items.Font(r.face, r.hundredths, r.flags);
        items.Move(static_cast<int16_t>(at.x()), static_cast<int16_t>(at.y())).Text(r.text);
        QImage image = WhiteImage(r.size);
        ReplayState state;
        ReplayInto(
            image, items.list,
            {0, 0, static_cast<double>(r.size.width()), static_cast<double>(r.size.height())},
            {r.size, r.dpiX, r.printing}, state);
        EXPECT_EQ(state.font.pixelSize(), r.pixelHeight);
        const Ink ink = InkOf(image);
        ASSERT_GT(ink.count, 0);
        EXPECT_GE(ink.box.left(), at.x());
        EXPECT_GE(ink.box.top(), at.y());
        // The capitals start in the top half of the line, not a whole line lower.
        EXPECT_LT(ink.box.top(), at.y() + r.pixelHeight / 2);
        EXPECT_LE(ink.box.bottom(), at.y() + r.pixelHeight * 5 / 4);
        EXPECT_GT(ink.box.height(), r.pixelHeight / 2);
        // Three glyphs, however the bytes decode.
        EXPECT_GT(ink.box.width(), r.pixelHeight);
        EXPECT_LT(ink.box.width(), r.pixelHeight * 3);
        int darkest = 3 * 255;
        QRgb pixel = kWhite;
        for (int y = ink.box.top(); y <= ink.box.bottom(); ++y)
            for (int x = ink.box.left(); x <= ink.box.right(); ++x) {
                const QRgb p = image.pixel(x, y);
                if (qRed(p) + qGreen(p) + qBlue(p) < darkest) {
                    darkest = qRed(p) + qGreen(p) + qBlue(p);
                    pixel = p;
                }
            }
        EXPECT_EQ(pixel, qRgb(0, 0, 200));
    }
}

TEST(ReplayTest, TextBytesShowAsUtf8OrElseAsLatin1) {
    // Each pair must show the same characters.
    const std::pair<std::string, std::string> rows[] = {
        {"\xC9T\xC9", "\xC3\x89T\xC3\x89"},             // invalid UTF-8: one byte each
        {"\xC3\xA9t\xC3", "\xC3\x83\xC2\xA9t\xC3\x83"}, // cut short: all of it Latin-1
        {"caf\xE9 1/2", "caf\xC3\xA9 1/2"},
    };
    const auto picture = [](const std::string& text) {
        Items items;
        items.Font("DejaVu Sans", 1800).Move(5, 5).Text(text);
        return RenderPicture(items.list, {0, 0, 100, 40}, {600, 240});
    };
    for (const auto& [bytes, utf8] : rows) {
        const QImage shown = picture(bytes);
        EXPECT_TRUE(shown == picture(utf8)) << bytes;
        EXPECT_GT(InkOf(shown).count, 0);
    }
    // Different characters do look different, so the comparisons above can fail.
    EXPECT_FALSE(picture("\xC9T\xC9") == picture("ETE"));
}

TEST(ReplayTest, TrailingFontNameWaitsForItsSize) {
    const DRect clip{0, 0, 200, 100};
    const ReplayTarget target{{400, 200}};
    Items items;
    items.Move(10, 10).FontName("DejaVu Serif");
    QImage image = WhiteImage(target.size);
    ReplayState state;
    ReplayInto(image, items.list, clip, target, state);
    EXPECT_EQ(state.drawnIndex, 1);
    ReplayInto(image, items.list, clip, target, state); // nothing new: it still waits
    EXPECT_EQ(state.drawnIndex, 1);

    items.FontSize(3600, kFontItalic).Text("Tivane");
    ReplayInto(image, items.list, clip, target, state);
    EXPECT_EQ(state.drawnIndex, items.list.Count());
    EXPECT_TRUE(state.font.family().startsWith(u"DejaVu Serif"));
    EXPECT_TRUE(state.font.italic());
    EXPECT_EQ(state.font.pixelSize(), 32); // 36 points * (96 / 72) * 400 / 600
    EXPECT_EQ(image, RenderPicture(items.list, clip, target.size));
}

TEST(ReplayTest, FontItemsOutOfPairAreSkipped) {
    const DRect clip{0, 0, 100, 100};
    // Each list must give the same picture as `plain`: the stray items change nothing.
    Items plain;
    plain.Move(10, 10).Line(90, 10).Text("H");
    Items loneSize;
    loneSize.FontSize(4000, kFontUnderline).Move(10, 10).Line(90, 10).Text("H");
    Items nameWithoutSize; // a damaged file: the line after the name still counts
    nameWithoutSize.Move(10, 10).FontName("DejaVu Serif").Line(90, 10).Text("H");
    const QImage expected = RenderPicture(plain.list, clip, {100, 100});
    EXPECT_EQ(RenderPicture(loneSize.list, clip, {100, 100}), expected);
    EXPECT_EQ(RenderPicture(nameWithoutSize.list, clip, {100, 100}), expected);
    EXPECT_GT(InkOf(expected).count, 81);
}

// A few hundred items of every kind, the same every run.
Items MixedItems(int16_t w, int16_t h) {
    std::mt19937 random(20240611);
    const auto pick = [&](uint32_t n) { return static_cast<int>(random() % n); };
    const char* const faces[] = {"DejaVu Sans", "DejaVu Serif", "Fixedsys", "dejavu sans m",
                                 "NoSuchFace"};
    const char* const texts[] = {"Tivane", "x = 12.5", "\xC3\xA9t\xC3\xA9", "\xE9t\xE9", ""};
    Items items;
    items.Back(255, 255, 255).Fore(0, 0, 0).Pen(1).Font("Fixedsys", 1200);
    while (items.list.Count() < 400) {
        const auto x = static_cast<int16_t>(pick(static_cast<uint32_t>(w) + 1));
        const auto y = static_cast<int16_t>(pick(static_cast<uint32_t>(h) + 1));
        switch (pick(12)) {
        case 0:
            items.Move(x, y);
            break;
        case 1:
            items.Fore(pick(256), pick(256), pick(256));
            break;
        case 2:
            items.Pen(static_cast<float>(pick(60)) / 10);
            break;
        case 3:
            items.Font(faces[pick(5)], static_cast<int16_t>(600 + pick(3000)),
                       static_cast<uint16_t>(pick(8)));
            break;
        case 4:
            items.Text(texts[pick(5)]);
            break;
        case 5:
            if (pick(4) == 0)
                items.Back(pick(256), pick(256), pick(256));
            else
                items.Move(x, y).Text(texts[pick(5)]);
            break;
        default:
            items.Line(x, y);
            break;
        }
    }
    return items;
}

TEST(ReplayTest, ReplayingInIncrementsGivesTheSamePixelsAsOneReplay) {
    struct Row {
        QImage::Format format;
        QSize size;
        double dpiX;
        bool printing;
    };
    const Row rows[] = {
        {QImage::Format_RGB32, {450, 300}, 96, false},
        {QImage::Format_ARGB32, {450, 300}, 96, false},
        {QImage::Format_RGB32, {301, 257}, 120, false}, // a scale that rounds
        {QImage::Format_RGB32, {450, 300}, 150, true},
    };
    const DRect clip{0, 0, 300, 200};
    const Items all = MixedItems(300, 200);
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.format << " " << r.size.width() << " at " << r.dpiX);
        const ReplayTarget target{r.size, r.dpiX, r.printing};
        QImage whole = WhiteImage(r.size, r.format);
        ReplayState wholeState;
        ReplayInto(whole, all.list, clip, target, wholeState);
        ASSERT_EQ(wholeState.drawnIndex, all.list.Count());
        // A picture worth comparing: many pixels of many colours.
        EXPECT_GT(InkOf(whole).count, r.size.width() * r.size.height() / 10);

        // The list grows as a program records it; each paint replays what is new.
        std::mt19937 random(7);
        Items growing;
        QImage pieces = WhiteImage(r.size, r.format);
        ReplayState state;
        int calls = 0, waitedForSize = 0;
        for (int32_t i = 0; i < all.list.Count(); ++i) {
            const uint8_t code = all.list.Code(i);
            if (IsStringCode(code))
                growing.AddString(code, all.list.Text(i));
            else
                growing.Add(code, all.list.Operand(i));
            // Some paints come right after a font name, before its size.
            const bool paint = code == DI_FONTNAME ? random() % 2 == 0 : random() % 25 == 0;
            if (!paint) continue;
            ReplayInto(pieces, growing.list, clip, target, state);
            ++calls;
            if (code == DI_FONTNAME) {
                ++waitedForSize;
                EXPECT_EQ(state.drawnIndex, i);
            } else {
                EXPECT_EQ(state.drawnIndex, i + 1);
            }
        }
        ReplayInto(pieces, growing.list, clip, target, state);
        EXPECT_EQ(state.drawnIndex, all.list.Count());
        EXPECT_GT(calls, 10);
        EXPECT_GT(waitedForSize, 0);
        EXPECT_TRUE(pieces == whole);
    }
}

TEST(ReplayTest, AFreshStateStartsFromScratchOnAPaintedPainter) {
    const DRect clip{0, 0, 100, 100};
    const ReplayTarget target{{100, 100}}; // k = (96 / 72) * 100 / 600
    Items items;
    items.Fore(255, 0, 0).Pen(45).Font("DejaVu Serif", 3000).Move(10, 10).Line(90, 10);
    QImage image = WhiteImage(target.size);
    ReplayState state;
    ReplayInto(image, items.list, clip, target, state);
    EXPECT_EQ(state.fore, QColor(255, 0, 0));
    EXPECT_EQ(state.penWidth, 10);

    // Resetting the state starts where every picture starts: the attributes and the point.
    state.drawnIndex = -1;
    Items next;
    next.Line(10, 50);
    ReplayInto(image, next.list, clip, target, state);
    EXPECT_EQ(state.drawnIndex, 1);
    EXPECT_EQ(state.fore, QColor(0, 0, 0));
    EXPECT_EQ(state.penWidth, 1);
    EXPECT_EQ(state.font.pixelSize(), 16);
    EXPECT_EQ(image.pixel(5, 25), qRgb(0, 0, 0)); // on the way from the origin
    EXPECT_EQ(image.pixel(50, 30), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(10, 50), qRgb(0, 0, 0));
    EXPECT_EQ(ThicknessAt(image, 50), 10); // only the red 10 pixels
}

TEST(ReplayTest, LeavesThePaintersOwnStateAsItWas) {
    Items items;
    items.Fore(255, 0, 0).Pen(10).Font("DejaVu Serif", 3000).Move(10, 10).Line(90, 10);
    QImage image = WhiteImage({100, 100});
    QPainter painter(&image);
    const QPen pen(Qt::green, 3);
    const QFont font = LookupFont("DejaVu Sans", 9, kFontItalic);
    painter.setPen(pen);
    painter.setFont(font);
    painter.setRenderHint(QPainter::Antialiasing, true);
    ReplayState state;
    Replay(items.list, {0, 0, 100, 100}, painter, {{100, 100}}, state);
    EXPECT_EQ(painter.pen(), pen);
    EXPECT_EQ(painter.font(), font);
    EXPECT_TRUE(painter.testRenderHint(QPainter::Antialiasing));
}

TEST(ReplayTest, RenderPictureIsAFullReplayOnWhite) {
    Items items;
    items.Back(0, 0, 255).Fore(255, 255, 0).Move(0, 20).Line(50, 20);
    const QImage picture = RenderPicture(items.list, {0, 0, 50, 25}, {100, 60}); // scale 2
    ASSERT_EQ(picture.size(), QSize(100, 60));
    EXPECT_EQ(picture.pixel(0, 40), qRgb(255, 255, 0));
    EXPECT_EQ(picture.pixel(99, 40), qRgb(255, 255, 0));
    EXPECT_EQ(picture.pixel(49, 24), qRgb(0, 0, 255)); // the unscaled fill
    EXPECT_EQ(picture.pixel(50, 24), kWhite);
    EXPECT_EQ(picture.pixel(49, 25), kWhite);
    EXPECT_TRUE(RenderPicture(items.list, {0, 0, 50, 25}, {0, 60}).isNull());
}

TEST(LookupFontTest, MatchesFamiliesByPrefixAndFallsBackToTheFixedFont) {
    const QString fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    struct Row {
        const char* face;
        const char* family; // nullptr: the system's fixed font
    };
    const Row rows[] = {
        {"NoSuchFace", nullptr},
        {"Fixedsys", nullptr},
        {"FIXEDSYS", nullptr},
        {"", nullptr},
        {"DejaVu S", "DejaVu Sans"}, // the first family it starts
        {"dejavu serif", "DejaVu Serif"},
        {"DEJAVU SANS M", "DejaVu Sans Mono"},
        {"DejaVu Sans Mono Extra", nullptr}, // longer than any family
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.face);
        const QFont font = LookupFont(r.face, 20, 0);
        if (r.family) {
            EXPECT_EQ(font.family(), QString::fromLatin1(r.family));
            EXPECT_EQ(QFontInfo(font).family(), QString::fromLatin1(r.family));
        } else {
            EXPECT_EQ(font.family(), fixed);
            EXPECT_TRUE(QFontInfo(font).fixedPitch());
        }
    }
}

TEST(LookupFontTest, SetsThePixelHeightAndTheStyleFlags) {
    struct Row {
        int height;
        uint16_t flags;
        int pixelSize;
        bool italic, underline, strikeOut;
    };
    const Row rows[] = {
        {20, 0, 20, false, false, false},
        {20, kFontItalic, 20, true, false, false},
        {7, kFontUnderline, 7, false, true, false},
        {7, kFontStrikeOut, 7, false, false, true},
        {0, 0xFFFF, 1, true, true, true}, // unknown bits are ignored
        {-5, 0, 1, false, false, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.height << " " << r.flags);
        const QFont font = LookupFont("DejaVu Sans", r.height, r.flags);
        EXPECT_EQ(font.pixelSize(), r.pixelSize);
        EXPECT_EQ(font.italic(), r.italic);
        EXPECT_EQ(font.underline(), r.underline);
        EXPECT_EQ(font.strikeOut(), r.strikeOut);
    }
}

} // namespace
} // namespace tivane
