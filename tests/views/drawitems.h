#pragma once
// Draw-list items as plain values, so that tests compare whole lists and print them readably.
// The operand layouts are written out here by hand rather than taken from drawlist.h, so the
// expectations do not depend on the packing code they check.

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// "M3,4 L5,-6 Ttext Nface S1200,2 F0a0b0c Bffffff P2.5", separated by blanks: moves and lines
// (x, y), texts, font names, font sizes (hundredths, flags), fore and back colours (hex), pens.
inline std::vector<Item> Items(const std::string& text) {
    std::vector<Item> items;
    std::istringstream in(text);
    for (std::string t; in >> t;) {
        const char k = t[0], *rest = t.c_str() + 1;
        int x = 0, y = 0;
        std::sscanf(rest, "%d,%d", &x, &y);
        const auto halves = static_cast<int32_t>((static_cast<uint32_t>(x) & 0xFFFFu) |
                                                 static_cast<uint32_t>(y) << 16);
        const auto hex = static_cast<int32_t>(std::strtol(rest, nullptr, 16));
        if (k == 'T' || k == 'N') items.push_back({k == 'T' ? DI_TEXT : DI_FONTNAME, 0, rest});
        if (k == 'M' || k == 'L') items.push_back({k == 'M' ? DI_MOVETO : DI_LINETO, halves, {}});
        if (k == 'S') items.push_back({DI_FONTSIZE, halves, {}});
        if (k == 'F' || k == 'B')
            items.push_back({k == 'F' ? DI_FORECOLOR : DI_BACKCOLOR, hex, {}});
        if (k == 'P')
            items.push_back({DI_PENSIZE, std::bit_cast<int32_t>(std::strtof(rest, nullptr)), {}});
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

} // namespace tivane::test
