#include "replay.h"

#include <algorithm>
#include <cmath>

#include <QFontDatabase>
#include <QFontMetrics>
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

void Replay(const DrawList& list, const DRect& clip, QPainter& painter, const ReplayTarget& target,
            ReplayState& state, QPoint origin) {
    if (state.drawnIndex < 0) ResetState(state, target);
    const int32_t count = list.Count();
    if (state.drawnIndex >= count) return;

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
    int32_t i = state.drawnIndex;
    for (; i < end; ++i) {
        const int32_t operand = list.Operand(i);
        switch (list.Code(i)) {
        case DI_MOVETO:
        case DI_LINETO: {
            const QPoint to(RndDevice(PointX(operand) * scale), RndDevice(PointY(operand) * scale));
            // A one-pixel line covers both its end pixels. A line that scaling shrank to one
            // point still shows as a dot of the pen.
            if (list.Code(i) == DI_LINETO) {
                if (to == state.point)
                    painter.drawPoint(to);
                else
                    painter.drawLine(state.point, to);
            }
            state.point = to;
            break;
        }
        case DI_TEXT: {
            // The replay point is the text's top-left corner; Qt places text by its baseline.
            const int ascent = painter.fontMetrics().ascent();
            painter.drawText(QPoint(state.point.x(), state.point.y() + ascent),
                             ShownText(list.Text(i)));
            break;
        }
        case DI_FONTNAME: {
            // A name without its size (a damaged file) is skipped; the item after it is
            // replayed on its own.
            if (i + 1 >= count || list.Code(i + 1) != DI_FONTSIZE) break;
            const std::string& face = list.Text(i);
            ++i;
            const int32_t size = list.Operand(i);
            // The low half is hundredths of a point, signed.
            const int height = RndDevice(PointX(size) * unit * 0.01);
            state.font = LookupFont(face, std::max(height, kMinTextPixels), FontFlags(size));
            painter.setFont(state.font);
            break;
        }
        case DI_BACKCOLOR:
            state.back = ItemColor(operand);
            painter.fillRect(fillRect, state.back);
            break;
        case DI_FORECOLOR:
            state.fore = ItemColor(operand);
            painter.setPen(ReplayPen(state));
            break;
        case DI_PENSIZE: {
            const double pixels = static_cast<double>(OperandFloat(operand)) * unit;
            state.penWidth = std::max(RndDevice(pixels), 0);
            painter.setPen(ReplayPen(state));
            break;
        }
        default: // DI_FONTSIZE on its own, and codes this version does not know
            break;
        }
    }
    state.drawnIndex = i;
    painter.restore();
}

void CatchUp(const GraphModel& model, QPainter& painter, const QRect& pixels,
             const ReplayTarget& target, ReplayState& state, QPoint origin) {
    if (state.drawnIndex < 0 || state.generation != model.Generation()) {
        painter.fillRect(pixels, Qt::white);
        state.generation = model.Generation();
        state.drawnIndex = -1;
    }
    Replay(model.List(), model.Clip(), painter, target, state, origin);
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
