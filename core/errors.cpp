#include "errors.h"

#include <algorithm>
#include <array>
#include <vector>

#include "format.h"
#include "interpreter.h"
#include "sources.h"

namespace tivane {

namespace {

constexpr std::array<const char*, kErrorCodeCount> kMessages = {
    "No error",
    "Operand expected",
    "Operator expected",
    "Not enough memory",
    "Too many operators/beginning parentheses",
    "Too many ending parentheses",
    "No end apostrophe",
    "Invalid number of arguments",
    "Invalid text input",
    "Invalid use of ','",
    "Invalid type",
    "Invalid use of an operator ( , ; )",
    "Not implemented",
    "Can modify only variables and user defined functions",
    "In function definitions arguments should be local variables",
    "Unexpected '}' has been found",
    "Too many '{'",
    "Function not defined",
    "Program abort",
    "User stopped execution",
    "Cannot give a PROGRAM type value to the parents variable",
    "Do not use a PROGRAM type value from the parents variable",
    "Only one format specifier is allowed",
    "Invalid format specifier",
    "Invalid mathematical expression encountered",
    "Use the ClipWindow function before drawing to the screen",
    "Invalid ClipWindow size",
};

static_assert(kMessages.back() != nullptr, "one message for each ErrorCode");

// Characters of context shown before and after the failing place.
constexpr size_t kContextBefore = 30;
constexpr size_t kContextSpan = 60;

void AppendCompileContext(const std::string& s, int32_t position, std::string& text) {
    const size_t p = std::min(static_cast<size_t>(std::max(position, 0)), s.size());
    const size_t w = p > kContextBefore ? p - kContextBefore : 0;
    text.append(s, w, p - w);
    text += '#';
    const size_t end = std::min(w + kContextSpan, s.size());
    if (end > p) text.append(s, p, end - p);
    text += '\n';
}

// Lists the records, newest first, and releases their programs.
void AppendRunTrace(CInterpreter& in, const std::vector<TraceRecord>& trace, std::string& text) {
    for (const TraceRecord& record : trace) {
        // The program's own interpreter when it is one of the two (a record at position 0,
        // from a stop or the nesting limit, has no sign to tell), else as the sign says.
        const ValueCell& cell = CellAt(record.program);
        const uint32_t serial = cell.type == TYPE_PROGRAM ? cell.prog->owner : 0;
        CInterpreter& owner = serial == in.serial                        ? in
                              : in.parent && serial == in.parent->serial ? *in.parent
                              : record.position < 0 && in.parent         ? *in.parent
                                                                         : in;
        const int32_t position = record.position < 0 ? -record.position : record.position;
        std::string listing;
        size_t k = std::string::npos;
        if (ListProgram(owner, record.program, position, listing, &k)) {
            // The mark is found by its offset: a string in the listing may hold 0xFF bytes.
            if (k == std::string::npos)
                k = listing.size();
            else
                listing[k] = '#';
            const size_t from = k > kContextBefore ? k - kContextBefore : 0;
            const size_t to = std::min(k + kContextSpan, listing.size());
            text.append(listing, from, to - from);
            text += '\n';
        }
        Release(record.program);
    }
}

} // namespace

const char* ErrorMessage(uint32_t code) {
    return code < kMessages.size() ? kMessages[code] : "General error";
}

void ClearTrace(DocumentHost& doc) {
    TraceRecord r;
    while (doc.errorTrace.Pop(r))
        Release(r.program);
}

void ClearErrors(DocumentHost& doc) {
    if (doc.errorCode != 0) ClearTrace(doc);
    doc.errorCode = 0;
}

void PushTrace(DocumentHost& doc, CellIndex program, int16_t position) {
    AddRef(program);
    doc.errorTrace.Push({program, position});
}

std::optional<TraceRecord> PopTrace(DocumentHost& doc) {
    TraceRecord r;
    if (!doc.errorTrace.Pop(r)) return std::nullopt;
    return r;
}

std::optional<std::string> ErrorReport(CInterpreter& in, std::string* details) {
    DocumentHost& doc = *in.document;
    const uint32_t code = doc.errorCode;
    std::optional<std::string> report;
    if (details) details->clear();
    if (doc.errorPhase != ErrorPhase::None && code == ERR_USER_STOP)
        report = "User stopped execution.";
    if (code == ERR_ABORT || code == ERR_USER_STOP) doc.errorPhase = ErrorPhase::None;
    if (doc.errorPhase != ErrorPhase::None) {
        const ErrorPhase phase = doc.errorPhase;
        // The message pass below may run other programs, which clear the error fields and
        // compile into this interpreter: take what the report needs first.
        std::vector<TraceRecord> trace;
        while (auto record = PopTrace(doc))
            trace.push_back(*record);
        const std::string source = phase == ErrorPhase::Compile ? in.source : std::string();
        const int32_t position = in.position;
        if (details) {
            *details = phase == ErrorPhase::Compile ? CompileErrorDetails(source, position)
                                                    : RunErrorDetails(trace);
        }
        // Output made before the error becomes visible first.
        doc.DisplayViews();
        std::string text = ErrorMessage(code);
        text += ".\n\n";
        if (phase == ErrorPhase::Compile)
            AppendCompileContext(source, position, text);
        else
            AppendRunTrace(in, trace, text);
        ClearTrace(doc);
        if (phase == ErrorPhase::Compile) {
            for (const TraceRecord& record : trace)
                Release(record.program);
        }
        report = std::move(text);
    }
    // Listing may have set its own error codes; the report stands for the original one.
    doc.errorCode = code;
    ClearTrace(doc);
    doc.errorPhase = ErrorPhase::None;
    return report;
}

} // namespace tivane
