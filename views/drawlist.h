#pragma once
// The recorded drawing of a graphics view: parallel arrays of one-byte codes and 32-bit
// operands, appended at the end and freed at once. Painting, printing, bitmaps and movie
// frames all replay it; its side file stores it byte for byte.

#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tivane {

enum DrawCode : uint8_t {
    DI_MOVETO = 0,    // x low 16 bits, y high 16 bits, signed clip units
    DI_LINETO = 1,    // as DI_MOVETO
    DI_TEXT = 2,      // an owned string (see DrawList::Text)
    DI_FONTNAME = 3,  // an owned face name; a DI_FONTSIZE item always follows it
    DI_FONTSIZE = 4,  // low 16 bits: points x 100 (signed); high 16 bits: style flags
    DI_BACKCOLOR = 5, // byte 0 red, byte 1 green, byte 2 blue
    DI_FORECOLOR = 6, // as DI_BACKCOLOR
    DI_PENSIZE = 7,   // the bits of a 32-bit float: pen size in size units
};

inline constexpr bool IsStringCode(uint8_t code) {
    return code == DI_TEXT || code == DI_FONTNAME;
}
// Only these make a later CLIPWINDOW fail.
inline constexpr bool IsDrawingCode(uint8_t code) {
    return code <= DI_TEXT;
}

inline constexpr int32_t PackPoint(int16_t x, int16_t y) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(x)) |
                                (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16));
}
inline constexpr int16_t PointX(int32_t operand) {
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(operand)));
}
inline constexpr int16_t PointY(int32_t operand) {
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(operand) >> 16));
}
inline constexpr int32_t PackColor(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<int32_t>(r | (uint32_t{g} << 8) | (uint32_t{b} << 16));
}
inline constexpr uint8_t ColorRed(int32_t c) {
    return static_cast<uint8_t>(c);
}
inline constexpr uint8_t ColorGreen(int32_t c) {
    return static_cast<uint8_t>(c >> 8);
}
inline constexpr uint8_t ColorBlue(int32_t c) {
    return static_cast<uint8_t>(c >> 16);
}
inline constexpr int32_t PackFontSize(int16_t hundredths, uint16_t flags) {
    return PackPoint(hundredths, static_cast<int16_t>(flags));
}
inline constexpr uint16_t FontFlags(int32_t operand) {
    return static_cast<uint16_t>(static_cast<uint32_t>(operand) >> 16);
}
inline int32_t PackFloat(float f) {
    int32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}
inline float OperandFloat(int32_t operand) {
    float f;
    std::memcpy(&f, &operand, sizeof f);
    return f;
}

// What a list means before its first item: every replay, on every target, starts with a
// black pen one device pixel wide, a white back colour and the 12-point "Fixedsys" font of the
// target (not of the picture: the starting font does not grow with the window).
struct DrawStart {
    int32_t fore = PackColor(0, 0, 0);
    int32_t back = PackColor(255, 255, 255);
    int32_t penPixels = 1;
    const char* face = "Fixedsys";
    int32_t fontPoints = 12;
};
inline constexpr DrawStart kDrawStart{};

// Strings of the side file carry a 16-bit length; longer ones are cut when saved.
inline constexpr size_t kMaxSavedString = 32767;

class DrawList {
public:
    // The arrays grow in steps of this many items, so appending is amortised constant time.
    static constexpr int32_t kStep = 4096;

    DrawList() = default;
    DrawList(DrawList&& other) noexcept;
    DrawList& operator=(DrawList&& other) noexcept;
    DrawList(const DrawList&) = delete;
    DrawList& operator=(const DrawList&) = delete;
    ~DrawList();

    int32_t Count() const { return m_count; }
    // False for a new list and after Clear: the list has never held an item since.
    bool HasStorage() const { return !m_blocks.empty(); }
    bool HasDrawingItems() const { return m_drawingItems > 0; }
    uint8_t Code(int32_t i) const { return m_blocks[BlockOf(i)]->codes[SlotOf(i)]; }
    int32_t Operand(int32_t i) const { return m_blocks[BlockOf(i)]->operands[SlotOf(i)]; }
    // The string of a DI_TEXT or DI_FONTNAME item.
    const std::string& Text(int32_t i) const { return m_strings[static_cast<size_t>(Operand(i))]; }

    // Appends an item. False, with nothing appended, when the storage would pass the memory
    // budget that programs share (the caller then fails with "Not enough memory").
    bool Add(uint8_t code, int32_t operand);
    // Appends a DI_TEXT or DI_FONTNAME item with a copy of `text` up to its first NUL byte.
    bool AddString(uint8_t code, std::string_view text);
    // Frees every item and string, and the storage.
    void Clear();

    // The contents file: count, codes, operands, then the strings (little-endian).
    std::string Serialize() const;
    // The list of a contents file, or nothing when the file is damaged: a negative count,
    // codes, operands or strings past its end, or more than the memory budget allows.
    static std::optional<DrawList> Parse(std::string_view bytes);

private:
    // Items live in blocks of one step each, which never move: appending copies nothing, so a
    // long list grows at the cost of its own pages, and an item costs its five bytes.
    struct Block {
        uint8_t codes[kStep];
        int32_t operands[kStep]; // for string items: an index into m_strings
    };
    static size_t BlockOf(int32_t i) { return static_cast<size_t>(i) / kStep; }
    static size_t SlotOf(int32_t i) { return static_cast<size_t>(i) % kStep; }

    // Capacity for at least `items`, in whole steps, taken from the memory budget.
    bool Reserve(size_t items);
    Block* NewBlock();
    void MapRegion();
    void GiveBack();

    // A short list's blocks are allocated one by one; a long list's are carved from regions
    // of a few MiB that the kernel may back with huge pages, so that its growth costs a page
    // fault per 2 MiB instead of one per 4 KiB.
    struct RegionFree {
        size_t mappedBytes = 0; // 0 for a block of its own
        void operator()(Block* region) const;
    };
    std::vector<Block*> m_blocks;
    std::vector<std::unique_ptr<Block, RegionFree>> m_regions;
    Block* m_carve = nullptr; // the newest region's next unused block
    size_t m_carveLeft = 0;
    int32_t m_count = 0;
    std::vector<std::string> m_strings;
    int32_t m_drawingItems = 0;
    size_t m_budgetBytes = 0; // what the list has taken of the pool's memory budget
};

} // namespace tivane
