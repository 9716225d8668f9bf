#include "mainframe.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWhatsThis>

#include "about.h"
#include "childframe.h"
#include "errors.h"
#include "finddialog.h"
#include "headlesssurface.h"
#include "helpwindow.h"
#include "icons.h"
#include "movierecorder.h"
#include "pictureexport.h"
#include "printing.h"
#include "savetransaction.h"
#include "tivanedoc.h"
#include "tivanegraph.h"
#include "tivaneview.h"
#include "widgets.h"

namespace tivane {

namespace {

constexpr int kRecentFiles = 4;
// The message pass lets events through at most this often: Stop and repaints stay prompt,
// and a program that passes messages often does not pay for the event loop each time.
constexpr qint64 kPumpIntervalMs = 10;
// However long the last pass took, the next one comes within this: a slow repaint must not
// leave Stop and the screen unanswered for seconds.
constexpr qint64 kMaxPumpWaitMs = 100;
constexpr const char* kNewDocumentHint =
    "You should now use File/Change Template to set up the template to be used with this "
    "document.";
constexpr const char* kPrintRunning = "Do not use printing while a program is still executing.";

QString Canonical(const std::string& path) {
    const QFileInfo info(QString::fromStdString(path));
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

} // namespace

CMainFrame::CMainFrame(SearchContext search)
    : m_search(std::move(search)), m_dialogs(std::make_unique<QtDialogs>(this)) {
    static_cast<QtDialogs&>(*m_dialogs).showHelp = [this](uint32_t topic) {
        ShowHelpTopic(static_cast<int32_t>(topic));
    };
    setWindowTitle(kAppName);
    setWindowIcon(AppIcon());
    m_mdi = new QMdiArea(this);
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    connect(m_mdi, &QMdiArea::subWindowActivated, this, &CMainFrame::UpdateMenus);
    setAcceptDrops(true);

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    ReadSettings();
    UpdateMenus();
    m_pumpClock.start();
    // Modal dialogs block in their own event loop; that time is a person's, not the pass's.
    if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                [this] { m_blockClock.start(); });
        connect(dispatcher, &QAbstractEventDispatcher::awake, this, [this] {
            if (m_blockClock.isValid()) m_blockedNs += m_blockClock.nsecsElapsed();
            m_blockClock.invalidate();
        });
    }
    m_reaper = new QTimer(this);
    m_reaper->setSingleShot(true);
    connect(m_reaper, &QTimer::timeout, this, &CMainFrame::DeleteClosedDocuments);
}

CMainFrame::~CMainFrame() {
    // Windows that close from here on must not reach menus that are gone.
    m_mdi->disconnect(this);
    // Views before their documents, and both before the windows they would reach.
    while (!m_docs.empty()) {
        StopRecordings(*m_docs.back());
        m_docs.pop_back();
    }
    m_closed.clear();
}

QAction* CMainFrame::AddAction(Command command, const QString& text, const QString& prompt,
                               const QList<QKeySequence>& keys, void (CMainFrame::*slot)()) {
    auto* action = new QAction(text, this);
    action->setData(static_cast<int>(command));
    action->setStatusTip(prompt);
    action->setWhatsThis(prompt);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::ApplicationShortcut);
    if (slot) connect(action, &QAction::triggered, this, slot);
    m_actions[command] = action;
    addAction(action);
    return action;
}

