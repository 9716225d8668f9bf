// tivane-run: runs one program of the language headless, as the main program of a document
// without views. Messages go to stderr, dialogs read stdin, Ctrl+C stops the run.

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <string_view>

#include "compiler.h"
#include "errors.h"
#include "evaluator.h"
#include "filesearch.h"
#include "format.h"
#include "interpreter.h"

namespace {

using namespace tivane;

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) {
    g_interrupted = 1;
}

constexpr const char* kUsage =
    "Usage: tivane-run [--bare] --eval TEXT\n"
    "       tivane-run [--bare] FILE.prg\n"
    "\n"
    "Runs a program as the main program of a document without views and prints its value.\n"
    "\n"
    "  --eval TEXT  run TEXT instead of a program file\n"
    "  --bare       run no default program (default.prg) first\n"
    "  --help       show this help\n"
    "\n"
    "Exit status: 0 when the program ran, 1 when it failed (the report goes to stderr),\n"
    "2 for a usage error.\n";

class ConsoleDocument final : public DocumentHost {
public:
    ConsoleDocument(bool bare, std::string commandLineFile) : m_bare(bare) {
        m_search.executableDir = ExecutableDirectory();
        m_search.commandLineFile = std::move(commandLineFile);
    }

    bool RunsDefaultPrograms() const override { return !m_bare; }

    bool LocateFile(std::string& name, std::string_view fallback) override {
        return tivane::LocateFile(name, fallback, m_search);
    }

    std::string ReadTextFile(const std::string& name, int16_t messageLevel) override {
        return tivane::ReadTextFile(name, messageLevel, [this](const std::string& message) {
            MessageBox(message, MessageIcon::Stop, 0);
        });
    }

    void MessageBox(std::string_view text, MessageIcon, uint32_t) override {
        std::cout.flush();
        std::cerr << text << '\n';
    }

    std::string GetUserInput(std::string_view) override {
        std::string line;
        if (!std::getline(std::cin, line)) return {};
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return line;
    }

    bool AskUserYesNo(std::string_view question) override {
        std::cerr << question << '\n';
        std::string line = GetUserInput({});
        for (char& c : line) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        return line == "y" || line == "yes";
    }

    void PumpMessages() override {
        if (g_interrupted) {
            g_interrupted = 0;
            errorCode = ERR_USER_STOP;
        }
    }

    std::string MainInput() const override { return m_mainInput; }
    // A document without views: the walks visit nothing and succeed.
    bool UpdateViews() override { return true; }
    bool ExecViewTemplates() override { return true; }
    bool ForAllViews(std::string_view) override { return true; }
    void SetConfig(std::string_view text) override { m_mainInput = text; }
    void DisplayViews() override { PumpMessages(); }
    void ShowMessage(std::string_view text) override {
        DisplayViews();
        MessageBox(text, MessageIcon::None, kHelpShowMessage);
    }

private:
    bool m_bare;
    SearchContext m_search;
    std::string m_mainInput;
};

int UsageError(const std::string& what) {
    std::cerr << "tivane-run: " << what << "\nTry 'tivane-run --help'.\n";
    return 2;
}

// Shows the report of the document's current error, if there is one.
void Report(CInterpreter& in) {
    if (auto report = ErrorReport(in)) in.document->MessageBox(*report, MessageIcon::Stop, 0);
}

int RunProgram(ConsoleDocument& doc, const std::string& text) {
    CInterpreter main(doc);
    const CellIndex program = Compile(main, text);
    if (program == kNoCell) {
        Report(main);
        return 1;
    }
    const CellIndex result = Run(main, program);
    Release(program);
    if (result == kNoCell) {
        Report(main);
        return 1;
    }
    std::string out;
    const bool ok = FormatValue(main, result, out);
    Release(result);
    if (!ok) {
        std::cerr << ErrorMessage(doc.errorCode) << ".\n";
        return 1;
    }
    std::cout << out << '\n';
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    bool bare = false;
    bool haveEval = false;
    std::string evalText;
    std::string file;
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--bare") {
            bare = true;
        } else if (arg == "--eval") {
            if (k + 1 >= argc) return UsageError("--eval needs a program text");
            if (haveEval) return UsageError("--eval given twice");
            haveEval = true;
            evalText = argv[++k];
        } else if (arg.size() > 1 && arg[0] == '-') {
            return UsageError("unknown option '" + std::string(arg) + "'");
        } else if (!file.empty()) {
            return UsageError("more than one program file");
        } else {
            file = arg;
        }
    }
    if (haveEval == !file.empty())
        return UsageError(haveEval ? "give either --eval TEXT or a program file, not both"
                                   : "no program given");

    std::signal(SIGINT, OnInterrupt);
    ConsoleDocument doc(bare, file);
    std::string text = evalText;
    if (!haveEval) {
        std::optional<std::string> content = ReadProgramText(file);
        if (!content) {
            // A program file that cannot be read is a failure, not an empty program.
            doc.MessageBox(CouldNotOpenMessage(file), MessageIcon::Stop, 0);
            return 1;
        }
        text = std::move(*content);
    }
    return RunProgram(doc, text);
}
