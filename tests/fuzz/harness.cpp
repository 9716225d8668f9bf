#include "harness.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "compiler.h"
#include "errors.h"
#include "evaluator.h"
#include "format.h"
#include "interpreter.h"
#include "openfile.h"

namespace tivane::fuzz {

namespace {

// Message passes (one every 4096 runs) before the run is stopped as if by the user.
constexpr int kPumpBudget = 16;

class FuzzDocument final : public DocumentHost {
public:
    int pumps = 0;
    bool RunsDefaultPrograms() const override { return false; }
    bool LocateFile(std::string&, std::string_view) override { return false; }
    std::string ReadTextFile(const std::string&, ReadFailure) override { return {}; }
    void MessageBox(std::string_view, MessageIcon, uint32_t) override {}
    std::string GetUserInput(std::string_view prompt) override { return std::string(prompt); }
    bool AskUserYesNo(std::string_view question) override { return question.size() % 2 == 0; }
    void PumpMessages() override {
        if (++pumps > kPumpBudget) errorCode = ERR_USER_STOP;
    }
    std::string MainInput() const override { return m_input; }
    bool UpdateViews() override { return true; }
    bool ExecViewTemplates() override { return true; }
    bool ForAllViews(std::string_view) override { return true; }
    void SetConfig(std::string_view text) override { m_input = text; }
    void DisplayViews() override {}
    void ShowMessage(std::string_view) override {}

private:
    std::string m_input;
};

std::string g_fileDir;

// Only plain names, taken inside a fresh temporary directory, can be opened.
std::FILE* ConfinedOpen(const char* name, const char* mode) {
    if (!*name || std::strchr(name, '/') || std::strcmp(name, ".") == 0 ||
        std::strcmp(name, "..") == 0)
        return nullptr;
    return std::fopen((g_fileDir + "/" + name).c_str(), mode);
}

void SetUpOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    char dir[] = "/tmp/tivane-fuzz-XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    g_fileDir = dir;
    SetFileOpener(ConfinedOpen);
    // Keeps one input from taking the machine's memory; past it programs get error 3.
    Pool().SetByteLimit(size_t{256} << 20);
    Pool().EnsureNotValid();
}

} // namespace

void RunInput(const uint8_t* data, size_t size) {
    SetUpOnce();
    const size_t liveAtStart = Pool().LiveCells();
    const size_t bytesAtStart = Pool().BytesUsed();
    {
        FuzzDocument doc;
        CInterpreter main(doc);
        const std::string text(reinterpret_cast<const char*>(data), size);
        const CellIndex program = Compile(main, text);
        if (program != kNoCell) {
            std::string listing;
            ListProgram(main, program, 1, listing);
            const CellIndex result = Run(main, program);
            if (result != kNoCell) {
                std::string value;
                FormatValue(main, result, value);
                Release(result);
            }
            Release(program);
        }
        ErrorReport(main);
    }
    if (Pool().LiveCells() != liveAtStart || Pool().BytesUsed() != bytesAtStart) {
        std::fprintf(stderr, "cells or bytes not given back: %zu -> %zu cells, %zu -> %zu bytes\n",
                     liveAtStart, Pool().LiveCells(), bytesAtStart, Pool().BytesUsed());
        std::abort();
    }
}

} // namespace tivane::fuzz
