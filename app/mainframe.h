#pragma once
// The main window: the MDI area holding every document window, the actions and the menus
// with their state, the toolbar with its Execute lamp and the status bar. Commands become
// document and view operations here; the open documents, the dialog seam and printing are
// classes of their own that it owns.

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "dialogs.h"
#include "filesearch.h"
#include "finddialog.h"

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QToolBar;

namespace tivane {

class AppUi;
class CTivaneDoc;
class DocumentList;
class Printing;
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
    ID_EDIT_REPEAT = 0xE128, // Find Next
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
    ID_HELP_EXAMPLES = 0x801D,
};

class CMainFrame final : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(SearchContext search);
    ~CMainFrame() override;

    // The document list's, for the command line, drops and tests.
    CTivaneDoc* OpenDocumentFile(const std::string& path);
    void OpenOrCreateDocument();
    const std::vector<std::unique_ptr<CTivaneDoc>>& Documents() const;

    CViewBase* ActiveView() const;
    CTivaneDoc* ActiveDocument() const;
    CTivaneFrame* FrameOf(const CViewBase& view) const;
    QAction* Action(Command command) const;
    QMenu* ViewMenu() const { return m_viewMenu; }
    bool RunningLook() const { return m_runningLook; }
    // Tests script the dialogs.
    void SetDialogs(std::unique_ptr<Dialogs> dialogs);
    Dialogs& dialogs();

    // A message in the status bar (recordings starting and ending).
    void ShowStatus(const QString& message);
    // A window asks to close; false keeps it open.
    bool FrameClosing(CTivaneFrame& frame);
    // A new view's window joins the others, in front.
    void AddWindow(CTivaneFrame& frame);
    // Moves the windows of a document just opened one step at a time, down and right, until
    // none lies exactly on a window of another document.
    void CascadeFromOthers(const CTivaneDoc& doc);
    // Brings a window to the front, restoring it first when asked and it is minimized.
    void ActivateWindow(CTivaneFrame& frame, bool restoreMinimized);
    // The toolbar's Execute lamp and the Execute item: red and "Stop" while a program runs;
    // the status bar names the running document and the time it has run.
    void ShowRunningLook(bool running);
    // The message pass brings the run's time in the status bar up to date.
    void ShowRunProgress();
    // "name.tvd[*] — Tivane" for the active document, with Qt's modified mark.
    void UpdateTitle();

public Q_SLOTS:
    void ShowHelpTopic(int32_t topic);
    void UpdateMenus();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct ActionRow;
    // The actions of the commands, one row each: the single source of their texts, prompts,
    // keys, handlers and of when they are enabled.
    static std::span<const ActionRow> ActionRows();

    void CreateActions();
    QAction* AddAction(int id, const QString& text, const QString& prompt);
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void UpdateFileMenu();
    void UpdateViewMenu();
    void UpdateWindowMenu();

    // Commands.
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
    void FindNext();
    void Replace();
    void SaveContents();
    void ClearAll();
    void Configure();
    void ShowMainInput();
    void OpenView(int n);
    void Cascade();
    void Tile();
    void ArrangeIcons();
    void Help();
    void HelpIndex();
    void UsingHelp();
    void Examples();
    void ContextHelp();
    void About();

    QMdiArea* m_mdi = nullptr;
    std::unique_ptr<AppUi> m_ui;
    std::unique_ptr<DocumentList> m_documents;
    std::unique_ptr<Printing> m_printing;
    std::map<int, QAction*> m_actions;
    QMenu* m_viewMenu = nullptr;
    QMenu* m_fileMenu = nullptr;
    QMenu* m_editMenu = nullptr;
    QMenu* m_windowMenu = nullptr;
    QToolBar* m_toolBar = nullptr;
    QLabel* m_capLabel = nullptr;
    QLabel* m_numLabel = nullptr;
    QLabel* m_scrlLabel = nullptr;
    QLabel* m_runLabel = nullptr;
    QElapsedTimer m_runClock;
    QString m_runTitle; // the document that started the run
    QPointer<HelpWindow> m_help;
    // The application's data folder: the examples and the help pages; may be empty.
    std::string m_dataDir;
    FindRequest m_lastFind;
    bool m_runningLook = false;
};

} // namespace tivane
