#pragma once
// The help window: the bundled help pages in a browser, opened by topic number (a built-in
// function, an error message, a message box) or at the index.

#include <QMainWindow>
#include <QUrl>
#include <map>

class QTextBrowser;

namespace tivane {

inline constexpr int32_t kHelpIndexTopic = -1;
inline constexpr int32_t kHelpUsingTopic = -2;

class HelpWindow : public QMainWindow {
    Q_OBJECT
public:
    // The pages of `folder` when it has them (the installed ones), else the built-in copy.
    HelpWindow(QWidget* parent, const QString& folder);
    // Shows the page of a topic; a number without a page shows the index.
    void ShowTopic(int32_t topic);
    // The page a topic opens ("index.html" for unknown numbers).
    QString PageOf(int32_t topic) const;
    QTextBrowser* Browser() const { return m_browser; }

private:
    QTextBrowser* m_browser;
    QUrl m_root; // the folder of the pages, with a trailing '/'
    std::map<int32_t, QString> m_pages;
};

} // namespace tivane