void CMainFrame::CreateActions() {
    using K = QKeySequence;
    AddAction(ID_FILE_NEW, "&New", "Create a new document", {K("Ctrl+N")}, &CMainFrame::FileNew);
    AddAction(ID_FILE_OPEN, "&Open...", "Open an existing document", {K("Ctrl+O")},
              &CMainFrame::FileOpen);
    AddAction(ID_FILE_CLOSE, "&Close", "Close the active document", {}, &CMainFrame::FileClose);
    AddAction(ID_FILE_SAVE, "&Save", "Save the active document", {K("Ctrl+S")},
              &CMainFrame::FileSave);
    AddAction(ID_FILE_SAVE_AS, "Save &As...", "Save the active document with a new name", {},
              &CMainFrame::FileSaveAs);
    AddAction(ID_CHANGE_TEMPLATE, "Change &Template",
              "Change the template used with the actual ducument", {}, &CMainFrame::ChangeTemplate);
    AddAction(ID_EXECUTE, "&Execute", "Execute template with the given input", {K("Ctrl+E")},
              &CMainFrame::Execute);
    AddAction(ID_COMPUTE_EXPRESSION, "Co&mpute Expression",
              "Execute a program (for checking programming enviroment state)", {K("Ctrl+M")},
              &CMainFrame::ComputeExpression);
    AddAction(ID_SAVE_AVI, "Save as AV&I", "Save as an AVI file", {K("Ctrl+I")},
              &CMainFrame::SaveAvi);
    AddAction(ID_FILE_PRINT, "&Print...", "Print the active window", {K("Ctrl+P")},
              &CMainFrame::Print);
    AddAction(ID_FILE_PRINT_PREVIEW, "Print Pre&view", "Display full pages", {},
              &CMainFrame::PrintPreview);
    AddAction(ID_FILE_PRINT_SETUP, "P&rint Setup...", "Change the printer and printing options", {},
              &CMainFrame::PrintSetup);
    AddAction(ID_APP_EXIT, "E&xit", "Quit the application; prompts to save documents", {},
              &CMainFrame::Exit);
    AddAction(ID_EDIT_UNDO, "&Undo", "Undo the last action", {K("Ctrl+Z"), K("Alt+Backspace")},
              &CMainFrame::Undo);
    AddAction(ID_EDIT_CUT, "Cu&t", "Cut the selection and put it on the Clipboard",
              {K("Ctrl+X"), K("Shift+Del")}, &CMainFrame::Cut);
    AddAction(ID_EDIT_COPY, "&Copy", "Copy the selection and put it on the Clipboard",
              {K("Ctrl+C"), K("Ctrl+Ins")}, &CMainFrame::Copy);
    AddAction(ID_EDIT_PASTE, "&Paste", "Insert Clipboard contents", {K("Ctrl+V"), K("Shift+Ins")},
              &CMainFrame::Paste);
    AddAction(ID_EDIT_SELECT_ALL, "Select &All", "Select the entire text", {},
              &CMainFrame::SelectAll);
    AddAction(ID_EDIT_FIND, "&Find", "Find the specified text", {K("Alt+F3")}, &CMainFrame::Find);
    AddAction(ID_EDIT_REPLACE, "R&eplace", "Replace specific text with different text",
              {K("Alt+F4")}, &CMainFrame::Replace);
    AddAction(ID_SAVE_CONTENTS, "Sa&ve Contents", "Save the contents of the active view", {},
              &CMainFrame::SaveContents);
    AddAction(ID_CLEAR_ALL, "Clear &All", "Delete the contents of all the views", {K("Ctrl+A")},
              &CMainFrame::ClearAll);
    AddAction(ID_CONFIGURE, "Con&figure", "Setting up a view", {K("Ctrl+F")},
              &CMainFrame::Configure);
    AddAction(ID_MAIN_INPUT, "&Main Input", "Enter main input", {}, &CMainFrame::ShowMainInput);
    AddAction(ID_WINDOW_CASCADE, "&Cascade", "Arrange windows so they overlap", {}, nullptr);
    connect(Action(ID_WINDOW_CASCADE), &QAction::triggered, m_mdi, &QMdiArea::cascadeSubWindows);
    AddAction(ID_WINDOW_TILE, "&Tile", "Arrange windows as non-overlapping tiles", {}, nullptr);
    connect(Action(ID_WINDOW_TILE), &QAction::triggered, m_mdi, &QMdiArea::tileSubWindows);
    AddAction(ID_WINDOW_ARRANGE, "&Arrange Icons", "Arrange icons at the bottom of the window", {},
              nullptr);
    connect(Action(ID_WINDOW_ARRANGE), &QAction::triggered, m_mdi, [this] {
        for (QMdiSubWindow* w : m_mdi->subWindowList()) {
            if (w->isMinimized()) w->showMinimized();
        }
    });
    AddAction(ID_HELP_INDEX, "&Index", "List Help topics", {}, &CMainFrame::HelpIndex);
    AddAction(ID_HELP, "Help", "Display help for the current task or command", {K("F1")},
              &CMainFrame::Help);
    AddAction(ID_HELP_USING, "&Using Help", "Display instructions about how to use help", {},
              &CMainFrame::UsingHelp);
    AddAction(ID_CONTEXT_HELP, "Help", "Display help for clicked buttons, menus and windows",
              {K("Shift+F1")}, &CMainFrame::ContextHelp);
    AddAction(ID_APP_ABOUT, "&About Tivane...",
              "Display program information, version number and copyright", {}, &CMainFrame::About);
    QAction* toolBar =
        AddAction(ID_VIEW_TOOLBAR, "&Toolbar", "Show or hide the toolbar", {}, nullptr);
    toolBar->setCheckable(true);
    toolBar->setChecked(true);
    QAction* statusBarAction =
        AddAction(ID_VIEW_STATUS_BAR, "&Status Bar", "Show or hide the status bar", {}, nullptr);
    statusBarAction->setCheckable(true);
    statusBarAction->setChecked(true);
    connect(statusBarAction, &QAction::toggled, this,
            [this](bool on) { statusBar()->setVisible(on); });
    for (int n = 0; n < 10; ++n) {
        QAction* view = AddAction(static_cast<Command>(ID_VIEW_FIRST + n), QString::number(n),
                                  "Open a window of this view", {}, nullptr);
        connect(view, &QAction::triggered, this, [this, n] { OpenView(n); });
    }
    for (int k = 0; k < kRecentFiles; ++k) {
        auto* recent = new QAction(this);
        recent->setVisible(false);
        connect(recent, &QAction::triggered, this,
                [this, recent] { OpenDocumentFile(recent->data().toString().toStdString()); });
        m_recentActions.push_back(recent);
    }
    // The accelerators the menus do not show.
    auto* nextPane = new QAction(this);
    nextPane->setShortcut(K("F6"));
    connect(nextPane, &QAction::triggered, m_mdi, &QMdiArea::activateNextSubWindow);
    addAction(nextPane);
    auto* previousPane = new QAction(this);
    previousPane->setShortcut(K("Shift+F6"));
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
    edit->addAction(Action(ID_EDIT_REPLACE));

    m_viewMenu = menuBar()->addMenu("&View");
    connect(m_viewMenu, &QMenu::aboutToShow, this, &CMainFrame::UpdateMenus);

    QMenu* window = m_windowMenu = menuBar()->addMenu("&Window");
    for (Command c : {ID_WINDOW_CASCADE, ID_WINDOW_TILE, ID_WINDOW_ARRANGE})
        window->addAction(Action(c));

    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction(Action(ID_HELP_INDEX));
    help->addAction(Action(ID_HELP_USING));
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

void CMainFrame::ReadSettings() {
    UpdateRecentFiles();
}

void CMainFrame::UpdateRecentFiles() {
    const QStringList files = QSettings().value("recentFiles").toStringList();
    for (int k = 0; k < kRecentFiles; ++k) {
        QAction* a = m_recentActions[static_cast<size_t>(k)];
        if (k < files.size()) {
            a->setText(QStringLiteral("&%1 %2").arg(k + 1).arg(QFileInfo(files[k]).fileName()));
            a->setData(files[k]);
            a->setVisible(true);
        } else {
            a->setVisible(false);
        }
    }
}

void CMainFrame::AddRecentFile(const std::string& path) {
    QSettings settings;
    QStringList files = settings.value("recentFiles").toStringList();
    const QString name = Canonical(path);
    files.removeAll(name);
    files.prepend(name);
    while (files.size() > kRecentFiles)
        files.removeLast();
    settings.setValue("recentFiles", files);
    UpdateRecentFiles();
}

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

void CMainFrame::UpdateMenus() {
    CViewBase* view = ActiveView();
    CTivaneDoc* doc = view ? &CTivaneDoc::Of(*view) : nullptr;
    const bool isText = view && view->Kind() == ViewKind::Text;
    const bool isGraph = view && view->Kind() == ViewKind::Graphics;
    for (Command c : {ID_FILE_CLOSE, ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_CHANGE_TEMPLATE, ID_EXECUTE,
                      ID_COMPUTE_EXPRESSION, ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW, ID_SAVE_CONTENTS,
                      ID_CLEAR_ALL, ID_CONFIGURE, ID_MAIN_INPUT, ID_WINDOW_CASCADE, ID_WINDOW_TILE,
                      ID_WINDOW_ARRANGE})
        Action(c)->setEnabled(doc != nullptr);
    Action(ID_SAVE_AVI)->setVisible(isGraph);
    Action(ID_SAVE_AVI)->setEnabled(isGraph);
    for (Command c : {ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_EDIT_SELECT_ALL,
                      ID_EDIT_FIND, ID_EDIT_REPLACE})
        Action(c)->setEnabled(isText);
    // The Execute item follows the running state; Ctrl+E works in both.
    Action(ID_EXECUTE)->setText(doc && doc->Running() ? "Stop &Execution" : "&Execute");
    m_editMenu->menuAction()->setVisible(doc != nullptr);
    m_windowMenu->menuAction()->setVisible(doc != nullptr);
    UpdateFileMenu();
    UpdateViewMenu();
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
    for (QAction* recent : m_recentActions)
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
        item->setText(BytesToText(doc->Template().views[static_cast<size_t>(n)].titleText));
        item->setEnabled(true);
        m_viewMenu->addAction(item);
    }
}

