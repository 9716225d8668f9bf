// The draw list: its contents file byte for byte, damaged files refused, long strings cut, and
// the memory budget it shares with programs. The file-fuzzer corpus replay reads every kept
// input against the format independently, saves it again and loads it under exact budgets.

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
        {"ffffffff", nullptr, false},                         // negative count
        {"ffffff7f 0001020304", nullptr, false},              // huge count
        {"01000000 00 010203", nullptr, false},               // operand cut short
        {"01000000 02 00000000 0500 616263", nullptr, false}, // text past the end
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

TEST(DrawListTest, LongStringsAreSavedCutTo32767Bytes) {
    std::string text(40000, 'a');
    for (size_t k = 0; k < text.size(); k += 7)
        text[k] = static_cast<char>('A' + k % 26);
    DrawList list;
    ASSERT_TRUE(list.AddString(DI_TEXT, text));
    const std::string bytes = list.Serialize();
    ASSERT_EQ(bytes.size(), 4 + 5 + 2 + 32767u);
    EXPECT_EQ(bytes.substr(9, 2), Hex("ff7f"));
    const std::optional<DrawList> parsed = DrawList::Parse(bytes);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(ItemsOf(*parsed), (std::vector<Item>{{DI_TEXT, 0, text.substr(0, 32767)}}));
}

// The budget refuses items (whole parsed lists: the file-fuzzer corpus replay); a cleared list
// gives its bytes back.
TEST(DrawListTest, RefusesItemsPastTheMemoryBudgetAndGivesBytesBack) {
    const size_t start = Pool().BytesUsed();
    {
        ByteLimitGuard guard(start + 64 * 1024);
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
    }
    EXPECT_EQ(Pool().BytesUsed(), start);
}

// A long list's blocks come from large regions after its first blocks: items on both sides of
// those boundaries read back, survive moves and the contents file, and Clear frees them all.
TEST(DrawListTest, ALongListKeepsEveryItemAcrossItsStorageRegions) {
    const size_t start = Pool().BytesUsed();
    constexpr int32_t kItems = 1200000; // singly allocated blocks, then two regions and more
    {
        DrawList list;
        for (int32_t i = 0; i < kItems; ++i)
            ASSERT_TRUE(list.Add(i % 3 == 0 ? DI_MOVETO : DI_LINETO, i * 7));
        DrawList moved(std::move(list));
        DrawList assigned;
        assigned = std::move(moved);
        const std::optional<DrawList> reread = DrawList::Parse(assigned.Serialize());
        ASSERT_TRUE(reread && reread->Count() == kItems);
        for (int32_t i = 0; i < kItems; ++i) {
            ASSERT_EQ(assigned.Operand(i), i * 7) << i;
            ASSERT_EQ(reread->Code(i), i % 3 == 0 ? DI_MOVETO : DI_LINETO) << i;
        }
        EXPECT_EQ(list.Count() + moved.Count(), 0);
    }
    EXPECT_EQ(Pool().BytesUsed(), start);
}

} // namespace
} // namespace tivane::test
