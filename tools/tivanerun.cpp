// tivane-run: runs one program of the language headless, as the main program of a document
// without views, or one document with windows that have no screen; both through the
// application's document class. Messages go to stderr, dialogs read stdin, Ctrl+C stops the
// run.

#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

#include <QGuiApplication>
#include <QImage>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "atomicfile.h"
#include "errors.h"
#include "filesearch.h"
#include "headlesssurface.h"
#include "movierecorder.h"
#include "pictureexport.h"
#include "qtenv.h"
#include "replay.h"
#include "tivanedoc.h"
#include "tivanegraph.h"
#include "tivaneview.h"

namespace {

using namespace tivane;

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) {
    g_interrupted = 1;
}

constexpr const char* kUsage =
    "Usage: tivane-run [--bare] --eval TEXT\n"
    "       tivane-run [--bare] FILE.prg\n"
    "       tivane-run [--bare] DOC [--all-views] [--save] [--export DIR] [--format F]\n"
    "                  [--size WxH] [--movie DIR]\n"
    "\n"
    "Runs a program as the main program of a document without views and prints its value,\n"
    "or opens the document DOC (any name not ending in .prg) with headless windows as the\n"
    "application would, executes it once and prints the text of its text windows.\n"
    "\n"
    "  --eval TEXT   run TEXT instead of a program file\n"
    "  --bare        run no default program (default.prg, defaultt.prg, defaultg.prg)\n"
    "  --all-views   also open a window for every template view that has none\n"
    "  --save        save the document afterwards (document, layout and side files)\n"
    "  --export DIR  write DIR/viewK.txt (text windows) and DIR/viewK.png (graphics\n"
    "                windows) for the window of index K, instead of printing texts\n"
    "  --format F    the format of exported pictures: bmp, png (default), jpeg, svg or pdf\n"
    "  --size WxH    the size of exported pictures and movies (default 800x600)\n"
    "  --movie DIR   record every graphics window into DIR/viewK.avi, one frame per update\n"
    "  --help        show this help\n"
    "\n"
    "Exit status: 0 when the program ran, 1 when it failed or reported an error (the report\n"
    "goes to stderr), 2 for a usage error.\n";

// One line of stdin without its line ending; nothing at the end of the input.
std::optional<std::string> ReadLine() {
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// Writes the question to stderr and reads the answer from stdin, in lower case.
std::string Ask(std::string_view question) {
    std::cerr << question << '\n';
    std::string line = ReadLine().value_or("");
    for (char& c : line) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return line;
}

bool IsYes(const std::string& answer) {
    return answer == "y" || answer == "yes";
}

// The dialog seam of a run: messages on stderr, answers from stdin, windows that have no
// screen, and Ctrl+C as Stop.
class ConsoleUi final : public Ui {
public:
    ConsoleUi(int32_t width, int32_t height) : m_width(width), m_height(height) {}
    void SetDocument(CTivaneDoc* doc) { m_doc = doc; }

    void MessageBox(std::string_view text, MessageIcon, uint32_t) override {
        std::cout.flush();
        std::cerr << text << '\n';
    }
    Answer AskOkCancel(std::string_view text, MessageIcon) override {
        const std::string answer = Ask(text);
        return answer == "ok" || IsYes(answer) ? Answer::Ok : Answer::Cancel;
    }
    std::optional<std::string> GetUserInput(std::string_view, std::string_view) override {
        return ReadLine();
    }
    bool AskYesNo(std::string_view question) override { return IsYes(Ask(question)); }
    std::optional<std::string> EditViewSetup(std::string_view) override { return std::nullopt; }
    std::optional<std::string> ChooseTemplate() override { return std::nullopt; }
    // A program's file prompts read the name from stdin; without an ending it gets the one
    // of the proposed kind.
    std::optional<std::string> AskSaveFileName(const SaveFileRequest& request) override {
        std::cerr << request.title << ": the name of the file (" << request.name << ")?\n";
        std::optional<std::string> name = ReadLine();
        if (!name || name->empty()) return std::nullopt;
        return WithEnding(*name, request.kinds.at(request.selected).endings.at(0));
    }
    void PumpMessages() override {
        // A Ctrl+C before the run began (while the document opened) waits for the run: a
        // stop requested earlier is cleared when the run starts.
        if (g_interrupted && m_doc && m_doc->Running()) {
            g_interrupted = 0;
            m_doc->RequestStop();
        }
    }
    void SetRunningLook(bool) override {}
    std::unique_ptr<WindowSurface> MakeWindow(CViewBase&) override {
        return std::make_unique<HeadlessSurface>(m_width, m_height);
    }

private:
    int32_t m_width, m_height;
    CTivaneDoc* m_doc = nullptr;
};

int UsageError(const std::string& what) {
    std::cerr << "tivane-run: " << what << "\nTry 'tivane-run --help'.\n";
    return 2;
}

struct DocumentOptions {
    bool bare = false;
    bool allViews = false;
    bool save = false;
    std::string exportDir;
    std::string movieDir;
    PictureFormat format = PictureFormat::Png;
    int32_t width = 800, height = 600;
};

// "WxH" with both sides from 1 to 30000.
bool ParseSize(std::string_view text, int32_t& width, int32_t& height) {
    const size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos) return false;
    auto number = [](std::string_view digits, int32_t& out) {
        if (digits.empty() || digits.size() > 5) return false;
        int32_t v = 0;
        for (char c : digits) {
            if (c < '0' || c > '9') return false;
            v = v * 10 + (c - '0');
        }
        if (v < 1 || v > 30000) return false;
        out = v;
        return true;
    };
    return number(text.substr(0, x), width) && number(text.substr(x + 1), height);
}

