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

TEST(DrawListTest, SerializeWritesCountCodesOperandsThenStrings) {
    EXPECT_EQ(DrawList().Serialize(), Hex("00000000"));
    DrawList list;
    ASSERT_TRUE(list.Add(DI_MOVETO, 0x00140010));
    ASSERT_TRUE(list.AddString(DI_TEXT, "hi"));
    ASSERT_TRUE(list.Add(DI_FORECOLOR, 0x00030201));
    ASSERT_TRUE(list.AddString(DI_FONTNAME, "Ab"));
    ASSERT_TRUE(list.Add(DI_FONTSIZE, -1));
    // Count, codes, operands (the strings' are zero), then each string after its length.
    EXPECT_EQ(list.Serialize(), Hex("05000000 0002060304 10001400 00000000 01020300 00000000 "
                                    "ffffffff 0200 6869 0200 4162"));
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
    EXPECT_EQ(DrawList::Parse(Hex("00000000"))->Count(), 0);
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

TEST(DrawListTest, DamagedFilesGiveNothing) {
    const char* const rows[] = {
        "",                                        // nothing
        "ffffffff",                                // negative count
        "01000000",                                // count past the codes
        "02000000 0000 01000000 0200",             // count past the operands
        "ffffff7f 0001020304",                     // huge count
        "01000000 00 010203",                      // operand cut short
        "01000000 02 00000000",                    // text without its length
        "01000000 02 00000000 0500 616263",        // text past the end
        "02000000 0203 00000000 00000000 0100 61", // second string missing
    };
    for (const char* row : rows)
        EXPECT_FALSE(DrawList::Parse(Hex(row))) << row;
}

TEST(DrawListTest, ParseAcceptsTrailingBytesIgnoresStringOperandsAndEndsStringsAtNul) {
    // A text with a junk operand, LINETO (5, 6), a face name with a junk operand, then the
    // strings in list order and trailing junk; a NUL ends a string, in a file or added.
    const std::optional<DrawList> parsed = DrawList::Parse(
        Hex("03000000 020103 ffffff7f 05000600 09090909 0400 61620063 0400 46616365 6a756e6b"));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(ItemsOf(*parsed),
              (std::vector<Item>{{DI_TEXT, 0, "ab"}, Items("L5,6")[0], {DI_FONTNAME, 0, "Face"}}));
    DrawList list;
    ASSERT_TRUE(list.AddString(DI_TEXT, std::string("ab\0cd", 5)));
    EXPECT_EQ(list.Text(0), "ab");
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
