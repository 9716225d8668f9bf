#include "tivanedoc.h"

#include <algorithm>
#include <filesystem>

#include "compiler.h"
#include "errors.h"
#include "evaluator.h"
#include "format.h"
#include "inifile.h"
#include "savetransaction.h"
#include "sources.h"
#include "tivanegraph.h"
#include "tivaneview.h"

namespace tivane {

namespace {

// Runs in progress over all documents: a second document's run nests inside the first one's
// message pass, and only the first start and the last end switch the running look.
int16_t g_runningCount = 0;

// The document's program texts a report can point into: the main program (or the main input
// that stands in for it) and the Compute Expression text.
constexpr int32_t kMainSlot = 0;
constexpr int32_t kComputeSlot = 1;
constexpr size_t kNumberLength = 9;
constexpr size_t kFileNameLength = 127;
constexpr size_t kDescriptionLength = 499;

// How a layout names the template found at `templatePath` for a document saved at
// `documentPath`: relative to the document's folder when the template lies in or below it,
// so that the folder can be copied or moved whole, else absolute.
std::string TemplateNameFor(const std::string& documentPath, const std::string& templatePath) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path folder = fs::absolute(documentPath, ec).lexically_normal().parent_path();
    if (ec) return templatePath;
    const fs::path relative = fs::path(templatePath).lexically_relative(folder);
    if (relative.empty() || *relative.begin() == "..") return templatePath;
    return relative.generic_string();
}

} // namespace

void ShowComputedValue(CTivaneDoc& doc, CInterpreter& in, CellIndex value) {
    std::string shown;
    if (FormatValue(in, value, shown)) {
        doc.ui().MessageBox(doctext::kProgramReturned + shown, MessageIcon::None, 0);
        return;
    }
    doc.ShowErrorReport(std::string(ErrorMessage(doc.errorCode)) + ".", doc.errorCode);
    ClearErrors(doc);
}

CTivaneDoc::CTivaneDoc(Ui& ui, SearchContext search) : m_ui(ui), m_search(std::move(search)) {}

CTivaneDoc::~CTivaneDoc() {
    // The views' interpreters name the main interpreter as their parent: they go first.
    m_views.clear();
    m_mainContext.reset();
    ClearTrace(*this);
    ForgetSources(this);
}

std::string CTivaneDoc::Title() const {
    const size_t slash = m_path.find_last_of('/');
    return slash == std::string::npos ? m_path : m_path.substr(slash + 1);
}

void CTivaneDoc::DeleteContents() {
    for (auto& view : m_views)
        view->DropInterpreter();
    m_tmpl = TemplateInfo();
    m_templateFound = false;
    m_search.templateDir.clear();
    m_mainContext.reset();
    m_mainInput.clear();
    m_running = false;
    m_modified = m_inputEdited = false;
}

bool CTivaneDoc::OpenDocument(const std::string& path) {
    if (EndsWithIgnoringCase(path, ".tml")) {
        m_ui.MessageBox(doctext::kTemplateAsDocument, MessageIcon::Stop, 0);
        return false;
    }
    DeleteContents();
    std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes) {
        m_ui.MessageBox(doctext::kFailedToOpen, MessageIcon::Stop, 0);
        return false;
    }
    // A document is the text of its main input: a NUL byte means a picture, an archive or
    // another program's file, which would open as a window full of binary bytes.
    if (bytes->find('\0') != std::string::npos) {
        m_ui.MessageBox("The file " + path + " is not a Tivane document.", MessageIcon::Stop, 0);
        return false;
    }
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    m_path = ec ? path : absolute.lexically_normal().string();
    m_mainInput = std::move(*bytes);
    return true;
}

std::string CTivaneDoc::LayoutFileNameOf(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos) return path + ".ini";
    return path.substr(0, dot + 1) + "ini";
}

std::string CTivaneDoc::LayoutFileNameOf() const {
    return LayoutFileNameOf(m_path);
}

