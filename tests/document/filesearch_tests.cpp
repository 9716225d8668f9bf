#include "filesearch.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <thread>
#include <tuple>
#include <vector>

#include "testtree.h"

namespace tivane {
namespace {

using FileSearchTest = testing::TreeTest;

TEST_F(FileSearchTest, LocateFileTakesTheFirstExistingCandidate) {
    // Files (below $ROOT; "a/" is a directory), name, fallback, found, the name afterwards.
    const std::tuple<const char*, const char*, const char*, bool, const char*> rows[] = {
        // clang-format off
        // The name as given comes before its bare name.
        {"cwd/sub/a.prg cwd/a.prg", "sub\\a.prg", "", true, "$ROOT/cwd/sub/a.prg"},
        // A missing directory part: the bare name in cwd, exe dir, command-line file's dir.
        {"cwd/t.tml exe/t.tml cmd/t.tml", "nodir/t.tml", "", true, "$ROOT/cwd/t.tml"},
        {"exe/t.tml cmd/t.tml", "C:\\nodir\\t.tml", "", true, "$ROOT/exe/t.tml"},
        {"cwd/a.prg/ exe/a.prg", "a.prg", "", true, "$ROOT/exe/a.prg"},
        {"cwd/Sub/model.prg", "SUB\\Model.PRG", "", true, "$ROOT/cwd/Sub/model.prg"},
        // The fallback pass comes only after the whole pass for the name.
        {"exe/default.tml", "nodir/x.tml", "DEFAULT.TML", true, "$ROOT/exe/default.tml"},
        // Failure leaves the last candidate tried.
        {"", "sub/x.tml", "DEFAULT.TML", false, "$ROOT/cmd/DEFAULT.TML"},
        // The data folder holds the default programs of last resort: only they are looked for
        // there, after every place of the document (the template's folder last).
        {"data/default.prg", "default.prg", "", true, "$ROOT/data/default.prg"},
        {"data/defaultt.prg tmpl/defaultt.prg", "defaultt.prg", "", true, "$ROOT/tmpl/defaultt.prg"},
        {"tmpl/main.prg", "main.prg", "", true, "$ROOT/tmpl/main.prg"},
        {"data/model.prg", "model.prg", "", false, "$ROOT/cmd/model.prg"},
        // clang-format on
    };
    SearchContext ctx = Context();
    ctx.templateDir = root + "/tmpl";
    ctx.dataDir = root + "/data";
    for (const auto& [files, given, fallback, found, expected] : rows) {
        Write(files);
        std::string name = given;
        EXPECT_EQ(LocateFile(name, fallback, ctx), found) << given;
        EXPECT_EQ(name, Expand(expected)) << given;
        Clear();
    }
    std::string name = "nodir/x.prg"; // without a command-line file the last try is the bare name
    EXPECT_FALSE(LocateFile(name, "", {root + "/exe", ""}));
    EXPECT_EQ(name, "x.prg");
}

// Only regular files of at most 16 MiB are read; a name leading to anything else cannot be
// opened, and reading it neither waits nor runs on.
TEST_F(FileSearchTest, ReadsOnlyRegularFilesUpToTheLimit) {
    const std::string cwd = root + "/cwd/";
    Write("cwd/plain.prg cwd/over.prg", "a:=1");
    ASSERT_EQ(::mkfifo((cwd + "fifo.prg").c_str(), 0600), 0);
    std::filesystem::create_symlink("/dev/zero", cwd + "zero.prg");
    std::filesystem::resize_file(cwd + "over.prg", kMaxFileSize + 1);
    // After a few seconds, keeps opening the FIFO's other end: a reader stuck opening it fails
    // the test instead of hanging it.
    const std::jthread watchdog([fifo = cwd + "fifo.prg"](std::stop_token stop) {
        for (int ms = 0; !stop.stop_requested(); ms += 10) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (ms < 5000) continue;
            if (const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK); fd >= 0) ::close(fd);
        }
    });

    const std::tuple<std::string, ReadStatus, size_t, std::string> rows[] = {
        // name, status, size read, message shown by ReadTextFile
        {"plain.prg", ReadStatus::Ok, 4, ""},
        {"fifo.prg", ReadStatus::CannotOpen, 0, "Could not open the file fifo.prg."},
        {"zero.prg", ReadStatus::CannotOpen, 0, "Could not open the file zero.prg."},
        {"over.prg", ReadStatus::TooLarge, 0, "The file over.prg is too large."},
    };
    for (const auto& [name, status, size, message] : rows) {
        const FileContents whole = ReadFileContents(cwd + name);
        EXPECT_EQ(whole.status, status) << name;
        EXPECT_EQ(whole.bytes.size(), size) << name;
        // Program texts stop at the first NUL: the sized files are "a:=1" and then zeros.
        const FileContents text = ReadProgramFile(name);
        EXPECT_EQ(text.status, status) << name;
        EXPECT_EQ(text.bytes, status == ReadStatus::Ok ? "a:=1" : "") << name;
        std::string shown; // every message, one after the other
        const auto show = [&](const std::string& m) { shown += m; };
        EXPECT_EQ(ReadTextFile(name, ReadFailure::Report, show), text.bytes);
        EXPECT_EQ(shown, message) << name;
    }
}

} // namespace
} // namespace tivane
