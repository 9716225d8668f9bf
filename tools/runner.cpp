// tivane-run: runs one program of the language headless, as the main program of a document
// without views, or one document with windows that have no screen; both through the
// application's document class. Messages go to stderr, dialogs read stdin, Ctrl+C stops the
// run.

#include "runner.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "filesearch.h"
#include "headlesssurface.h"
#include "modulepaths.h"
#include "tivanedoc.h"
#include "tivaneview.h"
#include "version.h"

namespace tivane {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) {
    g_interrupted = 1;
}

constexpr const char* kUsage =
    "Usage: tivane-run [--bare] --eval TEXT\n"
    "       tivane-run [--bare] FILE.prg\n"
    "       tivane-run [--bare] DOC [--all-views] [--save] [--export DIR] [--format F]\n"
    "                  [--size WxH] [--movie DIR] [--video V]\n"
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
    "  --video V     the format of movies: avi (default), mp4, webm or gif\n"
    "  --help        show this help\n"
    "  --version     show the version\n"
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
    void ErrorReportBox(std::string_view report, std::string_view details, uint32_t) override {
        std::cout.flush();
        std::cerr << report << '\n';
        if (!details.empty()) std::cerr << details;
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

// The places a run searches: tivane-run's directory (`home`) and the data folder found from it.
SearchContext RunSearch(const std::string& home, std::string commandLineFile) {
    SearchContext search{home, std::move(commandLineFile)};
    search.dataDir = ApplicationDataDirectory(home);
    return search;
}

// `pictures` is null when no option needs it; `home` is tivane-run's directory.
int RunDocument(const std::string& path, const DocumentOptions& options, PictureSide* pictures,
                const std::string& home) {
    ConsoleUi ui(options.width, options.height);
    CTivaneDoc doc(ui, RunSearch(home, path));
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
    if (!options.movieDir.empty() && !pictures->StartMovies(doc, options)) return 1;
    const auto started = std::chrono::steady_clock::now();
    doc.Execute();
    // Benchmarks (bench/app/) compare this with the same Execute in a window.
    if (const char* bench = std::getenv("TIVANE_BENCH");
        bench && std::string_view(bench) == "execute")
        std::fprintf(
            stderr, "execute_seconds %.4f\n",
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    int status = doc.ReportedErrors() > 0 || doc.FailedRuns() > 0 ? 1 : 0;
    if (!options.movieDir.empty() && !pictures->StopMovies()) status = 1;
    if (options.save && !doc.OnSaveDocument(doc.PathName())) status = 1;
    if (!options.exportDir.empty()) {
        if (!pictures->ExportWindows(doc, options)) status = 1;
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
               const DocumentOptions& options, const std::string& home) {
    ConsoleUi ui(options.width, options.height);
    CTivaneDoc doc(ui, RunSearch(home, file));
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
    const std::optional<std::string> value =
        doc.RunProgramText(text, evalText ? "Program text" : "Program file " + file);
    if (!value) return 1;
    std::cout << *value << '\n';
    return 0;
}

// Where the picture runner is told the directory tivane-run was started from: default
// programs beside the executable are searched for beside tivane-run, wherever the runner is.
constexpr const char* kRunHomeVariable = "TIVANE_RUN_HOME";

std::string RunnerHome(bool handedOver) {
    const char* home = std::getenv(kRunHomeVariable);
    if (!handedOver || !home) return ExecutableDirectory();
    std::string dir = home;
    unsetenv(kRunHomeVariable); // not for the programs the run may start
    return dir;
}

// Replaces this process with tivane-run-pictures on the same arguments; returns only when
// that cannot be done, after saying why.
int HandOverToPictures(char** argv) {
    constexpr const char* kPictureRunner = "tivane-run-pictures";
    std::string tried;
    const std::string runner = FirstExisting(OnDemandCandidates(kPictureRunner), tried);
    if (!runner.empty()) {
        setenv(kRunHomeVariable, ExecutableDirectory().c_str(), 1);
        execv(runner.c_str(), argv);
        tried = runner + ": " + std::strerror(errno);
    }
    std::cerr << "tivane-run: pictures and movies need " << kPictureRunner
              << ", which could not be started (" << tried << ").\n";
    return 1;
}

bool IsOneOf(std::string_view word, std::initializer_list<std::string_view> words) {
    for (std::string_view w : words)
        if (word == w) return true;
    return false;
}

} // namespace

int RunnerMain(int argc, char** argv, MakePictureSide makePictures) {
    std::optional<std::string> evalText;
    std::string file;
    DocumentOptions options;
    bool documentOption = false;
    int k = 1;
    // A document option followed by one of `words`, taken into `into`; false for another word.
    const auto takeWord = [&](std::string& into, std::initializer_list<std::string_view> words) {
        const std::string_view word = k + 1 < argc ? argv[k + 1] : "";
        if (!IsOneOf(word, words)) return false;
        into = word;
        ++k;
        documentOption = true;
        return true;
    };
    for (; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--version") {
            std::cout << "tivane-run " << TIVANE_VERSION << '\n';
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
            if (!takeWord(options.format, {"bmp", "png", "jpeg", "svg", "pdf"}))
                return UsageError("--format needs bmp, png, jpeg, svg or pdf");
        } else if (arg == "--video") {
            if (!takeWord(options.video, {"avi", "mp4", "webm", "gif"}))
                return UsageError("--video needs avi, mp4, webm or gif");
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
            "--all-views, --save, --export, --format, --size, --movie and --video need a document");

    if (isDocument && options.NeedsPictures() && !makePictures) return HandOverToPictures(argv);
    std::signal(SIGINT, OnInterrupt);
    const std::string home = RunnerHome(makePictures != nullptr);
    if (!isDocument) return RunProgram(file, evalText, options, home);
    const std::unique_ptr<PictureSide> pictures =
        options.NeedsPictures() ? makePictures(argc, argv) : nullptr;
    return RunDocument(file, options, pictures.get(), home);
}

} // namespace tivane
