#pragma once
// Shared fixtures: a scripted document, a view, and helpers that compile and run program
// text and check that the cell pool's live count comes back to its start.

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cellpool.h"
#include "compiler.h"
#include "errors.h"
#include "evaluator.h"
#include "format.h"
#include "interpreter.h"

namespace tivane::test {

// A document without windows whose files and dialogs are scripted by the test.
class FakeDocument : public DocumentHost {
public:
    bool defaults = false;
    std::vector<std::pair<std::string, std::string>> files; // name -> content
    std::vector<std::string> boxes;                         // every message box shown
    std::vector<std::string> answers;                       // dialog answers, in order
    std::string mainInput;
    int pumps = 0;
    uint32_t errorOnPump = 0; // set this error at the next message pass (a Stop)

    bool RunsDefaultPrograms() const override { return defaults; }
    bool LocateFile(std::string& name, std::string_view) override {
        for (auto& f : files) {
            if (f.first == name) return true;
        }
        return false;
    }
    std::string ReadTextFile(const std::string& name, int16_t level) override {
        for (auto& f : files) {
            if (f.first == name) return f.second;
        }
        if (level > -999) boxes.push_back("Could not open the file " + name + ".");
        return {};
    }
    void MessageBox(std::string_view text, MessageIcon, uint32_t) override {
        boxes.emplace_back(text);
    }
    std::string GetUserInput(std::string_view) override { return NextAnswer(); }
    bool AskUserYesNo(std::string_view) override { return NextAnswer() == "yes"; }
    void PumpMessages() override {
        ++pumps;
        if (errorOnPump) {
            errorCode = errorOnPump;
            errorOnPump = 0;
        }
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
    uint32_t error = 0; // the error code when not ok
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
        o.report = ErrorReport(in).value_or("");
        return o;
    }
    o.ok = FormatValue(in, result, o.value);
    Release(result);
    return o;
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

    FakeDocument doc;
    std::unique_ptr<CInterpreter> main;

private:
    size_t m_liveAtStart = 0;
};

} // namespace tivane::test
