#pragma once
// The dialog seam and the window surfaces: everything a document or a view asks of a person
// or of the window system. The application implements them with Qt widgets, tivane-run with
// headless surfaces and stdin/stderr, the tests with scripted fakes, so that no rule of
// documents and views needs a window to be tested.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "hosts.h"

namespace tivane {

class CViewBase;

// The placement record of a view's child frame, in the order of the "WindowPlacement" key.
struct WindowPlacement {
    int16_t flags = 0;
    int16_t showCmd = 1; // 1 normal, 2 minimized, 3 maximized
    int32_t minX = -1, minY = -1;
    int32_t maxX = -1, maxY = -1;
    int32_t left = 0, top = 0, right = 640, bottom = 480;
    bool operator==(const WindowPlacement&) const = default;
};

// A text view's font as the view chose it: the face asked for, the cell height in pixels and
// the style flags (bit 0 italic, bit 1 underline, bit 2 strike-out).
struct FontSpec {
    std::string face;
    int32_t height = 16;
    uint16_t flags = 0;
    bool operator==(const FontSpec&) const = default;
};

// The window of one view. The view owns it; the window may be gone (closed by its frame)
// before the view is, and then the surface answers with what it last knew.
class WindowSurface {
public:
    virtual ~WindowSurface() = default;

    virtual void SetCaption(const std::string& caption) = 0;
    virtual WindowPlacement Placement() const = 0;
    virtual void SetPlacement(const WindowPlacement& placement) = 0;
    // Asks for a repaint. With `erase` the picture is redrawn from scratch; without it a
    // graphics window replays only the items added since its last paint.
    virtual void Invalidate(bool erase) = 0;
    // The client area in device pixels.
    virtual int32_t ClientWidth() const = 0;
    virtual int32_t ClientHeight() const = 0;
    // Horizontal logical pixels per inch of the screen the window is on.
    virtual double LogicalDpiX() const = 0;

    // Text windows: their text, with every line break as CR LF; and their font.
    virtual std::string Text() const { return {}; }
    virtual void SetText(std::string_view text) { (void)text; }
    // Program output: `text` is what was shown before with its first `dropped` characters
    // cut and new text appended. A window may update only the two ends; it shows `text`.
    virtual void ShowOutput(std::string_view text, size_t dropped) {
        (void)dropped;
        SetText(text);
    }
    virtual void SetFont(const FontSpec& font) { (void)font; }
};

// The answer of an OK/Cancel question.
enum class Answer { Ok, Cancel };

// One kind of file a save dialog offers as a filter: its name ("PNG") and its name endings
// (".png"), the first of them the one a name typed without an ending gets.
struct FileKind {
    std::string name;
    std::vector<std::string> endings;
};

// What a save dialog is asked: its title, the folder it opens in ("" for the current one),
// the name it proposes, and the kinds it offers, `selected` the one chosen at the start.
struct SaveFileRequest {
    std::string title;
    std::string folder;
    std::string name;
    std::vector<FileKind> kinds;
    size_t selected = 0;
};

// The modal dialogs that documents and views ask for beyond those of a run; the application
// adds its own prompts.
class DialogSeam : public RunDialogs {
public:
    virtual Answer AskOkCancel(std::string_view text, MessageIcon icon) = 0;
    // The View Setup dialog: the edited setup text, or nothing for Cancel.
    virtual std::optional<std::string> EditViewSetup(std::string_view setupText) = 0;
    // "Choose template": a template file, or nothing for Cancel.
    virtual std::optional<std::string> ChooseTemplate() = 0;
    // The platform's save dialog: the path chosen, or nothing for Cancel. A name given
    // without an ending gets the first ending of the kind selected in the dialog. It asks
    // nothing about a file that exists: the caller first checks that it can write the name's
    // format, then asks (MayReplaceFile).
    virtual std::optional<std::string> AskSaveFileName(const SaveFileRequest& request) = 0;
};

class Ui : public DialogSeam {
public:
    // The message pass: lets pending window messages (repaints, commands, Stop) through.
    virtual void PumpMessages() = 0;
    // The toolbar's Execute lamp: red while any document runs.
    virtual void SetRunningLook(bool running) = 0;
    // Makes the window of a new view (its child frame). The view owns what is returned.
    virtual std::unique_ptr<WindowSurface> MakeWindow(CViewBase& view) = 0;
};

// Save Contents replaces a file only when the person says so: true when `path` does not exist
// yet, or the answer to "The file ... already exists. Do you want to replace it?" is OK.
bool MayReplaceFile(DialogSeam& ui, const std::string& path);

// What a save reports, naming the kind of file ("PNG", "text") and the file:
// "The PNG file a/b.png has been saved successfully." and
// "Could not save the PNG file a/b.png: No space left on device."
std::string SavedMessage(std::string_view kind, const std::string& path);
std::string NotSavedMessage(std::string_view kind, const std::string& path,
                            std::string_view reason);

// A save dialog for a file that belongs to a document: it opens in the document's folder and
// proposes the document's name (or `fallback` for a document without a path) with the first
// ending of the kind selected.
SaveFileRequest SaveBesideDocument(const std::string& documentPath, std::string title,
                                   std::vector<FileKind> kinds, size_t selected,
                                   std::string_view fallback);

// The folder of a document's path, where its saves start; "" (the current folder) for a
// document without one.
std::string FolderOf(const std::string& documentPath);
// `path` with `ending` added when its file name has no ending of its own (no "." after the
// last "/", other than a leading one).
std::string WithEnding(const std::string& path, std::string_view ending);
// The ending of the file name of `path`, from its last "." on ("" when it has none).
std::string_view EndingOf(std::string_view path);

} // namespace tivane
