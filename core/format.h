#pragma once
// Formatting values as text and listing programs back as infix text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "cellpool.h"

namespace tivane {

class CInterpreter;

struct FormatInfo {
    uint16_t type = 0;   // the type tag the conversion accepts; 0 when there is none
    size_t size = 0;     // the text size the format is expected to produce
    char conversion = 0; // s, d, x, g, f or e
};

// Checks a user format: exactly one conversion "%" [width ["." precision]] then s, ld, lx,
// lg, lf or le; "%%" is a percent sign. False with error 22 or 23 set.
bool CheckFormat(CInterpreter& in, std::string_view format, FormatInfo& info);

// The text of a value: the default form of its type, or under `format` (nullptr: none),
// whose conversion must match the value's type exactly. False with the error code set
// (22, 23, 10, or 3 for a text beyond the string limit).
bool FormatValue(CInterpreter& in, CellIndex value, const std::string_view* format,
                 std::string& out);
inline bool FormatValue(CInterpreter& in, CellIndex value, std::string& out) {
    return FormatValue(in, value, nullptr, out);
}

// Marks the failing item in a listing.
inline constexpr char kListingMark = '\xFF';

// The program as infix text in braces with only the parentheses precedence needs. When
// markPosition is an item position (1-based), the byte 0xFF follows that item's text and
// *markOffset (if given) receives its offset; otherwise *markOffset is npos.
bool ListProgram(CInterpreter& in, CellIndex program, int32_t markPosition, std::string& out,
                 size_t* markOffset = nullptr);

} // namespace tivane
