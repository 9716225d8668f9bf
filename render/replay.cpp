#include "replay.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

#include <QFontDatabase>
#include <QFontMetrics>
#include <QLine>
#include <QPainter>
#include <QPen>
#include <QRect>
#include <QString>
#include <QStringDecoder>

namespace tivane {

namespace {

// Lists may come from a damaged side file and targets from any caller, so every conversion
// to int is clamped: NaN and out-of-range values must not reach a float-to-int cast.
// 2^24 keeps device coordinates well inside what the raster engine handles.
constexpr double kDeviceLimit = 16777216.0;

int Clamped(double v) {
    if (std::isnan(v)) return 0;
    if (v < -kDeviceLimit) return -static_cast<int>(kDeviceLimit);
    return static_cast<int>(std::min(v, kDeviceLimit));
}

// The pipeline's rounding (Rnd), made safe for any input.
int RndDevice(double v) {
    return Clamped(v + 0.5);
}

int TruncDevice(double v) {
    return Clamped(v);
}

// Text is bytes; valid UTF-8 is shown as such, anything else byte for byte as Latin-1, so
// a text written in an 8-bit code page still shows one character per byte.
QString ShownText(std::string_view bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless |
                                                  QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError())
        text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return text;
}

char AsciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char>(c - u'A' + u'a') : static_cast<char>(c);
}

bool StartsWithIgnoringAsciiCase(const QString& family, const QString& face) {
    if (family.size() < face.size()) return false;
    for (qsizetype i = 0; i < face.size(); ++i) {
        const char16_t a = family[i].unicode(), b = face[i].unicode();
        if (a != b && (a > 0x7F || b > 0x7F || AsciiLower(a) != AsciiLower(b))) return false;
    }
    return true;
}

// Pens of width 0 and 1 are one device pixel; 0 keeps them so under any painter transform.
// Round caps make a path of separate segments join without notches at any width.
QPen ReplayPen(const ReplayState& state) {
    return QPen(state.fore, state.penWidth <= 1 ? 0 : state.penWidth, Qt::SolidLine, Qt::RoundCap,
                Qt::RoundJoin);
}

QColor ItemColor(int32_t operand) {
    return QColor(ColorRed(operand), ColorGreen(operand), ColorBlue(operand));
}

// The pixels of a 32-bit image that a painter draws on untransformed and unclipped, where the
// replay may set the pixels of one-pixel segments itself. Qt's raster engine hands such a line
// to its span blender one pixel at a time, at about 17 ns a pixel; a window whose program draws
// long segments spends most of its time there. Null for any other target.
struct DirectPixels {
    uint32_t* bits = nullptr;
    qsizetype stride = 0; // pixels a row
    int width = 0, height = 0;
    QPoint offset; // the painter's translation, whole pixels (a window centres its picture)
};

// Sides up to this keep the line arithmetic below (26.6 fixed point shifted to 16.16) inside
// 32 bits; larger pictures are left to the painter.
constexpr int kDirectMaxSide = 16383;

DirectPixels DirectTarget(QPainter& painter) {
    QPaintDevice* device = painter.device();
    if (!device || device->devType() != QInternal::Image) return {};
    auto* image = static_cast<QImage*>(device);
    const bool rgb32 = image->format() == QImage::Format_RGB32 ||
                       image->format() == QImage::Format_ARGB32_Premultiplied;
    // A shared image would be copied by bits(), away from the buffer the painter draws into.
    const QTransform& t = painter.transform();
    const bool wholeShift = t.type() == QTransform::TxNone ||
                            (t.type() == QTransform::TxTranslate && t.dx() == std::trunc(t.dx()) &&
                             t.dy() == std::trunc(t.dy()) && std::abs(t.dx()) <= kDirectMaxSide &&
                             std::abs(t.dy()) <= kDirectMaxSide);
    if (!rgb32 || !image->isDetached() || painter.hasClipping() || !wholeShift ||
        painter.compositionMode() != QPainter::CompositionMode_SourceOver ||
        image->width() > kDirectMaxSide || image->height() > kDirectMaxSide)
        return {};
    return {reinterpret_cast<uint32_t*>(image->bits()), image->bytesPerLine() / 4, image->width(),
            image->height(), QPoint(static_cast<int>(t.dx()), static_cast<int>(t.dy()))};
}

// 16.16 fixed point quotient, truncated toward zero.
int FixedQuotient(int num, int den) {
    return static_cast<int>(static_cast<int64_t>(num) * 65536 / den);
}