// Writes viewK.txt or the picture viewK.png (or the chosen format) for every window; false after a
// message when one fails.
bool ExportWindows(const CTivaneDoc& doc, const DocumentOptions& options) {
    std::error_code ec;
    std::filesystem::create_directories(options.exportDir, ec);
    if (ec) {
        std::cerr << "Could not create the directory " << options.exportDir << ".\n";
        return false;
    }
    bool ok = true;
    int32_t k = 0;
    for (const auto& view : doc.Views()) {
        const std::string base = options.exportDir + "/view" + std::to_string(k++);
        if (view->Kind() == ViewKind::Text) {
            const WriteResult r = WriteFileAtomically(base + ".txt", view->Surface().Text());
            if (!r.Ok()) {
                std::cerr << "Could not write the file " << base << ".txt: " << r.error << ".\n";
                ok = false;
            }
            continue;
        }
        const auto& graph = static_cast<const CTivaneGraph&>(*view);
        const std::string name = base + std::string(ExtensionOf(options.format));
        std::string error;
        if (!WritePicture(graph.List(), graph.Model().Clip(), options.width, options.height,
                          options.format, name, error)) {
            // A write failure names the file already; a refused size does not.
            std::cerr << (error.find(name) == std::string::npos ? name + ": " : "") << error
                      << '\n';
            ok = false;
        }
    }
    return ok;
}

