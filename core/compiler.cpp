#include "compiler.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "builtintable.h"
#include "errors.h"
#include "interpreter.h"
#include "programcode.h"

namespace tivane {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
    return c >= 'a' && c <= 'z';
}
bool IsNameChar(char c) {
    return IsLetter(c) || IsDigit(c) || c == '.' || c == '_' || c == '\'';
}

bool IsCallMarker(uint16_t t) {
    return t == TOK_BUILTIN || t == TOK_USERFUNC || t == TOK_PARENTUSERFUNC || t == TOK_LPAREN;
}
bool IsArrayMarker(uint16_t t) {
    return t == TOK_ARRAY || t == TOK_PARENTARRAY;
}

// Tokens stay alive only through the two lists of ParseSequence; this owns them until the
// program is built, and releases every one on failure.
class CellList {
public:
    ~CellList() {
        for (CellIndex c : m_cells)
            Release(c);
    }
    void Push(CellIndex c) { m_cells.push_back(c); }
    CellIndex Top() const { return m_cells.back(); }
    CellIndex Pop() {
        const CellIndex c = m_cells.back();
        m_cells.pop_back();
        return c;
    }
    bool Empty() const { return m_cells.empty(); }
    size_t Size() const { return m_cells.size(); }
    CellIndex At(size_t k) const { return m_cells[k]; }
    // Hands the cells over (for the program's item list).
    std::vector<CellIndex> Take() { return std::move(m_cells); }

private:
    std::vector<CellIndex> m_cells;
};

class Compiler {
public:
    // `origins` gives, for each byte of the normalised source, its offset in the text.
    Compiler(CInterpreter& in, const std::vector<int32_t>& origins)
        : m_in(in), m_src(in.source), m_pos(in.position), m_origins(origins) {}

    CellIndex ParseSequence(int depth);

private:
    bool Fail(uint32_t code) {
        SetError(m_in, code);
        return false;
    }
    bool AtEnd() const { return m_pos >= static_cast<int32_t>(m_src.size()); }
    char Peek(int32_t ahead = 0) const {
        const int32_t p = m_pos + ahead;
        return p < static_cast<int32_t>(m_src.size()) ? m_src[p] : '\0';
    }

    CellIndex NewToken(uint16_t kind, uint32_t number);
    // Reads one token; `token` is kNoCell at the end of the text or at "}". False on error.
    bool NextToken(bool& expectOperand, CellIndex& token);
    bool ReadToken(bool& expectOperand, CellIndex& token);
    bool ReadName(CellIndex& token);
    bool ReadNumber(CellIndex& token);
    bool ResolveAssignmentTarget(CellList& out, uint16_t& op);
    bool CloseParenthesis(CellList& out, CellList& ops);
    bool CloseBracket(CellList& out, CellList& ops);
    bool FinishSequence(CellList& out, CellList& ops, bool endsWithOperator);
    bool PlaceOperator(CellIndex token, bool expectOperand, CellList& out, CellList& ops);
    bool ParseBlock(int depth, int32_t start, CellList& out);
    CellIndex MakeProgram(CellList& out);

    CInterpreter& m_in;
    const std::string& m_src;
    int32_t& m_pos;
    const std::vector<int32_t>& m_origins;
    // Where each token and block in the making starts in the normalised source, for the
    // programs' table of item offsets. A cell freed and made again is entered again.
    std::unordered_map<CellIndex, int32_t> m_starts;
};

CellIndex Compiler::NewToken(uint16_t kind, uint32_t number) {
    const CellIndex c = Pool().NewCell();
    if (c == kNoCell) {
        SetError(m_in, ERR_NO_MEMORY);
        return kNoCell;
    }
    ValueCell& v = CellAt(c);
    v.type = kind;
    v.raw = 0;
    v.number = static_cast<uint16_t>(number);
    return c;
}

