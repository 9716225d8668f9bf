// tivane-run on documents: opened with their layout and headless windows, executed once, then
// saved, exported or printed; usage errors, failed writes and Ctrl+C.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>

#include "runtool.h"

namespace {

namespace fs = std::filesystem;

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
        Programs(kMain, kText);
        dir.Write("graph.prg", "CLEARVIEW(0); BGRCOLOR(0, 0, 255); CLIPWINDOW(0, 0, 1000, 1000);"
                               "MOVETO(0, 0); ONUPDATE({LINETO(i * 10000, i * 10000)})");
        dir.Write("model.vw1", "");
    }
    void Programs(const char* main, const char* text) const {
        dir.Write("main.prg", main);
        dir.Write("text.prg", text);
    }
    // The words of `args`, each with $D made the model's folder.
    Exit Run(const std::string& args, int interruptMs = -1,
             const char* exe = TIVANE_RUN_PATH) const {
        std::istringstream in(args);
        std::vector<std::string> words;
        for (std::string word; in >> word;)
            words.push_back(dir.Expand(word));
        return RunTool(words, "", "", interruptMs, exe);
    }

    static constexpr const char* kMain = "n := ATOL(GETCONFIG(0)); EXECVIEWTEMPLATES(0); i := 0;"
                                         "WHILE({i < n}, {i := i + 1; UPDATEVIEWS(0)})";
    static constexpr const char* kText = "ONUPDATE({PRINTF(\"%ld\", i); PRINTF(\"%s\", CHR(10))})";
    TempDir dir;
};

TEST_F(DocumentRunTest, PrintsTheTextWindowsOrExportsEveryWindowInEachFormat) {
    Exit e = Run("--bare $D/model.tvd");
    EXPECT_EQ(e.status, 0) << e.err;
    EXPECT_EQ(e.out, "1\r\n2\r\n3\r\n");
    EXPECT_EQ(e.err, "");
    // clang-format off
    for (const auto& [format, ending, start] :
         {std::tuple{"png", "png", "\x89PNG"}, {"bmp", "bmp", "BM"}, {"jpeg", "jpg", "\xFF\xD8\xFF"},
          {"svg", "svg", "<?xml"}, {"pdf", "pdf", "%PDF"}}) {
        // clang-format on
        e = Run("--bare $D/model.tvd --all-views --export $D/out --size 64x48 --format " +
                std::string(format));
        EXPECT_EQ(e.status, 0) << e.err;
        EXPECT_EQ(e.out, "");
        const std::string picture = dir.Read(std::string("out/view2.") + ending);
        EXPECT_EQ(picture.rfind(start, 0), 0u) << format;
    }
    EXPECT_EQ(dir.Read("out/view2.bmp").size(), 134u + 64 * 48 * 4); // 4 bytes a pixel
    EXPECT_EQ(dir.Read("out/view0.txt"), "3");                       // the main input window
    EXPECT_EQ(dir.Read("out/view1.txt"), "1\r\n2\r\n3\r\n");
}

// Three updates, three frames of 304 x 200, in the format --video names (AVI without it).
TEST_F(DocumentRunTest, MoviesHaveOneFramePerUpdateInTheChosenFormat) {
    const struct Row {
        const char *option, *file, *probe;
    } rows[] = {{"", "view2.avi", "mpeg4,304,200,25/1,3\n"},
                {"--video mp4", "view2.mp4", "h264,304,200,25/1,3\n"},
                {"--video webm", "view2.webm", "vp9,304,200,25/1,3\n"},
                {"--video gif", "view2.gif", "gif,304,200,25/1,3\n"}};
    for (const Row& row : rows) {
        const Exit e =
            Run(std::string("--bare $D/model.tvd --all-views --movie $D/movies --size 301x200 ") +
                row.option);
        ASSERT_EQ(e.status, 0) << e.err;
        EXPECT_EQ(e.err, "") << row.file; // the encoders' own chatter stays out
        const std::string probe = "ffprobe -v error -count_frames -show_entries stream=codec_name,"
                                  "width,height,r_frame_rate,nb_read_frames -of csv=p=0 '" +
                                  dir.path() + "/movies/" + row.file + "'";
        FILE* pipe = popen(probe.c_str(), "r");
        char line[128] = {};
        ASSERT_TRUE(pipe && fgets(line, sizeof line, pipe));
        pclose(pipe);
        EXPECT_EQ(std::string(line), row.probe) << row.file;
    }
    EXPECT_EQ(Run("--bare $D/model.tvd --movie $D/movies --video mov").status, 2);
}