// ---- Documents ----

CTivaneDoc* CMainFrame::OpenDocumentFile(const std::string& path) {
    const QString canonical = Canonical(path);
    for (const auto& doc : m_docs) {
        if (Canonical(doc->PathName()) == canonical && !doc->Views().empty()) {
            // Already open: its first window comes to the front; its layout is not read again.
            if (CTivaneFrame* frame = FrameOf(*doc->Views().front())) {
                if (frame->isMinimized()) frame->showNormal();
                m_mdi->setActiveSubWindow(frame);
            }
            return doc.get();
        }
    }
    // Templates and programs named without a folder are looked for beside the document too,
    // whichever way it was opened, not only beside the one named on the command line.
    SearchContext search = m_search;
    search.commandLineFile = canonical.toStdString();
    auto doc = std::make_unique<CTivaneDoc>(*this, search);
    if (!doc->OpenDocument(path)) return nullptr;
    CTivaneDoc* opened = doc.get();
    m_docs.push_back(std::move(doc));
    opened->RestoreLayout();
    AddRecentFile(opened->PathName());
    if (!opened->Views().empty()) {
        if (CTivaneFrame* frame = FrameOf(*opened->Views().front()))
            m_mdi->setActiveSubWindow(frame);
    }
    UpdateMenus();
    return opened;
}