bool Compiler::ReadName(CellIndex& token) {
    const int32_t start = m_pos;
    while (!AtEnd() && IsNameChar(Peek()))
        ++m_pos;
    const std::string name = m_src.substr(start, m_pos - start);
    CInterpreter* parent = m_in.parent;
    uint16_t kind;
    int32_t number;
    if (Peek() == '(') {
        ++m_pos;
        if ((number = FindBuiltin(name)) >= 0) {
            kind = TOK_BUILTIN;
            number += kFirstNamedRow;
        } else if (parent && (number = parent->FindFunction(name)) >= 0) {
            kind = TOK_PARENTUSERFUNC;
        } else {
            kind = TOK_USERFUNC;
            if ((number = m_in.FindFunction(name)) < 0) number = m_in.AddFunction(name);
        }
    } else if (Peek() == '[') {
        ++m_pos;
        if (parent && (number = parent->FindArray(name)) >= 0) {
            kind = TOK_PARENTARRAY;
        } else {
            kind = TOK_ARRAY;
            if ((number = m_in.FindArray(name)) < 0) number = m_in.AddArray(name);
        }
    } else {
        if (parent && (number = parent->FindVariable(name)) >= 0) {
            kind = TOK_PARENTVARIABLE;
        } else {
            kind = TOK_VARIABLE;
            if ((number = m_in.FindVariable(name)) < 0) number = m_in.AddVariable(name);
        }
    }
    if (number < 0) return Fail(ERR_NO_MEMORY);
    token = NewToken(kind, static_cast<uint32_t>(number));
    return token != kNoCell;
}

bool Compiler::ReadNumber(CellIndex& token) {
    NumberLiteral number;
    const size_t length =
        ScanNumber(std::string_view(m_src).substr(static_cast<size_t>(m_pos)), number);
    if (length == 0) return Fail(ERR_OPERAND_EXPECTED);
    m_pos += static_cast<int32_t>(length);
    if (number.badExponent) return Fail(ERR_OPERAND_EXPECTED);
    const long double value = number.value;
    const bool isDouble = number.isDouble;
    if (isDouble) {
        token = NewToken(TYPE_DOUBLE, 0);
        if (token != kNoCell) CellAt(token).d = static_cast<double>(value);
    } else {
        // Truncated to 64 bits, of which the low 32 bits are the long; magnitudes a 64-bit
        // integer cannot hold give 0.
        constexpr long double kTwo63 = 9223372036854775808.0L;
        const int64_t wide = std::fabs(value) < kTwo63 ? static_cast<int64_t>(value) : 0;
        token = NewToken(TYPE_LONG, 0);
        if (token != kNoCell) CellAt(token).l = static_cast<int32_t>(static_cast<uint32_t>(wide));
    }
    return token != kNoCell;
}

bool Compiler::NextToken(bool& expectOperand, CellIndex& token) {
    const int32_t start = m_pos;
    if (!ReadToken(expectOperand, token)) return false;
    if (token != kNoCell) m_starts[token] = start;
    return true;
}

bool Compiler::ReadToken(bool& expectOperand, CellIndex& token) {
    token = kNoCell;
    if (AtEnd() || Peek() == '}') return true;
    const char c = Peek();
    if (!expectOperand) {
        if (c == ')' || c == ']') {
            ++m_pos;
            token = NewToken(c == ')' ? TOK_RPAREN : TOK_RBRACKET, 0);
            return token != kNoCell;
        }
        // The first entry whose text starts here: ">=" wins over ">", "-" over "--".
        for (int32_t op = 0; op < kOperatorCount; ++op) {
            const char* text = OperatorTable[op].text;
            const size_t len = std::strlen(text);
            if (m_src.compare(m_pos, len, text) == 0) {
                m_pos += static_cast<int32_t>(len);
                token = NewToken(TOK_OPERATOR, static_cast<uint32_t>(op));
                return token != kNoCell;
            }
        }
        return Fail(ERR_OPERATOR_EXPECTED);
    }
    if (c == '(' || c == '{') {
        ++m_pos;
        token = NewToken(c == '(' ? TOK_LPAREN : TOK_LBRACE, 0);
        return token != kNoCell;
    }
    if (c == '"') {
        const size_t close = m_src.find('"', m_pos + 1);
        if (close == std::string::npos) return Fail(ERR_NO_END_QUOTE);
        const size_t len = close - m_pos - 1;
        StringBlock* block = AllocString(m_src.data() + m_pos + 1, len);
        if (!block) return Fail(ERR_NO_MEMORY);
        token = NewToken(TYPE_STRING, 0);
        if (token == kNoCell) {
            FreeString(block);
            return false;
        }
        CellAt(token).str = block;
        m_pos = static_cast<int32_t>(close) + 1;
        return true;
    }
    if (IsLetter(c)) return ReadName(token);
    if (c == '-' && Peek(1) != '.' && !IsDigit(Peek(1))) {
        // A prefix minus; handed to the parser as an operator.
        ++m_pos;
        expectOperand = false;
        token = NewToken(TOK_OPERATOR, OP_NEGATE);
        return token != kNoCell;
    }
    return ReadNumber(token);
}

