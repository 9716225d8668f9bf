#include "filesearch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>
#include <vector>

#include "testtree.h"

namespace tivane {
namespace {

using FileSearchTest = testing::TreeTest;

TEST_F(FileSearchTest, LocateFileTakesTheFirstExistingCandidate) {
    // Files (below $ROOT; "a/" is a directory), name, fallback, found, the name afterwards.
    const std::tuple<const char*, const char*, const char*, bool, const char*> rows[] = {
        // The name as given comes before its bare name.
        {"cwd/sub/a.prg cwd/a.prg", "sub\\a.prg", "", true, "$ROOT/cwd/sub/a.prg"},
        // A missing directory part: the bare name in cwd, exe dir, command-line file's dir.
        {"cwd/t.tml exe/t.tml cmd/t.tml", "nodir/t.tml", "", true, "$ROOT/cwd/t.tml"},
        {"exe/t.tml cmd/t.tml", "C:\\nodir\\t.tml", "", true, "$ROOT/exe/t.tml"},
        {"cmd/t.tml", "nodir/t.tml", "", true, "$ROOT/cmd/t.tml"},
        {"cwd/a.prg/ exe/a.prg", "a.prg", "", true, "$ROOT/exe/a.prg"},
        {"cwd/Sub/model.prg", "SUB\\Model.PRG", "", true, "$ROOT/cwd/Sub/model.prg"},
        // The fallback pass comes only after the whole pass for the name.
        {"exe/default.tml", "nodir/x.tml", "DEFAULT.TML", true, "$ROOT/exe/default.tml"},
        {"cmd/x.tml cwd/DEFAULT.TML", "x.tml", "DEFAULT.TML", true, "$ROOT/cmd/x.tml"},
        // Failure leaves the last candidate tried.
        {"", "sub/x.tml", "DEFAULT.TML", false, "$ROOT/cmd/DEFAULT.TML"},
        {"", "nodir/default.tml", "DEFAULT.TML", false, "$ROOT/cmd/default.tml"},
    };
    for (const auto& [files, given, fallback, found, expected] : rows) {
        Write(files);
        std::string name = given;
        EXPECT_EQ(LocateFile(name, fallback, Context()), found) << given;
        EXPECT_EQ(name, Expand(expected)) << given;
        Clear();
    }
    std::string name = "nodir/x.prg"; // without a command-line file the last try is the bare name
    EXPECT_FALSE(LocateFile(name, "", {root + "/exe", ""}));
    EXPECT_EQ(name, "x.prg");
}

TEST(ExecutableDirectoryTest, HoldsTheRunningExecutable) {
    EXPECT_TRUE(std::filesystem::exists(ExecutableDirectory() + "/tivane_document_tests"));
}

TEST_F(FileSearchTest, ReadTextFileReturnsTheBytesUpToTheFirstNul) {
    const std::string longText = "a:=1;\r\n" + std::string(600, 'q');
    const std::pair<std::string, std::string> rows[] = {
        {"", ""}, {longText, longText}, {std::string("abc\0def", 7), "abc"}};
    for (const auto& [bytes, expected] : rows) {
        Write("cwd/sub/p.prg", bytes);
        int messages = 0;
        EXPECT_EQ(ReadTextFile("SUB\\P.prg", 0, [&](const std::string&) { ++messages; }), expected);
        EXPECT_EQ(messages, 0);
    }
}

TEST_F(FileSearchTest, ReadTextFileReportsAnUnreadableFileOnceAboveTheSilentLevel) {
    Write("cwd/dir/");
    const std::tuple<std::string, int16_t, size_t> rows[] = {
        {"missing.prg", 0, 1}, {"dir", -998, 1}, {"missing.prg", -999, 0}};
    for (const auto& [name, level, shown] : rows) {
        std::vector<std::string> messages;
        auto show = [&](const std::string& m) { messages.push_back(m); };
        EXPECT_EQ(ReadTextFile(name, level, show), "");
        EXPECT_EQ(messages,
                  std::vector<std::string>(shown, "Could not open the file " + name + "."))
            << level;
    }
}

} // namespace
} // namespace tivane
