#include "format.h"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "builtintable.h"
#include "compiler.h"
#include "errors.h"
#include "interpreter.h"

namespace tivane {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool Fail(CInterpreter& in, uint32_t code) {
    SetError(in, code);
    return false;
}

// printf into a string of exactly the length needed; false (error 3) beyond the string limit.
template <typename... Args>
bool Print(CInterpreter& in, std::string& out, const char* format, Args... args) {
    const int n = std::snprintf(nullptr, 0, format, args...);
    if (n < 0 || static_cast<size_t>(n) > kMaxStringLength) return Fail(in, ERR_NO_MEMORY);
    out.resize(static_cast<size_t>(n) + 1);
    std::snprintf(out.data(), out.size(), format, args...);
    out.resize(static_cast<size_t>(n));
    return true;
}

// The name behind a variable, array or user-function item or reference, own or parent's.
const std::string* ItemName(const CInterpreter& in, const ValueCell& c) {
    const CInterpreter* owner = &in;
    switch (c.type) {
    case TOK_PARENTVARIABLE:
    case TYPE_PARENTVARREF:
    case TOK_PARENTARRAY:
    case TYPE_PARENTARRAYREF:
    case TOK_PARENTUSERFUNC:
        owner = in.parent;
        if (!owner) return nullptr;
        break;
    default:
        break;
    }
    switch (c.type) {
    case TOK_VARIABLE:
    case TYPE_VARREF:
    case TOK_PARENTVARIABLE:
    case TYPE_PARENTVARREF:
        if (c.number >= owner->variableNames.size()) return nullptr;
        return &owner->variableNames[c.number];
    case TOK_ARRAY:
    case TYPE_ARRAYREF:
    case TOK_PARENTARRAY:
    case TYPE_PARENTARRAYREF:
        if (c.number >= owner->arrays.size()) return nullptr;
        return &owner->arrays[c.number].name;
    case TOK_USERFUNC:
    case TYPE_FUNCREF:
    case TOK_PARENTUSERFUNC:
        if (c.number >= owner->functions.size()) return nullptr;
        return &owner->functions[c.number].name;
    default:
        return nullptr;
    }
}

bool DefaultForm(CInterpreter& in, CellIndex value, std::string& out) {
    const ValueCell& c = CellAt(value);
    switch (c.type) {
    case TYPE_LONG:
        return Print(in, out, "%ld", static_cast<long>(c.l));
    case TYPE_DOUBLE:
        return Print(in, out, "%g", c.d);
    case TYPE_STRING:
        if (StrLength(c) + 2 > kMaxStringLength) return Fail(in, ERR_NO_MEMORY);
        out.clear();
        out.reserve(StrLength(c) + 2);
        out += '"';
        out.append(StrText(c), StrLength(c));
        out += '"';
        return true;
    case TYPE_FILEID:
        out = "<FILE ID>";
        return true;
    case TYPE_PROGRAM:
        return ListProgram(in, value, 0, out);
    case TYPE_NOTVALID:
        out = "<NOT VALID>";
        return true;
    case TOK_BUILTIN: {
        if (c.number >= kBuiltinRows) return Fail(in, ERR_INVALID_TYPE);
        out = BuiltinTable[c.number].name;
        for (char& ch : out) {
            if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
        }
        return true;
    }
    default:
        if (const std::string* name = ItemName(in, c)) {
            out = *name;
            return true;
        }
        return Fail(in, ERR_INVALID_TYPE);
    }
}

} // namespace