bool Compiler::ResolveAssignmentTarget(CellList& out, uint16_t& op) {
    if (out.Empty()) return Fail(ERR_OPERAND_EXPECTED);
    ValueCell& target = CellAt(out.Top());
    switch (target.type) {
    case TOK_VARIABLE:
        target.type = TYPE_VARREF;
        return true;
    case TOK_PARENTVARIABLE:
        target.type = TYPE_PARENTVARREF;
        return true;
    case TOK_ARRAY:
        target.type = TYPE_ARRAYREF;
        op = OP_ASSIGN_ELEMENT;
        return true;
    case TOK_PARENTARRAY:
        target.type = TYPE_PARENTARRAYREF;
        op = OP_ASSIGN_ELEMENT;
        return true;
    case TOK_USERFUNC:
        break;
    default:
        return Fail(ERR_NOT_MODIFIABLE);
    }
    target.type = TYPE_FUNCREF;
    op = OP_DEFINE;
    // The parameters: the n items below the target must be own variables.
    const int32_t n = m_in.functions[target.number].nargs;
    if (n < 0 || static_cast<size_t>(n) + 1 > out.Size()) return Fail(ERR_PARAMS_NOT_LOCAL);
    for (int32_t k = 1; k <= n; ++k) {
        if (CellAt(out.At(out.Size() - 1 - k)).type != TOK_VARIABLE)
            return Fail(ERR_PARAMS_NOT_LOCAL);
    }
    for (int32_t k = 1; k <= n; ++k)
        CellAt(out.At(out.Size() - 1 - k)).type = TYPE_VARREF;
    return true;
}

// Moves one operator from the operator list to the output as a call of its built-in row.
void MoveOperator(CellList& out, CellList& ops) {
    const CellIndex c = ops.Pop();
    CellAt(c).type = TOK_BUILTIN;
    out.Push(c);
}

bool Compiler::CloseParenthesis(CellList& out, CellList& ops) {
    int32_t count = 1;
    while (!ops.Empty()) {
        const ValueCell& top = CellAt(ops.Top());
        if (IsCallMarker(top.type)) break;
        if (IsArrayMarker(top.type)) return Fail(ERR_TOO_MANY_ENDING);
        if (top.number == OP_COMMA) {
            ++count;
            Release(ops.Pop());
        } else {
            MoveOperator(out, ops);
        }
    }
    if (ops.Empty()) return Fail(ERR_TOO_MANY_ENDING);
    const ValueCell& marker = CellAt(ops.Top());
    switch (marker.type) {
    case TOK_BUILTIN:
        if (count != BuiltinTable[marker.number].nargs) return Fail(ERR_ARG_COUNT);
        break;
    case TOK_USERFUNC: {
        UserFunction& f = m_in.functions[marker.number];
        if (f.nargs == -1) f.nargs = static_cast<int16_t>(count);
        if (f.nargs != count) return Fail(ERR_ARG_COUNT);
        break;
    }
    case TOK_PARENTUSERFUNC: {
        const UserFunction& f = m_in.parent->functions[marker.number];
        if (f.nargs == -1) return Fail(ERR_FUNCTION_NOT_DEFINED);
        if (f.nargs != count) return Fail(ERR_ARG_COUNT);
        break;
    }
    default: // an opening parenthesis
        if (count != 1) return Fail(ERR_COMMA);
        Release(ops.Pop());
        return true;
    }
    out.Push(ops.Pop());
    return true;
}