void CMainFrame::OpenOrCreateDocument() {
    const std::optional<std::string> name = m_dialogs->PromptDocument();
    if (!name) return;
    if (!QFileInfo::exists(QString::fromStdString(*name))) {
        // A new model: an empty document and an empty layout file beside it.
        SaveTransaction create;
        create.Write(*name, "");
        create.Write(CTivaneDoc::LayoutFileNameOf(*name), "");
        if (!create.Commit()) {
            m_dialogs->MessageBox(std::string(doctext::kFailedToSave) + " " + create.FailureText(),
                                  MessageIcon::Stop, 0);
            return;
        }
        m_dialogs->MessageBox(kNewDocumentHint, MessageIcon::None, 0);
    }
    OpenDocumentFile(*name);
}

bool CMainFrame::AskToSave(CTivaneDoc& doc) {
    // The main input's edits count even when the window shows them only.
    if (!doc.IsModified()) return true;
    switch (m_dialogs->AskSaveChanges(doc.Title())) {
    case SaveAnswer::Yes:
        return SaveDocument(doc, doc.PathName());
    case SaveAnswer::No:
        return true;
    case SaveAnswer::Cancel:
        break;
    }
    return false;
}

bool CMainFrame::SaveDocument(CTivaneDoc& doc, const std::string& path) {
    if (!doc.OnSaveDocument(path)) return false;
    AddRecentFile(path);
    return true;
}