// Qt and FFmpeg take far longer to load than a program takes to run: only runs that export
// or record load them, and FFmpeg only through its module.
TEST_F(DocumentRunTest, OnlyPicturesAndMoviesLoadQtAndFFmpeg) {
    const struct Row {
        const char* args;
        bool qt, ffmpeg;
    } rows[] = {{"--bare --eval 1", false, false},
                {"--bare $D/model.tvd", false, false},
                {"--bare $D/model.tvd --export $D/out", true, false},
                {"--bare $D/model.tvd --all-views --movie $D/movies", true, true}};
    setenv("LD_DEBUG", "libs", 1);
    for (const Row& row : rows) {
        const Exit e = Run(row.args);
        EXPECT_EQ(e.status, 0) << row.args;
        EXPECT_EQ(e.err.find("libQt6Gui") != std::string::npos, row.qt) << row.args;
        EXPECT_EQ(e.err.find("/libavcodec") != std::string::npos, row.ffmpeg) << row.args;
        EXPECT_EQ(e.err.find("tivane-ffmpeg.so") != std::string::npos, row.ffmpeg) << row.args;
    }
    unsetenv("LD_DEBUG");
}

// A runner without the part it needs says which file it looked for and why it could not use it.
TEST_F(DocumentRunTest, AMissingPictureRunnerOrFFmpegModuleIsNamed) {
    const std::string bin = dir.path() + "/bin", built = fs::path(TIVANE_RUN_PATH).parent_path();
    fs::create_directories(bin);
    for (const char* exe : {"tivane-run", "tivane-run-pictures"})
        fs::copy_file(built + "/" + exe, bin + "/" + exe);
    dir.Write("bin/tivane-ffmpeg.so", std::string(256, 'x')); // no ELF header
    const struct Row {
        const char *exe, *args, *err;
    } rows[] = {
        // clang-format off
        {"tivane-run", "--export $D/out", "tivane-run: pictures and movies need tivane-run-pictures, which could not be started ($D/bin/tivane-run-pictures: Permission denied)."},
        {"tivane-run-pictures", "--movie $D/movies", "$D/movies/view2.avi: Unable to Create Compressed Stream: Check your CODEC options (cannot load the movie encoder tivane-ffmpeg.so ($D/bin/tivane-ffmpeg.so: invalid ELF header"},
        // clang-format on
    };
    // Not executable, even by root.
    const fs::perms exec = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    fs::permissions(bin + "/tivane-run-pictures", exec, fs::perm_options::remove);
    for (const Row& row : rows) {
        const std::string exe = bin + "/" + row.exe;
        const Exit e =
            Run(std::string("--bare $D/model.tvd --all-views ") + row.args, -1, exe.c_str());
        EXPECT_EQ(e.status, 1) << row.exe;
        EXPECT_NE(e.err.find(dir.Expand(row.err)), std::string::npos) << e.err;
        fs::permissions(bin + "/tivane-run-pictures", exec, fs::perm_options::add);
    }
}

// A run that only saves again keeps everything: each window keeps its number, and with it its
// side files, and the next Execute would draw on top.
TEST_F(DocumentRunTest, SavedDocumentsOpenWithTheirPicturesAndTexts) {
    ASSERT_EQ(Run("--bare $D/model.tvd --all-views --save").status, 0);
    const std::string picture = dir.Read("model.vs2");
    // Count, codes, operands: five defaults, the back colour, a move and three lines.
    ASSERT_GE(picture.size(), 4u);
    EXPECT_EQ(static_cast<unsigned char>(picture[0]), 10);
    EXPECT_EQ(dir.Read("model.vs1"), "1\r\n2\r\n3\r\n");
    dir.Write("main.prg", "0");
    const Exit e = Run("--bare $D/model.tvd --save");
    EXPECT_EQ(e.status, 0) << e.err;
    EXPECT_EQ(dir.Read("model.vs2"), picture);
    EXPECT_EQ(dir.Read("model.vs1"), "1\r\n2\r\n3\r\n");
    EXPECT_EQ(dir.Read("model.tvd"), "3");
}

