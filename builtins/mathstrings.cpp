// Mathematical and string functions: they depend only on their arguments.

#include <algorithm>
#include <cfenv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>

#include "builtins.h"
#include "errors.h"
#include "format.h"
#include "values.h"

namespace tivane {

namespace {

template <double (*Fn)(double)>
CellIndex Unary(CInterpreter& in, CellIndex* stack, int32_t& sp) {
    const CellIndex x = PopArg(stack, sp);
    return DoubleResult(in, x, Fn(CellAt(x).d));
}

locale_t CLocale() {
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

} // namespace

double MathSin(double x) {
    return std::sin(x);
}
double MathCos(double x) {
    return std::cos(x);
}
double MathTan(double x) {
    return std::tan(x);
}
double MathAtan(double x) {
    return std::atan(x);
}
double MathLog(double x) {
    return std::log(x);
}
double MathLog10(double x) {
    return std::log10(x);
}
double MathExp(double x) {
    return std::exp(x);
}

TIVANE_HANDLER(BiSin) {
    return Unary<MathSin>(in, stack, sp);
}
TIVANE_HANDLER(BiCos) {
    return Unary<MathCos>(in, stack, sp);
}
TIVANE_HANDLER(BiTan) {
    return Unary<MathTan>(in, stack, sp);
}
TIVANE_HANDLER(BiAtan) {
    return Unary<MathAtan>(in, stack, sp);
}
TIVANE_HANDLER(BiLog) {
    return Unary<MathLog>(in, stack, sp);
}
TIVANE_HANDLER(BiLog10) {
    return Unary<MathLog10>(in, stack, sp);
}
TIVANE_HANDLER(BiExp) {
    return Unary<MathExp>(in, stack, sp);
}

TIVANE_HANDLER(BiPow) {
    const CellIndex exponent = PopArg(stack, sp);
    const CellIndex base = PopArg(stack, sp);
    const double b = CellAt(base).d;
    const double e = CellAt(exponent).d;
    // A math error (negative base with a non-integral exponent, zero to a negative power,
    // a result too large) gives 1.0 and error 24 on the running document.
    std::feclearexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
    double r = std::pow(b, e);
    const bool failed = std::fetestexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW) != 0;
    if (failed) r = 1.0;
    Release(exponent);
    const CellIndex result = DoubleResult(in, base, r);
    if (failed) SetError(in, ERR_MATH);
    return result;
}

TIVANE_HANDLER(BiMin) {
    const CellIndex b = PopArg(stack, sp);
    const CellIndex a = PopArg(stack, sp);
    const ValueCell& ca = CellAt(a);
    const ValueCell& cb = CellAt(b);
    if (ca.type == TYPE_LONG) {
        const int32_t v = cb.l <= ca.l ? cb.l : ca.l;
        Release(b);
        return LongResult(in, a, v);
    }
    const double v = (cb.d <= ca.d || std::isnan(ca.d) || std::isnan(cb.d)) ? cb.d : ca.d;
    Release(b);
    return DoubleResult(in, a, v);
}

TIVANE_HANDLER(BiMax) {
    const CellIndex b = PopArg(stack, sp);
    const CellIndex a = PopArg(stack, sp);
    const ValueCell& ca = CellAt(a);
    const ValueCell& cb = CellAt(b);
    if (ca.type == TYPE_LONG) {
        const int32_t v = cb.l < ca.l ? ca.l : cb.l;
        Release(b);
        return LongResult(in, a, v);
    }
    const double v = (cb.d < ca.d || std::isnan(ca.d) || std::isnan(cb.d)) ? ca.d : cb.d;
    Release(b);
    return DoubleResult(in, a, v);
}

TIVANE_HANDLER(BiAbs) {
    const CellIndex x = PopArg(stack, sp);
    const ValueCell& c = CellAt(x);
    if (c.type == TYPE_LONG) {
        // The smallest long stays itself, as in two's complement negation.
        const int32_t v = c.l >= 0 ? c.l : static_cast<int32_t>(0u - static_cast<uint32_t>(c.l));
        return LongResult(in, x, v);
    }
    return DoubleResult(in, x, c.d >= 0 ? c.d : -c.d);
}

TIVANE_HANDLER(BiLong) {
    const CellIndex x = PopArg(stack, sp);
    return LongResult(in, x, RoundToLong(CellAt(x).d));
}

TIVANE_HANDLER(BiTrunc) {
    const CellIndex x = PopArg(stack, sp);
    return LongResult(in, x, FloorToLong(CellAt(x).d));
}

TIVANE_HANDLER(BiStrMid) {
    const CellIndex count = PopArg(stack, sp);
    const CellIndex start = PopArg(stack, sp);
    const CellIndex text = PopArg(stack, sp);
    const ValueCell& t = CellAt(text);
    const uint32_t n = StrLength(t);
    // Start and count are read unsigned: a negative start gives "", a negative count the rest.
    const auto s = static_cast<uint32_t>(CellAt(start).l);
    const auto k = static_cast<uint32_t>(CellAt(count).l);
    std::string_view piece;
    if (s < n) piece = std::string_view(StrText(t) + s, std::min(k, n - s));
    const CellIndex result = NewString(in, piece);
    Release(count);
    Release(start);
    Release(text);
    return result;
}

TIVANE_HANDLER(BiStrLen) {
    const CellIndex text = PopArg(stack, sp);
    const auto n = static_cast<int32_t>(StrLength(CellAt(text)));
    Release(text);
    return NewLong(in, n);
}

TIVANE_HANDLER(BiAsc) {
    const CellIndex text = PopArg(stack, sp);
    const int32_t v = static_cast<signed char>(StrText(CellAt(text))[0]); // "" gives 0
    Release(text);
    return NewLong(in, v);
}

TIVANE_HANDLER(BiChr) {
    const CellIndex code = PopArg(stack, sp);
    const char byte = static_cast<char>(CellAt(code).l & 0xFF);
    Release(code);
    // The zero byte is the terminator, so CHR(0) is "".
    return NewString(in, std::string_view(&byte, byte ? 1 : 0));
}

TIVANE_HANDLER(BiFindChar) {
    const CellIndex ch = PopArg(stack, sp);
    const CellIndex text = PopArg(stack, sp);
    const ValueCell& t = CellAt(text);
    // An empty second text searches for the terminator and so finds the length.
    const char wanted = StrText(CellAt(ch))[0];
    const char* found = static_cast<const char*>(std::memchr(StrText(t), wanted, StrLength(t) + 1));
    const int32_t v = found ? static_cast<int32_t>(found - StrText(t)) : -1;
    Release(ch);
    Release(text);
    return NewLong(in, v);
}

TIVANE_HANDLER(BiAtol) {
    const CellIndex text = PopArg(stack, sp);
    const char* p = StrText(CellAt(text));
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    // A 32-bit long: out-of-range texts clamp to the nearest limit, as the C library does.
    int64_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (v <= static_cast<int64_t>(INT32_MAX) + 1) v = v * 10 + (*p - '0');
    }
    if (negative) v = -v;
    const int32_t r = static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    Release(text);
    return NewLong(in, r);
}

