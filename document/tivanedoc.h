#pragma once
// The document: the main input, the template it names, its windows in their order, the main
// interpreter, and the commands that run its programs (Execute, Stop, Compute Expression),
// with the guards that keep windows alive while a program runs. It reaches people and
// windows only through the dialog seam `Ui`.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "doctext.h"
#include "filesearch.h"
#include "hosts.h"
#include "interpreter.h"
#include "templatefile.h"
#include "ui.h"
#include "viewdocument.h"

namespace tivane {

class CViewBase;
class CTivaneView;
class CTivaneGraph;

// The most windows a layout file restores: a damaged "NoOfWindows" must not open thousands.
inline constexpr int32_t kMaxRestoredWindows = 100;

class CTivaneDoc final : public ViewDocument {
public:
    CTivaneDoc(Ui& ui, SearchContext search);
    ~CTivaneDoc() override;
    CTivaneDoc(const CTivaneDoc&) = delete;
    CTivaneDoc& operator=(const CTivaneDoc&) = delete;

    Ui& ui() const override { return m_ui; }
    const SearchContext& Search() const override { return m_search; }
    // templateName (as the layout file names it), templateFileName ("DEFAULT.TML" until a
    // template is found, then its absolute path), mainProgramFileName, viewCount and the
    // view descriptors. Replaced by opening, a layout's restore and Change Template.
    const TemplateInfo& Template() const override { return m_tmpl; }
    // The main interpreter the last Execute made (its variables are what Compute Expression
    // sees); null before the first Execute and after DeleteContents.
    CInterpreter* MainContext() const { return m_mainContext.get(); }
    // Headless runs may ask for no default programs.
    void SetBare(bool bare) { m_bare = bare; }
    bool RunsDefaultPrograms() const override { return !m_bare; }

    const std::string& PathName() const override { return m_path; }
    // The file name of the path, as captions show it.
    std::string Title() const override;
    bool IsModified() const { return m_modified || m_inputEdited; }
    void SetModifiedFlag(bool modified = true) override { m_modified = modified; }
    // Whether the main input's window holds a text other than the one last opened or saved:
    // its undo stack decides, so undoing every edit leaves nothing to save.
    void SetInputEdited(bool edited) { m_inputEdited = edited; }

    // Opening: DeleteContents, then the document file as the main input. False after showing
    // "Failed to open document." (or the template-file refusal); the document is then empty.
    bool OpenDocument(const std::string& path);
    void DeleteContents();
    // After opening: the first window becomes the main input view, then the template and the
    // windows come back from the layout file beside the document.
    void RestoreLayout();
    // The layout file's name: the path with "ini" after its last '.', or ".ini" appended.
    std::string LayoutFileNameOf() const;
    static std::string LayoutFileNameOf(const std::string& path);
    // Save and Save As: the layout file, the side files and the document file, all or
    // nothing. False after showing "Failed to save document.".
    bool OnSaveDocument(const std::string& path);

    // The windows, in the document's order: after opening, the order of their sections in the
    // layout file, the main input view first when no section lists it.
    const std::vector<std::unique_ptr<CViewBase>>& Views() const { return m_views; }
    // The document of a view: every view is made by one (CreateTextView, CreateGraphView).
    static CTivaneDoc& Of(const CViewBase& view);
    CTivaneView* MainInputView() const;
    // Makes a view and its window (through the Ui). Text views with an index above 999 are
    // the main input view.
    CTivaneView& CreateTextView(int16_t viewIndex);
    CTivaneGraph& CreateGraphView(int16_t viewIndex);
    // The window of template view `viewIndex` (by its descriptor's kind); nothing for an
    // index without a descriptor.
    CViewBase* CreateView(int16_t viewIndex);
    // Closing one window: refused while the document runs.
    bool CanCloseFrame();
    // The window is gone: its view goes with it.
    void RemoveView(const CViewBase& view);

