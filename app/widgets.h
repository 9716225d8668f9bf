#pragma once
// The two kinds of document window content, thin over their view classes: a text window
// (an editor that shows and edits bytes as UTF-8) and a graphics window (the replay of the
// view's draw list into an off-screen image, shown as it is).

#include <QImage>
#include <QPlainTextEdit>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

#include "replay.h"
#include "ui.h"

namespace tivane {

class CTivaneGraph;
class CTivaneView;

// The plain-text editor of every window and dialog: it pastes only data that has a format.
// An empty clipboard on X11 gives data without any, and the editor of Qt 6.4 then reads the
// first format of an empty list.
class PlainTextEdit : public QPlainTextEdit {
public:
    using QPlainTextEdit::QPlainTextEdit;

protected:
    // Paste, middle-click paste and drops come here.
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
};

class TextWidget : public PlainTextEdit {
    Q_OBJECT
public:
    explicit TextWidget(QWidget* parent = nullptr);

    // The text with every line break as CR LF. Text the user did not edit since it was set
    // comes back byte for byte as it was set.
    std::string TextBytes() const;
    void SetTextBytes(std::string_view bytes);
    // Program output: `bytes` is the text last shown with its first `dropped` bytes cut and
    // more appended. The window takes it at the next turn of the event loop (the next
    // message pass of a run), so a program that shows after every line pays for one update
    // per pass; it then only drops whole lines at its start and appends. TextBytes gives
    // the new text at once.
    void ShowOutputBytes(std::string_view bytes, size_t dropped);
    // Shows the output that waits for the event loop now.
    void ShowPendingOutput();
    void SetFontSpec(const FontSpec& font);

    // F1: the help topic of the word at the caret.
    int32_t HelpTopicAtCaret() const;

Q_SIGNALS:
    void helpRequested(int32_t topic);
    void clearAllRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // ShowOutputBytes when cutting and appending shows what SetTextBytes would; false when
    // it would not and nothing was changed.
    bool CutAndAppend(std::string_view bytes, size_t dropped);

    std::string m_bytes; // what was set, while unedited
    // Output that waits to be shown, and how much of m_bytes it cut from the front.
    std::optional<std::string> m_pending;
    size_t m_pendingDropped = 0;
    bool m_utf8 = true; // how m_bytes was decoded: UTF-8, or Latin-1
    bool m_edited = false;
    bool m_setting = false;
};

class GraphWidget : public QWidget {
    Q_OBJECT
public:
    explicit GraphWidget(QWidget* parent = nullptr);
    void SetView(CTivaneGraph* view) { m_view = view; }
    // The next paint replays the whole picture onto white.
    void RedrawFromScratch() { m_state.drawnIndex = -1; }
    // Asks for a paint, once until it comes: a drawing program asks after every few items.
    void RequestPaint();
    // Runs before each paint (a requested movie starts at the window's next paint).
    std::function<void()> beforePaint;
    // What the window shows now (tests and screenshots).
    const QImage& Picture() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    CTivaneGraph* m_view = nullptr;
    QImage m_image;
    bool m_paintRequested = false;
    // The window's own replay position in the view's model: only the widget writes it.
    ReplayState m_state;
    QPoint m_origin; // where the picture was last drawn
};

} // namespace tivane
