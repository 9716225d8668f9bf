#pragma once
// What a graphics view records, without a window: the world, clip and area rectangles, the
// last point, and the conversion and clipping that turn a program's drawing calls into items
// of the draw list. Pure: tests drive it row by row.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "drawlist.h"

namespace tivane {

struct DRect {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool operator==(const DRect&) const = default;
};

// The fixed bounds every clip window must lie within.
inline constexpr DRect kDrawArea{0, 0, 30000, 30000};

// A rectangle as four comma-separated numbers x1,y1,x2,y2 in the shortest form that reads
// back to the same doubles, and back: nothing unless the text is exactly four numbers.
std::string FormatRect(const DRect& r);
std::optional<DRect> ParseRect(std::string_view text);

// Rounding of the whole drawing pipeline: add 0.5, then truncate toward zero.
inline int32_t Rnd(double v) {
    return static_cast<int32_t>(v + 0.5);
}

class GraphModel {
public:
    GraphModel() { ResetContents(); }
    virtual ~GraphModel() = default;
    GraphModel(const GraphModel&) = delete;
    GraphModel& operator=(const GraphModel&) = delete;

    // Every recording returns false when the draw list refused an item (memory budget);
    // the items recorded before it stay.
    bool MoveTo(double x, double y);
    bool LineTo(double x, double y);
    bool MoveRel(double dx, double dy) { return MoveTo(m_curX + dx, m_curY + dy); }
    bool LineRel(double dx, double dy) { return LineTo(m_curX + dx, m_curY + dy); }
    // Text at the last point; when that lies outside the clip units, a move to it (clamped to
    // the 16-bit range) comes first. Nothing for a null text.
    bool OutputText(const char* text, size_t length);
    bool SetBackColor(int32_t r, int32_t g, int32_t b);
    bool SetForeColor(int32_t r, int32_t g, int32_t b);
    bool SetPenSize(double size);
    bool ChangeFont(std::string_view face, double size, uint16_t flags);
    void SetWorldWindow(double x1, double y1, double x2, double y2) { m_world = {x1, y1, x2, y2}; }
    // 0 when the clip window was set; else 26 (outside the area, empty) or 25 (the list
    // already holds drawing items), and the clip window is unchanged.
    uint32_t SetClipWindow(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
    // The windows a loaded picture was drawn in, which its items, in clip units, need to be
    // shown as they were. False, changing nothing, for a clip window that SetClipWindow could
    // not have set (the whole area, the start of every picture, counts) or a world window
    // with a number that is not finite.
    bool RestoreWindows(const DRect& clip, const DRect& world);
    // The area (0-3), clip window (4-7) and world window (8-11) as x1, y1, x2, y2; the index
    // is clamped to 0..11.
    double GetWindowValue(int32_t index) const;

    // Frees the list; area, clip and world windows to (0, 0, 30000, 30000); last point
    // (-10, -10), farther than the tolerance from any point of the area.
    void ResetContents();
    // Replaces the list by one read from a file.
    void Load(DrawList list);
    // The attributes every fresh picture starts with: white back, black fore, pen 1.0 and
    // the 12-point "Fixedsys" font.
    bool RecordDefaults();
    // A new run of the view's program on top of an old picture starts with the replay's start
    // pen: black and one device pixel wide (a pen size of 0 is one pixel at any scale, where
    // 1.0 would grow with the window). Recorded, so that every target and a reopened picture
    // show the run's lines alike.
    bool RecordRunStart();

    const DrawList& List() const { return m_list; }
    // Bumped whenever what a target has replayed no longer matches the list: the list was
    // cleared or replaced, or the clip window (which places the back colour's fill) changed.
    // A target that keeps its pixels starts again from white when it sees another generation.
    uint64_t Generation() const { return m_generation; }
    const DRect& Clip() const { return m_clip; }
    const DRect& World() const { return m_world; }
    double LastX() const { return m_lastX; }
    double LastY() const { return m_lastY; }

protected:
    // Called after every item appended.
    virtual void ItemAdded() {}

private:
    bool Add(uint8_t code, int32_t operand);
    bool AddString(uint8_t code, std::string_view text);
    bool AddPoint(uint8_t code, double x, double y);
    void Convert(double x, double y, double& ex, double& ey) const;
    bool WithinTolerance(double ex, double ey) const;

    DrawList m_list;
    uint64_t m_generation = 0;
    DRect m_area = kDrawArea;
    DRect m_clip = kDrawArea;
    DRect m_world = kDrawArea;
    double m_lastX = -10, m_lastY = -10; // last converted point, clip units, before clipping
    double m_curX = 0, m_curY = 0;       // last world point given; base of the relative calls
};

} // namespace tivane
