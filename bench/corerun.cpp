// tivane-corerun FILE.prg: compiles and runs one program file in a bare document interpreter
// and prints its value, like `tivane-run --bare FILE.prg`, but linked against the language
// core alone, so that a benchmark times the interpreter and not the loading of the window and
// movie libraries.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "compiler.h"
#include "errors.h"
#include "evaluator.h"
#include "format.h"
#include "interpreter.h"

namespace {

using namespace tivane;

class BareDocument final : public DocumentHost, public RunDialogs {
public:
    bool RunsDefaultPrograms() const override { return false; }
    bool LocateFile(std::string&, std::string_view) override { return false; }
    std::string ReadTextFile(const std::string&, ReadFailure) override { return {}; }
    RunDialogs& dialogs() override { return *this; }
    void MessageBox(std::string_view, MessageIcon, uint32_t) override {}
    std::optional<std::string> GetUserInput(std::string_view, std::string_view) override {
        return std::string();
    }
    bool AskYesNo(std::string_view) override { return false; }
    void PumpMessages() override {}
    std::string MainInput() const override { return {}; }
    bool UpdateViews() override { return true; }
    bool ExecViewTemplates() override { return true; }
    bool ForAllViews(std::string_view) override { return true; }
    void SetConfig(std::string_view) override {}
    void DisplayViews() override {}
    void ShowMessage(std::string_view text) override { std::cout << text << '\n'; }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tivane-corerun FILE.prg\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 2;
    }
    std::ostringstream text;
    text << file.rdbuf();
    BareDocument doc;
    CInterpreter in(doc);
    const CellIndex program = Compile(in, text.str());
    CellIndex result = kNoCell;
    if (program != kNoCell) {
        result = Run(in, program);
        Release(program);
    }
    if (result == kNoCell) {
        if (auto report = ErrorReport(in)) std::fprintf(stderr, "%s\n", report->c_str());
        return 1;
    }
    std::string value;
    FormatValue(in, result, value);
    Release(result);
    std::cout << value << '\n';
    return 0;
}
