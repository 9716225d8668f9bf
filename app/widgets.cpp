#include "widgets.h"

#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QTextBlock>

#include "dialogs.h"
#include "helptopic.h"
#include "tivanegraph.h"

namespace tivane {

namespace {

// The editor keeps line breaks as '\n'; the views' texts use CR LF, and a lone CR is a line
// break too.
QString EditorBreaks(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace('\r', '\n');
    return text;
}

// The line breaks in `bytes` as the editor counts them: CR LF is one.
int LineBreaks(std::string_view bytes) {
    int breaks = 0;
    for (size_t k = 0; k < bytes.size(); ++k) {
        if (bytes[k] == '\n' ||
            (bytes[k] == '\r' && (k + 1 == bytes.size() || bytes[k + 1] != '\n')))
            ++breaks;
    }
    return breaks;
}

} // namespace

TextWidget::TextWidget(QWidget* parent) : PlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    connect(document(), &QTextDocument::contentsChange, this, [this](int, int removed, int added) {
        if (m_setting || (removed == 0 && added == 0)) return;
        m_edited = true;
    });
}

std::string TextWidget::TextBytes() const {
    if (m_pending) return *m_pending;
    if (!m_edited) return m_bytes;
    QString text = toPlainText();
    text.replace('\n', QStringLiteral("\r\n"));
    return TextToBytes(text);
}

void TextWidget::SetTextBytes(std::string_view bytes) {
    m_pending.reset();
    if (!m_edited && bytes == m_bytes) return;
    m_setting = true;
    m_bytes = bytes;
    m_edited = false;
    setPlainText(EditorBreaks(BytesToText(bytes, &m_utf8)));
    // The text set is the one edits and undo are measured against.
    document()->setModified(false);
    moveCursor(QTextCursor::End);
    m_setting = false;
}

void TextWidget::ShowOutputBytes(std::string_view bytes, size_t dropped) {
    // Shows one after the other cut the sum of their cuts, or all that was shown.
    m_pendingDropped = std::min(m_pending ? m_pendingDropped + dropped : dropped, m_bytes.size());
    if (!m_pending)
        QMetaObject::invokeMethod(this, &TextWidget::ShowPendingOutput, Qt::QueuedConnection);
    m_pending = bytes;
}

void TextWidget::ShowPendingOutput() {
    if (!m_pending) return;
    const std::string bytes = std::move(*m_pending);
    m_pending.reset();
    if (!CutAndAppend(bytes, m_pendingDropped)) SetTextBytes(bytes);
}

bool TextWidget::CutAndAppend(std::string_view bytes, size_t dropped) {
    const std::string_view old = m_bytes;
    if (m_edited || dropped > old.size()) return false;
    const std::string_view kept = old.substr(dropped);
    if (bytes.substr(0, kept.size()) != kept) return false;
    // The cut must end after a line break, not between the CR and LF of one; the added text
    // must not start with the LF of a CR that ended the old text.
    const bool wholeLines = dropped == 0 || kept.empty() || old[dropped - 1] == '\n' ||
                            (old[dropped - 1] == '\r' && kept.front() != '\n');
    const std::string_view added = bytes.substr(kept.size());
    if (!wholeLines || (old.ends_with('\r') && added.starts_with('\n'))) return false;
    // The whole text must read as the window reads it: valid UTF-8 stays so when valid UTF-8
    // is added after a line break; text shown as Latin-1 stays so while the whole is not
    // valid UTF-8.
    bool utf8 = true;
    QString tail = BytesToText(added, &utf8);
    if (m_utf8 && !utf8) return false;
    if (!m_utf8) {
        if (BytesToText(bytes, &utf8); utf8) return false;
        tail = QString::fromLatin1(added.data(), static_cast<qsizetype>(added.size()));
    }

    m_setting = true;
    // Program output is no edit to undo, as with a text set anew.
    document()->setUndoRedoEnabled(false);
    QTextCursor cursor(document());
    if (dropped > 0) {
        if (kept.empty())
            cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        else
            cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor,
                                LineBreaks(old.substr(0, dropped)));
        cursor.removeSelectedText();
    }
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(EditorBreaks(tail));
    document()->setUndoRedoEnabled(true);
    m_bytes = bytes;
    moveCursor(QTextCursor::End);
    m_setting = false;
    return true;
}

void TextWidget::SetFontSpec(const FontSpec& font) {
    setFont(LookupFont(font.face, font.height, font.flags));
}

int32_t TextWidget::HelpTopicAtCaret() const {
    const QTextCursor cursor = textCursor();
    const int column = cursor.positionInBlock();
    return HelpTopicAt(TextToBytes(cursor.block().text()), column);
}

void TextWidget::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        Q_EMIT helpRequested(HelpTopicAtCaret());
        return;
    }
    // Ctrl+A is Clear All in every window; the editor's Select All stays in the Edit menu.
    if (event->keyCombination() == QKeyCombination(Qt::CTRL, Qt::Key_A)) {
        Q_EMIT clearAllRequested();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

bool PlainTextEdit::canInsertFromMimeData(const QMimeData* source) const {
    return source && !source->formats().isEmpty() && QPlainTextEdit::canInsertFromMimeData(source);
}

void PlainTextEdit::insertFromMimeData(const QMimeData* source) {
    if (source && !source->formats().isEmpty()) QPlainTextEdit::insertFromMimeData(source);
}

GraphWidget::GraphWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

void GraphWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    RedrawFromScratch();
}

void GraphWidget::RequestPaint() {
    if (m_paintRequested) return;
    m_paintRequested = true;
    update();
}

void GraphWidget::paintEvent(QPaintEvent*) {
    m_paintRequested = false;
    if (beforePaint) beforePaint();
    const QSize size = this->size();
    if (m_image.size() != size) {
        m_image = QImage(size, QImage::Format_RGB32);
        m_image.fill(Qt::white);
        RedrawFromScratch();
    }
    if (m_view) {
        // A resize, an erase or a cleared list starts the picture again; otherwise only the
        // new items are drawn.
        // The picture sits in the middle of a window wider or higher than its aspect; when
        // the middle moves (a new clip window), it is drawn again there.
        const QPoint origin = CentredOrigin(m_view->Model().Clip(), size);
        if (origin != m_origin) RedrawFromScratch();
        m_origin = origin;
        QPainter painter(&m_image);
        CatchUp(m_view->Model(), painter, m_image.rect(),
                ReplayTarget{size, static_cast<double>(logicalDpiX()), false}, m_state, origin);
    }
    QPainter(this).drawImage(0, 0, m_image);
}

} // namespace tivane
