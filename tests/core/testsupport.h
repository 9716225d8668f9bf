#pragma once
// Shared fixtures: a scripted document, a view, and helpers that compile and run program
// text and check that the cell pool's live count comes back to its start.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "builtintable.h"
#include "cellpool.h"
#include "compiler.h"
#include "errors.h"
#include "evaluator.h"
#include "format.h"
#include "interpreter.h"

namespace tivane::test {

// A document without windows or default programs whose dialogs are scripted by the test.
class FakeDocument : public DocumentHost, public RunDialogs {
public:
    std::vector<std::string> boxes;   // every message box shown
    std::vector<std::string> answers; // dialog answers, in order
    std::string mainInput;
    uint32_t errorOnPump = 0; // set this error at every message pass from the next (a Stop)
    int pumps = 0;            // message passes made

    bool RunsDefaultPrograms() const override { return false; }
    bool LocateFile(std::string&, std::string_view) override { return false; }
    std::string ReadTextFile(const std::string&, ReadFailure) override { return {}; }
    RunDialogs& dialogs() override { return *this; }
    void MessageBox(std::string_view text, MessageIcon, uint32_t) override {
        boxes.emplace_back(text);
    }
    std::optional<std::string> GetUserInput(std::string_view, std::string_view) override {
        return NextAnswer();
    }
    bool AskYesNo(std::string_view) override { return NextAnswer() == "yes"; }
    void PumpMessages() override {
        ++pumps;
        if (errorOnPump) errorCode = errorOnPump;
    }
    std::string MainInput() const override { return mainInput; }
    bool UpdateViews() override { return true; }
    bool ExecViewTemplates() override { return true; }
    bool ForAllViews(std::string_view) override { return true; }
    void SetConfig(std::string_view text) override { mainInput = text; }
    void DisplayViews() override {}
    void ShowMessage(std::string_view text) override { boxes.emplace_back(text); }

private:
    std::string NextAnswer() {
        if (answers.empty()) return {};
        std::string a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
};

class FakeView : public ViewHost {
public:
    FakeView(DocumentHost& doc, ViewKind kind) : m_doc(doc), m_kind(kind) {}
    ViewKind Kind() const override { return m_kind; }
    DocumentHost& Document() override { return m_doc; }

private:
    DocumentHost& m_doc;
    ViewKind m_kind;
};

// The outcome of compiling and running one text.
struct Outcome {
    bool ok = false;
    std::string value;  // FormatValue of the result when ok
    uint16_t type = 0;  // the result's type tag when ok
    uint32_t error = 0; // the error code when not ok
    uint16_t phase = 0; // where it failed: 1 compile, 2 run
    std::string report; // the error report when not ok
};

inline Outcome Evaluate(CInterpreter& in, const std::string& text) {
    Outcome o;
    const CellIndex program = Compile(in, text);
    CellIndex result = kNoCell;
    if (program != kNoCell) {
        result = Run(in, program);
        Release(program);
    }
    if (result == kNoCell) {
        o.error = in.document->errorCode;
        o.phase = static_cast<uint16_t>(in.document->errorPhase);
        o.report = ErrorReport(in).value_or("");
        return o;
    }
    o.type = CellAt(result).type;
    o.ok = FormatValue(in, result, o.value);
    Release(result);
    return o;
}

// The items of a compiled program as readable tokens, separated by blanks: literals and names
// as listed, built-ins by their table name, blocks in braces. Tags show what the compiler made
// of a name: "(VARREF)" and the other references, "[]" an array read, "()" a call, "(PARENT)"
// an object of the parent interpreter; ":=(15)" and ":=(16)" are the element assignment and
// the function definition.
inline std::string ItemsOf(CInterpreter& in, CellIndex program) {
    static constexpr std::pair<uint16_t, const char*> kTags[] = {
        {TYPE_VARREF, "(VARREF)"},
        {TYPE_ARRAYREF, "(ARRAYREF)"},
        {TYPE_FUNCREF, "(FUNCREF)"},
        {TYPE_PARENTVARREF, "(PARENTVARREF)"},
        {TYPE_PARENTARRAYREF, "(PARENTARRAYREF)"},
        {TOK_ARRAY, "[]"},
        {TOK_USERFUNC, "()"},
        {TOK_PARENTVARIABLE, "(PARENT)"},
        {TOK_PARENTARRAY, "[](PARENT)"},
        {TOK_PARENTUSERFUNC, "()(PARENT)"}};
    std::string out;
    const ProgramBlock* block = CellAt(program).prog;
    for (int32_t k = 0; k < block->count; ++k) {
        const CellIndex item = block->items[k];
        const ValueCell& c = CellAt(item);
        std::string text;
        if (c.type == TYPE_PROGRAM) {
            text = "{" + ItemsOf(in, item) + "}";
        } else if (c.type == TOK_BUILTIN) {
            text = BuiltinTable[c.number].name;
            if (c.number == OP_ASSIGN_ELEMENT || c.number == OP_DEFINE)
                text += "(" + std::to_string(c.number) + ")";
        } else if (!FormatValue(in, item, text)) {
            text = "?";
        }
        for (const auto& [type, tag] : kTags) {
            if (c.type == type) text += tag;
        }
        out += (k ? " " : "") + text;
    }
    return out;
}

// The items of `text` compiled in `in`, or "error N" when the compile fails.
inline std::string CompileItems(CInterpreter& in, const std::string& text) {
    const CellIndex program = Compile(in, text);
    if (program == kNoCell) {
        const uint32_t code = in.document->errorCode;
        ErrorReport(in);
        return "error " + std::to_string(code);
    }
    std::string items = ItemsOf(in, program);
    Release(program);
    return items;
}

// Fixture: one main interpreter on a fake document; checks at the end that every cell the
// test made is free again once the interpreter is gone.
class LanguageTest : public ::testing::Test {
protected:
    void SetUp() override {
        Pool().EnsureNotValid();
        m_liveAtStart = Pool().LiveCells();
        main = std::make_unique<CInterpreter>(doc);
    }
    void TearDown() override {
        main.reset();
        EXPECT_EQ(Pool().LiveCells(), m_liveAtStart) << "cells leaked or freed twice";
    }

