#include "documentlist.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTimer>
#include <algorithm>

#include "appui.h"
#include "childframe.h"
#include "headlesssurface.h"
#include "mainframe.h"
#include "savetransaction.h"
#include "tivanedoc.h"
#include "tivaneview.h"
#include "viewbase.h"
#include "widgets.h"

namespace tivane {

namespace {

constexpr int kRecentFiles = 4;
// A closed document still in use is looked at again after about the longest wait between
// two message passes of a run.
constexpr int kReapRetryMs = 100;
constexpr const char* kNewDocumentHint =
    "You should now use File/Change Template to set up the template to be used with this "
    "document.";

QString Canonical(const std::string& path) {
    const QFileInfo info(QString::fromStdString(path));
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.absoluteFilePath() : canonical;
}

} // namespace

DocumentList::DocumentList(CMainFrame& main, AppUi& ui, SearchContext search)
    : m_main(main), m_ui(ui), m_search(std::move(search)), m_reaper(new QTimer(this)) {
    m_reaper->setSingleShot(true);
    connect(m_reaper, &QTimer::timeout, this, &DocumentList::DeleteClosed);
    for (int k = 0; k < kRecentFiles; ++k) {
        auto* recent = new QAction(this);
        recent->setVisible(false);
        connect(recent, &QAction::triggered, this,
                [this, recent] { OpenRecent(recent->data().toString()); });
        m_recentActions.push_back(recent);
    }
    UpdateRecentFiles();
}

DocumentList::~DocumentList() {
    while (!m_docs.empty()) {
        StopRecordings(*m_docs.back());
        m_docs.pop_back();
    }
    m_closed.clear();
}

CTivaneDoc* DocumentList::Open(const std::string& path) {
    const QString canonical = Canonical(path);
    for (const auto& doc : m_docs) {
        if (Canonical(doc->PathName()) == canonical && !doc->Views().empty()) {
            // Already open: its first window comes to the front; its layout is not read again.
            if (CTivaneFrame* frame = m_main.FrameOf(*doc->Views().front()))
                m_main.ActivateWindow(*frame, true);
            return doc.get();
        }
    }
    // Templates and programs named without a folder are looked for beside the document too,
    // whichever way it was opened, not only beside the one named on the command line.
    SearchContext search = m_search;
    search.commandLineFile = canonical.toStdString();
    auto doc = std::make_unique<CTivaneDoc>(m_ui, search);
    if (!doc->OpenDocument(path)) return nullptr;
    CTivaneDoc* opened = doc.get();
    m_docs.push_back(std::move(doc));
    opened->RestoreLayout();
    m_main.CascadeFromOthers(*opened);
    AddRecentFile(opened->PathName());
    if (!opened->Views().empty()) {
        if (CTivaneFrame* frame = m_main.FrameOf(*opened->Views().front()))
            m_main.ActivateWindow(*frame, false);
    }
    Q_EMIT changed();
    return opened;
}

void DocumentList::OpenOrCreate() {
    Dialogs& dialogs = m_ui.dialogs();
    const std::optional<std::string> name = dialogs.PromptDocument();
    if (!name) return;
    if (!QFileInfo::exists(QString::fromStdString(*name))) {
        // A new model: an empty document and an empty layout file beside it.
        SaveTransaction create;
        create.Write(*name, "");
        create.Write(CTivaneDoc::LayoutFileNameOf(*name), "");
        if (!create.Commit()) {
            dialogs.MessageBox(std::string(doctext::kFailedToSave) + " " + create.FailureText(),
                               MessageIcon::Stop, 0);
            return;
        }
        dialogs.MessageBox(kNewDocumentHint, MessageIcon::None, 0);
    }
    Open(*name);
}

bool DocumentList::AskToSave(CTivaneDoc& doc) {
    // The main input's edits count even when the window shows them only.
    if (!doc.IsModified()) return true;
    switch (m_ui.dialogs().AskSaveChanges(doc.Title())) {
    case SaveAnswer::Yes:
        return Save(doc, doc.PathName());
    case SaveAnswer::No:
        return true;
    case SaveAnswer::Cancel:
        break;
    }
    return false;
}

bool DocumentList::Save(CTivaneDoc& doc, const std::string& path) {
    if (!doc.OnSaveDocument(path)) return false;
    // Edits are counted from the text saved: undoing back past it modifies the document.
    if (CTivaneView* input = doc.MainInputView()) {
        if (CTivaneFrame* frame = m_main.FrameOf(*input); frame && frame->Text())
            frame->Text()->document()->setModified(false);
    }
    AddRecentFile(path);
    Q_EMIT changed();
    return true;
}

void DocumentList::SaveAs(CTivaneDoc& doc) {
    if (const auto path = m_ui.dialogs().PromptSaveAs(doc.PathName())) Save(doc, *path);
}

bool DocumentList::Close(CTivaneDoc& doc, bool askToSave) {
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
    Q_EMIT changed();
    return true;
}

bool DocumentList::CloseAll() {
    while (!m_docs.empty()) {
        if (!Close(*m_docs.back(), true)) return false;
    }
    return true;
}

void DocumentList::Reopen(CTivaneDoc& doc) {
    const std::string path = doc.PathName();
    Close(doc, false);
    Open(path);
}

void DocumentList::DeleteClosed() {
    if (m_ui.InPass() || AnyBusy()) {
        m_reaper->start(kReapRetryMs);
        return;
    }
    m_closed.clear();
}

bool DocumentList::AnyBusy() const {
    for (const auto* list : {&m_docs, &m_closed}) {
        for (const auto& doc : *list) {
            if (doc->Busy()) return true;
        }
    }
    return false;
}

bool DocumentList::FrameClosing(CTivaneFrame& frame) {
    CViewBase* view = frame.View();
    CTivaneDoc& doc = CTivaneDoc::Of(*view);
    if (!doc.CanCloseFrame()) return false;
    if (doc.Views().size() == 1) {
        if (!AskToSave(doc)) return false;
        frame.DetachView();
        Close(doc, false);
        return true;
    }
    frame.StopRecording();
    frame.DetachView();
    doc.RemoveView(*view);
    Q_EMIT changed();
    return true;
}

void DocumentList::StopRecordings(const CTivaneDoc& doc) {
    for (const auto& view : doc.Views()) {
        if (CTivaneFrame* window = m_main.FrameOf(*view)) window->StopRecording();
    }
}

void DocumentList::OpenRecent(const QString& path) {
    if (QFileInfo::exists(path)) {
        Open(path.toStdString());
        return;
    }
    QSettings settings;
    QStringList files = settings.value("recentFiles").toStringList();
    files.removeAll(path);
    settings.setValue("recentFiles", files);
    UpdateRecentFiles();
    Q_EMIT changed();
    m_ui.dialogs().MessageBox(
        TextToBytes(QStringLiteral("The file %1 cannot be found. It is removed from the list of "
                                   "recent files.")
                        .arg(QDir::toNativeSeparators(path))),
        MessageIcon::Stop, 0);
}

QStringList RecentFileLabels(const QStringList& paths) {
    QStringList labels;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        // A name that two entries share comes with its folder, home as "~".
        const bool shared = std::count_if(paths.begin(), paths.end(), [&](const QString& p) {
                                return QFileInfo(p).fileName() == info.fileName();
                            }) > 1;
        QString label = info.fileName();
        if (shared) {
            QString folder = QDir::toNativeSeparators(info.path());
            const QString home = QDir::toNativeSeparators(QDir::homePath());
            if (folder == home || folder.startsWith(home + QDir::separator()))
                folder = "~" + folder.mid(home.size());
            label += QStringLiteral(" (%1)").arg(folder);
        }
        // A '&' in a name is a letter, not a menu mnemonic.
        labels << label.replace('&', QStringLiteral("&&"));
    }
    return labels;
}

void DocumentList::UpdateRecentFiles() {
    const QStringList files = QSettings().value("recentFiles").toStringList();
    const QStringList labels = RecentFileLabels(files);
    for (int k = 0; k < kRecentFiles; ++k) {
        QAction* a = m_recentActions[static_cast<size_t>(k)];
        if (k < files.size()) {
            a->setText(QStringLiteral("&%1 %2").arg(k + 1).arg(labels[k]));
            a->setData(files[k]);
            a->setVisible(true);
        } else {
            a->setVisible(false);
        }
    }
}

void DocumentList::AddRecentFile(const std::string& path) {
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

} // namespace tivane
