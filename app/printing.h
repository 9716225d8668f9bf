#pragma once
// Printing a window: a text window prints its text with the printer font of its screen font,
// a graphics window one page by a full replay in the printer's points.

class QPrinter;

namespace tivane {

class CMainFrame;
class CViewBase;
class CTivaneGraph;
class CTivaneView;

// Print (after the print dialog) or Print Preview of a view's window.
void PrintView(CMainFrame& main, CViewBase& view, bool preview);
// The pages themselves, onto a printer that is set up.
void PrintGraph(const CTivaneGraph& view, QPrinter& printer);
void PrintText(const CTivaneView& view, QPrinter& printer);

} // namespace tivane
