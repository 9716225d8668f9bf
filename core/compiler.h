#pragma once
// Program text to a PROGRAM value: a flat list of items in postfix order.

#include <cstdint>
#include <string_view>

#include "cellpool.h"

namespace tivane {

class CInterpreter;

// Blocks nested deeper than this are refused with "Not enough memory": compiling, listing
// and releasing a program recurse once per block level, and the machine stack must hold.
inline constexpr int kMaxBlockDepth = 200;

// The PROGRAM cell (one reference for the caller), or kNoCell with the document's error
// code set and the interpreter's position at the place where scanning stopped. Names met
// are entered in the interpreter's tables and stay there even when the compile fails.
// A null text is "absent" and fails with error 1. A text whose normalised form (blanks and
// control bytes outside strings dropped) is longer than kMaxSourceLength fails with error 3.
CellIndex Compile(CInterpreter& in, const char* text, size_t length);
inline CellIndex Compile(CInterpreter& in, std::string_view text) {
    return Compile(in, text.data() ? text.data() : "", text.size());
}

// A number literal at the start of normalised text: an optional '-', digits, an optional
// '.' and fraction, an optional 'e' exponent with its sign. Returns the characters it spans
// (0 when no digit starts it); a double when it has a fraction or an exponent. An 'e' without
// digits sets badExponent.
struct NumberLiteral {
    long double value = 0;
    bool isDouble = false;
    bool badExponent = false;
};
size_t ScanNumber(std::string_view text, NumberLiteral& out);

// How many compiles have started in the process: tells whether a failed compile was the
// latest one.
uint64_t CompileCount();
// What byte `c` of a program text becomes in the normalised copy the compiler works on: -1
// when it is dropped (blanks, control bytes and bytes from 0x80 outside strings), else the
// byte, letters lowered outside strings. `inString` follows the double quotes.
int NormalisedByte(char c, bool& inString);
// The offset in `text` of byte `position` of its normalised copy `normalised` (the copy's end
// stands just after the last byte kept); -1 when `normalised` is not the copy of `text` or the
// position lies outside it.
int32_t TextOffsetOfSource(std::string_view text, std::string_view normalised, int32_t position);
// Where item `position` (from 1, as the error trace counts) of a compiled program stands in
// the text it was compiled from: its offset, or -1 when there is no such item. Blocks stand
// at their "{".
int32_t ItemSourceOffset(CellIndex program, int32_t position);
// The same as a line and a column, both counted from 1, in that text; false when unknown.
bool ItemLineAndColumn(std::string_view text, CellIndex program, int32_t position, int32_t& line,
                       int32_t& column);

} // namespace tivane