bool CMainFrame::CloseDocument(CTivaneDoc& doc, bool askToSave) {
    if (askToSave && !AskToSave(doc)) return false;
    StopRecordings(doc);
    for (auto it = m_docs.begin(); it != m_docs.end(); ++it) {
        if (it->get() == &doc) {
            // The windows go now; the document itself later, never inside a message pass,
            // where code further up the stack may still be using it.
            for (const auto& view : doc.Views())
                view->AttachSurface(std::make_unique<HeadlessSurface>());
            m_closed.push_back(std::move(*it));
            m_docs.erase(it);
            m_reaper->start(0);
            break;
        }
    }
    UpdateMenus();
    return true;
}

void CMainFrame::DeleteClosedDocuments() {
    if (m_pumpDepth > 0 || AnyDocumentBusy()) {
        m_reaper->start(kMaxPumpWaitMs);
        return;
    }
    m_closed.clear();
}

bool CMainFrame::AnyDocumentBusy() const {
    for (const auto* list : {&m_docs, &m_closed}) {
        for (const auto& doc : *list) {
            if (doc->Busy()) return true;
        }
    }
    return false;
}

bool CMainFrame::FrameClosing(CTivaneFrame& frame) {
    CViewBase* view = frame.View();
    CTivaneDoc& doc = CTivaneDoc::Of(*view);
    if (!doc.CanCloseFrame()) return false;
    if (doc.Views().size() == 1) {
        // The last window takes its document with it.
        if (!AskToSave(doc)) return false;
        frame.DetachView();
        CloseDocument(doc, false);
        return true;
    }
    frame.StopRecording();
    frame.DetachView();
    doc.RemoveView(*view);
    UpdateMenus();
    return true;
}

std::unique_ptr<WindowSurface> CMainFrame::MakeWindow(CViewBase& view) {
    auto* frame = new CTivaneFrame(*this, view);
    m_mdi->addSubWindow(frame);
    frame->show();
    m_mdi->setActiveSubWindow(frame);
    return std::make_unique<FrameSurface>(frame);
}

// ---- The dialog seam ----

void CMainFrame::MessageBox(std::string_view text, MessageIcon icon, uint32_t helpContext) {
    m_dialogs->MessageBox(text, icon, helpContext);
}

Answer CMainFrame::AskOkCancel(std::string_view text, MessageIcon icon) {
    return m_dialogs->AskOkCancel(text, icon);
}

std::optional<std::string> CMainFrame::GetUserInput(std::string_view prompt,
                                                    std::string_view initial) {
    return m_dialogs->GetUserInput(prompt, initial);
}

bool CMainFrame::AskYesNo(std::string_view question) {
    return m_dialogs->AskYesNo(question);
}

std::optional<std::string> CMainFrame::EditViewSetup(std::string_view setupText) {
    return m_dialogs->EditViewSetup(setupText);
}

std::optional<std::string> CMainFrame::ChooseTemplate() {
    return m_dialogs->ChooseTemplate();
}

void CMainFrame::SetDialogs(std::unique_ptr<Dialogs> dialogs) {
    m_dialogs = std::move(dialogs);
}

void CMainFrame::PumpMessages() {
    // The throttle spares runs; outside one (the pass after a run, restoring a layout) every
    // pass goes through, so the windows show the end of a run at once.
    if (CTivaneDoc::RunningCount() > 0 && m_pumpClock.elapsed() < m_pumpWaitMs) return;
    m_pumpClock.restart();
    const qint64 blockedBefore = m_blockedNs;
    ++m_pumpDepth;
    QApplication::processEvents(QEventLoop::AllEvents);
    --m_pumpDepth;
    // A pass that took long (a big repaint) makes the next one wait longer, so passing
    // messages takes about a quarter of a run's time at most; time a dialog waited on a
    // person is not the pass's, and the wait stays short enough for Stop to answer.
    const qint64 took = m_pumpClock.restart() - (m_blockedNs - blockedBefore) / 1000000;
    m_pumpWaitMs = std::clamp(3 * took, kPumpIntervalMs, kMaxPumpWaitMs);
}

void CMainFrame::SetRunningLook(bool running) {
    m_runningLook = running;
    Action(ID_EXECUTE)->setIcon(ToolIcon(ID_EXECUTE, running));
    UpdateMenus();
    // The lamp shows at once: only its button is painted now, not every window.
    if (QWidget* button = m_toolBar->widgetForAction(Action(ID_EXECUTE))) button->repaint();
}

// ---- Commands ----

