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

using RunsTest = AppTest;

// Restoring a layout passes messages once its first window is made; the end of a run is the
// first pass that no longer runs. Once the command is over, the same acts go through.
TEST_F(RunsTest, NothingClosesInTheLastPassOfARunNorWhileTheLayoutIsRestored) {
    const auto closeDocument = [this] { Trigger(ID_FILE_CLOSE); };
    const auto quit = [this] { frame->close(); };
    const auto clearAll = [this] { Trigger(ID_CLEAR_ALL); };
    const auto closeWindows = [this] {
        for (const auto& view : frame->Documents().front()->Views())
            frame->FrameOf(*view)->close();
    };
    const std::tuple<bool, std::function<void()>, const char*> rows[] = {
        {false, closeDocument, doctext::kCloseDocumentRunning},
        {false, closeWindows, doctext::kCloseWindowRunning},
        {false, quit, doctext::kQuitRunning},
        {false, clearAll, doctext::kClearRunning},
        {true, closeDocument, doctext::kCloseDocumentRunning},
        {true, quit, doctext::kQuitRunning}};
    for (const auto& [restore, act, message] : rows) {
        SCOPED_TRACE(std::string(message) + (restore ? " (restore)" : " (end)"));
        dialogs->boxes.clear();
        InPass(
            [&, restore = restore] {
                if (frame->Documents().empty()) return false;
                const CTivaneDoc& doc = *frame->Documents().front();
                return restore ? doc.Views().size() == 1 : doc.MainContext() && !doc.Running();
            },
            act);
        CTivaneDoc& doc = Open();
        if (!restore) Trigger(ID_EXECUTE);
        EXPECT_GE(dialogs->Count(message), 1);
        ASSERT_EQ(frame->Documents().size(), 1u);
        EXPECT_EQ(doc.Views().size(), 3u);
        EXPECT_TRUE(frame->isVisible());
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
    EXPECT_TRUE(gap >= 0 && gap < 150) << gap;
}

// On X11 an empty clipboard gives the editor data without any format; offscreen gives text.
struct NoDataTextWidget : TextWidget {
    using TextWidget::canInsertFromMimeData;
    using TextWidget::insertFromMimeData;
};

TEST_F(RunsTest, PastingAnEmptyClipboardChangesNothing) {
    CTivaneDoc& doc = Open();
    CViewBase& input = *doc.Views().front();
    TextWidget* editor = frame->FrameOf(input)->Text();
    const QString before = editor->toPlainText();
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
    QGuiApplication::clipboard()->clear(QClipboard::Selection);
    Activate(input);
    Trigger(ID_EDIT_PASTE);
    editor->paste();
    QTest::keyClick(editor, Qt::Key_V, Qt::ControlModifier);
    QTest::mouseClick(editor->viewport(), Qt::MiddleButton);
    EXPECT_EQ(editor->toPlainText(), before);
    NoDataTextWidget bare;
    bare.setPlainText("kept");
    const QMimeData nothing;
    for (const QMimeData* data : {&nothing, static_cast<const QMimeData*>(nullptr)}) {
        EXPECT_FALSE(bare.canInsertFromMimeData(data));
        bare.insertFromMimeData(data);
    }
    EXPECT_EQ(bare.toPlainText(), "kept");
    EXPECT_FALSE(doc.IsModified());
}

} // namespace
} // namespace tivane