// A one-pixel segment of an opaque colour from `a` to `b` (a != b), both ends included, set
// pixel for pixel as the raster engine sets it for a cosmetic pen with round caps: positions in
// 1/64 pixel, the ends pushed out half a pixel along the major axis, one pixel a row (or a
// column) at the pixel centres crossed, the minor position stepped in 16.16 from the
// extended start. Pixels outside the image are skipped.
void SetLinePixels(const DirectPixels& px, QPoint a, QPoint b, uint32_t argb) {
    const bool steep = std::abs(b.x() - a.x()) < std::abs(b.y() - a.y());
    // Along the major axis (u) and across it (v), with u increasing.
    int u1 = (steep ? a.y() : a.x()) * 64, v1 = (steep ? a.x() : a.y()) * 64;
    int u2 = (steep ? b.y() : b.x()) * 64, v2 = (steep ? b.x() : b.y()) * 64;
    if (u1 > u2) {
        std::swap(u1, u2);
        std::swap(v1, v2);
    }
    const int slope = FixedQuotient(v2 - v1, u2 - u1);
    int v = (v1 << 10) - (slope >> 1);
    u1 -= 32;
    u2 += 32;
    int u = (u1 + 32) >> 6;
    const int uEnd = (u2 + 32) >> 6;
    v += (((u << 6) + (slope > 0 ? 32 : 0) - u1) * slope) >> 6;
    // Locals, so that the stores into the pixels do not make the compiler reload them.
    uint32_t* const bits = px.bits;
    const qsizetype stride = px.stride;
    const auto uSize = static_cast<unsigned>(steep ? px.height : px.width);
    const auto vSize = static_cast<unsigned>(steep ? px.width : px.height);
    // Steps along u go one pixel (or one row); a step of v by one goes one row (or pixel).
    const qsizetype uStep = steep ? stride : 1, vStep = steep ? 1 : stride;
    for (; u < uEnd; ++u, v += slope) {
        const int across = v >> 16;
        if (static_cast<unsigned>(u) < uSize && static_cast<unsigned>(across) < vSize)
            bits[u * uStep + across * vStep] = argb;
    }
}

// Lines and dots of a one-pixel pen. On a plain 32-bit image their pixels are set directly
// (SetLinePixels); elsewhere they are gathered and handed to the painter many at a time, which
// draws each on its own as one call a segment would. The colour is opaque, so the order of the
// segments cannot show. Whatever else the replay draws, or a change of pen, flushes first.
class SegmentBatch {
public:
    SegmentBatch(QPainter& painter, QColor color)
        : m_painter(painter), m_direct(DirectTarget(painter)), m_argb(color.rgba()) {}
    ~SegmentBatch() { Flush(); }
    SegmentBatch(const SegmentBatch&) = delete;
    SegmentBatch& operator=(const SegmentBatch&) = delete;

    void SetColor(QColor color) { m_argb = color.rgba(); }

    void Add(QPoint from, QPoint to) {
        if (m_direct.bits) {
            const QPoint a = from + m_direct.offset, b = to + m_direct.offset;
            if (a == b) {
                if (b.x() >= 0 && b.y() >= 0 && b.x() < m_direct.width && b.y() < m_direct.height)
                    m_direct.bits[b.y() * m_direct.stride + b.x()] = m_argb;
            } else if (Inside(a) && Inside(b)) {
                SetLinePixels(m_direct, a, b, m_argb);
            } else {
                m_lines.emplace_back(from, to); // the painter clips as it always has
            }
        } else if (from == to) {
            // A line that scaling shrank to one point still shows as a dot of the pen.
            m_dots.push_back(to);
        } else {
            m_lines.emplace_back(from, to);
        }
        if (m_lines.size() + m_dots.size() >= kSize) Flush();
    }
    void Flush() {
        if (!m_lines.empty()) m_painter.drawLines(m_lines.data(), static_cast<int>(m_lines.size()));
        if (!m_dots.empty()) m_painter.drawPoints(m_dots.data(), static_cast<int>(m_dots.size()));
        m_lines.clear();
        m_dots.clear();
    }

private:
    // Within the image or on its right or bottom edge: the painter would not clip the line.
    bool Inside(QPoint p) const {
        return p.x() >= 0 && p.y() >= 0 && p.x() <= m_direct.width && p.y() <= m_direct.height;
    }

    // Enough to make the set-up negligible, small enough to stay in the cache.
    static constexpr size_t kSize = 1024;
    QPainter& m_painter;
    const DirectPixels m_direct;
    uint32_t m_argb;
    std::vector<QLine> m_lines;
    std::vector<QPoint> m_dots;
};

