#include "dialogs.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStringDecoder>
#include <QTextEdit>
#include <QVBoxLayout>

#include "widgets.h"

namespace tivane {

QString BytesToText(std::string_view bytes, bool* utf8) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text =
        decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8) *utf8 = !decoder.hasError();
    if (decoder.hasError())
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    return text;
}

std::string TextToBytes(const QString& text) {
    return text.toUtf8().toStdString();
}

QString ElideReport(const QString& report, bool* elided) {
    constexpr int kMaxLines = 40, kKeep = 20;
    const QStringList lines = report.split('\n');
    if (elided) *elided = lines.size() > kMaxLines;
    if (lines.size() <= kMaxLines) return report;
    QStringList shown = lines.mid(0, kKeep);
    shown << QStringLiteral("... (%1 lines left out; see Show Details) ...")
                 .arg(lines.size() - 2 * kKeep);
    shown << lines.mid(lines.size() - kKeep);
    return shown.join('\n');
}

namespace {

constexpr const char* kDocumentFilter = "Tivane Files (*.tvd);;All Files (*)";

// The name a file dialog returned, or nothing when it was cancelled.
std::optional<std::string> Chosen(const QString& name) {
    if (name.isEmpty()) return std::nullopt;
    return name.toStdString();
}

QMessageBox::Icon IconOf(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Stop:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// A modal dialog with a prompt, one field and OK/Cancel.
class InputDialog : public QDialog {
public:
    InputDialog(QWidget* parent, const QString& title, const QString& prompt, const QString& text,
                bool multiLine)
        : QDialog(parent) {
        setWindowTitle(title);
        auto* layout = new QVBoxLayout(this);
        auto* label = new QLabel(prompt, this);
        label->setWordWrap(true);
        label->setMinimumWidth(320);
        layout->addWidget(label);
        if (multiLine) {
            m_area = new PlainTextEdit(this);
            m_area->setPlainText(text);
            m_area->setObjectName("setupText");
            layout->addWidget(m_area);
            m_area->setFocus();
        } else {
            m_line = new QLineEdit(text, this);
            m_line->setObjectName("input");
            layout->addWidget(m_line);
            m_line->setFocus();
        }
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        layout->addWidget(buttons);
    }
    QString Text() const { return m_line ? m_line->text() : m_area->toPlainText(); }

private:
    QLineEdit* m_line = nullptr;
    QPlainTextEdit* m_area = nullptr;
};

} // namespace

void QtDialogs::MessageBox(std::string_view text, MessageIcon icon, uint32_t helpContext) {
    ShowBox(text, {}, icon, helpContext);
}

void QtDialogs::ErrorReportBox(std::string_view report, std::string_view details,
                               uint32_t helpContext) {
    ShowBox(report, details, MessageIcon::Stop, helpContext);
}

void QtDialogs::ShowBox(std::string_view text, std::string_view details, MessageIcon icon,
                        uint32_t helpContext) {
    QMessageBox box(IconOf(icon), kAppName, QString(), QMessageBox::Ok, m_parent);
    bool elided = false;
    const QString full = BytesToText(text);
    box.setText(ElideReport(full, &elided));
    // The place in the user's text comes first; an elided report follows it whole.
    QString more = BytesToText(details);
    if (elided) more += (more.isEmpty() ? "" : "\n") + full;
    if (!more.isEmpty()) {
        box.setDetailedText(more);
        // The caret under the failing item lines up only in a fixed-width font.
        if (auto* edit = box.findChild<QTextEdit*>())
            edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    }
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton* help = nullptr;
    if (helpContext != 0 && showHelp) help = box.addButton(QMessageBox::Help);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    if (help && box.clickedButton() == help) showHelp(helpContext);
}

Answer QtDialogs::AskOkCancel(std::string_view text, MessageIcon icon) {
    QMessageBox box(IconOf(icon), kAppName, BytesToText(text),
                    QMessageBox::Ok | QMessageBox::Cancel, m_parent);
    return box.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
}

std::optional<std::string> QtDialogs::GetUserInput(std::string_view prompt,
                                                   std::string_view initial) {
    InputDialog dialog(m_parent, "User Input", BytesToText(prompt), BytesToText(initial), false);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return TextToBytes(dialog.Text());
}

bool QtDialogs::AskYesNo(std::string_view question) {
    return QMessageBox::question(m_parent, kAppName, BytesToText(question),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::optional<std::string> QtDialogs::EditViewSetup(std::string_view setupText) {
    InputDialog dialog(m_parent, "View Setup",
                       "Enter View setup text here:", BytesToText(setupText), true);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return TextToBytes(dialog.Text());
}

std::optional<std::string> QtDialogs::ChooseTemplate() {
    const QString name = QFileDialog::getOpenFileName(m_parent, "Choose template", QString(),
                                                      "Tivane Templates (*.tml);;All Files (*)");
    if (name.isEmpty()) return std::nullopt;
    return name.toStdString();
}

QStringList NameFilters(const std::vector<FileKind>& kinds) {
    QStringList filters;
    for (const FileKind& kind : kinds) {
        QStringList patterns;
        for (const std::string& ending : kind.endings)
            patterns << (ending.empty() ? QStringLiteral("*")
                                        : "*" + QString::fromStdString(ending));
        filters << QStringLiteral("%1 files (%2)")
                       .arg(QString::fromStdString(kind.name), patterns.join(' '));
    }
    return filters;
}

std::optional<std::string> QtDialogs::AskSaveFileName(const SaveFileRequest& request) {
    QFileDialog dialog(m_parent, QString::fromStdString(request.title),
                       QString::fromStdString(request.folder));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The caller asks before replacing, once it knows it can write the name's format.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = NameFilters(request.kinds);
    dialog.setNameFilters(filters);
    if (request.selected < static_cast<size_t>(filters.size()))
        dialog.selectNameFilter(filters[static_cast<qsizetype>(request.selected)]);
    dialog.selectFile(QString::fromStdString(request.name));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QString name = dialog.selectedFiles().value(0);
    if (name.isEmpty()) return std::nullopt;
    const auto kind = filters.indexOf(dialog.selectedNameFilter());
    const std::string ending =
        kind >= 0 ? request.kinds[static_cast<size_t>(kind)].endings.at(0) : std::string();
    return WithEnding(name.toStdString(), ending);
}

std::optional<std::string> QtDialogs::PromptDocument() {
    QFileDialog dialog(m_parent, "Open Equation", QString(), kDocumentFilter);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix("tvd");
    dialog.setLabelText(QFileDialog::Accept, "&Open");
    while (dialog.exec() == QDialog::Accepted) {
        const QString name = dialog.selectedFiles().value(0);
        if (name.isEmpty()) break;
        if (QFileInfo::exists(name)) return name.toStdString();
        if (QMessageBox::question(m_parent, "Open Equation",
                                  QStringLiteral("%1\nThis file does not exist.\nDo you want to "
                                                 "create it?")
                                      .arg(name)) == QMessageBox::Yes)
            return name.toStdString();
    }
    return std::nullopt;
}

std::optional<std::string> QtDialogs::PromptExample(const std::string& folder) {
    return Chosen(QFileDialog::getOpenFileName(m_parent, "Examples", QString::fromStdString(folder),
                                               kDocumentFilter));
}

std::optional<std::string> QtDialogs::PromptSaveAs(const std::string& current) {
    return Chosen(QFileDialog::getSaveFileName(m_parent, "Save As", QString::fromStdString(current),
                                               kDocumentFilter));
}

SaveAnswer QtDialogs::AskSaveChanges(const std::string& title) {
    const auto answer = QMessageBox::question(
        m_parent, kAppName,
        QStringLiteral("Save changes to %1?").arg(QString::fromStdString(title)),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    return answer == QMessageBox::Yes  ? SaveAnswer::Yes
           : answer == QMessageBox::No ? SaveAnswer::No
                                       : SaveAnswer::Cancel;
}

bool QtDialogs::Confirm(const QString& question) {
    // No is the default: Enter after a slip of the keys loses nothing.
    return QMessageBox::question(m_parent, kAppName, question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

} // namespace tivane
