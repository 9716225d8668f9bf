// The console runner's contract: what it prints on stdout and stderr, its exit status, how it
// reads answers from stdin, finds default programs, and stops on Ctrl+C.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "runtool.h"

namespace {

struct EvalRow {
    const char* text;
    const char* input;
    const char* out;
    int status;
    const char* err; // stderr shows this exactly once ("": stderr is empty)
};

void PrintTo(const EvalRow& r, std::ostream* os) {
    *os << r.text;
}

class TivaneRunEvalTest : public ::testing::TestWithParam<EvalRow> {};

TEST_P(TivaneRunEvalTest, PrintsAndExits) {
    const EvalRow& r = GetParam();
    const Exit e = RunTool({"--bare", "--eval", r.text}, r.input);
    EXPECT_EQ(e.out, r.out);
    EXPECT_EQ(e.status, r.status) << e.err;
    const size_t at = e.err.find(r.err);
    if (*r.err)
        EXPECT_TRUE(at != std::string::npos && e.err.find(r.err, at + 1) == std::string::npos)
            << e.err;
    else
        EXPECT_EQ(e.err, "");
}

// GETUSERINPUT reads one line; ASKUSERYESNO asks on stderr and takes "y" or "yes" in any case
// as Yes; at the end of the input both get nothing.
INSTANTIATE_TEST_SUITE_P(
    Values, TivaneRunEvalTest,
    ::testing::Values(EvalRow{"1+2.5", "", "3.5\n", 0, ""},
                      EvalRow{"\"a\"+1", "", "", 1, "Invalid type."},
                      EvalRow{"1+", "", "", 1, "Operand expected."},
                      EvalRow{"SENDMSG(\"hello\");1", "", "1\n", 0, "hello"},
                      EvalRow{"ABORT(\"bye\")", "", "", 1, "bye"},
                      EvalRow{"a:=GETUSERINPUT(\"1\");b:=GETUSERINPUT(\"2\");b+a", "x\r\ny\n",
                              "\"yx\"\n", 0, ""},
                      EvalRow{"GETUSERINPUT(\"n?\")", "", "\"\"\n", 0, ""},
                      EvalRow{"GETCONFIG(0)", "", "\"\"\n", 0, ""},
                      EvalRow{"ASKUSERYESNO(\"ok?\")", "Y\n", "-1\n", 0, "ok?"},
                      EvalRow{"ASKUSERYESNO(\"ok?\")", "YES\n", "-1\n", 0, "ok?"},
                      EvalRow{"ASKUSERYESNO(\"ok?\")", "no\n", "0\n", 0, "ok?"}));

TEST(TivaneRunTest, InterruptStopsAnEndlessLoop) {
    const Exit e = RunTool({"--bare", "--eval", "WHILE({1},{0})"}, "", "", 300);
    EXPECT_EQ(e.status, 1);
    EXPECT_NE(e.err.find("User stopped execution."), std::string::npos) << e.err;
    EXPECT_EQ(e.out, "");
}

TEST(TivaneRunTest, HelpAndUsageErrors) {
    const Exit help = RunTool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--eval"), std::string::npos) << help.out;
    EXPECT_EQ(RunTool({"--frobnicate"}).status, 2);
    EXPECT_EQ(RunTool({}).status, 2);
}

TEST(TivaneRunTest, MissingProgramFile) {
    TempDir dir;
    const Exit e = RunTool({"--bare", dir.path() + "/missing.prg"});
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.out, "");
    EXPECT_NE(e.err.find("Could not open the file "), std::string::npos) << e.err;
}

// A program file name that leads to a device, a pipe or a directory is refused at once: it is
// never waited on or read without end.
TEST(TivaneRunTest, ProgramFileThatIsNoRegularFile) {
    TempDir dir;
    const std::string zero = dir.path() + "/zero.prg", fifo = dir.path() + "/fifo.prg",
                      folder = dir.path() + "/folder.prg";
    std::filesystem::create_symlink("/dev/zero", zero);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(folder);
    for (const std::string& file : {zero, fifo, folder}) {
        const Exit e = RunTool({"--bare", file});
        EXPECT_EQ(e.status, 1) << file; // -1: still running after 10 s
        EXPECT_EQ(e.out, "");
        EXPECT_NE(e.err.find("Could not open the file " + file + "."), std::string::npos) << e.err;
    }
}

// Without --bare, default.prg next to the program file runs first; the working directory is
// elsewhere, so only the file's directory can supply it.
TEST(TivaneRunTest, DefaultProgramNextToTheFile) {
    TempDir models, elsewhere;
    models.Write("default.prg", "twice(x) := {2 * x}");
    const std::string file = models.Write("main.prg", "twice(21)");
    const Exit e = RunTool({file}, "", elsewhere.path());
    EXPECT_EQ(e.out, "42\n");
    EXPECT_EQ(e.status, 0) << e.err;
    // --bare skips it: the function has no body, and calling it yields NOT VALID.
    EXPECT_EQ(RunTool({"--bare", file}, "", elsewhere.path()).out, "<NOT VALID>\n");
}

// The bundled example prints its table as a string: a header and eleven rows, the first the
// starting angle.
TEST(TivaneRunTest, PendulumExamplePrintsItsTable) {
    TempDir elsewhere;
    const Exit e = RunTool({TIVANE_SOURCE_DIR "/examples/pendulum/main.prg"}, "", elsewhere.path());
    ASSERT_EQ(e.status, 0) << e.err;
    EXPECT_EQ(e.out.rfind("\"", 0), 0u) << e.out;
    EXPECT_NE(e.out.find("theta"), std::string::npos) << e.out;
    EXPECT_NE(e.out.find("\n    0.0000    1.2000    0.0000\n"), std::string::npos) << e.out;
    EXPECT_EQ(std::count(e.out.begin(), e.out.end(), '\n'), 13) << e.out;
}

} // namespace
