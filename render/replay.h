#pragma once
// The one replay of a draw list onto a QPainter. A window's off-screen image, a printer page,
// an exported bitmap and a movie frame all go through Replay, so they show the same picture;
// the coordinate and size conversions live here and nowhere else.
//
// Everything here builds fonts, so a QGuiApplication must exist before the first call.

#include <cstdint>
#include <string_view>

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QSize>

#include "drawlist.h"
#include "graphmodel.h"

class QPainter;

namespace tivane {

// What the replay keeps between calls for one target (a window's image, a movie frame, a
// printer page). Each target owns its own: a target that keeps its pixels replays only the
// items added since its last call, and starts again from white when the model's generation is
// not the one it replayed (see CatchUp); one that does not (a page, a file) replays a new
// state. Nothing outside the target writes it.
struct ReplayState {
    uint64_t generation = 0; // the model's generation that drawnIndex counts in
    int32_t drawnIndex = -1; // items already replayed; -1: the next replay starts from scratch
    QPoint point;            // the current device point
    QColor fore = Qt::black;
    QColor back = Qt::white; // recorded for the caller; the replay paints text transparently
    int penWidth = 1;        // device pixels; 0 and 1 both mean one pixel
    QFont font;              // valid once a replay has started
};

struct ReplayTarget {
    QSize size;            // the target rectangle: a client area, or the stored rectangle
    double dpiX = 96;      // the target's logical pixels per inch, horizontally
    bool printing = false; // sizes in points of the paper instead of points of the picture
};

// Device pixels per clip unit: the clip window fitted into `size` with its aspect kept,
// anchored top-left. 0 when the clip window or the size is empty.
double ReplayScale(const DRect& clip, QSize size);

// Device pixels per size unit (the unit of pen sizes and font points). On paper a point is a
// point. On screen a point is one of a picture whose clip window is shown 600 pixels wide, so
// pens and fonts grow and shrink with the window.
double ReplaySizeUnit(const DRect& clip, const ReplayTarget& target);

// Replays the items from state.drawnIndex (after resetting the state, from 0, when it is
// negative) to the end of `list` onto `painter`, whose origin must be the target rectangle's
// top-left corner, and advances state.drawnIndex past them. A trailing DI_FONTNAME is left
// for the next call, which takes it together with its DI_FONTSIZE. The painter's own pen,
// font and render hints are restored on return; its clip is left to the caller.
// `origin` is where the picture's top-left corner lies in the painter (a window centres the
// picture its aspect leaves narrower or lower than itself); back colour fills reach out by as
// much on every side, so the margins take the picture's background.
// Returns a rectangle, in the painter's coordinates, outside which this call left every pixel
// as it was (before the painter's clip); empty when it painted nothing. It may be larger than
// what changed, never smaller, so a target can pass on only the rows inside it.
QRect Replay(const DrawList& list, const DRect& clip, QPainter& painter, const ReplayTarget& target,
             ReplayState& state, QPoint origin = QPoint());

// Where a window of `size` puts a picture of `clip` to centre it.
QPoint CentredOrigin(const DRect& clip, QSize size);

// Brings a target that keeps its pixels up to date with `model`: when `state` is new, reset
// (drawnIndex -1) or of another generation, `pixels` (the target's whole device rectangle) is
// filled white and the list replayed from its start; otherwise only the items added since.
// Returns what it may have painted, as Replay does (all of `pixels` after a fill).
QRect CatchUp(const GraphModel& model, QPainter& painter, const QRect& pixels,
              const ReplayTarget& target, ReplayState& state, QPoint origin = QPoint());

// The whole list replayed afresh at `size` onto white (export, headless runs). A null image
// when `size` is empty.
QImage RenderPicture(const DrawList& list, const DRect& clip, QSize size, double dpiX = 96,
                     QPoint origin = QPoint());

// Text that a small window or picture scales down stays readable: below this cell height in
// pixels letters are blots.
inline constexpr int kMinTextPixels = 7;

// Style bits of a DI_FONTSIZE operand's high half.
inline constexpr uint16_t kFontItalic = 1;
inline constexpr uint16_t kFontUnderline = 2;
inline constexpr uint16_t kFontStrikeOut = 4;

// The font for a recorded face name: the first installed family (in QFontDatabase::families()
// order) whose name starts with `face`, ignoring ASCII case. An empty face, "Fixedsys" and a
// face no family starts with get the system's fixed-pitch family. `pixelHeight` below 1
// counts as 1.
QFont LookupFont(std::string_view face, int pixelHeight, uint16_t flags);

} // namespace tivane
