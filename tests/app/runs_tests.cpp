// What a person can do while a command runs: commands that arrive in a message pass (during a
// run, in the last pass after it, while a layout is restored), another document's run, a
// dialog left open in a pass, and pastes with nothing on the clipboard.

#include <QClipboard>
#include <QDialog>
#include <QElapsedTimer>
#include <QMimeData>
#include <QTest>

#include "apptest.h"
#include "childframe.h"
#include "tivaneview.h"
#include "widgets.h"

namespace tivane {
namespace {

class RunsTest : public AppTest {
protected:
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
    void CloseEveryWindow(CTivaneDoc& doc) {
        for (const auto& view : doc.Views())
            frame->FrameOf(*view)->close();
    }
};

TEST_F(RunsTest, NothingClosesInTheLastPassOfARunNorWhileTheLayoutIsRestored) {
    struct Row {
        const char* phase;
        std::function<void(CTivaneDoc&)> act;
        const char* message;
    };
    const std::vector<Row> rows = {
        {"end", [this](CTivaneDoc&) { Trigger(ID_FILE_CLOSE); }, doctext::kCloseDocumentRunning},
        {"end", [this](CTivaneDoc& d) { CloseEveryWindow(d); }, doctext::kCloseWindowRunning},
        {"end", [this](CTivaneDoc&) { frame->close(); }, doctext::kQuitRunning},
        {"end", [this](CTivaneDoc&) { Trigger(ID_CLEAR_ALL); }, doctext::kClearRunning},
        {"restore", [this](CTivaneDoc&) { Trigger(ID_FILE_CLOSE); },
         doctext::kCloseDocumentRunning},
        {"restore", [this](CTivaneDoc&) { frame->close(); }, doctext::kQuitRunning},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        dialogs->boxes.clear();
        const bool restore = std::string(row.phase) == "restore";
        InPass(
            [&] {
                if (frame->Documents().empty()) return false;
                const CTivaneDoc& doc = *frame->Documents().front();
                // Restoring passes messages once its first window is made; the end of a run
                // is the first pass that no longer runs.
                return restore ? doc.Views().size() == 1 : doc.MainContext() && !doc.Running();
            },
            [&] { row.act(*frame->Documents().front()); });
        CTivaneDoc& doc = Open();
        if (!restore) Trigger(ID_EXECUTE);
        EXPECT_GE(dialogs->Count(row.message), 1) << row.phase;
        ASSERT_EQ(frame->Documents().size(), 1u);
        EXPECT_EQ(doc.Views().size(), 3u);
        EXPECT_TRUE(frame->isVisible());
        // Once the command is over, the same acts go through.
        Trigger(ID_FILE_CLOSE);
        QApplication::processEvents();
        EXPECT_TRUE(frame->Documents().empty());
    }
}

TEST_F(RunsTest, AnotherDocumentCannotRunWhileOneRuns) {
    std::filesystem::copy_file(root + "/model.tvd", root + "/other.tvd");
    CTivaneDoc& other = *frame->OpenDocumentFile(root + "/other.tvd");
    Write("model.tvd", "100000000");
    CTivaneDoc& doc = Open();
    DuringRun([&] {
        Activate(*other.Views().front());
        Trigger(ID_EXECUTE);
        Trigger(ID_COMPUTE_EXPRESSION);
        EXPECT_FALSE(other.Running());
        Activate(*doc.Views().front());
        dialogs->answers = {Answer::Ok};
        Trigger(ID_EXECUTE);
    });
    Activate(*doc.Views().front());
    Trigger(ID_EXECUTE);
    EXPECT_EQ(dialogs->Count(doctext::kAnotherRunning), 1);
    EXPECT_EQ(dialogs->Count("User stopped execution."), 1);
    EXPECT_EQ(other.MainContext(), nullptr);
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
    ASSERT_GE(gap, 0);
    EXPECT_LT(gap, 150);
}

// An empty clipboard on X11 hands editors data without any format; offscreen it can be set.
TEST_F(RunsTest, PastingDataWithoutAFormatChangesNoEditor) {
    CTivaneDoc& doc = Open();
    auto& input = dynamic_cast<CTivaneView&>(*doc.Views().front());
    TextWidget* editor = frame->FrameOf(input)->Text();
    const QString before = editor->toPlainText();
    QGuiApplication::clipboard()->setMimeData(new QMimeData);
    Activate(input);
    Trigger(ID_EDIT_PASTE);
    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    QTest::mouseClick(editor->viewport(), Qt::MiddleButton);
    EXPECT_EQ(editor->toPlainText(), before);
    EXPECT_FALSE(doc.IsModified());
    // The View Setup dialog's editor.
    QtDialogs real(frame.get());
    QString pasted;
    QTimer::singleShot(0, frame.get(), [&] {
        QWidget* box = QApplication::activeModalWidget();
        auto* area = box ? box->findChild<QPlainTextEdit*>("setupText") : nullptr;
        if (area) QTest::keyClick(area, Qt::Key_V, Qt::ControlModifier);
        if (area) pasted = area->toPlainText();
        if (box) box->close();
    });
    real.EditViewSetup("line width 3");
    EXPECT_EQ(pasted, "line width 3");
}

} // namespace
} // namespace tivane