void CTivaneDoc::UseTemplate(const std::string& name) {
    m_tmpl.templateName = name;
    m_tmpl.templateFileName = name;
    // A relative name is the document's before it is the search's: a template in a folder
    // below the document's is found from anywhere, not only from that folder.
    const bool relative = !name.starts_with('/') && !name.starts_with('\\');
    if (relative && !m_path.empty()) {
        const std::string folder = std::filesystem::path(m_path).parent_path().string();
        if (std::optional<std::string> found = FindExistingFile(folder + "/" + name))
            m_tmpl.templateFileName = std::move(*found);
    }
    SearchContext search = m_search;
    search.templateDir.clear();
    m_templateFound = tivane::ReadTemplate(m_tmpl, search);
    if (m_templateFound)
        m_search.templateDir =
            std::filesystem::path(m_tmpl.templateFileName).parent_path().string();
}

CTivaneDoc& CTivaneDoc::Of(const CViewBase& view) {
    return static_cast<CTivaneDoc&>(view.Doc());
}

CTivaneView* CTivaneDoc::MainInputView() const {
    for (const auto& view : m_views) {
        if (view->IsMainInput()) return static_cast<CTivaneView*>(view.get());
    }
    return nullptr;
}

CViewBase& CTivaneDoc::AddView(std::unique_ptr<CViewBase> view) {
    CViewBase& added = *view;
    m_views.push_back(std::move(view));
    added.AttachSurface(m_ui.MakeWindow(added));
    return added;
}

CTivaneView& CTivaneDoc::CreateTextView(int16_t viewIndex) {
    auto& view =
        static_cast<CTivaneView&>(AddView(std::make_unique<CTivaneView>(*this, viewIndex)));
    view.UpdateTitle();
    return view;
}

CTivaneGraph& CTivaneDoc::CreateGraphView(int16_t viewIndex) {
    auto& view =
        static_cast<CTivaneGraph&>(AddView(std::make_unique<CTivaneGraph>(*this, viewIndex)));
    view.UpdateTitle();
    return view;
}

CViewBase* CTivaneDoc::CreateView(int16_t viewIndex) {
    if (viewIndex < 0 || static_cast<size_t>(viewIndex) >= m_tmpl.views.size()) return nullptr;
    if (KindOf(m_tmpl.views[static_cast<size_t>(viewIndex)]) == ViewType::Graphics)
        return &CreateGraphView(viewIndex);
    return &CreateTextView(viewIndex);
}

void CTivaneDoc::RemoveView(const CViewBase& view) {
    for (auto it = m_views.begin(); it != m_views.end(); ++it) {
        if (it->get() == &view) {
            m_views.erase(it);
            return;
        }
    }
}

void CTivaneDoc::RestoreLayout() {
    BusyScope busy(*this);
    m_layoutFileName = LayoutFileNameOf();
    CTivaneView* input = m_views.empty() || m_views.front()->Kind() != ViewKind::Text
                             ? nullptr
                             : static_cast<CTivaneView*>(m_views.front().get());
    if (!input) input = &CreateTextView(kMainInputIndex);
    input->SetViewIndex(kMainInputIndex);
    input->UpdateTitle();
    input->ChangeFont(kDefaultTextFont.face, kDefaultTextFont.size, kDefaultTextFont.style);
    input->Surface().SetText(m_mainInput);
    m_ui.PumpMessages();

    if (const std::optional<IniFile> layout = IniFile::Load(m_layoutFileName)) {
        const int32_t n = layout->GetInt("Description", "NoOfWindows", "0", kNumberLength);
        UseTemplate(
            layout->GetString("Description", "TemplateFile", "DEFAULT.TML", kFileNameLength));
        // Made from the last to the first, so that Window0 is made last and ends up on top,
        // but kept in the order of their sections: a save then writes every window back under
        // its own number, and its side files keep their names.
        std::vector<std::pair<const CViewBase*, int32_t>> sections;
        for (int32_t k = std::min(n, kMaxRestoredWindows) - 1; k >= 0; --k) {
            const std::string section = "Window" + std::to_string(k);
            if (!layout->HasSection(section)) continue;
            const int32_t i = layout->GetInt(section, "WindowType", "", kNumberLength);
            CViewBase* view = nullptr;
            if (i >= 0 && i < m_tmpl.viewCount)
                view = CreateView(static_cast<int16_t>(i));
            else if (i == kMainInputIndex)
                view = input;
            if (!view) continue;
            view->LoadPlacement(*layout, m_layoutFileName, section, k + 1);
            sections.emplace_back(view, k);
        }
        // A window without a section (the main input when none lists it) stays in front; the
        // main input listed twice takes its first section, whose placement it kept.
        auto sectionOf = [&](const std::unique_ptr<CViewBase>& view) {
            int32_t first = -1;
            for (const auto& [listed, k] : sections) {
                if (listed == view.get()) first = k;
            }
            return first;
        };
        std::stable_sort(m_views.begin(), m_views.end(),
                         [&](const auto& a, const auto& b) { return sectionOf(a) < sectionOf(b); });
    }
    m_modified = m_inputEdited = false;
}