// Exit statuses: 1 for a program that failed (ABORT too, and a view program's error though the
// main program goes on), a file that could not be opened or written, 2 for a usage error;
// stderr says why. A program file that is a pipe is refused at once, never waited on.
// Regression: a failed write names the file and why, and leaves the document as it was with no
// temporary file.
TEST_F(DocumentRunTest, ErrorsAndUsageErrorsGiveTheirStatusAndMessage) {
    dir.Write("t.tml", "[Description]\n");
    ASSERT_EQ(mkfifo((dir.path() + "/fifo.prg").c_str(), 0600), 0);
    struct Row {
        const char *args, *main, *text; // the programs; nullptr: the model's own
        int status;
        const char* err;              // parts of stderr, separated by '|'
        const char* folder = nullptr; // made before the run, where a file should go
    };
    const char* const bad = "1 + \"a\"";
    const std::string layout = dir.Read("model.ini");
    // clang-format off
    const Row rows[] = {
        {"--bare $D/model.tvd", "1 +", bad, 1, "Operand expected."},
        {"--bare $D/model.tvd", "EXECVIEWTEMPLATES(0); ABORT(\"halt\")", bad, 1, "halt"},
        {"--bare $D/model.tvd", "ABORT(\"halt\")", "ABORT(\"halt\")", 1, "halt"},
        {"--bare $D/model.tvd", "EXECVIEWTEMPLATES(0); SENDMSG(\"after\")", bad, 1, "Invalid type.|after"},
        {"$D/absent.tvd", nullptr, nullptr, 1, "Failed to open document."},
        {"$D/t.tml", nullptr, nullptr, 1, "A template file cannot be opened as a document."},
        {"--bare $D/missing.prg", nullptr, nullptr, 1, "Could not open the file $D/missing.prg"},
        {"--bare $D/fifo.prg", nullptr, nullptr, 1, "Could not open the file $D/fifo.prg."},
        {"$D/model.tvd --size 0x10", nullptr, nullptr, 2, "--size"},
        {"$D/model.tvd --export", nullptr, nullptr, 2, "--export"},
        {"$D/Q.PRG --save", nullptr, nullptr, 2, "need a document"},
        {"--eval 1 --all-views", nullptr, nullptr, 2, "need a document"},
        {"--frobnicate", nullptr, nullptr, 2, "unknown option '--frobnicate'"},
        {"", nullptr, nullptr, 2, "no program or document given"},
        {"--bare $D/model.tvd --all-views --save", nullptr, nullptr, 1, "Failed to save document. Could not write $D/model.vs1: Is a directory.", "model.vs1"},
        {"--bare $D/model.tvd --all-views --export $D/out", nullptr, nullptr, 1, "Could not write the file $D/out/view1.txt: Is a directory.", "out/view1.txt"},
        {"--bare $D/model.tvd --all-views --export $D/out", nullptr, nullptr, 1, "Could not save the PNG file $D/out/view2.png: Is a directory.", "out/view2.png"},
        {"--bare $D/model.tvd --all-views --movie $D/movies", nullptr, nullptr, 1, "Could not record $D/movies/view2.avi: Unable to Create the Movie File (Is a directory)", "movies/view2.avi"},
        {"--bare $D/model.tvd --all-views --movie $D/movies --size 30000x30000", nullptr, nullptr, 1, "Could not record $D/movies/view2.avi: A movie of 30000 x 30000 pixels is larger than the encoder takes: at most 8184 pixels a side."},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.args) + " " + (row.main ? row.main : ""));
        Programs(row.main ? row.main : kMain, row.text ? row.text : kText);
        for (const char* made : {"out", "movies", "model.vs1"})
            fs::remove_all(dir.path() + "/" + made);
        if (row.folder) fs::create_directories(dir.path() + "/" + row.folder + "/x");
        const Exit e = Run(row.args);
        EXPECT_EQ(e.status, row.status) << e.err;
        EXPECT_TRUE(row.folder || e.out.empty()) << e.out; // a run that failed prints nothing
        std::istringstream parts(dir.Expand(row.err));
        for (std::string part; std::getline(parts, part, '|');)
            EXPECT_NE(e.err.find(part), std::string::npos) << part << "\n" << e.err;
        EXPECT_EQ(dir.Read("model.tvd"), "3");
        EXPECT_EQ(dir.Read("model.ini"), layout);
        for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
            EXPECT_EQ(entry.path().string().find(".tivane-"), std::string::npos) << entry.path();
    }
}

// Regression: Ctrl+C stops an endless program, or a document's run, with status 1.
TEST_F(DocumentRunTest, CtrlCStopsTheRun) {
    dir.Write("main.prg", "i := 0; WHILE({1}, {i := i + 1})");
    for (const char* args : {"--bare --eval WHILE({1},{0})", "--bare $D/model.tvd"}) {
        const Exit e = Run(args, 300);
        EXPECT_EQ(e.status, 1) << args;
        EXPECT_NE(e.err.find("User stopped execution."), std::string::npos) << e.err;
        EXPECT_EQ(e.out, "");
    }
}

} // namespace
