#pragma once
// Value cells and the process-wide pool they come from.
//
// Every language value is a reference-counted 16-byte cell named by a 32-bit CellIndex.
// Index 0 is the shared NOT VALID value: it is never freed and needs no reference.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tivane {

using CellIndex = uint32_t;

// "Nothing": the result of a function that failed after setting the document's error code.
inline constexpr CellIndex kNoCell = 0xFFFFFFFFu;
inline constexpr CellIndex kNotValid = 0;

// Type tags: one bit each, so that argument masks can list accepted types.
inline constexpr uint16_t TYPE_LONG = 0x0001;
inline constexpr uint16_t TYPE_DOUBLE = 0x0002;
inline constexpr uint16_t TYPE_STRING = 0x0004;
inline constexpr uint16_t TYPE_FILEID = 0x0008;
inline constexpr uint16_t TYPE_PROGRAM = 0x0010;
inline constexpr uint16_t TYPE_NOTVALID = 0x0020;
inline constexpr uint16_t TYPE_VARREF = 0x0040;
inline constexpr uint16_t TYPE_ARRAYREF = 0x0080;
inline constexpr uint16_t TYPE_FUNCREF = 0x0100;
inline constexpr uint16_t TYPE_PARENTVARREF = 0x0200;
inline constexpr uint16_t TYPE_PARENTARRAYREF = 0x0400;

inline constexpr uint16_t MASK_ANY = 0x3F;

// Token kinds: only in the compiler's token stream and as items of programs.
inline constexpr uint16_t TOK_VARIABLE = 32000;
inline constexpr uint16_t TOK_ARRAY = 32001;
inline constexpr uint16_t TOK_BUILTIN = 32002;
inline constexpr uint16_t TOK_USERFUNC = 32003;
inline constexpr uint16_t TOK_PARENTVARIABLE = 32004;
inline constexpr uint16_t TOK_PARENTARRAY = 32005;
inline constexpr uint16_t TOK_PARENTUSERFUNC = 32006;
inline constexpr uint16_t TOK_OPERATOR = 32008;
inline constexpr uint16_t TOK_LPAREN = 32009;
inline constexpr uint16_t TOK_RPAREN = 32010;
inline constexpr uint16_t TOK_RBRACKET = 32011;
inline constexpr uint16_t TOK_LBRACE = 32013;

// Texts longer than this are refused with "Not enough memory"; it keeps one string's
// growth (repeated concatenation, huge format widths) from eating memory without bound.
inline constexpr size_t kMaxStringLength = 16u * 1024 * 1024;

// A string's heap block: the length is kept with the text so that nobody calls strlen.
struct StringBlock {
    uint32_t length;
    char text[1]; // length bytes, then a terminating zero
};

struct OpenFile; // defined by the file functions

// A PROGRAM's item list. The program holds one reference to each item for as long as the
// program cell itself lives; references to the program do not reach through to the items
// (no program can tell the difference, and pushing a block stays O(1)).
struct ProgramBlock {
    int32_t count;      // item count n, at most 32767
    uint32_t owner;     // serial number of the interpreter whose tables the items index
    CellIndex items[1]; // n items in execution (postfix) order, then the evaluator's code
};

struct ValueCell {
    uint16_t type;
    uint16_t refs;
    uint32_t self;
    union {
        int32_t l;
        double d;
        StringBlock* str;
        ProgramBlock* prog;
        OpenFile* file;
        uint16_t number; // table number of references and token kinds
        CellIndex nextFree;
        uint64_t raw;
    };
};
static_assert(sizeof(ValueCell) == 16, "cells are 16 bytes");

class CellPool {
public:
    static constexpr uint32_t kCellsPerChunk = 2048;
    static constexpr uint32_t kChunkShift = 11;
    static constexpr uint32_t kMaxChunks = 2048;

    CellPool();
    ~CellPool();
    CellPool(const CellPool&) = delete;
    CellPool& operator=(const CellPool&) = delete;

    // A cell with one reference for the caller, or kNoCell when no chunk can be had (the
    // caller sets "Not enough memory"). The cell still carries type NOT VALID: set it at once.
    CellIndex NewCell() {
        if (m_freeHead == kNoCell && !AddChunk()) return kNoCell;
        const CellIndex i = m_freeHead;
        ValueCell& c = At(i);
        m_freeHead = c.nextFree;
        c.refs = 1;
        ++m_live;
        return i;
    }