bool CheckFormat(CInterpreter& in, std::string_view f, FormatInfo& info) {
    info = FormatInfo{};
    bool seen = false;
    size_t k = 0;
    auto addNumber = [&](void) {
        size_t value = 0;
        bool any = false;
        while (k < f.size() && IsDigit(f[k])) {
            // Saturates: a width this large is refused as too long anyway.
            if (value < kMaxStringLength * 10) value = value * 10 + static_cast<size_t>(f[k] - '0');
            ++k;
            any = true;
        }
        info.size += value;
        return any;
    };
    while (k < f.size()) {
        if (f[k] != '%') {
            ++info.size;
            ++k;
            continue;
        }
        if (k + 1 < f.size() && f[k + 1] == '%') {
            k += 2;
            continue;
        }
        if (seen) return Fail(in, ERR_ONE_FORMAT);
        seen = true;
        ++k;
        if (addNumber() && k < f.size() && f[k] == '.') { // a precision only after a width
            ++k;
            addNumber();
        }
        const char c0 = k < f.size() ? f[k] : '\0';
        const char c1 = k + 1 < f.size() ? f[k + 1] : '\0';
        if (c0 == 's') {
            info.type = TYPE_STRING;
            info.conversion = c0;
            k += 1;
        } else if (c0 == 'l' && (c1 == 'd' || c1 == 'x')) {
            info.type = TYPE_LONG;
            info.conversion = c1;
            info.size += 30;
            k += 2;
        } else if (c0 == 'l' && (c1 == 'g' || c1 == 'f' || c1 == 'e')) {
            info.type = TYPE_DOUBLE;
            info.conversion = c1;
            info.size += 40;
            k += 2;
        } else {
            return Fail(in, ERR_INVALID_FORMAT);
        }
    }
    return true;
}

bool FormatValue(CInterpreter& in, CellIndex value, const std::string_view* format,
                 std::string& out) {
    if (!format) return DefaultForm(in, value, out);
    FormatInfo info;
    if (!CheckFormat(in, *format, info)) return false;
    const ValueCell& c = CellAt(value);
    if (info.type == 0 || info.type != c.type) return Fail(in, ERR_INVALID_FORMAT);
    // Widths and precisions count towards the text; beyond the string limit it is refused
    // before printf is asked to produce it.
    if (info.size > kMaxStringLength) return Fail(in, ERR_NO_MEMORY);
    const std::string fmt(*format); // checked above: exactly one conversion, of this type
    switch (c.type) {
    case TYPE_LONG:
        // Longs are 32-bit: "%lx" of -1 is ffffffff.
        if (info.conversion == 'x')
            return Print(in, out, fmt.c_str(),
                         static_cast<unsigned long>(static_cast<uint32_t>(c.l)));
        return Print(in, out, fmt.c_str(), static_cast<long>(c.l));
    case TYPE_DOUBLE:
        return Print(in, out, fmt.c_str(), c.d);
    default:
        return Print(in, out, fmt.c_str(), StrText(c));
    }
}

namespace {

// One entry of the lister's stack: a piece of infix text and the precedence of its top
// operator (kOperandPrecedence for operands and calls). `mark` is the offset of the failing
// item's mark.
struct Piece {
    std::string text;
    int32_t precedence;
    size_t mark = std::string::npos;
    // An assignment target, negated or not ("n", "-n"): "--n:=1" compiles, "-(-n):=1" not.
    bool target = false;
};

constexpr int32_t kOperandPrecedence = 9999;
// Statements joined by ";" inside an operand: weaker than every operator, so that they are
// parenthesised wherever they stand as an operator's operand.
constexpr int32_t kSequencePrecedence = -1;

// Appends text to a piece under construction, carrying a mark along.
void Append(Piece& to, const Piece& from) {
    if (from.mark != std::string::npos) to.mark = to.text.size() + from.mark;
    to.text += from.text;
}

void AppendItemText(Piece& to, const std::string& text, bool marked) {
    to.text += text;
    if (marked) {
        to.mark = to.text.size();
        to.text += kListingMark;
    }
}

void AppendOperand(Piece& to, const Piece& operand, bool parens) {
    if (parens) to.text += '(';
    Append(to, operand);
    if (parens) to.text += ')';
}

int32_t CallArgumentCount(const CInterpreter& in, const ValueCell& c) {
    switch (c.type) {
    case TOK_BUILTIN:
        return BuiltinTable[c.number].nargs;
    case TOK_USERFUNC:
    case TYPE_FUNCREF:
        return in.functions[c.number].nargs;
    case TOK_PARENTUSERFUNC:
        return in.parent->functions[c.number].nargs;
    default:
        return -1;
    }
}

std::string DoubleLiteral(double d) {
    // A value the language's own default form ("%g") gives back exactly keeps that form; any
    // other gets the fewest digits that read back as the same double, so that a listing
    // (GETFUNCDEF, SAVEVALUE, EXECUTE of either) computes what the program computed.
    auto readsBack = [d](const std::string& text) {
        NumberLiteral number;
        return ScanNumber(text, number) == text.size() && !number.badExponent &&
               static_cast<double>(number.value) == d;
    };
    if (std::isinf(d)) return d > 0 ? "1e999" : "-1e999";
    std::string text;
    char buffer[40];
    for (int precision = 6; precision <= 17; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, d);
        text = buffer;
        if (readsBack(text)) break;
    }
    // Without a '.' or an exponent the text would read as a long.
    if (text.find_first_of(".e") == std::string::npos && !std::isnan(d)) text += ".0";
    return text;
}

} // namespace

