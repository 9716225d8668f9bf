// What a person can do while a command runs, through the windows: commands that arrive in a
// message pass (during a run, in the last pass after it, while a layout is restored), another
// document's run, and a dialog left open in a pass.

#include <QDialog>
#include <QElapsedTimer>

#include "apptest.h"
#include "widgets.h"

namespace tivane {
namespace {

using RunsTest = AppTest;

// What would close, clear or change the document is refused during a run, in the last pass
// after it (the first that no longer runs) and while a layout is restored (which passes
// messages once its first window is made). Once the command is over, the same acts go through.
TEST_F(RunsTest, GuardsHoldDuringARunInItsLastPassAndWhileTheLayoutIsRestored) {
    enum Phase { kRun, kEnd, kRestore };
    const auto command = [this](Command c) { return [this, c] { Trigger(c); }; };
    const auto quit = [this] { frame->close(); };
    const auto closeWindows = [this] {
        for (const auto& view : frame->Documents().front()->Views())
            frame->FrameOf(*view)->close();
    };
    const std::tuple<Phase, std::function<void()>, const char*> rows[] = {
        {kRun, closeWindows, doctext::kCloseWindowRunning},
        {kRun, command(ID_FILE_CLOSE), doctext::kCloseDocumentRunning},
        {kRun, command(ID_CLEAR_ALL), doctext::kClearRunning},
        {kRun, quit, doctext::kQuitRunning},
        {kRun, command(ID_CHANGE_TEMPLATE), doctext::kChangeTemplateRunning},
        {kRun, command(ID_FILE_PRINT), "Do not use printing while a program is still executing."},
        {kRun, command(ID_COMPUTE_EXPRESSION), doctext::kAnotherRunning},
        {kEnd, command(ID_FILE_CLOSE), doctext::kCloseDocumentRunning},
        {kEnd, quit, doctext::kQuitRunning},
        {kRestore, command(ID_FILE_CLOSE), doctext::kCloseDocumentRunning},
        {kRestore, quit, doctext::kQuitRunning}};
    for (const auto& [phase, act, message] : rows) {
        SCOPED_TRACE(std::string(message) + " in phase " + std::to_string(phase));
        dialogs->boxes.clear();
        Write("model.tvd", phase == kRun ? "100000000" : "40");
        InPass(
            [&, phase = phase] {
                if (frame->Documents().empty()) return false;
                const CTivaneDoc& doc = *frame->Documents().front();
                if (phase == kRestore) return doc.Views().size() == 1;
                return phase == kRun ? doc.Running() : doc.MainContext() && !doc.Running();
            },
            [&, phase = phase] {
                act();
                dialogs->answers = {Answer::Ok};
                if (phase == kRun) Trigger(ID_EXECUTE); // stops the run
            });
        CTivaneDoc& doc = Open();
        if (phase != kRestore) Trigger(ID_EXECUTE);
        EXPECT_GE(dialogs->Count(message), 1);
        ASSERT_EQ(frame->Documents().size(), 1u);
        EXPECT_EQ(doc.Views().size(), 3u);
        EXPECT_TRUE(frame->isVisible());
        Trigger(ID_FILE_CLOSE);
        QApplication::processEvents();
        EXPECT_TRUE(frame->Documents().empty());
    }
}

// During a run the lamp is on, Execute reads Stop, and no other document can run or compute;
// Stop asks first, and then all is as before the run.
TEST_F(RunsTest, OneRunAtATimeUntilStopped) {
    std::filesystem::copy_file(root + "/model.tvd", root + "/other.tvd");
    CTivaneDoc& other = *frame->OpenDocumentFile(root + "/other.tvd");
    Write("model.tvd", "100000000");
    CTivaneDoc& doc = Open();
    bool lamp = false;
    DuringRun([&] {
        lamp = frame->RunningLook();
        frame->UpdateMenus();
        EXPECT_EQ(frame->Action(ID_EXECUTE)->text(), "Stop &Execution");
        Activate(*other.Views().front());
        Trigger(ID_EXECUTE);
        dialogs->inputs = {"1"};
        Trigger(ID_COMPUTE_EXPRESSION);
        EXPECT_EQ(dialogs->inputs.size(), 1u)
            << "the refused Compute Expression asked for a program";
        EXPECT_FALSE(other.Running());
        Activate(*doc.Views().front());
        dialogs->answers = {Answer::Ok};
        Trigger(ID_EXECUTE);
    });
    Activate(*doc.Views().front());
    Trigger(ID_EXECUTE);
    EXPECT_TRUE(lamp);
    EXPECT_EQ(dialogs->Count(doctext::kAnotherRunning), 1);
    EXPECT_EQ(dialogs->Count("Do you want to stop it?"), 1);
    EXPECT_EQ(dialogs->Count("User stopped execution."), 1);
    EXPECT_EQ(other.MainContext(), nullptr);
    EXPECT_FALSE(frame->RunningLook());
    EXPECT_FALSE(doc.Running());
    EXPECT_EQ(frame->Action(ID_EXECUTE)->text(), "&Execute");
}

TEST_F(RunsTest, ADialogLeftOpenInAPassDoesNotHoldBackTheNextPass) {
    Write("model.tvd", "100000000");
    Open();
    QElapsedTimer clock;
    qint64 gap = -1;
    DuringRun([&] {
        QDialog box(frame.get());
        QTimer::singleShot(1000, &box, &QDialog::accept);
        box.exec();
        clock.start();
        // Fires in the next pass, whenever the run lets one through.
        QTimer::singleShot(0, frame.get(), [&] {
            gap = clock.elapsed();
            dialogs->answers = {Answer::Ok};
            Trigger(ID_EXECUTE);
        });
    });
    Trigger(ID_EXECUTE);
    EXPECT_TRUE(gap >= 0 && gap < 150) << gap;
}

} // namespace
} // namespace tivane
