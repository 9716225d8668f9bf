// The console runner's contract: what it prints on stdout and stderr and its exit status, for
// --eval, program files and documents; answers read from stdin; exports, saves and movies;
// which runs load Qt and FFmpeg; Ctrl+C.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir() : m_path((fs::temp_directory_path() / "tivane-run-XXXXXX").string()) {
        if (!mkdtemp(m_path.data())) m_path.clear();
    }
    ~TempDir() {
        std::error_code ec;
        if (!m_path.empty()) fs::remove_all(m_path, ec);
    }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(m_path + "/" + name, std::ios::binary) << text;
        return m_path + "/" + name;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(m_path + "/" + name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // `text` with every "$D" replaced by the folder.
    std::string Expand(std::string text) const {
        for (size_t at; (at = text.find("$D")) != std::string::npos;)
            text.replace(at, 2, m_path);
        return text;
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

struct Exit {
    int status = -1; // the exit status; -1 when the runner did not exit by itself in 10 s
    std::string out, err;
};

// True once the process has its SIGINT handler: a signal sent before would kill it outright,
// which a slow start (a sanitized build on a busy machine) makes likely.
bool CatchesInterrupt(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGINT - 1)) & 1;
    return false;
}

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
    // Runs tivane-run on the words of `args`, each with $D made the model's folder, with `input`
    // on stdin, sending SIGINT after interruptMs, once the runner catches it, when interruptMs
    // is not negative.
    Exit Run(const std::string& args, const std::string& input = "", int interruptMs = -1) const {
        const char* exe = TIVANE_RUN_PATH;
        std::vector<std::string> words{exe};
        std::istringstream split(args);
        for (std::string word; split >> word;)
            words.push_back(dir.Expand(word));
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        TempDir io;
        const std::string in = io.Write("in", input), out = io.Write("out", ""),
                          err = io.Write("err", "");
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(open(in.c_str(), O_RDONLY), 0);
            dup2(open(out.c_str(), O_WRONLY), 1);
            dup2(open(err.c_str(), O_WRONLY), 2);
            execv(exe, argv.data());
            _exit(127);
        }
        int status = 0;
        pid_t done = 0;
        bool interrupted = false;
        for (int ms = 0; (done = waitpid(pid, &status, WNOHANG)) == 0 && ms < 10000; ms += 10) {
            if (interruptMs >= 0 && ms >= interruptMs && !interrupted && CatchesInterrupt(pid))
                interrupted = kill(pid, SIGINT) == 0;
            usleep(10000);
        }
        Exit e;
        if (done == 0) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        } else if (WIFEXITED(status)) {
            e.status = WEXITSTATUS(status);
        }
        e.out = io.Read("out");
        e.err = io.Read("err");
        return e;
    }

    static constexpr const char* kMain = "n := ATOL(GETCONFIG(0)); EXECVIEWTEMPLATES(0); i := 0;"
                                         "WHILE({i < n}, {i := i + 1; UPDATEVIEWS(0)})";
    static constexpr const char* kText = "ONUPDATE({PRINTF(\"%ld\", i); PRINTF(\"%s\", CHR(10))})";
    TempDir dir;
};