bool CTivaneDoc::OnSaveDocument(const std::string& path) {
    BusyScope busy(*this);
    const std::string previousPath = m_path;
    m_path = path;
    const std::string previousLayout = m_layoutFileName;
    const std::string previousTemplateName = m_tmpl.templateName;
    if (path != previousPath && m_templateFound)
        m_tmpl.templateName = TemplateNameFor(path, m_tmpl.templateFileName);
    m_layoutFileName = LayoutFileNameOf();
    SaveTransaction::RemoveStaleTemporaries(path, m_layoutFileName);
    IniFile layout = IniFile::Load(m_layoutFileName).value_or(IniFile());
    SaveTransaction save;
    int32_t k = 0;
    for (const auto& view : m_views) {
        view->SavePlacement(layout, m_layoutFileName, "Window" + std::to_string(k), k, save);
        if (view->IsMainInput()) m_mainInput = view->Surface().Text();
        ++k;
    }
    layout.SetString("Description", "NoOfWindows", std::to_string(k));
    layout.SetString("Description", "TemplateFile", m_tmpl.templateName);
    save.Write(m_layoutFileName, layout.Text());
    save.Write(path, m_mainInput);
    if (!save.Commit()) {
        m_path = previousPath;
        m_layoutFileName = previousLayout;
        m_tmpl.templateName = previousTemplateName;
        m_ui.MessageBox(std::string(doctext::kFailedToSave) + " " + save.FailureText(),
                        MessageIcon::Stop, 0);
        return false;
    }
    for (const auto& view : m_views)
        view->UpdateTitle();
    m_modified = m_inputEdited = false;
    return true;
}

bool CTivaneDoc::Refuse(bool condition, const char* message) {
    if (condition) m_ui.MessageBox(message, MessageIcon::Stop, 0);
    return condition;
}

bool CTivaneDoc::CanCloseFrame() {
    return !Refuse(Busy(), doctext::kCloseWindowRunning);
}

bool CTivaneDoc::CanCloseDocument() {
    return !Refuse(Busy(), doctext::kCloseDocumentRunning);
}

bool CTivaneDoc::RefuseSecondRun() {
    // A run started inside another one's message pass would pause that one silently until
    // it ends; one inside this document's own command would replace what that command uses.
    return Refuse(g_runningCount > 0 || Busy(), doctext::kAnotherRunning);
}

int16_t CTivaneDoc::RunningCount() {
    return g_runningCount;
}

void CTivaneDoc::BeginRun() {
    m_running = true;
    m_stopRequested = false;
    if (++g_runningCount == 1) m_ui.SetRunningLook(true);
}

void CTivaneDoc::EndRun() {
    m_running = false;
    m_stopRequested = false;
    --g_runningCount;
    DisplayViews();
    if (g_runningCount == 0) m_ui.SetRunningLook(false);
}

void CTivaneDoc::ReportFailure(CInterpreter& in) {
    ++m_failedRuns;
    std::string details;
    if (auto report = ErrorReport(in, &details)) ShowErrorReport(*report, errorCode, details);
}

