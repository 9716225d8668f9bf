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

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

// Restores the pool's byte limit however the test ends.
class ByteLimitGuard {
public:
    explicit ByteLimitGuard(size_t limit) : m_old(Pool().ByteLimit()) {
        Pool().SetByteLimit(limit);
    }
    ~ByteLimitGuard() { Pool().SetByteLimit(m_old); }
    ByteLimitGuard(const ByteLimitGuard&) = delete;
    ByteLimitGuard& operator=(const ByteLimitGuard&) = delete;

private:
    size_t m_old;
};

TEST(DrawListTest, SerializeWritesCountCodesOperandsThenStrings) {
    DrawList list;
    ASSERT_TRUE(list.Add(DI_MOVETO, 0x00140010));
    ASSERT_TRUE(list.AddString(DI_TEXT, "hi"));
    ASSERT_TRUE(list.Add(DI_FORECOLOR, 0x00030201));
    ASSERT_TRUE(list.AddString(DI_FONTNAME, "Ab"));
    ASSERT_TRUE(list.Add(DI_FONTSIZE, -1));
    const std::string expected = Bytes({5,    0,    0,    0,       // count
                                        0,    2,    6,    3,    4, // codes
                                        0x10, 0,    0x14, 0,       // MOVETO (16, 20)
                                        0,    0,    0,    0,       // the text's operand
                                        1,    2,    3,    0,       // colour
                                        0,    0,    0,    0,       // the face name's operand
                                        0xFF, 0xFF, 0xFF, 0xFF,    // -1
                                        2,    0,    'h',  'i',  2, 0, 'A', 'b'});
    EXPECT_EQ(list.Serialize(), expected);
}

TEST(DrawListTest, EmptyListIsACountOfZero) {
    EXPECT_EQ(DrawList().Serialize(), Bytes({0, 0, 0, 0}));
    const std::optional<DrawList> parsed = DrawList::Parse(Bytes({0, 0, 0, 0}));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->Count(), 0);
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
        if (code == DI_TEXT || code == DI_FONTNAME) {
            const std::string& s = strings[(i / 8) % 5];
            ASSERT_TRUE(list.AddString(code, s));
            items.push_back({code, 0, s});
        } else {
            const int32_t operand = (i % 3 == 0 ? -1 : 1) * i * 40503;
            ASSERT_TRUE(list.Add(code, operand));
            items.push_back({code, operand, {}});
        }
    }
    const std::optional<DrawList> parsed = DrawList::Parse(list.Serialize());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(ItemsOf(*parsed), items);
    EXPECT_EQ(parsed->Serialize(), list.Serialize());
}

TEST(DrawListTest, LongStringsAreSavedCutTo32767Bytes) {
    const std::tuple<size_t, size_t, int, int> rows[] = {
        // length, saved length, its two bytes
        {32767, 32767, 0xFF, 0x7F},
        {32768, 32767, 0xFF, 0x7F},
        {40000, 32767, 0xFF, 0x7F},
        {256, 256, 0x00, 0x01},
    };
    for (const auto& [length, saved, low, high] : rows) {
        std::string text(length, 'a');
        for (size_t k = 0; k < length; k += 7)
            text[k] = static_cast<char>('A' + k % 26);
        DrawList list;
        ASSERT_TRUE(list.AddString(DI_TEXT, text));
        const std::string bytes = list.Serialize();
        ASSERT_EQ(bytes.size(), 4 + 5 + 2 + saved) << length;
        EXPECT_EQ(static_cast<uint8_t>(bytes[9]), low) << length;
        EXPECT_EQ(static_cast<uint8_t>(bytes[10]), high) << length;
        const std::optional<DrawList> parsed = DrawList::Parse(bytes);
        ASSERT_TRUE(parsed) << length;
        ASSERT_EQ(parsed->Count(), 1);
        EXPECT_EQ(parsed->Text(0), text.substr(0, saved)) << length;
    }
}

TEST(DrawListTest, DamagedFilesGiveNothing) {
    struct Row {
        const char* what;
        std::string bytes;
    };
    const Row rows[] = {
        {"nothing", ""},
        {"three bytes", Bytes({1, 0, 0})},
        {"negative count", Bytes({0xFF, 0xFF, 0xFF, 0xFF})},
        {"most negative count", Bytes({0, 0, 0, 0x80, 0, 0, 0, 0, 0})},
        {"count past the codes", Bytes({1, 0, 0, 0})},
        {"count past the operands", Bytes({2, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0})},
        {"huge count", Bytes({0xFF, 0xFF, 0xFF, 0x7F, 0, 1, 2, 3, 4})},
        {"operand cut short", Bytes({1, 0, 0, 0, 0, 1, 2, 3})},
        {"text without its length", Bytes({1, 0, 0, 0, 2, 0, 0, 0, 0})},
        {"text with half its length", Bytes({1, 0, 0, 0, 2, 0, 0, 0, 0, 3})},
        {"text past the end", Bytes({1, 0, 0, 0, 2, 0, 0, 0, 0, 5, 0, 'a', 'b', 'c'})},
        {"face name past the end", Bytes({1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 1, 'a'})},
        {"second string missing", Bytes({2, 0, 0, 0, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 'a'})},
    };
    for (const Row& row : rows)
        EXPECT_FALSE(DrawList::Parse(row.bytes)) << row.what;
}