TIVANE_HANDLER(BiAtof) {
    const CellIndex text = PopArg(stack, sp);
    // Decimal notation only: optional sign, digits, optional point and fraction, optional
    // exponent. Hexadecimal numbers, "inf" and "nan" are no numbers here and give 0.0.
    const char* p = StrText(CellAt(text));
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    const char* start = p;
    const auto digits = [&p] {
        const char* from = p;
        while (*p >= '0' && *p <= '9')
            ++p;
        return p - from;
    };
    if (*p == '+' || *p == '-') ++p;
    auto mantissa = digits();
    if (*p == '.') {
        ++p;
        mantissa += digits();
    }
    double v = 0.0;
    if (mantissa > 0) {
        const char* end = p;
        if (*p == 'e' || *p == 'E') {
            ++p;
            if (*p == '+' || *p == '-') ++p;
            if (digits() > 0) end = p;
        }
        // The C locale: a decimal point is "." whatever the user's locale says.
        v = strtod_l(std::string(start, end).c_str(), nullptr, CLocale());
    }
    Release(text);
    return NewDouble(in, v);
}

TIVANE_HANDLER(BiAnyToS) {
    const CellIndex value = PopArg(stack, sp);
    const CellIndex format = PopArg(stack, sp);
    std::string text;
    const std::string_view f = StrView(CellAt(format));
    const bool ok = FormatValue(in, value, &f, text);
    Release(value);
    Release(format);
    if (!ok) return kNoCell;
    return NewString(in, text);
}

TIVANE_HANDLER(BiValid) {
    const CellIndex value = PopArg(stack, sp);
    const uint16_t type = CellAt(value).type;
    Release(value);
    return NewLong(in, type == TYPE_NOTVALID ? 0 : -static_cast<int32_t>(type));
}

} // namespace tivane