    // The commands. Execute while running asks whether to stop.
    void Execute();
    void RequestStop() { m_stopRequested = true; }
    bool StopRequested() const { return m_stopRequested; }
    void ComputeExpression() override;
    // A program run without a document file (the console runner): `text` runs as the main
    // program, with no template and no views; the main input stays what it was (empty, so
    // GETCONFIG gives ""). The value as the language prints it, or nothing after the failure
    // was reported.
    std::optional<std::string> RunProgramText(std::string_view text,
                                              std::string name = "Program text");
    // Compute Expression in an interpreter of this document (the main one or a view's): asks
    // for a program, runs it as a run of the document, shows its value; `afterValue` runs
    // once a value was shown.
    void ComputeIn(CInterpreter& in, const std::function<void()>& afterValue) override;
    void ClearAll();
    // File Close: refused while running.
    bool CanCloseDocument();
    // Change Template up to the save: true when the document was saved with its new template
    // and the application must now close and reopen it.
    bool ChangeTemplate();

    bool Running() const override { return m_running; }
    // Set for the whole of a command that runs programs or passes messages (Execute, Compute
    // Expression, RestoreLayout, a save), the last message pass of a run included. While it
    // is set, nothing may take the document or its windows away: they are on the stack.
    bool Busy() const { return m_busy > 0; }
    // Runs of all documents in progress; the first and the last switch the running look.
    static int16_t RunningCount();
    void BeginRun();
    void EndRun();
    // Shows the report of the interpreter's current error, if any, with the stop icon.
    void ReportFailure(CInterpreter& in) override;
    // Compiles and runs `text` in `in`: the result (the caller's reference), or kNoCell after
    // the failure was reported. `name` is what reports call the text; it is remembered in the
    // document's slot `slot` (SourceSlot).
    CellIndex Evaluate(CInterpreter& in, std::string_view text, int32_t slot, std::string name);
    CInterpreter& MainInterpreter() override;
    void RunDefaultProgramOf(CInterpreter& in) override;
    // Language errors reported since the document was made (compile, run, default programs),
    // and runs that failed without a report of their own (ABORT, whose message is its own).
    int32_t ReportedErrors() const { return m_reportedErrors; }
    int32_t FailedRuns() const { return m_failedRuns; }

    // DocumentHost.
    bool LocateFile(std::string& name, std::string_view fallback) override;
    std::string ReadTextFile(const std::string& name, ReadFailure failure) override;
    // The document's dialog seam; a language error's report comes through ShowErrorReport,
    // which counts it in ReportedErrors.
    RunDialogs& dialogs() override { return m_ui; }
    void ShowErrorReport(std::string_view report, uint32_t code,
                         std::string_view details = {}) override;
    void PumpMessages() override;
    // The main input: the document file's bytes, replaced by SetConfig and taken from the
    // main input view by Execute and by saves.
    std::string MainInput() const override { return m_mainInput; }
    bool UpdateViews() override;
    bool ExecViewTemplates() override;
    bool ForAllViews(std::string_view variableName) override;
    void SetConfig(std::string_view text) override;
    void DisplayViews() override;
    void ShowMessage(std::string_view text) override;

private:
    // Holds the document busy for the lifetime of one command.
    class BusyScope {
    public:
        explicit BusyScope(CTivaneDoc& doc) : m_doc(doc) { ++m_doc.m_busy; }
        ~BusyScope() { --m_doc.m_busy; }
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        CTivaneDoc& m_doc;
    };
    // True (after saying so) when a run may not start now: another document runs, or this
    // one is in the middle of a command.
    bool RefuseSecondRun();

    template <typename Op>
    bool WalkViews(Op op);
    // Reads the template `name` (as a layout file or Change Template names it): a relative
    // name beside the document first, then by the file search. Programs not found by the
    // search are then looked for in the template's folder too.
    void UseTemplate(const std::string& name);
    CViewBase& AddView(std::unique_ptr<CViewBase> view);
    bool Refuse(bool condition, const char* message);

    Ui& m_ui;
    SearchContext m_search;
    std::string m_mainInput;
    TemplateInfo m_tmpl;
    std::unique_ptr<CInterpreter> m_mainContext;
    std::string m_layoutFileName;
    std::vector<std::unique_ptr<CViewBase>> m_views;
    std::string m_path;
    bool m_bare = false;
    bool m_templateFound = false;
    bool m_modified = false;
    bool m_inputEdited = false;
    bool m_running = false;
    bool m_stopRequested = false;
    int32_t m_busy = 0;
    int32_t m_reportedErrors = 0;
    int32_t m_failedRuns = 0;
};

// Compute Expression's answer: "The program returned:" and the value, or the formatting
// error.
void ShowComputedValue(CTivaneDoc& doc, CInterpreter& in, CellIndex value);

} // namespace tivane