// Every target starts where the list says a picture starts, at the target's origin.
void ResetState(ReplayState& state, const ReplayTarget& target) {
    state.drawnIndex = 0;
    state.point = QPoint();
    state.fore = ItemColor(kDrawStart.fore);
    state.back = ItemColor(kDrawStart.back);
    state.penWidth = kDrawStart.penPixels;
    state.font =
        LookupFont(kDrawStart.face, TruncDevice(target.dpiX * kDrawStart.fontPoints / 72), 0);
}

// The bounds of what a replay paints, grown item by item. Each mark is widened by a margin
// that covers the pen's half width and the raster engine's half-pixel caps.
class PaintedBounds {
public:
    void Add(QPoint p, int margin) {
        m_x1 = std::min(m_x1, p.x() - margin);
        m_y1 = std::min(m_y1, p.y() - margin);
        m_x2 = std::max(m_x2, p.x() + margin);
        m_y2 = std::max(m_y2, p.y() + margin);
    }
    void Add(const QRect& r) {
        if (r.isEmpty()) return;
        Add(r.topLeft(), 0);
        Add(r.bottomRight(), 0);
    }
    QRect Rect() const {
        return m_x1 > m_x2 ? QRect() : QRect(QPoint(m_x1, m_y1), QPoint(m_x2, m_y2));
    }

private:
    int m_x1 = INT_MAX, m_y1 = INT_MAX, m_x2 = INT_MIN, m_y2 = INT_MIN;
};

// Room around a line's ends for a pen of `penWidth` device pixels.
int PenMargin(int penWidth) {
    return penWidth / 2 + 2;
}

} // namespace

double ReplayScale(const DRect& clip, QSize size) {
    const double w = clip.x2 - clip.x1;
    const double h = clip.y2 - clip.y1;
    if (!(w > 0 && h > 0) || size.isEmpty()) return 0.0;
    const double rw = size.width(), rh = size.height();
    return rh * w < rw * h ? rh / h : rw / w;
}

QPoint CentredOrigin(const DRect& clip, QSize size) {
    const double scale = ReplayScale(clip, size);
    return QPoint(static_cast<int>((size.width() - (clip.x2 - clip.x1) * scale) / 2),
                  static_cast<int>((size.height() - (clip.y2 - clip.y1) * scale) / 2));
}

double ReplaySizeUnit(const DRect& clip, const ReplayTarget& target) {
    const double k = target.dpiX / 72.0;
    if (target.printing) return k;
    return (clip.x2 - clip.x1) * k * ReplayScale(clip, target.size) / 600.0;
}

QFont LookupFont(std::string_view face, int pixelHeight, uint16_t flags) {
    const QString name = ShownText(face);
    QString family;
    if (!name.isEmpty() && name.compare(u"Fixedsys", Qt::CaseInsensitive) != 0) {
        const QStringList families = QFontDatabase::families();
        const auto match = std::find_if(families.begin(), families.end(), [&](const QString& f) {
            return StartsWithIgnoringAsciiCase(f, name);
        });
        if (match != families.end()) family = *match;
    }
    if (family.isEmpty()) family = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    QFont font(family);
    font.setPixelSize(std::max(pixelHeight, 1));
    font.setItalic((flags & kFontItalic) != 0);
    font.setUnderline((flags & kFontUnderline) != 0);
    font.setStrikeOut((flags & kFontStrikeOut) != 0);
    return font;
}

