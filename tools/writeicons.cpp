// tivane_icons DIR SIZE...: writes the application's icon for the desktop, in the layout of an
// icon theme: DIR/NxN/apps/tivane.png for every size N, and DIR/scalable/apps/tivane.svg.
// Run by the build, so the installed icons are the picture the windows show.

#include <QBuffer>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cstdio>
#include <cstdlib>

#include "atomicfile.h"
#include "icons.h"
#include "qtenv.h"

namespace {

// Writes `bytes` to DIR/tivane.EXT, making DIR first; false after a message.
bool WriteIcon(const QString& folder, const char* extension, const QByteArray& bytes) {
    const std::string path = QStringLiteral("%1/tivane.%2").arg(folder, extension).toStdString();
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "tivane_icons: could not create %s\n", qPrintable(folder));
        return false;
    }
    const tivane::WriteResult r =
        tivane::WriteFileAtomically(path, std::string_view(bytes.constData(), bytes.size()));
    if (!r.Ok()) std::fprintf(stderr, "tivane_icons: %s: %s\n", path.c_str(), r.error.c_str());
    return r.Ok();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tivane_icons DIR SIZE...\n");
        return 2;
    }
    // Drawing needs Qt's GUI layer, never a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    tivane::PrepareQtEnvironment();
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);
    const QString root = QString::fromLocal8Bit(argv[1]);
    for (int k = 2; k < argc; ++k) {
        const int size = std::atoi(argv[k]);
        if (size < 1 || size > 1024) {
            std::fprintf(stderr, "tivane_icons: bad size %s\n", argv[k]);
            return 2;
        }
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter p(&image);
        tivane::PaintAppIcon(p, size);
        p.end();
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG") ||
            !WriteIcon(QStringLiteral("%1/%2x%2/apps").arg(root).arg(size), "png", png))
            return 1;
    }
    QByteArray svgBytes;
    QBuffer buffer(&svgBytes);
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(32, 32));
    svg.setViewBox(QRect(0, 0, 32, 32));
    svg.setTitle("Tivane");
    QPainter p(&svg);
    tivane::PaintAppIcon(p, 32);
    if (!p.end()) return 1;
    return WriteIcon(root + "/scalable/apps", "svg", svgBytes) ? 0 : 1;
}
