#include "icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "mainframe.h"

namespace tivane {

namespace {

QPixmap Blank() {
    QPixmap pixmap(16, 15);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void DrawPage(QPainter& p) {
    p.setPen(QColor(64, 64, 64));
    p.setBrush(Qt::white);
    p.drawRect(3, 1, 9, 12);
}

void DrawLetter(QPainter& p, const QString& letter, QColor colour) {
    QFont font("DejaVu Sans", 1);
    font.setPixelSize(11);
    font.setBold(true);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(QRect(0, 0, 16, 15), Qt::AlignCenter, letter);
}

// A signal housing with two lamps: the upper one red while running, the lower one green
// while not.
void DrawLamps(QPainter& p, bool running) {
    p.setPen(Qt::black);
    p.setBrush(QColor(60, 60, 60));
    p.drawRoundedRect(4, 0, 8, 14, 2, 2);
    p.setBrush(running ? QColor(255, 30, 30) : QColor(90, 20, 20));
    p.drawEllipse(5, 1, 5, 5);
    p.setBrush(running ? QColor(20, 80, 20) : QColor(40, 230, 40));
    p.drawEllipse(5, 8, 5, 5);
}

} // namespace

QIcon ToolIcon(int command, bool running) {
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    switch (command) {
    case ID_FILE_OPEN:
        p.setPen(QColor(120, 90, 0));
        p.setBrush(QColor(240, 200, 80));
        p.drawRect(1, 4, 13, 9);
        p.drawRect(1, 2, 5, 2);
        break;
    case ID_FILE_SAVE:
        p.setPen(QColor(0, 0, 80));
        p.setBrush(QColor(40, 60, 160));
        p.drawRect(1, 1, 13, 12);
        p.setBrush(Qt::white);
        p.drawRect(4, 1, 7, 4);
        p.fillRect(5, 9, 6, 4, QColor(200, 200, 200));
        break;
    case ID_EXECUTE:
        DrawLamps(p, running);
        break;
    case ID_COMPUTE_EXPRESSION:
        DrawLetter(p, "=", QColor(0, 0, 160));
        break;
    case ID_CONFIGURE:
        DrawLetter(p, "S", QColor(0, 110, 0));
        break;
    case ID_CLEAR_ALL:
        DrawPage(p);
        p.setPen(QPen(QColor(200, 0, 0), 2));
        p.drawLine(3, 2, 12, 12);
        p.drawLine(12, 2, 3, 12);
        break;
    case ID_EDIT_CUT:
        p.setPen(QPen(Qt::black, 1));
        p.drawEllipse(2, 9, 4, 4);
        p.drawEllipse(9, 9, 4, 4);
        p.drawLine(5, 9, 11, 1);
        p.drawLine(10, 9, 4, 1);
        break;
    case ID_EDIT_COPY:
        p.setPen(QColor(64, 64, 64));
        p.setBrush(Qt::white);
        p.drawRect(1, 1, 8, 9);
        p.drawRect(6, 4, 8, 9);
        break;
    case ID_EDIT_PASTE:
        p.setPen(QColor(90, 60, 0));
        p.setBrush(QColor(200, 150, 60));
        p.drawRect(2, 2, 10, 12);
        p.setBrush(Qt::white);
        p.drawRect(6, 6, 8, 8);
        break;
    case ID_FILE_PRINT:
        p.setPen(Qt::black);
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(1, 6, 14, 6);
        p.setBrush(Qt::white);
        p.drawRect(4, 1, 8, 5);
        p.drawRect(4, 10, 8, 4);
        break;
    case ID_APP_ABOUT:
        DrawLetter(p, "?", QColor(0, 0, 160));
        break;
    case ID_CONTEXT_HELP:
        p.setPen(Qt::black);
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygon({QPoint(1, 1), QPoint(1, 11), QPoint(4, 8), QPoint(7, 13)}));
        DrawLetter(p, "   ?", QColor(0, 0, 160));
        break;
    default:
        break;
    }
    return QIcon(pixmap);
}

void PaintAppIcon(QPainter& p, int size) {
    p.save();
    // Drawn on a 32 x 32 grid, scaled to the size asked for.
    p.scale(size / 32.0, size / 32.0);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(30, 70, 160));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(1, 1, 30, 30, 6, 6);
    QPainterPath wave;
    wave.moveTo(4, 16);
    wave.cubicTo(10, 2, 14, 2, 16, 16);
    wave.cubicTo(18, 30, 22, 30, 28, 16);
    p.setPen(QPen(QColor(255, 220, 60), 3));
    p.setBrush(Qt::NoBrush);
    p.drawPath(wave);
    p.restore();
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 32, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        PaintAppIcon(p, size);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace tivane
