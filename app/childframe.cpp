#include "childframe.h"

#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include <QAction>
#include <QCloseEvent>
#include <QPointer>

#include "dialogs.h"
#include "icons.h"
#include "mainframe.h"
#include "movierecorder.h"
#include "tivanedoc.h"
#include "tivanegraph.h"
#include "tivaneview.h"
#include "videoformat.h"
#include "widgets.h"

namespace tivane {

namespace {
constexpr int16_t kShowNormal = 1, kShowMinimized = 2, kShowMaximized = 3;

// The movie formats as the filters of Save as AVI's dialog, AVI (what it always wrote) first.
std::vector<FileKind> MovieFileKinds() {
    constexpr std::pair<VideoFormat, const char*> kFormats[] = {{VideoFormat::Avi, "AVI"},
                                                                {VideoFormat::Mp4, "MP4"},
                                                                {VideoFormat::Webm, "WebM"},
                                                                {VideoFormat::Gif, "GIF"}};
    std::vector<FileKind> kinds;
    for (const auto& [format, name] : kFormats)
        kinds.push_back({name, {std::string(VideoExtension(format))}});
    return kinds;
}

// The status line of a movie that ended.
QString MovieOutcome(const MovieRecorder& recorder) {
    const QString name = QString::fromStdString(recorder.FileName());
    if (recorder.Saved()) return QStringLiteral("The movie %1 is saved.").arg(name);
    if (recorder.LastErrorText() == AviWriter::kSucceeded)
        return QStringLiteral("No frame was recorded; no movie was written.");
    return QStringLiteral("The movie %1 could not be written: %2")
        .arg(name, QString::fromStdString(recorder.LastErrorText()));
}
} // namespace

CTivaneFrame::CTivaneFrame(CMainFrame& main, CViewBase& view) : m_main(main), m_view(&view) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(AppIcon());
    if (view.Kind() == ViewKind::Text) {
        m_text = new TextWidget(this);
        setWidget(m_text);
        // Edits of the main input change the document, until undone; output windows are
        // scratch.
        connect(m_text->document(), &QTextDocument::modificationChanged, this,
                [this](bool modified) {
                    if (!m_view || !m_view->IsMainInput()) return;
                    CTivaneDoc::Of(*m_view).SetInputEdited(modified);
                    m_main.UpdateTitle();
                });
        connect(m_text, &TextWidget::helpRequested, &main, &CMainFrame::ShowHelpTopic);
        connect(m_text, &TextWidget::clearAllRequested, &main,
                [&main] { main.Action(ID_CLEAR_ALL)->trigger(); });
    } else {
        m_graph = new GraphWidget(this);
        m_graph->SetView(static_cast<CTivaneGraph*>(&view));
        setWidget(m_graph);
    }
    resize(480, 360);
    m_normal = geometry();
}

CTivaneFrame::~CTivaneFrame() {
    StopRecording();
}

void CTivaneFrame::StartRecording() {
    auto* graph = m_view && m_graph ? static_cast<CTivaneGraph*>(m_view) : nullptr;
    if (!graph || (m_recorder && m_recorder->Requested())) return;
    m_recorder.reset();
    GraphWidget* widget = m_graph;
    // The dialog opens beside the document and proposes a name no file has yet.
    const std::string& document = CTivaneDoc::Of(*m_view).PathName();
    SaveFileRequest request =
        SaveBesideDocument(document, "Save as AVI", MovieFileKinds(), 0, "output");
    request.name = std::filesystem::path(NextMovieFileName(request.folder)).filename();
    Dialogs& dialogs = m_main.dialogs();
    const QPointer<CTivaneFrame> self(this);
    const std::optional<std::string> name = dialogs.AskSaveFileName(request);
    // A program running meanwhile may have closed the window or ended its view.
    if (!self || !name || name->empty() || !m_view) return;
    if (const VideoFormatChoice choice = VideoFormatForName(*name); !choice.format) {
        dialogs.MessageBox(choice.refusal, MessageIcon::Stop, 0);
        return;
    }
    if (MovieFileInUse(*name)) {
        dialogs.MessageBox("The movie " + *name + " is being recorded by another window.",
                           MessageIcon::Stop, 0);
        return;
    }
    if (!MayReplaceFile(dialogs, *name) || !self || !m_view) return;
    m_recorder = std::make_unique<MovieRecorder>(
        *graph, *name, [widget] { return widget->size(); }, logicalDpiX());
    m_recorder->onStopped = [this](MovieRecorder::StopReason reason) {
        const QString outcome = MovieOutcome(*m_recorder);
        m_main.ShowStatus(reason == MovieRecorder::StopReason::SizeChanged
                              ? QStringLiteral("The window changed its size. ") + outcome
                              : outcome);
    };
    if (!m_recorder->Start()) {
        m_recorder.reset();
        return;
    }
    m_main.ShowStatus(QStringLiteral("Recording %1: one frame per update.")
                          .arg(QString::fromStdString(m_recorder->FileName())));
    // The recording starts at the window's next paint, with the size it then shows.
    widget->beforePaint = [this] {
        if (m_recorder && m_recorder->Requested() && !m_recorder->Recording())
            m_recorder->BeginIfRequested(m_graph->size());
    };
    m_graph->update();
}

