#pragma once
// The modal dialogs, behind one interface so that tests script them and never wait on a
// person: message boxes, the questions, the User Input and View Setup dialogs, and the file
// prompts.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include <QString>

#include "hosts.h"
#include "ui.h"

class QWidget;

namespace tivane {

// The answer of the question whether to save a modified document.
enum class SaveAnswer { Yes, No, Cancel };

class Dialogs : public DialogSeam {
public:
    // "Open Equation": a document file; a name that does not exist yet has been confirmed.
    virtual std::optional<std::string> PromptDocument() = 0;
    virtual std::optional<std::string> PromptSaveAs(const std::string& current) = 0;
    // Help > Examples: a document chosen in the folder of the bundled models.
    virtual std::optional<std::string> PromptExample(const std::string& folder) = 0;
    // "Save changes to %1?"
    virtual SaveAnswer AskSaveChanges(const std::string& title) = 0;
    // A question before something that cannot be undone: true for Yes.
    virtual bool Confirm(const QString& question) = 0;
};

// A seam (`Ui` or `DialogSeam`) whose modal dialogs are those of another `DialogSeam`, chosen
// anew at every call: an implementation adds only what it does itself, and a new dialog of
// the seam is forwarded here, once.
template <typename Seam>
class DialogForwarder : public Seam {
public:
    void MessageBox(std::string_view text, MessageIcon icon, uint32_t helpContext) override {
        Target().MessageBox(text, icon, helpContext);
    }
    void ErrorReportBox(std::string_view report, std::string_view details,
                        uint32_t helpContext) override {
        Target().ErrorReportBox(report, details, helpContext);
    }
    Answer AskOkCancel(std::string_view text, MessageIcon icon) override {
        return Target().AskOkCancel(text, icon);
    }
    std::optional<std::string> GetUserInput(std::string_view prompt,
                                            std::string_view initial) override {
        return Target().GetUserInput(prompt, initial);
    }
    bool AskYesNo(std::string_view question) override { return Target().AskYesNo(question); }
    std::optional<std::string> EditViewSetup(std::string_view setupText) override {
        return Target().EditViewSetup(setupText);
    }
    std::optional<std::string> ChooseTemplate() override { return Target().ChooseTemplate(); }
    std::optional<std::string> AskSaveFileName(const SaveFileRequest& request) override {
        return Target().AskSaveFileName(request);
    }

protected:
    virtual DialogSeam& Target() = 0;
};

// The real dialogs, owned by the main window.
class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent) : m_parent(parent) {}
    // Opens help on a topic number (the Help button of message boxes).
    std::function<void(uint32_t)> showHelp;

    void MessageBox(std::string_view text, MessageIcon icon, uint32_t helpContext) override;
    void ErrorReportBox(std::string_view report, std::string_view details,
                        uint32_t helpContext) override;
    Answer AskOkCancel(std::string_view text, MessageIcon icon) override;
    std::optional<std::string> GetUserInput(std::string_view prompt,
                                            std::string_view initial) override;
    bool AskYesNo(std::string_view question) override;
    std::optional<std::string> EditViewSetup(std::string_view setupText) override;
    std::optional<std::string> ChooseTemplate() override;
    std::optional<std::string> AskSaveFileName(const SaveFileRequest& request) override;
    std::optional<std::string> PromptDocument() override;
    std::optional<std::string> PromptSaveAs(const std::string& current) override;
    std::optional<std::string> PromptExample(const std::string& folder) override;
    SaveAnswer AskSaveChanges(const std::string& title) override;
    bool Confirm(const QString& question) override;

private:
    void ShowBox(std::string_view text, std::string_view details, MessageIcon icon,
                 uint32_t helpContext);
    QWidget* m_parent;
};

// The name filters of a save dialog, one a kind: "PNG (*.png)", "JPEG (*.jpg *.jpeg)"; a kind
// whose only ending is "" takes every file ("All files (*)").
QStringList NameFilters(const std::vector<FileKind>& kinds);

// Bytes of the language as text for widgets: UTF-8 when valid, else Latin-1 (`utf8` says
// which).
QString BytesToText(std::string_view bytes, bool* utf8 = nullptr);
std::string TextToBytes(const QString& text);

// A report of more than 40 lines shows its first and last 20 with a line that says how many
// were left out; the whole report goes into the box's details.
QString ElideReport(const QString& report, bool* elided = nullptr);

// The application's name in titles.
inline constexpr const char* kAppName = "Tivane";

} // namespace tivane