namespace {
TextWidget* ActiveText(const CMainFrame& main) {
    CViewBase* view = main.ActiveView();
    CTivaneFrame* frame = view ? main.FrameOf(*view) : nullptr;
    return frame ? frame->Text() : nullptr;
}
} // namespace

void CMainFrame::FileNew() {
    OpenOrCreateDocument();
}

void CMainFrame::FileOpen() {
    OpenOrCreateDocument();
}

void CMainFrame::FileClose() {
    CTivaneDoc* doc = ActiveDocument();
    if (!doc || !doc->CanCloseDocument()) return;
    CloseDocument(*doc, true);
}

void CMainFrame::FileSave() {
    if (CTivaneDoc* doc = ActiveDocument()) SaveDocument(*doc, doc->PathName());
}

void CMainFrame::FileSaveAs() {
    CTivaneDoc* doc = ActiveDocument();
    if (!doc) return;
    if (const auto path = m_dialogs->PromptSaveAs(doc->PathName())) SaveDocument(*doc, *path);
}

void CMainFrame::ChangeTemplate() {
    CTivaneDoc* doc = ActiveDocument();
    if (!doc || !doc->ChangeTemplate()) return;
    // Saved with its new template: close and reopen, so its windows come back with it.
    const std::string path = doc->PathName();
    CloseDocument(*doc, false);
    OpenDocumentFile(path);
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

void CMainFrame::ShowStatus(const QString& message) {
    statusBar()->showMessage(message, 10000);
}

void CMainFrame::StopRecordings(const CTivaneDoc& doc) {
    for (const auto& view : doc.Views()) {
        if (CTivaneFrame* window = FrameOf(*view)) window->StopRecording();
    }
}

bool CMainFrame::PrintingRefused() const {
    CTivaneDoc* doc = ActiveDocument();
    if (!doc || !doc->Running()) return false;
    m_dialogs->MessageBox(kPrintRunning, MessageIcon::Stop, 0);
    return true;
}

QPrinter& CMainFrame::Printer() {
    if (!m_printer) m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

void CMainFrame::Print() {
    CViewBase* view = ActiveView();
    if (!view || PrintingRefused()) return;
    PrintView(*this, *view, false);
}

void CMainFrame::PrintPreview() {
    CViewBase* view = ActiveView();
    if (!view || PrintingRefused()) return;
    PrintView(*this, *view, true);
}

void CMainFrame::PrintSetup() {
    QPageSetupDialog dialog(&Printer(), this);
    dialog.exec();
}

void CMainFrame::Exit() {
    close();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (CTivaneDoc::RunningCount() > 0 || AnyDocumentBusy()) {
        m_dialogs->MessageBox(doctext::kQuitRunning, MessageIcon::Stop, 0);
        event->ignore();
        return;
    }
    while (!m_docs.empty()) {
        if (!CloseDocument(*m_docs.back(), true)) {
            event->ignore();
            return;
        }
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
    if (TextWidget* t = ActiveText(*this)) ShowFindDialog(this, t, false);
}
void CMainFrame::Replace() {
    if (TextWidget* t = ActiveText(*this)) ShowFindDialog(this, t, true);
}

void CMainFrame::SaveContents() {
    CViewBase* view = ActiveView();
    if (!view) return;
    if (view->Kind() == ViewKind::Graphics)
        SavePictureContents(static_cast<CTivaneGraph&>(*view), *this);
    else
        view->SaveContents();
}

void CMainFrame::ClearAll() {
    if (CTivaneDoc* doc = ActiveDocument()) doc->ClearAll();
}

void CMainFrame::Configure() {
    if (CViewBase* view = ActiveView()) view->Configure();
}

void CMainFrame::ShowMainInput() {
    CTivaneDoc* doc = ActiveDocument();
    if (!doc) return;
    if (CTivaneView* input = doc->MainInputView()) {
        if (CTivaneFrame* frame = FrameOf(*input)) {
            if (frame->isMinimized()) frame->showNormal();
            m_mdi->setActiveSubWindow(frame);
        }
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

void CMainFrame::ContextHelp() {
    QWhatsThis::enterWhatsThisMode();
}

void CMainFrame::ShowHelpTopic(int32_t topic) {
    if (!m_help) m_help = new HelpWindow(this);
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
