#pragma once
// The child frame of one view's window inside the main window, and the window surface that
// the view talks to. The view owns the surface; the frame belongs to the MDI area. Either
// may go first: a closed window detaches its view, a destroyed view deletes its window.

#include <QMdiSubWindow>
#include <QPointer>
#include <QRect>
#include <memory>

#include "ui.h"

namespace tivane {

class CMainFrame;
class MovieRecorder;
class CViewBase;
class GraphWidget;
class TextWidget;

class CTivaneFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    CTivaneFrame(CMainFrame& main, CViewBase& view);
    ~CTivaneFrame() override;

    CViewBase* View() const { return m_view; }
    void DetachView() { m_view = nullptr; }
    TextWidget* Text() const { return m_text; }
    GraphWidget* Graph() const { return m_graph; }

    // Save as AVI: a save dialog beside the document, proposing the first free output.avi,
    // output1.avi, ...; a name of a format the recorder cannot write, or one another window
    // records into, is refused; an existing file is replaced only when the person says so.
    // Then records the window from its next paint on, one frame per update. Nothing while a
    // recording is requested or running (Save as AVI then stops it: CMainFrame::SaveAvi).
    void StartRecording();
    // Finalises the movie and puts it in place; done before the view goes. The status bar
    // says whether the movie was saved, had no frame, or failed and why.
    void StopRecording();
    MovieRecorder* Recorder() const { return m_recorder.get(); }

    WindowPlacement Placement() const;
    void SetPlacement(const WindowPlacement& placement);

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void RememberNormalGeometry();

    CMainFrame& m_main;
    CViewBase* m_view;
    TextWidget* m_text = nullptr;
    GraphWidget* m_graph = nullptr;
    QRect m_normal; // the restored geometry, kept while minimized or maximized
    std::unique_ptr<MovieRecorder> m_recorder;
};

// What a view sees of its window.
class FrameSurface final : public WindowSurface {
public:
    explicit FrameSurface(CTivaneFrame* frame) : m_frame(frame) {}
    ~FrameSurface() override;

    void SetCaption(const std::string& caption) override;
    WindowPlacement Placement() const override;
    void SetPlacement(const WindowPlacement& placement) override;
    void Invalidate(bool erase) override;
    int32_t ClientWidth() const override;
    int32_t ClientHeight() const override;
    double LogicalDpiX() const override;
    std::string Text() const override;
    void SetText(std::string_view text) override;
    void ShowOutput(std::string_view text, size_t dropped) override;
    void SetFont(const FontSpec& font) override;

private:
    QPointer<CTivaneFrame> m_frame;
    // What the window last held, for when it is gone.
    mutable std::string m_text;
    mutable WindowPlacement m_placement;
};

} // namespace tivane
