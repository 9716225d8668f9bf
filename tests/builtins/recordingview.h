#pragma once
// A document and views that write every operation a built-in calls, with its arguments, into
// one shared log, and answer with scripted values. Tests read the log to see where a call
// went and what it passed on.

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/testsupport.h"

namespace tivane::test {

// Log entries read "Name(arg,arg)": doubles in the stream's default form (6 significant
// digits), longs in decimal, strings as their bytes.
template <typename... Args>
std::string Call(std::string_view name, const Args&... args) {
    std::ostringstream out;
    out << name << '(';
    const char* sep = "";
    ((out << sep << args, sep = ","), ...);
    (void)sep; // unused for a call without arguments
    out << ')';
    return out.str();
}

class RecordingDocument : public FakeDocument {
public:
    std::vector<std::string> log;
    bool walksSucceed = true; // what UpdateViews, ExecViewTemplates and ForAllViews report

    bool UpdateViews() override { return Note(Call("UpdateViews"), walksSucceed); }
    bool ExecViewTemplates() override { return Note(Call("ExecViewTemplates"), walksSucceed); }
    bool ForAllViews(std::string_view name) override {
        return Note(Call("ForAllViews", name), walksSucceed);
    }
    void SetConfig(std::string_view text) override {
        log.push_back(Call("SetConfig", text));
        FakeDocument::SetConfig(text);
    }
    void DisplayViews() override { log.push_back(Call("DisplayViews")); }
    void ShowMessage(std::string_view text) override {
        log.push_back(Call("ShowMessage", text));
        FakeDocument::ShowMessage(text);
    }
    std::string GetUserInput(std::string_view prompt) override {
        log.push_back(Call("GetUserInput", prompt));
        return FakeDocument::GetUserInput(prompt);
    }
    bool AskUserYesNo(std::string_view question) override {
        log.push_back(Call("AskUserYesNo", question));
        return FakeDocument::AskUserYesNo(question);
    }

    // The log as one text, entries separated by " | ".
    std::string Log() const {
        std::string text;
        for (const std::string& entry : log)
            text += (text.empty() ? "" : " | ") + entry;
        return text;
    }

private:
    bool Note(std::string entry, bool result) {
        log.push_back(std::move(entry));
        return result;
    }
};

class RecordingView : public ViewHost {
public:
    RecordingView(RecordingDocument& doc, ViewKind kind) : m_doc(doc), m_kind(kind) {}
    ~RecordingView() override { DropUpdateProgram(); }

    // Scripted answers.
    int32_t column = 0;
    double windowBase = 0.0; // GetWindowValue(i) answers windowBase + i
    std::string setupText;
    uint32_t clipError = 0; // what SetClipWindow answers

    // The update program the view holds a reference to, or kNotValid.
    CellIndex updateProgram = kNotValid;

    void DropUpdateProgram() {
        Release(updateProgram);
        updateProgram = kNotValid;
    }

    ViewKind Kind() const override { return m_kind; }
    DocumentHost& Document() override { return m_doc; }

    void AppendText(std::string_view text) override { Log(Call("AppendText", text)); }
    int32_t GetColumn() override {
        Log(Call("GetColumn"));
        return column;
    }
    void ShowText() override { Log(Call("ShowText")); }

    void OutputText(std::string_view text) override { Log(Call("OutputText", text)); }
    void DrawMoveTo(double x, double y) override { Log(Call("DrawMoveTo", x, y)); }
    void DrawLineTo(double x, double y) override { Log(Call("DrawLineTo", x, y)); }
    void DrawMoveRel(double dx, double dy) override { Log(Call("DrawMoveRel", dx, dy)); }
    void DrawLineRel(double dx, double dy) override { Log(Call("DrawLineRel", dx, dy)); }
    void SetForeColor(int32_t r, int32_t g, int32_t b) override {
        Log(Call("SetForeColor", r, g, b));
    }
    void SetBackColor(int32_t r, int32_t g, int32_t b) override {
        Log(Call("SetBackColor", r, g, b));
    }
    void SetPenSize(double width) override { Log(Call("SetPenSize", width)); }
    void SetUpdateFrequency(int32_t n) override { Log(Call("SetUpdateFrequency", n)); }
    void SetWorldWindow(double x1, double y1, double x2, double y2) override {
        Log(Call("SetWorldWindow", x1, y1, x2, y2));
    }
    uint32_t SetClipWindow(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override {
        Log(Call("SetClipWindow", x1, y1, x2, y2));
        return clipError;
    }
    double GetWindowValue(int32_t index) override {
        Log(Call("GetWindowValue", index));
        return windowBase + index;
    }
    void UpdateNow() override { Log(Call("UpdateNow")); }

    void ChangeFont(std::string_view face, double size, int32_t style) override {
        Log(Call("ChangeFont", face, size, style));
    }
    void ClearView() override { Log(Call("ClearView")); }
    void SetUpdateProgram(CellIndex program) override {
        Log(Call("SetUpdateProgram"));
        AddRef(program);
        Release(updateProgram);
        updateProgram = program;
    }
    std::string SetupText() const override {
        m_doc.log.push_back(Call("SetupText"));
        return setupText;
    }
    void SetSetupText(std::string_view text) override {
        Log(Call("SetSetupText", text));
        setupText = text;
    }

private:
    void Log(std::string entry) { m_doc.log.push_back(std::move(entry)); }

    RecordingDocument& m_doc;
    ViewKind m_kind;
};

} // namespace tivane::test