namespace {

// Lists a program's postfix items back into infix text, one item at a time.
class Lister {
public:
    explicit Lister(CInterpreter& in) : m_in(in) {}

    bool Item(const ValueCell& c, const std::string& text, bool marked) {
        switch (c.type) {
        case TOK_ARRAY:
        case TYPE_ARRAYREF:
        case TOK_PARENTARRAY:
        case TYPE_PARENTARRAYREF:
            return Element(c, text, marked);
        case TOK_USERFUNC:
        case TYPE_FUNCREF:
        case TOK_PARENTUSERFUNC:
            return Call(c, text, marked);
        case TOK_BUILTIN:
            if (c.number >= kFirstNamedRow) return Call(c, text, marked);
            if (c.number == OP_NEGATE) return Negation(marked);
            if (c.number == OP_SEQUENCE) return Sequence(marked);
            return Binary(c.number, text, marked);
        default: // literals and variables
            Operand(c, text, marked);
            return true;
        }
    }

    // The listing, and the offset of the mark in it.
    std::string Finish(size_t& mark) {
        Append(m_output, m_pending);
        while (!m_stack.empty()) {
            Append(m_output, m_stack.back());
            m_stack.pop_back();
        }
        m_output.text += '}';
        mark = m_output.mark;
        return std::move(m_output.text);
    }

private:
    bool Fail() {
        SetError(m_in, ERR_INVALID_TYPE);
        return false;
    }

    Piece Pop() {
        Piece p = std::move(m_stack.back());
        m_stack.pop_back();
        return p;
    }

    // An array element: the name, then its index.
    bool Element(const ValueCell& c, const std::string& text, bool marked) {
        if (m_stack.empty()) return Fail();
        const Piece index = Pop();
        Piece p{{}, kOperandPrecedence};
        AppendItemText(p, text, marked);
        p.text += '[';
        Append(p, index);
        p.text += ']';
        p.target = c.type == TYPE_ARRAYREF || c.type == TYPE_PARENTARRAYREF;
        m_stack.push_back(std::move(p));
        return true;
    }

    // A literal or variable starts an operand, after the statements waiting for it.
    void Operand(const ValueCell& c, const std::string& text, bool marked) {
        Piece p{{}, kOperandPrecedence};
        if (!m_pending.text.empty()) {
            p.precedence = kSequencePrecedence;
            Append(p, m_pending);
            m_pending = Piece{{}, kSequencePrecedence};
        }
        AppendItemText(p, text, marked);
        p.target = (c.type & (TYPE_VARREF | TYPE_PARENTVARREF)) != 0;
        m_stack.push_back(std::move(p));
    }

