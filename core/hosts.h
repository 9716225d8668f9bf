#pragma once
// The two seams through which the language reaches the outside world. The core and the
// built-ins call only these; the document and view classes, the console runner and the
// tests' scripted fakes implement them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cellpool.h"
#include "recordstack.h"

namespace tivane {

class CInterpreter;

// One record of the error trace: the failing program and the failing item's position.
// Negative positions belong to the document's main interpreter. The record holds one
// reference to the program, so the report can list it after the run has dropped it.
struct TraceRecord {
    CellIndex program;
    int16_t position;
};

enum class MessageIcon { None, Stop, Question };

// Where the pending error happened, which decides what its report lists: the source around
// the place compilation stopped, or the trace of the running programs.
enum class ErrorPhase : uint16_t { None, Compile, Run };

// What ReadTextFile does with a file it cannot read: show why ("Could not open the file
// %s.") and return "", or return "" quietly (a side file that is missing until a save).
enum class ReadFailure : uint8_t { Report, Silent };

// Help contexts of message boxes.
inline constexpr uint32_t kHelpLanguageError = 0x2900; // plus the error code
inline constexpr uint32_t kHelpShowMessage = 0x202C;

// The modal dialogs a run may raise: message boxes (SENDMSG, ABORT, reports) and the language's
// two questions. The document's dialog seam extends them with its own; tests script them.
class RunDialogs {
public:
    virtual ~RunDialogs() = default;

    // A message box with OK, an icon and a help context (0: no Help button).
    virtual void MessageBox(std::string_view text, MessageIcon icon, uint32_t helpContext) = 0;
    // A language error's report, with the stop icon, and its details (where in the user's
    // texts it happened) for a box that shows them on request.
    virtual void ErrorReportBox(std::string_view report, std::string_view details,
                                uint32_t helpContext) {
        (void)details;
        MessageBox(report, MessageIcon::Stop, helpContext);
    }
    // The User Input dialog: the text entered, or nothing for Cancel.
    virtual std::optional<std::string> GetUserInput(std::string_view prompt,
                                                    std::string_view initial) = 0;
    // The language's yes/no question (ASKUSERYESNO): true for Yes.
    virtual bool AskYesNo(std::string_view question) = 0;
};

class DocumentHost {
public:
    virtual ~DocumentHost();

    // The error fields shared by the document's main interpreter and all view interpreters.
    uint32_t errorCode = 0;
    ErrorPhase errorPhase = ErrorPhase::None;
    RecordStack<TraceRecord> errorTrace;

    // False for a headless run that asked for no default programs.
    virtual bool RunsDefaultPrograms() const { return true; }

    // File search and whole-file reading (for default programs). `name` is replaced in place
    // by the full path found, or by the last candidate tried.
    virtual bool LocateFile(std::string& name, std::string_view fallback) = 0;
    // The whole file, or "" (after showing why, unless asked to stay silent).
    virtual std::string ReadTextFile(const std::string& name, ReadFailure failure) = 0;

    // The dialogs of the document's runs; the console runner's write to stderr and read stdin.
    virtual RunDialogs& dialogs() = 0;
    // The report of a language error (ErrorReport's text) for error `code`, with the error's
    // help context. Hosts that count errors count these. `details` say where in the user's
    // texts it happened; hosts may show them on request.
    virtual void ShowErrorReport(std::string_view report, uint32_t code,
                                 std::string_view details = {}) {
        dialogs().ErrorReportBox(report, details, kHelpLanguageError + code);
    }

    // The message pass: lets pending window messages (repaints, Stop) through.
    virtual void PumpMessages() = 0;

    // The main input, read by GETCONFIG in the main program.
    virtual std::string MainInput() const = 0;

    // Document operations the built-ins call. Walks stop at the first view that fails;
    // the result is true when every view succeeded. The failing view reports its own error
    // (ErrorReport, message box); the walk then leaves errorCode 0, so that the main program
    // that asked goes on, except for a Stop (19), which stays set and stops it too.
    virtual bool UpdateViews() = 0;
    virtual bool ExecViewTemplates() = 0;
    virtual bool ForAllViews(std::string_view variableName) = 0;
    virtual void SetConfig(std::string_view text) = 0;
    // Brings every view up to date, then pumps messages. Also used before error reports.
    virtual void DisplayViews() = 0;
    // SENDMSG and ABORT: displays every view, pumps messages, then shows the text with OK
    // and no icon.
    virtual void ShowMessage(std::string_view text) = 0;
};

enum class ViewKind { Text, Graphics };

// A font as CHANGEFONT names it: a face, a size in points and style bits.
struct FontRequest {
    std::string_view face;
    double size;
    int32_t style;
};
// What a text view shows after every clear and a fresh picture starts with.
inline constexpr FontRequest kDefaultTextFont{"Fixedsys", 12.0, 0};

// What a view offers its program. Output operations of the other kind of view are never
// called (the built-ins dispatch on Kind()), so their default bodies do nothing.
class ViewHost {
public:
    virtual ~ViewHost();

    virtual ViewKind Kind() const = 0;
    virtual DocumentHost& Document() = 0;

    // Text views.
    virtual void AppendText(std::string_view text) { (void)text; }
    virtual int32_t GetColumn() { return 0; }
    virtual void ShowText() {}

    // Graphics views.
    virtual void OutputText(std::string_view text) { (void)text; }
    virtual void DrawMoveTo(double x, double y) { (void)x, (void)y; }
    virtual void DrawLineTo(double x, double y) { (void)x, (void)y; }
    virtual void DrawMoveRel(double dx, double dy) { (void)dx, (void)dy; }
    virtual void DrawLineRel(double dx, double dy) { (void)dx, (void)dy; }
    virtual void SetForeColor(int32_t r, int32_t g, int32_t b) { (void)r, (void)g, (void)b; }
    virtual void SetBackColor(int32_t r, int32_t g, int32_t b) { (void)r, (void)g, (void)b; }
    virtual void SetPenSize(double width) { (void)width; }
    virtual void SetUpdateFrequency(int32_t n) { (void)n; }
    virtual void SetWorldWindow(double x1, double y1, double x2, double y2) {
        (void)x1, (void)y1, (void)x2, (void)y2;
    }
    // 0 when accepted, else the error code (25 or 26); the clip window is then unchanged.
    virtual uint32_t SetClipWindow(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
        (void)x1, (void)y1, (void)x2, (void)y2;
        return 0;
    }
    virtual double GetWindowValue(int32_t index) {
        (void)index;
        return 0.0;
    }
    virtual void UpdateNow() {}

    // Both kinds.
    virtual void ChangeFont(std::string_view face, double size, int32_t style) {
        (void)face, (void)size, (void)style;
    }
    virtual void ClearView() {}
    // The view takes its own reference to `program` and releases the previous one.
    virtual void SetUpdateProgram(CellIndex program) { (void)program; }
    virtual std::string SetupText() const { return {}; }
    // Replaces the setup text and marks the document modified.
    virtual void SetSetupText(std::string_view text) { (void)text; }
};

} // namespace tivane