namespace {

// What an item other than a move or a line needs to replay it.
struct ReplayStep {
    QPainter& painter;
    ReplayState& state;
    double unit;    // pixels a size unit of a pen or a font
    QRect fillRect; // what a back colour fills
    PaintedBounds& painted;
};

// Replays the text, font, colour or pen item at `i` and returns the index of the last item it
// took (a font name takes its size with it).
int32_t ReplayStateItem(const DrawList& list, int32_t i, ReplayStep& step, SegmentBatch& batch) {
    QPainter& painter = step.painter;
    ReplayState& state = step.state;
    const int32_t operand = list.Operand(i);
    switch (list.Code(i)) {
    case DI_TEXT: {
        // The replay point is the text's top-left corner; Qt places text by its baseline.
        const QFontMetrics metrics = painter.fontMetrics();
        const QString text = ShownText(list.Text(i));
        painter.drawText(QPoint(state.point.x(), state.point.y() + metrics.ascent()), text);
        // A line of text, widened by its height on every side for slanted and overhanging
        // glyphs, underlines and the like.
        const int h = metrics.height();
        step.painted.Add(
            QRect(state.point, QSize(metrics.horizontalAdvance(text), h)).adjusted(-h, -h, h, h));
        break;
    }
    case DI_FONTNAME: {
        // A name without its size (a damaged file) is skipped; the item after it is
        // replayed on its own.
        if (i + 1 >= list.Count() || list.Code(i + 1) != DI_FONTSIZE) break;
        const std::string& face = list.Text(i);
        ++i;
        const int32_t size = list.Operand(i);
        // The low half is hundredths of a point, signed.
        const int height = RndDevice(PointX(size) * step.unit * 0.01);
        state.font = LookupFont(face, std::max(height, kMinTextPixels), FontFlags(size));
        painter.setFont(state.font);
        break;
    }
    case DI_BACKCOLOR:
        state.back = ItemColor(operand);
        painter.fillRect(step.fillRect, state.back);
        step.painted.Add(step.fillRect);
        break;
    case DI_FORECOLOR:
        state.fore = ItemColor(operand);
        batch.SetColor(state.fore);
        painter.setPen(ReplayPen(state));
        break;
    case DI_PENSIZE: {
        const double pixels = static_cast<double>(OperandFloat(operand)) * step.unit;
        state.penWidth = std::max(RndDevice(pixels), 0);
        painter.setPen(ReplayPen(state));
        break;
    }
    default: // DI_FONTSIZE on its own, and codes this version does not know
        break;
    }
    return i;
}

} // namespace

QRect Replay(const DrawList& list, const DRect& clip, QPainter& painter, const ReplayTarget& target,
             ReplayState& state, QPoint origin) {
    if (state.drawnIndex < 0) ResetState(state, target);
    const int32_t count = list.Count();
    if (state.drawnIndex >= count) return QRect();
    PaintedBounds painted;

    const double scale = ReplayScale(clip, target.size);
    const double unit = ReplaySizeUnit(clip, target);
    // The back colour fills the clip window's own numbers as device pixels, unscaled: pictures
    // have always been made against that, so it stays.
    const int fillX1 = TruncDevice(clip.x1), fillY1 = TruncDevice(clip.y1);
    const QRect fillRect =
        QRect(fillX1, fillY1, TruncDevice(clip.x2) - fillX1, TruncDevice(clip.y2) - fillY1)
            .adjusted(-origin.x(), -origin.y(), origin.x(), origin.y());

    painter.save();
    painter.translate(origin);
    // Aliased, so that a point lands on exactly one pixel and a picture replayed in pieces
    // equals one replayed at once.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setPen(ReplayPen(state)); // the pen's colour is also the text colour
    painter.setFont(state.font);

    // A trailing font name waits for its size, which is recorded next: the replay stops before
    // it, and the next one takes both.
    const int32_t end = list.Code(count - 1) == DI_FONTNAME ? count - 1 : count;
    SegmentBatch batch(painter, state.fore);
    ReplayStep step{painter, state, unit, fillRect, painted};
    int32_t i = state.drawnIndex;
    for (; i < end; ++i) {
        const uint8_t code = list.Code(i);
        if (code == DI_MOVETO || code == DI_LINETO) {
            const int32_t operand = list.Operand(i);
            const QPoint to(RndDevice(PointX(operand) * scale), RndDevice(PointY(operand) * scale));
            // A one-pixel line covers both its end pixels.
            if (code == DI_LINETO) {
                const int margin = PenMargin(state.penWidth);
                painted.Add(state.point, margin);
                painted.Add(to, margin);
                if (state.penWidth <= 1)
                    batch.Add(state.point, to);
                else if (to == state.point)
                    painter.drawPoint(to);
                else
                    painter.drawLine(state.point, to);
            }
            state.point = to;
            continue;
        }
        batch.Flush();
        i = ReplayStateItem(list, i, step, batch);
    }
    batch.Flush();
    state.drawnIndex = i;
    painter.restore();
    return painted.Rect().translated(origin);
}

QRect CatchUp(const GraphModel& model, QPainter& painter, const QRect& pixels,
              const ReplayTarget& target, ReplayState& state, QPoint origin) {
    QRect filled;
    if (state.drawnIndex < 0 || state.generation != model.Generation()) {
        painter.fillRect(pixels, Qt::white);
        filled = pixels;
        state.generation = model.Generation();
        state.drawnIndex = -1;
    }
    return filled | Replay(model.List(), model.Clip(), painter, target, state, origin);
}

QImage RenderPicture(const DrawList& list, const DRect& clip, QSize size, double dpiX,
                     QPoint origin) {
    if (size.isEmpty()) return QImage();
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    ReplayState state;
    Replay(list, clip, painter, ReplayTarget{size, dpiX, false}, state, origin);
    return image;
}

} // namespace tivane
