#include "printing.h"

#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextDocument>

#include "dialogs.h"
#include "mainframe.h"
#include "replay.h"
#include "tivanegraph.h"
#include "tivaneview.h"

namespace tivane {

void PrintGraph(const CTivaneGraph& view, QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer)) return;
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    ReplayState state; // a page is always a full replay
    const ReplayTarget target{page.size(), static_cast<double>(printer.logicalDpiX()), true};
    Replay(view.List(), view.Model().Clip(), painter, target, state);
    painter.end();
}

void PrintText(const CTivaneView& view, QPrinter& printer) {
    QTextDocument document;
    QString text = BytesToText(view.Surface().Text());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    document.setPlainText(text);
    // The screen font re-made for the printer: the same size in inches.
    const FontSpec& font = view.Font();
    document.setDefaultFont(
        LookupFont(font.face, view.PrinterFontHeight(printer.logicalDpiY()), font.flags));
    document.print(&printer);
}

namespace {
void PrintPages(CViewBase& view, QPrinter& printer) {
    if (view.Kind() == ViewKind::Graphics)
        PrintGraph(static_cast<CTivaneGraph&>(view), printer);
    else
        PrintText(static_cast<CTivaneView&>(view), printer);
}
} // namespace

void PrintView(CMainFrame& main, CViewBase& view, bool preview) {
    QPrinter& printer = main.Printer();
    if (view.Kind() == ViewKind::Graphics) printer.setFromTo(1, 1); // one page
    if (preview) {
        QPrintPreviewDialog dialog(&printer, &main);
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &main,
                         [&view](QPrinter* p) { PrintPages(view, *p); });
        dialog.exec();
        return;
    }
    QPrintDialog dialog(&printer, &main);
    if (dialog.exec() == QDialog::Accepted) PrintPages(view, printer);
}

} // namespace tivane
