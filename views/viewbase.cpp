#include "viewbase.h"

#include <cstdio>
#include <filesystem>
#include <utility>

#include "compiler.h"
#include "doctext.h"
#include "errors.h"
#include "evaluator.h"
#include "format.h"
#include "headlesssurface.h"
#include "inifile.h"
#include "savetransaction.h"
#include "sources.h"

namespace tivane {

CViewBase::CViewBase(ViewDocument& doc, int16_t viewIndex)
    : m_doc(doc), m_viewIndex(viewIndex), m_surface(std::make_unique<HeadlessSurface>()) {}

CViewBase::~CViewBase() {
    DropInterpreter();
    ForgetSources(this);
}

DocumentHost& CViewBase::Document() {
    return m_doc;
}

void CViewBase::AttachSurface(std::unique_ptr<WindowSurface> surface) {
    if (surface) m_surface = std::move(surface);
}

void CViewBase::SetSetupText(std::string_view text) {
    m_setupText = text;
    MarkDocumentModified();
}

void CViewBase::MarkDocumentModified() {
    m_doc.SetModifiedFlag(true);
}

void CViewBase::SetUpdateProgram(CellIndex program) {
    AddRef(program);
    if (m_updateProgram != kNoCell) Release(m_updateProgram);
    m_updateProgram = program;
}

void CViewBase::DropInterpreter() {
    if (m_updateProgram != kNoCell) Release(std::exchange(m_updateProgram, kNoCell));
    m_interpreter.reset();
}

void CViewBase::NewInterpreter() {
    // The old interpreter's programs cannot run in the new one: drop the update program.
    DropInterpreter();
    auto in = std::make_unique<CInterpreter>(m_doc.MainInterpreter(), *this);
    // The view's default program may start this view again (EXECVIEWTEMPLATES): the
    // interpreter it runs in becomes the view's only once it has finished.
    m_doc.RunDefaultProgramOf(*in);
    m_interpreter = std::move(in);
}

void CViewBase::ReportFailure() {
    DocumentHost& doc = m_doc;
    // A Stop is reported once, by the run the user stopped; the code stays set to end it.
    if (doc.errorCode == ERR_USER_STOP) return;
    m_doc.ReportFailure(*m_interpreter);
    ClearErrors(doc);
}

bool CViewBase::RunProgram(CellIndex program) {
    // Run holds its own reference for the run: an update program may replace itself with
    // ONUPDATE, a function may assign its own variable.
    const CellIndex result = Run(*m_interpreter, program);
    if (result == kNoCell) {
        ReportFailure();
        return false;
    }
    Release(result);
    return true;
}

bool CViewBase::CompileAndRun(std::string_view text, std::string name) {
    const CellIndex program = CompileSource(*m_interpreter, {this, 0}, std::move(name), text);
    if (program == kNoCell) {
        ReportFailure();
        return false;
    }
    const bool ok = RunProgram(program);
    Release(program);
    return ok;
}

bool CViewBase::RunUpdateProgram() {
    if (m_updateProgram == kNoCell || !m_interpreter) return true;
    if (RunProgram(m_updateProgram)) return true;
    // A failed update program is dropped so that it does not fail again at every update.
    if (m_updateProgram != kNoCell) Release(std::exchange(m_updateProgram, kNoCell));
    return false;
}

bool CViewBase::CallViewFunction(std::string_view name) {
    if (!m_interpreter) return true;
    CInterpreter& in = *m_interpreter;
    const int32_t v = in.FindVariable(std::string(name));
    if (v < 0) return true;
    const CellIndex program = in.variableValues[static_cast<size_t>(v)];
    if (CellAt(program).type != TYPE_PROGRAM) return true;
    return RunProgram(program);
}

std::string CViewBase::ViewProgramName(const std::string& path) {
    return "View program file " + std::filesystem::path(path).filename().string();
}

void CViewBase::RunSetupText() {
    if (!m_interpreter) return;
    CompileAndRun(m_setupText, "View setup text");
}

void CViewBase::UpdateTitle() {
    std::string title;
    const TemplateInfo& tmpl = m_doc.Template();
    if (m_viewIndex >= 0 && m_viewIndex < static_cast<int16_t>(tmpl.views.size()))
        title = tmpl.views[static_cast<size_t>(m_viewIndex)].titleText;
    Surface().SetCaption(title + " - " + m_doc.Title());
}

void CViewBase::Configure() {
    if (auto text = m_doc.ui().EditViewSetup(m_setupText)) SetSetupText(*text);
}

void CViewBase::ComputeExpression() {
    if (m_doc.Running()) {
        m_doc.ui().MessageBox(doctext::kAnotherRunning, MessageIcon::Stop, 0);
        return;
    }
    if (IsMainInput()) {
        m_doc.ComputeExpression();
        return;
    }
    if (m_interpreter) m_doc.ComputeIn(*m_interpreter, [this] { AfterComputeExpression(); });
}

void CViewBase::SavePlacement(IniFile& layout, const std::string&, const std::string& section,
                              int32_t, SaveTransaction&) {
    layout.SetString(section, "WindowPlacement", FormatPlacement(Surface().Placement()));
    layout.SetString(section, "WindowType", std::to_string(m_viewIndex));
}

void CViewBase::LoadPlacement(const IniFile& layout, const std::string&, const std::string& section,
                              int32_t) {
    const std::string text = layout.GetString(section, "WindowPlacement", "", 199);
    if (!text.empty()) {
        WindowPlacement placement = Surface().Placement();
        ParsePlacement(text, placement);
        Surface().SetPlacement(placement);
    }
}

std::string SideFileName(const std::string& layoutPath, char kind, int32_t i) {
    std::string name = layoutPath.substr(0, layoutPath.size() >= 3 ? layoutPath.size() - 3 : 0);
    name += 'v';
    name += kind;
    name += std::to_string(i);
    return name;
}

std::string FormatPlacement(const WindowPlacement& p) {
    char text[160];
    std::snprintf(text, sizeof text, "%hd,%hd,%d,%d,%d,%d,%d,%d,%d,%d", p.flags, p.showCmd, p.minX,
                  p.minY, p.maxX, p.maxY, p.left, p.top, p.right, p.bottom);
    return text;
}

namespace {

// One "%d" of a scanf-style format: blanks, an optional sign, at least one digit. Values
// beyond 32 bits keep their low 32 bits, as a scan into an int would on this platform.
bool ScanNumber(std::string_view text, size_t& at, int32_t& out) {
    size_t k = at;
    while (k < text.size() && (text[k] == ' ' || text[k] == '\t' || text[k] == '\n' ||
                               text[k] == '\r' || text[k] == '\v' || text[k] == '\f'))
        ++k;
    bool negative = false;
    if (k < text.size() && (text[k] == '+' || text[k] == '-')) negative = text[k++] == '-';
    if (k >= text.size() || text[k] < '0' || text[k] > '9') return false;
    uint32_t value = 0;
    while (k < text.size() && text[k] >= '0' && text[k] <= '9')
        value = value * 10 + static_cast<uint32_t>(text[k++] - '0');
    out = static_cast<int32_t>(negative ? 0u - value : value);
    at = k;
    return true;
}

} // namespace

void ParsePlacement(std::string_view text, WindowPlacement& p) {
    int32_t* const wide[] = {&p.minX, &p.minY, &p.maxX,  &p.maxY,
                             &p.left, &p.top,  &p.right, &p.bottom};
    size_t at = 0;
    for (int field = 0; field < 10; ++field) {
        if (field > 0) {
            if (at >= text.size() || text[at] != ',') return;
            ++at;
        }
        int32_t value;
        if (!ScanNumber(text, at, value)) return;
        if (field == 0)
            p.flags = static_cast<int16_t>(value);
        else if (field == 1)
            p.showCmd = static_cast<int16_t>(value);
        else
            *wide[field - 2] = value;
    }
}

} // namespace tivane