    bool Call(const ValueCell& c, const std::string& text, bool marked) {
        const int32_t k = CallArgumentCount(m_in, c);
        if (k < 0 || static_cast<size_t>(k) > m_stack.size()) return Fail();
        Piece result{{}, kOperandPrecedence};
        AppendItemText(result, text, marked);
        result.text += '(';
        for (size_t a = m_stack.size() - k; a < m_stack.size(); ++a) {
            if (a != m_stack.size() - k) result.text += ',';
            Append(result, m_stack[a]);
        }
        result.text += ')';
        result.target = c.type == TYPE_FUNCREF;
        m_stack.resize(m_stack.size() - k);
        m_stack.push_back(std::move(result));
        return true;
    }

    bool Negation(bool marked) {
        if (m_stack.empty()) return Fail();
        const Piece operand = Pop();
        const int32_t prec = OperatorTable[OP_NEGATE].precedence;
        // An operand of any operator, a negation included, is parenthesised: "- -a" lists
        // as "-(-a)", which reads back the same. Not so a negated assignment target, which
        // parentheses would make no target. A negated number keeps its parentheses too,
        // since the scanner reads a minus before a digit or "." as part of the literal:
        // "-(0)" would list back as "0".
        const char first = operand.text.empty() ? '\0' : operand.text[0];
        const bool parens =
            (operand.precedence <= prec && !operand.target) || IsDigit(first) || first == '.';
        Piece result{{}, prec};
        AppendItemText(result, "-", marked);
        AppendOperand(result, operand, parens);
        result.target = operand.target;
        m_stack.push_back(std::move(result));
        return true;
    }

    // A whole statement goes to the output at once; one inside an operand (parentheses, an
    // index or an argument list) waits in front of the next item, which starts the operand
    // the ";" leads to: "x*(a;b)" is listed in place, and not as "{a;x*b}", which would read
    // x after running a.
    bool Sequence(bool marked) {
        if (m_stack.empty()) return Fail();
        const Piece operand = Pop();
        Piece& to = m_stack.empty() ? m_output : m_pending;
        Append(to, operand);
        AppendItemText(to, ";", marked);
        return true;
    }

    bool Binary(uint16_t row, const std::string& text, bool marked) {
        if (m_stack.size() < 2) return Fail();
        const Piece right = Pop();
        const Piece left = Pop();
        const OperatorEntry& op = OperatorTable[row];
        const int32_t prec = op.precedence;
        // Parentheses where the compiler would otherwise group differently: around a weaker
        // operand, and around one of the same precedence on the side the level does not
        // group to ("a-(b-c)", "a<(b<c)", "a*(b*c)").
        const bool leftParens =
            left.precedence < prec ||
            (left.precedence == prec && op.associativity == Associativity::Right);
        const bool rightParens =
            right.precedence < prec ||
            (right.precedence == prec && op.associativity == Associativity::Left);
        Piece result{{}, prec};
        AppendOperand(result, left, leftParens);
        AppendItemText(result, text, marked);
        AppendOperand(result, right, rightParens);
        m_stack.push_back(std::move(result));
        return true;
    }

    CInterpreter& m_in;
    std::vector<Piece> m_stack;
    Piece m_output{"{", 0};
    Piece m_pending{{}, kSequencePrecedence};
};

} // namespace

bool ListProgram(CInterpreter& in, CellIndex program, int32_t markPosition, std::string& out,
                 size_t* markOffset) {
    if (markOffset) *markOffset = std::string::npos;
    const ValueCell& pc = CellAt(program);
    if (pc.type != TYPE_PROGRAM) return Fail(in, ERR_INVALID_TYPE);
    const ProgramBlock* block = pc.prog;
    Lister lister(in);
    std::string text;
    for (int32_t i = 1; i <= block->count; ++i) {
        const ValueCell& c = CellAt(block->items[i - 1]);
        if (c.type == TYPE_DOUBLE)
            text = DoubleLiteral(c.d);
        else if (!FormatValue(in, block->items[i - 1], text))
            return false;
        if (!lister.Item(c, text, i == markPosition)) return false;
    }
    size_t mark;
    out = lister.Finish(mark);
    if (markOffset) *markOffset = mark;
    return true;
}

} // namespace tivane
