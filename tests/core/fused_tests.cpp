// The evaluator's fused operations and quick loop conditions must act exactly like running
// their items one by one: same values, errors, marked items and reference counts.

#include <string>
#include <utility>
#include <vector>

#include "testsupport.h"

namespace tivane::test {
namespace {

// ---------------------------------------------------------------------------------------------
// The quick WHILE condition must behave like a run of the condition program, also where runs
// are refused for nesting too deep: a condition `i<3` must fail exactly where the same
// comparison written so that it is not quick (`0+i<3`) fails.

// Each name(n) recurses n levels, then runs, `wrappers` EXECUTE levels further down, a WHILE
// whose condition is false (i is 5).
TEST_F(LanguageTest, QuickConditionFailsWhereTheConditionRunWouldFail) {
    ASSERT_TRUE(Eval("i:=5").ok);
    const auto define = [&](const std::string& name, const std::string& condition, int wrappers) {
        std::string bottom = "WHILE({" + condition + "},{i:=i+1})";
        for (int k = 0; k < wrappers; ++k)
            bottom = "EXECUTE({" + bottom + "})";
        return Eval(name + "(n):={IF(n>0,{" + name + "(n-1)},{" + bottom + "})}").ok;
    };
    const auto errorAt = [&](const std::string& name, int n) {
        const Outcome o = Eval(name + "(" + std::to_string(n) + ")");
        return o.ok ? 0 : o.error;
    };
    for (int wrappers = 0; wrappers < 4; ++wrappers) {
        const std::string quick = "q" + std::to_string(wrappers);
        const std::string plain = "p" + std::to_string(wrappers);
        ASSERT_TRUE(define(quick, "i<3", wrappers) && define(plain, "0+i<3", wrappers));
        // The smallest n at which the plain form fails (nesting too deep).
        int ok = 0, fails = 20000;
        ASSERT_NE(errorAt(plain, fails), 0u);
        while (fails - ok > 1) {
            const int mid = (ok + fails) / 2;
            (errorAt(plain, mid) ? fails : ok) = mid;
        }
        for (int n = fails - 2; n <= fails + 2; ++n)
            EXPECT_EQ(errorAt(quick, n), errorAt(plain, n))
                << "n=" << n << " with " << wrappers << " EXECUTE levels";
    }
}

// A function body IF(cond,{..},{..}) whose condition is computed from number code must fail at
// the nesting limit exactly where the same body fails when it runs (a condition on a double).
TEST_F(LanguageTest, QuickIfBodyFailsWhereTheBodyRunWouldFail) {
    ASSERT_TRUE(Eval("q(n):={IF(n>0,{q(n-1)},{0})}; p(n):={IF(n>0.5,{p(n-1)},{0})}").ok);
    const auto errorAt = [&](const char* name, int n) {
        const Outcome o = Eval(name + ("(" + std::to_string(n) + ")"));
        return o.ok ? 0 : o.error;
    };
    int ok = 0, fails = 20000;
    ASSERT_NE(errorAt("p", fails), 0u);
    while (fails - ok > 1)
        (errorAt("p", (ok + fails) / 2) ? fails : ok) = (ok + fails) / 2;
    // p(n)'s deepest run, the branch {0}, is run 2n + 3; where the machine stack ends nesting
    // first (an instrumented build), the depth is the build's and not the language's.
    if (2 * fails + 3 <= kMaxRunDepth) GTEST_SKIP() << "the machine stack binds at n=" << fails;
    for (int n = fails - 2; n <= fails + 2; ++n)
        EXPECT_EQ(errorAt("q", n), errorAt("p", n)) << "n=" << n;
}

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
        // A skipped target whose assignment receives a reference fails at that assignment.
        UpdateCase{"a:=b:=1", "Invalid type.\n\n{a:=#b:=1}\n"}));

// ---------------------------------------------------------------------------------------------
// A WHILE loop run on one frame and an IF whose blocks run directly must act like the plain
// evaluation's nested runs: values, errors, marked items, traces, and a Stop at the same
// message pass (the run counter is set so that the `pass`-th run passes messages).

struct PlainCase {
    const char* text;
    int pass;
};

class LikePlainTest : public LanguageTest, public ::testing::WithParamInterface<PlainCase> {};

