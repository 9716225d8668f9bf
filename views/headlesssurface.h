#pragma once
// The window surface of a view that has no screen: tivane-run's windows and the tests'. It
// keeps what it is given, so a document saved headless writes back the placement it read.

#include <string>

#include "ui.h"

namespace tivane {

class HeadlessSurface : public WindowSurface {
public:
    HeadlessSurface(int32_t width = 800, int32_t height = 600) : m_width(width), m_height(height) {}

    void SetCaption(const std::string& caption) override { m_caption = caption; }
    // What was read, or the numbers of a 640 x 480 normal window.
    WindowPlacement Placement() const override { return m_placement; }
    void SetPlacement(const WindowPlacement& placement) override { m_placement = placement; }
    void Invalidate(bool erase) override {
        ++m_invalidations;
        if (erase) ++m_erases;
    }
    int32_t ClientWidth() const override { return m_width; }
    int32_t ClientHeight() const override { return m_height; }
    double LogicalDpiX() const override { return 96.0; }
    std::string Text() const override { return m_text; }
    void SetText(std::string_view text) override { m_text = text; }
    void SetFont(const FontSpec& font) override { m_font = font; }

    const std::string& Caption() const { return m_caption; }
    const FontSpec& Font() const { return m_font; }
    int32_t Invalidations() const { return m_invalidations; }
    int32_t Erases() const { return m_erases; }

private:
    int32_t m_width, m_height;
    std::string m_caption;
    WindowPlacement m_placement;
    std::string m_text;
    FontSpec m_font;
    int32_t m_invalidations = 0;
    int32_t m_erases = 0;
};

} // namespace tivane
