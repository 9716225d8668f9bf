#include "drawlist.h"

#include <algorithm>
#include <new>
#include <utility>

#include <sys/mman.h>

#include "cellpool.h"

namespace tivane {

namespace {

constexpr size_t kItemBytes = sizeof(uint8_t) + sizeof(int32_t);

void PutU32(std::string& out, uint32_t v) {
    for (int k = 0; k < 4; ++k)
        out += static_cast<char>((v >> (8 * k)) & 0xFF);
}

uint32_t GetU32(std::string_view in, size_t at) {
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k)
        v |= static_cast<uint32_t>(static_cast<uint8_t>(in[at + k])) << (8 * k);
    return v;
}

} // namespace

DrawList::DrawList(DrawList&& other) noexcept
    : m_blocks(std::move(other.m_blocks)), m_regions(std::move(other.m_regions)),
      m_carve(std::exchange(other.m_carve, nullptr)),
      m_carveLeft(std::exchange(other.m_carveLeft, 0)), m_count(std::exchange(other.m_count, 0)),
      m_strings(std::move(other.m_strings)), m_drawingItems(std::exchange(other.m_drawingItems, 0)),
      m_budgetBytes(std::exchange(other.m_budgetBytes, 0)) {
    other.Clear();
}

DrawList& DrawList::operator=(DrawList&& other) noexcept {
    if (this != &other) {
        Clear();
        std::swap(m_blocks, other.m_blocks);
        std::swap(m_regions, other.m_regions);
        std::swap(m_carve, other.m_carve);
        std::swap(m_carveLeft, other.m_carveLeft);
        std::swap(m_count, other.m_count);
        std::swap(m_strings, other.m_strings);
        std::swap(m_drawingItems, other.m_drawingItems);
        std::swap(m_budgetBytes, other.m_budgetBytes);
    }
    return *this;
}

DrawList::~DrawList() {
    GiveBack();
}

void DrawList::GiveBack() {
    Pool().GiveBytes(m_budgetBytes);
    m_budgetBytes = 0;
}

bool DrawList::Reserve(size_t items) {
    if (items > static_cast<size_t>(INT32_MAX)) return false;
    while (m_blocks.size() * kStep < items) {
        if (!Pool().TakeBytes(sizeof(Block))) return false;
        m_budgetBytes += sizeof(Block);
        if (!NewBlock()) {
            Pool().GiveBytes(sizeof(Block));
            m_budgetBytes -= sizeof(Block);
            return false;
        }
    }
    return true;
}

