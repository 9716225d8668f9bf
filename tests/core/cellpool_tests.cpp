// The cell pool: reuse, growth, exhaustion, counts beyond 16 bits, and that programs of every
// kind, failing ones included, give back every cell they take.

#include <vector>

#include "testsupport.h"

namespace tivane::test {
namespace {

class CellPoolTest : public LanguageTest {
protected:
    // A long cell owned by the test.
    static CellIndex NewLongCell(int32_t v) {
        const CellIndex c = Pool().NewCell();
        if (c != kNoCell) {
            CellAt(c).type = TYPE_LONG;
            CellAt(c).l = v;
        }
        return c;
    }
};

// When every cell of the existing chunks is live, the next cell opens a new chunk and is
// that chunk's first cell.
TEST_F(CellPoolTest, NewChunkWhenAllCellsAreLive) {
    std::vector<CellIndex> held;
    const uint32_t chunks = Pool().ChunkCount();
    while (Pool().ChunkCount() == chunks) {
        const size_t liveBefore = Pool().LiveCells();
        held.push_back(NewLongCell(0));
        ASSERT_NE(held.back(), kNoCell);
        if (Pool().ChunkCount() != chunks) {
            EXPECT_EQ(liveBefore, size_t{chunks} * CellPool::kCellsPerChunk);
            EXPECT_EQ(held.back(), chunks * CellPool::kCellsPerChunk);
        }
    }
    EXPECT_EQ(Pool().ChunkCount(), chunks + 1);
    for (CellIndex c : held)
        Release(c);
}

// References beyond 65535 are counted, and the cell is freed once, by the last release. A
// freed cell is the next handed out; freed twice, it would be handed out twice.
TEST_F(CellPoolTest, ReferenceCountsDoNotOverflow) {
    const CellIndex c = NewLongCell(5);
    for (int k = 0; k < 70000; ++k)
        AddRef(c);
    EXPECT_EQ(Pool().RefCount(c), 70001u);
    for (int k = 0; k < 70000; ++k)
        Release(c);
    EXPECT_EQ(Pool().RefCount(c), 1u);
    EXPECT_EQ(CellAt(c).l, 5);
    Release(c);
    const CellIndex first = NewLongCell(1);
    const CellIndex second = NewLongCell(2);
    EXPECT_EQ(first, c);
    EXPECT_NE(second, c);
    Release(first);
    Release(second);
}

// With no chunk to be had, a compile or run fails with "Not enough memory", and programs work
// again once cells are free. Numbers on the evaluation stack need no cell: a run fails where
// its value must become one, at its last item, whose mark is the last operator.
TEST_F(CellPoolTest, ExhaustedPoolFailsWithError3AtTheOperator) {
    ASSERT_TRUE(Eval("a:=1; b:=2; x[0]:=3").ok);
    const struct {
        const char* text;
        const char* listing;
    } rows[] = {
        {"a+1", "{a+#1}"}, {"a+b", "{a+#b}"}, {"0+a+1", "{0+a+#1}"}, {"x[0]+1", "{x[0]+#1}"}};
    std::vector<CellIndex> programs, held;
    for (const auto& r : rows)
        programs.push_back(Compile(*main, r.text));
    Pool().SetChunkLimit(Pool().ChunkCount());
    for (CellIndex c; (c = NewLongCell(0)) != kNoCell;)
        held.push_back(c);
    EXPECT_EQ(ErrorOf("1+2"), 3u) << "the compile needs cells";
    for (size_t k = 0; k < programs.size(); ++k) {
        EXPECT_EQ(tivane::Run(*main, programs[k]), kNoCell) << rows[k].text;
        EXPECT_EQ(ErrorReport(*main).value_or(""),
                  "Not enough memory.\n\n" + std::string(rows[k].listing) + "\n");
    }
    for (CellIndex c : held)
        Release(c);
    Pool().SetChunkLimit(CellPool::kMaxChunks);
    for (CellIndex p : programs)
        Release(p);
    EXPECT_EQ(Value("\"a\"+\"b\""), "\"ab\"");
}

// Every program below, run in a fresh interpreter, gives back every cell once the
// interpreter is gone, whether it succeeds or fails at compile or run time.
TEST_F(CellPoolTest, ProgramsGiveBackEveryCell) {
    const char* const programs[] = {
        // Values.
        "1.5*2+0.25", "\"ab\"+\"cd\"+\"ef\"", "a:=\"x\"; b:=a; a:=b+a", "x:={1+2}; y:=x; x:=0; y",
        "a[0]:=1; a[3000]:=\"s\"; a[0]+a[0]", "a[1]:={2}; a[1]:={3}; a[1]", "f(x):={x}; f(\"s\")",
        "f(x):={{x}}; f(1)", "f(x):={f(y):={y}; x}; f(1); f(2)", "g(a,b):={a+b}; g(\"p\",\"q\")",
        "IF(0,\"a\",\"b\")", "f(n):={IF(n>0,{n+f(n-1)},{0})}; f(50)",
        // Compile errors.
        "1+", "a[1)", "\"abc", "sin(1,2)", "f(1):={1}", "{\"x\"+{2}", "a:=\"s\"; c:=(a+\"t\"",
        // Run-time errors.
        "x:=\"s\"; y:=x+1", "a[-1]:=\"x\"", "a[16000000]:=\"x\"",
        "f(x):={\"s\"+x}; g(y):={f(y)}; g(1)", "f(x):={x:=\"t\"; 1/0}; f(\"s\")",
        "f(n):={f(n+1)}; f(0)", "a:=\"x\"; b:={1}; c:=a+b", "x:=\"\xFF\"; x+1"};
    const size_t start = Pool().LiveCells();
    for (const char* text : programs) {
        {
            CInterpreter in(doc);
            Evaluate(in, text);
        }
        EXPECT_EQ(Pool().LiveCells(), start) << text;
        EXPECT_EQ(doc.errorTrace.Count(), 0u) << text;
    }
}

} // namespace
} // namespace tivane::test
