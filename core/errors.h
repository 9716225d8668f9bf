#pragma once
// Error codes, the error trace and the error report.

#include <cstdint>
#include <optional>
#include <string>

#include "cellpool.h"
#include "hosts.h"

namespace tivane {

class CInterpreter;

enum ErrorCode : uint32_t {
    ERR_NONE = 0,
    ERR_OPERAND_EXPECTED = 1,
    ERR_OPERATOR_EXPECTED = 2,
    ERR_NO_MEMORY = 3,
    ERR_TOO_MANY_OPERATORS = 4,
    ERR_TOO_MANY_ENDING = 5,
    ERR_NO_END_QUOTE = 6,
    ERR_ARG_COUNT = 7,
    ERR_INVALID_TEXT = 8,
    ERR_COMMA = 9,
    ERR_INVALID_TYPE = 10,
    ERR_OPERATOR_USE = 11,
    ERR_NOT_IMPLEMENTED = 12,
    ERR_NOT_MODIFIABLE = 13,
    ERR_PARAMS_NOT_LOCAL = 14,
    ERR_UNEXPECTED_BRACE = 15,
    ERR_TOO_MANY_BRACES = 16,
    ERR_FUNCTION_NOT_DEFINED = 17,
    ERR_ABORT = 18,
    ERR_USER_STOP = 19,
    ERR_PROGRAM_TO_PARENT = 20,
    ERR_PROGRAM_FROM_PARENT = 21,
    ERR_ONE_FORMAT = 22,
    ERR_INVALID_FORMAT = 23,
    ERR_MATH = 24,
    ERR_CLIP_FIRST = 25,
    ERR_CLIP_SIZE = 26,
};

inline constexpr int32_t kErrorCodeCount = ERR_CLIP_SIZE + 1;

// The message of a code; "General error" for any other number.
const char* ErrorMessage(uint32_t code);

// Empties the trace (releasing its programs) when the code is set, then clears the code.
void ClearErrors(DocumentHost& doc);
// Adds a trace record; the record takes its own reference to the program.
void PushTrace(DocumentHost& doc, CellIndex program, int16_t position);
// The newest record; the caller owns the record's program reference.
std::optional<TraceRecord> PopTrace(DocumentHost& doc);
// Releases every record.
void ClearTrace(DocumentHost& doc);

// Builds the report of the document's current error, keeps it as the interpreter's message
// and returns it (none when there is nothing to report). Resets the error phase to None and
// empties the trace. `details`, when given, receives where in the user's texts the error
// happened (CompileErrorDetails, RunErrorDetails); "" when there is no report.
std::optional<std::string> ErrorReport(CInterpreter& in, std::string* details = nullptr);

} // namespace tivane
