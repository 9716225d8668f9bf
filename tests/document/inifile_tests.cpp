#include "inifile.h"

#include <gtest/gtest.h>

#include <limits>

#include "testtree.h"

namespace tivane {
namespace {

using testing::TestTree;

const char* const kSample = "Stray=before any section\n"
                            "; comment\n"
                            "[Description]\n"
                            "  NoOfViews = 2 \t\n"
                            "MainProgramFileName=model.prg\n"
                            "DescriptionText= a=b with blanks  \n"
                            "Empty=\n"
                            "[view0]\n"
                            "TitleText=First\n"
                            "TitleText=Second\n"
                            "[ Other ]\n"
                            ";Hidden=1\n"
                            "NoEquals\n"
                            "Key=other\n"
                            "[VIEW0]\n"
                            "ProgramFileName=second-section.prg\n";

struct LookupCase {
    const char* section;
    const char* key;
    const char* def;
    size_t maxLength;
    const char* expected;
};

class IniLookupTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(IniLookupTest, GetString) {
    const LookupCase& row = GetParam();
    const IniFile ini = IniFile::FromText(kSample);
    EXPECT_EQ(ini.GetString(row.section, row.key, row.def, row.maxLength), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, IniLookupTest,
    ::testing::Values(
        // Names ignore case, values lose their surrounding blanks.
        LookupCase{"description", "NOOFVIEWS", "x", 9, "2"},
        LookupCase{"Description", "DescriptionText", "", 499, "a=b with blanks"},
        LookupCase{"other", "key", "", 9, "other"},
        // Cuts apply to values and defaults alike.
        LookupCase{"Description", "MainProgramFileName", "", 5, "model"},
        LookupCase{"Missing", "Key", "abcdef", 3, "abc"},
        // Missing keys take the default; an empty value is a value.
        LookupCase{"Description", "Nope", "dflt", 9, "dflt"},
        LookupCase{"Description", "Empty", "dflt", 9, ""},
        LookupCase{"Description", "Stray", "dflt", 99, "dflt"},
        // Comments and lines without '=' are no keys; keys do not leak into the next section.
        LookupCase{"Other", "Hidden", "none", 9, "none"},
        LookupCase{"Other", "NoEquals", "none", 9, "none"},
        LookupCase{"Description", "TitleText", "none", 9, "none"},
        // The first matching key and the first matching section win.
        LookupCase{"View0", "TitleText", "", 127, "First"},
        LookupCase{"View0", "ProgramFileName", "none", 127, "none"}));

struct NumberCase {
    const char* value; // nullptr: the key is missing
    const char* def;
    size_t maxLength;
    int32_t expected;
};

class IniNumberTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(IniNumberTest, GetIntReadsLeadingDecimal) {
    const NumberCase& row = GetParam();
    const std::string text = row.value ? std::string("[S]\nK=") + row.value + "\n" : "[S]\n";
    EXPECT_EQ(IniFile::FromText(text).GetInt("S", "K", row.def, row.maxLength), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, IniNumberTest,
    ::testing::Values(NumberCase{"12abc", "", 9, 12}, NumberCase{"-3", "", 9, -3},
                      NumberCase{"+7", "", 9, 7}, NumberCase{"x", "", 9, 0},
                      NumberCase{"", "5", 9, 0}, NumberCase{"- 3", "", 9, 0},
                      NumberCase{"  42  ", "", 9, 42}, NumberCase{nullptr, "1", 9, 1},
                      NumberCase{nullptr, "", 9, 0},
                      // The cut comes before the reading.
                      NumberCase{"123456789012", "", 9, 123456789},
                      NumberCase{"0000000002", "", 9, 0},
                      // Only the low 32 bits are kept.
                      NumberCase{"2147483648", "", 10, std::numeric_limits<int32_t>::min()},
                      NumberCase{"-2147483648", "", 11, std::numeric_limits<int32_t>::min()},
                      NumberCase{"4294967297", "", 10, 1}, NumberCase{"-4294967295", "", 11, 1}));

TEST(IniFileTest, SetStringEditsInPlaceAndSaveKeepsEverythingElse) {
    TestTree tree;
    tree.Write("layout.ini", "; top\r\n"
                             "[A]\r\n"
                             "x=1\r\n"
                             "; note\r\n"
                             "  Y = 2\r\n"
                             "\r\n"
                             "[B]\r\n"
                             "z=3\r\n");
    std::optional<IniFile> ini = IniFile::Load(tree.Path("layout.ini"));
    ASSERT_TRUE(ini);
    ini->SetString("a", "y", "20");
    ini->SetString("A", "New", "n");
    ini->SetString("C", "k", "two\r\nlines");
    ini->SetString("c", "k", "v");
    ASSERT_TRUE(ini->Save(tree.Path("saved.ini")));

    const std::optional<IniFile> again = IniFile::Load(tree.Path("saved.ini"));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Text(), "; top\r\n"
                             "[A]\r\n"
                             "x=1\r\n"
                             "; note\r\n"
                             "Y=20\r\n"
                             "New=n\r\n"
                             "\r\n"
                             "[B]\r\n"
                             "z=3\r\n"
                             "[C]\r\n"
                             "k=v\r\n");
    EXPECT_EQ(again->GetString("A", "y", "", 9), "20");
}

TEST(IniFileTest, ValueIsKeptOnOneLine) {
    IniFile ini;
    ini.SetString("S", "k", "two\nlines");
    ini.SetString("S", "after", "1");
    EXPECT_EQ(ini.GetString("S", "k", "", 99), "two lines");
    EXPECT_EQ(ini.GetString("S", "after", "", 99), "1");
}

TEST(IniFileTest, NewFileIsCreatedBySave) {
    TestTree tree;
    IniFile ini;
    ini.SetString("Description", "NoOfWindows", "0");
    ASSERT_TRUE(ini.Save(tree.Path("new.ini")));
    const std::optional<IniFile> loaded = IniFile::Load(tree.Path("new.ini"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->GetInt("description", "noofwindows", "9", 9), 0);
}

TEST(IniFileTest, UnreadableAndUnwritablePathsFail) {
    TestTree tree;
    tree.Write("dir/");
    EXPECT_FALSE(IniFile::Load(tree.Path("missing.ini")));
    EXPECT_FALSE(IniFile::Load(tree.Path("dir")));
    EXPECT_FALSE(IniFile().Save(tree.Path("nodir/x.ini")));
}

} // namespace
} // namespace tivane
