#include "filesearch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "testtree.h"

namespace tivane {
namespace {

using testing::CurrentDirectoryGuard;
using testing::TestTree;

// The tree every search runs in: the current directory is $ROOT/cwd, the executable lives in
// $ROOT/exe and the command line names $ROOT/cmd/doc.tvd.
class FileSearchTest : public ::testing::Test {
protected:
    SearchContext Context(bool withCommandLine = true) const {
        return {tree.Path("exe"), withCommandLine ? tree.Path("cmd/doc.tvd") : ""};
    }

    TestTree tree;
    CurrentDirectoryGuard cwd{tree.Path("cwd")};
};

struct LocateCase {
    const char* id;
    std::vector<const char*> files; // relative to $ROOT; "a/" is a directory
    const char* name;
    const char* fallback;
    bool found;
    const char* expected; // the name afterwards
    bool commandLine = true;
};

const LocateCase kLocateCases[] = {
    {"ExactRelative", {"cwd/a.prg", "exe/a.prg"}, "a.prg", "", true, "$ROOT/cwd/a.prg"},
    {"ExactAbsoluteBeforeBareName",
     {"other/a.prg", "cwd/a.prg"},
     "$ROOT/other/a.prg",
     "",
     true,
     "$ROOT/other/a.prg"},
    {"ExactWithDirectory",
     {"cwd/sub/a.prg", "cwd/a.prg"},
     "sub/a.prg",
     "",
     true,
     "$ROOT/cwd/sub/a.prg"},
    {"LexicallyNormal", {"cwd/a.prg"}, "./sub/../a.prg", "", true, "$ROOT/cwd/a.prg"},
    {"MissingDirectoryBareInCwd",
     {"cwd/t.tml", "exe/t.tml", "cmd/t.tml"},
     "nodir/t.tml",
     "",
     true,
     "$ROOT/cwd/t.tml"},
    {"MissingDirectoryBareInExeDir",
     {"exe/t.tml", "cmd/t.tml"},
     "nodir/t.tml",
     "",
     true,
     "$ROOT/exe/t.tml"},
    {"MissingDirectoryBareInCommandLineDir",
     {"cmd/t.tml"},
     "nodir/t.tml",
     "",
     true,
     "$ROOT/cmd/t.tml"},
    {"BareNameInExeDir", {"exe/t.tml", "cmd/t.tml"}, "t.tml", "", true, "$ROOT/exe/t.tml"},
    {"BackslashName", {"cwd/sub/t.tml"}, "sub\\t.tml", "", true, "$ROOT/cwd/sub/t.tml"},
    {"BackslashNameMissingDirectory",
     {"exe/t.tml"},
     "C:\\models\\t.tml",
     "",
     true,
     "$ROOT/exe/t.tml"},
    {"CaseInsensitiveName", {"cwd/default.tml"}, "DEFAULT.TML", "", true, "$ROOT/cwd/default.tml"},
    {"CaseInsensitivePerComponent",
     {"cwd/Sub/model.prg"},
     "SUB\\Model.PRG",
     "",
     true,
     "$ROOT/cwd/Sub/model.prg"},
    {"ExactCaseBeforeOtherCase",
     {"cwd/Model.prg", "cwd/model.prg"},
     "model.prg",
     "",
     true,
     "$ROOT/cwd/model.prg"},
    {"DirectoryIsNoFile", {"cwd/a.prg/", "exe/a.prg"}, "a.prg", "", true, "$ROOT/exe/a.prg"},
    {"SymlinkKeptAsNamed", {"other/real.prg"}, "link.prg", "", true, "$ROOT/cwd/link.prg"},
    {"FallbackInCwd",
     {"cwd/DEFAULT.TML"},
     "missing.tml",
     "DEFAULT.TML",
     true,
     "$ROOT/cwd/DEFAULT.TML"},
    {"FallbackInExeDir",
     {"exe/default.tml"},
     "nodir/missing.tml",
     "DEFAULT.TML",
     true,
     "$ROOT/exe/default.tml"},
    {"NameBeatsFallback",
     {"cmd/mine.tml", "cwd/DEFAULT.TML"},
     "mine.tml",
     "DEFAULT.TML",
     true,
     "$ROOT/cmd/mine.tml"},
    {"EmptyNameTakesFallback",
     {"exe/default0.prg"},
     "",
     "default0.prg",
     true,
     "$ROOT/exe/default0.prg"},
    {"FailsWithoutFallback",
     {"other/missing.prg"},
     "missing.prg",
     "",
     false,
     "$ROOT/cmd/missing.prg"},
    {"FailsAfterFallbackPass",
     {},
     "sub/missing.tml",
     "DEFAULT.TML",
     false,
     "$ROOT/cmd/DEFAULT.TML"},
    // The bare name already is the fallback, so no second pass spells it the fallback's way.
    {"NoFallbackPassForSameName",
     {},
     "nodir/default.tml",
     "DEFAULT.TML",
     false,
     "$ROOT/cmd/default.tml"},
    {"EmptyNameFails", {}, "", "", false, "$ROOT/cmd/"},
    {"EmptyCommandLineTriesBareName", {}, "nodir/missing.prg", "", false, "missing.prg", false},
    {"EmptyCommandLineFindsInExeDir", {"exe/t.tml"}, "t.tml", "", true, "$ROOT/exe/t.tml", false},
};

class LocateFileTest : public FileSearchTest, public ::testing::WithParamInterface<LocateCase> {};

TEST_P(LocateFileTest, FindsFirstExistingCandidate) {
    const LocateCase& row = GetParam();
    for (const char* file : row.files)
        tree.Write(file);
    if (std::string_view(row.id) == "SymlinkKeptAsNamed") {
        tree.Link("cwd/link.prg", "other/real.prg");
    }

    std::string name = tree.Expand(row.name);
    EXPECT_EQ(LocateFile(name, row.fallback, Context(row.commandLine)), row.found);
    EXPECT_EQ(name, tree.Expand(row.expected));
}

INSTANTIATE_TEST_SUITE_P(Rows, LocateFileTest, ::testing::ValuesIn(kLocateCases),
                         [](const auto& info) { return std::string(info.param.id); });

TEST(ExecutableDirectoryTest, IsAnAbsoluteDirectory) {
    const std::filesystem::path dir = ExecutableDirectory();
    EXPECT_TRUE(dir.is_absolute()) << dir;
    EXPECT_TRUE(std::filesystem::is_directory(dir)) << dir;
}

// ReadTextFile

struct ContentCase {
    const char* id;
    std::string bytes;
    std::string expected;
};

std::string AllNonZeroBytes(size_t count) {
    std::string bytes;
    for (size_t i = 0; i < count; ++i)
        bytes += static_cast<char>(1 + i % 255);
    return bytes;
}

const ContentCase kContentCases[] = {
    {"Empty", "", ""},
    {"CrLfKept", "a:=1;\r\nb:=2\r\n", "a:=1;\r\nb:=2\r\n"},
    {"ExactlyOnePiece", std::string(128, 'p'), std::string(128, 'p')},
    {"ManyPiecesAllBytes", AllNonZeroBytes(600), AllNonZeroBytes(600)},
    {"NulEndsText", std::string("abc\0def", 7), "abc"},
    {"NulInLaterPiece", std::string(200, 'q') + std::string(1, '\0') + "tail",
     std::string(200, 'q')},
};

class ReadTextFileContentTest : public FileSearchTest,
                                public ::testing::WithParamInterface<ContentCase> {};

TEST_P(ReadTextFileContentTest, ReturnsBytesUpToFirstNul) {
    tree.Write("cwd/p.prg", GetParam().bytes);
    int messages = 0;
    const std::string text = ReadTextFile("p.prg", 0, [&](const std::string&) { ++messages; });
    EXPECT_EQ(text, GetParam().expected);
    EXPECT_EQ(messages, 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, ReadTextFileContentTest, ::testing::ValuesIn(kContentCases),
                         [](const auto& info) { return std::string(info.param.id); });

TEST_F(FileSearchTest, ReadTextFileAcceptsBackslashAndOtherCase) {
    tree.Write("cwd/sub/model.prg", "x:=1");
    int messages = 0;
    EXPECT_EQ(ReadTextFile("SUB\\Model.prg", 0, [&](const std::string&) { ++messages; }), "x:=1");
    EXPECT_EQ(messages, 0);
}

struct MessageCase {
    int16_t level;
    bool shown;
};

class ReadTextFileMessageTest : public FileSearchTest,
                                public ::testing::WithParamInterface<MessageCase> {};

TEST_P(ReadTextFileMessageTest, MissingFileIsReportedAboveSilentLevel) {
    tree.Write("cwd/dir/");
    for (const char* name : {"missing.prg", "dir"}) {
        std::vector<std::string> messages;
        const std::string text = ReadTextFile(name, GetParam().level,
                                              [&](const std::string& m) { messages.push_back(m); });
        EXPECT_EQ(text, "");
        if (GetParam().shown) {
            ASSERT_EQ(messages.size(), 1u) << name;
            EXPECT_EQ(messages[0], "Could not open the file " + std::string(name) + ".");
        } else {
            EXPECT_TRUE(messages.empty()) << name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, ReadTextFileMessageTest,
                         ::testing::Values(MessageCase{0, true}, MessageCase{-1, true},
                                           MessageCase{-998, true}, MessageCase{-999, false},
                                           MessageCase{-9998, false}));

} // namespace
} // namespace tivane
