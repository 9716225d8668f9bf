#include "inifile.h"

#include <gtest/gtest.h>

#include <tuple>

#include "testtree.h"

namespace tivane {
namespace {

TEST(IniFileTest, GetStringFindsTheFirstMatchIgnoringCase) {
    const IniFile ini = IniFile::FromText("[Description]\nDescriptionText= a=b with blanks  \n"
                                          "MainProgramFileName=model.prg\nEmpty=\n"
                                          "[view0]\nTitleText=First\nTitleText=Second\n"
                                          "[VIEW0]\nTitleText=Third\nExtra=x\n"
                                          "[description]\nNoOfViews=7\nDescriptionText=later\n");
    // Section, key, default, longest value, value.
    const std::tuple<const char*, const char*, const char*, size_t, const char*> rows[] = {
        {"DESCRIPTION", "descriptiontext", "", 499, "a=b with blanks"},
        {"Missing", "Key", "abcdef", 3, "abc"},
        {"Description", "TitleText", "none", 9, "none"}, // no leak from the next section
        {"View0", "TitleText", "", 127, "First"},
        {"view0", "Extra", "none", 9, "none"}, // a later section of the name is not read
    };
    for (const auto& [section, key, def, maxLength, expected] : rows)
        EXPECT_EQ(ini.GetString(section, key, def, maxLength), expected) << key;
}

using IniFileSaveTest = testing::TreeTest;

TEST_F(IniFileSaveTest, SetStringEditsInPlaceAndSaveKeepsEverythingElse) {
    Write("layout.ini", "; top\r\n[A]\r\nx=1\r\n; note\r\n  Y = 2\r\n\r\n[B]\r\nz=3\r\n");
    std::optional<IniFile> ini = IniFile::Load(root + "/layout.ini");
    ASSERT_TRUE(ini);
    ini->SetString("a", "y", "20");
    ini->SetString("A", "New", "n");
    ini->SetString("C", "k", "v");
    ini->SetString("c", "K", "two\r\nlines"); // kept on one line
    ASSERT_TRUE(ini->Save(root + "/saved.ini"));
    EXPECT_FALSE(ini->Save(root + "/nodir/x.ini"));

    const std::optional<IniFile> again = IniFile::Load(root + "/saved.ini");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Text(), "; top\r\n[A]\r\nx=1\r\n; note\r\nY=20\r\nNew=n\r\n\r\n"
                             "[B]\r\nz=3\r\n[C]\r\nk=two  lines\r\n");
    EXPECT_FALSE(IniFile::Load(root + "/missing.ini"));
}

} // namespace
} // namespace tivane
