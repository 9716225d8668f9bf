// The console runner's contract: what it prints on stdout and stderr, its exit status, how it
// reads answers from stdin, finds default programs, and stops on Ctrl+C.

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Exit {
    int status = -1; // the exit status, or -1 when the runner did not exit normally
    bool timedOut = false;
    std::string out, err;
};

struct RunOptions {
    std::string input;    // fed to stdin, which is then closed
    std::string cwd;      // the runner's working directory; empty: ours
    int interruptMs = -1; // send SIGINT this long after the start
};

// A hung runner is killed after this long, so a hang fails the test instead of the suite.
constexpr auto kTimeLimit = std::chrono::seconds(10);

Exit RunTool(const std::vector<std::string>& args, const RunOptions& options = {}) {
    std::signal(SIGPIPE, SIG_IGN); // a runner that exits early must not take us with it
    std::vector<char*> argv{const_cast<char*>(TIVANE_RUN_PATH)};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int in[2], out[2], err[2];
    if (pipe(in) || pipe(out) || pipe(err)) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            close(fd);
        if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(127);
        execv(TIVANE_RUN_PATH, argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (!options.input.empty()) {
        const ssize_t written = write(in[1], options.input.data(), options.input.size());
        (void)written; // a runner that reads nothing may have gone already
    }
    close(in[1]);

    Exit result;
    const auto start = std::chrono::steady_clock::now();
    bool interrupted = false;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
        const auto elapsed = std::chrono::steady_clock::now() - start;
        if (options.interruptMs >= 0 && !interrupted &&
            elapsed >= std::chrono::milliseconds(options.interruptMs)) {
            kill(pid, SIGINT);
            interrupted = true;
        }
        if (elapsed >= kTimeLimit) {
            kill(pid, SIGKILL);
            result.timedOut = true;
            break;
        }
        if (poll(fds, 2, 20) <= 0) continue;
        for (int k = 0; k < 2; ++k) {
            if (!(fds[k].revents & (POLLIN | POLLHUP))) continue;
            char buffer[4096];
            const ssize_t n = read(fds[k].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[k]->append(buffer, static_cast<size_t>(n));
            } else {
                fds[k].fd = -1;
                --open;
            }
        }
    }
    close(out[0]);
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (!result.timedOut && WIFEXITED(status)) result.status = WEXITSTATUS(status);
    return result;
}

Exit Eval(const std::string& text, const std::string& input = "") {
    return RunTool({"--bare", "--eval", text}, {input, "", -1});
}

size_t Count(const std::string& text, const std::string& piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}

