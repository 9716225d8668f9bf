// The console runner's contract: what it prints on stdout and stderr, its exit status, how it
// reads answers from stdin, finds default programs, and stops on Ctrl+C.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "runtool.h"

namespace {

// GETUSERINPUT reads one line; ASKUSERYESNO asks on stderr and takes "y" or "yes" in any case
// as Yes; at the end of the input both get nothing. Errors go to stderr once, with status 1.
TEST(TivaneRunTest, EvalPrintsTheValueOrTheErrorAndExits) {
    struct Row {
        const char *text, *input, *out;
        int status;
        const char* err; // stderr shows this exactly once ("": stderr is empty)
    };
    const Row rows[] = {
        {"1+2.5", "", "3.5\n", 0, ""},
        {"\"a\"+1", "", "", 1, "Invalid type."},
        {"1+", "", "", 1, "Operand expected."},
        {"SENDMSG(\"hello\");1", "", "1\n", 0, "hello"},
        {"ABORT(\"bye\")", "", "", 1, "bye"},
        {"a:=GETUSERINPUT(\"1\");b:=GETUSERINPUT(\"2\");b+a", "x\r\ny\n", "\"yx\"\n", 0, ""},
        {"GETUSERINPUT(\"n?\")", "", "\"\"\n", 0, ""},
        {"GETCONFIG(0)", "", "\"\"\n", 0, ""},
        {"ASKUSERYESNO(\"ok?\")", "Y\n", "-1\n", 0, "ok?"},
        {"ASKUSERYESNO(\"ok?\")", "YES\n", "-1\n", 0, "ok?"},
        {"ASKUSERYESNO(\"ok?\")", "no\n", "0\n", 0, "ok?"},
    };
    for (const Row& r : rows) {
        const Exit e = RunTool({"--bare", "--eval", r.text}, r.input);
        EXPECT_EQ(e.out, r.out) << r.text;
        EXPECT_EQ(e.status, r.status) << r.text << "\n" << e.err;
        const size_t at = e.err.find(r.err);
        const bool once = at != std::string::npos && e.err.find(r.err, at + 1) == std::string::npos;
        EXPECT_TRUE(*r.err ? once : e.err.empty()) << r.text << "\n" << e.err;
    }
    for (const auto& [option, start] :
         {std::pair{"--help", "Usage: tivane-run"}, {"--version", "tivane-run "}}) {
        const Exit e = RunTool({option});
        EXPECT_TRUE(e.status == 0 && e.out.starts_with(start)) << option << ": " << e.out;
    }
}

// The application's param() reads a number from the main input, and stops the run at a value
// that is none, naming its line, rather than letting the model fail later on a zero.
TEST(TivaneRunTest, ParamRefusesAValueThatIsNoNumber) {
    const std::pair<const char*, const char*> rows[] = {
        {"x = 4.5 m", ""},
        {"x = abc", "The main input gives no number for x: x = abc"},
        {"x =", "The main input gives no number for x: x ="},
        {"y = abc", ""}};
    for (const auto& [input, err] : rows) {
        TempDir dir;
        dir.Write("t.tml", "[Description]\nNoOfViews=0\nMainProgramFileName=main.prg\n");
        dir.Write("new.ini", "[Description]\nTemplateFile=t.tml\n");
        dir.Write("main.prg", "param(\"x\", 2)");
        const Exit e = RunTool({dir.Write("new.tvd", input)}, "", dir.path());
        EXPECT_EQ(e.status, *err ? 1 : 0) << input << e.err;
        EXPECT_NE(e.err.find(err), std::string::npos) << e.err;
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
    EXPECT_TRUE(e.out.starts_with("\"") && e.out.find("theta") != std::string::npos) << e.out;
    EXPECT_NE(e.out.find("\n    0.0000    1.2000    0.0000\n"), std::string::npos) << e.out;
    EXPECT_EQ(std::count(e.out.begin(), e.out.end(), '\n'), 13) << e.out;
}

} // namespace