// Statuses: 0, 1 for a program that failed (ABORT too, and a view program's error though the
// main program goes on), a file that could not be opened or written, 2 for a usage error;
// stderr says why, once. A program file that is a pipe is refused at once, never waited on.
// GETUSERINPUT reads a line of stdin; ASKUSERYESNO asks on stderr and takes "y" or "yes".
// Without --bare, default.prg beside the program file runs first (the working directory is
// elsewhere); the application's param() stops at a value that is no number, naming its line.
// Regression: Ctrl+C stops an endless program, or a document's run, with status 1. Regression:
// a failed write names the file and why, and leaves the document as it was with no temporary
// file.
TEST_F(DocumentRunTest, RunsGiveTheirOutputStatusAndMessages) {
    dir.Write("t.tml", "[Description]\n");
    dir.Write("x.tvd", "x = abc");
    dir.Write("x.ini", "[Description]\nTemplateFile=model.tml\n");
    fs::create_directory(dir.path() + "/sub");
    dir.Write("sub/default.prg", "twice(x) := {2 * x}");
    dir.Write("sub/twice.prg", "twice(21)");
    ASSERT_EQ(mkfifo((dir.path() + "/fifo.prg").c_str(), 0600), 0);
    struct Row {
        const char* args;
        const char *main = nullptr, *text = nullptr; // the programs; nullptr: the model's own
        const char* input = "";
        const char* out = ""; // nullptr: not checked
        int status = 1;
        const char* err = "";         // parts of stderr, each there once, separated by '|'
        const char* folder = nullptr; // made before the run, where a file should go
        int interruptMs = -1;         // Ctrl+C after this long
    };
    const char* const bad = "1 + \"a\"";
    const std::string layout = dir.Read("model.ini");
    // clang-format off
    const Row rows[] = {
        {.args = "--bare --eval 1+2.5", .out = "3.5\n", .status = 0},
        {.args = "--bare --eval \"a\"+1", .err = "Invalid type."},
        {.args = "--bare --eval SENDMSG(\"hello\");1", .out = "1\n", .status = 0, .err = "hello"},
        {.args = "--bare --eval a:=GETUSERINPUT(\"1\");b:=GETUSERINPUT(\"2\");b+a", .input = "x\r\ny\n", .out = "\"yx\"\n", .status = 0},
        {.args = "--bare --eval ASKUSERYESNO(\"ok?\")", .input = "Y\n", .out = "-1\n", .status = 0, .err = "ok?"},
        {.args = "--bare --eval ASKUSERYESNO(\"ok?\")", .input = "no\n", .out = "0\n", .status = 0, .err = "ok?"},
        {.args = "$D/sub/twice.prg", .out = "42\n", .status = 0},
        {.args = "--bare $D/sub/twice.prg", .out = "<NOT VALID>\n", .status = 0},
        {.args = "$D/x.tvd", .main = "param(\"x\", 2)", .err = "The main input gives no number for x: x = abc"},
        {.args = "--bare $D/model.tvd", .main = "1 +", .text = bad, .err = "Operand expected."},
        {.args = "--bare $D/model.tvd", .main = "EXECVIEWTEMPLATES(0); ABORT(\"halt\")", .text = bad, .err = "halt"},
        {.args = "--bare $D/model.tvd", .main = "EXECVIEWTEMPLATES(0); SENDMSG(\"after\")", .text = bad, .err = "Invalid type.|after"},
        {.args = "$D/absent.tvd", .err = "Failed to open document."},
        {.args = "$D/t.tml", .err = "A template file cannot be opened as a document."},
        {.args = "--bare $D/fifo.prg", .err = "Could not open the file $D/fifo.prg."},
        {.args = "$D/model.tvd --size 0x10", .status = 2, .err = "--size"},
        {.args = "$D/Q.PRG --save", .status = 2, .err = "need a document"},
        {.args = "--frobnicate", .status = 2, .err = "unknown option '--frobnicate'"},
        {.args = "", .status = 2, .err = "no program or document given"},
        {.args = "--bare --eval WHILE({1},{0})", .err = "User stopped execution.", .interruptMs = 300},
        {.args = "--bare $D/model.tvd", .main = "i := 0; WHILE({1}, {i := i + 1})", .err = "User stopped execution.", .interruptMs = 300},
        {.args = "--bare $D/model.tvd --all-views --save", .out = nullptr, .err = "Failed to save document. Could not write $D/model.vs1: Is a directory.", .folder = "model.vs1"},
        {.args = "--bare $D/model.tvd --all-views --export $D/out", .out = nullptr, .err = "Could not write the file $D/out/view1.txt: Is a directory.", .folder = "out/view1.txt"},
        {.args = "--bare $D/model.tvd --all-views --movie $D/movies --size 30000x30000", .err = "Could not record $D/movies/view2.avi: A movie of 30000 x 30000 pixels is larger than the encoder takes: at most 8184 pixels a side."},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.args) + " " + (row.main ? row.main : ""));
        Programs(row.main ? row.main : kMain, row.text ? row.text : kText);
        for (const char* made : {"out", "movies", "model.vs1"})
            fs::remove_all(dir.path() + "/" + made);
        if (row.folder) fs::create_directories(dir.path() + "/" + row.folder + "/x");
        const Exit e = Run(row.args, row.input, row.interruptMs);
        EXPECT_EQ(e.status, row.status) << e.err;
        EXPECT_TRUE(!row.out || e.out == row.out) << e.out;
        EXPECT_TRUE(*row.err || e.err.empty()) << e.err;
        std::istringstream parts(dir.Expand(row.err));
        for (std::string part; std::getline(parts, part, '|');) {
            const size_t at = e.err.find(part);
            EXPECT_TRUE(at != std::string::npos && e.err.find(part, at + 1) == std::string::npos)
                << part << "\n"
                << e.err;
        }
        EXPECT_EQ(dir.Read("model.tvd"), "3");
        EXPECT_EQ(dir.Read("model.ini"), layout);
        for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
            EXPECT_EQ(entry.path().string().find(".tivane-"), std::string::npos) << entry.path();
    }
}

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
    } rows[] = {{"--bare $D/model.tvd", false, false},
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

} // namespace
