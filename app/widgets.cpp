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
QString ToEditorText(std::string_view bytes) {
    QString text = BytesToText(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace('\r', '\n');
    return text;
}

} // namespace

TextWidget::TextWidget(QWidget* parent) : PlainTextEdit(parent) {
    setLineWrapMode(QPlainTextEdit::NoWrap);
    connect(document(), &QTextDocument::contentsChange, this, [this](int, int removed, int added) {
        if (m_setting || (removed == 0 && added == 0)) return;
        m_edited = true;
        Q_EMIT userEdited();
    });
}

std::string TextWidget::TextBytes() const {
    if (!m_edited) return m_bytes;
    QString text = toPlainText();
    text.replace('\n', QStringLiteral("\r\n"));
    return TextToBytes(text);
}

void TextWidget::SetTextBytes(std::string_view bytes) {
    if (!m_edited && bytes == m_bytes) return;
    m_setting = true;
    m_bytes = bytes;
    m_edited = false;
    setPlainText(ToEditorText(bytes));
    moveCursor(QTextCursor::End);
    m_setting = false;
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
        QPainter painter(&m_image);
        CatchUp(m_view->Model(), painter, m_image.rect(),
                ReplayTarget{size, static_cast<double>(logicalDpiX()), false}, m_state);
    }
    QPainter(this).drawImage(0, 0, m_image);
}

} // namespace tivane
