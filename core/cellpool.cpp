#include "cellpool.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <sys/mman.h>
#include <unistd.h>

#include "openfile.h"

namespace tivane {

namespace {
constexpr size_t kChunkBytes = sizeof(ValueCell) * CellPool::kCellsPerChunk;
}

CellPool g_cellPool;

CellPool::CellPool() {
    // Address space only: pages are committed as chunks are added.
    void* p = mmap(nullptr, kChunkBytes * kMaxChunks, PROT_NONE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p != MAP_FAILED) m_base = static_cast<ValueCell*>(p);
}

CellPool::~CellPool() {
    TearDown();
    if (m_base) munmap(m_base, kChunkBytes * kMaxChunks);
}

bool CellPool::AddChunk() {
    if (m_chunkCount >= m_chunkLimit || m_chunkCount >= kMaxChunks) return false;
    if (!m_base) return false;
    ValueCell* chunk = m_base + (static_cast<size_t>(m_chunkCount) << kChunkShift);
    if (m_chunkCount >= m_committed) {
        // Pages are committed for twice as many chunks at a time (up to 256), so that a
        // growing pool makes a few system calls, not one per chunk; untouched pages cost no
        // memory.
        uint32_t more = std::min({std::max(m_committed, 1u), 256u, kMaxChunks - m_committed});
        if (mprotect(chunk, kChunkBytes * more, PROT_READ | PROT_WRITE) != 0) {
            more = 1;
            if (mprotect(chunk, kChunkBytes, PROT_READ | PROT_WRITE) != 0) return false;
        }
        m_committed += more;
    }
    const uint32_t base = m_chunkCount << kChunkShift;
    for (uint32_t slot = 0; slot < kCellsPerChunk; ++slot) {
        ValueCell& c = chunk[slot];
        c.type = TYPE_NOTVALID;
        c.refs = 0;
        c.self = base | slot;
        c.raw = 0;
        c.nextFree = slot + 1 < kCellsPerChunk ? base | (slot + 1) : m_freeHead;
    }
    m_chunks[m_chunkCount++] = chunk;
    m_freeHead = base;
    return true;
}

bool CellPool::EnsureNotValid() {
    if (m_chunkCount > 0) return true;
    const CellIndex i = NewCell();
    if (i == kNoCell) return false;
    // Slot 0 of chunk 0: never freed, needs no references.
    At(i).type = TYPE_NOTVALID;
    return true;
}

uint32_t CellPool::RefCount(CellIndex i) {
    uint32_t n = At(i).refs;
    if (n == 0xFFFF && i < m_overflow.size()) n += m_overflow[i];
    return n;
}

void CellPool::Free(ValueCell& c) {
    switch (c.type) {
    case TYPE_STRING:
        FreeString(c.str);
        break;
    case TYPE_PROGRAM: {
        ProgramBlock* p = c.prog;
        for (int32_t k = p->count; k > 0; --k)
            Release(p->items[k - 1]);
        std::free(p);
        break;
    }
    case TYPE_FILEID:
        FreeOpenFile(c.file);
        break;
    default:
        break;
    }
    c.type = TYPE_NOTVALID;
    c.nextFree = m_freeHead;
    m_freeHead = c.self;
    --m_live;
}

void CellPool::TearDown() {
    // Payloads are freed without following program items: every live cell is visited once.
    for (uint32_t k = 0; k < m_chunkCount; ++k) {
        ValueCell* chunk = m_chunks[k];
        for (uint32_t slot = 0; slot < kCellsPerChunk; ++slot) {
            ValueCell& c = chunk[slot];
            if (c.refs == 0) continue;
            if (c.type == TYPE_STRING) std::free(c.str);
            if (c.type == TYPE_PROGRAM) std::free(c.prog);
            if (c.type == TYPE_FILEID) FreeOpenFile(c.file);
        }
        m_chunks[k] = nullptr;
    }
    // The pages go back to the system, in one call for all chunks (they lie side by side from
    // the base); the address range stays reserved.
    if (m_committed > 0) {
        madvise(m_base, kChunkBytes * m_committed, MADV_DONTNEED);
        mprotect(m_base, kChunkBytes * m_committed, PROT_NONE);
    }
    m_committed = 0;
    m_chunkCount = 0;
    m_freeHead = kNoCell;
    m_live = 0;
    m_bytesUsed = 0;
    m_overflow.clear();
}

size_t CellPool::DefaultByteLimit() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return size_t{4} << 30;
    return static_cast<size_t>(pages) * static_cast<size_t>(pageSize) / 2;
}

StringBlock* AllocString(size_t length) {
    if (length > kMaxStringLength || !g_cellPool.TakeBytes(length + 1)) return nullptr;
    auto* b = static_cast<StringBlock*>(std::malloc(offsetof(StringBlock, text) + length + 1));
    if (!b) {
        g_cellPool.GiveBytes(length + 1);
        return nullptr;
    }
    b->length = static_cast<uint32_t>(length);
    b->text[length] = '\0';
    return b;
}

StringBlock* AllocString(const char* text, size_t length) {
    StringBlock* b = AllocString(length);
    if (b && length) std::memcpy(b->text, text, length);
    return b;
}

void FreeString(StringBlock* block) {
    if (!block) return;
    g_cellPool.GiveBytes(static_cast<size_t>(block->length) + 1);
    std::free(block);
}

ProgramBlock* AllocProgram(int32_t count) {
    auto* p = static_cast<ProgramBlock*>(
        std::malloc(offsetof(ProgramBlock, items) +
                    sizeof(CellIndex) * (6 * static_cast<size_t>(count > 0 ? count : 1) + 2)));
    if (p) p->count = count;
    return p;
}

} // namespace tivane
