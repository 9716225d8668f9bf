#include "harness.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
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

class FuzzDocument final : public DocumentHost, public RunDialogs {
public:
    int pumps = 0;
    bool RunsDefaultPrograms() const override { return false; }
    bool LocateFile(std::string&, std::string_view) override { return false; }
    std::string ReadTextFile(const std::string&, ReadFailure) override { return {}; }
    RunDialogs& dialogs() override { return *this; }
    void MessageBox(std::string_view, MessageIcon, uint32_t) override {}
    std::optional<std::string> GetUserInput(std::string_view prompt, std::string_view) override {
        return std::string(prompt);
    }
    bool AskYesNo(std::string_view question) override { return question.size() % 2 == 0; }
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

// What a run shows: its value or its error code and report.
struct Outcome {
    bool ok = false;
    std::string value;
    uint32_t error = 0;
    std::string report;
    bool operator==(const Outcome&) const = default;
};

// Files written by the previous run of the same input are removed first.
void EmptyFileDir() {
    DIR* dir = opendir(g_fileDir.c_str());
    if (!dir) return;
    while (const dirent* e = readdir(dir)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            unlink((g_fileDir + "/" + e->d_name).c_str());
    }
    closedir(dir);
}

Outcome RunOnce(const std::string& text, bool plain) {
    EmptyFileDir();
    SetPlainEvaluation(plain);
    SetRunCounter(1);
    Outcome o;
    FuzzDocument doc;
    CInterpreter main(doc);
    const CellIndex program = Compile(main, text);
    if (program != kNoCell) {
        std::string listing;
        ListProgram(main, program, 1, listing);
        const CellIndex result = Run(main, program);
        if (result != kNoCell) {
            o.ok = true;
            FormatValue(main, result, o.value);
            Release(result);
        }
        Release(program);
    }
    o.error = doc.errorCode;
    o.report = ErrorReport(main).value_or("");
    return o;
}

} // namespace

void RunInput(const uint8_t* data, size_t size) {
    SetUpOnce();
    const size_t liveAtStart = Pool().LiveCells();
    const size_t bytesAtStart = Pool().BytesUsed();
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The evaluator's fast paths against the plain item-by-item evaluation.
    const Outcome fast = RunOnce(text, false);
    const Outcome plain = RunOnce(text, true);
    SetPlainEvaluation(false);
    // Where a run runs out of memory depends on the evaluation's own machine-stack frames
    // and cells, so such runs are not compared.
    const bool exhausted = fast.error == ERR_NO_MEMORY || plain.error == ERR_NO_MEMORY;
    if (!exhausted && !(fast == plain)) {
        std::fprintf(stderr, "fast and plain evaluation differ:\n%d %u [%s] %s\n%d %u [%s] %s\n",
                     fast.ok, fast.error, fast.value.c_str(), fast.report.c_str(), plain.ok,
                     plain.error, plain.value.c_str(), plain.report.c_str());
        std::abort();
    }
    if (Pool().LiveCells() != liveAtStart || Pool().BytesUsed() != bytesAtStart) {
        std::fprintf(stderr, "cells or bytes not given back: %zu -> %zu cells, %zu -> %zu bytes\n",
                     liveAtStart, Pool().LiveCells(), bytesAtStart, Pool().BytesUsed());
        std::abort();
    }
}

} // namespace tivane::fuzz