// Blocks are left unset: no slot is read before it is written, and a long list's pages are
// then touched once, by the items themselves.
DrawList::Block* DrawList::NewBlock() {
    // A list this long is likely to grow much longer.
    constexpr size_t kBlocksBeforeRegions = 64;
    try {
        // Room for this block first, growing geometrically, so that nothing below can throw
        // once the block is allocated.
        if (m_blocks.size() == m_blocks.capacity()) m_blocks.reserve(2 * m_blocks.size() + 16);
        if (m_regions.size() == m_regions.capacity()) m_regions.reserve(2 * m_regions.size() + 16);
        if (m_carveLeft == 0 && m_blocks.size() >= kBlocksBeforeRegions) MapRegion();
        Block* block;
        if (m_carveLeft > 0) {
            block = m_carve++;
            --m_carveLeft;
        } else {
            m_regions.emplace_back(new Block, RegionFree{});
            block = m_regions.back().get();
        }
        m_blocks.push_back(block);
        return block;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// A region aligned to the huge page size; without one the blocks are allocated singly.
void DrawList::MapRegion() {
    constexpr size_t kHuge = size_t{2} << 20;
    constexpr size_t kRegion = 2 * kHuge;
    void* mapped =
        mmap(nullptr, kRegion + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return;
    const auto from = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t start = (from + kHuge - 1) & ~(kHuge - 1);
    if (start > from) munmap(mapped, start - from);
    if (const size_t tail = from + kHuge - start)
        munmap(reinterpret_cast<void*>(start + kRegion), tail);
    madvise(reinterpret_cast<void*>(start), kRegion, MADV_HUGEPAGE);
    m_regions.emplace_back(reinterpret_cast<Block*>(start), RegionFree{kRegion});
    m_carve = reinterpret_cast<Block*>(start);
    m_carveLeft = kRegion / sizeof(Block);
}

void DrawList::RegionFree::operator()(Block* region) const {
    if (mappedBytes)
        munmap(region, mappedBytes);
    else
        delete region;
}

bool DrawList::Add(uint8_t code, int32_t operand) {
    if (m_count == INT32_MAX) return false;
    if (SlotOf(m_count) == 0 && BlockOf(m_count) == m_blocks.size() &&
        !Reserve(static_cast<size_t>(m_count) + 1))
        return false;
    Block& block = *m_blocks[BlockOf(m_count)];
    block.codes[SlotOf(m_count)] = code;
    block.operands[SlotOf(m_count)] = operand;
    ++m_count;
    if (IsDrawingCode(code)) ++m_drawingItems;
    return true;
}

bool DrawList::AddString(uint8_t code, std::string_view text) {
    text = text.substr(0, text.find('\0'));
    // The string's bytes plus its bookkeeping count against the budget.
    const size_t bytes = text.size() + sizeof(std::string);
    if (!Pool().TakeBytes(bytes)) return false;
    m_budgetBytes += bytes;
    const size_t index = m_strings.size();
    try {
        m_strings.emplace_back(text);
    } catch (const std::bad_alloc&) {
        Pool().GiveBytes(bytes);
        m_budgetBytes -= bytes;
        return false;
    }
    if (!Add(code, static_cast<int32_t>(index))) {
        m_strings.pop_back();
        Pool().GiveBytes(bytes);
        m_budgetBytes -= bytes;
        return false;
    }
    return true;
}

void DrawList::Clear() {
    // Swapped with empty vectors: assigning {} would keep the capacity.
    std::vector<Block*>().swap(m_blocks);
    std::vector<std::unique_ptr<Block, RegionFree>>().swap(m_regions);
    m_carve = nullptr;
    m_carveLeft = 0;
    m_count = 0;
    std::vector<std::string>().swap(m_strings);
    m_drawingItems = 0;
    GiveBack();
}

std::string DrawList::Serialize() const {
    const int32_t n = Count();
    std::string out;
    out.reserve(4 + kItemBytes * static_cast<size_t>(n));
    PutU32(out, static_cast<uint32_t>(n));
    for (int32_t i = 0; i < n; i += kStep)
        out.append(reinterpret_cast<const char*>(m_blocks[BlockOf(i)]->codes),
                   static_cast<size_t>(std::min(kStep, n - i)));
    for (int32_t i = 0; i < n; ++i)
        PutU32(out, IsStringCode(Code(i)) ? 0 : static_cast<uint32_t>(Operand(i)));
    for (int32_t i = 0; i < n; ++i) {
        if (!IsStringCode(Code(i))) continue;
        const std::string& s = Text(i);
        const size_t length = std::min(s.size(), kMaxSavedString);
        out += static_cast<char>(length & 0xFF);
        out += static_cast<char>(length >> 8);
        out.append(s, 0, length);
    }
    return out;
}

std::optional<DrawList> DrawList::Parse(std::string_view bytes) {
    if (bytes.size() < 4) return std::nullopt;
    const int32_t n = static_cast<int32_t>(GetU32(bytes, 0));
    if (n < 0 || static_cast<size_t>(n) > (bytes.size() - 4) / kItemBytes) return std::nullopt;
    DrawList list;
    const size_t count = static_cast<size_t>(n);
    // A list read back has its count rounded up to whole steps, as if it had grown to it.
    if (count > 0 && !list.Reserve(count)) return std::nullopt;
    size_t at = 4 + kItemBytes * count;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t code = static_cast<uint8_t>(bytes[4 + i]);
        bool ok;
        if (IsStringCode(code)) {
            if (bytes.size() - at < 2) return std::nullopt;
            const size_t length = static_cast<uint8_t>(bytes[at]) |
                                  (static_cast<size_t>(static_cast<uint8_t>(bytes[at + 1])) << 8);
            at += 2;
            if (bytes.size() - at < length) return std::nullopt;
            ok = list.AddString(code, bytes.substr(at, length));
            at += length;
        } else {
            ok = list.Add(code, static_cast<int32_t>(GetU32(bytes, 4 + count + 4 * i)));
        }
        if (!ok) return std::nullopt;
    }
    return list;
}

} // namespace tivane
