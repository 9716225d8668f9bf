#include "tivaneview.h"

#include <algorithm>

#include "atomicfile.h"
#include "filesearch.h"
#include "inifile.h"
#include "savetransaction.h"

namespace tivane {

namespace {
constexpr const char* kSaveContentsTitle = "Save Contents";
constexpr const char* kTextKind = "text";
constexpr const char* kMainInputNoSetup = "The main input view does not need setting up.";
} // namespace

void CTivaneView::AppendText(std::string_view text) {
    if (IsMainInput()) return;
    m_buffer.Append(text);
}

void CTivaneView::ShowText() {
    if (IsMainInput()) return;
    const std::string text = m_buffer.Show();
    Surface().ShowOutput(text, m_buffer.DroppedByLastShow());
    Doc().PumpMessages();
}

int32_t CTivaneView::GetColumn() {
    if (IsMainInput()) return 0;
    return m_buffer.Column();
}

void CTivaneView::ClearView() {
    if (IsMainInput()) return;
    m_buffer.Clear();
    Surface().SetText("");
    ChangeFont(kDefaultTextFont.face, kDefaultTextFont.size, kDefaultTextFont.style);
}

void CTivaneView::ChangeFont(std::string_view face, double size, int32_t style) {
    const double ppi = Surface().LogicalDpiX();
    m_fontPixelsPerInch = ppi;
    double height = ppi * size / 72;
    if (!(height >= 1.0)) height = 1.0;
    if (height > 320.0) height = 320.0;
    m_font =
        FontSpec{std::string(face), static_cast<int32_t>(height), static_cast<uint16_t>(style & 7)};
    Surface().SetFont(m_font);
    Surface().Invalidate(true);
}

int32_t CTivaneView::PrinterFontHeight(double printerPixelsPerInch) const {
    if (!(m_fontPixelsPerInch > 0)) return m_font.height;
    return static_cast<int32_t>(printerPixelsPerInch * m_font.height / m_fontPixelsPerInch);
}

bool CTivaneView::StartView() {
    if (IsMainInput()) return true;
    // A run continues the text shown, including what the user typed into the window.
    m_buffer.Assign(Surface().Text());
    const std::string programFile =
        ViewProgramFileName(Doc().Template(), ViewIndex(), Doc().Search());
    const std::string text = Doc().ReadTextFile(programFile, ReadFailure::Report);
    NewInterpreter();
    if (text.empty()) {
        RunSetupText();
        return true;
    }
    return CompileAndRun(text, ViewProgramName(programFile));
}

void CTivaneView::UpdateTitle() {
    if (IsMainInput()) {
        Surface().SetCaption("Main Input - " + Doc().Title());
        return;
    }
    CViewBase::UpdateTitle();
}

void CTivaneView::SavePlacement(IniFile& layout, const std::string& layoutPath,
                                const std::string& section, int32_t i, SaveTransaction& save) {
    CViewBase::SavePlacement(layout, layoutPath, section, i, save);
    if (IsMainInput()) return;
    save.Write(SideFileName(layoutPath, 'w', i), m_setupText);
    const std::string text = Surface().Text();
    const std::string contents = SideFileName(layoutPath, 's', i);
    if (text.empty())
        save.Remove(contents);
    else
        save.Write(contents, text);
}

void CTivaneView::LoadPlacement(const IniFile& layout, const std::string& layoutPath,
                                const std::string& section, int32_t n) {
    CViewBase::LoadPlacement(layout, layoutPath, section, n);
    Surface().Invalidate(true);
    UpdateTitle();
    ChangeFont(kDefaultTextFont.face, kDefaultTextFont.size, kDefaultTextFont.style);
    if (IsMainInput()) return;
    const int32_t i = n - 1;
    m_setupText = Doc().ReadTextFile(SideFileName(layoutPath, 'w', i), ReadFailure::Report);
    const std::string text =
        Doc().ReadTextFile(SideFileName(layoutPath, 's', i), ReadFailure::Silent);
    Surface().SetText(text);
    // The buffer holds what is shown, so that showing it before the view's program runs
    // again (at the end of any Execute) does not wipe the text just loaded.
    m_buffer.Assign(text);
    Surface().Invalidate(true);
}

void CTivaneView::SaveContents() {
    ViewDocument& doc = Doc();
    // Text has no format to pick: any name is written as it is.
    const std::vector<FileKind> kinds{{"Text", {".txt"}}, {"All", {""}}};
    const auto name = doc.ui().AskSaveFileName(
        SaveBesideDocument(doc.PathName(), kSaveContentsTitle, kinds, 0, "contents"));
    if (!name || name->empty() || !MayReplaceFile(doc.ui(), *name)) return;
    if (const WriteResult r = WriteFileAtomically(*name, Surface().Text()); !r.Ok()) {
        doc.ui().MessageBox(NotSavedMessage(kTextKind, *name, r.error), MessageIcon::Stop, 0);
        return;
    }
    doc.ui().MessageBox(SavedMessage(kTextKind, *name), MessageIcon::None, 0);
}

void CTivaneView::Configure() {
    if (IsMainInput()) {
        Doc().ui().MessageBox(kMainInputNoSetup, MessageIcon::None, 0);
        return;
    }
    CViewBase::Configure();
}

} // namespace tivane
