#pragma once
// Printing a window: a text window prints its text with the printer font of its screen font,
// a graphics window one page by a full replay in the printer's points.

#include <memory>

class QPrinter;
class QWidget;

namespace tivane {

class CViewBase;
class CTivaneGraph;
class CTivaneView;
class DialogSeam;

// Print, Print Preview and Print Setup, with the one printer they share: the page setup
// chosen once holds for every print after it.
class Printing {
public:
    Printing(QWidget& parent, DialogSeam& dialogs);
    ~Printing();

    // Print (after the print dialog) or Print Preview of a view's window; refused, with a
    // message, while the view's document runs.
    void Print(CViewBase& view, bool preview);
    void Setup();

private:
    QPrinter& Printer();

    QWidget& m_parent;
    DialogSeam& m_dialogs;
    std::unique_ptr<QPrinter> m_printer;
};

// The pages themselves, onto a printer that is set up.
void PrintGraph(const CTivaneGraph& view, QPrinter& printer);
void PrintText(const CTivaneView& view, QPrinter& printer);

} // namespace tivane
