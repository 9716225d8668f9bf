#include "graphmodel.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "hosts.h"

namespace tivane {

namespace {

// Clamps into the 16-bit operand range; NaN goes to the low end.
double ClampOperand(double v) {
    if (!(v >= -32700.0)) return -32700.0;
    return std::min(v, 32700.0);
}

} // namespace

bool GraphModel::Add(uint8_t code, int32_t operand) {
    if (!m_list.Add(code, operand)) return false;
    ItemAdded();
    return true;
}

bool GraphModel::AddString(uint8_t code, std::string_view text) {
    if (!m_list.AddString(code, text)) return false;
    ItemAdded();
    return true;
}

bool GraphModel::AddPoint(uint8_t code, double x, double y) {
    return Add(code, PackPoint(static_cast<int16_t>(Rnd(x)), static_cast<int16_t>(Rnd(y))));
}

void GraphModel::Convert(double x, double y, double& ex, double& ey) const {
    const double w = m_clip.x2 - m_clip.x1;
    const double h = m_clip.y2 - m_clip.y1;
    ex = (x - m_world.x1) * w / (m_world.x2 - m_world.x1);
    ey = (y - m_world.y1) * h / (m_world.y2 - m_world.y1);
}

bool GraphModel::WithinTolerance(double ex, double ey) const {
    return std::fabs(m_lastX - ex) <= 1.0 && std::fabs(m_lastY - ey) <= 1.0;
}

bool GraphModel::MoveTo(double x, double y) {
    m_curX = x;
    m_curY = y;
    double ex, ey;
    Convert(x, y, ex, ey);
    // Tiny steps record nothing and leave the last point, so they accumulate until one
    // passes the tolerance.
    if (WithinTolerance(ex, ey)) return true;
    const double w = m_clip.x2 - m_clip.x1;
    const double h = m_clip.y2 - m_clip.y1;
    bool ok = true;
    if (-0.5 <= ex && ex <= w + 0.5 && -0.5 <= ey && ey <= h + 0.5)
        ok = AddPoint(DI_MOVETO, ex, ey);
    m_lastX = ex;
    m_lastY = ey;
    return ok;
}

bool GraphModel::LineTo(double x, double y) {
    m_curX = x;
    m_curY = y;
    double ex, ey;
    Convert(x, y, ex, ey);
    const double ox = ex, oy = ey;
    if (WithinTolerance(ex, ey)) return true;
    const double w = m_clip.x2 - m_clip.x1;
    const double h = m_clip.y2 - m_clip.y1;
    double lx = m_lastX, ly = m_lastY;
    // The start point, each test on what the previous ones left.
    bool startClipped = false;
    if (lx < 0 && ex >= 0) {
        ly = (ex * ly - ey * lx) / (ex - lx);
        lx = 0;
        startClipped = true;
    }
    if (ly < 0 && ey >= 0) {
        lx = (ey * lx - ex * ly) / (ey - ly);
        ly = 0;
        startClipped = true;
    }
    if (lx > w && ex <= w) {
        ly = ((lx - w) * ey + (w - ex) * ly) / (lx - ex);
        lx = w;
        startClipped = true;
    }
    if (ly > h && ey <= h) {
        lx = ((ly - h) * ex + (h - ey) * lx) / (ly - ey);
        ly = h;
        startClipped = true;
    }
    // The end point, against the clipped start.
    if (ex < 0 && lx >= 0) {
        ey = (ey * lx - ex * ly) / (lx - ex);
        ex = 0;
    }
    if (ey < 0 && ly >= 0) {
        ex = (ex * ly - ey * lx) / (ly - ey);
        ey = 0;
    }
    if (ex > w && lx <= w) {
        ey = ((ex - w) * ly + (w - lx) * ey) / (ex - lx);
        ex = w;
    }
    if (ey > h && ly <= h) {
        ex = ((ey - h) * lx + (h - ly) * ex) / (ey - ly);
        ey = h;
    }
    bool ok = true;
    // An unclipped start needs no move: the replay's current point is already there.
    if (startClipped && 0 <= lx && lx <= w && 0 <= ly && ly <= h) ok = AddPoint(DI_MOVETO, lx, ly);
    if (ok && 0 <= ex && ex <= w && 0 <= ey && ey <= h) ok = AddPoint(DI_LINETO, ex, ey);
    // A segment wholly outside still moves the last point.
    m_lastX = ox;
    m_lastY = oy;
    return ok;
}

bool GraphModel::OutputText(const char* text, size_t length) {
    if (!text) return true;
    const double w = m_clip.x2 - m_clip.x1;
    const double h = m_clip.y2 - m_clip.y1;
    if (!(0 <= m_lastX && m_lastX <= w && 0 <= m_lastY && m_lastY <= h)) {
        if (!AddPoint(DI_MOVETO, ClampOperand(m_lastX), ClampOperand(m_lastY))) return false;
    }
    return AddString(DI_TEXT, std::string_view(text, length));
}

bool GraphModel::SetBackColor(int32_t r, int32_t g, int32_t b) {
    return Add(DI_BACKCOLOR, PackColor(static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                                       static_cast<uint8_t>(b)));
}

bool GraphModel::SetForeColor(int32_t r, int32_t g, int32_t b) {
    return Add(DI_FORECOLOR, PackColor(static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                                       static_cast<uint8_t>(b)));
}

bool GraphModel::SetPenSize(double size) {
    if (!(size >= 0)) size = 0.0;
    if (size > 100.0) size = 100.0;
    return Add(DI_PENSIZE, PackFloat(static_cast<float>(size)));
}

bool GraphModel::ChangeFont(std::string_view face, double size, uint16_t flags) {
    if (!(size >= 1.0)) size = 1.0;
    if (size > 320.0) size = 320.0;
    if (!AddString(DI_FONTNAME, face)) return false;
    if (Add(DI_FONTSIZE, PackFontSize(static_cast<int16_t>(size * 100), flags))) return true;
    // A name without its size would hold back the replay for good.
    return false;
}

uint32_t GraphModel::SetClipWindow(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    if (x1 >= x2 || x1 < m_area.x1 || !(x2 < m_area.x2)) return 26;
    if (y1 >= y2 || y1 < m_area.y1 || !(y2 < m_area.y2)) return 26;
    if (m_list.HasDrawingItems()) return 25;
    const DRect clip{static_cast<double>(x1), static_cast<double>(y1), static_cast<double>(x2),
                     static_cast<double>(y2)};
    if (clip != m_clip) ++m_generation;
    m_clip = clip;
    return 0;
}

double GraphModel::GetWindowValue(int32_t index) const {
    index = std::clamp(index, 0, 11);
    const DRect& r = index < 4 ? m_area : index < 8 ? m_clip : m_world;
    switch (index % 4) {
    case 0:
        return r.x1;
    case 1:
        return r.y1;
    case 2:
        return r.x2;
    default:
        return r.y2;
    }
}

std::string FormatRect(const DRect& r) {
    std::string text;
    for (const double v : {r.x1, r.y1, r.x2, r.y2}) {
        char buffer[32];
        const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
        if (!text.empty()) text += ',';
        text.append(buffer, ec == std::errc() ? end : buffer);
    }
    return text;
}

std::optional<DRect> ParseRect(std::string_view text) {
    double v[4];
    const char* at = text.data();
    const char* const end = text.data() + text.size();
    for (int k = 0; k < 4; ++k) {
        if (k > 0) {
            if (at == end || *at != ',') return std::nullopt;
            ++at;
        }
        const auto [next, ec] = std::from_chars(at, end, v[k]);
        if (ec != std::errc()) return std::nullopt;
        at = next;
    }
    if (at != end) return std::nullopt;
    return DRect{v[0], v[1], v[2], v[3]};
}

bool GraphModel::RestoreWindows(const DRect& clip, const DRect& world) {
    const auto whole = [](double v) { return v == std::trunc(v); };
    const bool clipOk = clip.x1 < clip.x2 && clip.y1 < clip.y2 && clip.x1 >= m_area.x1 &&
                        clip.y1 >= m_area.y1 && clip.x2 <= m_area.x2 && clip.y2 <= m_area.y2 &&
                        whole(clip.x1) && whole(clip.y1) && whole(clip.x2) && whole(clip.y2);
    const bool worldOk = std::isfinite(world.x1) && std::isfinite(world.y1) &&
                         std::isfinite(world.x2) && std::isfinite(world.y2);
    if (!clipOk || !worldOk) return false;
    if (clip != m_clip) ++m_generation;
    m_clip = clip;
    m_world = world;
    return true;
}

void GraphModel::ResetContents() {
    m_list.Clear();
    ++m_generation;
    m_area = m_clip = m_world = kDrawArea;
    m_lastX = m_lastY = -10;
}

void GraphModel::Load(DrawList list) {
    m_list = std::move(list);
    ++m_generation;
}

bool GraphModel::RecordRunStart() {
    return SetForeColor(0, 0, 0) && SetPenSize(0.0);
}

bool GraphModel::RecordDefaults() {
    return SetBackColor(255, 255, 255) && SetForeColor(0, 0, 0) && SetPenSize(1.0) &&
           ChangeFont(kDefaultTextFont.face, kDefaultTextFont.size, kDefaultTextFont.style);
}

} // namespace tivane
