// The cell pool: reuse, growth, exhaustion, counts beyond 16 bits, and that programs of every
// kind, failing ones included, give back every cell they take.

#include <string>
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

TEST_F(CellPoolTest, NotValidIsSharedAndNeverFreed) {
    ASSERT_TRUE(Pool().EnsureNotValid());
    const size_t live = Pool().LiveCells();
    for (int k = 0; k < 10; ++k)
        Release(kNotValid);
    EXPECT_EQ(CellAt(kNotValid).type, TYPE_NOTVALID);
    EXPECT_EQ(Pool().LiveCells(), live);
    const CellIndex c = Pool().NewCell();
    ASSERT_NE(c, kNoCell);
    EXPECT_NE(c, kNotValid);
    EXPECT_EQ(Pool().RefCount(c), 1u);
    CellAt(c).type = TYPE_LONG;
    Release(c);
}

TEST_F(CellPoolTest, FreedCellIsTheNextHandedOut) {
    const CellIndex a = NewLongCell(1);
    const CellIndex b = NewLongCell(2);
    Release(a);
    const CellIndex c = NewLongCell(3);
    EXPECT_EQ(c, a);
    Release(b);
    Release(c);
}

// When every cell of the existing chunks is live, the next cell opens a new chunk and is
// that chunk's first cell.
TEST_F(CellPoolTest, NewChunkWhenAllCellsAreLive) {
    std::vector<CellIndex> held;
    const uint32_t chunks = Pool().ChunkCount();
    while (Pool().ChunkCount() == chunks) {
        const size_t liveBefore = Pool().LiveCells();
        const CellIndex c = NewLongCell(0);
        ASSERT_NE(c, kNoCell);
        held.push_back(c);
        if (Pool().ChunkCount() != chunks) {
            EXPECT_EQ(liveBefore, size_t{chunks} * CellPool::kCellsPerChunk);
            EXPECT_EQ(c, chunks * CellPool::kCellsPerChunk);
        }
    }
    EXPECT_EQ(Pool().ChunkCount(), chunks + 1);
    for (CellIndex c : held)
        Release(c);
}

// References beyond 65535 are counted, and the cell is freed once, by the last release.
TEST_F(CellPoolTest, ReferenceCountsDoNotOverflow) {
    const size_t live = Pool().LiveCells();
    const CellIndex c = NewLongCell(5);
    for (int k = 0; k < 70000; ++k)
        AddRef(c);
    EXPECT_EQ(Pool().RefCount(c), 70001u);
    for (int k = 0; k < 70000; ++k)
        Release(c);
    EXPECT_EQ(Pool().RefCount(c), 1u);
    EXPECT_EQ(CellAt(c).l, 5);
    EXPECT_EQ(Pool().LiveCells(), live + 1);
    Release(c);
    EXPECT_EQ(Pool().LiveCells(), live);
    // Freed twice, it would be on the free list twice and be handed out twice.
    const CellIndex first = NewLongCell(1);
    const CellIndex second = NewLongCell(2);
    EXPECT_EQ(first, c);
    EXPECT_NE(second, c);
    Release(first);
    Release(second);
}

// With no chunk to be had, programs fail with "Not enough memory" and work again once cells
// are free.
TEST_F(CellPoolTest, ExhaustedPoolFailsProgramsWithError3) {
    struct LimitGuard {
        ~LimitGuard() { Pool().SetChunkLimit(CellPool::kMaxChunks); }
    } guard;
    const CellIndex sum = Compile(*main, "x:=\"a\"+\"b\"");
    ASSERT_NE(sum, kNoCell);
    Pool().SetChunkLimit(Pool().ChunkCount());
    std::vector<CellIndex> held;
    for (CellIndex c; (c = NewLongCell(0)) != kNoCell;)
        held.push_back(c);
    EXPECT_EQ(Pool().NewCell(), kNoCell);

    EXPECT_EQ(ErrorOf("1+2"), 3u) << "the compile needs cells";
    EXPECT_EQ(tivane::Run(*main, sum), kNoCell);
    EXPECT_EQ(doc.errorCode, 3u) << "the concatenation needs a cell";
    ErrorReport(*main);

    for (CellIndex c : held)
        Release(c);
    Pool().SetChunkLimit(CellPool::kMaxChunks);
    const CellIndex r = tivane::Run(*main, sum);
    ASSERT_NE(r, kNoCell);
    Release(r);
    Release(sum);
    EXPECT_EQ(Value("x"), "\"ab\"");
}

// Every program below, run in a fresh interpreter, gives back every cell once the
// interpreter is gone, whether it succeeds or fails at compile or run time.
TEST_F(CellPoolTest, ProgramsGiveBackEveryCell) {
    const char* const programs[] = {
        "",
        "1",
        "1;",
        "1+2*3-4/2",
        "1.5*2+0.25",
        "\"ab\"+\"cd\"+\"ef\"",
        "a:=1; a:=a+1; a",
        "a:=\"x\"; b:=a; a:=b+a",
        "x:={1+2}; y:=x; x:=0; y",
        "a[0]:=1; a[3000]:=\"s\"; a[0]+a[0]",
        "a[1]:={2}; a[1]:={3}; a[1]",
        "f(x):={x*2}; f(f(3))",
        "f(x):={x}; f(\"s\")",
        "f(x):={{x}}; f(1)",
        "f(x):={f(y):={y}; x}; f(1); f(2)",
        "g(a,b):={a+b}; g(\"p\",\"q\")",
        "n:=7; f(n):={n*2}; f(3); n",
        "- -2.5",
        "sin(1)+cos(2)",
        "min(1,2.5)",
        "3&&5||8",
        "\"b\">\"abc\"",
        "1==1.0",
        "{{{1}}}",
        "a:=b",
        "f(2)",
        "IF(1,{2},{3})",
        "IF(0,\"a\",\"b\")",
        "f(n):={IF(n>0,{n+f(n-1)},{0})}; f(50)",
        // Compile errors.
        "1+",
        "f()",
        "(1",
        "1)",
        "a[1)",
        "\"abc",
        "sin(1,2)",
        "(a,b)",
        "1,2",
        "3:=4",
        "f(1):={1}",
        "1}",
        "{1",
        "{\"x\"+{2}",
        "2(3)",
        "a:=\"s\"; b:=\"t\"; c:=(a+b",
        // Run-time errors.
        "1/0",
        "\"a\"+1",
        "a:=b:=1",
        "x:=\"s\"; y:=x+1",
        "a[1.5]",
        "a[-1]:=\"x\"",
        "a[16000000]:=\"x\"",
        "f(x):={x/0}; f(1)",
        "f(x):={\"s\"+x}; g(y):={f(y)}; g(1)",
        "f(x):={x:=\"t\"; 1/0}; f(\"s\")",
        "f(n):={f(n+1)}; f(0)",
        "a:=\"x\"; b:={1}; c:=a+b",
        "-\"s\"",
        "x:=\"\xFF\"; x+1",
    };
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
