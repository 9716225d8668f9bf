// Listings are program text: random programs, listed and compiled again, list the same and
// compute the same value or fail with the same error.

#include <cstdint>
#include <random>
#include <string>

#include "testsupport.h"

namespace tivane::test {
namespace {

// Program text from a seeded generator: literals, the variables of kSetup, every binary
// operator, the prefix minus, parentheses, calls, array elements, assignments, blocks and
// ";" both between statements and inside operands. Every text it makes compiles.
class ProgramGenerator {
public:
    explicit ProgramGenerator(uint32_t seed) : m_random(seed) {}

    std::string Program() { return Statements(4, true); }

private:
    // Mostly longs, which every operator takes, so that most runs get far; doubles whose
    // default form ("%g") reads back as another number or type too (2.0 reads as a long,
    // 3.14159265 loses digits, an infinity reads as a name).
    static constexpr const char* kLeaves[] = {
        "0",     "1", "2", "3",   "7",      "12",    "-3",         "2147483647", "a",
        "b",     "n", "a", "b",   "n",      "a",     "b",          "n",          "0.5",
        "-1.25", "c", "s", "2.0", "1e+300", "1e999", "3.14159265", "0.1",        "2.5e-7"};
    static constexpr const char* kBinary[] = {
        "+", "-", "*", "/", ">=", "<=", "!=", "<", ">", "==", "&&", "||"};
    static constexpr const char* kTargets[] = {"a", "b", "n", "c", "s"};

    uint32_t Pick(uint32_t n) { return m_random() % n; }
    template <typename T, size_t N>
    const char* PickFrom(const T (&rows)[N]) {
        return rows[Pick(N)];
    }

    // Statements joined by ";"; a trailing ";" is allowed only where a "}" or the end follows.
    std::string Statements(int depth, bool mayEndWithSemicolon) {
        std::string text = Expression(depth);
        while (Pick(4) == 0)
            text += ";" + Expression(depth);
        if (mayEndWithSemicolon && Pick(10) == 0) text += ";";
        return text;
    }

    std::string Expression(int depth) {
        if (depth <= 0) return PickFrom(kLeaves);
        switch (Pick(12)) {
        case 0:
            return PickFrom(kLeaves);
        case 1:
        case 2:
        case 3:
        case 4:
            return Expression(depth - 1) + PickFrom(kBinary) + Expression(depth - 1);
        case 5:
            return "-" + Expression(depth - 1);
        case 6:
        case 7:
            return "(" + Expression(depth - 1) + ")";
        case 8:
            return Call(depth - 1);
        case 9:
            return Assignment(depth - 1);
        case 10: { // statements inside an operand; an assignment there shows their order
            const std::string first = Pick(2) ? Assignment(depth - 1) : Expression(depth - 1);
            return "(" + first + ";" + Statements(depth - 1, false) + ")";
        }
        default: { // a block is mostly run at once: as an operand it is a type error
            const std::string block = "{" + Statements(depth - 1, true) + "}";
            return Pick(3) == 0 ? block : "execute(" + block + ")";
        }
        }
    }

    std::string Call(int depth) {
        switch (Pick(6)) {
        case 0:
            return "sin(" + Expression(depth) + ")";
        case 1:
            return "abs(" + Expression(depth) + ")";
        case 2:
            return "max(" + Expression(depth) + "," + Expression(depth) + ")";
        case 3:
            return "if(" + Expression(depth) + "," + Expression(depth) + "," + Expression(depth) +
                   ")";
        case 4:
            return "x[" + Expression(depth) + "]";
        default:
            return "f(" + Expression(depth) + ")";
        }
    }

    // The target is the operand just before ":=": usually alone, sometimes the right operand
    // of an operator before it, which the assignment then takes as its left operand.
    std::string Assignment(int depth) {
        std::string target =
            Pick(4) == 0 ? "x[" + Expression(depth) + "]" : std::string(PickFrom(kTargets));
        if (Pick(5) == 0) target = Expression(0) + PickFrom(kBinary) + target;
        return target + ":=" + Expression(depth);
    }

    std::mt19937 m_random;
};

// Run before every program, so that both runs of a pair start from the same values.
constexpr const char* kSetup = "a:=3;b:=-2;n:=7;c:=1.5;s:=\"ab\";x[0]:=1;x[1]:=2.5;f(p):={p*2+1}";

class ListingRoundTripTest : public LanguageTest {
protected:
    std::string List(CellIndex program) {
        std::string text;
        EXPECT_TRUE(ListProgram(*main, program, 0, text));
        return text;
    }

    // The value's text and type, or "error N".
    std::string RunFromSetup(CellIndex program) {
        const Outcome setup = Eval(kSetup);
        EXPECT_TRUE(setup.ok) << setup.report;
        const CellIndex result = tivane::Run(*main, program);
        if (result == kNoCell) {
            const uint32_t code = doc.errorCode;
            ErrorReport(*main);
            return "error " + std::to_string(code);
        }
        std::string text;
        if (!FormatValue(*main, result, text)) text = "unformattable";
        text += " type " + std::to_string(CellAt(result).type);
        Release(result);
        return text;
    }
};

TEST_F(ListingRoundTripTest, ListingsCompileToProgramsThatListAndComputeTheSame) {
    constexpr int kPrograms = 3000;
    ProgramGenerator generator(20240611);
    int values = 0;
    for (int k = 0; k < kPrograms; ++k) {
        const std::string text = generator.Program();
        const CellIndex original = Compile(*main, text);
        ASSERT_NE(original, kNoCell) << text << " fails to compile: " << doc.errorCode;
        const std::string listing = List(original);
        // The listing is the program in braces; its inside is the program's text.
        const CellIndex relisted = Compile(*main, listing.substr(1, listing.size() - 2));
        if (relisted == kNoCell) {
            ADD_FAILURE() << text << " lists as " << listing << ", error " << doc.errorCode;
            ErrorReport(*main);
            Release(original);
            continue;
        }
        EXPECT_EQ(List(relisted), listing) << text;
        const std::string first = RunFromSetup(original);
        const std::string second = RunFromSetup(relisted);
        EXPECT_EQ(first, second) << text << " lists as " << listing;
        if (first.rfind("error", 0) != 0) ++values;
        Release(original);
        Release(relisted);
        if (HasFailure()) break; // one counterexample is enough to read
    }
    // Not all programs may fail at once: most errors stop a run before it gets far.
    EXPECT_GT(values, kPrograms / 5);
}

} // namespace
} // namespace tivane::test