void CTivaneFrame::StopRecording() {
    if (!m_recorder) return;
    // A recording that stopped by itself has told its outcome already.
    const bool wasRecording = m_recorder->Requested();
    m_recorder->Stop();
    const QString outcome = MovieOutcome(*m_recorder);
    m_recorder.reset();
    if (m_graph) m_graph->beforePaint = nullptr;
    if (wasRecording) m_main.ShowStatus(outcome);
}

void CTivaneFrame::closeEvent(QCloseEvent* event) {
    if (!m_view) {
        event->accept();
        return;
    }
    if (!m_main.FrameClosing(*this)) {
        event->ignore();
        return;
    }
    QMdiSubWindow::closeEvent(event);
}

void CTivaneFrame::RememberNormalGeometry() {
    if (!isMinimized() && !isMaximized()) m_normal = geometry();
}

void CTivaneFrame::moveEvent(QMoveEvent* event) {
    QMdiSubWindow::moveEvent(event);
    RememberNormalGeometry();
}

void CTivaneFrame::resizeEvent(QResizeEvent* event) {
    QMdiSubWindow::resizeEvent(event);
    RememberNormalGeometry();
}

WindowPlacement CTivaneFrame::Placement() const {
    WindowPlacement p;
    p.showCmd = isMinimized() ? kShowMinimized : isMaximized() ? kShowMaximized : kShowNormal;
    p.left = m_normal.left();
    p.top = m_normal.top();
    p.right = m_normal.left() + m_normal.width();
    p.bottom = m_normal.top() + m_normal.height();
    return p;
}

void CTivaneFrame::SetPlacement(const WindowPlacement& p) {
    const int width = std::clamp(p.right - p.left, 40, 20000);
    const int height = std::clamp(p.bottom - p.top, 30, 20000);
    showNormal();
    setGeometry(std::clamp(p.left, -10000, 20000), std::clamp(p.top, -10000, 20000), width, height);
    m_normal = geometry();
    if (p.showCmd == kShowMinimized)
        showMinimized();
    else if (p.showCmd == kShowMaximized)
        showMaximized();
}

FrameSurface::~FrameSurface() {
    if (!m_frame) return;
    m_frame->DetachView();
    if (GraphWidget* graph = m_frame->Graph()) graph->SetView(nullptr);
    // Deletion waits for the event loop, which may be a while inside a long pass.
    m_frame->hide();
    m_frame->deleteLater();
}

void FrameSurface::SetCaption(const std::string& caption) {
    if (m_frame) m_frame->setWindowTitle(BytesToText(caption));
}

WindowPlacement FrameSurface::Placement() const {
    if (m_frame) m_placement = m_frame->Placement();
    return m_placement;
}

void FrameSurface::SetPlacement(const WindowPlacement& placement) {
    m_placement = placement;
    if (m_frame) m_frame->SetPlacement(placement);
}

void FrameSurface::Invalidate(bool erase) {
    if (!m_frame) return;
    if (GraphWidget* graph = m_frame->Graph()) {
        if (erase) graph->RedrawFromScratch();
        graph->RequestPaint();
    } else if (TextWidget* text = m_frame->Text()) {
        text->viewport()->update();
    }
}

int32_t FrameSurface::ClientWidth() const {
    return m_frame && m_frame->widget() ? m_frame->widget()->width() : 0;
}

int32_t FrameSurface::ClientHeight() const {
    return m_frame && m_frame->widget() ? m_frame->widget()->height() : 0;
}

double FrameSurface::LogicalDpiX() const {
    return m_frame ? m_frame->logicalDpiX() : 96.0;
}

std::string FrameSurface::Text() const {
    if (m_frame && m_frame->Text()) m_text = m_frame->Text()->TextBytes();
    return m_text;
}

void FrameSurface::SetText(std::string_view text) {
    m_text = text;
    if (m_frame && m_frame->Text()) m_frame->Text()->SetTextBytes(text);
}

void FrameSurface::ShowOutput(std::string_view text, size_t dropped) {
    m_text = text;
    if (m_frame && m_frame->Text()) m_frame->Text()->ShowOutputBytes(text, dropped);
}

void FrameSurface::SetFont(const FontSpec& font) {
    if (m_frame && m_frame->Text()) m_frame->Text()->SetFontSpec(font);
}

} // namespace tivane
