#pragma once
// Draw-list items as plain values, so that tests compare whole lists and print them readably.
// The operand layouts are written out here by hand rather than taken from drawlist.h, so the
// expectations do not depend on the packing code they check.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "drawlist.h"

namespace tivane::test {

struct Item {
    uint8_t code = 0;
    int32_t operand = 0; // ignored for string items
    std::string text;    // DI_TEXT and DI_FONTNAME only
    bool operator==(const Item& o) const {
        return code == o.code &&
               (code == DI_TEXT || code == DI_FONTNAME ? text == o.text : operand == o.operand);
    }
};

// The operand's low and high 16 bits, both two's complement.
inline int32_t LowHalf(int32_t operand) {
    return static_cast<int16_t>(static_cast<uint32_t>(operand) & 0xFFFFu);
}
inline int32_t HighHalf(int32_t operand) {
    return static_cast<int16_t>(static_cast<uint32_t>(operand) >> 16);
}

// "M3,4 L5,-6 Ttext": moves, lines and texts, separated by blanks.
inline std::vector<Item> Items(const std::string& text) {
    std::vector<Item> items;
    std::istringstream in(text);
    for (std::string t; in >> t;) {
        int x = 0, y = 0;
        if (t[0] == 'T') {
            items.push_back({DI_TEXT, 0, t.substr(1)});
            continue;
        }
        std::sscanf(t.c_str() + 1, "%d,%d", &x, &y);
        const uint32_t bits = (static_cast<uint32_t>(x) & 0xFFFFu) | static_cast<uint32_t>(y) << 16;
        items.push_back({t[0] == 'M' ? DI_MOVETO : DI_LINETO, static_cast<int32_t>(bits), {}});
    }
    return items;
}

inline std::vector<Item> ItemsOf(const DrawList& list) {
    std::vector<Item> items;
    for (int32_t i = 0; i < list.Count(); ++i) {
        const uint8_t code = list.Code(i);
        const bool text = code == DI_TEXT || code == DI_FONTNAME;
        items.push_back({code, text ? 0 : list.Operand(i), text ? list.Text(i) : ""});
    }
    return items;
}

inline void PrintTo(const Item& item, std::ostream* os) {
    *os << "code " << int{item.code} << "(";
    if (item.code == DI_MOVETO || item.code == DI_LINETO)
        *os << LowHalf(item.operand) << ", " << HighHalf(item.operand) << ")";
    else if (item.code == DI_TEXT || item.code == DI_FONTNAME)
        *os << "\"" << item.text << "\")";
    else
        *os << item.operand << ")";
}

} // namespace tivane::test
