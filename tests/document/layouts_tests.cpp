// Layouts that a save writes back unchanged, pictures that come back in the windows they
// were drawn in, the template's name as it was given, programs found beside the template,
// and a main program that cannot be read ending the run.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "docfixture.h"
#include "inifile.h"
#include "tivanegraph.h"
#include "tivaneview.h"

namespace tivane::testing {
namespace {

constexpr const char* kThreeViews = "[Description]\nNoOfViews=3\n"
                                    "[View0]\nTitleText=Table\n"
                                    "[View1]\nTitleText=Plot\nTypeOfView=2\n"
                                    "[View2]\nTitleText=Log\n";

class LayoutTest : public DocTest {
protected:
    // Every file of cwd but the document's own, by name.
    std::map<std::string, std::string> SavedFiles() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(root + "/cwd")) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with("model.") && name != "model.tvd" && name != "model.tml")
                files[name] = ReadFile(name);
        }
        return files;
    }
    std::vector<int16_t> ViewOrder() const {
        std::vector<int16_t> order;
        for (const auto& view : doc->Views())
            order.push_back(view->ViewIndex());
        return order;
    }
};

// Each window's setup-text file names its view, so a window that moves to another section
// number shows in the files.
TEST_F(LayoutTest, OpeningAndSavingKeepsTheWindowsInTheirSections) {
    // The sections' view indexes, the document's windows after opening: the main input takes
    // the place of its section, stays first without one; a section of no view keeps no place.
    const std::pair<std::vector<int>, std::vector<int16_t>> rows[] = {
        {{9999, 2, 1, 0}, {9999, 2, 1, 0}},
        {{0, 9999, 1}, {0, 9999, 1}},
        {{1, 0}, {9999, 1, 0}},
        {{9999, 7, 0}, {9999, 0}}};
    for (const auto& [sections, order] : rows) {
        SCOPED_TRACE(::testing::PrintToString(sections));
        Clear();
        Model("input", kThreeViews, LayoutOf(sections));
        for (size_t k = 0; k < sections.size(); ++k)
            Write("cwd/model.vw" + std::to_string(k), "view " + std::to_string(sections[k]));
        Open();
        EXPECT_EQ(ViewOrder(), order);
        ASSERT_TRUE(doc->OnSaveDocument(doc->PathName()));
        const std::map<std::string, std::string> once = SavedFiles();
        for (size_t k = 0; k < order.size(); ++k) {
            if (order[k] != kMainInputIndex) {
                EXPECT_EQ(once.at("model.vw" + std::to_string(k)),
                          "view " + std::to_string(order[k]));
            }
        }
        // Opened and saved again, as a second run of the same document does.
        Open();
        EXPECT_EQ(ViewOrder(), order);
        ASSERT_TRUE(doc->OnSaveDocument(doc->PathName()));
        EXPECT_EQ(SavedFiles(), once);
        doc.reset();
    }
}

// The template lies in docs/ (or below it); the document docs/model.tvd is saved under
// `saveAs`. The current directory is cwd/, where no template lies.
TEST_F(LayoutTest, TheTemplateKeepsTheNameItWasGiven) {
    // Where the template lies, its name in the layout, where the document is saved and the
    // name the saved layout holds, all below the root; "$ROOT" stands for the root.
    const char* const rows[] = {
        "docs/t/m.tml t/m.tml docs/model.tvd t/m.tml",
        "docs/model.tml $ROOT/docs/model.tml docs/model.tvd $ROOT/docs/model.tml",
        "docs/t/m.tml t/m.tml copy.tvd docs/t/m.tml",
        "docs/model.tml $ROOT/docs/model.tml docs/copy.tvd model.tml",
        "docs/t/m.tml t/m.tml docs/u/copy.tvd $ROOT/docs/t/m.tml"};
    for (const char* text : rows) {
        SCOPED_TRACE(text);
        std::istringstream in(text);
        std::string templateAt, given, saveAs, written;
        in >> templateAt >> given >> saveAs >> written;
        Clear();
        Write(templateAt, kThreeViews);
        Write("docs/model.tvd", "input");
        Write("docs/model.ini", LayoutOf({9999, 1}, Expand(given)));
        Write("other/ docs/u/");
        Open(root + "/docs/model.tvd");
        ASSERT_EQ(doc->Template().viewCount, 3);
        ASSERT_TRUE(doc->OnSaveDocument(root + "/" + saveAs));
        const std::string layout = CTivaneDoc::LayoutFileNameOf(root + "/" + saveAs);
        const std::optional<IniFile> saved = IniFile::Load(layout);
        ASSERT_TRUE(saved);
        EXPECT_EQ(saved->GetString("Description", "TemplateFile", "", 500), Expand(written));
        // The copy finds its template again, whatever the current directory.
        Open(root + "/" + saveAs);
        EXPECT_EQ(doc->Template().viewCount, 3);
        EXPECT_EQ(doc->Views().size(), 2u);
        doc.reset();
    }
}

