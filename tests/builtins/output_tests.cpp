// Output, drawing, view-control and dialog functions: where each call goes from the main
// program, a text view's program and a graphics view's program, and what it yields. A fake
// document and views write every call they receive into one log.

#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>

#include "builtins/builtinsupport.h"

namespace tivane::test {
namespace {

// Adds "Name(arg,arg)" to the log, entries separated by " | "; doubles in the stream's
// default form, strings as their bytes.
template <typename... Args>
void Note(std::string& log, std::string_view name, const Args&... args) {
    std::ostringstream out;
    out << (log.empty() ? "" : " | ") << name << '(';
    const char* sep = "";
    ((out << sep << args, sep = ","), ...);
    (void)sep; // unused for a call without arguments
    log += out.str() + ')';
}

class RecordingDocument : public FakeDocument {
public:
    std::string log;
    void SetConfig(std::string_view text) override { Note(log, "SetConfig", text); }
    void DisplayViews() override { Note(log, "DisplayViews"); }
    bool UpdateViews() override { return Note(log, "UpdateViews"), true; }
    bool ForAllViews(std::string_view name) override {
        return Note(log, "ForAllViews", name), true;
    }
    void ShowMessage(std::string_view text) override { Note(log, "ShowMessage", text); }
    bool AskYesNo(std::string_view question) override {
        return Note(log, "AskYesNo", question), true;
    }
    std::optional<std::string> GetUserInput(std::string_view prompt, std::string_view) override {
        return Note(log, "GetUserInput", prompt), "42";
    }
};

class RecordingView : public ViewHost {
public:
    RecordingView(RecordingDocument& doc, ViewKind kind, std::string setup)
        : m_doc(doc), m_kind(kind), m_setup(std::move(setup)) {}

    CellIndex updateProgram = kNotValid; // the view's own reference

    ViewKind Kind() const override { return m_kind; }
    DocumentHost& Document() override { return m_doc; }
    void AppendText(std::string_view text) override { Note(m_doc.log, "AppendText", text); }
    int32_t GetColumn() override { return Note(m_doc.log, "GetColumn"), 7; }
    void ShowText() override { Note(m_doc.log, "ShowText"); }
    void OutputText(std::string_view text) override { Note(m_doc.log, "OutputText", text); }
    void DrawMoveTo(double x, double y) override { Note(m_doc.log, "DrawMoveTo", x, y); }
    // A point far below fails as a full draw list does.
    void DrawLineTo(double x, double y) override {
        Note(m_doc.log, "DrawLineTo", x, y);
        if (y < -100) m_doc.errorCode = ERR_NO_MEMORY;
    }
    void DrawMoveRel(double x, double y) override { Note(m_doc.log, "DrawMoveRel", x, y); }
    void DrawLineRel(double x, double y) override { Note(m_doc.log, "DrawLineRel", x, y); }
    void SetPenSize(double width) override { Note(m_doc.log, "SetPenSize", width); }
    void SetUpdateFrequency(int32_t n) override { Note(m_doc.log, "SetUpdateFrequency", n); }
    void SetForeColor(int32_t r, int32_t g, int32_t b) override {
        Note(m_doc.log, "SetForeColor", r, g, b);
    }
    void ChangeFont(std::string_view face, double size, int32_t style) override {
        Note(m_doc.log, "ChangeFont", face, size, style);
    }
    void ClearView() override { Note(m_doc.log, "ClearView"); }
    // Refuses a window whose left edge is 25 with that error, as a host refuses one.
    uint32_t SetClipWindow(int32_t x1, int32_t y1, int32_t x2, int32_t y2) override {
        Note(m_doc.log, "SetClipWindow", x1, y1, x2, y2);
        return x1 == 25 ? x1 : 0;
    }
    double GetWindowValue(int32_t index) override {
        return Note(m_doc.log, "GetWindowValue", index), 100.0 + index;
    }
    void UpdateNow() override { Note(m_doc.log, "UpdateNow"); }
    void SetUpdateProgram(CellIndex program) override {
        Note(m_doc.log, "SetUpdateProgram");
        AddRef(program);
        Release(std::exchange(updateProgram, program));
    }
    std::string SetupText() const override { return Note(m_doc.log, "SetupText"), m_setup; }
    void SetSetupText(std::string_view text) override { Note(m_doc.log, "SetSetupText", text); }

private:
    RecordingDocument& m_doc;
    ViewKind m_kind;
    std::string m_setup;
};

// One main interpreter with a text view's and a graphics view's interpreter below it.
class ViewsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Pool().EnsureNotValid();
        m_liveAtStart = Pool().LiveCells();
        doc.mainInput = "m:=1";
        main = std::make_unique<CInterpreter>(doc);
        text = std::make_unique<CInterpreter>(*main, textView);
        graphics = std::make_unique<CInterpreter>(*main, graphicsView);
    }
    void TearDown() override {
        Release(textView.updateProgram);
        Release(graphicsView.updateProgram);
        text.reset();
        graphics.reset();
        main.reset();
        EXPECT_EQ(Pool().LiveCells(), m_liveAtStart) << "cells leaked or freed twice";
    }

