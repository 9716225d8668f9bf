#include "finddialog.h"

#include <QCheckBox>
#include <QDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "widgets.h"

namespace tivane {

namespace {

class FindDialog : public QDialog {
public:
    FindDialog(QWidget* parent, TextWidget* text, bool replace) : QDialog(parent), m_text(text) {
        setWindowTitle(replace ? "Replace" : "Find");
        setAttribute(Qt::WA_DeleteOnClose);
        auto* grid = new QGridLayout(this);
        grid->addWidget(new QLabel("Fi&nd what:", this), 0, 0);
        m_find = new QLineEdit(this);
        grid->addWidget(m_find, 0, 1);
        auto* next = new QPushButton("&Find Next", this);
        next->setDefault(true);
        grid->addWidget(next, 0, 2);
        connect(next, &QPushButton::clicked, this, [this] { FindNext(); });
        m_case = new QCheckBox("Match &case", this);
        grid->addWidget(m_case, 2, 0, 1, 2);
        if (replace) {
            grid->addWidget(new QLabel("Re&place with:", this), 1, 0);
            m_replace = new QLineEdit(this);
            grid->addWidget(m_replace, 1, 1);
            auto* one = new QPushButton("&Replace", this);
            auto* all = new QPushButton("Replace &All", this);
            grid->addWidget(one, 1, 2);
            grid->addWidget(all, 2, 2);
            connect(one, &QPushButton::clicked, this, [this] { ReplaceOne(); });
            connect(all, &QPushButton::clicked, this, [this] { ReplaceAll(); });
        }
        auto* cancel = new QPushButton("Cancel", this);
        grid->addWidget(cancel, 3, 2);
        connect(cancel, &QPushButton::clicked, this, &QDialog::close);
        m_find->setText(text->textCursor().selectedText());
    }

private:
    QTextDocument::FindFlags Flags() const {
        return m_case->isChecked() ? QTextDocument::FindCaseSensitively
                                   : QTextDocument::FindFlags();
    }
    bool FindNext() {
        if (!m_text || m_find->text().isEmpty()) return false;
        if (m_text->find(m_find->text(), Flags())) return true;
        // Wrap around once from the start.
        QTextCursor start = m_text->textCursor();
        start.movePosition(QTextCursor::Start);
        m_text->setTextCursor(start);
        return m_text->find(m_find->text(), Flags());
    }
    void ReplaceOne() {
        if (!m_text) return;
        QTextCursor c = m_text->textCursor();
        const Qt::CaseSensitivity cs =
            m_case->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
        if (c.hasSelection() && c.selectedText().compare(m_find->text(), cs) == 0)
            c.insertText(m_replace->text());
        FindNext();
    }
    void ReplaceAll() {
        if (!m_text || m_find->text().isEmpty()) return;
        QTextCursor c = m_text->textCursor();
        c.movePosition(QTextCursor::Start);
        m_text->setTextCursor(c);
        c.beginEditBlock();
        while (m_text->find(m_find->text(), Flags()))
            m_text->textCursor().insertText(m_replace->text());
        c.endEditBlock();
    }

    QPointer<TextWidget> m_text;
    QLineEdit* m_find;
    QLineEdit* m_replace = nullptr;
    QCheckBox* m_case;
};

} // namespace

void ShowFindDialog(QWidget* parent, TextWidget* text, bool replace) {
    auto* dialog = new FindDialog(parent, text, replace);
    dialog->show();
}

} // namespace tivane
