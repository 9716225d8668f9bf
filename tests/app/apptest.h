#pragma once
// The fixture of the application tests: a model with a text and a graphics view in a
// temporary folder, and a main window whose dialogs are scripted.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMdiArea>
#include <QTimer>
#include <fstream>
#include <functional>

#include "childframe.h"
#include "dialogs.h"
#include "document/fakeui.h"
#include "document/testtree.h"
#include "mainframe.h"
#include "tivanedoc.h"

namespace tivane {

class ScriptedDialogs : public testing::Scripted<Dialogs> {
public:
    std::optional<std::string> PromptDocument() override { return Next(); }
    std::optional<std::string> PromptSaveAs(const std::string&) override { return Next(); }
    std::optional<std::string> PromptExample(const std::string&) override { return Next(); }
    SaveAnswer AskSaveChanges(const std::string&) override { return SaveAnswer::No; }
    // Recorded as a box; Yes for an Ok in `answers`, No when they run out.
    bool Confirm(const QString& question) override {
        return AskOkCancel(TextToBytes(question), MessageIcon::Question) == Answer::Ok;
    }
};

// The model's files lie in the tree's root; the current folder is root/cwd.
class AppTest : public testing::TreeTest {
protected:
    AppTest() {
        Write("model.tml", "[Description]\nNoOfViews=2\nMainProgramFileName=main.prg\n"
                           "[View0]\nProgramFileName=text.prg\nTitleText=Table of values\n"
                           "[View1]\nProgramFileName=graph.prg\nTitleText=Phase plane\n"
                           "TypeOfView=2\n");
        Write("model.ini", "[Description]\nNoOfWindows=3\nTemplateFile=model.tml\n"
                           "[Window0]\nWindowType=9999\n"
                           "WindowPlacement=0,1,-1,-1,-1,-1,0,0,300,200\n"
                           "[Window1]\nWindowType=1\n"
                           "WindowPlacement=0,1,-1,-1,-1,-1,310,0,710,300\n"
                           "[Window2]\nWindowType=0\n");
        Write("model.tvd", "40");
        Write("model.vw1 model.vw2 default.prg defaultt.prg defaultg.prg", "");
        Write("main.prg", "n := ATOL(GETCONFIG(0)); EXECVIEWTEMPLATES(0); i := 0;"
                          "WHILE({i < n}, {i := i + 1; UPDATEVIEWS(0)})");
        Write("text.prg", "ONUPDATE({PRINTF(\"%ld\", i); PRINTF(\"%s\", CHR(10))})");
        Write("graph.prg", "CLEARVIEW(0); CLIPWINDOW(0, 0, 400, 300); WINDOWEXT(0, 0, 400, 300);"
                           "FGRCOLOR(255, 0, 0); MOVETO(0, 0); ONUPDATE({LINETO(i * 10, i * 7)})");
        MakeFrame(SearchContext{});
    }
    ~AppTest() override { frame.reset(); }
    // A main window whose dialogs are scripted, in place of the fixture's.
    void MakeFrame(const SearchContext& search) {
        frame.reset();
        frame = std::make_unique<CMainFrame>(search);
        auto scripted = std::make_unique<ScriptedDialogs>();
        dialogs = scripted.get();
        frame->SetDialogs(std::move(scripted));
        frame->resize(1000, 700);
        frame->show();
    }
    std::string Read(const std::string& name) {
        std::ifstream in(root + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    CTivaneDoc& Open() {
        CTivaneDoc* doc = frame->OpenDocumentFile(root + "/model.tvd");
        EXPECT_NE(doc, nullptr);
        QApplication::processEvents();
        return *doc;
    }
    void Trigger(Command c) { frame->Action(c)->trigger(); }
    // Makes `view` the active window.
    void Activate(CViewBase& view) {
        frame->findChild<QMdiArea*>()->setActiveSubWindow(frame->FrameOf(view));
    }
    // Runs `act` once, in the first message pass in which `when` holds.
    void InPass(std::function<bool()> when, std::function<void()> act) {
        auto* timer = new QTimer(frame.get());
        QObject::connect(timer, &QTimer::timeout, frame.get(), [timer, when, act] {
            if (!when()) return;
            timer->stop();
            act();
        });
        timer->start(0);
    }
    // Runs `act` once the run has started (inside its message pass).
    void DuringRun(std::function<void()> act) {
        InPass([this] { return frame->ActiveDocument() && frame->ActiveDocument()->Running(); },
               std::move(act));
    }

    std::unique_ptr<CMainFrame> frame;
    ScriptedDialogs* dialogs = nullptr;
};

} // namespace tivane
