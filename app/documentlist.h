#pragma once
// The open documents of the main window: opening (a document open already only comes to the
// front), File New, saving, closing with the question whether to save, the list of recently
// used files, and the deletion of closed documents once nothing on the stack uses them.

#include <QObject>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "filesearch.h"

class QAction;
class QTimer;

namespace tivane {

class AppUi;
class CMainFrame;
class CTivaneDoc;
class CTivaneFrame;

// The recent files' menu texts: the file's name, and where two share it, its folder too.
QStringList RecentFileLabels(const QStringList& paths);

class DocumentList final : public QObject {
    Q_OBJECT
public:
    DocumentList(CMainFrame& main, AppUi& ui, SearchContext search);
    // Views before their documents, and both before the windows they would reach.
    ~DocumentList() override;

    const std::vector<std::unique_ptr<CTivaneDoc>>& Documents() const { return m_docs; }
    // Opening a document: refused for a template file; a document that is open already
    // only comes to the front. None when it could not be opened (the reason was shown).
    CTivaneDoc* Open(const std::string& path);
    // File Open and File New: the "Open Equation" prompt; a new name makes an empty document
    // and an empty layout file.
    void OpenOrCreate();
    bool Save(CTivaneDoc& doc, const std::string& path);
    void SaveAs(CTivaneDoc& doc);
    // Closes every window of a document and the document; false when the user cancelled the
    // question whether to save it.
    bool Close(CTivaneDoc& doc, bool askToSave);
    // Closes every document, asking about each; false when one was kept.
    bool CloseAll();
    // Closes a document without asking and opens its file again, windows and all.
    void Reopen(CTivaneDoc& doc);
    // A window asks to close; false keeps it open. The last window takes its document.
    bool FrameClosing(CTivaneFrame& frame);
    // True while any document, open or closed, is in the middle of a command.
    bool AnyBusy() const;
    // File menu entries of the recently used files; hidden when unused.
    const std::vector<QAction*>& RecentActions() const { return m_recentActions; }

Q_SIGNALS:
    // Documents or windows came or went: the menus follow.
    void changed();

private:
    bool AskToSave(CTivaneDoc& doc);
    // Finalises the movies of a document's windows before its views go.
    void StopRecordings(const CTivaneDoc& doc);
    // Deletes the closed documents once no message pass is running.
    void DeleteClosed();
    // A recent file that is gone is said so and taken off the list.
    void OpenRecent(const QString& path);
    void UpdateRecentFiles();
    void AddRecentFile(const std::string& path);

    CMainFrame& m_main;
    AppUi& m_ui;
    SearchContext m_search;
    std::vector<std::unique_ptr<CTivaneDoc>> m_docs;
    // Closed documents wait here until no message pass is on the stack.
    std::vector<std::unique_ptr<CTivaneDoc>> m_closed;
    QTimer* m_reaper;
    std::vector<QAction*> m_recentActions;
};

} // namespace tivane