int RunDocument(const std::string& path, const DocumentOptions& options) {
    ConsoleUi ui(options.width, options.height);
    CTivaneDoc doc(ui, SearchContext{ExecutableDirectory(), path});
    ui.SetDocument(&doc);
    doc.SetBare(options.bare);
    if (!doc.OpenDocument(path)) return 1;
    doc.RestoreLayout();
    if (options.allViews) {
        for (int16_t i = 0; i < doc.Template().viewCount; ++i) {
            bool open = false;
            for (const auto& view : doc.Views())
                open = open || (!view->IsMainInput() && view->ViewIndex() == i);
            if (!open) doc.CreateView(i);
        }
    }
    // Every graphics window records from the start of the run; the movies are finalised when
    // the run has ended.
    std::vector<std::unique_ptr<MovieRecorder>> movies;
    if (!options.movieDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(options.movieDir, ec);
        const QSize size(options.width, options.height);
        int32_t k = 0;
        for (const auto& view : doc.Views()) {
            const int32_t index = k++;
            if (view->Kind() != ViewKind::Graphics) continue;
            auto movie = std::make_unique<MovieRecorder>(static_cast<CTivaneGraph&>(*view),
                                                         options.movieDir + "/view" +
                                                             std::to_string(index) + ".avi",
                                                         [size] { return size; });
            if (!movie->Start() || !movie->BeginIfRequested(size)) {
                std::cerr << "Could not record " << movie->FileName() << ": "
                          << movie->LastErrorText() << "\n";
                return 1;
            }
            movies.push_back(std::move(movie));
        }
    }
    const auto started = std::chrono::steady_clock::now();
    doc.Execute();
    // Benchmarks (bench/app/) compare this with the same Execute in a window.
    if (const char* bench = std::getenv("TIVANE_BENCH");
        bench && std::string_view(bench) == "execute")
        std::fprintf(
            stderr, "execute_seconds %.4f\n",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    int status = doc.ReportedErrors() > 0 || doc.FailedRuns() > 0 ? 1 : 0;
    for (auto& movie : movies) {
        if (!movie->Stop() || movie->LastStopReason() == MovieRecorder::StopReason::WriteFailed) {
            std::cerr << movie->FileName() << ": " << movie->LastErrorText() << "\n";
            status = 1;
        }
    }
    movies.clear();
    if (options.save && !doc.OnSaveDocument(doc.PathName())) status = 1;
    if (!options.exportDir.empty()) {
        if (!ExportWindows(doc, options)) status = 1;
    } else {
        for (const auto& view : doc.Views()) {
            if (view->Kind() == ViewKind::Text && !view->IsMainInput())
                std::cout << view->Surface().Text();
        }
        std::cout.flush();
    }
    return status;
}

// Runs TEXT, or the program file's text, as the main program of a document without views.
int RunProgram(const std::string& file, const std::optional<std::string>& evalText,
               const DocumentOptions& options) {
    ConsoleUi ui(options.width, options.height);
    CTivaneDoc doc(ui, SearchContext{ExecutableDirectory(), file});
    ui.SetDocument(&doc);
    doc.SetBare(options.bare);
    std::string text = evalText.value_or("");
    if (!evalText) {
        FileContents content = ReadProgramFile(file);
        if (!content) {
            // A program file that cannot be read is a failure, not an empty program.
            ui.MessageBox(ReadFailureMessage(content.status, file), MessageIcon::Stop, 0);
            return 1;
        }
        text = std::move(content.bytes);
    }
    const std::optional<std::string> value = doc.RunProgramText(text);
    if (!value) return 1;
    std::cout << *value << '\n';
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::optional<std::string> evalText;
    std::string file;
    DocumentOptions options;
    bool documentOption = false;
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--bare") {
            options.bare = true;
        } else if (arg == "--eval") {
            if (k + 1 >= argc) return UsageError("--eval needs a program text");
            if (evalText) return UsageError("--eval given twice");
            evalText = argv[++k];
        } else if (arg == "--all-views") {
            options.allViews = documentOption = true;
        } else if (arg == "--save") {
            options.save = documentOption = true;
        } else if (arg == "--export") {
            if (k + 1 >= argc || !*argv[k + 1]) return UsageError("--export needs a directory");
            options.exportDir = argv[++k];
            documentOption = true;
        } else if (arg == "--movie") {
            if (k + 1 >= argc || !*argv[k + 1]) return UsageError("--movie needs a directory");
            options.movieDir = argv[++k];
            documentOption = true;
        } else if (arg == "--format") {
            const auto format = FormatNamed(k + 1 < argc ? argv[k + 1] : "");
            if (!format) return UsageError("--format needs bmp, png, jpeg, svg or pdf");
            options.format = *format;
            ++k;
            documentOption = true;
        } else if (arg == "--size") {
            if (k + 1 >= argc || !ParseSize(argv[k + 1], options.width, options.height))
                return UsageError("--size needs WIDTHxHEIGHT, each from 1 to 30000");
            ++k;
            documentOption = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option '" + std::string(arg) + "'");
        } else if (!file.empty()) {
            return UsageError("more than one file");
        } else {
            file = arg;
        }
    }
    if (evalText.has_value() == !file.empty())
        return UsageError(evalText ? "give either --eval TEXT or a file, not both"
                                   : "no program or document given");
    const bool isDocument = !evalText && !EndsWithIgnoringCase(file, ".prg");
    if (documentOption && !isDocument)
        return UsageError(
            "--all-views, --save, --export, --format, --size and --movie need a document");

    std::signal(SIGINT, OnInterrupt);
    if (isDocument) {
        // Pictures and fonts need Qt's GUI layer, never a display.
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        PrepareQtEnvironment();
        int qtArgc = 1;
        char* qtArgv[] = {argv[0], nullptr};
        QGuiApplication app(qtArgc, qtArgv);
        // The language prints numbers with a '.' whatever the user's locale says.
        std::setlocale(LC_NUMERIC, "C");
        FilePictureWriter pictureWriter;
        InstallPictureWriter(&pictureWriter);
        const int status = RunDocument(file, options);
        InstallPictureWriter(nullptr);
        return status;
    }

    return RunProgram(file, evalText, options);
}
