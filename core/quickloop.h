#pragma once
// A WHILE loop of number statements decoded into one piece of number code, for the evaluator.
// Internal to the evaluator.

#include <cstdint>

#include "evalslots.h"

namespace tivane::evaluation {

// A WHILE loop whose condition has number code and whose body is nothing but statements
// `v := expr;`, `a[x] := expr;` on own variables and arrays (x an own variable or a long
// literal), drawing calls `LINETO(expr, expr);` and `IF(expr, {...}, {...});` whose branches
// are one such assignment or one expression, where each expr has number code
// (`r := 0.5 * SIN(t); LINETO(r, t); IF(r > 0, {n := n + 1}, {0})`): the condition's code and
// the statements' joined into one loop, each statement ending in its store, call or the end
// of its IF, run without the item loop. Decoded once per loop.
class QuickLoop {
public:
    QuickLoop(const CInterpreter& in, const ProgramBlock* condition, const ProgramBlock* body)
        : m_in(in) {
        m_usable = Decode(condition, body);
    }

    bool Usable() const { return m_usable; }

    // Where the code stops: Done, the loop ended; Aside, where the code gave up before a run
    // or statement (`at`: -1 the condition's run, -2 the body's, k statement k of a body whose
    // run went before), with `pos` the statement's first item; or Failed, a drawing call with
    // the error set, `pos` its item.
    struct End {
        Step step;
        int32_t at;
        int32_t pos;
    };

    // Runs the loop from the condition (`from` -1) or from statement `from` of a body whose run
    // went before. From where the code on longs gives up, the code on numbers goes on; once
    // it has had to, later runs take it at once.
    [[gnu::always_inline]] End Run(CInterpreter& in, int32_t from) {
        if (!m_numbers) {
            const CodeValue end = RunStatementCode(in, m_code + Word(from), from);
            if (end.ok) return {Step::Done, 0, 0};
            if (end.failed) return {Step::Failed, end.value, m_last[end.value]};
            if (end.refused || end.value == -2) return Aside(end.value);
            m_numbers = true;
            from = end.value;
        }
        const NumberValue rest = RunNumberStatementCode(in, m_code + Word(from), from);
        if (rest.ok) return {Step::Done, 0, 0};
        return rest.failed ? End{Step::Failed, rest.stored, m_last[rest.stored]}
                           : Aside(rest.stored);
    }

private:
    int32_t Word(int32_t from) const { return from < 0 ? 0 : m_start[from]; }
    End Aside(int32_t at) const { return {Step::Aside, at, at >= 0 ? m_first[at] : 0}; }

    // The loop's code; false where the loop is no such loop or its code would not fit.
    bool Decode(const ProgramBlock* condition, const ProgramBlock* block);

    // An assignment from `pos`: its code appended at `out`, and the position of its
    // assignment; -1 when the items there are no such statement.
    int32_t Assignment(const ProgramBlock* block, int32_t pos, int32_t& out);

    // A drawing call of a point from `pos`, as Assignment; -1 when there is none.
    int32_t Drawing(const ProgramBlock* block, int32_t pos, int32_t& out);

    // IF(expr, {...}, {...}) from `pos` with branches of one assignment or expression: the
    // code of its condition, X_BRANCH, the first branch's, X_JUMP and the second branch's at
    // `out`, and the position of the IF; -1 when there is none.
    int32_t If(const ProgramBlock* block, int32_t pos, int32_t& out);

    // A branch of one assignment (with or without its ";") or one expression, or empty,
    // ending in what counts it as its IF statement's end: the assignment's store, or X_DONE.
    bool Branch(const ProgramBlock* branch, int32_t& out);

    // The words of code before its X_END.
    static int32_t CodeLength(const uint64_t* code);

    // Whether `words` more fit after `out`, with the last word kept for the closing X_END.
    static bool Room(int32_t out, int32_t words) { return out + words <= kMaxCode - 1; }

    // The first position from `pos` whose item cannot be part of an expression of numbers.
    static int32_t ExpressionEnd(const ProgramBlock* block, int32_t pos);

    const CInterpreter& m_in; // whose functions the code calls
    static constexpr int32_t kMaxStatements = 16;
    static constexpr int32_t kMaxCode = 160;
    uint64_t m_code[kMaxCode];
    int32_t m_first[kMaxStatements]; // each statement's first item
    int32_t m_last[kMaxStatements];  // its assignment, call or IF
    int32_t m_start[kMaxStatements]; // and its first code word
    int32_t m_count = 0;
    bool m_usable = false;
    bool m_numbers = false; // the code on numbers has carried a run through
};

} // namespace tivane::evaluation
