#include "helpwindow.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QTextBrowser>
#include <QToolBar>

namespace tivane {

HelpWindow::HelpWindow(QWidget* parent, const QString& folder)
    : QMainWindow(parent, Qt::Window),
      m_root(!folder.isEmpty() && QFileInfo::exists(folder + "/topics.txt")
                 ? QUrl::fromLocalFile(folder + "/")
                 : QUrl("qrc:/help/")) {
    setWindowTitle("Tivane Help");
    setObjectName("help");
    m_browser = new QTextBrowser(this);
    m_browser->setOpenExternalLinks(true);
    m_browser->setSearchPaths({m_root.isLocalFile() ? m_root.toLocalFile() : ":/help"});
    setCentralWidget(m_browser);
    QToolBar* bar = addToolBar("Navigation");
    bar->setMovable(false);
    QAction* back = bar->addAction("Back", m_browser, &QTextBrowser::backward);
    QAction* forward = bar->addAction("Forward", m_browser, &QTextBrowser::forward);
    bar->addAction("Index", this, [this] { ShowTopic(kHelpIndexTopic); });
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    resize(720, 640);

    // "topic file" per line: the pages that help contexts open.
    QFile topics(m_root.isLocalFile() ? m_root.toLocalFile() + "topics.txt" : ":/help/topics.txt");
    if (topics.open(QIODevice::ReadOnly | QIODevice::Text)) {
        while (!topics.atEnd()) {
            const QList<QByteArray> fields = topics.readLine().simplified().split(' ');
            bool ok = false;
            const int32_t number = fields.value(0).toInt(&ok);
            if (ok && fields.size() >= 2) m_pages[number] = QString::fromUtf8(fields[1]);
        }
    }
}

QString HelpWindow::PageOf(int32_t topic) const {
    if (topic == kHelpUsingTopic) return "using-help.html";
    const auto it = m_pages.find(topic);
    return it == m_pages.end() ? QStringLiteral("index.html") : it->second;
}

void HelpWindow::ShowTopic(int32_t topic) {
    m_browser->setSource(m_root.resolved(QUrl(PageOf(topic))));
    show();
    raise();
    activateWindow();
}

} // namespace tivane