bool Compiler::CloseBracket(CellList& out, CellList& ops) {
    while (!ops.Empty()) {
        const ValueCell& top = CellAt(ops.Top());
        if (IsArrayMarker(top.type)) break;
        if (IsCallMarker(top.type)) return Fail(ERR_TOO_MANY_ENDING);
        if (top.number == OP_COMMA) return Fail(ERR_COMMA);
        MoveOperator(out, ops);
    }
    if (ops.Empty()) return Fail(ERR_TOO_MANY_ENDING);
    out.Push(ops.Pop());
    return true;
}

bool Compiler::FinishSequence(CellList& out, CellList& ops, bool endsWithOperator) {
    if (endsWithOperator) return Fail(ERR_OPERAND_EXPECTED);
    while (!ops.Empty() && CellAt(ops.Top()).type == TOK_OPERATOR) {
        if (CellAt(ops.Top()).number == OP_COMMA) return Fail(ERR_OPERATOR_USE);
        MoveOperator(out, ops);
    }
    if (!ops.Empty()) return Fail(ERR_TOO_MANY_OPERATORS);
    return true;
}

// An operator token: the operators before it that bind at least as tightly go out first.
bool Compiler::PlaceOperator(CellIndex token, bool expectOperand, CellList& out, CellList& ops) {
    uint16_t op = CellAt(token).number;
    if (expectOperand) {
        Release(token);
        Fail(ERR_OPERAND_EXPECTED);
        return false;
    }
    if (op == OP_LPAREN) { // "(" after an operand, as in 2(3)
        Release(token);
        Fail(ERR_OPERATOR_EXPECTED);
        return false;
    }
    if (op == OP_ASSIGN && !ResolveAssignmentTarget(out, op)) {
        Release(token);
        return false;
    }
    CellAt(token).number = op;
    // The operators before this one that bind at least as tightly are complete; of
    // its own precedence only when the level groups to the left.
    const OperatorEntry& entry = OperatorTable[op];
    while (!ops.Empty()) {
        const ValueCell& top = CellAt(ops.Top());
        if (top.type != TOK_OPERATOR || top.number == OP_COMMA) break;
        const uint16_t topPrec = OperatorTable[top.number].precedence;
        if (topPrec < entry.precedence ||
            (topPrec == entry.precedence && entry.associativity == Associativity::Right))
            break;
        MoveOperator(out, ops);
    }
    if (op == OP_SEQUENCE) {
        CellAt(token).type = TOK_BUILTIN;
        out.Push(token);
    } else {
        ops.Push(token);
    }
    return true;
}

// A block in braces: a program of its own, which stands as a literal operand.
bool Compiler::ParseBlock(int depth, int32_t start, CellList& out) {
    const CellIndex block = ParseSequence(depth + 1);
    if (block == kNoCell) return false;
    m_starts[block] = start;
    if (Peek() != '}' || AtEnd()) {
        Release(block);
        return Fail(ERR_TOO_MANY_BRACES);
    }
    ++m_pos;
    out.Push(block);
    return true;
}

// The program of the items in postfix order, decoded for the evaluator.
CellIndex Compiler::MakeProgram(CellList& out) {
    if (out.Size() > static_cast<size_t>(kMaxTableEntries)) {
        Fail(ERR_NO_MEMORY);
        return kNoCell;
    }
    ProgramBlock* block = AllocProgram(static_cast<int32_t>(out.Size()));
    if (block) block->owner = m_in.serial;
    if (!block) {
        Fail(ERR_NO_MEMORY);
        return kNoCell;
    }
    const CellIndex program = NewToken(TYPE_PROGRAM, 0);
    if (program == kNoCell) {
        std::free(block);
        return kNoCell;
    }
    std::vector<CellIndex> items = out.Take();
    std::copy(items.begin(), items.end(), block->items);
    int32_t* offsets = ProgramSourceOffsets(block);
    for (size_t k = 0; k < items.size(); ++k) {
        const auto at = m_starts.find(items[k]);
        offsets[k] = at == m_starts.end() ? -1 : m_origins[at->second];
    }
    PrepareProgram(m_in, block);
    CellAt(program).prog = block;
    return program;
}