    RecordingDocument doc;
    RecordingView textView{doc, ViewKind::Text, "t:=2"};
    RecordingView graphicsView{doc, ViewKind::Graphics, "g:=3"};
    std::unique_ptr<CInterpreter> main, text, graphics;

private:
    size_t m_liveAtStart = 0;
};

// Each cell is what the host received, then "=> " and what the call shows unless it yields
// NOT VALID. An error report brings the views up to date first (DisplayViews).
struct DispatchRow {
    const char* call;
    const char* main;
    const char* text;
    const char* graphics;
};

// A loop of drawing statements makes the calls the plain evaluation makes, and a failing call
// is reported at the same item.
TEST_F(ViewsTest, DrawingLoopsActLikeThePlainEvaluation) {
    for (const char* text : {"i := 0; WHILE({i < 3}, {LINETO(i, 0.5 * i); i := i + 1})",
                             "i := 0; WHILE({i < 3}, {LINETO(i, -200 * i); i := i + 1})"}) {
        std::string seen[2];
        for (const bool plain : {false, true}) {
            doc.log.clear();
            SetPlainEvaluation(plain);
            const Outcome o = Evaluate(*graphics, text);
            SetPlainEvaluation(false);
            seen[plain] = doc.log + " => " + (o.ok ? Shown(o) : o.report);
        }
        EXPECT_EQ(seen[0], seen[1]) << text;
    }
}

class DispatchTest : public ViewsTest, public ::testing::WithParamInterface<DispatchRow> {};

TEST_P(DispatchTest, ReachesItsHost) {
    const DispatchRow& r = GetParam();
    const std::pair<CInterpreter*, const char*> cases[] = {
        {main.get(), r.main}, {text.get(), r.text}, {graphics.get(), r.graphics}};
    for (const auto& [program, expected] : cases) {
        doc.log.clear();
        const std::string shown = Shown(Evaluate(*program, r.call));
        const std::string cell =
            shown == "<NOT VALID>" ? doc.log : doc.log + (doc.log.empty() ? "=> " : " => ") + shown;
        EXPECT_EQ(cell, expected) << r.call;
    }
}