TEST(DrawListTest, ParseAcceptsTrailingBytesAndIgnoresStringOperands) {
    // The text item's stored operand means nothing; the strings follow in list order.
    const std::string bytes = Bytes({3,    0,    0,    0,    2,   1, 3, // count, codes
                                     0xFF, 0xFF, 0xFF, 0x7F,            // text: junk operand
                                     5,    0,    6,    0,               // LINETO (5, 6)
                                     9,    9,    9,    9,               // face: junk operand
                                     3,    0,    'a',  'b',  'c', 4, 0, 'F', 'a', 'c', 'e', //
                                     'j',  'u',  'n',  'k'});
    const std::optional<DrawList> parsed = DrawList::Parse(bytes);
    ASSERT_TRUE(parsed);
    const std::vector<Item> expected = {TextItem("abc"), LineItem(5, 6), {DI_FONTNAME, 0, "Face"}};
    EXPECT_EQ(ItemsOf(*parsed), expected);
}

TEST(DrawListTest, StringsEndAtTheirFirstNul) {
    DrawList list;
    ASSERT_TRUE(list.AddString(DI_TEXT, std::string("ab\0cd", 5)));
    EXPECT_EQ(list.Text(0), "ab");
    const std::optional<DrawList> parsed =
        DrawList::Parse(Bytes({1, 0, 0, 0, 2, 0, 0, 0, 0, 3, 0, 'x', 0, 'y'}));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->Text(0), "x");
}

TEST(DrawListTest, StorageComesWithTheFirstItemAndGoesWithClear) {
    DrawList list;
    EXPECT_FALSE(list.HasStorage());
    ASSERT_TRUE(list.Add(DI_FORECOLOR, 0));
    EXPECT_TRUE(list.HasStorage());
    for (int32_t i = 1; i < DrawList::kStep + 1; ++i)
        ASSERT_TRUE(list.Add(DI_LINETO, i));
    // Growing past the first step kept every item.
    ASSERT_EQ(list.Count(), DrawList::kStep + 1);
    EXPECT_EQ(list.Code(0), DI_FORECOLOR);
    for (int32_t i = 1; i < list.Count(); ++i)
        ASSERT_EQ(list.Operand(i), i);
    list.Clear();
    EXPECT_FALSE(list.HasStorage());
    EXPECT_EQ(list.Count(), 0);
}

TEST(DrawListTest, OnlyMovesLinesAndTextsAreDrawingItems) {
    struct Row {
        std::vector<uint8_t> codes;
        bool expected;
    };
    const Row rows[] = {
        {{}, false},
        {{DI_FONTNAME, DI_FONTSIZE, DI_BACKCOLOR, DI_FORECOLOR, DI_PENSIZE}, false},
        {{DI_MOVETO}, true},
        {{DI_LINETO}, true},
        {{DI_TEXT}, true},
        {{DI_PENSIZE, DI_FORECOLOR, DI_LINETO}, true},
    };
    for (const auto& [codes, expected] : rows) {
        DrawList list;
        for (uint8_t code : codes) {
            ASSERT_TRUE(code == DI_TEXT || code == DI_FONTNAME ? list.AddString(code, "s")
                                                               : list.Add(code, 0));
        }
        EXPECT_EQ(list.HasDrawingItems(), expected) << codes.size();
        list.Clear();
        EXPECT_FALSE(list.HasDrawingItems());
    }
}

TEST(DrawListTest, RefusesItemsPastTheMemoryBudgetAndGivesBytesBack) {
    const size_t start = Pool().BytesUsed();
    {
        ByteLimitGuard guard(start + 64 * 1024);
        DrawList list;
        int32_t added = 0;
        while (added < 1000000 && list.Add(DI_LINETO, added))
            ++added;
        ASSERT_LT(added, 1000000) << "the budget never refused an item";
        EXPECT_GT(added, 0);
        EXPECT_EQ(list.Count(), added);
        EXPECT_EQ(list.Operand(added - 1), added - 1);
        EXPECT_FALSE(list.AddString(DI_TEXT, "t"));
        EXPECT_EQ(list.Count(), added);
        EXPECT_LE(Pool().BytesUsed(), start + 64 * 1024);

        list.Clear();
        EXPECT_EQ(Pool().BytesUsed(), start);
        // A cleared list charges its next storage to the budget again.
        EXPECT_TRUE(list.Add(DI_LINETO, 1));
        EXPECT_GT(Pool().BytesUsed(), start);
    }
    EXPECT_EQ(Pool().BytesUsed(), start);
}

TEST(DrawListTest, ParseRefusesAListPastTheBudgetAndGivesBytesBack) {
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
    }
}

TEST(DrawListTest, MovingAListMovesItsItemsAndItsBudget) {
    const size_t start = Pool().BytesUsed();
    {
        DrawList a;
        ASSERT_TRUE(a.AddString(DI_TEXT, "moved"));
        DrawList b(std::move(a));
        DrawList c;
        ASSERT_TRUE(c.Add(DI_MOVETO, 1));
        c = std::move(b);
        EXPECT_EQ(ItemsOf(c), std::vector<Item>{TextItem("moved")});
        EXPECT_GT(Pool().BytesUsed(), start);
    }
    EXPECT_EQ(Pool().BytesUsed(), start);
}

} // namespace
} // namespace tivane::test