CellIndex CTivaneDoc::Evaluate(CInterpreter& in, std::string_view text, int32_t slot,
                               std::string name) {
    const CellIndex program = CompileSource(in, {this, slot}, std::move(name), text);
    CellIndex result = kNoCell;
    if (program != kNoCell) {
        result = Run(in, program);
        Release(program);
    }
    if (result == kNoCell) ReportFailure(in);
    return result;
}

CInterpreter& CTivaneDoc::MainInterpreter() {
    if (!m_mainContext) {
        m_mainContext = std::make_unique<CInterpreter>(*this);
        RunDefaultProgramOf(*m_mainContext);
    }
    return *m_mainContext;
}

void CTivaneDoc::RunDefaultProgramOf(CInterpreter& in) {
    BusyScope busy(*this);
    RunDefaultProgram(in);
}

void CTivaneDoc::Execute() {
    if (m_running) {
        DisplayViews();
        if (m_ui.AskOkCancel(doctext::kStopQuestion, MessageIcon::Stop) == Answer::Ok)
            RequestStop();
        return;
    }
    if (RefuseSecondRun()) return;
    // Held until after EndRun's last message pass, which may bring any command.
    BusyScope busy(*this);
    BeginRun();
    if (const CTivaneView* input = MainInputView()) m_mainInput = input->Surface().Text();
    // A main program that cannot be read is reported and ends the run: running the main
    // input (the parameters) in its place would only add errors of its own.
    std::string text;
    if (!m_tmpl.mainProgramFileName.empty()) {
        std::string name = m_tmpl.mainProgramFileName;
        LocateFile(name, "");
        FileContents file = ReadProgramFile(name);
        if (!file) {
            m_ui.MessageBox(ReadFailureMessage(file.status, name), MessageIcon::Stop, 0);
            EndRun();
            return;
        }
        text = std::move(file.bytes);
    }
    // The views' interpreters hang from the main interpreter: they go with it, and each
    // view gets a new one when its program starts again.
    for (size_t k = 0; k < m_views.size(); ++k)
        m_views[k]->DropInterpreter();
    m_mainContext.reset();
    m_mainContext = std::make_unique<CInterpreter>(*this);
    // Stored before default.prg runs, so that the views it starts hang from it.
    RunDefaultProgramOf(*m_mainContext);
    const CellIndex result = text.empty()
                                 ? Evaluate(*m_mainContext, m_mainInput, kMainSlot, "Main input")
                                 : Evaluate(*m_mainContext, text, kMainSlot,
                                            "Main program file " + m_tmpl.mainProgramFileName);
    if (result != kNoCell) Release(result);
    EndRun();
}

void CTivaneDoc::ComputeIn(CInterpreter& in, const std::function<void()>& afterValue) {
    if (RefuseSecondRun()) return;
    // The prompt is modal, but timers and other windows' commands still come through it.
    BusyScope busy(*this);
    const auto text = m_ui.GetUserInput(doctext::kComputePrompt, "");
    if (!text) return;
    BeginRun();
    const CellIndex result = Evaluate(in, *text, kComputeSlot, "Compute Expression");
    if (result == kNoCell) {
        // This is the run a Stop was meant for, so even a Stop was reported.
        ClearErrors(*this);
    } else {
        ShowComputedValue(*this, in, result);
        Release(result);
        if (afterValue) afterValue();
    }
    EndRun();
}

void CTivaneDoc::ComputeExpression() {
    if (m_mainContext) ComputeIn(*m_mainContext, nullptr);
}

std::optional<std::string> CTivaneDoc::RunProgramText(std::string_view text, std::string name) {
    if (RefuseSecondRun()) return std::nullopt;
    BusyScope busy(*this);
    BeginRun();
    m_mainContext = std::make_unique<CInterpreter>(*this);
    RunDefaultProgramOf(*m_mainContext);
    std::optional<std::string> shown;
    if (const CellIndex result = Evaluate(*m_mainContext, text, kMainSlot, std::move(name));
        result != kNoCell) {
        shown.emplace();
        if (!FormatValue(*m_mainContext, result, *shown)) {
            m_ui.MessageBox(std::string(ErrorMessage(errorCode)) + ".", MessageIcon::Stop,
                            kHelpLanguageError + errorCode);
            shown.reset();
        }
        Release(result);
    }
    EndRun();
    return shown;
}

