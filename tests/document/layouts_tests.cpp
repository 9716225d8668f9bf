// Pictures that come back in the clip and world windows they were drawn in.

#include <gtest/gtest.h>

#include "docfixture.h"
#include "tivanegraph.h"
#include "tivaneview.h"

namespace tivane::testing {
namespace {

using LayoutTest = DocTest;

constexpr const char* kOneGraph = "[Description]\nNoOfViews=1\nMainProgramFileName=main.prg\n"
                                  "[View0]\nProgramFileName=graph.prg\nTypeOfView=2\n";

// What a graphics window shows: its windows and its list.
struct Picture {
    DRect clip, world;
    std::string list;
    bool operator==(const Picture&) const = default;
};

Picture PictureOf(const CViewBase& view) {
    const auto& graph = dynamic_cast<const CTivaneGraph&>(view);
    return {graph.Model().Clip(), graph.Model().World(), graph.List().Serialize()};
}

// A picture comes back in the clip and world windows it was saved with; keys that no program
// could have set, and layouts from before the keys, leave the picture in the whole area.
TEST_F(LayoutTest, AReopenedPictureIsTheOneSavedOrInTheWholeArea) {
    const char* const programs[] = {
        "CLIPWINDOW(0, 0, 600, 600); WINDOWEXT(-1, 1, 1, -1); MOVETO(-1, -1); LINETO(1, 1)",
        "CLIPWINDOW(10, 20, 29999, 400); WINDOWEXT(0.1, 1 / 3, 2E-7, -1E300); LINETO(0.05, 0)"};
    for (const char* program : programs) {
        SCOPED_TRACE(program);
        Clear();
        Model("", kOneGraph, LayoutOf({9999, 0}));
        Write("cwd/main.prg", "EXECVIEWTEMPLATES(0)");
        Write("cwd/graph.prg", std::string("CLEARVIEW(0); ") + program);
        OpenAndExecute();
        ASSERT_EQ(ui.Texts(), std::vector<std::string>{});
        const Picture before = PictureOf(*doc->Views()[1]);
        ASSERT_TRUE(doc->OnSaveDocument(doc->PathName()));
        Open();
        EXPECT_EQ(PictureOf(*doc->Views()[1]), before);
    }
    // The keys of the section, as written by hand ("" for none), restored or the whole area.
    const std::tuple<const char*, const char*, bool> rows[] = {
        {"0,0,600,400", "-1,1,1,-1", true},
        {"", "", false},
        {"0,0,30001,400", "-1,1,1,-1", false},
        {"0,0,600,400", "nan,1,1,-1", false}};
    for (const auto& [clip, world, restored] : rows) {
        SCOPED_TRACE(std::string(clip) + " " + world);
        std::string layout = LayoutOf({9999, 0});
        if (*clip) layout += std::string("ClipWindow=") + clip + "\n";
        if (*world) layout += std::string("WorldWindow=") + world + "\n";
        Write("cwd/model.ini", layout);
        Open();
        const Picture reopened = PictureOf(*doc->Views()[1]);
        EXPECT_NE(reopened.list, "");
        EXPECT_EQ(reopened.clip, restored ? *ParseRect(clip) : kDrawArea);
        EXPECT_EQ(reopened.world, restored ? *ParseRect(world) : kDrawArea);
    }
}

} // namespace
} // namespace tivane::testing