    // Chunks lie side by side in one reserved address range, so a cell is one indexed load
    // away: chunk << 11 | slot is simply the cell's number in the range.
    ValueCell& At(CellIndex i) { return m_base[i]; }

    void AddRef(CellIndex i) {
        ValueCell& c = At(i);
        if (i == kNotValid) return;
        if (c.refs != 0xFFFF) {
            ++c.refs;
        } else {
            ++Overflow(i);
        }
    }

    void Release(CellIndex i) {
        if (i == kNotValid) return;
        ValueCell& c = At(i);
        if (c.refs == 0xFFFF && i < m_overflow.size() && m_overflow[i] != 0) {
            --m_overflow[i];
            return;
        }
        if (--c.refs == 0) {
            // Numbers, the most frequent temporaries, own no payload: back to the list here.
            if (c.type == TYPE_LONG || c.type == TYPE_DOUBLE) {
                c.type = TYPE_NOTVALID;
                c.nextFree = m_freeHead;
                m_freeHead = i;
                --m_live;
            } else {
                Free(c);
            }
        }
    }

    // The true reference count, overflow included (for tests and diagnostics).
    uint32_t RefCount(CellIndex i);

    size_t LiveCells() const { return m_live; }
    uint32_t ChunkCount() const { return m_chunkCount; }

    // Ensures the NOT VALID cell exists; false when even chunk 0 cannot be allocated.
    bool EnsureNotValid();

    // End of the process: frees every cell's payload and every chunk.
    void TearDown();

    // For tests of exhaustion: refuse chunks beyond this count (default kMaxChunks).
    void SetChunkLimit(uint32_t limit) { m_chunkLimit = limit; }

    // The memory budget of string texts and array slots, the two things a program can make
    // arbitrarily many of: past it, allocations fail ("Not enough memory") instead of the
    // process running the machine out of memory. The default is half the physical memory.
    bool TakeBytes(size_t n) {
        if (m_bytesUsed > m_byteLimit || n > m_byteLimit - m_bytesUsed) return false;
        m_bytesUsed += n;
        return true;
    }
    void GiveBytes(size_t n) { m_bytesUsed -= n; }
    size_t BytesUsed() const { return m_bytesUsed; }
    void SetByteLimit(size_t limit) { m_byteLimit = limit; }
    size_t ByteLimit() const { return m_byteLimit; }

private:
    bool AddChunk();
    void Free(ValueCell& c);
    // The excess count of a cell: a dense table indexed by cell, grown only when some cell
    // first passes 65535 references (at most 4 bytes per cell of the pool).
    uint32_t& Overflow(CellIndex i) {
        if (i >= m_overflow.size()) GrowOverflow(i);
        return m_overflow[i];
    }
    // Out of line, so that AddRef inlines as the increment it nearly always is.
    [[gnu::noinline]] void GrowOverflow(CellIndex i) {
        m_overflow.resize(static_cast<size_t>(i) + 1, 0);
    }

    ValueCell* m_base = nullptr; // kMaxChunks chunks reserved, committed one by one
    ValueCell* m_chunks[kMaxChunks] = {};
    uint32_t m_chunkCount = 0;
    uint32_t m_committed = 0; // chunks whose pages are readable and writable
    uint32_t m_chunkLimit = kMaxChunks;
    CellIndex m_freeHead = kNoCell;
    size_t m_live = 0;
    size_t m_bytesUsed = 0;
    size_t m_byteLimit = DefaultByteLimit();
    static size_t DefaultByteLimit();
    // References beyond 65535: the cell's own count stays saturated at 0xFFFF and the excess
    // lives here (one literal stored into a million array slots).
    std::vector<uint32_t> m_overflow;
};

extern CellPool g_cellPool;
inline CellPool& Pool() {
    return g_cellPool;
}

inline ValueCell& CellAt(CellIndex i) {
    return Pool().At(i);
}
inline void AddRef(CellIndex i) {
    Pool().AddRef(i);
}
inline void Release(CellIndex i) {
    Pool().Release(i);
}

inline const char* StrText(const ValueCell& c) {
    return c.str->text;
}
inline uint32_t StrLength(const ValueCell& c) {
    return c.str->length;
}

// Heap blocks behind cells (nullptr when out of memory, over the length limit or over the
// memory budget). A string block not handed to a cell is freed with FreeString.
StringBlock* AllocString(const char* text, size_t length);
StringBlock* AllocString(size_t length); // uninitialised text, terminator set
void FreeString(StringBlock* block);
ProgramBlock* AllocProgram(int32_t count);

} // namespace tivane
