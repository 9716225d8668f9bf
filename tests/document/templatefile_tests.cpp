#include "templatefile.h"

#include <gtest/gtest.h>

#include <tuple>

#include "testtree.h"

namespace tivane {
namespace {

class TemplateTest : public testing::TreeTest {
protected:
    // Reads `text` written as cwd/t.tml into `t`; expects it to be found.
    TemplateInfo Read(const std::string& text, TemplateInfo t = {}) {
        Write("cwd/t.tml", text);
        t.templateFileName = "t.tml";
        EXPECT_TRUE(ReadTemplate(t, Context()));
        return t;
    }
};

// Titles are cut to 127 characters; TypeOfView keeps its low eight bits, and 2 is graphics.
TEST_F(TemplateTest, ReadsDescriptionAndViewsAndARereadReplacesThem) {
    const std::string title(200, 'T');
    TemplateInfo t =
        Read("[Description]\r\nNoOfViews=3\r\nMainProgramFileName=model.prg\r\n"
             "DescriptionText=Pendulum with friction\r\n[View1]\r\nTitleText=Phase plane\r\n"
             "TypeOfView=258\r\n[View2]\r\nTypeOfView=7\r\n[View0]\r\n"
             "ProgramFileName=table.prg\r\nTitleText=" +
             title);
    EXPECT_EQ(t.templateFileName, root + "/cwd/t.tml");
    EXPECT_EQ(t.mainProgramFileName, "model.prg");
    EXPECT_EQ(t.descriptionText, "Pendulum with friction");
    ASSERT_EQ(t.views.size(), 3u);
    EXPECT_EQ(t.views[0].programFileName, "table.prg");
    EXPECT_EQ(t.views[0].titleText, title.substr(0, 127));
    EXPECT_EQ(t.views[1].titleText, "Phase plane");
    EXPECT_EQ(std::pair(int{t.views[1].type}, KindOf(t.views[1])),
              std::pair(2, ViewType::Graphics));
    EXPECT_EQ(std::pair(int{t.views[2].type}, KindOf(t.views[2])), std::pair(7, ViewType::Text));
    // A template read again replaces the previous one; one not found keeps all but the name.
    t = Read("[Description]\nNoOfViews=1\n[View0]\nTitleText=B0\nProgramFileName=b.prg", t);
    EXPECT_EQ(t.mainProgramFileName + t.descriptionText, "");
    t.mainProgramFileName = "old.prg";
    t.templateFileName = "missing.tml";
    EXPECT_FALSE(ReadTemplate(t, Context()));
    EXPECT_EQ(t.templateFileName, root + "/cmd/DEFAULT.TML");
    EXPECT_EQ(t.mainProgramFileName, "old.prg");
    EXPECT_EQ(t.viewCount, 1);
    ASSERT_EQ(t.views.size(), 1u);
    EXPECT_EQ(t.views[0].titleText, "B0");
}

TEST_F(TemplateTest, NoOfViewsSaysHowManyViewSectionsAreRead) {
    std::string views;
    for (int n = 0; n < 12; ++n)
        views += "[View" + std::to_string(n) + "]\nTitleText=V" + std::to_string(n) + "\n";
    const std::tuple<std::string, int16_t, size_t> rows[] = {
        {"", 0, 0}, {"NoOfViews=-1", -1, 0}, {"NoOfViews=3", 3, 3}, {"NoOfViews=12", 10, 10}};
    for (const auto& [line, viewCount, viewsRead] : rows) {
        const TemplateInfo t = Read("[Description]\n" + line + "\n" + views);
        EXPECT_EQ(t.viewCount, viewCount) << line;
        ASSERT_EQ(t.views.size(), viewsRead) << line;
        for (size_t n = 0; n < t.views.size(); ++n)
            EXPECT_EQ(t.views[n].titleText, "V" + std::to_string(n));
    }
}

TEST_F(TemplateTest, ViewProgramFileNameFallsBackToDefault0) {
    TemplateInfo t;
    t.viewCount = 2;
    t.views = {ViewDescriptor{1, "Table", "table.prg"}, ViewDescriptor{1, "None", ""}};
    const std::tuple<int16_t, const char*, const char*> rows[] = {
        {0, "cwd/table.prg cwd/default0.prg", "$ROOT/cwd/table.prg"},
        {0, "cmd/default0.prg", "$ROOT/cmd/default0.prg"},
        {1, "exe/default0.prg", "$ROOT/exe/default0.prg"},
        {2, "cwd/default0.prg", "$ROOT/cwd/default0.prg"},
        {0, "", "$ROOT/cmd/default0.prg"}, // nothing found: the last candidate
    };
    for (const auto& [view, files, expected] : rows) {
        Write(files);
        EXPECT_EQ(ViewProgramFileName(t, view, Context()), Expand(expected)) << view;
        Clear();
    }
}

} // namespace
} // namespace tivane
