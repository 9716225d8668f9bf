#include "templatefile.h"

#include <gtest/gtest.h>

#include "testtree.h"

namespace tivane {
namespace {

using testing::CurrentDirectoryGuard;
using testing::TestTree;

class TemplateTest : public ::testing::Test {
protected:
    SearchContext Context() const { return {tree.Path("exe"), tree.Path("cmd/doc.tvd")}; }

    // Reads the template text written as cwd/t.tml; expects it to be found.
    TemplateInfo Read(const std::string& text) {
        tree.Write("cwd/t.tml", text);
        TemplateInfo t;
        t.templateFileName = "t.tml";
        EXPECT_TRUE(ReadTemplate(t, Context()));
        return t;
    }

    TestTree tree;
    CurrentDirectoryGuard cwd{tree.Path("cwd")};
};

TEST_F(TemplateTest, ReadsDescriptionAndViews) {
    tree.Write("cwd/models/pendulum.tml", "[Description]\r\n"
                                          "NoOfViews=2\r\n"
                                          "MainProgramFileName=model.prg\r\n"
                                          "DescriptionText=Pendulum with friction\r\n"
                                          "[View0]\r\n"
                                          "ProgramFileName=table.prg\r\n"
                                          "TitleText=Table of values\r\n"
                                          "TypeOfView=1\r\n"
                                          "[View1]\r\n"
                                          "ProgramFileName=phase.prg\r\n"
                                          "TitleText=Phase plane\r\n"
                                          "TypeOfView=2\r\n");
    TemplateInfo t;
    t.templateFileName = "MODELS\\Pendulum.TML";
    ASSERT_TRUE(ReadTemplate(t, Context()));

    EXPECT_EQ(t.templateFileName, tree.Path("cwd/models/pendulum.tml"));
    EXPECT_EQ(t.mainProgramFileName, "model.prg");
    EXPECT_EQ(t.descriptionText, "Pendulum with friction");
    ASSERT_EQ(t.viewCount, 2);
    ASSERT_EQ(t.views.size(), 2u);
    EXPECT_EQ(t.views[0].programFileName, "table.prg");
    EXPECT_EQ(t.views[0].titleText, "Table of values");
    EXPECT_EQ(KindOf(t.views[0]), ViewType::Text);
    EXPECT_EQ(t.views[1].programFileName, "phase.prg");
    EXPECT_EQ(t.views[1].titleText, "Phase plane");
    EXPECT_EQ(KindOf(t.views[1]), ViewType::Graphics);
}

struct TypeCase {
    const char* line; // the TypeOfView line, or "" for none
    uint8_t type;
    ViewType kind;
};

class TypeOfViewTest : public TemplateTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(TypeOfViewTest, LowEightBitsOfNumber) {
    const TemplateInfo t =
        Read(std::string("[Description]\nNoOfViews=1\n[View0]\n") + GetParam().line + "\n");
    ASSERT_EQ(t.views.size(), 1u);
    EXPECT_EQ(t.views[0].type, GetParam().type);
    EXPECT_EQ(KindOf(t.views[0]), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(Rows, TypeOfViewTest,
                         ::testing::Values(TypeCase{"", 1, ViewType::Text},
                                           TypeCase{"TypeOfView=", 0, ViewType::Text},
                                           TypeCase{"TypeOfView=7", 7, ViewType::Text},
                                           TypeCase{"typeofview=2", 2, ViewType::Graphics},
                                           TypeCase{"TypeOfView=258", 2, ViewType::Graphics},
                                           TypeCase{"TypeOfView=-254", 2, ViewType::Graphics},
                                           TypeCase{"TypeOfView=000000002", 2, ViewType::Graphics},
                                           TypeCase{"TypeOfView=0000000002", 0, ViewType::Text},
                                           TypeCase{"TypeOfView=graphics", 0, ViewType::Text}));

TEST_F(TemplateTest, LongValuesAreCutToTheirFields) {
    const std::string l200(200, 'L');
    const TemplateInfo t =
        Read("[Description]\nNoOfViews=1\nMainProgramFileName=" + l200 +
             "\nDescriptionText=" + std::string(600, 'D') + "\n[View0]\nTitleText=" + l200 +
             "\nProgramFileName=" + l200 + "\n");
    EXPECT_EQ(t.mainProgramFileName, std::string(127, 'L'));
    EXPECT_EQ(t.descriptionText, std::string(499, 'D'));
    ASSERT_EQ(t.views.size(), 1u);
    EXPECT_EQ(t.views[0].titleText, std::string(127, 'L'));
    EXPECT_EQ(t.views[0].programFileName, std::string(127, 'L'));
}

struct CountCase {
    const char* line; // the NoOfViews line, or "" for none
    int16_t viewCount;
    size_t viewsRead;
};

class ViewCountTest : public TemplateTest, public ::testing::WithParamInterface<CountCase> {};

TEST_P(ViewCountTest, ReadsThatManyViewSections) {
    std::string text = std::string("[Description]\n") + GetParam().line + "\n";
    // Sections View0..View11 exist, except View2, whose view then takes the defaults.
    for (int n = 0; n < 12; ++n) {
        if (n == 2) continue;
        text +=
            "[View" + std::to_string(n) + "]\nTitleText=V" + std::to_string(n) + "\nTypeOfView=2\n";
    }
    const TemplateInfo t = Read(text);

    EXPECT_EQ(t.viewCount, GetParam().viewCount);
    ASSERT_EQ(t.views.size(), GetParam().viewsRead);
    for (size_t n = 0; n < t.views.size(); ++n) {
        if (n == 2) {
            EXPECT_EQ(t.views[n].titleText, "");
            EXPECT_EQ(t.views[n].type, 1);
        } else {
            EXPECT_EQ(t.views[n].titleText, "V" + std::to_string(n));
            EXPECT_EQ(t.views[n].type, 2);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ViewCountTest,
    ::testing::Values(CountCase{"", 0, 0}, CountCase{"NoOfViews=0", 0, 0},
                      CountCase{"NoOfViews=-1", -1, 0}, CountCase{"NoOfViews=2", 2, 2},
                      CountCase{"noofviews=3views", 3, 3}, CountCase{"NoOfViews=12", 10, 10},
                      CountCase{"NoOfViews=65538", 2, 2}, CountCase{"NoOfViews=65535", -1, 0}));

TEST_F(TemplateTest, RereadReplacesPreviousTemplate) {
    tree.Write("cwd/three.tml", "[Description]\nNoOfViews=3\nMainProgramFileName=a.prg\n"
                                "DescriptionText=three\n[View0]\nTitleText=A0\n"
                                "[View1]\nTitleText=A1\n[View2]\nTitleText=A2\n");
    tree.Write("cwd/one.tml", "[Description]\nNoOfViews=1\n[View0]\nTitleText=B0\n");
    TemplateInfo t;
    t.templateFileName = "three.tml";
    ASSERT_TRUE(ReadTemplate(t, Context()));
    ASSERT_EQ(t.views.size(), 3u);

    t.templateFileName = "one.tml";
    ASSERT_TRUE(ReadTemplate(t, Context()));
    EXPECT_EQ(t.viewCount, 1);
    ASSERT_EQ(t.views.size(), 1u);
    EXPECT_EQ(t.views[0].titleText, "B0");
    EXPECT_EQ(t.mainProgramFileName, "");
    EXPECT_EQ(t.descriptionText, "");
}

TEST_F(TemplateTest, FallsBackToDefaultTemplate) {
    tree.Write("exe/default.tml", "[Description]\nNoOfViews=1\n");
    TemplateInfo t;
    t.templateFileName = "gone/missing.tml";
    ASSERT_TRUE(ReadTemplate(t, Context()));
    EXPECT_EQ(t.templateFileName, tree.Path("exe/default.tml"));
    EXPECT_EQ(t.views.size(), 1u);
}

TEST_F(TemplateTest, NotFoundKeepsEverythingButTheName) {
    TemplateInfo t;
    t.templateFileName = "missing.tml";
    t.mainProgramFileName = "old.prg";
    t.descriptionText = "old";
    t.viewCount = 1;
    t.views = {ViewDescriptor{2, "Old view", "old0.prg"}};

    EXPECT_FALSE(ReadTemplate(t, Context()));
    EXPECT_EQ(t.templateFileName, tree.Path("cmd/DEFAULT.TML"));
    EXPECT_EQ(t.mainProgramFileName, "old.prg");
    EXPECT_EQ(t.descriptionText, "old");
    EXPECT_EQ(t.viewCount, 1);
    ASSERT_EQ(t.views.size(), 1u);
    EXPECT_EQ(t.views[0].titleText, "Old view");
    EXPECT_EQ(t.views[0].programFileName, "old0.prg");
    EXPECT_EQ(t.views[0].type, 2);
}

struct ProgramCase {
    const char* id;
    int16_t view;
    std::vector<const char*> files;
    const char* expected;
};

class ViewProgramTest : public TemplateTest, public ::testing::WithParamInterface<ProgramCase> {};

TEST_P(ViewProgramTest, LocatesWithDefault0Fallback) {
    for (const char* file : GetParam().files)
        tree.Write(file);
    TemplateInfo t;
    t.viewCount = 3;
    t.views = {ViewDescriptor{1, "Table", "table.prg"},
               ViewDescriptor{2, "Plot", "nodir\\plot.prg"}, ViewDescriptor{1, "None", ""}};
    EXPECT_EQ(ViewProgramFileName(t, GetParam().view, Context()), tree.Expand(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ViewProgramTest,
    ::testing::Values(
        ProgramCase{"InCwd", 0, {"cwd/table.prg", "cwd/default0.prg"}, "$ROOT/cwd/table.prg"},
        ProgramCase{"BareNameInExeDir", 1, {"exe/plot.prg"}, "$ROOT/exe/plot.prg"},
        ProgramCase{"MissingUsesFallback", 0, {"cmd/default0.prg"}, "$ROOT/cmd/default0.prg"},
        ProgramCase{"EmptyNameUsesFallback", 2, {"exe/default0.prg"}, "$ROOT/exe/default0.prg"},
        ProgramCase{"NegativeViewUsesFallback", -1, {"cwd/default0.prg"}, "$ROOT/cwd/default0.prg"},
        ProgramCase{
            "ViewBeyondListUsesFallback", 3, {"cwd/default0.prg"}, "$ROOT/cwd/default0.prg"},
        ProgramCase{"NothingFoundGivesLastCandidate", 0, {}, "$ROOT/cmd/default0.prg"}),
    [](const auto& info) { return std::string(info.param.id); });

} // namespace
} // namespace tivane
