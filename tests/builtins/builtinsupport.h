#pragma once
// Row tables for the built-in functions: program text in, what the user sees out.

#include <ostream>
#include <string>

#include "core/testsupport.h"

namespace tivane::test {

struct Row {
    const char* text;
    const char* shows;
};

inline void PrintTo(const Row& r, std::ostream* os) {
    *os << r.text;
}

// What a run shows: the value as printed, with "double " before a double's (which can print
// like a long), "nan" for a NaN of either sign, or "error N" when the run fails.
inline std::string Shown(const Outcome& o) {
    if (!o.ok) return "error " + std::to_string(o.error);
    const std::string value = o.value.find("nan") != std::string::npos ? "nan" : o.value;
    return o.type == TYPE_DOUBLE ? "double " + value : value;
}

class RowTest : public LanguageTest, public ::testing::WithParamInterface<Row> {
protected:
    std::string Shows(const std::string& text) { return Shown(Evaluate(*main, text)); }
};

} // namespace tivane::test