CellIndex Compiler::ParseSequence(int depth) {
    if (depth > kMaxBlockDepth) {
        Fail(ERR_NO_MEMORY);
        return kNoCell;
    }
    CellList out; // O: the items in postfix order
    CellList ops; // S: operators and open markers
    bool expectOperand = true;
    bool endsWithOperator = false; // the last token was an operator other than ";"
    for (;;) {
        CellIndex token;
        if (!NextToken(expectOperand, token)) return kNoCell;
        if (token == kNoCell) break;
        ValueCell& t = CellAt(token);
        switch (t.type) {
        case TOK_OPERATOR:
            if (!PlaceOperator(token, expectOperand, out, ops)) return kNoCell;
            expectOperand = true;
            endsWithOperator = CellAt(token).number != OP_SEQUENCE;
            continue;
        case TOK_LPAREN:
            ops.Push(token);
            break;
        case TOK_RPAREN:
            Release(token);
            if (!CloseParenthesis(out, ops)) return kNoCell;
            break;
        case TOK_RBRACKET:
            Release(token);
            if (!CloseBracket(out, ops)) return kNoCell;
            break;
        case TOK_LBRACE: {
            const int32_t start = m_starts[token];
            Release(token);
            if (!ParseBlock(depth, start, out)) return kNoCell;
            expectOperand = false;
            break;
        }
        case TYPE_LONG:
        case TYPE_DOUBLE:
        case TYPE_STRING:
        case TOK_VARIABLE:
        case TOK_PARENTVARIABLE:
            out.Push(token);
            expectOperand = false;
            break;
        case TOK_BUILTIN:
        case TOK_USERFUNC:
        case TOK_PARENTUSERFUNC:
        case TOK_ARRAY:
        case TOK_PARENTARRAY:
            ops.Push(token); // an open call or array marker; an operand follows
            break;
        default:
            Release(token);
            Fail(ERR_INVALID_TEXT);
            return kNoCell;
        }
        endsWithOperator = false;
    }
    if (!FinishSequence(out, ops, endsWithOperator)) return kNoCell;
    return MakeProgram(out);
}

} // namespace

namespace {
uint64_t g_compileCount = 0;
} // namespace

uint64_t CompileCount() {
    return g_compileCount;
}

CellIndex Compile(CInterpreter& in, const char* text, size_t length) {
    ++g_compileCount;
    DocumentHost& doc = *in.document;
    const ErrorPhase outerPhase = doc.errorPhase;
    doc.errorPhase = ErrorPhase::Compile;
    if (!text) {
        SetError(in, ERR_OPERAND_EXPECTED);
        return kNoCell;
    }
    ClearErrors(doc);
    in.position = 0;
    // The normalised copy: outside strings, bytes below 33 as signed chars (blanks, control
    // bytes and every byte from 0x80) are dropped and letters lowered. Positions count in it,
    // so the source limit applies to it and not to the text: a program laid out with many
    // blanks and line breaks may be far longer than the limit. The copy stops growing one
    // byte past the limit, whatever the text's length.
    std::string& src = in.source;
    src.clear();
    src.reserve(std::min(length, kMaxSourceLength + 1));
    std::vector<int32_t> origins; // the text offset of each byte of the copy
    origins.reserve(std::min(length, kMaxSourceLength + 1));
    bool inString = false;
    for (size_t k = 0; k < length && src.size() <= kMaxSourceLength; ++k) {
        const int kept = NormalisedByte(text[k], inString);
        if (kept < 0) continue;
        src.push_back(static_cast<char>(kept));
        origins.push_back(static_cast<int32_t>(k));
    }
    if (src.size() > kMaxSourceLength) {
        src.clear();
        SetError(in, ERR_NO_MEMORY);
        return kNoCell;
    }
    if (inString) {
        in.position = static_cast<int32_t>(src.size());
        SetError(in, ERR_NO_END_QUOTE);
        return kNoCell;
    }
    Compiler compiler(in, origins);
    const CellIndex program = compiler.ParseSequence(0);
    if (program == kNoCell) return kNoCell;
    if (in.position < static_cast<int32_t>(src.size())) { // a "}" stopped the parse
        Release(program);
        SetError(in, ERR_UNEXPECTED_BRACE);
        return kNoCell;
    }
    // A compile inside a run (EXECUTE and the functions that name objects by text) must
    // leave the run's phase, so that a later run-time error is reported as one.
    if (outerPhase == ErrorPhase::Run) doc.errorPhase = ErrorPhase::Run;
    return program;
}

