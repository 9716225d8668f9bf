// The evaluator's fused operations and quick loop conditions must act exactly like running
// their items one by one: same values, errors, marked items and reference counts.

#include <string>
#include <vector>

#include "testsupport.h"

namespace tivane::test {
namespace {

// ---------------------------------------------------------------------------------------------
// A fused operation that cannot get a cell must fail at the operator, as the operator's own
// handler does, so that the report marks the operator and not the variable or literal that
// starts the fused run.

struct ExhaustionCase {
    const char* text;
    const char* report;
};

class FusedExhaustionTest : public LanguageTest,
                            public ::testing::WithParamInterface<ExhaustionCase> {
protected:
    // Runs a compiled program while the pool has no free cell left.
    std::string ReportWithoutCells(const std::string& text) {
        struct LimitGuard {
            std::vector<CellIndex> held;
            ~LimitGuard() {
                for (CellIndex c : held)
                    Release(c);
                Pool().SetChunkLimit(CellPool::kMaxChunks);
            }
        } guard;
        const CellIndex program = Compile(*main, text);
        if (program == kNoCell) return "compile failed";
        Pool().SetChunkLimit(Pool().ChunkCount());
        for (CellIndex c; (c = Pool().NewCell()) != kNoCell;) {
            CellAt(c).type = TYPE_LONG;
            guard.held.push_back(c);
        }
        const CellIndex result = tivane::Run(*main, program);
        std::string report = ErrorReport(*main).value_or("");
        if (result != kNoCell) Release(result);
        Release(program);
        return report;
    }
};

TEST_P(FusedExhaustionTest, MarksTheOperatorThatNeededTheCell) {
    ASSERT_TRUE(Eval("a:=1; b:=2; x[0]:=3").ok);
    EXPECT_EQ(ReportWithoutCells(GetParam().text), GetParam().report) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Fused, FusedExhaustionTest,
    ::testing::Values(ExhaustionCase{"a+1", "Not enough memory.\n\n{a+#1}\n"},         // VAR LIT op
                      ExhaustionCase{"a+b", "Not enough memory.\n\n{a+#b}\n"},         // VAR VAR op
                      ExhaustionCase{"a<1", "Not enough memory.\n\n{a<#1}\n"},         // VAR LIT op
                      ExhaustionCase{"0+a+1", "Not enough memory.\n\n{0+#a+1}\n"},     // VAR op
                      ExhaustionCase{"x[0]+1", "Not enough memory.\n\n{x[0]+#1}\n"})); // LIT op

// ---------------------------------------------------------------------------------------------
// The quick WHILE condition must behave like a run of the condition program, also where runs
// are refused for nesting too deep: a condition `i<3` must fail exactly where the same
// comparison written so that it is not quick (`0+i<3`) fails.

class QuickConditionTest : public LanguageTest {
protected:
    // h(n) recurses n levels, then runs, `wrappers` EXECUTE levels further down, a WHILE whose
    // condition is false (i is 5).
    void Define(const std::string& name, const std::string& condition, int wrappers) {
        std::string bottom = "WHILE({" + condition + "},{i:=i+1})";
        for (int k = 0; k < wrappers; ++k)
            bottom = "EXECUTE({" + bottom + "})";
        ASSERT_TRUE(Eval(name + "(n):={IF(n>0,{" + name + "(n-1)},{" + bottom + "})}").ok);
    }
    uint32_t ErrorAt(const std::string& name, int n) {
        const Outcome o = Eval(name + "(" + std::to_string(n) + ")");
        return o.ok ? 0 : o.error;
    }
};

TEST_F(QuickConditionTest, FailsWhereTheConditionRunWouldFail) {
    ASSERT_TRUE(Eval("i:=5").ok);
    for (int wrappers = 0; wrappers < 4; ++wrappers) {
        const std::string quick = "q" + std::to_string(wrappers);
        const std::string plain = "p" + std::to_string(wrappers);
        Define(quick, "i<3", wrappers);
        Define(plain, "0+i<3", wrappers);
        // The smallest n at which the plain form fails (nesting too deep).
        int ok = 0, fails = 20000;
        ASSERT_NE(ErrorAt(plain, fails), 0u);
        while (fails - ok > 1) {
            const int mid = (ok + fails) / 2;
            (ErrorAt(plain, mid) ? fails : ok) = mid;
        }
        for (int n = fails - 2; n <= fails + 2; ++n)
            EXPECT_EQ(ErrorAt(quick, n), ErrorAt(plain, n))
                << "n=" << n << " with " << wrappers << " EXECUTE levels";
    }
}

// ---------------------------------------------------------------------------------------------
// Guard: a block compiled in a view's program is tied to the view's tables. Handing it to a
// parent's function gives it to the parent's parameter variable and is refused like any other
// PROGRAM given to the parent's variables; run in the main interpreter, its items would index
// the wrong tables (a parent's variable there has no parent to read from).

struct ParentProgramCase {
    const char* text;
    const char* report;
};

class ParentProgramTest : public ViewLanguageTest,
                          public ::testing::WithParamInterface<ParentProgramCase> {};

TEST_P(ParentProgramTest, ViewBlockGivenToParentFunctionIsRefused) {
    ASSERT_TRUE(Eval("a:=1; pf(p):={EXECUTE(p)}; pw(p):={WHILE(p,{0})}").ok);
    const Outcome o = ViewEval(GetParam().text);
    EXPECT_EQ(o.error, 20u) << GetParam().text;
    EXPECT_EQ(o.report, GetParam().report) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Fused, ParentProgramTest,
    ::testing::Values(
        ParentProgramCase{"pf({a+1})",
                          "Cannot give a PROGRAM type value to the parents variable.\n\n"
                          "{pf#({a+1})}\n"},
        ParentProgramCase{"pw({a<0})",
                          "Cannot give a PROGRAM type value to the parents variable.\n\n"
                          "{pw#({a<0})}\n"}));

// ---------------------------------------------------------------------------------------------
// Guards: `v := v op x` changes v's cell in place only while v alone holds it. Each value
// below starts as a computed temporary (`1+0`), so no program item holds it and only the
// holders named in the text share it. Failing updates mark the operator, as the plain items do.

struct UpdateCase {
    const char* text;
    const char* value; // the result, or the report when it fails
};

class InPlaceUpdateTest : public LanguageTest, public ::testing::WithParamInterface<UpdateCase> {};

TEST_P(InPlaceUpdateTest, ActsLikeTheItemsOneByOne) {
    const Outcome o = Eval(GetParam().text);
    EXPECT_EQ(o.ok ? o.value : o.report, GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Fused, InPlaceUpdateTest,
    ::testing::Values(
        // Other holders keep the old value: a variable, the PUSH stack, an array slot, a
        // parameter bound to the same cell.
        UpdateCase{"a:=1+0; b:=a; a:=a+1; b", "1"},
        UpdateCase{"a:=1+0; PUSH(a); a:=a+1; POP(0)", "1"},
        UpdateCase{"a:=1+0; x[0]:=a; a:=a+1; x[0]", "1"},
        UpdateCase{"f(p):={a:=a+1; p}; a:=1+0; f(a)", "1"},
        // Alone: widening, wrapping, the value left for a further operator.
        UpdateCase{"a:=1+0; a:=a+0.5", "1.5"}, UpdateCase{"a:=2147483647+0; a:=a+1", "-2147483648"},
        UpdateCase{"a:=3+0; b:=2+0; (a:=a*b)+a", "12"},
        // Failures at the operator; the variable keeps its value for the next run.
        UpdateCase{"a:=1+0; a:=a/0", "Invalid mathematical expression encountered.\n\n"
                                     "{a:=1+0;a:=a/#0}\n"},
        UpdateCase{"a:=1.5+0; a:=a&&1", "Invalid type.\n\n{a:=1.5+0;a:=a&&#1}\n"},
        UpdateCase{"a:=\"s\"; a:=a-1", "Invalid type.\n\n{a:=\"s\";a:=a-#1}\n"},
        // A skipped target whose assignment receives a reference fails at that assignment.
        UpdateCase{"a:=b:=1", "Invalid type.\n\n{a:=#b:=1}\n"}));

} // namespace
} // namespace tivane::test
