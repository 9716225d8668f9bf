#include "templatefile.h"

#include <gtest/gtest.h>

#include <tuple>

#include "testtree.h"

namespace tivane {
namespace {

class TemplateTest : public testing::TreeTest {
protected:
    // Reads `text` written as cwd/t.tml; expects it to be found.
    TemplateInfo Read(const std::string& text) {
        TemplateInfo t;
        Write("cwd/t.tml", text);
        t.templateFileName = "t.tml";
        EXPECT_TRUE(ReadTemplate(t, Context()));
        return t;
    }
};

TEST_F(TemplateTest, NoOfViewsSaysHowManyViewSectionsAreRead) {
    std::string views;
    for (int n = 0; n < 12; ++n)
        views += "[View" + std::to_string(n) + "]\nTitleText=V" + std::to_string(n) + "\n";
    const std::tuple<std::string, int16_t, size_t> rows[] = {{"NoOfViews=-1", -1, 0},
                                                             {"NoOfViews=12", 10, 10}};
    for (const auto& [line, viewCount, viewsRead] : rows) {
        const TemplateInfo t = Read("[Description]\n" + line + "\n" + views);
        EXPECT_EQ(t.viewCount, viewCount) << line;
        ASSERT_EQ(t.views.size(), viewsRead) << line;
        for (size_t n = 0; n < t.views.size(); ++n)
            EXPECT_EQ(t.views[n].titleText, "V" + std::to_string(n));
    }
}

} // namespace
} // namespace tivane