namespace {

// The double nearest to digits x 10^scale (digits without leading zeros, at least one),
// correctly rounded; past the range of doubles, infinity or zero.
double DecimalToDouble(const std::string& digits, int64_t scale) {
    const std::string text = digits + "e" + std::to_string(scale);
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range)
        return static_cast<int64_t>(digits.size()) + scale > 0 ? HUGE_VAL : 0.0;
    return value;
}

} // namespace

size_t ScanNumber(std::string_view text, NumberLiteral& out) {
    out = NumberLiteral{};
    size_t k = 0;
    auto peek = [&] { return k < text.size() ? text[k] : '\0'; };
    const bool negative = peek() == '-';
    if (negative) ++k;
    // A long is the integer of all its digits, accumulated in extended precision; a double is
    // read from its significant digits and their power of ten.
    long double mantissa = 0;
    std::string significant;
    int64_t scale = 0;
    int32_t digits = 0;
    const auto digit = [&](bool fraction) {
        const char c = peek();
        mantissa = mantissa * 10 + (c - '0');
        if (c != '0' || !significant.empty()) significant += c;
        if (fraction) --scale;
        ++digits;
        ++k;
    };
    while (IsDigit(peek()))
        digit(false);
    if (peek() == '.') {
        out.isDouble = true;
        ++k;
        while (IsDigit(peek()))
            digit(true);
    }
    if (digits == 0) return 0;
    int32_t exponent = 0;
    if (peek() == 'e') {
        out.isDouble = true;
        ++k;
        bool negativeExponent = false;
        if (peek() == '+' || peek() == '-') {
            negativeExponent = peek() == '-';
            ++k;
        }
        if (!IsDigit(peek())) {
            out.badExponent = true;
            return k;
        }
        while (IsDigit(peek())) {
            // Saturates far beyond any finite double's exponent.
            if (exponent < 100000) exponent = exponent * 10 + (peek() - '0');
            ++k;
        }
        if (negativeExponent) exponent = -exponent;
    }
    if (out.isDouble) {
        // Zero scaled by any power of ten stays zero.
        const double d = significant.empty() ? 0.0 : DecimalToDouble(significant, scale + exponent);
        out.value = negative ? -d : d;
    } else {
        out.value = negative ? -mantissa : mantissa;
    }
    return k;
}

int NormalisedByte(char c, bool& inString) {
    if (c == '"') inString = !inString;
    if (inString || c == '"') return static_cast<unsigned char>(c);
    if (static_cast<signed char>(c) < 33) return -1;
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}

int32_t TextOffsetOfSource(std::string_view text, std::string_view normalised, int32_t position) {
    bool inString = false;
    size_t kept = 0;
    int32_t found = -1;
    int32_t after = 0; // just after the last byte kept
    for (size_t k = 0; k < text.size(); ++k) {
        const int c = NormalisedByte(text[k], inString);
        if (c < 0) continue;
        if (kept >= normalised.size() || static_cast<char>(c) != normalised[kept]) return -1;
        if (kept == static_cast<size_t>(position)) found = static_cast<int32_t>(k);
        ++kept;
        after = static_cast<int32_t>(k) + 1;
    }
    if (kept != normalised.size()) return -1;
    return static_cast<size_t>(position) == kept ? after : found;
}

int32_t ItemSourceOffset(CellIndex program, int32_t position) {
    const ValueCell& c = CellAt(program);
    if (c.type != TYPE_PROGRAM || position < 1 || position > c.prog->count) return -1;
    return ProgramSourceOffsets(c.prog)[position - 1];
}

bool ItemLineAndColumn(std::string_view text, CellIndex program, int32_t position, int32_t& line,
                       int32_t& column) {
    const int32_t offset = ItemSourceOffset(program, position);
    if (offset < 0 || static_cast<size_t>(offset) >= text.size()) return false;
    const std::string_view before = text.substr(0, static_cast<size_t>(offset));
    const size_t lineStart = before.rfind('\n');
    line = 1 + static_cast<int32_t>(std::count(before.begin(), before.end(), '\n'));
    column = offset + 1 -
             (lineStart == std::string_view::npos ? 0 : static_cast<int32_t>(lineStart) + 1);
    return true;
}

} // namespace tivane
