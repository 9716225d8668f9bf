#pragma once
// The main window: the MDI area holding every document window, the menus, the toolbar with
// its Execute lamp and the status bar. It owns the open documents, implements the dialog
// seam for them, and turns commands into document and view operations.

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <map>
#include <memory>
#include <vector>

#include "dialogs.h"
#include "filesearch.h"
#include "ui.h"

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QPrinter;
class QTimer;
class QToolBar;

namespace tivane {

class CTivaneDoc;
class CTivaneFrame;
class CViewBase;
class HelpWindow;

// The commands, by the numbers their help and status prompts are known by.
enum Command : int {
    ID_FILE_NEW = 0xE100,
    ID_FILE_OPEN = 0xE101,
    ID_FILE_CLOSE = 0xE102,
    ID_FILE_SAVE = 0xE103,
    ID_FILE_SAVE_AS = 0xE104,
    ID_FILE_PRINT_SETUP = 0xE106,
    ID_FILE_PRINT = 0xE107,
    ID_FILE_PRINT_PREVIEW = 0xE109,
    ID_EDIT_COPY = 0xE122,
    ID_EDIT_CUT = 0xE123,
    ID_EDIT_FIND = 0xE124,
    ID_EDIT_PASTE = 0xE125,
    ID_EDIT_REPLACE = 0xE129,
    ID_EDIT_SELECT_ALL = 0xE12A,
    ID_EDIT_UNDO = 0xE12B,
    ID_WINDOW_ARRANGE = 0xE131,
    ID_WINDOW_CASCADE = 0xE132,
    ID_WINDOW_TILE = 0xE133,
    ID_APP_ABOUT = 0xE140,
    ID_APP_EXIT = 0xE141,
    ID_HELP_INDEX = 0xE142,
    ID_HELP_USING = 0xE144,
    ID_CONTEXT_HELP = 0xE145,
    ID_HELP = 0xE146,
    ID_VIEW_TOOLBAR = 0xE800,
    ID_VIEW_STATUS_BAR = 0xE801,
    ID_CHANGE_TEMPLATE = 0x8009,
    ID_VIEW_FIRST = 0x800C, // + view number, 0 to 9
    ID_MAIN_INPUT = 0x8016,
    ID_CONFIGURE = 0x8017,
    ID_EXECUTE = 0x8018,
    ID_COMPUTE_EXPRESSION = 0x8019,
    ID_SAVE_CONTENTS = 0x801A,
    ID_CLEAR_ALL = 0x801B,
    ID_SAVE_AVI = 0x801C,
};

class CMainFrame final : public QMainWindow, public Ui {
    Q_OBJECT
public:
    explicit CMainFrame(SearchContext search);
    ~CMainFrame() override;

    // Opening a document: refused for a template file; a document that is open already
    // only comes to the front. None when it could not be opened (the reason was shown).
    CTivaneDoc* OpenDocumentFile(const std::string& path);
    // File Open and File New: the "Open Equation" prompt; a new name makes an empty document
    // and an empty layout file.
    void OpenOrCreateDocument();

    const std::vector<std::unique_ptr<CTivaneDoc>>& Documents() const { return m_docs; }
    CViewBase* ActiveView() const;
    CTivaneDoc* ActiveDocument() const;
    CTivaneFrame* FrameOf(const CViewBase& view) const;
    QAction* Action(Command command) const;
    QMenu* ViewMenu() const { return m_viewMenu; }
    bool RunningLook() const { return m_runningLook; }
    // Tests script the dialogs.
    void SetDialogs(std::unique_ptr<Dialogs> dialogs);
    Dialogs& dialogs() { return *m_dialogs; }
    // The shared printer of Print Setup, Print and Print Preview.
    QPrinter& Printer();

    // A message in the status bar (recordings starting and ending).
    void ShowStatus(const QString& message);

    // A window asks to close; false keeps it open.
    bool FrameClosing(CTivaneFrame& frame);

    // The dialog seam of the documents.
    void MessageBox(std::string_view text, MessageIcon icon, uint32_t helpContext) override;
    Answer AskOkCancel(std::string_view text, MessageIcon icon) override;
    std::optional<std::string> GetUserInput(std::string_view prompt,
                                            std::string_view initial) override;
    bool AskYesNo(std::string_view question) override;
    std::optional<std::string> EditViewSetup(std::string_view setupText) override;
    std::optional<std::string> ChooseTemplate() override;
    void PumpMessages() override;
    void SetRunningLook(bool running) override;
    std::unique_ptr<WindowSurface> MakeWindow(CViewBase& view) override;

public Q_SLOTS:
    void ShowHelpTopic(int32_t topic);
    void UpdateMenus();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void ReadSettings();
    QAction* AddAction(Command command, const QString& text, const QString& prompt,
                       const QList<QKeySequence>& keys, void (CMainFrame::*slot)());
    void UpdateFileMenu();
    void UpdateViewMenu();
    void UpdateRecentFiles();
    void AddRecentFile(const std::string& path);

    // Commands.
    void FileNew();
    void FileOpen();
    void FileClose();
    void FileSave();
    void FileSaveAs();
    void ChangeTemplate();
    void Execute();
    void ComputeExpression();
    void SaveAvi();
    void Print();
    void PrintPreview();
    void PrintSetup();
    void Exit();
    void Undo();
    void Cut();
    void Copy();
    void Paste();
    void SelectAll();
    void Find();
    void Replace();
    void SaveContents();
    void ClearAll();
    void Configure();
    void ShowMainInput();
    void OpenView(int n);
    void Help();
    void HelpIndex();
    void UsingHelp();
    void ContextHelp();
    void About();

    // Closes every window of a document and the document; false when the user cancelled the
    // question whether to save it.
    bool CloseDocument(CTivaneDoc& doc, bool askToSave);
    bool AskToSave(CTivaneDoc& doc);
    bool SaveDocument(CTivaneDoc& doc, const std::string& path);
    bool PrintingRefused() const;
    // Finalises the movies of a document's windows before its views go.
    void StopRecordings(const CTivaneDoc& doc);
    // Deletes the closed documents once no message pass is running.
    void DeleteClosedDocuments();
    bool AnyDocumentBusy() const;

    SearchContext m_search;
    std::unique_ptr<Dialogs> m_dialogs;
    std::vector<std::unique_ptr<CTivaneDoc>> m_docs;
    QMdiArea* m_mdi = nullptr;
    std::map<int, QAction*> m_actions;
    std::vector<QAction*> m_recentActions;
    QMenu* m_viewMenu = nullptr;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_editMenu = nullptr;
    QMenu* m_windowMenu = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_capLabel = nullptr;
    QLabel* m_numLabel = nullptr;
    QLabel* m_scrlLabel = nullptr;
    QPointer<HelpWindow> m_help;
    std::unique_ptr<QPrinter> m_printer;
    QElapsedTimer m_pumpClock;
    qint64 m_pumpWaitMs = 0;
    int m_pumpDepth = 0;
    // Time the event loop spent blocked waiting for input (a modal dialog waiting on a
    // person), which the pass throttle does not count.
    QElapsedTimer m_blockClock;
    qint64 m_blockedNs = 0;
    // Closed documents wait here until no message pass is on the stack.
    std::vector<std::unique_ptr<CTivaneDoc>> m_closed;
    QTimer* m_reaper = nullptr;
    bool m_runningLook = false;
};

} // namespace tivane
