#pragma once
// Draw-list items as plain values, so that tests compare whole lists and print them readably.
// The operand layouts are written out here by hand rather than taken from drawlist.h, so the
// expectations do not depend on the packing code they check.

#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "drawlist.h"

namespace tivane::test {

struct Item {
    uint8_t code = 0;
    int32_t operand = 0; // ignored for string items
    std::string text;    // DI_TEXT and DI_FONTNAME only

    bool operator==(const Item& other) const {
        if (code != other.code) return false;
        if (code == DI_TEXT || code == DI_FONTNAME) return text == other.text;
        return operand == other.operand;
    }
};

// x in the low 16 bits, y in the high 16 bits, both two's complement.
inline int32_t Packed16(int32_t low, int32_t high) {
    const uint32_t bits =
        (static_cast<uint32_t>(low) & 0xFFFFu) | ((static_cast<uint32_t>(high) & 0xFFFFu) << 16);
    int32_t out;
    std::memcpy(&out, &bits, sizeof out);
    return out;
}
inline int32_t LowHalf(int32_t operand) {
    const uint32_t bits = static_cast<uint32_t>(operand) & 0xFFFFu;
    return bits >= 0x8000u ? static_cast<int32_t>(bits) - 0x10000 : static_cast<int32_t>(bits);
}
inline int32_t HighHalf(int32_t operand) {
    const uint32_t bits = static_cast<uint32_t>(operand) >> 16;
    return bits >= 0x8000u ? static_cast<int32_t>(bits) - 0x10000 : static_cast<int32_t>(bits);
}
inline float FloatOf(int32_t operand) {
    float f;
    std::memcpy(&f, &operand, sizeof f);
    return f;
}

inline Item MoveItem(int32_t x, int32_t y) {
    return {DI_MOVETO, Packed16(x, y), {}};
}
inline Item LineItem(int32_t x, int32_t y) {
    return {DI_LINETO, Packed16(x, y), {}};
}
inline Item TextItem(std::string text) {
    return {DI_TEXT, 0, std::move(text)};
}

inline std::vector<Item> ItemsOf(const DrawList& list) {
    std::vector<Item> items;
    for (int32_t i = 0; i < list.Count(); ++i) {
        const uint8_t code = list.Code(i);
        if (code == DI_TEXT || code == DI_FONTNAME)
            items.push_back({code, 0, list.Text(i)});
        else
            items.push_back({code, list.Operand(i), {}});
    }
    return items;
}

inline void PrintTo(const Item& item, std::ostream* os) {
    static const char* const kNames[] = {"MOVETO",   "LINETO",    "TEXT",      "FONTNAME",
                                         "FONTSIZE", "BACKCOLOR", "FORECOLOR", "PENSIZE"};
    if (item.code < 8)
        *os << kNames[item.code];
    else
        *os << "code " << int{item.code};
    if (item.code == DI_MOVETO || item.code == DI_LINETO)
        *os << "(" << LowHalf(item.operand) << ", " << HighHalf(item.operand) << ")";
    else if (item.code == DI_TEXT || item.code == DI_FONTNAME)
        *os << "(\"" << item.text << "\")";
    else
        *os << "(" << item.operand << ")";
}

} // namespace tivane::test