const DispatchRow kDispatch[] = {
    // clang-format off
    {"PRINT(5)", "=> 5", "AppendText(5) => 5", "OutputText(5) => 5"},
    // Outside a view the format is not looked at; in a view a bad one prints nothing.
    {"PRINTF(\"%ld\", 1.5)", "=> double 1.5", "DisplayViews() => error 23", "DisplayViews() => error 23"},
    {"POS(0)", "=> 0", "GetColumn() => 7", "=> 0"},
    // Each drawing function reaches its own call of the view: a swapped handler shows here.
    {"MOVETO(1, 2.5)", "", "", "DrawMoveTo(1,2.5)"},
    {"x := 4; LINETO(x, -1.5)", "", "", "DrawLineTo(4,-1.5)"},
    // In a loop of statements, and failing there.
    {"i := 0; WHILE({i < 3}, {x := i * 0.5; LINETO(x, i); i := i + 1})", "", "", "DrawLineTo(0,0) | DrawLineTo(0.5,1) | DrawLineTo(1,2)"},
    {"i := 0; WHILE({i < 3}, {LINETO(i, -200 * i); i := i + 1})", "", "", "DrawLineTo(0,0) | DrawLineTo(1,-200) | DisplayViews() => error 3"},
    {"RMOVETO(-1, 2.5)", "", "", "DrawMoveRel(-1,2.5)"},
    {"RLINETO(3, -0.5)", "", "", "DrawLineRel(3,-0.5)"},
    {"PENSIZE(2.5)", "", "", "SetPenSize(2.5)"},
    {"UPDFREQUENCY(4)", "", "", "SetUpdateFrequency(4)"},
    {"FGRCOLOR(-1, 300, 2147483647)", "", "", "SetForeColor(-1,300,2147483647)"},
    {"CHANGEFONT(\"Courier\", 9, 2)", "", "ChangeFont(Courier,9,2)", "ChangeFont(Courier,9,2)"},
    {"CLEARVIEW(0)", "", "ClearView()", "ClearView()"},
    {"CLIPWINDOW(25, 0, 100, 100); PRINT(1)", "=> 1", "AppendText(1) => 1", "SetClipWindow(25,0,100,100) | DisplayViews() => error 25"},
    // GETWINSIZE clamps its index to 0..11.
    {"GETWINSIZE(99)", "=> double 0", "=> double 0", "GetWindowValue(11) => double 111"},
    {"ONUPDATE({1})", "", "SetUpdateProgram()", "SetUpdateProgram()"},
    {"DISPLAYVIEW(0)", "DisplayViews()", "ShowText()", "UpdateNow()"},
    {"GETCONFIG(0)", "=> \"m:=1\"", "SetupText() => \"t:=2\"", "SetupText() => \"g:=3\""},
    {"SETCONFIG(\"a:=1\")", "SetConfig(a:=1)", "SetSetupText(a:=1)", "SetSetupText(a:=1)"},
    {"SENDMSG(\"hi\")", "ShowMessage(hi)", "ShowMessage(hi)", "ShowMessage(hi)"},
    {"UPDATEVIEWS(0)", "UpdateViews()", "", ""},
    {"FORALLVIEWS(\"redraw\")", "ForAllViews(redraw)", "", ""},
    {"GETUSERINPUT(\"n\")", "GetUserInput(n) => \"42\"", "GetUserInput(n) => \"42\"", "GetUserInput(n) => \"42\""},
    {"ASKUSERYESNO(\"q\")", "AskYesNo(q) => -1", "AskYesNo(q) => -1", "AskYesNo(q) => -1"}};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Calls, DispatchTest, ::testing::ValuesIn(kDispatch));

TEST_F(ViewsTest, UpdateProgramOutlivesTheRunThatSetIt) {
    ASSERT_TRUE(Evaluate(*text, "n := 0; ONUPDATE({n := n + 1; PRINT(n)})").ok);
    doc.log.clear();
    for (int k = 0; k < 2; ++k)
        Release(tivane::Run(*text, textView.updateProgram));
    EXPECT_EQ(doc.log, "AppendText(1) | AppendText(2)");
    // A second ONUPDATE replaces the first, whose reference the view drops.
    ASSERT_TRUE(Evaluate(*text, "ONUPDATE({0})").ok);
    std::string listing;
    ASSERT_TRUE(FormatValue(*text, textView.updateProgram, listing));
    EXPECT_EQ(listing, "{0}");
}

} // namespace
} // namespace tivane::test
