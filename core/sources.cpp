#include "sources.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "compiler.h"

namespace tivane {
namespace {

struct Source {
    SourceSlot slot;
    std::string name;
    std::string text;
    CellIndex program = kNoCell; // none after a failed compile
    uint64_t compile = 0;        // its CompileCount
};

std::vector<Source>& Sources() {
    static std::vector<Source> sources;
    return sources;
}

bool Holds(CellIndex program, CellIndex wanted) {
    if (program == wanted) return true;
    const ValueCell& c = CellAt(program);
    if (c.type != TYPE_PROGRAM) return false;
    // Blocks are items of the program they were written in and keep offsets into its text.
    for (int32_t k = 0; k < c.prog->count; ++k) {
        const CellIndex item = c.prog->items[k];
        if (CellAt(item).type == TYPE_PROGRAM && Holds(item, wanted)) return true;
    }
    return false;
}

const Source* SourceOf(CellIndex program) {
    for (const Source& s : Sources())
        if (s.program != kNoCell && Holds(s.program, program)) return &s;
    return nullptr;
}

// "name, line L, column C:", the line, and a caret under column C. Tabs before the column
// stay tabs so that the caret lines up however wide the viewer shows them.
void AppendPlace(std::string_view name, std::string_view text, int32_t offset, std::string& out) {
    const size_t at = std::min(static_cast<size_t>(offset), text.size());
    const size_t found = text.rfind('\n', at == 0 ? 0 : at - 1);
    const size_t start = found == std::string_view::npos || found >= at ? 0 : found + 1;
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string_view before = text.substr(0, start);
    const auto lineNumber = 1 + std::count(before.begin(), before.end(), '\n');
    out += std::string(name) + ", line " + std::to_string(lineNumber) + ", column " +
           std::to_string(at - start + 1) + ":\n";
    out.append(line);
    out += '\n';
    for (size_t k = start; k < at; ++k)
        out += text[k] == '\t' ? '\t' : ' ';
    out += "^\n";
}

constexpr std::string_view kUnknownPlace =
    "A program made from text while running: the place is not known.\n";

} // namespace

CellIndex CompileSource(CInterpreter& in, SourceSlot slot, std::string name,
                        std::string_view text) {
    std::vector<Source>& sources = Sources();
    auto it = std::find_if(sources.begin(), sources.end(),
                           [&](const Source& s) { return s.slot == slot; });
    if (it == sources.end()) it = sources.insert(sources.end(), Source{slot, {}, {}});
    if (it->program != kNoCell) Release(std::exchange(it->program, kNoCell));
    it->name = std::move(name);
    it->text.assign(text);
    const CellIndex program = Compile(in, it->text);
    it->compile = CompileCount();
    if (program != kNoCell) {
        AddRef(program);
        it->program = program;
    }
    return program;
}

void ForgetSources(const void* object) {
    std::vector<Source>& sources = Sources();
    for (auto it = sources.begin(); it != sources.end();) {
        if (it->slot.object != object) {
            ++it;
            continue;
        }
        if (it->program != kNoCell) Release(it->program);
        it = sources.erase(it);
    }
}

std::string CompileErrorDetails(std::string_view source, int32_t position) {
    // Only the latest compile can have failed here: an older failed text is another error.
    for (const Source& s : Sources()) {
        if (s.program != kNoCell || s.compile != CompileCount()) continue;
        const int32_t offset = TextOffsetOfSource(s.text, source, position);
        if (offset < 0) break;
        std::string out;
        AppendPlace(s.name, s.text, offset, out);
        return out;
    }
    return std::string(kUnknownPlace);
}

std::string RunErrorDetails(const std::vector<TraceRecord>& trace) {
    std::string out;
    for (const TraceRecord& record : trace) {
        if (!out.empty()) out += '\n';
        const Source* source = SourceOf(record.program);
        const int32_t offset = ItemSourceOffset(record.program, std::abs(record.position));
        if (!source || offset < 0 || static_cast<size_t>(offset) > source->text.size())
            out += kUnknownPlace;
        else
            AppendPlace(source->name, source->text, offset, out);
    }
    return out;
}

} // namespace tivane
