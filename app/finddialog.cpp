#include "finddialog.h"

#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <vector>

#include "dialogs.h"
#include "widgets.h"

namespace tivane {

namespace {

QTextDocument::FindFlags FlagsOf(const FindRequest& request) {
    return request.matchCase ? QTextDocument::FindCaseSensitively : QTextDocument::FindFlags();
}

class FindDialog : public QDialog {
public:
    FindDialog(QWidget* parent, TextWidget* text, bool replace, FindRequest& last,
               DialogSeam& dialogs)
        : QDialog(parent), m_text(text), m_last(last), m_dialogs(dialogs) {
        setWindowTitle(replace ? "Replace" : "Find");
        setObjectName(replace ? "replaceDialog" : "findDialog");
        setAttribute(Qt::WA_DeleteOnClose);
        auto* grid = new QGridLayout(this);
        m_find = new QLineEdit(this);
        m_find->setObjectName("findWhat");
        // A label with a buddy shows its '&' as the underlined mnemonic of the field.
        auto* findLabel = new QLabel("Fi&nd what:", this);
        findLabel->setBuddy(m_find);
        grid->addWidget(findLabel, 0, 0);
        grid->addWidget(m_find, 0, 1);
        auto* next = new QPushButton("&Find Next", this);
        next->setDefault(true);
        grid->addWidget(next, 0, 2);
        connect(next, &QPushButton::clicked, this, [this] { Next(); });
        // Tab goes from the fields to the buttons, then to the check box.
        std::vector<QWidget*> order{m_find};
        std::vector<QWidget*> buttons{next};
        if (replace) {
            m_replace = new QLineEdit(this);
            m_replace->setObjectName("replaceWith");
            auto* replaceLabel = new QLabel("Re&place with:", this);
            replaceLabel->setBuddy(m_replace);
            grid->addWidget(replaceLabel, 1, 0);
            grid->addWidget(m_replace, 1, 1);
            order.push_back(m_replace);
            auto* one = new QPushButton("&Replace", this);
            auto* all = new QPushButton("Replace &All", this);
            grid->addWidget(one, 1, 2);
            grid->addWidget(all, 2, 2);
            connect(one, &QPushButton::clicked, this, [this] { ReplaceOne(); });
            connect(all, &QPushButton::clicked, this, [this] { ReplaceAll(); });
            buttons.insert(buttons.end(), {one, all});
        }
        m_case = new QCheckBox("Match &case", this);
        grid->addWidget(m_case, 2, 0, 1, 2);
        auto* cancel = new QPushButton("Cancel", this);
        grid->addWidget(cancel, 3, 2);
        connect(cancel, &QPushButton::clicked, this, &QDialog::close);
        buttons.push_back(cancel);
        order.insert(order.end(), buttons.begin(), buttons.end());
        order.push_back(m_case);
        for (size_t k = 1; k < order.size(); ++k)
            setTabOrder(order[k - 1], order[k]);
        const QString selected = text->textCursor().selectedText();
        m_find->setText(selected.isEmpty() ? last.text : selected);
        m_find->selectAll();
        m_case->setChecked(last.matchCase);
    }

private:
    bool Next() {
        if (!m_text || m_find->text().isEmpty()) return false;
        m_last = FindRequest{m_find->text(), m_case->isChecked()};
        return FindNext(*m_text, m_last, m_dialogs);
    }
    void ReplaceOne() {
        if (!m_text) return;
        QTextCursor c = m_text->textCursor();
        const Qt::CaseSensitivity cs =
            m_case->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
        if (c.hasSelection() && c.selectedText().compare(m_find->text(), cs) == 0)
            c.insertText(m_replace->text());
        Next();
    }
    void ReplaceAll() {
        if (!m_text || m_find->text().isEmpty()) return;
        m_last = FindRequest{m_find->text(), m_case->isChecked()};
        QTextCursor c = m_text->textCursor();
        c.movePosition(QTextCursor::Start);
        m_text->setTextCursor(c);
        c.beginEditBlock();
        while (m_text->find(m_last.text, FlagsOf(m_last)))
            m_text->textCursor().insertText(m_replace->text());
        c.endEditBlock();
    }

    QPointer<TextWidget> m_text;
    FindRequest& m_last;
    DialogSeam& m_dialogs;
    QLineEdit* m_find;
    QLineEdit* m_replace = nullptr;
    QCheckBox* m_case;
};

} // namespace

bool FindNext(TextWidget& text, const FindRequest& request, DialogSeam& dialogs) {
    if (request.text.isEmpty()) return false;
    if (text.find(request.text, FlagsOf(request))) return true;
    // Round to the start once; the selection stays where it was on a miss.
    const QTextCursor before = text.textCursor();
    QTextCursor start = before;
    start.movePosition(QTextCursor::Start);
    text.setTextCursor(start);
    if (text.find(request.text, FlagsOf(request))) return true;
    text.setTextCursor(before);
    dialogs.MessageBox(TextToBytes(QStringLiteral("Cannot find \"%1\".").arg(request.text)),
                       MessageIcon::None, 0);
    return false;
}

void ShowFindDialog(QWidget* parent, TextWidget* text, bool replace, FindRequest& last,
                    DialogSeam& dialogs) {
    auto* dialog = new FindDialog(parent, text, replace, last, dialogs);
    dialog->show();
}

} // namespace tivane
