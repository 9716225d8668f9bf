// tivane-run on documents: opened with their layout and headless windows, executed once, then
// saved, exported or printed.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "runtool.h"

namespace {

// A model with a text window and a graphics window; the main input is the number of steps.
class DocumentRunTest : public ::testing::Test {
protected:
    DocumentRunTest() {
        dir.Write("model.tvd", "3");
        dir.Write("model.tml", "[Description]\nNoOfViews=2\nMainProgramFileName=main.prg\n"
                               "[View0]\nProgramFileName=text.prg\nTitleText=Table\n"
                               "[View1]\nProgramFileName=graph.prg\nTitleText=Plot\n"
                               "TypeOfView=2\n");
        dir.Write("model.ini", "[Description]\nNoOfWindows=2\nTemplateFile=model.tml\n"
                               "[Window0]\nWindowType=9999\n[Window1]\nWindowType=0\n");
        dir.Write("main.prg", "n := ATOL(GETCONFIG(0)); EXECVIEWTEMPLATES(0); i := 0;"
                              "WHILE({i < n}, {i := i + 1; UPDATEVIEWS(0)})");
        dir.Write("text.prg", "ONUPDATE({PRINTF(\"%ld\", i); PRINTF(\"%s\", CHR(10))})");
        dir.Write("graph.prg", "CLEARVIEW(0); BGRCOLOR(0, 0, 255); CLIPWINDOW(0, 0, 1000, 1000);"
                               "MOVETO(0, 0); ONUPDATE({LINETO(i * 10000, i * 10000)})");
        dir.Write("model.vw1", "");
    }
    std::string Doc() const { return dir.path() + "/model.tvd"; }