    Outcome Eval(const std::string& text) { return Evaluate(*main, text); }
    std::string Value(const std::string& text) {
        Outcome o = Eval(text);
        EXPECT_TRUE(o.ok) << text << " failed with " << o.error << ": " << o.report;
        return o.value;
    }
    uint32_t ErrorOf(const std::string& text) {
        Outcome o = Eval(text);
        EXPECT_FALSE(o.ok) << text << " gave " << o.value;
        return o.error;
    }
    std::string Items(const std::string& text) { return CompileItems(*main, text); }

    FakeDocument doc;
    std::unique_ptr<CInterpreter> main;

private:
    size_t m_liveAtStart = 0;
};

// Fixture with a view's interpreter whose parent is the main interpreter. The view is made on
// first use, so that a test can first give the main interpreter the names it should share.
class ViewLanguageTest : public LanguageTest {
protected:
    void TearDown() override {
        m_viewInterpreter.reset();
        LanguageTest::TearDown();
    }

    CInterpreter& ViewInterpreter() {
        if (!m_viewInterpreter) m_viewInterpreter = std::make_unique<CInterpreter>(*main, view);
        return *m_viewInterpreter;
    }
    Outcome ViewEval(const std::string& text) { return Evaluate(ViewInterpreter(), text); }
    std::string ViewItems(const std::string& text) { return CompileItems(ViewInterpreter(), text); }

    FakeView view{doc, ViewKind::Text};

private:
    std::unique_ptr<CInterpreter> m_viewInterpreter;
};

} // namespace tivane::test