void CTivaneDoc::ClearAll() {
    if (Refuse(Busy(), doctext::kClearRunning)) return;
    for (size_t k = 0; k < m_views.size(); ++k)
        m_views[k]->ClearAllContents();
}

bool CTivaneDoc::ChangeTemplate() {
    if (Refuse(Busy(), doctext::kChangeTemplateRunning)) return false;
    BusyScope busy(*this);
    const std::optional<std::string> chosen = m_ui.ChooseTemplate();
    if (!chosen) return false;
    const std::string description = IniFile::Load(*chosen).value_or(IniFile()).GetString(
        "Description", "DescriptionText", "", kDescriptionLength);
    const std::string question =
        "You are about to change the template used with this document.\n" + description +
        "\nFor the changes to take effect we now save, close and reopen the document.\n"
        "Note that if the new template has different input values and/or different views then "
        "you might get error messages when trying to execute.";
    if (m_ui.AskOkCancel(question, MessageIcon::None) != Answer::Ok) {
        m_ui.MessageBox(doctext::kTemplateNotChanged, MessageIcon::None, 0);
        return false;
    }
    UseTemplate(*chosen);
    return OnSaveDocument(m_path);
}

template <typename Op>
bool CTivaneDoc::WalkViews(Op op) {
    // By index: a message pass inside a view's run may open new windows.
    for (size_t k = 0; k < m_views.size(); ++k) {
        if (!op(*m_views[k])) return false;
    }
    return true;
}

bool CTivaneDoc::UpdateViews() {
    return WalkViews([](CViewBase& v) { return v.RunUpdateProgram(); });
}

bool CTivaneDoc::ExecViewTemplates() {
    return WalkViews([](CViewBase& v) { return v.IsMainInput() || v.StartView(); });
}

bool CTivaneDoc::ForAllViews(std::string_view variableName) {
    return WalkViews([&](CViewBase& v) { return v.CallViewFunction(variableName); });
}

void CTivaneDoc::SetConfig(std::string_view text) {
    m_mainInput = text;
    if (CTivaneView* input = MainInputView()) input->Surface().SetText(m_mainInput);
    m_modified = true;
}

void CTivaneDoc::DisplayViews() {
    for (size_t k = 0; k < m_views.size(); ++k)
        m_views[k]->BringUpToDate();
    PumpMessages();
}

void CTivaneDoc::ShowMessage(std::string_view text) {
    DisplayViews();
    m_ui.MessageBox(text, MessageIcon::None, kHelpShowMessage);
}

bool CTivaneDoc::LocateFile(std::string& name, std::string_view fallback) {
    return tivane::LocateFile(name, fallback, m_search);
}

std::string CTivaneDoc::ReadTextFile(const std::string& name, ReadFailure failure) {
    return tivane::ReadTextFile(name, failure, [this](const std::string& message) {
        m_ui.MessageBox(message, MessageIcon::Stop, 0);
    });
}

void CTivaneDoc::ShowErrorReport(std::string_view report, uint32_t code, std::string_view details) {
    ++m_reportedErrors;
    m_ui.ErrorReportBox(report, details, kHelpLanguageError + code);
}

void CTivaneDoc::PumpMessages() {
    // Whatever runs during the pass (repaints, another document's Execute, a view's Compute
    // Expression) leaves this run's error state as it found it; a Stop is the one thing the
    // pass may bring, and it stays requested until the run it was meant for ends.
    const uint32_t code = errorCode;
    const ErrorPhase phase = errorPhase;
    m_ui.PumpMessages();
    errorCode = code;
    errorPhase = phase;
    if (m_running && m_stopRequested) errorCode = ERR_USER_STOP;
}

} // namespace tivane
