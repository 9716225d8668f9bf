#include "printing.h"

#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextDocument>

#include "dialogs.h"
#include "replay.h"
#include "tivanedoc.h"
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

constexpr const char* kPrintRunning = "Do not use printing while a program is still executing.";

void PrintPages(CViewBase& view, QPrinter& printer) {
    if (view.Kind() == ViewKind::Graphics)
        PrintGraph(static_cast<CTivaneGraph&>(view), printer);
    else
        PrintText(static_cast<CTivaneView&>(view), printer);
}
} // namespace

Printing::Printing(QWidget& parent, DialogSeam& dialogs) : m_parent(parent), m_dialogs(dialogs) {}

Printing::~Printing() = default;

QPrinter& Printing::Printer() {
    if (!m_printer) m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

void Printing::Print(CViewBase& view, bool preview) {
    if (view.Doc().Running()) {
        m_dialogs.MessageBox(kPrintRunning, MessageIcon::Stop, 0);
        return;
    }
    QPrinter& printer = Printer();
    if (view.Kind() == ViewKind::Graphics) printer.setFromTo(1, 1); // one page
    if (preview) {
        QPrintPreviewDialog dialog(&printer, &m_parent);
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                         [&view](QPrinter* p) { PrintPages(view, *p); });
        dialog.exec();
        return;
    }
    QPrintDialog dialog(&printer, &m_parent);
    if (dialog.exec() == QDialog::Accepted) PrintPages(view, printer);
}

void Printing::Setup() {
    QPageSetupDialog dialog(&Printer(), &m_parent);
    dialog.exec();
}

} // namespace tivane
