#pragma once
// The text view: the main input view (index 9999), where the user types the model's input,
// and the text output views, into which programs print. Output is collected in a buffer and
// handed to the window only when it is shown.

#include "outputbuffer.h"
#include "viewbase.h"

namespace tivane {

class CTivaneView final : public CViewBase {
public:
    CTivaneView(ViewDocument& doc, int16_t viewIndex) : CViewBase(doc, viewIndex) {}

    ViewKind Kind() const override { return ViewKind::Text; }

    // Program output; all of these do nothing in the main input view.
    void AppendText(std::string_view text) override;
    void ShowText() override;
    int32_t GetColumn() override;
    void ClearView() override;
    // Both kinds of text view: the font from the screen's pixels per inch, the height
    // clamped to 1..320 pixels.
    void ChangeFont(std::string_view face, double size, int32_t style) override;
    const FontSpec& Font() const { return m_font; }
    double FontPixelsPerInch() const { return m_fontPixelsPerInch; }
    // The printer's font height for the screen font: printer pixels per inch x screen height
    // / screen pixels per inch, truncated.
    int32_t PrinterFontHeight(double printerPixelsPerInch) const;

    bool StartView() override;
    void BringUpToDate() override { ShowText(); }
    void ClearAllContents() override { ClearView(); }
    void UpdateTitle() override;
    void SavePlacement(IniFile& layout, const std::string& layoutPath, const std::string& section,
                       int32_t i, SaveTransaction& save) override;
    void LoadPlacement(const IniFile& layout, const std::string& layoutPath,
                       const std::string& section, int32_t n) override;
    // Save Contents: the window's text into a file the user names.
    void SaveContents() override;
    // Configure: the main input view needs none.
    void Configure() override;

    const OutputBuffer& Buffer() const { return m_buffer; }

private:
    void AfterComputeExpression() override { ShowText(); }

    OutputBuffer m_buffer;
    FontSpec m_font{"Fixedsys", 16, 0};
    double m_fontPixelsPerInch = 96;
};

} // namespace tivane