class TempDir {
public:
    TempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "tivane-run-XXXXXX").string();
        if (char* made = mkdtemp(pattern.data())) m_path = made;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string Write(const std::string& name, const std::string& text) const {
        const std::string path = m_path + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

struct EvalRow {
    const char* text;
    const char* input;
    const char* out;
    int status;
    const char* err; // stderr contains this ("" : stderr is empty)
};

void PrintTo(const EvalRow& r, std::ostream* os) {
    *os << r.text;
}

class TivaneRunEvalTest : public ::testing::TestWithParam<EvalRow> {};

TEST_P(TivaneRunEvalTest, PrintsAndExits) {
    const EvalRow& r = GetParam();
    const Exit e = Eval(r.text, r.input);
    ASSERT_FALSE(e.timedOut) << r.text;
    EXPECT_EQ(e.out, r.out) << r.text;
    EXPECT_EQ(e.status, r.status) << r.text << "\n" << e.err;
    if (*r.err)
        EXPECT_NE(e.err.find(r.err), std::string::npos) << r.text << " wrote " << e.err;
    else
        EXPECT_EQ(e.err, "") << r.text;
}

INSTANTIATE_TEST_SUITE_P(
    Values, TivaneRunEvalTest,
    ::testing::Values(EvalRow{"1+2.5", "", "3.5\n", 0, ""},
                      EvalRow{"\"a\"+1", "", "", 1, "Invalid type."},
                      EvalRow{"1+", "", "", 1, "Operand expected."},
                      EvalRow{"fib(n):={IF(n<2,{n},{fib(n-1)+fib(n-2)})};fib(20)", "", "6765\n", 0,
                              ""},
                      EvalRow{"i:=0;s:=0;WHILE({i<10},{s:=s+i;i:=i+1});s", "", "45\n", 0, ""},
                      EvalRow{"PUSH(1);PUSH(\"a\");POP(0)", "", "\"a\"\n", 0, ""},
                      EvalRow{"SENDMSG(\"hello\");1", "", "1\n", 0, "hello"},
                      EvalRow{"ABORT(\"bye\")", "", "", 1, "bye"}));

// GETUSERINPUT reads one line; ASKUSERYESNO takes "y" or "yes" in any case as Yes.
INSTANTIATE_TEST_SUITE_P(
    Dialogs, TivaneRunEvalTest,
    ::testing::Values(EvalRow{"GETUSERINPUT(\"n?\")", "42\n", "\"42\"\n", 0, ""},
                      EvalRow{"ATOL(GETUSERINPUT(\"n?\"))*2", "21\r\n", "42\n", 0, ""},
                      EvalRow{"GETUSERINPUT(\"n?\")", "", "\"\"\n", 0, ""},
                      EvalRow{"a:=GETUSERINPUT(\"1\");b:=GETUSERINPUT(\"2\");b+a", "x\ny\n",
                              "\"yx\"\n", 0, ""},
                      EvalRow{"ASKUSERYESNO(\"ok?\")", "Y\n", "-1\n", 0, "ok?"},
                      EvalRow{"ASKUSERYESNO(\"ok?\")", "yes\n", "-1\n", 0, "ok?"},
                      EvalRow{"ASKUSERYESNO(\"ok?\")", "YES\n", "-1\n", 0, "ok?"},
                      EvalRow{"ASKUSERYESNO(\"ok?\")", "no\n", "0\n", 0, "ok?"},
                      EvalRow{"ASKUSERYESNO(\"ok?\")", "", "0\n", 0, "ok?"}));

TEST(TivaneRunTest, AbortMessageAppearsOnce) {
    const Exit e = Eval("ABORT(\"bye\")");
    EXPECT_EQ(Count(e.err, "bye"), 1u) << e.err;
}

TEST(TivaneRunTest, InterruptStopsAnEndlessLoop) {
    const Exit e = RunTool({"--bare", "--eval", "WHILE({1},{0})"}, {"", "", 300});
    ASSERT_FALSE(e.timedOut);
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

TEST(TivaneRunTest, RunsAProgramFile) {
    TempDir dir;
    const std::string file = dir.Write("calc.prg", "x := 6;\nx * 7\n");
    const Exit e = RunTool({"--bare", file});
    EXPECT_EQ(e.out, "42\n");
    EXPECT_EQ(e.status, 0) << e.err;
}

TEST(TivaneRunTest, MissingProgramFile) {
    TempDir dir;
    const Exit e = RunTool({"--bare", dir.path() + "/missing.prg"});
    ASSERT_FALSE(e.timedOut) << "tivane-run hung on a missing file";
    EXPECT_EQ(e.status, 1);
    EXPECT_EQ(e.out, "");
    EXPECT_NE(e.err.find("Could not open the file "), std::string::npos) << e.err;
}

// Without --bare, default.prg next to the program file runs first; the working directory is
// elsewhere so that only the file's directory can supply it.
TEST(TivaneRunTest, DefaultProgramNextToTheFile) {
    TempDir models, elsewhere;
    models.Write("default.prg", "twice(x) := {2 * x}");
    const std::string file = models.Write("main.prg", "twice(21)");
    const Exit e = RunTool({file}, {"", elsewhere.path(), -1});
    ASSERT_FALSE(e.timedOut) << "tivane-run hung looking for default.prg";
    EXPECT_EQ(e.out, "42\n");
    EXPECT_EQ(e.status, 0) << e.err;
    // --bare skips it: the function has no body, and calling it yields NOT VALID.
    EXPECT_EQ(RunTool({"--bare", file}, {"", elsewhere.path(), -1}).out, "<NOT VALID>\n");
}

TEST(TivaneRunTest, DefaultProgramInTheWorkingDirectory) {
    TempDir here;
    here.Write("default.prg", "seven(x) := {7}");
    const Exit e = RunTool({"--eval", "seven(0)"}, {"", here.path(), -1});
    ASSERT_FALSE(e.timedOut) << "tivane-run hung looking for default.prg";
    EXPECT_EQ(e.out, "7\n");
    EXPECT_EQ(e.status, 0) << e.err;
}

// The bundled example prints a table: a header line and a row of three numbers for every
// hundredth step.
TEST(TivaneRunTest, PendulumExamplePrintsItsTable) {
    TempDir elsewhere;
    const Exit e =
        RunTool({TIVANE_SOURCE_DIR "/examples/pendulum/main.prg"}, {"", elsewhere.path(), -1});
    ASSERT_FALSE(e.timedOut) << "tivane-run hung on the example";
    ASSERT_EQ(e.status, 0) << e.err;
    // The value is a string: printed in quotes, with a line break after the closing quote.
    ASSERT_GE(e.out.size(), 3u);
    ASSERT_EQ(e.out.front(), '"');
    ASSERT_EQ(e.out.substr(e.out.size() - 2), "\"\n");
    std::istringstream table(e.out.substr(1, e.out.size() - 3));
    std::string header;
    std::getline(table, header);
    for (const char* column : {" t ", "theta", "omega"})
        EXPECT_NE((header + " ").find(column), std::string::npos) << header;
    std::vector<std::string> rows;
    for (std::string line; std::getline(table, line);)
        rows.push_back(line);
    ASSERT_EQ(rows.size(), 11u) << e.out;
    double lastT = -1.0;
    for (const std::string& row : rows) {
        std::istringstream fields(row);
        double t = 0, theta = 0, omega = 0;
        std::string rest;
        ASSERT_TRUE(fields >> t >> theta >> omega) << row;
        EXPECT_FALSE(fields >> rest) << row;
        EXPECT_GT(t, lastT) << row;
        lastT = t;
    }
}

} // namespace
