#pragma once
// A document in a throw-away tree, opened as the application opens one, with a scripted
// dialog seam; the fixture checks that the cell pool's live count comes back to its start.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "cellpool.h"
#include "compiler.h"
#include "evaluator.h"
#include "fakeui.h"
#include "format.h"
#include "testtree.h"
#include "tivanedoc.h"

namespace tivane::testing {

// A layout naming `templ` whose window sections hold the view indexes `types`, in order.
inline std::string LayoutOf(const std::vector<int>& types, const std::string& templ = "model.tml") {
    std::string text = "[Description]\nNoOfWindows=" + std::to_string(types.size()) +
                       "\nTemplateFile=" + templ + "\n";
    for (size_t k = 0; k < types.size(); ++k)
        text += "[Window" + std::to_string(k) + "]\nWindowType=" + std::to_string(types[k]) + "\n";
    return text;
}

class DocTest : public TreeTest {
protected:
    DocTest() {
        Pool().EnsureNotValid();
        liveAtStart = Pool().LiveCells();
    }
    ~DocTest() override {
        doc.reset();
        EXPECT_EQ(Pool().LiveCells(), liveAtStart) << "cells leaked";
    }

    // A document model.tvd in cwd, its layout naming model.tml, and the template's files.
    void Model(const std::string& input, const std::string& templ, const std::string& layout) {
        Write("cwd/model.tvd", input);
        Write("cwd/model.tml", templ);
        Write("cwd/model.ini", layout);
    }
    CTivaneDoc& Open(const std::string& name = "model.tvd") {
        doc = std::make_unique<CTivaneDoc>(ui, Context());
        doc->SetBare(true);
        EXPECT_TRUE(doc->OpenDocument(name));
        doc->RestoreLayout();
        return *doc;
    }
    // Opens the document and executes it once; what the opening reported (the windows' missing
    // setup files) is dropped.
    void OpenAndExecute(bool bare = true) {
        Open().SetBare(bare);
        ui.boxes.clear();
        doc->Execute();
    }
    // A variable of the main interpreter after a run, formatted.
    std::string Var(const std::string& name) {
        CInterpreter& in = *doc->MainContext();
        const CellIndex p = Compile(in, name);
        EXPECT_NE(p, kNoCell);
        const CellIndex v = tivane::Run(in, p);
        Release(p);
        std::string out;
        if (v != kNoCell) {
            FormatValue(in, v, out);
            Release(v);
        }
        return out;
    }
    std::string ReadFile(const std::string& path) const {
        std::ifstream in(root + "/cwd/" + path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    size_t liveAtStart = 0;
    FakeUi ui;
    std::unique_ptr<CTivaneDoc> doc;
};

} // namespace tivane::testing
