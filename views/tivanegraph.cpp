#include "tivanegraph.h"

#include <algorithm>

#include "errors.h"
#include "filesearch.h"
#include "inifile.h"
#include "picturewriter.h"
#include "savetransaction.h"

namespace tivane {

namespace {

// Keys of a graphics window's section in the layout file, beside its placement.
constexpr const char* kClipWindowKey = "ClipWindow";
constexpr const char* kWorldWindowKey = "WorldWindow";
// Four doubles of at most 24 characters each and their commas.
constexpr size_t kWindowLength = 199;

// Save Contents.
constexpr const char* kNothingToSave = "There is nothing to save.";
constexpr const char* kSaveContentsTitle = "Save Contents";
constexpr const char* kAskSize = "Enter the width and height of the bitmap separated by ','.";
constexpr const char* kSeparate = "Separate the number by ','.";
constexpr const char* kInvalidNumbers = "You did not enter valid numbers.";
constexpr const char* kNoPictureWriter = "This program cannot write pictures.";
// The dialog proposes PNG: lossless, small, and shown by everything.
constexpr size_t kProposedFormat = static_cast<size_t>(PictureFormat::Png);

std::string CannotWriteEnding(const std::string& path) {
    std::string endings;
    for (const PictureFormatInfo& info : PictureFormats()) {
        for (std::string_view e : info.endings)
            endings += (endings.empty() ? "" : ", ") + std::string(e);
    }
    return "Tivane cannot write a picture as " + path + ": the ending \"" +
           std::string(EndingOf(path)) + "\" is not one of " + endings + ".";
}

} // namespace

GraphObservation::GraphObservation(CTivaneGraph& view, GraphObserver& observer)
    : m_view(&view), m_observer(observer) {
    view.m_observations.push_back(this);
}

GraphObservation::~GraphObservation() {
    if (!m_view) return;
    auto& all = m_view->m_observations;
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

CTivaneGraph::CTivaneGraph(ViewDocument& doc, int16_t viewIndex) : CViewBase(doc, viewIndex) {}

CTivaneGraph::~CTivaneGraph() {
    for (GraphObservation* observation : m_observations)
        observation->m_view = nullptr;
}

void CTivaneGraph::ItemAdded() {
    m_damagedContents.reset();
    m_unshown = true;
    if (!Interpreter()) return;
    ++m_itemCounter;
    if ((m_itemCounter & m_updateMask) == 0) ShowChanges();
}

void CTivaneGraph::ShowChanges() {
    m_unshown = false;
    Surface().Invalidate(false);
    Doc().PumpMessages();
}

void CTivaneGraph::Check(bool recorded) {
    if (!recorded) Doc().errorCode = ERR_NO_MEMORY;
}

void CTivaneGraph::OutputText(std::string_view text) {
    Check(m_model.OutputText(text.data() ? text.data() : "", text.size()));
}

void CTivaneGraph::DrawMoveTo(double x, double y) {
    Check(m_model.MoveTo(x, y));
}

void CTivaneGraph::DrawLineTo(double x, double y) {
    Check(m_model.LineTo(x, y));
}

void CTivaneGraph::DrawMoveRel(double dx, double dy) {
    Check(m_model.MoveRel(dx, dy));
}

void CTivaneGraph::DrawLineRel(double dx, double dy) {
    Check(m_model.LineRel(dx, dy));
}

void CTivaneGraph::SetForeColor(int32_t r, int32_t g, int32_t b) {
    Check(m_model.SetForeColor(r, g, b));
}

void CTivaneGraph::SetBackColor(int32_t r, int32_t g, int32_t b) {
    Check(m_model.SetBackColor(r, g, b));
}

void CTivaneGraph::SetPenSize(double width) {
    Check(m_model.SetPenSize(width));
}

void CTivaneGraph::ChangeFont(std::string_view face, double size, int32_t style) {
    Check(m_model.ChangeFont(face, size, static_cast<uint16_t>(style)));
}

void CTivaneGraph::SetUpdateFrequency(int32_t n) {
    n = std::clamp(n, 0, 16);
    m_updateMask = static_cast<uint16_t>((uint32_t{1} << n) - 1);
}

void CTivaneGraph::SetWorldWindow(double x1, double y1, double x2, double y2) {
    m_model.SetWorldWindow(x1, y1, x2, y2);
}

uint32_t CTivaneGraph::SetClipWindow(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    return m_model.SetClipWindow(x1, y1, x2, y2);
}

double CTivaneGraph::GetWindowValue(int32_t index) {
    return m_model.GetWindowValue(index);
}

void CTivaneGraph::ClearView() {
    m_model.ResetContents();
    m_damagedContents.reset();
    m_unshown = true;
    Check(m_model.RecordDefaults());
}

void CTivaneGraph::UpdateNow() {
    if (m_unshown) ShowChanges();
}

void CTivaneGraph::EraseContents() {
    m_model.ResetContents();
    m_damagedContents.reset();
    m_unshown = true;
    Surface().Invalidate(true);
}

bool CTivaneGraph::StartView() {
    const std::string programFile =
        ViewProgramFileName(Doc().Template(), ViewIndex(), Doc().Search());
    const std::string text = Doc().ReadTextFile(programFile, ReadFailure::Report);
    NewInterpreter();
    // A view that already holds a drawing keeps it: a new run draws on top of it, with the
    // start pen. Out of memory here, the program's first drawing call fails with its own
    // report.
    if (List().HasStorage()) {
        m_model.RecordRunStart();
    } else {
        m_model.ResetContents();
        m_unshown = true;
        m_model.RecordDefaults();
    }
    if (text.empty()) {
        RunSetupText();
        return true;
    }
    return CompileAndRun(text, ViewProgramName(programFile));
}

bool CTivaneGraph::RunUpdateProgram() {
    const bool hadProgram = UpdateProgram() != kNoCell && Interpreter();
    if (!CViewBase::RunUpdateProgram()) return false;
    if (!hadProgram) return true;
    // An observer may end another's registration (or its own) while it is told.
    const std::vector<GraphObservation*> observations = m_observations;
    for (GraphObservation* observation : observations) {
        if (std::find(m_observations.begin(), m_observations.end(), observation) !=
            m_observations.end())
            observation->m_observer.ViewUpdated();
    }
    return true;
}

void CTivaneGraph::AfterComputeExpression() {
    UpdateNow();
}

void CTivaneGraph::SaveContents() {
    Ui& ui = Doc().ui();
    if (List().Count() <= 0) {
        ui.MessageBox(kNothingToSave, MessageIcon::Stop, 0);
        return;
    }
    PictureWriter* writer = InstalledPictureWriter();
    if (!writer) {
        ui.MessageBox(kNoPictureWriter, MessageIcon::Stop, 0);
        return;
    }
    const std::optional<std::string> path = ui.AskSaveFileName(SaveBesideDocument(
        Doc().PathName(), kSaveContentsTitle, PictureFileKinds(), kProposedFormat, "picture"));
    if (!path || path->empty()) return;
    const std::optional<PictureFormat> format = FormatForName(*path);
    if (!format) {
        ui.MessageBox(CannotWriteEnding(*path), MessageIcon::Stop, 0);
        return;
    }
    if (!MayReplaceFile(ui, *path)) return;
    // The window's size is the answer most people want; it is checked as soon as it is given.
    const std::string windowSize =
        std::to_string(Surface().ClientWidth()) + "," + std::to_string(Surface().ClientHeight());
    const std::optional<std::string> sizeAnswer = ui.GetUserInput(kAskSize, windowSize);
    if (!sizeAnswer || sizeAnswer->empty()) return;
    const size_t comma = sizeAnswer->find(',');
    if (comma == std::string::npos) {
        ui.MessageBox(kSeparate, MessageIcon::Stop, 0);
        return;
    }
    const int32_t width = LeadingInteger(*sizeAnswer);
    const int32_t height = LeadingInteger(std::string_view(*sizeAnswer).substr(comma + 1));
    if (width <= 0 || height <= 0) {
        ui.MessageBox(kInvalidNumbers, MessageIcon::Stop, 0);
        return;
    }
    if (!PictureSizeAllowed(width, height, *format)) {
        ui.MessageBox(kPictureTooLarge, MessageIcon::Stop, 0);
        return;
    }
    // The picture is read only now, after the dialogs, whose message passes may let a running
    // program draw. The export is a target of its own: the window's replay is not involved.
    std::string error;
    if (!writer->Write(m_model, width, height, *format, *path, error)) {
        ui.MessageBox(error, MessageIcon::Stop, 0);
        return;
    }
    ui.MessageBox(SavedMessage(InfoOf(*format).name, *path), MessageIcon::None, 0);
}

void CTivaneGraph::SavePlacement(IniFile& layout, const std::string& layoutPath,
                                 const std::string& section, int32_t i, SaveTransaction& save) {
    CViewBase::SavePlacement(layout, layoutPath, section, i, save);
    // The picture's items are in clip units: without its windows it comes back at the scale
    // of the whole area. A picture that could not be loaded keeps the windows it was saved
    // with.
    if (!m_damagedContents) {
        layout.SetString(section, kClipWindowKey, FormatRect(m_model.Clip()));
        layout.SetString(section, kWorldWindowKey, FormatRect(m_model.World()));
    }
    save.Write(SideFileName(layoutPath, 'w', i), m_setupText);
    const std::string contents = SideFileName(layoutPath, 's', i);
    if (m_damagedContents)
        save.Write(contents, *m_damagedContents);
    else if (List().Count() <= 0)
        save.Remove(contents);
    else
        save.Write(contents, List().Serialize());
}

void CTivaneGraph::LoadPlacement(const IniFile& layout, const std::string& layoutPath,
                                 const std::string& section, int32_t n) {
    CViewBase::LoadPlacement(layout, layoutPath, section, n);
    UpdateTitle();
    const int32_t i = n - 1;
    m_setupText = Doc().ReadTextFile(SideFileName(layoutPath, 'w', i), ReadFailure::Report);
    const std::string contents = SideFileName(layoutPath, 's', i);
    std::optional<std::string> bytes = ReadWholeFile(contents);
    if (bytes) {
        m_model.ResetContents();
        m_damagedContents.reset();
        m_unshown = true;
        if (std::optional<DrawList> list = DrawList::Parse(*bytes)) {
            m_model.Load(std::move(*list));
            // A layout from before the windows were saved, or with damaged values, leaves the
            // picture in the whole area.
            const std::optional<DRect> clip =
                ParseRect(layout.GetString(section, kClipWindowKey, "", kWindowLength));
            const std::optional<DRect> world =
                ParseRect(layout.GetString(section, kWorldWindowKey, "", kWindowLength));
            if (clip && world) m_model.RestoreWindows(*clip, *world);
        } else {
            Doc().ui().MessageBox("The file " + contents +
                                      " is damaged; its picture was not loaded.",
                                  MessageIcon::Stop, 0);
            m_damagedContents = std::move(bytes);
        }
    }
    Surface().Invalidate(true);
}

} // namespace tivane
