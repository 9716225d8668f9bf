#pragma once
// Running tivane-run as a child process: its stdout, stderr and exit status, with a time
// limit, for the tests of its command-line contract.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline namespace runtool {

class TempDir {
public:
    TempDir() : m_path((std::filesystem::temp_directory_path() / "tivane-run-XXXXXX").string()) {
        if (!mkdtemp(m_path.data())) m_path.clear();
    }
    ~TempDir() {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
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
inline bool CatchesInterrupt(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("SigCgt:", 0) == 0)
            return (std::stoull(line.substr(7), nullptr, 16) >> (SIGINT - 1)) & 1;
    return false;
}

// Runs tivane-run (or the runner `exe`) in `cwd` (empty: ours) with `input` on stdin, sending
// SIGINT after interruptMs, once the runner catches it, when interruptMs is not negative.
inline Exit RunTool(std::vector<std::string> args, const std::string& input = "",
                    const std::string& cwd = "", int interruptMs = -1,
                    const char* exe = TIVANE_RUN_PATH) {
    TempDir io;
    const std::string in = io.Write("in", input), out = io.Write("out", ""),
                      err = io.Write("err", "");
    std::vector<char*> argv{const_cast<char*>(exe)};
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(open(in.c_str(), O_RDONLY), 0);
        dup2(open(out.c_str(), O_WRONLY), 1);
        dup2(open(err.c_str(), O_WRONLY), 2);
        if (cwd.empty() || chdir(cwd.c_str()) == 0) execv(exe, argv.data());
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

} // namespace runtool