// The outcome of `text` with the `pass`-th run passing messages, fast or plain, and how many
// passes were made.
std::pair<Outcome, int> RunWithPass(const std::string& text, int pass, bool plain, bool stop) {
    FakeDocument doc;
    doc.errorOnPump = stop ? uint32_t{ERR_USER_STOP} : 0u;
    CInterpreter in(doc);
    SetPlainEvaluation(plain);
    SetRunCounter(static_cast<uint16_t>(kMessagePassInterval - pass + 1));
    const Outcome o = Evaluate(in, text);
    SetPlainEvaluation(false);
    return {o, doc.pumps};
}

TEST_P(LikePlainTest, ActsLikeThePlainEvaluation) {
    const auto [fast, fastPasses] = RunWithPass(GetParam().text, GetParam().pass, false, true);
    const auto [plain, plainPasses] = RunWithPass(GetParam().text, GetParam().pass, true, true);
    EXPECT_EQ(fast.ok ? fast.value : fast.report, plain.ok ? plain.value : plain.report)
        << GetParam().text;
    EXPECT_EQ(fast.error, plain.error) << GetParam().text;
    EXPECT_EQ(fastPasses, plainPasses) << GetParam().text;
}

// Code that passed messages and then gave up (a double below a call, a branch without code, a
// string) leaves the pass to the items, which must not make it a second time.
TEST_F(LanguageTest, CodeThatGivesUpMakesEachMessagePassOnce) {
    for (const char* text : {
             "f(x):={IF(x,{x+q},{0})}; q:=\"s\"; i:=0; s:=0; "
             "WHILE({i<5},{s:=s+f(i*0); i:=i+1}); s:=f(1)+0",
             "f(n):={IF(n<2,{n+0.5},{f(n-1)+f(n-2)})}; s:=f(8)+0; s",
             "f(n):={IF(n<2,{z:=n; n},{f(n-1)+f(n-2)})}; s:=f(8)+0; s",
             "f(n):={IF(n<2,{n},{f(n-1.5)+f(n-2)})}; f(24)",
             "f(x):={x*0.5}; i:=0; s:=0; WHILE({i<6},{IF(f(i)>1,{s:=s+f(i)},{s:=s-1}); "
             "i:=i+1}); s",
         }) {
        for (int pass = 1; pass <= 60; ++pass) {
            const auto [fast, fastPasses] = RunWithPass(text, pass, false, false);
            const auto [plain, plainPasses] = RunWithPass(text, pass, true, false);
            EXPECT_EQ(fast.ok ? fast.value : fast.report, plain.ok ? plain.value : plain.report)
                << text << " pass " << pass;
            EXPECT_EQ(fastPasses, plainPasses) << text << " pass " << pass;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fused, LikePlainTest,
    ::testing::Values(
        PlainCase{"i:=0; WHILE({i<10},{i:=i+1}); i", 6},
        PlainCase{"i:=0; WHILE({i<10},{i:=i+1}); i", 1000},
        PlainCase{"i:=0; WHILE({i<10},{i:=i+1; IF(i>5,{1/0},{0})})", 1000},
        PlainCase{"i:=0; WHILE({i+0.5},{i:=i+1})", 1000},
        PlainCase{"i:=0; WHILE({0+i<4},{i:=i+1; IF(i,{i},{0})})", 7},
        PlainCase{"c:={i<3}; i:=0; WHILE(c,{i:=i+1; c:={0}}); i", 1000},
        PlainCase{"i:=0; WHILE({i<3},{i:=i+1; EXECUTE({WHILE({0},{1/0})})}); i", 9},
        PlainCase{"IF(2.5,{1},{2})", 1000}, PlainCase{"IF(1,{1/0},{2})", 1000},
        PlainCase{"a:=3; IF(a,{a:=a+1},{a})+a", 1000},
        PlainCase{"f(n):={IF(n<2,{n},{f(n-1)+f(n-2)})}; f(12)", 1000},
        PlainCase{"f(n):={IF(n<2,{n},{f(n-1)+f(n-2)})}; f(12)", 300},
        PlainCase{"a:=1; b:=\"x\"; c:=a+b*2; c", 1000}, PlainCase{"a:=5; c:=a*2/(a-5); c", 1000},
        PlainCase{"a:=2147483647; c:=a*2+a; c:=c-1.5*a; c", 1000},
        PlainCase{"a:=1.5; c:=(a&&1)+2", 1000}, PlainCase{"p:={1}; c:=p+1", 1000},
        PlainCase{"b:=2; c:=1+(2+(3+(4+(5+(6+(7+(8+(9+b)))))))); c", 1000},
        PlainCase{"a:=3; c:=a; c:=c*c-a; PUSH(c); c:=c+1; POP(0)+c", 1000},
        PlainCase{"i:=2; x[i]:=i*i; (x[i+1]:=i/2)+x[i]", 1000},
        PlainCase{"i:=1.5; x[i]:=i*2", 1000}, PlainCase{"i:=0-1; x[i]:=i*2;", 1000},
        PlainCase{"x[0]:=1.5; x[1]:=2; i:=0; c:=x[i]*x[i+1]; c", 1000},
        PlainCase{"i:=0; c:=x[i+5000]+1", 1000}, PlainCase{"i:=0.5; c:=x[i]+1", 1000},
        PlainCase{"y[0]:=\"s\"; i:=0; c:=1+y[i]", 1000},
        // Number code: right operands on the stack, in a variable, a literal.
        PlainCase{"a:=7; b:=3; c:=a-b*2+(a/b)-(b-a)-(9-b/a); c", 1000},
        PlainCase{"a:=3; c:=(a<5)+(a>=3)*2+(a==3&&1)*4+(a||0)*8+(a!=a)*16; c", 1000},
        PlainCase{"a:=0-2147483647-1; b:=0-1; c:=a/b+a*b; c", 1000},
        PlainCase{"a:=0; c:=5-a/a; c", 1000}, PlainCase{"a:=2; c:=a/0.5", 1000},
        PlainCase{"x[0]:=1; x[1]:=1; i:=0; WHILE({x[i]},{i:=i+1}); i", 1000},
        PlainCase{"i:=0.5; WHILE({i*2<5},{i:=i+1}); i", 1000},
        PlainCase{"i:=0; n:=3; WHILE({i*i<=n*n},{i:=i+1}); i", 3},
        // A branch or body computed without a run; parameters bound in place.
        PlainCase{"a:=\"s\"; IF(1,{a},{0})", 1000},
        PlainCase{"sq(x):={x*x}; x:=2; sq(5)+sq(0.5)+x", 1000},
        PlainCase{"sq(x):={x*x}; i:=0; s:=0; WHILE({i<9},{s:=s+sq(i); i:=i+1}); s", 5},
        PlainCase{"f(p):={q:=p; p:=7; q}; p:=2+0; f(5)*10+p+q", 1000},
        PlainCase{"f(p):={p:=\"s\"; 1}; p:=3+0; f(2)+p", 1000},
        PlainCase{"f(p):={p:=p+1; p}; p:=1+0; q:=p; f(5)+p*10+q*100", 1000},
        PlainCase{"f(n):={x[n]:=n; IF(n>0,{f(n-1)},{n})}; f(3)+x[2]+x[3]*10", 1000},
        PlainCase{"f(a,b):={a-b}; a:=1; b:=2; f(b,a)*100+f(7,3)*10+a-b", 1000},
        // Function bodies IF(cond,{..},{..}) run without their item loop: errors in a branch
        // at each level, a message pass on a body or a branch run.
        PlainCase{"f(n):={IF(n<1,{1/n},{2*f(n-1)})}; f(3)", 1000},
        PlainCase{"f(n):={IF(n<1,{n},{f(n-1)+1})}; f(3)", 3},
        PlainCase{"f(n):={IF(n<1,{n},{f(n-1)+1})}; f(3)", 4},
        PlainCase{"f(n):={IF(n<1,{n},{f(n-1)+1})}; f(3)", 8},
        PlainCase{"f(n):={IF(n,{f(n-1)},{IF(1,{1/0},{1})})}; f(2)", 1000},
        PlainCase{"f(n):={IF(n,{f(n-1)},{\"s\"})}; f(2)", 1000},
        // Element stores into written slots, in place or not, and around them.
        PlainCase{"x[0]:=1+0; y:=x[0]; x[0]:=5; x[1]:=x[0]*3; y+x[0]+x[1]", 1000},
        PlainCase{"x[0]:=1; x[5000]:=2; i:=0-1; x[2047]:=x[5000]+3; x[i]:=4", 1000},
        PlainCase{"x[1]:=2+0; x[2]:=x[1]; x[1]:=x[1]*3; x[2]:=x[2]+1; x[2]", 1000},
        PlainCase{"i:=0; WHILE({i<5},{x[i]:=i; x[i]:=x[i]+i; i:=i+1}); x[4]", 9},
        // Loop bodies of statements: giving up at the first or a later statement,
        // shared cells, fresh blocks, failing stores, a message pass on the body.
        PlainCase{"s:=0.5; i:=0; WHILE({i<4},{s:=s+i; i:=i+1;}); s", 1000},
        PlainCase{"s:=0; h:=0.5; i:=0; WHILE({i<4},{s:=s+i; h:=h+s; i:=i+1}); s+h", 1000},
        PlainCase{"d:=4; s:=0; i:=0; WHILE({i<6},{s:=s+i; t:=s/(d-i); i:=i+1})", 1000},
        PlainCase{"s:=0+0; PUSH(s); i:=0; WHILE({i<3},{s:=s+i; i:=i+1}); POP(0)+s", 1000},
        PlainCase{"a[0]:=1+0; PUSH(a[0]); i:=0; WHILE({i<2},{a[0]:=a[0]+5; "
                  "i:=i+1}); POP(0)*100+a[0]",
                  1000},
        PlainCase{"i:=0; WHILE({i<4100},{a[i]:=i*2; a[7]:=a[7]+i; i:=i+1}); "
                  "a[2047]+a[2048]+a[4099]+a[7]",
                  1000},
        PlainCase{"i:=2; WHILE({i>0-3},{a[i]:=i; i:=i-1}); a[0]", 1000},
        PlainCase{"s:=0; i:=0; WHILE({i<10},{s:=s+i; i:=i+1}); s", 4},
        PlainCase{"s:=0; i:=0; WHILE({i<10},{s:=s+i; i:=i+1}); s", 5},
        // Number code on doubles: long values turning double, refusals.
        PlainCase{"x:=1; i:=0; WHILE({i<6},{x:=x/2+i*0.5; y:=x*2; i:=i+1}); x+y", 1000},
        PlainCase{"x:=1.5; i:=0; WHILE({i<3},{y:=x/(i-1.0); i:=i+1})", 1000},
        PlainCase{"x:=1.5; i:=0; WHILE({i<3},{i:=i+1; y:=x&&1})", 1000},
        PlainCase{"j:=0.5; i:=0; WHILE({i<3},{i:=i+1; a[j]:=i*0.5})", 1000},
        PlainCase{"t:=0.0; WHILE({t<1.0},{a[2]:=t; t:=t+0.25}); t+a[2]", 1000},
        PlainCase{"f(x):={x*0.5}; t:=0.5; WHILE({t*2.0<f(9)},{t:=t+1}); t", 1000},
        // IF statements in a loop body: branches that give up, fail, store elements; a
        // message pass on the condition, the body or a branch.
        PlainCase{"s:=0+0; PUSH(s); i:=0; WHILE({i<4},{IF(i>1,{s:=s+i},{0}); i:=i+1}); POP(0)+s",
                  1000},
        PlainCase{"x:=1.5; n:=0; i:=0; WHILE({i<3},{IF(x,{n:=n+1},{}); x:=x-0.5; i:=i+1}); n",
                  1000},
        PlainCase{"s:=0; i:=0; WHILE({i<3},{IF(i>1,{s:=1/(i-2)},{0;}); i:=i+1})", 1000},
        PlainCase{"i:=0; WHILE({i<3000},{IF(i-(i/2)*2,{a[i]:=i},{b[i]:=0-i;}); i:=i+1}); "
                  "a[2999]+b[2998]",
                  1000},
        PlainCase{"s:=0; i:=0; WHILE({i<6},{IF(i>2,{s:=s+i},{s:=s-1}); i:=i+1}); s", 6},
        PlainCase{"s:=0; i:=0; WHILE({i<6},{IF(i>2,{s:=s+i},{s:=s-1}); i:=i+1}); s", 7},
        PlainCase{"s:=0; i:=0; WHILE({i<6},{IF(i>2,{s:=s+i},{s:=s-1}); i:=i+1}); s", 8},
        PlainCase{"s:=0; i:=0; WHILE({i<6},{IF(i>2,{s:=s+i},{s:=s-1}); i:=i+1}); s", 20},
        PlainCase{"i:=0; WHILE({i<4},{IF(i>1,{i*2},{}); d:=10/(2-i); i:=i+1})", 9},
        PlainCase{"i:=0; WHILE({i<4},{IF(i>1,{i*2},{}); d:=10/(2-i); i:=i+1})", 10},
        PlainCase{"i:=0; WHILE({i<4},{IF(i<2,{i*2},{}); d:=10/(2-i); i:=i+1})", 11},
        PlainCase{"i:=0; WHILE({i<4},{IF(i<2,{i*2},{}); d:=10/(2-i); i:=i+1})", 12},
        PlainCase{"n:=0; x:=0.5; i:=0; WHILE({i<4},{IF(i-1,{n:=n+x},{x:=\"s\"}); i:=i+1}); n",
                  1000},
        // Whole loops in code: giving up at the condition, the body's start or a statement,
        // and taking over again at the next condition; a Stop right after the loop.
        PlainCase{"x:=0; i:=0; WHILE({i+x<5},{i:=i+1; IF(i==3,{x:=0.5},{0})}); i*10+x", 1000},
        PlainCase{"x:=0; i:=0; WHILE({i+x<5},{i:=i+1; IF(i==3,{x:=0.5},{0})}); i*10+x", 9},
        PlainCase{"q:=\"s\"; i:=0; WHILE({i<5},{i:=i+1; r:=q; n:=i*2}); n+i", 6},
        PlainCase{"q:=\"s\"; i:=0; WHILE({i<5},{i:=i+1; r:=q; n:=i*2}); n+i", 7},
        PlainCase{"q:=\"s\"; i:=0; WHILE({i<5},{i:=i+1; r:=q; n:=i*2}); n+i", 8},
        PlainCase{"i:=0; WHILE({i<3},{i:=i+1}); WHILE({i<6},{i:=i+0.5}); i", 12},
        PlainCase{"f(x):={z:=x; x}; i:=0; WHILE({f(i)<6},{i:=i+1; n:=i*2}); EXECUTE({n})", 17},
        PlainCase{"f(x):={z:=x; x}; i:=0; WHILE({f(i)<6},{i:=i+1; n:=i*2}); EXECUTE({n})", 22},
        // Calls from number code: in statements, conditions and IF statements, a message pass
        // on a call's run or its branch's, recursion, results and parameters of every kind.
        PlainCase{"f(x):={x*x-x}; i:=0; s:=0; WHILE({i<9},{t:=s+f(i-(i/4)*4); s:=t-(t/7)*7; "
                  "i:=i+1}); s",
                  6},
        PlainCase{"f(x):={x*x-x}; i:=0; s:=0; WHILE({i<9},{t:=s+f(i-(i/4)*4); s:=t-(t/7)*7; "
                  "i:=i+1}); s",
                  7},
        PlainCase{"f(n):={IF(n<2,{n},{f(n-1)+f(n-2)})}; i:=0; s:=0; WHILE({i<3},{s:=s+f(7); "
                  "i:=i+1}); s",
                  50},
        PlainCase{"f(n):={IF(n<2,{n},{f(n-1)+f(n-2)})}; i:=0; s:=0; WHILE({i<3},{s:=s+f(7); "
                  "i:=i+1}); s",
                  51},
        PlainCase{"f(n):={IF(n<2,{n},{f(n-1)+f(n-2)})}; f(9)*2", 100},
        PlainCase{"f(x):={x*2}; i:=0; WHILE({f(i)<10},{i:=i+1}); i", 4},
        PlainCase{"f(x):={x*2}; i:=0; WHILE({f(i)<10},{i:=i+1}); i", 5},
        PlainCase{"f(x):={x-(x/2)*2}; s:=0; i:=0; WHILE({i<6},{IF(f(i),{s:=s+f(i)},{s:=s-1}); "
                  "i:=i+1}); s",
                  7},
        PlainCase{"f(x):={x-(x/2)*2}; s:=0; i:=0; WHILE({i<6},{IF(f(i),{s:=s+f(i)},{s:=s-1}); "
                  "i:=i+1}); s",
                  8},
        PlainCase{"h(x):={x*0.5}; i:=0; s:=0; WHILE({i<4},{s:=s+h(i); i:=i+1}); s", 1000},
        PlainCase{"f(x):={10/x}; i:=3; s:=0; WHILE({i>0-2},{s:=s+f(i); i:=i-1}); s", 1000},
        PlainCase{"f(x):={IF(x,{x},{\"s\"})}; i:=3; s:=0; WHILE({i>0-1},{s:=s+f(i); i:=i-1})",
                  1000},
        PlainCase{"u(1); i:=0; s:=0; WHILE({i<2},{s:=u(i)+1; i:=i+1})", 1000},
        PlainCase{"f(p):={p*2}; p:=3+0; q:=p; i:=0; s:=0; WHILE({i<3},{s:=s+f(i); i:=i+1}); "
                  "s*100+p*10+q",
                  1000},
        PlainCase{"f(p):={p+1}; p:=\"s\"; i:=0; s:=0; WHILE({i<3},{s:=s+f(i); i:=i+1}); p", 1000},
        PlainCase{"g(a,b):={a*10+b}; f(x):={g(x,x+1)-g(1,x)}; i:=0; s:=0; "
                  "WHILE({i<5},{s:=s+f(i); i:=i+1}); s+a+b",
                  1000},
        PlainCase{"f(n):={IF(n>0,{f(n-1)+1},{z:=n; 0})}; f(300)+z", 1000},
        // A double from the base case: each level's value is computed once, not twice.
        PlainCase{"f(n):={IF(n>0,{n+f(n-2)},{0.5})}; f(80)", 1000},
        PlainCase{"f(x):={f(x)+1}; f(1)", 1000},
        PlainCase{"f(x):={x+1}; a:=f(1); f(x):={x*10}; b:=f(2); a+b", 1000}));

// Loop bodies whose joined code may not fit, and filling loops under a small pool, where a
// store must share the value's cell as an assignment does: as the plain evaluation.
TEST_F(LanguageTest, LongBodiesAndFillingLoopsActLikeThePlainEvaluation) {
    std::vector<std::string> texts;
    for (const int terms : {8, 30, 59, 62, 80, 120}) {
        std::string sum = "x";
        for (int k = 1; k < terms; ++k)
            sum += "+x";
        texts.push_back("x:=1; s:=0+0; t:=0+0; i:=0; WHILE({i<2},{s:=" + sum +
                        "; t:=x+x; i:=i+1}); s*100+t");
    }
    std::string many;
    for (int k = 0; k < 15; ++k)
        many += "s:=s+x+x+x+x+x+x+x+x+x+x; ";
    texts.push_back("x:=1; s:=0; i:=0; WHILE({i<2},{" + many + "i:=i+1}); s");
    texts.push_back("i:=0; WHILE({i<100000},{a[i]:=0; i:=i+1}); s:=\"x\"+\"y\"; s");
    texts.push_back(
        "x:=1.5; i:=0; WHILE({i<100000},{a[i]:=x; b[i]:=a[i]; i:=i+1}); s:=\"x\"+\"y\"; s");
    // A copy over written slots shares the copied cell, in the item loop and in a branch.
    texts.push_back("i:=0; WHILE({i<30000},{a[i]:=i*0.5; b[i]:=i*0.25; b[i]:=a[i]; i:=i+1}); "
                    "s:=\"x\"+\"y\"; s");
    texts.push_back("i:=0; WHILE({i<30000},{a[i]:=i*0.5; b[i]:=i*0.25; IF(i,{b[i]:=a[i]},{0}); "
                    "q:=\"s\"; i:=i+1}); s:=\"x\"+\"y\"; s");
    for (const std::string& text : texts) {
        std::string seen[2];
        // One budget for both runs: the first may grow the pool.
        const size_t budget = Pool().ChunkCount() + 20;
        for (const bool plain : {false, true}) {
            FakeDocument doc;
            CInterpreter in(doc);
            Pool().SetChunkLimit(budget);
            SetPlainEvaluation(plain);
            const Outcome o = Evaluate(in, text);
            SetPlainEvaluation(false);
            Pool().SetChunkLimit(CellPool::kMaxChunks);
            seen[plain] = o.ok ? o.value : o.report;
        }
        EXPECT_EQ(seen[0], seen[1]) << text;
    }
}

} // namespace
} // namespace tivane::test
