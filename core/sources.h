#pragma once
// Where the programs came from: the name and the text each program was compiled from, so that
// an error report can point at the line the user wrote rather than at the normalised listing.
// The owners (documents, views, interpreters) choose the names; the language knows none of them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "cellpool.h"
#include "hosts.h"

namespace tivane {

class CInterpreter;

// One place a program text comes from: an object and one of its slots (a document's main
// program and its Compute Expression, say). A slot remembers its latest text only.
struct SourceSlot {
    const void* object;
    int32_t slot;
    bool operator==(const SourceSlot&) const = default;
};

// Compile, remembering the name and the text in `slot` (replacing what it held), and the
// program made from it. The slot keeps a reference to the program until it is replaced or
// forgotten, so that the program's cell stands for this text and no other.
CellIndex CompileSource(CInterpreter& in, SourceSlot slot, std::string name, std::string_view text);
// Drops every slot of `object` (called when it goes away).
void ForgetSources(const void* object);

// The details of a report, one paragraph per place: the program's name, the line and the
// column in its text, that line and a caret under the failing item. A compile error points at
// where compiling stopped in `source`; a run error at each record of `trace`, outermost first.
// A program whose text is not known is named as made at run time, with no line.
std::string CompileErrorDetails(std::string_view source, int32_t position);
std::string RunErrorDetails(const std::vector<TraceRecord>& trace);

} // namespace tivane
