#pragma once
// What the text and graphics views share: the view index, the window surface, the setup
// text, the view's own interpreter with its update program, and running a program in it
// with the error reported by the view itself.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "hosts.h"
#include "interpreter.h"
#include "ui.h"
#include "viewdocument.h"

namespace tivane {

class IniFile;
class SaveTransaction;

// The view index of the main input view; any index above 999 marks it.
inline constexpr int16_t kMainInputIndex = 9999;
inline constexpr bool IsMainInputIndex(int16_t index) {
    return index > 999;
}

class CViewBase : public ViewHost {
public:
    CViewBase(ViewDocument& doc, int16_t viewIndex);
    ~CViewBase() override;
    CViewBase(const CViewBase&) = delete;
    CViewBase& operator=(const CViewBase&) = delete;

    DocumentHost& Document() override;
    ViewDocument& Doc() const { return m_doc; }
    int16_t ViewIndex() const { return m_viewIndex; }
    void SetViewIndex(int16_t index) { m_viewIndex = index; }
    bool IsMainInput() const { return Kind() == ViewKind::Text && IsMainInputIndex(m_viewIndex); }

    // The window; a view without one (never in the application) gets a headless surface.
    WindowSurface& Surface() const { return *m_surface; }
    void AttachSurface(std::unique_ptr<WindowSurface> surface);

    std::string SetupText() const override { return m_setupText; }
    void SetSetupText(std::string_view text) override;
    CInterpreter* Interpreter() const { return m_interpreter.get(); }
    // Destroys the interpreter and drops the update program (compiled by it): done before the
    // document's main interpreter, the parent, is replaced or destroyed.
    void DropInterpreter();
    // The ONUPDATE program: the view holds one reference; kNoCell when there is none.
    void SetUpdateProgram(CellIndex program) override;
    CellIndex UpdateProgram() const { return m_updateProgram; }

    // EXECVIEWTEMPLATES: a fresh interpreter runs the view's program file. False when that
    // program failed (its error already shown).
    virtual bool StartView() = 0;
    // UPDATEVIEWS: runs the update program; a failing one is reported and dropped.
    virtual bool RunUpdateProgram();
    // FORALLVIEWS: runs the PROGRAM held by the interpreter's own variable of that name.
    bool CallViewFunction(std::string_view name);
    // Compiles and runs the setup text; errors are shown.
    void RunSetupText();
    // Brings the window up to date with what the programs produced (ShowText, UpdateNow).
    virtual void BringUpToDate() = 0;
    // Clear All: empties the view (ClearView of a text view, EraseContents of a graphics one).
    virtual void ClearAllContents() = 0;
    // The caption: the view title, " - " and the document title.
    virtual void UpdateTitle();

    // The window's keys in its layout section, and its side files. `i` is the window's
    // index in the document's order.
    virtual void SavePlacement(IniFile& layout, const std::string& layoutPath,
                               const std::string& section, int32_t i, SaveTransaction& save);
    // `n` is the window's index plus one.
    virtual void LoadPlacement(const IniFile& layout, const std::string& layoutPath,
                               const std::string& section, int32_t n);

    // Commands of the view's window.
    virtual void Configure();
    void ComputeExpression();
    virtual void SaveContents() = 0;

protected:
    // Replaces the interpreter by a new one whose parent is the document's main interpreter,
    // and runs the view's default program in it.
    void NewInterpreter();
    // Runs a program of the view's interpreter and releases its result. False after the view
    // reported the failure.
    bool RunProgram(CellIndex program);
    // Compiles and runs `text` in the view's interpreter and releases what it made. False
    // after the view reported the failure. `name` is what error reports call the text.
    bool CompileAndRun(std::string_view text, std::string name);
    // What reports call the view's program file: "View program file" and the file's name.
    static std::string ViewProgramName(const std::string& path);
    // Reports the current error of the view's interpreter in a message box. The failure is
    // the view's own: the error code is cleared so the program that asked goes on, unless
    // it is a Stop, which ends every run of the document and is reported once, by the run
    // the user stopped.
    void ReportFailure();
    // What the view shows before its first update after a Compute Expression.
    virtual void AfterComputeExpression() = 0;
    void MarkDocumentModified();

    std::string m_setupText;

private:
    ViewDocument& m_doc;
    int16_t m_viewIndex;
    std::unique_ptr<WindowSurface> m_surface;
    // Destroyed before the document's main interpreter: the document destroys its views first.
    std::unique_ptr<CInterpreter> m_interpreter;
    CellIndex m_updateProgram = kNoCell;
};

// The side file of window `i` beside a layout file: `kind` 'w' for the setup text, 's' for
// the contents. Windows 0 to 9 use one digit ("model.vw2"); later ones their decimal
// number ("model.vw10"), since the characters after '9' are not all valid in file names.
std::string SideFileName(const std::string& layoutPath, char kind, int32_t i);

// "WindowPlacement" as ten comma-separated numbers, and back. Parsing stops at the first
// field that does not match; the fields after it keep what `placement` held.
std::string FormatPlacement(const WindowPlacement& placement);
void ParsePlacement(std::string_view text, WindowPlacement& placement);

} // namespace tivane
