// The draw list: its contents file byte for byte, reading damaged files, growth, and the
// memory budget it shares with programs.

#include "drawlist.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "cellpool.h"
#include "drawitems.h"

namespace tivane::test {
namespace {

// Bytes written as hex pairs; blanks are ignored.
std::string Hex(std::string_view hex) {
    std::string out;
    for (size_t i = 0; i < hex.size(); ++i) {
        if (hex[i] == ' ') continue;
        out += static_cast<char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
        ++i;
    }
    return out;
}

// Restores the pool's byte limit however the test ends.
struct ByteLimitGuard {
    explicit ByteLimitGuard(size_t limit) { Pool().SetByteLimit(limit); }
    ~ByteLimitGuard() { Pool().SetByteLimit(old); }
    size_t old = Pool().ByteLimit();
};

// The contents file: the count, the codes, the operands (a string's is ignored), then each
// string after its length; a NUL ends a string and trailing bytes are ignored. Damaged files
// give nothing. `written`: Serialize writes the items back as these very bytes.
TEST(DrawListTest, ContentsFileBytes) {
    struct Row {
        const char* hex;
        const char* items; // Items(); nullptr: refused
        bool written;
    };
    // clang-format off
    const Row rows[] = {
        {"00000000", "", true},
        {"05000000 0002060304 10001400 00000000 01020300 00000000 ffffffff 0200 6869 0200 4162", "M16,20 Thi F030201 NAb S-1,-1", true},
        // A text with a junk operand, LINETO (5, 6), a face name, their strings, trailing junk.
        {"03000000 020103 ffffff7f 05000600 09090909 0400 61620063 0400 46616365 6a756e6b", "Tab L5,6 NFace", false},
        {"", nullptr, false},                                        // nothing
        {"ffffffff", nullptr, false},                                // negative count
        {"01000000", nullptr, false},                                // count past the codes
        {"02000000 0000 01000000 0200", nullptr, false},             // count past the operands
        {"ffffff7f 0001020304", nullptr, false},                     // huge count
        {"01000000 00 010203", nullptr, false},                      // operand cut short
        {"01000000 02 00000000", nullptr, false},                    // text without its length
        {"01000000 02 00000000 0500 616263", nullptr, false},        // text past the end
        {"02000000 0203 00000000 00000000 0100 61", nullptr, false}, // second string missing
    };
    // clang-format on
    for (const Row& r : rows) {
        const std::optional<DrawList> parsed = DrawList::Parse(Hex(r.hex));
        ASSERT_EQ(parsed.has_value(), r.items != nullptr) << r.hex;
        if (!parsed) continue;
        EXPECT_EQ(ItemsOf(*parsed), Items(r.items)) << r.hex;
        EXPECT_EQ(parsed->Serialize() == Hex(r.hex), r.written) << r.hex;
    }
    DrawList list; // a NUL ends an added string too
    ASSERT_TRUE(list.AddString(DI_TEXT, std::string("ab\0cd", 5)));
    EXPECT_EQ(list.Text(0), "ab");
}

TEST(DrawListTest, ParseGivesBackWhatSerializeWrote) {
    DrawList list;
    std::vector<Item> items;
    std::string binary;
    for (int c = 1; c < 256; ++c)
        binary += static_cast<char>(c);
    const std::string strings[] = {"", "x", std::string(300, 'L'), binary, "Fixedsys"};
    // More than one growth step, every code, negative operands, strings between them.
    for (int32_t i = 0; i < 5000; ++i) {
        const auto code = static_cast<uint8_t>(i % 8);
        const bool text = code == DI_TEXT || code == DI_FONTNAME;
        const int32_t operand = text ? 0 : (i % 3 == 0 ? -1 : 1) * i * 40503;
        items.push_back({code, operand, text ? strings[(i / 8) % 5] : ""});
        ASSERT_TRUE(text ? list.AddString(code, items.back().text) : list.Add(code, operand));
    }
    const std::optional<DrawList> parsed = DrawList::Parse(list.Serialize());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(ItemsOf(*parsed), items);
    EXPECT_EQ(parsed->Serialize(), list.Serialize());
}

TEST(DrawListTest, LongStringsAreSavedCutTo32767Bytes) {
    for (const size_t length : {256, 32767, 32768, 40000}) {
        std::string text(length, 'a');
        for (size_t k = 0; k < length; k += 7)
            text[k] = static_cast<char>('A' + k % 26);
        DrawList list;
        ASSERT_TRUE(list.AddString(DI_TEXT, text));
        const std::string bytes = list.Serialize();
        const size_t saved = std::min<size_t>(length, 32767);
        ASSERT_EQ(bytes.size(), 4 + 5 + 2 + saved) << length;
        EXPECT_EQ(bytes.substr(9, 2), length == 256 ? Hex("0001") : Hex("ff7f")) << length;
        const std::optional<DrawList> parsed = DrawList::Parse(bytes);
        ASSERT_TRUE(parsed) << length;
        EXPECT_EQ(ItemsOf(*parsed), (std::vector<Item>{{DI_TEXT, 0, text.substr(0, saved)}}));
    }
}

// The budget refuses items and whole parsed lists alike; cleared, moved and refused lists give
// their bytes back.
TEST(DrawListTest, RefusesItemsPastTheMemoryBudgetAndGivesBytesBack) {
    DrawList big;
    for (int32_t i = 0; i < 3 * DrawList::kStep; ++i)
        ASSERT_TRUE(big.AddString(DI_TEXT, "some text"));
    const std::string bytes = big.Serialize();
    big.Clear();
    const size_t start = Pool().BytesUsed();
    {
        ByteLimitGuard guard(start + 64 * 1024);
        EXPECT_FALSE(DrawList::Parse(bytes));
        EXPECT_EQ(Pool().BytesUsed(), start);
        DrawList list;
        int32_t added = 0;
        while (added < 1000000 && list.Add(DI_LINETO, added))
            ++added;
        ASSERT_LT(added, 1000000) << "the budget never refused an item";
        EXPECT_EQ(list.Count(), added);
        EXPECT_EQ(list.Operand(added - 1), added - 1);
        EXPECT_FALSE(list.AddString(DI_TEXT, "t"));
        EXPECT_LE(Pool().BytesUsed(), start + 64 * 1024);
        list.Clear();
        EXPECT_EQ(Pool().BytesUsed(), start);
        // A cleared list charges its next storage to the budget again; so does a moved one.
        EXPECT_TRUE(list.Add(DI_LINETO, 1));
        DrawList moved(std::move(list));
        EXPECT_GT(Pool().BytesUsed(), start);
    }
    EXPECT_EQ(Pool().BytesUsed(), start);
}

} // namespace
} // namespace tivane::test
