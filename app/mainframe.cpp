#include "mainframe.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QToolBar>
#include <QWhatsThis>
#include <algorithm>
#include <set>

#include "about.h"
#include "appui.h"
#include "childframe.h"
#include "documentlist.h"
#include "finddialog.h"
#include "helpwindow.h"
#include "icons.h"
#include "movierecorder.h"
#include "printing.h"
#include "tivanedoc.h"
#include "tivanegraph.h"
#include "tivaneview.h"
#include "widgets.h"

namespace tivane {

// Which window the active one must be for an action to be enabled.
enum class Needs { Nothing, Document, TextWindow, GraphicsWindow };

struct CMainFrame::ActionRow {
    Command id;
    const char* text;
    const char* prompt; // the status bar's and What's This
    const char* keys;   // "; " between the keys of one action
    void (CMainFrame::*handler)();
    Needs needs;
};

std::span<const CMainFrame::ActionRow> CMainFrame::ActionRows() {
    using M = CMainFrame;
    using enum Needs;
    static constexpr ActionRow kRows[] = {
        {ID_FILE_NEW, "&New", "Create a new document", "Ctrl+N", &M::OpenOrCreateDocument, Nothing},
        {ID_FILE_OPEN, "&Open...", "Open an existing document", "Ctrl+O", &M::OpenOrCreateDocument,
         Nothing},
        {ID_FILE_CLOSE, "&Close", "Close the active document", "Ctrl+W", &M::FileClose, Document},
        {ID_FILE_SAVE, "&Save", "Save the active document", "Ctrl+S", &M::FileSave, Document},
        {ID_FILE_SAVE_AS, "Save &As...", "Save the active document with a new name", "",
         &M::FileSaveAs, Document},
        {ID_CHANGE_TEMPLATE, "Change &Template",
         "Change the template used with the current document", "", &M::ChangeTemplate, Document},
        {ID_EXECUTE, "&Execute", "Execute template with the given input", "Ctrl+E", &M::Execute,
         Document},
        {ID_COMPUTE_EXPRESSION, "Co&mpute Expression",
         "Execute a program (for checking programming environment state)", "Ctrl+M",
         &M::ComputeExpression, Document},
        {ID_SAVE_AVI, "Save as AV&I", "Save as an AVI file", "Ctrl+I", &M::SaveAvi, GraphicsWindow},
        {ID_FILE_PRINT, "&Print...", "Print the active window", "Ctrl+P", &M::Print, Document},
        {ID_FILE_PRINT_PREVIEW, "Print Pre&view", "Display full pages", "", &M::PrintPreview,
         Document},
        {ID_FILE_PRINT_SETUP, "P&rint Setup...", "Change the printer and printing options", "",
         &M::PrintSetup, Nothing},
        {ID_APP_EXIT, "E&xit", "Quit the application; prompts to save documents", "Ctrl+Q",
         &M::Exit, Nothing},
        {ID_EDIT_UNDO, "&Undo", "Undo the last action", "Ctrl+Z; Alt+Backspace", &M::Undo,
         TextWindow},
        {ID_EDIT_CUT, "Cu&t", "Cut the selection and put it on the Clipboard", "Ctrl+X; Shift+Del",
         &M::Cut, TextWindow},
        {ID_EDIT_COPY, "&Copy", "Copy the selection and put it on the Clipboard",
         "Ctrl+C; Ctrl+Ins", &M::Copy, TextWindow},
        {ID_EDIT_PASTE, "&Paste", "Insert Clipboard contents", "Ctrl+V; Shift+Ins", &M::Paste,
         TextWindow},
        {ID_EDIT_SELECT_ALL, "Select &All", "Select the entire text", "", &M::SelectAll,
         TextWindow},
        {ID_EDIT_FIND, "&Find", "Find the specified text", "Alt+F3", &M::Find, TextWindow},
        {ID_EDIT_REPEAT, "Find &Next", "Find the next occurrence of the text last looked for", "F3",
         &M::FindNext, TextWindow},
        {ID_EDIT_REPLACE, "R&eplace", "Replace specific text with different text", "Alt+F4; Ctrl+H",
         &M::Replace, TextWindow},
        {ID_SAVE_CONTENTS, "Sa&ve Contents", "Save the contents of the active view", "",
         &M::SaveContents, Document},
        {ID_CLEAR_ALL, "Clear &All", "Delete the contents of all the views", "Ctrl+A", &M::ClearAll,
         Document},
        {ID_CONFIGURE, "Con&figure", "Setting up a view", "Ctrl+F", &M::Configure, Document},
        {ID_MAIN_INPUT, "&Main Input", "Enter main input", "", &M::ShowMainInput, Document},
        {ID_WINDOW_CASCADE, "&Cascade", "Arrange windows so they overlap", "", &M::Cascade,
         Document},
        {ID_WINDOW_TILE, "&Tile", "Arrange windows as non-overlapping tiles", "", &M::Tile,
         Document},
        {ID_WINDOW_ARRANGE, "&Arrange Icons", "Arrange icons at the bottom of the window", "",
         &M::ArrangeIcons, Document},
        {ID_HELP_INDEX, "&Index", "List Help topics", "", &M::HelpIndex, Nothing},
        {ID_HELP, "Help", "Display help for the current task or command", "F1", &M::Help, Nothing},
        {ID_HELP_USING, "&Using Help", "Display instructions about how to use help", "",
         &M::UsingHelp, Nothing},
        {ID_HELP_EXAMPLES, "&Examples...", "Open one of the bundled models", "", &M::Examples,
         Nothing},
        {ID_CONTEXT_HELP, "Help", "Display help for clicked buttons, menus and windows", "Shift+F1",
         &M::ContextHelp, Nothing},
        {ID_APP_ABOUT, "&About Tivane...",
         "Display program information, version number and copyright", "", &M::About, Nothing},
        {ID_VIEW_TOOLBAR, "&Toolbar", "Show or hide the toolbar", "", nullptr, Nothing},
        {ID_VIEW_STATUS_BAR, "&Status Bar", "Show or hide the status bar", "", nullptr, Nothing},
    };
    return kRows;
}

CMainFrame::CMainFrame(SearchContext search) : m_dataDir(search.dataDir) {
    setWindowTitle(kAppName);
    setWindowIcon(AppIcon());
    m_mdi = new QMdiArea(this);
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    connect(m_mdi, &QMdiArea::subWindowActivated, this, &CMainFrame::UpdateMenus);
    setAcceptDrops(true);
    m_ui = std::make_unique<AppUi>(*this);
    m_documents = std::make_unique<DocumentList>(*this, *m_ui, std::move(search));
    connect(m_documents.get(), &DocumentList::changed, this, &CMainFrame::UpdateMenus);
    m_printing = std::make_unique<Printing>(*this, *m_ui);

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    UpdateMenus();
}

CMainFrame::~CMainFrame() {
    // Windows that close from here on must not reach menus that are gone.
    m_mdi->disconnect(this);
    m_documents->disconnect(this);
    m_documents.reset();
}

CTivaneDoc* CMainFrame::OpenDocumentFile(const std::string& path) {
    return m_documents->Open(path);
}

void CMainFrame::OpenOrCreateDocument() {
    m_documents->OpenOrCreate();
}

const std::vector<std::unique_ptr<CTivaneDoc>>& CMainFrame::Documents() const {
    return m_documents->Documents();
}

void CMainFrame::SetDialogs(std::unique_ptr<Dialogs> dialogs) {
    m_ui->SetDialogs(std::move(dialogs));
}

Dialogs& CMainFrame::dialogs() {
    return m_ui->dialogs();
}

bool CMainFrame::FrameClosing(CTivaneFrame& frame) {
    return m_documents->FrameClosing(frame);
}

// ---- Actions, menus, bars ----

QAction* CMainFrame::AddAction(int id, const QString& text, const QString& prompt) {
    auto* action = new QAction(text, this);
    action->setData(id);
    action->setStatusTip(prompt);
    action->setWhatsThis(prompt);
    action->setShortcutContext(Qt::ApplicationShortcut);
    m_actions[id] = action;
    addAction(action);
    return action;
}

void CMainFrame::CreateActions() {
    for (const ActionRow& row : ActionRows()) {
        QAction* action = AddAction(row.id, row.text, row.prompt);
        if (*row.keys)
            action->setShortcuts(QKeySequence::listFromString(row.keys, QKeySequence::NativeText));
        if (row.handler) connect(action, &QAction::triggered, this, row.handler);
    }
    for (Command bar : {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR}) {
        Action(bar)->setCheckable(true);
        Action(bar)->setChecked(true);
    }
    connect(Action(ID_VIEW_STATUS_BAR), &QAction::toggled, this,
            [this](bool on) { statusBar()->setVisible(on); });
    for (int n = 0; n < 10; ++n) {
        QAction* view =
            AddAction(ID_VIEW_FIRST + n, QString::number(n), "Open a window of this view");
        connect(view, &QAction::triggered, this, [this, n] { OpenView(n); });
    }
    // The accelerators the menus do not show.
    auto* nextPane = new QAction(this);
    nextPane->setShortcut(QKeySequence("F6"));
    connect(nextPane, &QAction::triggered, m_mdi, &QMdiArea::activateNextSubWindow);
    addAction(nextPane);
    auto* previousPane = new QAction(this);
    previousPane->setShortcut(QKeySequence("Shift+F6"));
    connect(previousPane, &QAction::triggered, m_mdi, &QMdiArea::activatePreviousSubWindow);
    addAction(previousPane);
}

QAction* CMainFrame::Action(Command command) const {
    const auto it = m_actions.find(command);
    return it == m_actions.end() ? nullptr : it->second;
}

void CMainFrame::CreateMenus() {
    m_fileMenu = menuBar()->addMenu("&File");
    connect(m_fileMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateMenus);

    QMenu* edit = m_editMenu = menuBar()->addMenu("&Edit");
    edit->addAction(Action(ID_EDIT_UNDO));
    edit->addSeparator();
    for (Command c : {ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_EDIT_SELECT_ALL})
        edit->addAction(Action(c));
    edit->addSeparator();
    edit->addAction(Action(ID_EDIT_FIND));
    edit->addAction(Action(ID_EDIT_REPEAT));
    edit->addAction(Action(ID_EDIT_REPLACE));

    m_viewMenu = menuBar()->addMenu("&View");
    connect(m_viewMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateMenus);

    m_windowMenu = menuBar()->addMenu("&Window");
    connect(m_windowMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateWindowMenu);

    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction(Action(ID_HELP_INDEX));
    help->addAction(Action(ID_HELP_USING));
    help->addAction(Action(ID_HELP_EXAMPLES));
    help->addSeparator();
    help->addAction(Action(ID_APP_ABOUT));
}

void CMainFrame::CreateToolBar() {
    m_toolBar = addToolBar("Toolbar");
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setIconSize(QSize(16, 15));
    m_toolBar->setObjectName("toolbar");
    m_toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    const Command slots[] = {ID_FILE_OPEN,  ID_FILE_SAVE,  ID_EXECUTE,   ID_COMPUTE_EXPRESSION,
                             ID_CONFIGURE,  ID_CLEAR_ALL,  ID_EDIT_CUT,  ID_EDIT_COPY,
                             ID_EDIT_PASTE, ID_FILE_PRINT, ID_APP_ABOUT, ID_CONTEXT_HELP};
    for (Command c : slots) {
        Action(c)->setIcon(ToolIcon(c, false));
        m_toolBar->addAction(Action(c));
        if (c == ID_CLEAR_ALL || c == ID_EDIT_PASTE) m_toolBar->addSeparator();
    }
    connect(Action(ID_VIEW_TOOLBAR), &QAction::toggled, m_toolBar, &QToolBar::setVisible);
}

void CMainFrame::CreateStatusBar() {
    statusBar()->showMessage("For Help, press F1");
    m_runLabel = new QLabel(this);
    m_runLabel->setObjectName("runLabel");
    m_runLabel->setVisible(false);
    statusBar()->addPermanentWidget(m_runLabel);
    // The platform does not report the lock keys' states: the indicators stay blank.
    for (QLabel** label : {&m_capLabel, &m_numLabel, &m_scrlLabel}) {
        *label = new QLabel(this);
        (*label)->setMinimumWidth(36);
        (*label)->setAlignment(Qt::AlignCenter);
        (*label)->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        statusBar()->addPermanentWidget(*label);
    }
    connect(statusBar(), &QStatusBar::messageChanged, this, [this](const QString& message) {
        if (message.isEmpty()) statusBar()->showMessage("For Help, press F1");
    });
}

void CMainFrame::ShowStatus(const QString& message) {
    statusBar()->showMessage(message, 10000);
}

void CMainFrame::UpdateMenus() {
    CViewBase* view = ActiveView();
    CTivaneDoc* doc = view ? &CTivaneDoc::Of(*view) : nullptr;
    const auto enabled = [&](Needs needs) {
        switch (needs) {
        case Needs::Nothing:
            return true;
        case Needs::Document:
            return doc != nullptr;
        case Needs::TextWindow:
            return view && view->Kind() == ViewKind::Text;
        case Needs::GraphicsWindow:
            return view && view->Kind() == ViewKind::Graphics;
        }
        return false;
    };
    for (const ActionRow& row : ActionRows()) {
        QAction* action = Action(row.id);
        const bool on = enabled(row.needs);
        // Save as AVI is in the menu only while a graphics window is active. Qt keeps a hidden
        // action disabled whatever setEnabled says, so it is shown before it is enabled.
        if (row.needs == Needs::GraphicsWindow) action->setVisible(on);
        action->setEnabled(on);
    }
    // The Execute item follows the running state; Ctrl+E works in both.
    Action(ID_EXECUTE)->setText(doc && doc->Running() ? "Stop &Execution" : "&Execute");
    m_editMenu->menuAction()->setVisible(doc != nullptr);
    m_windowMenu->menuAction()->setVisible(doc != nullptr);
    UpdateFileMenu();
    UpdateViewMenu();
    UpdateWindowMenu();
    UpdateTitle();
}

void CMainFrame::UpdateFileMenu() {
    // Without a document window the File menu is that of the bare main window: Open, Print
    // Setup, the recent files and Exit.
    const bool doc = ActiveDocument() != nullptr;
    m_fileMenu->clear();
    m_fileMenu->addAction(Action(ID_FILE_OPEN));
    if (doc) {
        for (Command c : {ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_CHANGE_TEMPLATE,
                          ID_EXECUTE, ID_COMPUTE_EXPRESSION, ID_SAVE_AVI})
            m_fileMenu->addAction(Action(c));
        m_fileMenu->addSeparator();
        m_fileMenu->addAction(Action(ID_FILE_PRINT));
        m_fileMenu->addAction(Action(ID_FILE_PRINT_PREVIEW));
    } else {
        m_fileMenu->addSeparator();
    }
    m_fileMenu->addAction(Action(ID_FILE_PRINT_SETUP));
    m_fileMenu->addSeparator();
    for (QAction* recent : m_documents->RecentActions())
        m_fileMenu->addAction(recent);
    m_fileMenu->addSeparator();
    m_fileMenu->addAction(Action(ID_APP_EXIT));
}

void CMainFrame::UpdateViewMenu() {
    m_viewMenu->clear();
    m_viewMenu->addAction(Action(ID_VIEW_TOOLBAR));
    m_viewMenu->addAction(Action(ID_VIEW_STATUS_BAR));
    CTivaneDoc* doc = ActiveDocument();
    if (!doc) return; // without a document window the View menu has only the two bars
    m_viewMenu->addAction(Action(ID_SAVE_CONTENTS));
    m_viewMenu->addAction(Action(ID_CLEAR_ALL));
    m_viewMenu->addAction(Action(ID_CONFIGURE));
    m_viewMenu->addSeparator();
    m_viewMenu->addAction(Action(ID_MAIN_INPUT));
    for (int n = 0; n < doc->Template().viewCount && n < 10; ++n) {
        QAction* item = Action(static_cast<Command>(ID_VIEW_FIRST + n));
        // The view's number is its key; a '&' in a title is a letter.
        QString title = BytesToText(doc->Template().views[static_cast<size_t>(n)].titleText);
        item->setText(QStringLiteral("&%1 %2").arg(n).arg(title.replace('&', "&&")));
        item->setEnabled(true);
        m_viewMenu->addAction(item);
    }
}

void CMainFrame::UpdateWindowMenu() {
    // As Qt's MDI example: the arrangements, then every open window, the active one checked.
    m_windowMenu->clear();
    for (Command c : {ID_WINDOW_CASCADE, ID_WINDOW_TILE, ID_WINDOW_ARRANGE})
        m_windowMenu->addAction(Action(c));
    const QList<QMdiSubWindow*> windows = m_mdi->subWindowList();
    if (!windows.isEmpty()) m_windowMenu->addSeparator();
    for (qsizetype k = 0; k < windows.size(); ++k) {
        QPointer<QMdiSubWindow> window = windows[k];
        QString title = window->windowTitle();
        title.replace('&', "&&");
        QAction* item =
            m_windowMenu->addAction(k < 9 ? QStringLiteral("&%1 %2").arg(k + 1).arg(title)
                                          : QStringLiteral("%1 %2").arg(k + 1).arg(title),
                                    this, [this, window] {
                                        if (window) m_mdi->setActiveSubWindow(window);
                                    });
        item->setCheckable(true);
        item->setChecked(window == m_mdi->activeSubWindow());
    }
}

// ---- Windows ----

CViewBase* CMainFrame::ActiveView() const {
    auto* frame = qobject_cast<CTivaneFrame*>(m_mdi->activeSubWindow());
    return frame ? frame->View() : nullptr;
}

CTivaneDoc* CMainFrame::ActiveDocument() const {
    CViewBase* view = ActiveView();
    return view ? &CTivaneDoc::Of(*view) : nullptr;
}

CTivaneFrame* CMainFrame::FrameOf(const CViewBase& view) const {
    for (QMdiSubWindow* w : m_mdi->subWindowList()) {
        auto* frame = qobject_cast<CTivaneFrame*>(w);
        if (frame && frame->View() == &view) return frame;
    }
    return nullptr;
}

void CMainFrame::AddWindow(CTivaneFrame& frame) {
    m_mdi->addSubWindow(&frame);
    frame.show();
    m_mdi->setActiveSubWindow(&frame);
}

void CMainFrame::CascadeFromOthers(const CTivaneDoc& doc) {
    std::vector<CTivaneFrame*> fresh;
    std::set<std::pair<int, int>> taken;
    for (QMdiSubWindow* w : m_mdi->subWindowList()) {
        auto* frame = qobject_cast<CTivaneFrame*>(w);
        if (!frame || !frame->View() || frame->isMinimized() || frame->isMaximized()) continue;
        if (&CTivaneDoc::Of(*frame->View()) == &doc)
            fresh.push_back(frame);
        else
            taken.insert({frame->x(), frame->y()});
    }
    if (fresh.empty()) return;
    // One title bar down and right, as the Cascade command steps.
    const int step = std::max(fresh.front()->widget() ? fresh.front()->widget()->y() : 0, 16);
    const auto clash = [&] {
        return std::any_of(fresh.begin(), fresh.end(), [&](CTivaneFrame* f) {
            return taken.contains({f->x(), f->y()});
        });
    };
    for (int k = 0; k < 50 && clash(); ++k) {
        for (CTivaneFrame* f : fresh)
            f->move(f->pos() + QPoint(step, step));
    }
}

void CMainFrame::ActivateWindow(CTivaneFrame& frame, bool restoreMinimized) {
    if (restoreMinimized && frame.isMinimized()) frame.showNormal();
    m_mdi->setActiveSubWindow(&frame);
}

void CMainFrame::ShowRunningLook(bool running) {
    m_runningLook = running;
    if (running) {
        m_runClock.start();
        m_runTitle.clear();
        for (const auto& doc : Documents()) {
            if (doc->Running()) m_runTitle = BytesToText(doc->Title());
        }
        ShowRunProgress();
    } else if (m_runClock.isValid()) {
        ShowStatus(QStringLiteral("%1 ran for %2 s.")
                       .arg(m_runTitle)
                       .arg(m_runClock.elapsed() / 1000.0, 0, 'f', 1));
        m_runClock.invalidate();
    }
    m_runLabel->setVisible(running);
    Action(ID_EXECUTE)->setIcon(ToolIcon(ID_EXECUTE, running));
    UpdateMenus();
    // The lamp shows at once: only its button is painted now, not every window.
    if (QWidget* button = m_toolBar->widgetForAction(Action(ID_EXECUTE))) button->repaint();
}

void CMainFrame::ShowRunProgress() {
    if (!m_runClock.isValid()) return;
    m_runLabel->setText(QStringLiteral("Running %1: %2 s")
                            .arg(m_runTitle)
                            .arg(m_runClock.elapsed() / 1000.0, 0, 'f', 1));
}

void CMainFrame::UpdateTitle() {
    const CTivaneDoc* doc = ActiveDocument();
    setWindowTitle(doc ? QStringLiteral("%1[*] \u2014 %2").arg(BytesToText(doc->Title()), kAppName)
                       : QString(kAppName));
    setWindowModified(doc && doc->IsModified());
}

// ---- Commands ----

namespace {
TextWidget* ActiveText(const CMainFrame& main) {
    CViewBase* view = main.ActiveView();
    CTivaneFrame* frame = view ? main.FrameOf(*view) : nullptr;
    return frame ? frame->Text() : nullptr;
}
} // namespace

void CMainFrame::FileClose() {
    CTivaneDoc* doc = ActiveDocument();
    if (!doc || !doc->CanCloseDocument()) return;
    m_documents->Close(*doc, true);
}

void CMainFrame::FileSave() {
    if (CTivaneDoc* doc = ActiveDocument()) m_documents->Save(*doc, doc->PathName());
}

void CMainFrame::FileSaveAs() {
    if (CTivaneDoc* doc = ActiveDocument()) m_documents->SaveAs(*doc);
}

void CMainFrame::ChangeTemplate() {
    CTivaneDoc* doc = ActiveDocument();
    // Saved with its new template: closed and reopened, so its windows come back with it.
    if (doc && doc->ChangeTemplate()) m_documents->Reopen(*doc);
}

void CMainFrame::Execute() {
    if (CTivaneDoc* doc = ActiveDocument()) doc->Execute();
    UpdateMenus();
}

void CMainFrame::ComputeExpression() {
    if (CViewBase* view = ActiveView()) view->ComputeExpression();
}

void CMainFrame::SaveAvi() {
    CViewBase* view = ActiveView();
    if (!view || view->Kind() != ViewKind::Graphics) return;
    CTivaneFrame* window = FrameOf(*view);
    if (!window) return;
    // A second Save as AVI ends the recording, so the movie can be had without closing.
    if (window->Recorder() && window->Recorder()->Requested())
        window->StopRecording();
    else
        window->StartRecording();
}

void CMainFrame::Print() {
    if (CViewBase* view = ActiveView()) m_printing->Print(*view, false);
}

void CMainFrame::PrintPreview() {
    if (CViewBase* view = ActiveView()) m_printing->Print(*view, true);
}

void CMainFrame::PrintSetup() {
    m_printing->Setup();
}

void CMainFrame::Exit() {
    close();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (CTivaneDoc::RunningCount() > 0 || m_documents->AnyBusy()) {
        m_ui->MessageBox(doctext::kQuitRunning, MessageIcon::Stop, 0);
        event->ignore();
        return;
    }
    if (!m_documents->CloseAll()) {
        event->ignore();
        return;
    }
    if (m_help) m_help->close();
    event->accept();
}

void CMainFrame::Undo() {
    if (TextWidget* t = ActiveText(*this)) t->undo();
}
void CMainFrame::Cut() {
    if (TextWidget* t = ActiveText(*this)) t->cut();
}
void CMainFrame::Copy() {
    if (TextWidget* t = ActiveText(*this)) t->copy();
}
void CMainFrame::Paste() {
    if (TextWidget* t = ActiveText(*this)) t->paste();
}
void CMainFrame::SelectAll() {
    if (TextWidget* t = ActiveText(*this)) t->selectAll();
}
void CMainFrame::Find() {
    if (TextWidget* t = ActiveText(*this)) ShowFindDialog(this, t, false, m_lastFind, dialogs());
}
void CMainFrame::FindNext() {
    TextWidget* t = ActiveText(*this);
    if (t && m_lastFind.text.isEmpty())
        Find();
    else if (t)
        tivane::FindNext(*t, m_lastFind, dialogs());
}
void CMainFrame::Replace() {
    if (TextWidget* t = ActiveText(*this)) ShowFindDialog(this, t, true, m_lastFind, dialogs());
}

void CMainFrame::SaveContents() {
    if (CViewBase* view = ActiveView()) view->SaveContents();
}

namespace {
// True when clearing would lose something: a text or a drawing in an output window.
bool HoldsOutput(const CTivaneDoc& doc) {
    for (const auto& view : doc.Views()) {
        if (view->IsMainInput()) continue;
        if (const auto* graph = dynamic_cast<const CTivaneGraph*>(view.get())) {
            if (graph->List().HasDrawingItems()) return true;
        } else if (!view->Surface().Text().empty()) {
            return true;
        }
    }
    return false;
}
} // namespace

void CMainFrame::ClearAll() {
    CTivaneDoc* doc = ActiveDocument();
    if (!doc) return;
    // No question when there is nothing to lose, or when a run refuses the command anyway.
    if (!doc->Busy() && HoldsOutput(*doc) &&
        !dialogs().Confirm(QStringLiteral("Clear the contents of all windows of %1?")
                               .arg(BytesToText(doc->Title()))))
        return;
    doc->ClearAll();
}

void CMainFrame::Configure() {
    if (CViewBase* view = ActiveView()) view->Configure();
    UpdateTitle();
}

void CMainFrame::ShowMainInput() {
    CTivaneDoc* doc = ActiveDocument();
    if (!doc) return;
    if (CTivaneView* input = doc->MainInputView()) {
        if (CTivaneFrame* frame = FrameOf(*input)) ActivateWindow(*frame, true);
        return;
    }
    CTivaneView& input = doc->CreateTextView(kMainInputIndex);
    input.ChangeFont(kDefaultTextFont.face, kDefaultTextFont.size, kDefaultTextFont.style);
    input.Surface().SetText(doc->MainInput());
}

void CMainFrame::OpenView(int n) {
    CTivaneDoc* doc = ActiveDocument();
    if (!doc || n >= doc->Template().viewCount) return;
    if (CViewBase* view = doc->CreateView(static_cast<int16_t>(n))) {
        if (view->Kind() == ViewKind::Text)
            view->ChangeFont(kDefaultTextFont.face, kDefaultTextFont.size, kDefaultTextFont.style);
    }
    UpdateMenus();
}

void CMainFrame::Cascade() {
    m_mdi->cascadeSubWindows();
}

void CMainFrame::Tile() {
    m_mdi->tileSubWindows();
}

void CMainFrame::ArrangeIcons() {
    for (QMdiSubWindow* w : m_mdi->subWindowList()) {
        if (w->isMinimized()) w->showMinimized();
    }
}

void CMainFrame::HelpIndex() {
    ShowHelpTopic(kHelpIndexTopic);
}

void CMainFrame::Help() {
    // In a text window F1 asks about the word at the caret.
    if (TextWidget* text = ActiveText(*this); text && text->hasFocus()) {
        ShowHelpTopic(text->HelpTopicAtCaret());
        return;
    }
    HelpIndex();
}

void CMainFrame::UsingHelp() {
    ShowHelpTopic(kHelpUsingTopic);
}

void CMainFrame::Examples() {
    // Without a data folder the prompt starts where the user is.
    const std::string folder = m_dataDir.empty() ? std::string() : m_dataDir + "/examples";
    if (const std::optional<std::string> path = m_ui->dialogs().PromptExample(folder))
        OpenDocumentFile(*path);
}

void CMainFrame::ContextHelp() {
    QWhatsThis::enterWhatsThisMode();
}

void CMainFrame::ShowHelpTopic(int32_t topic) {
    if (!m_help)
        m_help = new HelpWindow(
            this, m_dataDir.empty() ? QString() : QString::fromStdString(m_dataDir + "/help"));
    m_help->ShowTopic(topic);
}

void CMainFrame::About() {
    ShowAboutBox(this);
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) OpenDocumentFile(url.toLocalFile().toStdString());
    }
}

} // namespace tivane