// The template and its programs lie in tmpl/; the document in docs/ names the template by
// its full path. Each program sets the main input to the folder it was found in.
TEST_F(LayoutTest, ProgramsAreLookedForLastBesideTheTemplate) {
    // Folders holding main.prg, the one it ran from: the file search's places come first.
    const std::pair<const char*, const char*> rows[] = {{"tmpl", "tmpl"}, {"tmpl cmd", "cmd"}};
    for (const auto& [programsIn, ranFrom] : rows) {
        SCOPED_TRACE(programsIn);
        Clear();
        Write("tmpl/model.tml", "[Description]\nNoOfViews=1\nMainProgramFileName=main.prg\n"
                                "[View0]\nProgramFileName=view.prg\n");
        Write("tmpl/view.prg", "PRINTF(\"%s\", \"from tmpl\")");
        Write("tmpl/default.prg", "fromDefault := \"tmpl\"");
        std::istringstream folders(programsIn);
        for (std::string folder; folders >> folder;) {
            Write(folder + "/main.prg",
                  "EXECVIEWTEMPLATES(0); SETCONFIG(\"" + folder + "\" + fromDefault)");
        }
        Write("docs/model.tvd", "");
        Write("docs/model.ini", LayoutOf({9999, 0}, root + "/tmpl/model.tml"));
        Open(root + "/docs/model.tvd");
        doc->SetBare(false);
        doc->Execute();
        EXPECT_EQ(doc->MainInput(), std::string(ranFrom) + "tmpl");
        EXPECT_EQ(doc->Views()[1]->Surface().Text(), "from tmpl");
        doc.reset();
    }
}

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
        "MOVETO(100, 100); PRINT(\"no windows set\")",
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
        {"0,0,30000,30000", "0,0,30000,30000", true},
        {"", "", false},
        {"0,0,600,400", "", false},
        {"0,0,600,400,5", "-1,1,1,-1", false},
        {"0,0,30001,400", "-1,1,1,-1", false},
        {"600,0,600,400", "-1,1,1,-1", false},
        {"0,0,600.5,400", "-1,1,1,-1", false},
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

TEST_F(LayoutTest, AMainProgramThatCannotBeReadEndsTheRun) {
    // The main program as the template names it, the only message ("$ROOT": the root).
    const std::pair<const char*, const char*> rows[] = {
        {"absent.prg", "Could not open the file $ROOT/cmd/absent.prg."},
        {"large.prg", "The file $ROOT/cwd/large.prg is too large."},
        {"", "main input ran"}};
    for (const auto& [mainProgram, report] : rows) {
        SCOPED_TRACE(mainProgram);
        Clear();
        Write("cwd/large.prg");
        std::filesystem::resize_file(root + "/cwd/large.prg", kMaxFileSize + 1);
        Model("SENDMSG(\"main input ran\")",
              std::string("[Description]\nMainProgramFileName=") + mainProgram + "\n",
              LayoutOf({9999}));
        OpenAndExecute();
        EXPECT_EQ(ui.Texts(), std::vector<std::string>{Expand(report)});
        EXPECT_FALSE(doc->Running());
        EXPECT_EQ(CTivaneDoc::RunningCount(), 0);
        EXPECT_EQ(ui.looks.back(), false);
        doc.reset();
        ui.looks.clear();
    }
}

} // namespace
} // namespace tivane::testing