    TempDir dir;
};

// The width and height of a PNG file, from its header.
std::pair<int, int> PngSize(const std::string& bytes) {
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
    auto be = [&](size_t at) {
        int v = 0;
        for (size_t k = 0; k < 4; ++k)
            v = (v << 8) | static_cast<unsigned char>(bytes[at + k]);
        return v;
    };
    return {be(16), be(20)};
}

TEST_F(DocumentRunTest, PrintsTheTextWindowsInWindowOrder) {
    const Exit e = RunTool({"--bare", Doc()});
    EXPECT_EQ(e.status, 0) << e.err;
    EXPECT_EQ(e.out, "1\r\n2\r\n3\r\n");
    EXPECT_EQ(e.err.find("Could not"), std::string::npos) << e.err;
}

TEST_F(DocumentRunTest, AllViewsExportsEveryWindow) {
    const Exit e = RunTool(
        {"--bare", Doc(), "--all-views", "--export", dir.path() + "/out", "--size", "300x200"});
    EXPECT_EQ(e.status, 0) << e.err;
    EXPECT_EQ(e.out, "");
    EXPECT_EQ(dir.Read("out/view0.txt"), "3"); // the main input window
    EXPECT_EQ(dir.Read("out/view1.txt"), "1\r\n2\r\n3\r\n");
    EXPECT_EQ(PngSize(dir.Read("out/view2.png")), std::make_pair(300, 200));
}

TEST_F(DocumentRunTest, PicturesInEveryFormat) {
    struct Row {
        const char* format;
        const char* start; // the file's first bytes
    };
    for (const Row& row :
         {Row{"bmp", "BM"}, Row{"png", "\x89PNG"}, Row{"svg", "<?xml"}, Row{"pdf", "%PDF"}}) {
        const Exit e = RunTool({"--bare", Doc(), "--all-views", "--export", dir.path() + "/out",
                                "--format", row.format, "--size", "64x48"});
        EXPECT_EQ(e.status, 0) << e.err;
        const std::string picture = dir.Read(std::string("out/view2.") + row.format);
        EXPECT_EQ(picture.substr(0, std::string(row.start).size()), row.start) << row.format;
    }
    // The BMP of a 64 x 48 picture: 134 bytes of header and palette, 4 bytes a pixel.
    EXPECT_EQ(dir.Read("out/view2.bmp").size(), 134u + 64 * 48 * 4);
}

TEST_F(DocumentRunTest, MoviesHaveOneFramePerUpdate) {
    const Exit e = RunTool(
        {"--bare", Doc(), "--all-views", "--movie", dir.path() + "/movies", "--size", "301x200"});
    ASSERT_EQ(e.status, 0) << e.err;
    const std::string movie = dir.Read("movies/view2.avi");
    ASSERT_GE(movie.size(), 12u);
    EXPECT_EQ(movie.substr(0, 4), "RIFF");
    EXPECT_EQ(movie.substr(8, 4), "AVI ");
    EXPECT_NE(movie.find("XVID"), std::string::npos);
    // Three updates, three frames of 304 x 200.
    const std::string probe = "ffprobe -v error -count_frames -show_entries "
                              "stream=nb_read_frames,width,height -of csv=p=0 '" +
                              dir.path() + "/movies/view2.avi' 2>/dev/null";
    if (FILE* pipe = popen(probe.c_str(), "r")) {
        char line[128] = {};
        const bool read = fgets(line, sizeof line, pipe) != nullptr;
        if (pclose(pipe) == 0 && read) {
            EXPECT_EQ(std::string(line), "304,200,3\n");
        }
    }
}

TEST_F(DocumentRunTest, SavedDocumentsOpenWithTheirPicturesAndTexts) {
    ASSERT_EQ(RunTool({"--bare", Doc(), "--all-views", "--save"}).status, 0);
    const std::string picture = dir.Read("model.vs2");
    // Count, codes, operands: five defaults, the back colour, a move and three lines.
    ASSERT_GE(picture.size(), 4u);
    EXPECT_EQ(static_cast<unsigned char>(picture[0]), 10);
    EXPECT_EQ(dir.Read("model.vs1"), "1\r\n2\r\n3\r\n");
    EXPECT_EQ(dir.Read("model.tvd"), "3");

    // A run that only saves again keeps everything: the next Execute would draw on top.
    dir.Write("main.prg", "0");
    const Exit e = RunTool({"--bare", Doc(), "--save"});
    EXPECT_EQ(e.status, 0) << e.err;
    // Each window keeps its number, and with it its side files.
    EXPECT_EQ(dir.Read("model.vs2"), picture);
    EXPECT_EQ(dir.Read("model.vs1"), "1\r\n2\r\n3\r\n");
}

TEST_F(DocumentRunTest, ErrorsAreReportedAndGiveStatusOne) {
    struct Row {
        const char* mainProgram;
        const char* err;
    };
    for (const Row& row :
         {Row{"1 +", "Operand expected."}, Row{"EXECVIEWTEMPLATES(0); ABORT(\"halt\")", "halt"},
          Row{"CLIPWINDOW(0, 0, 1, 1)", ""}}) {
        dir.Write("main.prg", row.mainProgram);
        dir.Write("text.prg", "1 + \"a\"");
        const Exit e = RunTool({"--bare", Doc()});
        EXPECT_EQ(e.status, *row.err ? 1 : 0) << row.mainProgram << "\n" << e.err;
        EXPECT_NE(e.err.find(row.err), std::string::npos) << e.err;
    }
    // ABORT fails the run: its message is its report.
    for (const char* abort : {"ABORT(\"halt\")", "EXECVIEWTEMPLATES(0)"}) {
        dir.Write("main.prg", abort);
        dir.Write("text.prg", "ABORT(\"halt\")");
        const Exit e = RunTool({"--bare", Doc()});
        EXPECT_EQ(e.status, 1) << abort;
        EXPECT_NE(e.err.find("halt"), std::string::npos) << e.err;
    }
    // A view program that fails is an error of the run, though the main program goes on.
    dir.Write("text.prg", "1 + \"a\"");
    dir.Write("main.prg", "EXECVIEWTEMPLATES(0); SENDMSG(\"after\")");
    const Exit e = RunTool({"--bare", Doc()});
    EXPECT_EQ(e.status, 1);
    EXPECT_NE(e.err.find("Invalid type."), std::string::npos) << e.err;
    EXPECT_NE(e.err.find("after"), std::string::npos) << e.err;
}

TEST_F(DocumentRunTest, OpeningFailuresAndUsageErrors) {
    dir.Write("t.tml", "[Description]\n");
    struct Row {
        std::vector<std::string> args;
        int status;
        const char* err;
    };
    const std::vector<Row> rows = {
        {{dir.path() + "/absent.tvd"}, 1, "Failed to open document."},
        {{dir.path()}, 1, "Failed to open document."},
        {{dir.path() + "/t.tml"}, 1, "A template file cannot be opened as a document."},
        {{Doc(), "--size", "0x10"}, 2, "--size"},
        {{Doc(), "--size", "10"}, 2, "--size"},
        {{Doc(), "--export"}, 2, "--export"},
        {{dir.Write("p.prg", "1"), "--save"}, 2, "need a document"},
        {{dir.Write("Q.PRG", "1"), "--save"}, 2, "need a document"},
        {{"--eval", "1", "--all-views"}, 2, "need a document"},
    };
    for (const Row& row : rows) {
        const Exit e = RunTool(row.args);
        EXPECT_EQ(e.status, row.status) << row.args[0] << "\n" << e.err;
        EXPECT_NE(e.err.find(row.err), std::string::npos) << e.err;
    }
}

TEST_F(DocumentRunTest, AFailedWriteNamesTheFileAndWhyAndKeepsWhatWasThere) {
    struct Row {
        const char* folder; // made before the run, where a file should go
        std::vector<std::string> args;
        const char* err; // $D stands for the model's folder
    };
    const std::vector<Row> rows = {
        {"model.vs1",
         {"--save"},
         "Failed to save document. Could not write $D/model.vs1: Is a directory."},
        {"out/view1.txt",
         {"--export", "$D/out"},
         "Could not write the file $D/out/view1.txt: Is a directory."},
        {"out/view2.png",
         {"--export", "$D/out"},
         "Could not create file.\n$D/out/view2.png: Is a directory"},
        {"out/view2.svg",
         {"--export", "$D/out", "--format", "svg"},
         "Could not create file.\n$D/out/view2.svg: Is a directory"},
        {"movies/view2.avi",
         {"--movie", "$D/movies"},
         "Could not record $D/movies/view2.avi: Unable to Create the Movie File (Is a directory)"},
        {"",
         {"--movie", "$D/movies", "--size", "30000x30000"},
         "Could not record $D/movies/view2.avi: A movie of 30000 x 30000 pixels is larger than the "
         "encoder takes: at most 8184 pixels a side."},
    };
    const auto expand = [&](std::string text) {
        for (size_t at; (at = text.find("$D")) != std::string::npos;)
            text.replace(at, 2, dir.path());
        return text;
    };
    const std::string layout = dir.Read("model.ini");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.err);
        std::filesystem::remove_all(dir.path() + "/out");
        std::filesystem::remove_all(dir.path() + "/movies");
        std::filesystem::remove_all(dir.path() + "/model.vs1");
        if (*row.folder) std::filesystem::create_directories(dir.path() + "/" + row.folder + "/x");
        std::vector<std::string> args = {"--bare", Doc(), "--all-views"};
        for (const std::string& a : row.args)
            args.push_back(expand(a));
        const Exit e = RunTool(args);
        EXPECT_EQ(e.status, 1) << e.err;
        EXPECT_NE(e.err.find(expand(row.err)), std::string::npos) << e.err;
        // Nothing of the document was replaced, and no temporary file stayed.
        EXPECT_EQ(dir.Read("model.tvd"), "3");
        EXPECT_EQ(dir.Read("model.ini"), layout);
        for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path()))
            EXPECT_EQ(entry.path().string().find(".tivane-"), std::string::npos) << entry.path();
    }
}

TEST_F(DocumentRunTest, CtrlCStopsTheRun) {
    dir.Write("main.prg", "i := 0; WHILE({1}, {i := i + 1})");
    const Exit e = RunTool({"--bare", Doc()}, "", "", 300);
    EXPECT_EQ(e.status, 1);
    EXPECT_NE(e.err.find("User stopped execution."), std::string::npos) << e.err;
}

} // namespace
